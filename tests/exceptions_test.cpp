// SPDX-License-Identifier: MIT
// Leaving a sink non-locally, by a C++ exception or by longjmp, takes control
// through every library frame back to the caller, whichever character the
// sink leaves on, and the library works normally afterwards.
#include <gtest/gtest.h>

#include <csetjmp>
#include <functional>

#include "support.h"

namespace {

using Call = std::function<void(kestrix_out_fn, void *)>;

// A call and the part of its output to cut into: the characters from `first`
// to the end less `tail`.
struct Entry {
    const char *name;
    Call call;
    int first = 0;
    int tail = 0;
};

void via_list(kestrix_out_fn out, void *ctx, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    kestrix_vfnprintf(out, ctx, fmt, ap);
    va_end(ap);
}

// Each entry point, driven into the deepest chain it has, and each conversion
// inside "<...>" so that only its own characters are cut into.
std::vector<Entry> entries()
{
    std::vector<Entry> e = {
        {"kestrix_str", [](kestrix_out_fn o, void *c) { kestrix_str(o, c, "hello"); }},
        {"kestrix_hex", [](kestrix_out_fn o, void *c) { kestrix_hex(o, c, 0xDEADBEEF, 4); }},
        {"kestrix_dec", [](kestrix_out_fn o, void *c) { kestrix_dec(o, c, static_cast<uint64_t>(INT64_MIN), 1); }},
        {"kestrix_fnprintf", [](kestrix_out_fn o, void *c) {
             kestrix_fnprintf(o, c, "%x%s%c%q", uint64_t{0x1FF}, "str", uint64_t{'c'}, uint64_t{0});
         }},
        {"kestrix_vfnprintf", [](kestrix_out_fn o, void *c) { via_list(o, c, "[%u|%p]", uint64_t{99}, uint64_t{1}); }},
    };
    const std::pair<const char *, uint64_t> conversions[] = {
        {"<%c>", 'A'},
        {"<%d>", static_cast<uint64_t>(INT64_MIN)},
        {"<%i>", static_cast<uint64_t>(-12345)},
        {"<%u>", UINT64_MAX},
        {"<%x>", 0x1FF},
        {"<%X>", 0xDEADBEEFCAFEull},
        {"<%p>", 1},
        {"<%P>", 0xFFull << 56},
        {"<%s>", reinterpret_cast<uintptr_t>("a string")},
        {"<%q>", 0},
        {"<%%>", 0},
    };
    for (const auto &[fmt, arg] : conversions)
        e.push_back({fmt, [fmt = fmt, arg = arg](kestrix_out_fn o, void *c) { kestrix_fnprintf(o, c, fmt, arg); }, 1, 1});
    return e;
}

// A sink that leaves at character `at`, having passed the ones before.
struct Cut {
    int count = 0;
    int at;
    std::jmp_buf *env = nullptr;
};

struct Thrown {
    int at;
};

void throwing_sink(void *ctx, int32_t)
{
    auto *s = static_cast<Cut *>(ctx);
    if (s->count == s->at)
        throw Thrown{s->count};
    ++s->count;
}

void jumping_sink(void *ctx, int32_t)
{
    auto *s = static_cast<Cut *>(ctx);
    if (s->count == s->at)
        std::longjmp(*s->env, 1);
    ++s->count;
}

// Each returns whether control came back to the caller through the sink's
// exit at exactly character `at`. No frame between here and the sink has a
// destructor to skip, so longjmp over them is sound.
bool leave_by_exception(const Call &call, int at)
{
    Cut s;
    s.at = at;
    try {
        call(throwing_sink, &s);
    } catch (const Thrown &t) {
        return t.at == at && s.count == at;
    }
    return false;
}

bool leave_by_longjmp(const Call &call, int at)
{
    // The sink's count changes between setjmp and longjmp, so it must not
    // live in this frame, where its value would be indeterminate after the jump.
    static Cut s;
    static std::jmp_buf env;
    s = Cut{0, at, &env};
    if (setjmp(env) == 0) {
        call(jumping_sink, &s);
        return false;
    }
    return s.count == at;
}

// Cuts every entry on the first, a middle and the last character of its
// range, then checks the same call still gives the whole output.
void check_every_cut(bool (*leave)(const Call &, int))
{
    for (const Entry &e : entries()) {
        kt::Recorder all;
        e.call(kt::Recorder::sink, &all);
        const int first = e.first, last = static_cast<int>(all.chars.size()) - 1 - e.tail;
        ASSERT_LE(first, last) << e.name;
        for (int at : {first, (first + last) / 2, last})
            EXPECT_TRUE(leave(e.call, at)) << e.name << " left at character " << at;
        kt::Recorder again;
        e.call(kt::Recorder::sink, &again);
        EXPECT_EQ(again.chars, all.chars) << e.name;
    }
}

TEST(NonLocalExit, SinkExceptionReachesCallerOnFirstMiddleAndLastCharacter)
{
    check_every_cut(leave_by_exception);
}

TEST(NonLocalExit, LongjmpOutOfSinkReachesCallerAndLibraryFormatsAgain)
{
    check_every_cut(leave_by_longjmp);
    // The buffer front end, which shares the interpreter, is intact as well.
    kt::Guarded g;
    const char *end = kestrix_sprintf(g.buf(), "%d|%s|%x", INT64_MIN, "ok", uint64_t{0x1FF});
    EXPECT_TRUE(g.check(end, "-9223372036854775808|ok|01FF"));
}

} // namespace
