// SPDX-License-Identifier: MIT
// The three emitters called directly through a recording sink.
#include <gtest/gtest.h>

#include "support.h"

using kt::Recorder;

namespace {

Recorder str(const char *s)
{
    Recorder r;
    kestrix_str(Recorder::sink, &r, s);
    EXPECT_TRUE(r.ctx_always(&r));
    return r;
}

Recorder hex(uint64_t v, int32_t nbytes)
{
    Recorder r;
    kestrix_hex(Recorder::sink, &r, v, nbytes);
    EXPECT_TRUE(r.ctx_always(&r));
    return r;
}

Recorder dec(uint64_t v, int32_t is_signed)
{
    Recorder r;
    kestrix_dec(Recorder::sink, &r, v, is_signed);
    EXPECT_TRUE(r.ctx_always(&r));
    return r;
}

TEST(Str, WritesEachByteOnceAndNothingForEmpty)
{
    EXPECT_TRUE(str("").chars.empty());
    EXPECT_EQ(str("hello").chars, (std::vector<int32_t>{'h', 'e', 'l', 'l', 'o'}));
}

TEST(Str, BytesAboveSevenBitArriveAsPositiveValues)
{
    // Plain char is signed on x86-64 and unsigned on aarch64: both must give 128..255.
    EXPECT_EQ(str("ab\xFF" "c").chars, (std::vector<int32_t>{'a', 'b', 255, 'c'}));
    EXPECT_EQ(str("\xE9").chars, (std::vector<int32_t>{233}));
    EXPECT_EQ(str("\x80\x7F").chars, (std::vector<int32_t>{128, 127}));
}

TEST(Str, NullPointerWritesNullMarker)
{
    EXPECT_EQ(str(nullptr).text(), "(null)");
}

TEST(Hex, WidthFollowsNbytes)
{
    const uint64_t v = 0x0123456789ABCDEFull;
    const char *expected[] = {"EF", "CDEF", "ABCDEF", "89ABCDEF", "6789ABCDEF", "456789ABCDEF",
                              "23456789ABCDEF", "0123456789ABCDEF"};
    for (int32_t n = 1; n <= 8; ++n)
        EXPECT_EQ(hex(v, n).text(), expected[n - 1]) << "nbytes " << n;
}

TEST(Hex, OutOfRangeNbytesGivesSixteenDigits)
{
    for (int32_t n : {0, 9, -1, 16, INT32_MIN, INT32_MAX})
        EXPECT_EQ(hex(0x0123456789ABCDEFull, n).text(), "0123456789ABCDEF") << "nbytes " << n;
}

TEST(Hex, CutsToWidthAndKeepsLeadingZeros)
{
    EXPECT_EQ(hex(0x1234, 1).text(), "34");
    EXPECT_EQ(hex(0, 4).text(), "00000000");
    EXPECT_EQ(hex(0xFFFFFFFFFFFFFFFFull, 2).text(), "FFFF");
    EXPECT_EQ(hex(0xABCDEF, 3).text(), "ABCDEF");
}

TEST(Dec, SignedAndUnsignedReadings)
{
    struct Case {
        uint64_t v;
        int32_t is_signed;
        const char *text;
    } cases[] = {
        {0, 1, "0"},
        {0, 0, "0"},
        {1000, 0, "1000"},
        {static_cast<uint64_t>(-1), 1, "-1"},
        {static_cast<uint64_t>(-1), 0, "18446744073709551615"},
        {static_cast<uint64_t>(INT64_MIN), 1, "-9223372036854775808"},
        {static_cast<uint64_t>(INT64_MIN + 1), 1, "-9223372036854775807"},
        {static_cast<uint64_t>(INT64_MIN), 0, "9223372036854775808"},
        {static_cast<uint64_t>(-5), 0, "18446744073709551611"},
        {static_cast<uint64_t>(-5), 0x11, "-5"}, // any nonzero flag means signed
        {static_cast<uint64_t>(INT64_MAX), 1, "9223372036854775807"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(dec(c.v, c.is_signed).text(), c.text) << c.v << " signed=" << c.is_signed;
}

TEST(Dec, MinusSignComesFirstOneCallPerCharacter)
{
    EXPECT_EQ(dec(static_cast<uint64_t>(-42), 1).chars, (std::vector<int32_t>{'-', '4', '2'}));
}

} // namespace
