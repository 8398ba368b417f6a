// SPDX-License-Identifier: MIT
// The format language through a recording sink.
#include <gtest/gtest.h>

#include "support.h"

using kt::record;

namespace {

using u64 = uint64_t;
using i64 = int64_t;

TEST(Format, EmptyFormatNeverCallsTheSink)
{
    EXPECT_TRUE(record("").chars.empty());
}

TEST(Format, OrdinaryBytesPassThroughAsUnsignedValues)
{
    EXPECT_EQ(record("a\xE9z").chars, (std::vector<int32_t>{'a', 233, 'z'}));
}

TEST(Format, PercentSigns)
{
    EXPECT_EQ(record("%%%d", u64{5}).text(), "%5");
    EXPECT_EQ(record("%%%").text(), "%");
    EXPECT_EQ(record("%").text(), "");
    EXPECT_EQ(record("a%").text(), "a");
    EXPECT_EQ(record("a%%b").text(), "a%b");
}

TEST(Format, UnknownLetterWritesQuestionMarkAndConsumesItsArgument)
{
    EXPECT_EQ(record("%\xE9%d", u64{1}, u64{2}).text(), "?2");
    EXPECT_EQ(record("%ld|%d", u64{7}, u64{8}).text(), "?d|8");
    EXPECT_EQ(record("%08x|%x", u64{0x12}, u64{0x34}).text(), "?8x|34");
    EXPECT_EQ(record("%f|%d", u64{1}, u64{2}).text(), "?|2");
    EXPECT_EQ(record("%q%d", u64{5}, u64{6}).text(), "?6");
    EXPECT_EQ(record("%z%s", u64{0}, "str").text(), "?str");
}

TEST(Format, HexWidthIsSmallestOfOneTwoFourOrEightBytes)
{
    struct Case {
        u64 v;
        const char *text;
    } cases[] = {
        {0, "00"},
        {0xFF, "FF"},
        {0x100, "0100"},
        {0xFFFF, "FFFF"},
        {0x10000, "00010000"},
        {0xFFFFFFFF, "FFFFFFFF"},
        {0x100000000ull, "0000000100000000"},
        {0xDEADBEEFCAFEBABEull, "DEADBEEFCAFEBABE"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(record("%x", c.v).text(), c.text);
        EXPECT_EQ(record("%X", c.v).text(), c.text);
    }
}

TEST(Format, PointerIsAlwaysSixteenDigits)
{
    EXPECT_EQ(record("%p", u64{0x1234}).text(), "0000000000001234");
    EXPECT_EQ(record("%P", u64{0}).text(), "0000000000000000");
    int local = 0;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&local)));
    EXPECT_EQ(record("%p", static_cast<void *>(&local)).text(), expected);
}

TEST(Format, CharPassesLow32BitsUnchanged)
{
    EXPECT_EQ(record("%c%c", u64{0x41}, u64{0x142}).chars, (std::vector<int32_t>{0x41, 0x142}));
    EXPECT_EQ(record("%c", u64{0x1FF41}).chars, (std::vector<int32_t>{0x1FF41}));
    EXPECT_EQ(record("%c", i64{-1}).chars, (std::vector<int32_t>{-1}));
    EXPECT_EQ(record("%c", u64{0x123456789ull}).chars, (std::vector<int32_t>{0x23456789}));
    EXPECT_EQ(record("[%c]", u64{0}).chars, (std::vector<int32_t>{'[', 0, ']'}));
}

TEST(Format, Decimal)
{
    EXPECT_EQ(record("%d", i64{-1}).text(), "-1");
    EXPECT_EQ(record("%u", i64{-1}).text(), "18446744073709551615");
    EXPECT_EQ(record("%d", INT64_MIN).text(), "-9223372036854775808");
    EXPECT_EQ(record("%i", i64{12345}).text(), "12345");
    EXPECT_EQ(record("%i", i64{-12345}).text(), "-12345");
}

TEST(Format, Strings)
{
    EXPECT_EQ(record("<%s>", "").text(), "<>");
    EXPECT_EQ(record("<%s>", "a\xFF").chars, (std::vector<int32_t>{'<', 'a', 255, '>'}));
    EXPECT_EQ(record("<%s>", static_cast<const char *>(nullptr)).text(), "<(null)>");
}

TEST(Format, ArgumentsAreTakenStrictlyInOrder)
{
    EXPECT_EQ(record("%d,%d,%d,%d", u64{1}, u64{2}, u64{3}, u64{4}).text(), "1,2,3,4");
    // Enough arguments to spill past the registers on both x86-64 and aarch64.
    EXPECT_EQ(record("%d%d%d%d%d%d%d%d%d%d%d%d", u64{1}, u64{2}, u64{3}, u64{4}, u64{5}, u64{6}, u64{7}, u64{8},
                     u64{9}, u64{0}, u64{1}, u64{2})
                  .text(),
              "123456789012");
    EXPECT_EQ(record("%s|%c|%x|%u|%p|%i", "s", u64{'c'}, u64{0xAB}, u64{7}, u64{1}, i64{-3}).text(),
              "s|c|AB|7|0000000000000001|-3");
}

TEST(Format, VfnprintfReadsTheCallersList)
{
    struct Local {
        static kt::Recorder via_list(const char *fmt, ...)
        {
            kt::Recorder r;
            va_list ap;
            va_start(ap, fmt);
            kestrix_vfnprintf(kt::Recorder::sink, &r, fmt, ap);
            va_end(ap);
            return r;
        }
    };
    EXPECT_EQ(Local::via_list("%s=%d", "n", i64{-7}).text(), "n=-7");
}

} // namespace
