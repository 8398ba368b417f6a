// The library's own calls between exported functions bind like an outside
// caller's: this executable exports its own kestrix_str and kestrix_vfnprintf,
// which count their calls and forward to the library's definitions.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

#include <kestrix_checked.h>

namespace {
int str_calls = 0;
int vfnprintf_calls = 0;

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

// The bounded call formats each conversion but %s through the library,
// once each; its text and strings it copies itself.
TEST(Interposition, BoundedCallReachesTheInterposedFunctionsForItsConversionsAlone)
{
    char buf[32];
    reset();
    EXPECT_EQ(kestrix_snprintf(buf, sizeof buf, "%s=%x,%d", "k", uint64_t{0x1FF}, int64_t{-3}), 9u);
    EXPECT_STREQ(buf, "k=01FF,-3");
    EXPECT_EQ(vfnprintf_calls, 2);
    EXPECT_EQ(str_calls, 2); // the digits of %x and %d
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
