/* SPDX-License-Identifier: MIT */
// The benchmark's inputs, and {fmt}'s code for each case. Compiled twice:
// header-only into the benchmark, and against the compiled libfmt into a
// library of its own (fmt_compiled.cpp). Every translation unit that
// includes it builds the same inputs from the same seed.
#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

using u64 = uint64_t;
using i64 = int64_t;

template <typename T>
T opaque(T volatile &p)
{
    return p;
}

// A spread of 64-bit values: every bit length from 1 to 64, both signs.
constexpr size_t kValues = 1024; // a power of two
struct Inputs {
    u64 v[kValues];
    u64 ch[kValues];
    u64 counter[kValues];
    u64 addr[kValues];
    u64 flags[kValues];
    const char *name[kValues];
    std::string text64;
    Inputs()
    {
        static const char *const names[] = {"net", "storage", "scheduler", "io", "timer", "usb-hub", "dma", "power"};
        std::mt19937_64 rng(4);
        for (size_t i = 0; i < kValues; ++i) {
            const int bits = 1 + static_cast<int>(rng() % 64);
            u64 x = rng() >> (64 - bits);
            if (rng() & 1)
                x = 0 - x;
            v[i] = x;
            ch[i] = 'A' + i % 26;
            counter[i] = 1000000 + i * 37;
            addr[i] = 0x7FFDA3C01000ull + (rng() & 0xFFFF0);
            flags[i] = (rng() & 0xFFFFFFFF) >> (rng() % 32);
            name[i] = names[rng() % 8];
        }
        for (int i = 0; i < 64; ++i)
            text64.push_back(static_cast<char>('a' + i % 26));
    }
};
const Inputs in;

int hex_digits(u64 v)
{
    return v <= 0xFF ? 2 : v <= 0xFFFF ? 4 : v <= 0xFFFFFFFF ? 8 : 16;
}

// Each formatter, one case, one input index: writes into buf, NUL-terminated.
using Fn = void (*)(char *buf, size_t i);

#define FMT_PLAIN "plain text, forty bytes, no conversion.\n"
static_assert(sizeof FMT_PLAIN - 1 == 40, "the plain-text case is 40 bytes");

void f_char(char *b, size_t i) { *fmt::format_to(b, "{}", static_cast<char>(in.ch[i])) = '\0'; }
void f_dec(char *b, size_t i) { *fmt::format_to(b, "{}", static_cast<i64>(in.v[i])) = '\0'; }
void f_hex(char *b, size_t i) { *fmt::format_to(b, "{:0{}X}", in.v[i], hex_digits(in.v[i])) = '\0'; }
void f_log(char *b, size_t i)
{
    *fmt::format_to(b, "[{}] {}: value={} addr={:016X} flags={:0{}X}\n", in.counter[i], in.name[i],
                    static_cast<i64>(in.v[i]), in.addr[i], in.flags[i], hex_digits(in.flags[i])) = '\0';
}
void f_plain(char *b, size_t) { *fmt::format_to(b, FMT_PLAIN) = '\0'; }
void f_str(char *b, size_t) { *fmt::format_to(b, "<{}>", in.text64.c_str()) = '\0'; }

// {fmt}'s functions for every case, in the order of the benchmark's table.
struct FmtCases {
    Fn ch, dec, hex, log, plain, str;
};

} // namespace
