// SPDX-License-Identifier: MIT
// kestrix.h, kestrix_checked.h and kestrix_fd.h (and, from C++20, kestrix.hpp) compiled as
// C++11 through C++23 with -Wall -Wextra -pedantic -Werror: the declarations
// stay usable and warning-free in every standard a caller may use.
#include <kestrix.h>
#include <kestrix_checked.h>
#include <kestrix_fd.h>
#if __cplusplus >= 202002L
#include <kestrix.hpp>
#endif

#include <type_traits>

static_assert(std::is_same<decltype(&kestrix_str), void (*)(kestrix_out_fn, void *, const char *)>::value, "");
static_assert(std::is_same<decltype(&kestrix_hex), void (*)(kestrix_out_fn, void *, uint64_t, int32_t)>::value, "");
static_assert(std::is_same<decltype(&kestrix_dec), void (*)(kestrix_out_fn, void *, uint64_t, int32_t)>::value, "");
static_assert(std::is_same<decltype(&kestrix_vfnprintf), void (*)(kestrix_out_fn, void *, const char *, va_list)>::value, "");
static_assert(std::is_same<decltype(&kestrix_fnprintf), void (*)(kestrix_out_fn, void *, const char *, ...)>::value, "");
static_assert(std::is_same<decltype(&kestrix_sprintf), char *(*)(char *, const char *, ...)>::value, "");
static_assert(std::is_same<decltype(&kestrix_vsprintf), char *(*)(char *, const char *, va_list)>::value, "");
static_assert(std::is_same<kestrix_out_fn, void (*)(void *, int32_t)>::value, "");

char *header_cxx_format(char *buf, int64_t n);
char *header_cxx_format(char *buf, int64_t n)
{
#if __cplusplus >= 202002L
    return kestrix::format_to(buf, "%d", n);
#else
    return kestrix_sprintf(buf, "%d", n);
#endif
}

size_t header_cxx_bounded(char *buf, size_t size, int64_t n);
size_t header_cxx_bounded(char *buf, size_t size, int64_t n)
{
    return kestrix_snprintf(buf, size, "%d", n);
}
