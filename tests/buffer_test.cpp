// SPDX-License-Identifier: MIT
// The buffer front ends: exactly the output, one NUL, nothing else touched.
#include <gtest/gtest.h>

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

} // namespace
