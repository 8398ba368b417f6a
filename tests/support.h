/* SPDX-License-Identifier: MIT */
// Test helpers: a recording sink and guard-padded buffers.
#pragma once

#include <kestrix.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kt {

// Records every sink call: the character values exactly as passed and the
// context pointer each call received.
struct Recorder {
    std::vector<int32_t> chars;
    std::vector<void *> ctxs;

    static void sink(void *ctx, int32_t c)
    {
        auto *r = static_cast<Recorder *>(ctx);
        r->chars.push_back(c);
        r->ctxs.push_back(ctx);
    }

    // The calls as text; only meaningful when every value is a byte.
    std::string text() const
    {
        std::string s;
        for (int32_t c : chars)
            s.push_back(static_cast<char>(c));
        return s;
    }

    bool ctx_always(const void *expected) const
    {
        for (void *p : ctxs)
            if (p != expected)
                return false;
        return true;
    }
};

template <typename... Args>
Recorder record(const char *fmt, Args... args)
{
    Recorder r;
    kestrix_fnprintf(Recorder::sink, &r, fmt, args...);
    EXPECT_TRUE(r.ctx_always(&r)) << fmt;
    return r;
}

// A buffer inside a guard pattern. After a front end has run, check() asserts
// that the bytes before the output and after its terminator still hold the
// pattern and that the returned end points at the terminator.
struct Guarded {
    static constexpr size_t kGuard = 64;
    static constexpr size_t kSize = 1024;
    static constexpr unsigned char kPattern = 0xA5;
    unsigned char raw[kGuard + kSize + kGuard];

    Guarded() { std::memset(raw, kPattern, sizeof raw); }
    char *buf() { return reinterpret_cast<char *>(raw + kGuard); }

    // The output as bytes (NULs inside it included), given the end pointer.
    std::string output(const char *end) { return std::string(static_cast<const char *>(buf()), end); }

    ::testing::AssertionResult check(const char *end, const std::string &expected)
    {
        const ptrdiff_t len = end - buf();
        if (len < 0 || static_cast<size_t>(len) >= kSize)
            return ::testing::AssertionFailure() << "end pointer out of range: " << len;
        if (output(end) != expected)
            return ::testing::AssertionFailure() << "wrote \"" << output(end) << "\", expected \"" << expected << "\"";
        if (*end != '\0')
            return ::testing::AssertionFailure() << "no NUL at the end pointer";
        for (size_t i = 0; i < sizeof raw; ++i) {
            const bool written = i >= kGuard && i <= kGuard + static_cast<size_t>(len);
            if (!written && raw[i] != kPattern)
                return ::testing::AssertionFailure() << "byte at offset " << static_cast<ptrdiff_t>(i - kGuard)
                                                     << " outside the output was touched";
        }
        return ::testing::AssertionSuccess();
    }
};

} // namespace kt
