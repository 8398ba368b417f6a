// SPDX-License-Identifier: MIT
// The library's own calls between exported functions bind like an outside
// caller's: this executable exports its own kestrix_str, kestrix_vfnprintf
// and kestrix_dec, which count their calls and forward to the library's
// definitions (kestrix_dec, while `grouping` is set, writes its own longer
// digits instead). The bounded and descriptor calls reach none of them.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include <kestrix_fd.h>

namespace {
int str_calls = 0;
int vfnprintf_calls = 0;
bool grouping = false;

template <typename Fn>
Fn next(const char *name)
{
    void *p = dlsym(RTLD_NEXT, name);
    if (!p)
        abort();
    return reinterpret_cast<Fn>(p);
}

void collect(void *ctx, int32_t c)
{
    static_cast<std::string *>(ctx)->push_back(static_cast<char>(c));
}

void reset()
{
    str_calls = 0;
    vfnprintf_calls = 0;
}
} // namespace

extern "C" void kestrix_str(kestrix_out_fn out, void *ctx, const char *str)
{
    ++str_calls;
    static auto real = next<void (*)(kestrix_out_fn, void *, const char *)>("kestrix_str");
    real(out, ctx, str);
}

extern "C" void kestrix_vfnprintf(kestrix_out_fn out, void *ctx, const char *fmt, va_list args)
{
    ++vfnprintf_calls;
    static auto real = next<void (*)(kestrix_out_fn, void *, const char *, va_list)>("kestrix_vfnprintf");
    real(out, ctx, fmt, args);
}

// Digits in groups of three, as a program may want them: 26 characters
// for UINT64_MAX, more than any conversion of the library's.
extern "C" void kestrix_dec(kestrix_out_fn out, void *ctx, uint64_t value, int32_t is_signed)
{
    static auto real = next<void (*)(kestrix_out_fn, void *, uint64_t, int32_t)>("kestrix_dec");
    if (!grouping)
        return real(out, ctx, value, is_signed);
    const std::string digits = std::to_string(value);
    for (size_t k = 0; k < digits.size(); ++k) {
        if (k && (digits.size() - k) % 3 == 0)
            out(ctx, ',');
        out(ctx, digits[k]);
    }
}

namespace {

TEST(Interposition, EmittersReachTheInterposedStr)
{
    std::string out;
    reset();
    kestrix_hex(collect, &out, 0xBEEF, 2);
    EXPECT_EQ(str_calls, 1);
    kestrix_dec(collect, &out, static_cast<uint64_t>(-12), 1);
    EXPECT_EQ(str_calls, 2);
    EXPECT_EQ(out, "BEEF-12");
}

TEST(Interposition, SprintfReachesTheInterposedVfnprintfAndStr)
{
    char buf[64];
    reset();
    char *end = kestrix_sprintf(buf, "%s=%x,%d", "k", uint64_t{0x1FF}, int64_t{-3});
    EXPECT_EQ(std::string(buf, static_cast<size_t>(end - buf)), "k=01FF,-3");
    EXPECT_EQ(vfnprintf_calls, 1);
    EXPECT_EQ(str_calls, 3); // %s, and the digits of %x and %d
}

// The bounded, piecewise and descriptor calls make their own digits: a
// longer kestrix_dec changes nothing of theirs, at any size and at every
// length around the descriptor's buffer, while the library's own calls
// take it.
TEST(Interposition, BoundedAndDescriptorCallsReachNoInterposedFunction)
{
    grouping = true;
    char buf[40];
    kestrix_sprintf(buf, "%u", UINT64_MAX);
    EXPECT_STREQ(buf, "18,446,744,073,709,551,615");
    // Through a sink, with counted arguments, the emitters are the library's
    // own calls, and so the program's; optimised for size, the bounded
    // calls' walk, which reaches none.
    std::string sunk;
    const uint64_t counted[] = {UINT64_MAX};
    kestrix_fnprintf_array(collect, &sunk, "%u", 1, counted, 0);
#if defined(__OPTIMIZE_SIZE__)
    EXPECT_EQ(sunk, "18446744073709551615");
#else
    EXPECT_EQ(sunk, "18,446,744,073,709,551,615");
#endif
    reset();
    const std::string whole = "18446744073709551615|-3";
    for (size_t size = 0; size <= whole.size() + 2; ++size) {
        char out[64];
        std::memset(out, 0x5A, sizeof out);
        EXPECT_EQ(kestrix_snprintf(out + 8, size, "%u|%d", UINT64_MAX, int64_t{-3}), whole.size());
        const size_t kept = size ? std::min(size - 1, whole.size()) : 0;
        EXPECT_EQ(std::string(out + 8, kept), whole.substr(0, kept)) << size;
        for (size_t k = 0; k < sizeof out; ++k)
            if (k < 8 || k > 8 + kept || (size == 0 && k == 8))
                EXPECT_EQ(out[k], 0x5A) << "byte " << k << " at size " << size;
        if (size)
            EXPECT_EQ(out[8 + kept], '\0');
    }
    // Through kestrix_bprintf at every size, each piece the buffer's own.
    for (size_t size = 1; size <= whole.size() + 2; ++size) {
        char out[64];
        std::memset(out, 0x5A, sizeof out);
        std::string joined;
        const kestrix_flush_fn join = [](void *ctx, const char *bytes, size_t len) -> int32_t {
            static_cast<std::string *>(ctx)->append(bytes, len);
            return 0;
        };
        EXPECT_EQ(kestrix_bprintf(join, &joined, out + 8, size, "%u|%d", UINT64_MAX, int64_t{-3}),
                  static_cast<long>(whole.size()));
        EXPECT_EQ(joined, whole) << size;
        for (size_t k = 0; k < sizeof out; ++k)
            if (k < 8 || k >= 8 + size)
                EXPECT_EQ(out[k], 0x5A) << "byte " << k << " at size " << size;
    }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    for (size_t prefix = KESTRIX_FD_BUFFER - 24; prefix <= KESTRIX_FD_BUFFER + 4; ++prefix) {
        const std::string text(prefix, 'p');
        const std::string want = text + "18446744073709551615\n";
        ASSERT_EQ(kestrix_dprintf(fds[1], "%s%u\n", text.c_str(), UINT64_MAX), static_cast<long>(want.size()));
        std::string got(want.size(), '\0');
        size_t at = 0;
        while (at < got.size()) {
            const ssize_t n = read(fds[0], &got[at], got.size() - at);
            ASSERT_GT(n, 0);
            at += static_cast<size_t>(n);
        }
        EXPECT_EQ(got, want) << prefix;
    }
    close(fds[0]);
    close(fds[1]);
    grouping = false;
    EXPECT_EQ(str_calls + vfnprintf_calls, 0);
}

TEST(Interposition, FnprintfAndVsprintfReachTheInterposedVfnprintf)
{
    std::string out;
    reset();
    kestrix_fnprintf(collect, &out, "%u", uint64_t{5});
    EXPECT_EQ(out, "5");
    EXPECT_EQ(vfnprintf_calls, 1);

    struct Local {
        static char *call(char *buf, const char *fmt, ...)
        {
            va_list ap;
            va_start(ap, fmt);
            char *end = kestrix_vsprintf(buf, fmt, ap);
            va_end(ap);
            return end;
        }
    };
    char buf[16];
    Local::call(buf, "%c", uint64_t{'z'});
    EXPECT_STREQ(buf, "z");
    EXPECT_EQ(vfnprintf_calls, 2);
}

} // namespace
