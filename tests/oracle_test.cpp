// SPDX-License-Identifier: MIT
// Decimal and hex digits checked against the host's snprintf over boundary
// and random values, through the sink and through the buffer front end.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "support.h"

namespace {

std::vector<uint64_t> values()
{
    std::vector<uint64_t> v = {0, 1, 2, 9, 10, 11, 0x7F, 0x80, 0xFF, 0x100, 0xFFFF, 0x10000, 0xFFFFFFFF,
                               0x100000000ull, INT64_MAX, static_cast<uint64_t>(INT64_MIN), UINT64_MAX};
    // Powers of ten and their neighbours, both signs; powers of two and their neighbours.
    for (uint64_t p = 1; p <= UINT64_MAX / 10; p *= 10)
        for (uint64_t q : {p - 1, p, p + 1, p * 10 - 1, p * 10, p * 10 + 1})
            for (uint64_t s : {q, 0 - q})
                v.push_back(s);
    for (int b = 0; b < 64; ++b)
        for (uint64_t q : {(uint64_t{1} << b) - 1, uint64_t{1} << b, (uint64_t{1} << b) + 1})
            v.push_back(q);
    std::mt19937_64 rng(20261208);
    for (int i = 0; i < 3000; ++i) {
        // Spread across magnitudes, not just huge values.
        const int bits = 1 + static_cast<int>(rng() % 64);
        v.push_back(rng() >> (64 - bits));
    }
    return v;
}

int hex_digits(uint64_t v)
{
    return v <= 0xFF ? 2 : v <= 0xFFFF ? 4 : v <= 0xFFFFFFFF ? 8 : 16;
}

std::string host(const char *fmt, uint64_t v)
{
    char out[64];
    const auto ull = static_cast<unsigned long long>(v);
    const auto ll = static_cast<long long>(v);
    const std::string f = fmt;
    if (f == "%d" || f == "%i")
        std::snprintf(out, sizeof out, "%lld", ll);
    else if (f == "%u")
        std::snprintf(out, sizeof out, "%llu", ull);
    else if (f == "%x" || f == "%X")
        std::snprintf(out, sizeof out, "%0*llX", hex_digits(v), ull);
    else
        std::snprintf(out, sizeof out, "%016llX", ull);
    return out;
}

TEST(Oracle, NumericConversionsMatchHostSnprintf)
{
    const auto vs = values();
    for (const char *fmt : {"%d", "%i", "%u", "%x", "%X", "%p", "%P"}) {
        int failures = 0;
        for (uint64_t v : vs) {
            const std::string want = host(fmt, v);
            const std::string got = kt::record(fmt, v).text();
            char buf[64];
            const char *end = kestrix_sprintf(buf, fmt, v);
            if ((got != want || std::string(static_cast<const char *>(buf), end) != want) && ++failures <= 5)
                ADD_FAILURE() << fmt << " of 0x" << std::hex << v << ": got " << got << ", host " << want;
        }
        EXPECT_EQ(failures, 0) << fmt;
    }
}

TEST(Oracle, EmittersMatchHostSnprintf)
{
    const auto vs = values();
    for (uint64_t v : vs) {
        kt::Recorder s, u, h;
        kestrix_dec(kt::Recorder::sink, &s, v, 1);
        kestrix_dec(kt::Recorder::sink, &u, v, 0);
        ASSERT_EQ(s.text(), host("%d", v));
        ASSERT_EQ(u.text(), host("%u", v));
        for (int32_t n = 1; n <= 8; ++n) {
            char want[32];
            const uint64_t mask = n == 8 ? UINT64_MAX : (uint64_t{1} << (8 * n)) - 1;
            std::snprintf(want, sizeof want, "%0*llX", 2 * n, static_cast<unsigned long long>(v & mask));
            kt::Recorder r;
            kestrix_hex(kt::Recorder::sink, &r, v, n);
            ASSERT_EQ(r.text(), want) << "nbytes " << n;
        }
    }
}

} // namespace
