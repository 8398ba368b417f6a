// SPDX-License-Identifier: MIT
// Calls that must not compile, one per KESTRIX_CASE; CTest compiles each and
// expects the diagnostic named in CMakeLists.txt. KESTRIX_CASE 0 holds the
// same calls made right, and must compile.
#include <kestrix.hpp>

#include <array>
#include <string>
#include <string_view>

namespace {
enum class colour { red };
void ignore(void *, std::int32_t) {}
void ignore_char(std::int32_t) {}
struct flags {
    unsigned ready : 1;
    int level : 4;
};
struct __attribute__((packed)) record {
    char tag;
    std::int64_t value;
};
} // namespace

void calls(char *buf, const char *runtime_format)
{
    int n = 1;
    double d = 2.5;
    (void)d;
    (void)runtime_format;
    auto lambda = [](std::int32_t) {};
    (void)lambda;
#if KESTRIX_CASE == 0
    kestrix::format_to(buf, "%d %d", n, n);
    kestrix::format_to(buf, "%d", n);
    kestrix::format_to(buf, "100%%");
    kestrix::format_to(buf, "%x", n);
    kestrix::format_to(buf, "%s", "s");
    kestrix::format_to(buf, "%d %s", n, std::string("x"));
    kestrix::format_to(buf, "%s", std::string_view("x").data());
    kestrix::format_to(buf, "%d", colour::red);
    kestrix::format_to(buf, "%p", &n);
    kestrix::format_to(buf, "%p %p", 0x10, nullptr);
    kestrix::format_to_n(buf, 4, "%d", n);
    kestrix::format(&ignore, nullptr, "%s", "x");
    kestrix::format(lambda, "%d %d", n, n);
    char array[8];
    kestrix::format_to(array, "%d", n);
    flags f{1, -2};
    record r{'r', -3};
    kestrix::format_to_n(buf, 4, "%u %d %d", f.ready, f.level, r.value);
    kestrix::sink s{[](std::int32_t) {}};
    kestrix_str(s.out(), s.ctx(), "x");
    kestrix::sink from_function{ignore_char};
    kestrix_str(from_function.out(), from_function.ctx(), "x");
    std::array<char, 4> std_array;
    kestrix::format_to(std_array, "%d", n);
    kestrix::format_to(buf, kestrix::runtime_format(runtime_format), n, "s");
#ifdef __cpp_char8_t
    kestrix::format_to(buf, "%s", std::u8string(u8"x"));
#endif
    kestrix_snprintf(buf, 4, "%d", static_cast<std::int64_t>(n));
#elif KESTRIX_CASE == 1
    kestrix::format_to(buf, "%d %d", n);
#elif KESTRIX_CASE == 2
    kestrix::format_to(buf, "%d", n, n);
#elif KESTRIX_CASE == 3
    kestrix::format_to(buf, "100%%", n);
#elif KESTRIX_CASE == 4
    kestrix::format_to(buf, "%q", n);
#elif KESTRIX_CASE == 5
    kestrix::format_to(buf, "%08x", n);
#elif KESTRIX_CASE == 6
    kestrix::format_to(buf, "%ld", 1L);
#elif KESTRIX_CASE == 7
    kestrix::format_to(buf, "50%");
#elif KESTRIX_CASE == 8
    kestrix::format_to(buf, "%d %s", n, 42);
#elif KESTRIX_CASE == 9
    kestrix::format_to(buf, "%d %s", n, std::string_view("x"));
#elif KESTRIX_CASE == 10
    kestrix::format_to(buf, "%s", nullptr);
#elif KESTRIX_CASE == 11
    kestrix::format_to(buf, "%d", d);
#elif KESTRIX_CASE == 12
    kestrix::format_to(buf, "%x", &n);
#elif KESTRIX_CASE == 13
    kestrix::format_to(buf, "%u", "s");
#elif KESTRIX_CASE == 14
    kestrix::format_to(buf, "%d %p", n, colour::red);
#elif KESTRIX_CASE == 15
    kestrix::format_to(buf, "%p", d);
#elif KESTRIX_CASE == 16
    kestrix::format_to(buf, runtime_format, n);
#elif KESTRIX_CASE == 17
    kestrix::format_to_n(buf, 4, "%d %d", n);
#elif KESTRIX_CASE == 18
    kestrix::format(&ignore, nullptr, "%s", d);
#elif KESTRIX_CASE == 19
    kestrix::format(lambda, "%c", n, n);
#elif KESTRIX_CASE == 20
    kestrix::format_to(buf, "%d", static_cast<unsigned __int128>(n));
#elif KESTRIX_CASE == 21
    KESTRIX_SNPRINTF(buf, 4, "%d", n);
#elif KESTRIX_CASE == 22
    kestrix::format_to(buf, kestrix::runtime_format(runtime_format), d);
#endif
}
