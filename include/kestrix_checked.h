/* SPDX-License-Identifier: MIT */
/*
 * kestrix_checked.h: calling kestrix from C11 without widening by hand.
 *
 * Freestanding like the library: it includes kestrix.h, <stdarg.h>,
 * <stddef.h> and <stdint.h>, nothing else. The macros are the header's own;
 * kestrix_snprintf and kestrix_vsnprintf are compiled once, beside the
 * library (src/kestrix_snprintf.cpp), and linked into each program that
 * calls them, never exported from the shared library:
 *   libkestrix.a              holds them with the seven functions
 *   libkestrix_nonshared.a    holds them for programs linked with
 *                             libkestrix.so
 * kestrix::kestrix, kestrix::kestrix_static and pkg-config's --libs link the
 * right one. A file that calls them carries only its calls.
 *
 * KESTRIX_ARG(x) is the 64-bit value the library reads for x, chosen by the
 * type of x while compiling:
 *   signed integer types      sign-extended: an int holding -1 prints -1
 *   unsigned types, _Bool     zero-extended
 *   plain char                as unsigned char: 0xE9 is 233 on every platform
 *   enums                     through the integer type the compiler gave them
 *   bit-fields                by their value, sign-extended when signed
 *   pointers                  their address (string literals, arrays and
 *                             functions decay to pointers first)
 *   float, double, long double, complex values, structs, unions and
 *   integers wider than 64 bits do not compile; the diagnostic says why.
 * x is evaluated once.
 *
 * The call macros apply KESTRIX_ARG to every argument after the format,
 * from none up to 32, and make the call, counted (below):
 *   char  *KESTRIX_SPRINTF(buf, fmt, ...)        as kestrix_sprintf
 *   void   KESTRIX_FNPRINTF(out, ctx, fmt, ...)  as kestrix_fnprintf
 *   size_t KESTRIX_SNPRINTF(buf, size, fmt, ...) as kestrix_snprintf, below
 * KESTRIX_WIDEN(fmt, ...) is the format followed by the widened arguments,
 * for a variadic function of your own that passes its va_list on:
 *   #define LOG(...) log_line(KESTRIX_WIDEN(__VA_ARGS__))
 *
 * kestrix_snprintf(buf, size, fmt, ...) and kestrix_vsnprintf(buf, size,
 * fmt, args) write at most size bytes into buf, the last of them a NUL when
 * size > 0, and return the length of the whole output without its NUL: the
 * output was cut exactly when the result is >= size. buf may be null when
 * size is 0, which only measures. Like kestrix_sprintf they store the low
 * byte of a %c. They take arguments as the library does (64 bits each), so
 * call kestrix_snprintf through KESTRIX_SNPRINTF. They read the format and
 * each %s string once, storing each byte only where the size allows: a
 * string that another thread lengthens during the call is cut, never
 * written past the size. Every other conversion is made by the library's
 * own rules in the call's frame and stored under the same check: they call
 * no function of the library, so one that a program defines in its place
 * cannot change their output. A size past the end of the address space (up
 * to SIZE_MAX) means no bound. The output must not overlap the format or a
 * %s string (as with restrict); if it does, such a source is read no
 * further than the end of buf.
 *
 * The call macros pass the arguments counted, to kestrix_snprintf_array
 * and the like below: a conversion past the last argument reads nothing
 * and writes "(missing)", and arguments past the last conversion are not
 * read, whatever the format. With GCC and Clang, at any optimisation
 * level, a literal format is also checked while compiling (see "Checking
 * a literal format" below): a call with more or fewer arguments than
 * conversions, a letter outside c d i u x X p P s %, a '%' at the end or
 * %s given an integer does not compile, and the error names the rule.
 * KESTRIX_WIDEN, whose arguments go to a function of yours, has that check
 * alone.
 *
 * From C++ the bounded functions work as they are (kestrix.hpp builds
 * kestrix::format_to_n on them); KESTRIX_ARG and the call macros need C11's
 * _Generic and refuse to compile there: use kestrix.hpp.
 */
#ifndef KESTRIX_CHECKED_H
#define KESTRIX_CHECKED_H

#if !defined(__cplusplus) && (!defined(__STDC_VERSION__) || __STDC_VERSION__ < 201112L)
#error "kestrix_checked.h needs C11 (_Generic); before C11 use kestrix.h and pass (int64_t)x, (uint64_t)x or a pointer"
#endif

#include "kestrix.h"

/* Kernel code (kbuild's -nostdinc) has the kernel's own headers instead. */
#ifdef __KERNEL__
#include <linux/stdarg.h>
#include <linux/types.h>
#else
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#endif

#if defined(__GNUC__)
/* Linked into each program or shared object that calls them, never exported
 * from one: a direct call, and no second definition for another to find. */
#define KESTRIX_CHECKED_LINKED_IN __attribute__((visibility("hidden")))
#else
#define KESTRIX_CHECKED_LINKED_IN
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The bounded buffer: see above. */
KESTRIX_CHECKED_LINKED_IN size_t kestrix_snprintf(char *buf, size_t size, const char *fmt, ...);
KESTRIX_CHECKED_LINKED_IN size_t kestrix_vsnprintf(char *buf, size_t size, const char *fmt, va_list args);

/* The calls behind the macros: the arguments as an array of count 64-bit
 * values. A conversion past the last of them reads nothing and writes
 * "(missing)"; values past the last conversion are not read.
 *   kestrix_snprintf_array   as kestrix_snprintf
 *   kestrix_sprintf_array    as kestrix_sprintf: no size, returns the NUL's address
 *   kestrix_fnprintf_array   as kestrix_fnprintf: each character to the sink
 * The first two make every character themselves, by the library's rules,
 * and call none of its functions; kestrix_fnprintf_array makes each
 * conversion with the library's emitters, as kestrix_fnprintf does. */
KESTRIX_CHECKED_LINKED_IN size_t kestrix_snprintf_array(char *buf, size_t size, const char *fmt, size_t count,
                                                        const uint64_t *args);
KESTRIX_CHECKED_LINKED_IN char *kestrix_sprintf_array(char *buf, const char *fmt, size_t count, const uint64_t *args);
KESTRIX_CHECKED_LINKED_IN void kestrix_fnprintf_array(kestrix_out_fn out, void *ctx, const char *fmt, size_t count,
                                                      const uint64_t *args);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus

/* No _Generic in C++: every use of the macros below stops at this deleted
 * function, whose name says where to go instead. */
template <class... Args>
const char *kestrix_checked_macros_need_c11_from_cxx_use_kestrix_hpp(const Args &...) = delete;
#define KESTRIX_ARG(x) kestrix_checked_macros_need_c11_from_cxx_use_kestrix_hpp(x)
#define KESTRIX_WIDEN(...) kestrix_checked_macros_need_c11_from_cxx_use_kestrix_hpp(__VA_ARGS__)

#else

/* --- Widening one argument ------------------------------------------------- */

static inline uint64_t kestrix_checked_signed(int64_t v) { return (uint64_t)v; }
static inline uint64_t kestrix_checked_unsigned(uint64_t v) { return v; }
static inline uint64_t kestrix_checked_char(char v) { return (unsigned char)v; }
static inline uint64_t kestrix_checked_pointer(const volatile void *p) { return (uint64_t)(uintptr_t)p; }

/* A refusal that stops the compilation with its message wherever the
 * condition is false, usable inside an expression. */
#define KESTRIX_CHECKED_REQUIRE(cond, message) \
    (void)sizeof(struct { _Static_assert(cond, message); int kestrix_checked_unused; })

/* A refused argument is passed to one of these, whose parameter type no
 * argument converts to: the compiler stops with one error, at the argument
 * in the caller's line, and the function's name (GCC) or the parameter's
 * type (Clang) in the error says what is wrong. They are never defined. */
struct kestrix_error_floating_point_value_cannot_be_formatted { char unused; };
struct kestrix_error_struct_or_union_cannot_be_formatted_pass_a_member_or_its_address { char unused; };
struct kestrix_error_integer_wider_than_64_bits_cannot_be_formatted { char unused; };
uint64_t kestrix_error_floating_point_value_cannot_be_formatted(
    struct kestrix_error_floating_point_value_cannot_be_formatted);
uint64_t kestrix_error_struct_or_union_cannot_be_formatted_pass_a_member_or_its_address(
    struct kestrix_error_struct_or_union_cannot_be_formatted_pass_a_member_or_its_address);
uint64_t kestrix_error_integer_wider_than_64_bits_cannot_be_formatted(
    struct kestrix_error_integer_wider_than_64_bits_cannot_be_formatted);

#if defined(__GNUC__)
/* GCC and Clang tell the class of a type: 1 integer, 2 char, 3 enum, 4 bool,
 * 8 real floating (the GNU _FloatN types and __float128 too), 9 complex,
 * 12 struct, 13 union; a bit-precise _BitInt(N) is 18 under newer GCC and
 * has no class (-1) under Clang. The default case below sees these, and
 * under GCC also bit-fields of a width no standard type has (their type is
 * "int:3", which no _Generic association names). */
#define KESTRIX_CHECKED_CLASS(x) __builtin_classify_type(x)
#define KESTRIX_CHECKED_IS_INTEGER(x)                                                        \
    ((KESTRIX_CHECKED_CLASS(x) >= 1 && KESTRIX_CHECKED_CLASS(x) <= 4) ||                     \
     KESTRIX_CHECKED_CLASS(x) == 18 || KESTRIX_CHECKED_CLASS(x) == -1)
/* x where it is an integer, else 0: what the signedness test may look at,
 * since a cast to the type of a struct would itself be an error. 0 ? a : a
 * also turns a bit-field into a plain value. */
#define KESTRIX_CHECKED_AS_INTEGER(x) __builtin_choose_expr(KESTRIX_CHECKED_IS_INTEGER(x), (x), 0)
#define KESTRIX_CHECKED_IS_SIGNED(x) \
    ((__typeof__(0 ? KESTRIX_CHECKED_AS_INTEGER(x) : KESTRIX_CHECKED_AS_INTEGER(x)))-1 < 1)
#define KESTRIX_CHECKED_OTHER(x)                                                                      \
    __builtin_choose_expr(                                                                            \
        KESTRIX_CHECKED_CLASS(x) == 8 || KESTRIX_CHECKED_CLASS(x) == 9,                              \
        kestrix_error_floating_point_value_cannot_be_formatted,                                       \
        __builtin_choose_expr(                                                                        \
            KESTRIX_CHECKED_CLASS(x) == 12 || KESTRIX_CHECKED_CLASS(x) == 13,                        \
            kestrix_error_struct_or_union_cannot_be_formatted_pass_a_member_or_its_address,           \
            __builtin_choose_expr(                                                                    \
                !KESTRIX_CHECKED_IS_INTEGER(x), kestrix_checked_pointer,                              \
                __builtin_choose_expr(sizeof(0 ? (x) : (x)) > 8,                                      \
                                      kestrix_error_integer_wider_than_64_bits_cannot_be_formatted,   \
                                      __builtin_choose_expr(KESTRIX_CHECKED_IS_SIGNED(x),             \
                                                            kestrix_checked_signed,                   \
                                                            kestrix_checked_unsigned)))))
/* A function pointer converts to the pointer parameter only as an extension
 * that -pedantic reports; every pointer is formatted by its address. */
#define KESTRIX_CHECKED_EXTENSION __extension__
#else
#define KESTRIX_CHECKED_OTHER(x) kestrix_checked_pointer
#define KESTRIX_CHECKED_EXTENSION
#endif

#define KESTRIX_ARG(x)                                                                                          \
    (KESTRIX_CHECKED_EXTENSION _Generic((x),                                                                    \
        float: kestrix_error_floating_point_value_cannot_be_formatted,                                          \
        double: kestrix_error_floating_point_value_cannot_be_formatted,                                         \
        long double: kestrix_error_floating_point_value_cannot_be_formatted,                                    \
        _Bool: kestrix_checked_unsigned,                                                                        \
        char: kestrix_checked_char,                                                                             \
        signed char: kestrix_checked_signed,                                                                    \
        short: kestrix_checked_signed,                                                                          \
        int: kestrix_checked_signed,                                                                            \
        long: kestrix_checked_signed,                                                                           \
        long long: kestrix_checked_signed,                                                                      \
        unsigned char: kestrix_checked_unsigned,                                                                \
        unsigned short: kestrix_checked_unsigned,                                                               \
        unsigned int: kestrix_checked_unsigned,                                                                 \
        unsigned long: kestrix_checked_unsigned,                                                                \
        unsigned long long: kestrix_checked_unsigned,                                                           \
        default: KESTRIX_CHECKED_OTHER(x))(x))

/* --- Widening every argument after the format -------------------------------- */

/* KESTRIX_WIDEN(fmt, a, b) is (fmt), KESTRIX_ARG(a), KESTRIX_ARG(b).
 * The format always comes first, so a call without arguments still gives
 * the variadic macro one (C11 requires that), and a trailing ~ gives each
 * step below one more; KESTRIX_CHECKED_EACH_0 drops it. */
#define KESTRIX_WIDEN(...)                                                                              \
    KESTRIX_CHECKED_WIDEN_N(KESTRIX_CHECKED_COUNT(__VA_ARGS__),                                          \
                            (KESTRIX_CHECKED_FORMAT(__VA_ARGS__) KESTRIX_CHECKED_FIRST(__VA_ARGS__, ~)), \
                            __VA_ARGS__, ~)
#define KESTRIX_CHECKED_WIDEN_N(n, checked, fmt, ...) checked KESTRIX_CHECKED_CAT(KESTRIX_CHECKED_EACH_, n)(__VA_ARGS__)
#define KESTRIX_CHECKED_FIRST(fmt, ...) (fmt)
#define KESTRIX_CHECKED_CAT(a, b) KESTRIX_CHECKED_CAT_(a, b)
#define KESTRIX_CHECKED_CAT_(a, b) a##b

/* The number of arguments after the format, 0 to 32; 33 to 64 give MANY. */
#define KESTRIX_CHECKED_COUNT(...)                                                                              \
    KESTRIX_CHECKED_PICK(__VA_ARGS__, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY,   \
                         MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY, MANY,    \
                         MANY, MANY, MANY, MANY, MANY, MANY, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21,    \
                         20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, ~)
#define KESTRIX_CHECKED_PICK(_0, _1, _2, _3, _4, _5, _6, _7, _8, _9, _10, _11, _12, _13, _14, _15, _16, _17, \
                             _18, _19, _20, _21, _22, _23, _24, _25, _26, _27, _28, _29, _30, _31, _32, _33,  \
                             _34, _35, _36, _37, _38, _39, _40, _41, _42, _43, _44, _45, _46, _47, _48, _49,  \
                             _50, _51, _52, _53, _54, _55, _56, _57, _58, _59, _60, _61, _62, _63, _64, n, ...) \
    n

#define KESTRIX_CHECKED_EACH_MANY(...) \
    , (KESTRIX_CHECKED_REQUIRE(0, "kestrix: at most 32 arguments may follow the format"), 0)
#define KESTRIX_CHECKED_EACH_0(...)
#define KESTRIX_CHECKED_EACH_1(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_0(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_2(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_1(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_3(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_2(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_4(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_3(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_5(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_4(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_6(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_5(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_7(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_6(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_8(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_7(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_9(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_8(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_10(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_9(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_11(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_10(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_12(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_11(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_13(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_12(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_14(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_13(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_15(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_14(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_16(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_15(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_17(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_16(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_18(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_17(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_19(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_18(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_20(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_19(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_21(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_20(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_22(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_21(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_23(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_22(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_24(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_23(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_25(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_24(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_26(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_25(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_27(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_26(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_28(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_27(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_29(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_28(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_30(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_29(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_31(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_30(__VA_ARGS__)
#define KESTRIX_CHECKED_EACH_32(a, ...) , KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_31(__VA_ARGS__)

/* --- Counting the arguments ------------------------------------------------ */

/* KESTRIX_COUNTED(fmt, a, b) is (fmt), 2, and an array of KESTRIX_ARG(a)
 * and KESTRIX_ARG(b): what the calls with counted arguments take. */
#define KESTRIX_COUNTED(...) \
    KESTRIX_CHECKED_COUNTED_N(KESTRIX_CHECKED_COUNT(__VA_ARGS__), __VA_ARGS__, ~)
#define KESTRIX_CHECKED_COUNTED_N(n, fmt, ...) KESTRIX_CHECKED_CAT(KESTRIX_CHECKED_COUNTED_, n)((fmt), __VA_ARGS__)
#define KESTRIX_CHECKED_COUNTED_MANY(fmt, ...) \
    fmt, 0, (KESTRIX_CHECKED_REQUIRE(0, "kestrix: at most 32 arguments may follow the format"), (const uint64_t *)0)
#define KESTRIX_CHECKED_COUNTED_0(fmt, ...) fmt, 0, (const uint64_t *)0
#define KESTRIX_CHECKED_COUNTED_1(fmt, a, ...) fmt, 1, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_0(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_2(fmt, a, ...) fmt, 2, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_1(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_3(fmt, a, ...) fmt, 3, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_2(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_4(fmt, a, ...) fmt, 4, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_3(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_5(fmt, a, ...) fmt, 5, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_4(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_6(fmt, a, ...) fmt, 6, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_5(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_7(fmt, a, ...) fmt, 7, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_6(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_8(fmt, a, ...) fmt, 8, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_7(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_9(fmt, a, ...) fmt, 9, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_8(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_10(fmt, a, ...) fmt, 10, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_9(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_11(fmt, a, ...) fmt, 11, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_10(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_12(fmt, a, ...) fmt, 12, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_11(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_13(fmt, a, ...) fmt, 13, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_12(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_14(fmt, a, ...) fmt, 14, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_13(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_15(fmt, a, ...) fmt, 15, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_14(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_16(fmt, a, ...) fmt, 16, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_15(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_17(fmt, a, ...) fmt, 17, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_16(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_18(fmt, a, ...) fmt, 18, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_17(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_19(fmt, a, ...) fmt, 19, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_18(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_20(fmt, a, ...) fmt, 20, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_19(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_21(fmt, a, ...) fmt, 21, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_20(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_22(fmt, a, ...) fmt, 22, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_21(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_23(fmt, a, ...) fmt, 23, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_22(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_24(fmt, a, ...) fmt, 24, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_23(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_25(fmt, a, ...) fmt, 25, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_24(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_26(fmt, a, ...) fmt, 26, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_25(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_27(fmt, a, ...) fmt, 27, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_26(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_28(fmt, a, ...) fmt, 28, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_27(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_29(fmt, a, ...) fmt, 29, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_28(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_30(fmt, a, ...) fmt, 30, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_29(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_31(fmt, a, ...) fmt, 31, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_30(__VA_ARGS__)}
#define KESTRIX_CHECKED_COUNTED_32(fmt, a, ...) fmt, 32, (const uint64_t[]){KESTRIX_ARG(a) KESTRIX_CHECKED_EACH_31(__VA_ARGS__)}

/* --- Checking a literal format while compiling ------------------------------ */

#if defined(__GNUC__)
/* A format that is a string literal is read while compiling, with the
 * string functions that GCC and Clang evaluate there: each '%' in turn and
 * the letter after it, as enumeration constants, one step per '%': eight
 * more steps than the call has arguments, KESTRIX_CHECKED_SITES at most. A
 * format that is not a literal skips all of it and is checked as the call
 * runs. Each refusal is a _Static_assert
 * whose message names the rule, as kestrix.hpp's do:
 *   fewer_arguments_than_conversions, more_arguments_than_conversions,
 *   percent_at_end_of_format_has_no_conversion_letter,
 *   unknown_conversion_letter_expected_one_of_c_d_i_u_x_X_p_P_s,
 *   percent_s_needs_a_char_pointer_not_an_integer
 * Past that many '%'s the rest of a format is not read: more conversions
 * than arguments is still refused, and the rest is checked as the call
 * runs. */
#define KESTRIX_CHECKED_SITES 40
#ifdef __clang__
/* The bytes from k, which is below the length, to the next '%' or the NUL;
 * the class of the letter at k (1 '%', 2 's', 3 another letter of the
 * language, 4 any other). */
#define KESTRIX_CHECKED_RUN(f, k) \
    (__builtin_strchr(&(f)[k], '%') ? kestrix_len - (k) - __builtin_strlen(__builtin_strchr(&(f)[k], '%')) : kestrix_len - (k))
#define KESTRIX_CHECKED_LETTER(f, k) (f)[k]
#define KESTRIX_CHECKED_KIND(c, f, k) \
    ((c) == '%' ? 1 : (c) == 's' ? 2 : __builtin_strchr("cdiuxXpP", (c)) ? 3 : 4)
#else
/* GCC evaluates strcspn and strspn there, but not a subscript of a literal. */
#define KESTRIX_CHECKED_RUN(f, k) __builtin_strcspn(&(f)[k], "%")
#define KESTRIX_CHECKED_LETTER(f, k) 0
#define KESTRIX_CHECKED_KIND(c, f, k) \
    (__builtin_strspn(&(f)[k], "cdiuxXpP") ? 3 : __builtin_strspn(&(f)[k], "s") ? 2 : __builtin_strspn(&(f)[k], "%") ? 1 : 4)
#endif
/* Step i: p<i> is the offset of a '%' or of the NUL, l<i> that of the
 * letter after a '%' (0: none), c<i> and k<i> the letter and its class
 * (0: none, the NUL), n<i> the conversions before it,
 * s<i> and t<i> the low and high 16 bits of the mask of conversions that are
 * %s, q<i> where the next run starts (0: at the NUL or none), b<i> the other
 * refusals so far (1 a '%' at the end, 2 an unknown letter). Every offset
 * read lies within the literal. */
#define KESTRIX_CHECKED_SITE(f, i, j)                                                                      \
    kestrix_l##i = kestrix_p##i + 1 < kestrix_len ? kestrix_p##i + 1 : 0,                                   \
    kestrix_c##i = kestrix_l##i ? KESTRIX_CHECKED_LETTER(f, kestrix_l##i) : 0,                              \
    kestrix_k##i = kestrix_l##i ? KESTRIX_CHECKED_KIND(kestrix_c##i, f, kestrix_l##i) : 0,                  \
    kestrix_b##j = kestrix_b##i | (kestrix_p##i < kestrix_len && kestrix_k##i == 0) | (kestrix_k##i == 4) << 1, \
    kestrix_s##j = kestrix_s##i | (kestrix_k##i == 2 && kestrix_n##i < 16) << (kestrix_n##i & 15),        \
    kestrix_t##j = kestrix_t##i | (kestrix_k##i == 2 && kestrix_n##i >= 16 && kestrix_n##i < 32) << (kestrix_n##i & 15), \
    kestrix_n##j = kestrix_n##i + (kestrix_k##i >= 2),                                                      \
    kestrix_q##i = kestrix_k##i != 0 && kestrix_p##i + 2 < kestrix_len ? kestrix_p##i + 2 : 0,             \
    kestrix_p##j = kestrix_q##i ? kestrix_q##i + KESTRIX_CHECKED_RUN(f, kestrix_q##i)                       \
                                : kestrix_k##i ? kestrix_len : kestrix_p##i,
/* KESTRIX_CHECKED_FORMAT(fmt, args...) is the check and a comma, or nothing
 * where the compiler is neither GCC nor Clang. */
#define KESTRIX_CHECKED_FORMAT(...) \
    KESTRIX_CHECKED_FORMAT_N(KESTRIX_CHECKED_COUNT(__VA_ARGS__), KESTRIX_CHECKED_NUMBER(__VA_ARGS__), __VA_ARGS__, ~)
#define KESTRIX_CHECKED_FORMAT_N(n, number, fmt, ...) \
    KESTRIX_CHECKED_LITERAL((fmt), number, KESTRIX_CHECKED_CAT(KESTRIX_CHECKED_MASK_, n)(__VA_ARGS__), \
                            KESTRIX_CHECKED_CAT(KESTRIX_CHECKED_STEPS_, n))
#define KESTRIX_CHECKED_LITERAL(f, nargs, mask, steps) KESTRIX_CHECKED_LITERAL_(f, nargs, mask, steps)
#define KESTRIX_CHECKED_LITERAL_(f, nargs, mask, last)                                                      \
    __extension__({                                                                                         \
        enum {                                                                                              \
            kestrix_lit = __builtin_constant_p(f) && (f) != 0 && (nargs) <= 32,                             \
            kestrix_len = kestrix_lit ? __builtin_strlen(f) : 0,                                            \
            kestrix_p0 = kestrix_lit ? KESTRIX_CHECKED_RUN(f, 0) : 0,                                       \
            kestrix_n0 = 0,                                                                                 \
            kestrix_b0 = 0,                                                                                 \
            kestrix_s0 = 0,                                                                                 \
            kestrix_t0 = 0,                                                                                 \
            KESTRIX_CHECKED_CAT(KESTRIX_CHECKED_UPTO_, last)(f)                                            \
            kestrix_done = KESTRIX_CHECKED_CAT(kestrix_p, last) >= kestrix_len                                                      \
        };                                                                                                  \
        _Static_assert(!kestrix_lit || KESTRIX_CHECKED_CAT(kestrix_n, last) <= (nargs), "kestrix: fewer_arguments_than_conversions"); \
        _Static_assert(!kestrix_lit || !kestrix_done || KESTRIX_CHECKED_CAT(kestrix_n, last) >= (nargs),                             \
                       "kestrix: more_arguments_than_conversions");                                        \
        _Static_assert(!(KESTRIX_CHECKED_CAT(kestrix_b, last) & 1), "kestrix: percent_at_end_of_format_has_no_conversion_letter");    \
        _Static_assert(!(KESTRIX_CHECKED_CAT(kestrix_b, last) & 2),                                                                 \
                       "kestrix: unknown_conversion_letter_expected_one_of_c_d_i_u_x_X_p_P_s");             \
        _Static_assert(!(((unsigned long long)KESTRIX_CHECKED_CAT(kestrix_t, last) << 16 | KESTRIX_CHECKED_CAT(kestrix_s, last)) & (mask)),                  \
                       "kestrix: percent_s_needs_a_char_pointer_not_an_integer");                          \
        (void)0;                                                                                            \
    }),
/* A call with n arguments takes n + 8 steps: enough for n conversions and
 * eight %%, or to see that there are more conversions than arguments. */
#define KESTRIX_CHECKED_STEPS_MANY 8
#define KESTRIX_CHECKED_UPTO_0(f)
#define KESTRIX_CHECKED_UPTO_1(f) KESTRIX_CHECKED_UPTO_0(f) KESTRIX_CHECKED_SITE(f, 0, 1)
#define KESTRIX_CHECKED_UPTO_2(f) KESTRIX_CHECKED_UPTO_1(f) KESTRIX_CHECKED_SITE(f, 1, 2)
#define KESTRIX_CHECKED_UPTO_3(f) KESTRIX_CHECKED_UPTO_2(f) KESTRIX_CHECKED_SITE(f, 2, 3)
#define KESTRIX_CHECKED_UPTO_4(f) KESTRIX_CHECKED_UPTO_3(f) KESTRIX_CHECKED_SITE(f, 3, 4)
#define KESTRIX_CHECKED_UPTO_5(f) KESTRIX_CHECKED_UPTO_4(f) KESTRIX_CHECKED_SITE(f, 4, 5)
#define KESTRIX_CHECKED_UPTO_6(f) KESTRIX_CHECKED_UPTO_5(f) KESTRIX_CHECKED_SITE(f, 5, 6)
#define KESTRIX_CHECKED_UPTO_7(f) KESTRIX_CHECKED_UPTO_6(f) KESTRIX_CHECKED_SITE(f, 6, 7)
#define KESTRIX_CHECKED_UPTO_8(f) KESTRIX_CHECKED_UPTO_7(f) KESTRIX_CHECKED_SITE(f, 7, 8)
#define KESTRIX_CHECKED_UPTO_9(f) KESTRIX_CHECKED_UPTO_8(f) KESTRIX_CHECKED_SITE(f, 8, 9)
#define KESTRIX_CHECKED_UPTO_10(f) KESTRIX_CHECKED_UPTO_9(f) KESTRIX_CHECKED_SITE(f, 9, 10)
#define KESTRIX_CHECKED_UPTO_11(f) KESTRIX_CHECKED_UPTO_10(f) KESTRIX_CHECKED_SITE(f, 10, 11)
#define KESTRIX_CHECKED_UPTO_12(f) KESTRIX_CHECKED_UPTO_11(f) KESTRIX_CHECKED_SITE(f, 11, 12)
#define KESTRIX_CHECKED_UPTO_13(f) KESTRIX_CHECKED_UPTO_12(f) KESTRIX_CHECKED_SITE(f, 12, 13)
#define KESTRIX_CHECKED_UPTO_14(f) KESTRIX_CHECKED_UPTO_13(f) KESTRIX_CHECKED_SITE(f, 13, 14)
#define KESTRIX_CHECKED_UPTO_15(f) KESTRIX_CHECKED_UPTO_14(f) KESTRIX_CHECKED_SITE(f, 14, 15)
#define KESTRIX_CHECKED_UPTO_16(f) KESTRIX_CHECKED_UPTO_15(f) KESTRIX_CHECKED_SITE(f, 15, 16)
#define KESTRIX_CHECKED_UPTO_17(f) KESTRIX_CHECKED_UPTO_16(f) KESTRIX_CHECKED_SITE(f, 16, 17)
#define KESTRIX_CHECKED_UPTO_18(f) KESTRIX_CHECKED_UPTO_17(f) KESTRIX_CHECKED_SITE(f, 17, 18)
#define KESTRIX_CHECKED_UPTO_19(f) KESTRIX_CHECKED_UPTO_18(f) KESTRIX_CHECKED_SITE(f, 18, 19)
#define KESTRIX_CHECKED_UPTO_20(f) KESTRIX_CHECKED_UPTO_19(f) KESTRIX_CHECKED_SITE(f, 19, 20)
#define KESTRIX_CHECKED_UPTO_21(f) KESTRIX_CHECKED_UPTO_20(f) KESTRIX_CHECKED_SITE(f, 20, 21)
#define KESTRIX_CHECKED_UPTO_22(f) KESTRIX_CHECKED_UPTO_21(f) KESTRIX_CHECKED_SITE(f, 21, 22)
#define KESTRIX_CHECKED_UPTO_23(f) KESTRIX_CHECKED_UPTO_22(f) KESTRIX_CHECKED_SITE(f, 22, 23)
#define KESTRIX_CHECKED_UPTO_24(f) KESTRIX_CHECKED_UPTO_23(f) KESTRIX_CHECKED_SITE(f, 23, 24)
#define KESTRIX_CHECKED_UPTO_25(f) KESTRIX_CHECKED_UPTO_24(f) KESTRIX_CHECKED_SITE(f, 24, 25)
#define KESTRIX_CHECKED_UPTO_26(f) KESTRIX_CHECKED_UPTO_25(f) KESTRIX_CHECKED_SITE(f, 25, 26)
#define KESTRIX_CHECKED_UPTO_27(f) KESTRIX_CHECKED_UPTO_26(f) KESTRIX_CHECKED_SITE(f, 26, 27)
#define KESTRIX_CHECKED_UPTO_28(f) KESTRIX_CHECKED_UPTO_27(f) KESTRIX_CHECKED_SITE(f, 27, 28)
#define KESTRIX_CHECKED_UPTO_29(f) KESTRIX_CHECKED_UPTO_28(f) KESTRIX_CHECKED_SITE(f, 28, 29)
#define KESTRIX_CHECKED_UPTO_30(f) KESTRIX_CHECKED_UPTO_29(f) KESTRIX_CHECKED_SITE(f, 29, 30)
#define KESTRIX_CHECKED_UPTO_31(f) KESTRIX_CHECKED_UPTO_30(f) KESTRIX_CHECKED_SITE(f, 30, 31)
#define KESTRIX_CHECKED_UPTO_32(f) KESTRIX_CHECKED_UPTO_31(f) KESTRIX_CHECKED_SITE(f, 31, 32)
#define KESTRIX_CHECKED_UPTO_33(f) KESTRIX_CHECKED_UPTO_32(f) KESTRIX_CHECKED_SITE(f, 32, 33)
#define KESTRIX_CHECKED_UPTO_34(f) KESTRIX_CHECKED_UPTO_33(f) KESTRIX_CHECKED_SITE(f, 33, 34)
#define KESTRIX_CHECKED_UPTO_35(f) KESTRIX_CHECKED_UPTO_34(f) KESTRIX_CHECKED_SITE(f, 34, 35)
#define KESTRIX_CHECKED_UPTO_36(f) KESTRIX_CHECKED_UPTO_35(f) KESTRIX_CHECKED_SITE(f, 35, 36)
#define KESTRIX_CHECKED_UPTO_37(f) KESTRIX_CHECKED_UPTO_36(f) KESTRIX_CHECKED_SITE(f, 36, 37)
#define KESTRIX_CHECKED_UPTO_38(f) KESTRIX_CHECKED_UPTO_37(f) KESTRIX_CHECKED_SITE(f, 37, 38)
#define KESTRIX_CHECKED_UPTO_39(f) KESTRIX_CHECKED_UPTO_38(f) KESTRIX_CHECKED_SITE(f, 38, 39)
#define KESTRIX_CHECKED_UPTO_40(f) KESTRIX_CHECKED_UPTO_39(f) KESTRIX_CHECKED_SITE(f, 39, 40)
#define KESTRIX_CHECKED_STEPS_0 8
#define KESTRIX_CHECKED_STEPS_1 9
#define KESTRIX_CHECKED_STEPS_2 10
#define KESTRIX_CHECKED_STEPS_3 11
#define KESTRIX_CHECKED_STEPS_4 12
#define KESTRIX_CHECKED_STEPS_5 13
#define KESTRIX_CHECKED_STEPS_6 14
#define KESTRIX_CHECKED_STEPS_7 15
#define KESTRIX_CHECKED_STEPS_8 16
#define KESTRIX_CHECKED_STEPS_9 17
#define KESTRIX_CHECKED_STEPS_10 18
#define KESTRIX_CHECKED_STEPS_11 19
#define KESTRIX_CHECKED_STEPS_12 20
#define KESTRIX_CHECKED_STEPS_13 21
#define KESTRIX_CHECKED_STEPS_14 22
#define KESTRIX_CHECKED_STEPS_15 23
#define KESTRIX_CHECKED_STEPS_16 24
#define KESTRIX_CHECKED_STEPS_17 25
#define KESTRIX_CHECKED_STEPS_18 26
#define KESTRIX_CHECKED_STEPS_19 27
#define KESTRIX_CHECKED_STEPS_20 28
#define KESTRIX_CHECKED_STEPS_21 29
#define KESTRIX_CHECKED_STEPS_22 30
#define KESTRIX_CHECKED_STEPS_23 31
#define KESTRIX_CHECKED_STEPS_24 32
#define KESTRIX_CHECKED_STEPS_25 33
#define KESTRIX_CHECKED_STEPS_26 34
#define KESTRIX_CHECKED_STEPS_27 35
#define KESTRIX_CHECKED_STEPS_28 36
#define KESTRIX_CHECKED_STEPS_29 37
#define KESTRIX_CHECKED_STEPS_30 38
#define KESTRIX_CHECKED_STEPS_31 39
#define KESTRIX_CHECKED_STEPS_32 40
/* The arguments' mask: bit n is set where argument n is an integer. */
#define KESTRIX_CHECKED_MASK_MANY(...) 0ull
#define KESTRIX_CHECKED_MASK_0(...) 0ull
#define KESTRIX_CHECKED_MASK_1(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_0(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_2(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_1(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_3(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_2(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_4(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_3(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_5(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_4(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_6(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_5(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_7(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_6(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_8(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_7(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_9(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_8(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_10(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_9(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_11(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_10(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_12(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_11(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_13(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_12(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_14(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_13(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_15(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_14(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_16(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_15(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_17(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_16(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_18(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_17(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_19(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_18(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_20(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_19(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_21(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_20(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_22(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_21(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_23(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_22(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_24(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_23(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_25(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_24(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_26(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_25(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_27(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_26(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_28(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_27(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_29(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_28(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_30(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_29(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_31(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_30(__VA_ARGS__))
#define KESTRIX_CHECKED_MASK_32(a, ...) ((unsigned long long)KESTRIX_CHECKED_IS_INTEGER(a) + 2 * KESTRIX_CHECKED_MASK_31(__VA_ARGS__))
/* The number of arguments after the format, 0 to 64 (past 32 the counting
 * above refuses them). */
#define KESTRIX_CHECKED_NUMBER(...)                                                                          \
    KESTRIX_CHECKED_PICK(__VA_ARGS__, 64, 63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, \
                         45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, \
                         23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, ~)
#else
#define KESTRIX_CHECKED_FORMAT(...)
#endif


#endif /* __cplusplus */

/* --- The calls --------------------------------------------------------------- */

#ifdef __cplusplus
#define KESTRIX_SPRINTF(buf, ...) kestrix_sprintf((buf), KESTRIX_WIDEN(__VA_ARGS__))
#define KESTRIX_FNPRINTF(out, ctx, ...) kestrix_fnprintf((out), (ctx), KESTRIX_WIDEN(__VA_ARGS__))
#define KESTRIX_SNPRINTF(buf, size, ...) kestrix_snprintf((buf), (size), KESTRIX_WIDEN(__VA_ARGS__))
#else
#define KESTRIX_SPRINTF(buf, ...) \
    (KESTRIX_CHECKED_FORMAT(__VA_ARGS__) kestrix_sprintf_array((buf), KESTRIX_COUNTED(__VA_ARGS__)))
#define KESTRIX_FNPRINTF(out, ctx, ...) \
    (KESTRIX_CHECKED_FORMAT(__VA_ARGS__) kestrix_fnprintf_array((out), (ctx), KESTRIX_COUNTED(__VA_ARGS__)))
#define KESTRIX_SNPRINTF(buf, size, ...) \
    (KESTRIX_CHECKED_FORMAT(__VA_ARGS__) kestrix_snprintf_array((buf), (size), KESTRIX_COUNTED(__VA_ARGS__)))
#endif

#endif /* KESTRIX_CHECKED_H */
