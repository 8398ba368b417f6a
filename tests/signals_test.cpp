// SPDX-License-Identifier: MIT
// Formatting from a signal handler on a small alternate stack, while the
// interrupted thread is itself formatting: both get exactly their output.
// The handler allocates nothing and calls nothing that is not
// async-signal-safe; its expected texts are prepared before it is installed.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include <kestrix_checked.h>

#include "support.h"

namespace {

constexpr const char *kFmt = "%s %d %u %p %c|";
constexpr int kCases = 8;
constexpr int kSignals = 1000;

// ThreadSanitizer holds an asynchronous signal back and runs the handler
// itself at its next safe point, on the thread's own stack.
#if defined(__SANITIZE_THREAD__)
constexpr bool kHandlerOnAltStack = false;
#elif defined(__has_feature)
constexpr bool kHandlerOnAltStack = !__has_feature(thread_sanitizer);
#else
constexpr bool kHandlerOnAltStack = true;
#endif

struct Case {
    int64_t d;
    uint64_t p;
    const char *s;
    char want[128];
};
Case cases[kCases];

alignas(16) unsigned char altstack[8192];

std::atomic<int> handled{0};
std::atomic<int> handler_wrong{0};
std::atomic<int> off_altstack{0};
std::atomic<int> during_main_call{0};
std::atomic<bool> main_in_call{false};

// A sink into a fixed array, and a flush that joins kestrix_bprintf's
// pieces into another, usable in the handler.
struct Fixed {
    char text[128];
    size_t len;
    char joined[128];
    size_t joined_len;
    long pieces;
    static void sink(void *ctx, int32_t c)
    {
        auto *f = static_cast<Fixed *>(ctx);
        if (f->len < sizeof f->text)
            f->text[f->len++] = static_cast<char>(c);
    }
    static int32_t flush(void *ctx, const char *bytes, size_t n)
    {
        auto *f = static_cast<Fixed *>(ctx);
        for (size_t i = 0; i < n && f->joined_len < sizeof f->joined; ++i)
            f->joined[f->joined_len++] = bytes[i];
        return 0;
    }
};

// The three ways in: a buffer, a sink, and pieces of 8 bytes.
void format_all(char *buf, char **end, Fixed *f, const char *fmt, int64_t d, uint64_t p, const char *s)
{
    *end = kestrix_sprintf(buf, fmt, s, d, d, p, uint64_t{'#'});
    f->len = 0;
    kestrix_fnprintf(Fixed::sink, f, fmt, s, d, d, p, uint64_t{'#'});
    char piece[8];
    f->joined_len = 0;
    f->pieces = kestrix_bprintf(Fixed::flush, f, piece, sizeof piece, fmt, s, d, d, p, uint64_t{'#'});
}

bool matches(const char *buf, const char *end, const Fixed &f, const char *want)
{
    const size_t len = std::strlen(want);
    return static_cast<size_t>(end - buf) == len && std::memcmp(buf, want, len + 1) == 0 && f.len == len &&
           std::memcmp(f.text, want, len) == 0 && f.pieces == static_cast<long>(len) && f.joined_len == len &&
           std::memcmp(f.joined, want, len) == 0;
}

void on_signal(int)
{
    const auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    const auto lo = reinterpret_cast<uintptr_t>(altstack);
    if (frame < lo || frame >= lo + sizeof altstack)
        ++off_altstack;
    if (main_in_call.load(std::memory_order_relaxed))
        ++during_main_call;
    const int n = handled.load(std::memory_order_relaxed);
    const Case &c = cases[n % kCases];
    char buf[128];
    char *end;
    Fixed f;
    format_all(buf, &end, &f, kFmt, c.d, c.p, c.s);
    if (!matches(buf, end, f, c.want))
        ++handler_wrong;
    handled.store(n + 1, std::memory_order_release);
}

void expected(char *out, size_t size, const char *s, int64_t d, uint64_t p)
{
    std::snprintf(out, size, "%s %lld %llu %016llX #|", s, static_cast<long long>(d),
                  static_cast<unsigned long long>(d), static_cast<unsigned long long>(p));
}

TEST(Signals, HandlerOnSmallAltStackFormatsWhileInterruptedThreadFormats)
{
    const char *names[kCases] = {"alpha", "", "\xE9t\xE9", "delta", "e", "zeta-zeta-zeta", "eta", "theta"};
    for (int i = 0; i < kCases; ++i) {
        cases[i].d = i % 2 ? INT64_MIN + i : INT64_MAX - i * 1000003;
        cases[i].p = 0xFEDCBA9876543210ull >> (4 * i);
        cases[i].s = names[i];
        expected(cases[i].want, sizeof cases[i].want, cases[i].s, cases[i].d, cases[i].p);
    }

    stack_t ss{}, old_ss{};
    ss.ss_sp = altstack;
    ss.ss_size = sizeof altstack;
    ASSERT_EQ(sigaltstack(&ss, &old_ss), 0);
    struct sigaction sa{}, old_sa{};
    sa.sa_handler = on_signal;
    sa.sa_flags = SA_ONSTACK | SA_RESTART;
    sigemptyset(&sa.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &sa, &old_sa), 0);

    // Another thread signals this one, each time waiting until the handler
    // has run, so every signal is handled and none merges with the next.
    std::atomic<bool> done{false};
    const pthread_t target = pthread_self();
    std::thread sender([&] {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (int k = 0; k < kSignals && std::chrono::steady_clock::now() < give_up; ++k) {
            pthread_kill(target, SIGUSR1);
            while (handled.load(std::memory_order_acquire) == k && std::chrono::steady_clock::now() < give_up)
                std::this_thread::yield();
        }
        done = true;
    });

    int main_wrong = 0;
    uint64_t iterations = 0;
    char want[128], buf[128];
    char *end;
    Fixed f;
    while (!done.load()) {
        const auto d = static_cast<int64_t>(iterations * 0x9E3779B97F4A7C15ull) >> (iterations % 64);
        const uint64_t p = iterations * 0xD1B54A32D192ED03ull;
        expected(want, sizeof want, "main", d, p);
        for (int k = 0; k < 4; ++k) {
            main_in_call.store(true, std::memory_order_relaxed);
            format_all(buf, &end, &f, kFmt, d, p, "main");
            main_in_call.store(false, std::memory_order_relaxed);
            if (!matches(buf, end, f, want) && ++main_wrong <= 3)
                ADD_FAILURE() << "main thread wrote \"" << buf << "\", want \"" << want << "\"";
        }
        ++iterations;
    }
    sender.join();

    sigaction(SIGUSR1, &old_sa, nullptr);
    sigaltstack(&old_ss, nullptr);

    EXPECT_EQ(handled.load(), kSignals);
    EXPECT_EQ(handler_wrong.load(), 0);
    if (kHandlerOnAltStack) {
        EXPECT_EQ(off_altstack.load(), 0);
    }
    EXPECT_EQ(main_wrong, 0) << "of " << iterations * 4;
    // The signals really did land inside the main thread's formatting.
    EXPECT_GT(during_main_call.load(), 0);
    std::printf("signals: %d handled, %d of them on the %zu-byte alternate stack and %d inside a main-thread "
                "call; %llu main iterations\n",
                handled.load(), handled.load() - off_altstack.load(), sizeof altstack, during_main_call.load(),
                static_cast<unsigned long long>(iterations));
}

} // namespace
