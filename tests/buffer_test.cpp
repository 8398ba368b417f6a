// SPDX-License-Identifier: MIT
// The buffer front ends: exactly the output, one NUL, nothing else touched;
// and kestrix_bprintf's pieces, which joined are kestrix_sprintf's output.
#include <gtest/gtest.h>

#include <kestrix_checked.h>

#include <random>

#include <sys/mman.h>
#include <unistd.h>

#include "support.h"

namespace {

using u64 = uint64_t;
using kt::Guarded;

char *vsprintf_via_list(char *buf, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    char *end = kestrix_vsprintf(buf, fmt, ap);
    va_end(ap);
    return end;
}

// Runs the same call through both front ends, each into its own guarded buffer.
template <typename... Args>
void expect_both(const std::string &expected, const char *fmt, Args... args)
{
    Guarded a, b;
    EXPECT_TRUE(a.check(kestrix_sprintf(a.buf(), fmt, args...), expected)) << "kestrix_sprintf " << fmt;
    EXPECT_TRUE(b.check(vsprintf_via_list(b.buf(), fmt, args...), expected)) << "kestrix_vsprintf " << fmt;
}

TEST(Buffer, EmptyFormatWritesOnlyTheTerminator)
{
    expect_both("", "");
}

TEST(Buffer, WritesOutputAndOneNul)
{
    expect_both("x=01FF s=ab", "x=%x s=%s", u64{0x1FF}, "ab");
    expect_both("[]", "[%s]", "");
    expect_both("123456", "%d%d%d%d%d%d", u64{1}, u64{2}, u64{3}, u64{4}, u64{5}, u64{6});
    expect_both("AB", "%x%", u64{0xAB});
    expect_both("-9223372036854775808|18446744073709551615", "%d|%u", INT64_MIN, UINT64_MAX);
}

TEST(Buffer, CharStoresOnlyTheLowByteAndZeroStaysInside)
{
    expect_both("AB", "%c%c", u64{0x41}, u64{0x142});
    expect_both(std::string("\0|A", 3), "%c|%c", u64{0}, u64{0x41});
}

TEST(Buffer, ReturnsTheAddressOfTheTerminator)
{
    char buf[32];
    char *end = kestrix_sprintf(buf, "%s-%d", "abc", u64{42});
    EXPECT_EQ(end - buf, 6);
    EXPECT_STREQ(buf, "abc-42");
}

TEST(Buffer, LongOutputIsWrittenWhole)
{
    std::string big(700, 'q');
    expect_both(big + "|" + big.substr(0, 100), "%s|%s", big.c_str(), big.c_str() + 600);
}

// What kestrix_bprintf hands its flush: each piece, with the buffer it
// came from, and the buffer as it was at each call. The call numbered
// fail_at (from 1) returns nonzero, and makes the page at `seal` unreadable.
struct Flushed {
    std::vector<std::string> pieces;
    std::vector<const char *> from;
    std::string at_failure;
    int fail_at = 0;
    size_t size = 0;
    char *seal = nullptr;

    static int32_t flush(void *ctx, const char *bytes, size_t len)
    {
        auto *f = static_cast<Flushed *>(ctx);
        f->pieces.emplace_back(bytes, len);
        f->from.push_back(bytes);
        if (static_cast<int>(f->pieces.size()) != f->fail_at)
            return 0;
        f->at_failure.assign(bytes, f->size);
        if (f->seal)
            mprotect(f->seal, static_cast<size_t>(sysconf(_SC_PAGESIZE)), PROT_NONE);
        return 7;
    }
    std::string joined() const
    {
        std::string all;
        for (const std::string &p : pieces)
            all += p;
        return all;
    }
};

// Random formats of text, %%, every conversion (an unknown one too) and
// strings of up to 40 bytes, through kestrix_bprintf, kestrix_vbprintf and
// kestrix_bprintf_array at every size from 1 to 80 inside guard bytes:
// joined, the pieces are kestrix_sprintf's output, each is the buffer's
// own bytes, every one but the last is full, none is empty, and the result
// is the output's length.
TEST(Pieces, JoinedTheyAreTheOutputAndAllButTheLastAreFull)
{
    static const char letters[] = "cdiuxXpPs%q";
    std::mt19937 rng(20261210);
    std::string strings[8];
    for (int round = 0; round < 60; ++round) {
        std::string fmt;
        uint64_t args[8];
        uint32_t pointers = 0;
        int used = 0;
        while (used < 8 && rng() % 6) {
            fmt.append(rng() % 12, static_cast<char>('a' + rng() % 26));
            const char letter = letters[rng() % (sizeof letters - 1)];
            fmt += '%';
            fmt += letter;
            if (letter == '%')
                continue;
            if (letter == 's') {
                strings[used].assign(rng() % 41, static_cast<char>('A' + used));
                args[used] = reinterpret_cast<uintptr_t>(strings[used].c_str());
                pointers |= 1u << used;
            } else {
                args[used] = (uint64_t{rng()} << 32 | rng()) >> (rng() % 64);
            }
            ++used;
        }
        for (int k = used; k < 8; ++k)
            args[k] = 0;
        char whole[1024];
        const std::string want(whole, kestrix_sprintf(whole, fmt.c_str(), args[0], args[1], args[2], args[3],
                                                      args[4], args[5], args[6], args[7]));
        for (size_t size = 1; size <= 80; ++size) {
            for (int form = 0; form < 2; ++form) {
                unsigned char raw[16 + 80 + 16];
                std::memset(raw, 0xA5, sizeof raw);
                char *buf = reinterpret_cast<char *>(raw) + 16;
                Flushed f;
                const long got = form == 0 ? kestrix_bprintf(Flushed::flush, &f, buf, size, fmt.c_str(), args[0],
                                                             args[1], args[2], args[3], args[4], args[5], args[6],
                                                             args[7])
                                           : kestrix_bprintf_array(Flushed::flush, &f, buf, size, fmt.c_str(),
                                                                   static_cast<size_t>(used), args, pointers);
                SCOPED_TRACE("format \"" + fmt + "\", size " + std::to_string(size) + ", form " +
                             std::to_string(form));
                EXPECT_EQ(got, static_cast<long>(want.size()));
                EXPECT_EQ(f.joined(), want);
                EXPECT_EQ(f.pieces.size(), (want.size() + size - 1) / size);
                for (size_t k = 0; k < f.pieces.size(); ++k) {
                    EXPECT_EQ(f.from[k], buf);
                    EXPECT_TRUE(k + 1 == f.pieces.size() ? !f.pieces[k].empty() : f.pieces[k].size() == size) << k;
                }
                for (size_t k = 0; k < sizeof raw; ++k)
                    if (k < 16 || k >= 16 + size)
                        ASSERT_EQ(raw[k], 0xA5) << "byte " << k;
            }
        }
    }
}

long vbprintf_via_list(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    const long n = kestrix_vbprintf(flush, ctx, buf, size, fmt, ap);
    va_end(ap);
    return n;
}

// A flush that fails on its second call stops the call there: -1, no third
// call, and the buffer as the failing flush saw it. Empty output, a size
// of 0 and a null buffer call nothing.
TEST(Pieces, AFailedFlushStopsTheCall)
{
    const std::string tail(100, 't');
    for (size_t size = 1; size <= 40; ++size) {
        char buf[40];
        Flushed f;
        f.fail_at = 2;
        f.size = size;
        const long got =
            vbprintf_via_list(Flushed::flush, &f, buf, size, "%d|%s%d|%x|%s", INT64_MIN, "ab", INT64_C(-5), UINT64_MAX,
                              tail.c_str()); // at size 12 the second piece ends with the second '-'
        EXPECT_EQ(got, -1) << size;
        ASSERT_EQ(f.pieces.size(), 2u) << size;
        EXPECT_EQ(f.pieces[0] + f.pieces[1], std::string("-9223372036854775808|ab-5|FFFFFFFFFFFFFFFF|" + tail)
                                                 .substr(0, 2 * size)) << size;
        EXPECT_EQ(std::string(buf, size), f.at_failure) << "stored into buf after the failure, size " << size;
    }
    char buf[8];
    Flushed f;
    f.fail_at = 1;
    EXPECT_EQ(kestrix_bprintf(Flushed::flush, &f, buf, 8, "%s", ""), 0);
    EXPECT_EQ(kestrix_bprintf(Flushed::flush, &f, buf, 0, "abc"), -1);
    EXPECT_EQ(kestrix_bprintf(Flushed::flush, &f, nullptr, 8, "abc"), -1);
    EXPECT_TRUE(f.pieces.empty());
    // A last piece that fails fails the call too.
    EXPECT_EQ(kestrix_bprintf(Flushed::flush, &f, buf, 8, "abc"), -1);
    EXPECT_EQ(f.joined(), "abc");
}

// Nothing more of a string or of the format is read once a flush has
// failed: the rest of each lies on a page that the failing flush seals.
TEST(Pieces, NothingIsReadAfterAFailedFlush)
{
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void *map = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    char *const second = static_cast<char *>(map) + page;
    for (int what = 0; what < 2; ++what) {
        ASSERT_EQ(mprotect(second, page, PROT_READ | PROT_WRITE), 0);
        char *const text = second - 24; // 24 bytes before the page and 24 on it
        std::memset(text, 'q', 48);
        text[48] = '\0';
        char buf[8];
        Flushed f;
        f.fail_at = 1;
        f.size = sizeof buf;
        f.seal = second;
        const long got = what == 0 ? kestrix_bprintf(Flushed::flush, &f, buf, sizeof buf, "%s|", text)
                                   : kestrix_bprintf(Flushed::flush, &f, buf, sizeof buf, text);
        EXPECT_EQ(got, -1) << what;
        EXPECT_EQ(f.pieces.size(), 1u) << what;
    }
    munmap(map, 2 * page);
}

// A format or a %s string in the buffer is read no further than the
// buffer's end, and a format not where the output has written over it,
// which after the first flush is all of the buffer.
TEST(Pieces, SourcesInTheBufferAreReadWithinIt)
{
    char b[8];
    Flushed f;
    std::memcpy(b, "ab\0qqqqq", 8);
    EXPECT_EQ(kestrix_bprintf(Flushed::flush, &f, b, 8, "xx%s", b), 10);
    EXPECT_EQ(f.joined(), "xxxxxxxxxx");
    f.pieces.clear();
    std::memcpy(b, "%d%d\0qqqq", 8);
    EXPECT_EQ(kestrix_bprintf(Flushed::flush, &f, b, 8, b, uint64_t{123456789}, uint64_t{5}), 9);
    EXPECT_EQ(f.joined(), "123456789");
    f.pieces.clear();
    char c[16];
    std::strcpy(c, "%s %d");
    EXPECT_EQ(kestrix_bprintf(Flushed::flush, &f, c, sizeof c, c, "%d%s", uint64_t{7}), 4);
    EXPECT_EQ(f.joined(), "%d%s");
}

} // namespace
