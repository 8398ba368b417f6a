// An exception thrown by a C++ sink passes through every library frame to
// the caller, whichever character throws, and the library works normally
// afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "support.h"

namespace {

struct Thrown {
    int at;
};

struct ThrowingSink {
    int count = 0;
    int throw_at;
    static void sink(void *ctx, int32_t)
    {
        auto *s = static_cast<ThrowingSink *>(ctx);
        if (s->count == s->throw_at)
            throw Thrown{s->count};
        ++s->count;
    }
};

void via_list(kestrix_out_fn out, void *ctx, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    kestrix_vfnprintf(out, ctx, fmt, ap);
    va_end(ap);
}

using Call = std::function<void(kestrix_out_fn, void *)>;

// Each entry point, driven into the deepest chain it has.
const std::pair<const char *, Call> calls[] = {
    {"kestrix_str", [](kestrix_out_fn o, void *c) { kestrix_str(o, c, "hello"); }},
    {"kestrix_hex", [](kestrix_out_fn o, void *c) { kestrix_hex(o, c, 0xDEADBEEF, 4); }},
    {"kestrix_dec", [](kestrix_out_fn o, void *c) { kestrix_dec(o, c, static_cast<uint64_t>(INT64_MIN), 1); }},
    {"kestrix_fnprintf %d",
     [](kestrix_out_fn o, void *c) { kestrix_fnprintf(o, c, "a%db", static_cast<int64_t>(-123)); }},
    {"kestrix_fnprintf %x %s %c", [](kestrix_out_fn o, void *c) {
         kestrix_fnprintf(o, c, "%x%s%c%q", uint64_t{0x1FF}, "str", uint64_t{'c'}, uint64_t{0});
     }},
    {"kestrix_vfnprintf", [](kestrix_out_fn o, void *c) { via_list(o, c, "[%u|%p]", uint64_t{99}, uint64_t{1}); }},
};

TEST(Exceptions, SinkExceptionReachesCallerOnFirstMiddleAndLastCharacter)
{
    for (const auto &[name, call] : calls) {
        kt::Recorder all;
        call(kt::Recorder::sink, &all);
        const int n = static_cast<int>(all.chars.size());
        ASSERT_GT(n, 2) << name;
        for (int at : {0, n / 2, n - 1}) {
            ThrowingSink s{0, at};
            bool caught = false;
            try {
                call(ThrowingSink::sink, &s);
            } catch (const Thrown &t) {
                caught = true;
                EXPECT_EQ(t.at, at);
            }
            EXPECT_TRUE(caught) << name << " at character " << at;
            EXPECT_EQ(s.count, at) << name;
        }
        // Nothing is left behind: the same call gives the same output again.
        kt::Recorder again;
        call(kt::Recorder::sink, &again);
        EXPECT_EQ(again.chars, all.chars) << name;
    }
}

} // namespace
