// SPDX-License-Identifier: MIT
// Runtime behaviour of kestrix.hpp: what reaches the library for each
// argument type, the bounds of format_to_n, and the sinks. The host's
// snprintf is the oracle for decimal and hexadecimal digits.
#include <kestrix.hpp>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

extern char unknown_bound[]; // defined at the end, as if in another file

namespace {

int checks;
int failures;

void check(bool ok, const char *what, int line, const std::string &detail = {})
{
    ++checks;
    if (!ok) {
        ++failures;
        std::fprintf(stderr, "cpp_interface.cpp:%d: %s %s\n", line, what, detail.c_str());
    }
}
#define CHECK(cond) check((cond), #cond, __LINE__)
#define CHECK_EQ(actual, expected)                                                              \
    do {                                                                                        \
        const std::string a_ = (actual), e_ = (expected);                                       \
        check(a_ == e_, #actual, __LINE__, "is \"" + a_ + "\", expected \"" + e_ + "\"");       \
    } while (0)

// Formats through a callable into a std::string; as a function of its own
// that takes a checked format, it also shows that forwarding one works.
template <class... Args>
std::string fmt(kestrix::format_string<Args...> f, Args &&...args)
{
    std::string out;
    kestrix::format([&](std::int32_t c) { out.push_back(static_cast<char>(c)); }, f,
                    std::forward<Args>(args)...);
    return out;
}

// What the host prints for a 64-bit value v as %d|%u|%p.
std::string oracle(std::uint64_t v)
{
    char buf[80];
    std::snprintf(buf, sizeof buf, "%" PRId64 "|%" PRIu64 "|%016" PRIX64,
                  static_cast<std::int64_t>(v), v, v);
    return buf;
}

// Every integer type reaches the library as the 64-bit value that keeps
// its value: signed types sign-extended, unsigned zero-extended.
template <class T>
void check_integer_type(const char *name)
{
    const T values[] = {std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), T(0),
                        T(1), static_cast<T>(std::numeric_limits<T>::max() / 3)};
    for (T v : values) {
        const std::uint64_t expected = std::is_signed_v<T>
                                           ? static_cast<std::uint64_t>(static_cast<std::int64_t>(v))
                                           : static_cast<std::uint64_t>(v);
        const std::string got = fmt("%d|%u|%p", v, v, v);
        check(got == oracle(expected), name, __LINE__, got + " vs " + oracle(expected));
    }
}

void test_integer_widening()
{
    check_integer_type<signed char>("signed char");
    check_integer_type<short>("short");
    check_integer_type<int>("int");
    check_integer_type<long>("long");
    check_integer_type<long long>("long long");
    check_integer_type<unsigned char>("unsigned char");
    check_integer_type<unsigned short>("unsigned short");
    check_integer_type<unsigned>("unsigned");
    check_integer_type<unsigned long>("unsigned long");
    check_integer_type<unsigned long long>("unsigned long long");

    // Many narrow negative arguments: some travel on the stack, where the
    // upper half of a slot holding a bare int is not defined.
    const int m = -1;
    const short s = -2;
    CHECK_EQ(fmt("%d %d %d %d %d %d %d %d %d %d", m, s, m, s, m, s, m, s, m, s),
             "-1 -2 -1 -2 -1 -2 -1 -2 -1 -2");
    CHECK_EQ(fmt("%x %x", -1, 0xFFFFFFFFu), "FFFFFFFFFFFFFFFF FFFFFFFF");
    CHECK_EQ(fmt("%d|%d", true, false), "1|0");
    volatile int vi = -9;
    CHECK_EQ(fmt("%d", vi), "-9");

    // Bit-fields and packed fields, which no reference can bind to.
    struct bits {
        int s3 : 3;
        unsigned u5 : 5;
        long long s40 : 40;
    } b{-2, 31, -5};
    struct __attribute__((packed)) record {
        char tag;
        std::int64_t value;
    } r{'r', -7};
    char buf[32];
    kestrix::format_to(buf, "%d %u %d %d", b.s3, b.u5, b.s40, r.value);
    CHECK_EQ(buf, "-2 31 -5 -7");
    // Beside an object, which is not copied, a bit-field is still accepted.
    struct counted {
        int *copies;
        counted(int *c) : copies(c) {}
        counted(const counted &o) : copies(o.copies) { ++*copies; }
        const char *c_str() const { return "obj"; }
    };
    int copies = 0;
    const counted object(&copies);
    kestrix::format_to(buf, "%s %d", object, b.s3);
    CHECK_EQ(buf, "obj -2");
    CHECK(copies == 0);
}

void test_characters_and_enums()
{
    // Plain char is a byte whatever its signedness on this platform.
    const char e9 = static_cast<char>(0xE9);
    CHECK_EQ(fmt("%d %u %x", e9, e9, e9), "233 233 E9");
    CHECK_EQ(fmt("%d", static_cast<signed char>(-23)), "-23");
    CHECK_EQ(fmt("%d %d %d %d", u8'A', static_cast<char8_t>(0xE9), L'\xE9', U'\U0001F600'),
             "65 233 233 128512");
    CHECK_EQ(fmt("%u", static_cast<wchar_t>(-1)),
             std::to_string(static_cast<std::make_unsigned_t<wchar_t>>(-1)));

    enum class small : std::int8_t { minus_two = -2 };
    enum class wide : std::uint64_t { top = ~0ull };
    enum plain { three = 3 };
    CHECK_EQ(fmt("%d %u", small::minus_two, small::minus_two), "-2 18446744073709551614");
    CHECK_EQ(fmt("%u %d", wide::top, three), "18446744073709551615 3");

    // %c hands the sink the low 32 bits of the widened value.
    std::vector<std::int32_t> got;
    kestrix::format([&](std::int32_t c) { got.push_back(c); }, "%c%c%c%c", 'A', 0x142, -1, e9);
    CHECK((got == std::vector<std::int32_t>{0x41, 0x142, -1, 0xE9}));
}

struct zstring {
    const char *p;
    const char *c_str() const { return p; }
};

int marker_function(int x) { return x; }

void test_pointers_and_strings()
{
    int x = 0;
    char hex[20];
    std::uint64_t address = reinterpret_cast<std::uintptr_t>(&x);
    std::snprintf(hex, sizeof hex, "%016" PRIX64, address);
    CHECK_EQ(fmt("%p", &x), hex);
    CHECK_EQ(fmt("%P", static_cast<const volatile void *>(&x)), hex);
    address = reinterpret_cast<std::uintptr_t>(&marker_function);
    std::snprintf(hex, sizeof hex, "%016" PRIX64, address);
    CHECK_EQ(fmt("%p", &marker_function), hex);
    CHECK_EQ(fmt("%p", marker_function), hex);
    CHECK_EQ(fmt("%p|%p", nullptr, 0x1234), "0000000000000000|0000000000001234");

    char array[] = "array";
    const std::string str = "std::string";
    const unsigned char bytes[] = {0x61, 0xFF, 0x62, 0};
    CHECK_EQ(fmt("%s,%s,%s,%s,%s", array, "literal", str, std::string("temporary"),
                 zstring{"c_str"}),
             "array,literal,std::string,temporary,c_str");
    CHECK_EQ(fmt("%s|%s|%s", bytes, u8"\u00FC", std::u8string(u8"\u00E9")), "a\xFF" "b|\xC3\xBC|\xC3\xA9");
}

void test_format_to()
{
    char buf[32];
    std::memset(buf, 0x5A, sizeof buf);
    char *end = kestrix::format_to(buf, "x=%x s=%s", 0x1FF, "ab");
    CHECK(end == buf + 11);
    CHECK(std::memcmp(buf, "x=01FF s=ab\0\x5A", 13) == 0);

    // A %c of 0 is stored inside the output; the end is after it.
    end = kestrix::format_to(buf, "[%c]", 0);
    CHECK(end == buf + 3 && std::memcmp(buf, "[\0]\0", 4) == 0);

    // On an array the output is cut to the array's size; the end is its NUL.
    struct {
        char before[8];
        char array[8];
        char after[8];
    } g;
    std::memset(&g, 0x5A, sizeof g);
    end = kestrix::format_to(g.array, "id=%u name=%s", 42u, "sensor");
    CHECK(end == g.array + 7 && std::memcmp(g.array, "id=42 n", 8) == 0);
    CHECK(std::all_of(g.before, g.before + 8, [](char c) { return c == 0x5A; }) &&
          std::all_of(g.after, g.after + 8, [](char c) { return c == 0x5A; }));
    end = kestrix::format_to(g.array, "%u", 7u);
    CHECK(end == g.array + 1 && std::strcmp(g.array, "7") == 0);

    // A std::array is cut the same way; an array of unknown bound, like a
    // pointer, must hold the whole output.
    std::array<char, 8> a;
    end = kestrix::format_to(a, "id=%u name=%s", 42u, "sensor");
    CHECK(end == a.data() + 7 && std::memcmp(a.data(), "id=42 n", 8) == 0);
    end = kestrix::format_to(unknown_bound, "%s=%d", "id", -42);
    CHECK(end == unknown_bound + 6 && std::strcmp(unknown_bound, "id=-42") == 0);

    // A format made at run time, through the named route.
    const std::string runtime = std::string("%s") + "=%x";
    CHECK(kestrix::format_to_n(buf, sizeof buf, kestrix::runtime_format(runtime.c_str()), "mask", 0xF0u) == 7);
    CHECK_EQ(buf, "mask=F0");
    // Given too few arguments it reads none that was not passed, and too
    // many are not read, through every call.
    const std::string few = std::string("%s") + "=%x %p|";
    kestrix::format_to(buf, kestrix::runtime_format(few.c_str()), "mask");
    CHECK_EQ(buf, "mask=(missing) (missing)|");
    char *p = buf;
    kestrix::format_to(p, kestrix::runtime_format(few.c_str() + 2), 1, 2, 3);
    CHECK_EQ(buf, "=01 0000000000000002|");
    std::string out;
    kestrix::format([&](std::int32_t c) { out.push_back(static_cast<char>(c)); }, kestrix::runtime_format(few.c_str()));
    CHECK(out == "(missing)=(missing) (missing)|");
    // A %s given an integer reads nothing through it, through every call.
    const std::string marked = std::string("%s") + "=%x|";
    kestrix::format_to(buf, kestrix::runtime_format(marked.c_str()), 42, 0xF0u);
    CHECK_EQ(buf, "(not a pointer)=F0|");
    kestrix::format_to(p, kestrix::runtime_format(marked.c_str()), 5u, 1);
    CHECK_EQ(buf, "(not a pointer)=01|");
    out.clear();
    kestrix::format([&](std::int32_t c) { out.push_back(static_cast<char>(c)); }, kestrix::runtime_format(few.c_str()), 7);
    CHECK(out == "(not a pointer)=(missing) (missing)|");
}

void test_format_to_n()
{
    const std::string full = "v=-12 x=ABCD s=xyz";
    for (std::size_t size = 0; size <= full.size() + 2; ++size) {
        char buf[40];
        std::memset(buf, 0x5A, sizeof buf);
        const std::size_t len = kestrix::format_to_n(buf, size, "v=%d x=%x s=%s", -12, 0xABCD, "xyz");
        const std::size_t kept = size == 0 ? 0 : std::min(size - 1, full.size());
        bool ok = len == full.size() && std::memcmp(buf, full.data(), kept) == 0;
        if (size > 0)
            ok = ok && buf[kept] == '\0';
        for (std::size_t i = size; i < sizeof buf; ++i)
            ok = ok && buf[i] == 0x5A;
        check(ok, "format_to_n", __LINE__, "size " + std::to_string(size));
    }
    CHECK(kestrix::format_to_n(nullptr, 0, "%u", 1234567u) == 7);

    // Like the buffer front ends, only the low byte of %c is stored.
    char buf[8];
    CHECK(kestrix::format_to_n(buf, sizeof buf, "%c%c", 0x41, 0x142) == 2);
    CHECK_EQ(buf, "AB");

    // kestrix::print writes to a descriptor and returns the length.
    int fds[2];
    char line[16] = {};
    CHECK(pipe(fds) == 0 && kestrix::print(fds[1], "%s=%d\n", std::string("delta"), -1) == 9 &&
          read(fds[0], line, sizeof line) == 9);
    CHECK_EQ(line, "delta=-1\n");
    const char *made = "%d %d\n";
    std::memset(line, 0, sizeof line);
    CHECK(kestrix::print(fds[1], kestrix::runtime_format(made), 7) == 12 && read(fds[0], line, sizeof line) == 12);
    CHECK_EQ(line, "7 (missing)\n");
    close(fds[0]), close(fds[1]);
}

struct collector {
    std::string text;
    std::vector<void *> contexts;
    static void put(void *ctx, std::int32_t c)
    {
        collector *self = static_cast<collector *>(ctx);
        self->contexts.push_back(ctx);
        self->text.push_back(static_cast<char>(c));
    }
};

std::string function_output;
void to_function_output(std::int32_t c) { function_output.push_back(static_cast<char>(c)); }

void test_sinks()
{
    collector col;
    kestrix::format(&collector::put, &col, "%d%%%s", -3, "z");
    CHECK_EQ(col.text, "-3%z");
    CHECK(col.contexts == std::vector<void *>(4, &col));

    kestrix::format(to_function_output, "%u-%u", 1, 2);
    CHECK_EQ(function_output, "1-2");
    kestrix::sink from_function{to_function_output};
    kestrix_str(from_function.out(), from_function.ctx(), "!");
    CHECK_EQ(function_output, "1-2!");

    // The adapter gives the C emitters a callable as their sink.
    std::string out;
    auto append = [&out](std::int32_t c) { out.push_back(static_cast<char>(c)); };
    kestrix::sink s{append};
    kestrix_dec(s.out(), s.ctx(), static_cast<std::uint64_t>(-5), 1);
    kestrix_hex(s.out(), s.ctx(), 0xABCD, 2);
    kestrix_str(s.out(), s.ctx(), "!");
    CHECK_EQ(out, "-5ABCD!");

    // A sink made from a temporary keeps the callable for as long as it lives.
    std::string kept;
    kestrix::sink t{[&kept](std::int32_t c) { kept.push_back(static_cast<char>(c)); }};
    kestrix_dec(t.out(), t.ctx(), 77, 0);
    CHECK_EQ(kept, "77");

    // A const callable works through a const sink.
    std::vector<std::int32_t> seen;
    const auto push = [&seen](std::int32_t c) { seen.push_back(c); };
    kestrix::format(push, "ab");
    CHECK(seen.size() == 2 && seen[0] == 'a' && seen[1] == 'b');

    // An exception from the callable leaves the library and reaches the caller
    // after exactly the characters before it.
    std::string partial;
    bool caught = false;
    try {
        kestrix::format(
            [&](std::int32_t c) {
                if (partial.size() == 3)
                    throw std::runtime_error("sink full");
                partial.push_back(static_cast<char>(c));
            },
            "%d%s", 12345, "tail");
    } catch (const std::runtime_error &) {
        caught = true;
    }
    CHECK(caught);
    CHECK_EQ(partial, "123");
}

// format_pieces: a lambda that returns nothing, one whose nonzero result
// stops the call, a format made at run time, an object argument, and an
// exception thrown by the flush, which reaches the caller.
void test_pieces()
{
    std::vector<std::string> pieces;
    char buf[5];
    auto keep = [&](const char *bytes, std::size_t len) { pieces.emplace_back(bytes, len); };
    CHECK(kestrix::format_pieces(keep, buf, "v=%d s=%s", -12, std::string("xyz")) == 11);
    CHECK(pieces.size() == 3 && pieces[0] == "v=-12" && pieces[1] == " s=xy" && pieces[2] == "z");
    int calls = 0;
    auto once = [&](const char *, std::size_t) { return ++calls == 2 ? 1 : 0; };
    CHECK(kestrix::format_pieces(once, buf, 2, "%u", 123456u) == -1 && calls == 2);
    pieces.clear();
    const std::string few = std::string("%s") + "=%x|";
    CHECK(kestrix::format_pieces(keep, buf, 3, kestrix::runtime_format(few.c_str()), 42) == 26);
    CHECK(pieces.size() == 9 && pieces[0] == "(no" && pieces[8] == ")|");
    bool caught = false;
    try {
        kestrix::format_pieces([](const char *, std::size_t) { throw std::runtime_error("full"); }, buf, "%s",
                               "more than five");
    } catch (const std::runtime_error &) {
        caught = true;
    }
    CHECK(caught);
}

} // namespace

char unknown_bound[16];

int main()
{
    test_integer_widening();
    test_characters_and_enums();
    test_pointers_and_strings();
    test_format_to();
    test_format_to_n();
    test_sinks();
    test_pieces();
    std::printf("cpp_interface: %d checks, %d failed\n", checks, failures);
    return failures == 0 ? 0 : 1;
}
