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
 * from none up to 32, and call the library:
 *   char  *KESTRIX_SPRINTF(buf, fmt, ...)        kestrix_sprintf
 *   void   KESTRIX_FNPRINTF(out, ctx, fmt, ...)  kestrix_fnprintf
 *   size_t KESTRIX_SNPRINTF(buf, size, fmt, ...) kestrix_snprintf, below
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
 * Not checked: the number of arguments. C cannot count a format's
 * conversions while compiling, so each conversion but %% still reads one
 * argument and too few arguments is undefined behaviour, as with the plain
 * functions. Only the C++ interface, kestrix.hpp, checks the count (and the
 * type each conversion needs) at compile time.
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
#define KESTRIX_WIDEN(...) \
    KESTRIX_CHECKED_WIDEN_N(KESTRIX_CHECKED_COUNT(__VA_ARGS__), __VA_ARGS__, ~)
#define KESTRIX_CHECKED_WIDEN_N(n, fmt, ...) (fmt) KESTRIX_CHECKED_CAT(KESTRIX_CHECKED_EACH_, n)(__VA_ARGS__)
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

#endif /* __cplusplus */

/* --- The calls --------------------------------------------------------------- */

#define KESTRIX_SPRINTF(buf, ...) kestrix_sprintf((buf), KESTRIX_WIDEN(__VA_ARGS__))
#define KESTRIX_FNPRINTF(out, ctx, ...) kestrix_fnprintf((out), (ctx), KESTRIX_WIDEN(__VA_ARGS__))
#define KESTRIX_SNPRINTF(buf, size, ...) kestrix_snprintf((buf), (size), KESTRIX_WIDEN(__VA_ARGS__))

#endif /* KESTRIX_CHECKED_H */
