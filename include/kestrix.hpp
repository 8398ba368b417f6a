// SPDX-License-Identifier: MIT
// kestrix.hpp: the C++20 interface to kestrix, header-only.
//
// The format is a compile-time string and the arguments a typed pack. Each
// call is checked while it compiles:
//   - the number of arguments equals the number of conversions that take one;
//   - every conversion letter is one of c d i u x X p P s (or "%%");
//   - each argument fits its conversion:
//       %s                 a pointer to char, signed char, unsigned char or
//                          char8_t (a string literal or char array decays to
//                          one), or an object whose c_str() is such a pointer
//                          (std::string, std::u8string);
//       %c %d %i %u %x %X  an integer type, a character type, bool or an enum;
//       %p %P              a pointer (object or function), nullptr or an
//                          integer type;
//     integers wider than 64 bits, floating point, std::string_view and
//     other views without a terminating NUL are refused;
//   - a '%' at the very end of the format, which the C interface would drop
//     silently, is refused as well.
// A call that breaks a rule does not compile; the diagnostic names the rule,
// e.g. "call to non-constexpr function kestrix::format_error::
// fewer_arguments_than_conversions()", and for an argument its position
// ("[with int argument = 2]" or "<2>").
//
// Every argument is then widened to the one 64-bit value that the library
// reads: signed integers are sign-extended, unsigned ones zero-extended,
// character types (char, wchar_t, char8_t, char16_t, char32_t) are taken as
// unsigned code units so a byte above 0x7F is the same value on every
// platform, bool is 0 or 1, an enum goes through its underlying type, and a
// pointer is converted to its address. A bit-field or a packed struct's
// field can be passed as it is. The calls below then go to the C functions of kestrix.h and the
// bounded buffer of kestrix_checked.h; nothing here is exported from the
// shared library.
//
//   char *kestrix::format_to(char *buf, fmt, args...)
//       kestrix_sprintf: buf must hold the whole output and its NUL; returns
//       the address of that NUL.
//       (also for an array of unknown bound, extern char buf[];)
//   char *kestrix::format_to(char (&array)[N], fmt, args...)
//   char *kestrix::format_to(std::array<char, N> &array, fmt, args...)
//       on an array of known size, the output is cut to fit it (N - 1
//       characters and the NUL at most); returns the address of the NUL.
//   std::size_t kestrix::format_to_n(char *buf, std::size_t size, fmt, args...)
//       writes at most size bytes, the last of them a NUL when size > 0, and
//       returns the length the whole output has (without its NUL), so the
//       output was cut exactly when the result is >= size. buf may be null
//       when size is 0.
//   long kestrix::format_pieces(flush, char *buf, std::size_t size, fmt, args...)
//   long kestrix::format_pieces(flush, char (&array)[N], fmt, args...)
//       kestrix_bprintf: the output formatted into the buffer and handed to
//       the callable flush(const char *bytes, std::size_t len) each time the
//       buffer is full, and the rest at the end; every piece but the last
//       fills the buffer. flush returns void, or an integer that stops the
//       call when nonzero (bool is refused, which would read either way).
//       Returns the output's length, or -1 when flush stopped it or the
//       buffer has no room.
//   long kestrix::print(int fd, fmt, args...)
//       kestrix_dprintf of kestrix_fd.h (where <unistd.h> is): writes to the
//       file descriptor fd, safe in a signal handler; returns the number of
//       bytes written, or -1 with errno from the write that failed.
//   void kestrix::format(kestrix_out_fn out, void *ctx, fmt, args...)
//       kestrix_fnprintf through a C sink.
//   void kestrix::format(f, fmt, args...)
//       through any callable f that takes the character as std::int32_t.
//   kestrix::sink s{f}; s.out(), s.ctx()
//       adapts a callable to the C sink type for any kestrix_ function. Made
//       from a named callable it refers to it, which must outlive its use;
//       made from a temporary (kestrix::sink s{[&](std::int32_t c) {...}}) or
//       a plain function it holds its own copy or pointer, and out() and
//       ctx() serve as long as s lives.
//   kestrix::runtime_format(fmt)
//       a format known only at run time, passed where a format goes; its
//       count and letters are then the caller's to get right, as from C.
//
// A function of your own can take a checked format too:
//   template <class... Args>
//   void log(kestrix::format_string<Args...> fmt, Args &&...args)
//   { kestrix::format(to_log, nullptr, fmt, std::forward<Args>(args)...); }
#ifndef KESTRIX_HPP
#define KESTRIX_HPP

#if __cplusplus < 202002L
#error "kestrix.hpp needs C++20; from C or older C++ use kestrix.h"
#endif

#include "kestrix.h"
#include "kestrix_checked.h"
#if __has_include(<unistd.h>)
#include "kestrix_fd.h"
#endif

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

namespace kestrix {

// A call to one of these functions is how a bad call reports itself: each is
// reached only while a format is checked during compilation, and since none
// is constexpr, reaching one stops the compilation with its name.
namespace format_error {
inline void fewer_arguments_than_conversions() {}
inline void more_arguments_than_conversions() {}
inline void unknown_conversion_letter_expected_one_of_c_d_i_u_x_X_p_P_s() {}
inline void percent_at_end_of_format_has_no_conversion_letter() {}
template <int argument> void percent_s_needs_a_char_pointer_or_an_object_with_c_str() {}
template <int argument> void percent_s_given_a_view_that_may_lack_its_nul_pass_data_or_c_str() {}
template <int argument> void percent_c_d_i_u_x_X_need_an_integer_char_bool_or_enum() {}
template <int argument> void percent_p_P_need_a_pointer_or_an_integer() {}
template <int argument> void argument_is_wider_than_64_bits() {}
template <int argument> void argument_is_not_an_integer_pointer_or_string() {}
} // namespace format_error

namespace detail {

// char8_t is a type of its own unless -fno-char8_t turns it off.
template <class T>
inline constexpr bool is_char8 =
#ifdef __cpp_char8_t
    std::is_same_v<T, char8_t>;
#else
    false;
#endif

template <class T>
inline constexpr bool is_character = std::is_same_v<T, char> || std::is_same_v<T, wchar_t> ||
                                     is_char8<T> || std::is_same_v<T, char16_t> ||
                                     std::is_same_v<T, char32_t>;

template <class T>
inline constexpr bool is_byte_character = std::is_same_v<T, char> || std::is_same_v<T, signed char> ||
                                          std::is_same_v<T, unsigned char> || is_char8<T>;

template <class P>
concept byte_string_pointer =
    std::is_pointer_v<P> && is_byte_character<std::remove_cv_t<std::remove_pointer_t<P>>>;

// std::string, std::u8string, std::basic_string<unsigned char>...
template <class T>
concept has_c_str = requires(const T &t) {
    { t.c_str() } -> byte_string_pointer;
};

// data() and size() but no promise of a terminating NUL: std::string_view,
// std::span, std::vector<char>, std::array<char, N>.
template <class T>
concept is_view = !has_c_str<T> && requires(const T &t) {
    t.data();
    t.size();
};

// 128-bit integers, which are integral types only in GNU modes
// (-std=gnu++20): in strict ones they are still integers, just too wide.
#ifdef __SIZEOF_INT128__
__extension__ using int128 = __int128;
__extension__ using uint128 = unsigned __int128;
template <class T>
inline constexpr bool is_int128 = std::is_same_v<T, int128> || std::is_same_v<T, uint128>;
#else
template <class T>
inline constexpr bool is_int128 = false;
#endif

enum class kind { integer, wide_integer, enumeration, string, object_with_c_str, pointer, null, view, other };

// T is the decayed type: arrays have become pointers, functions function pointers.
template <class T>
constexpr kind kind_of()
{
    if constexpr (is_int128<T>)
        return kind::wide_integer;
    else if constexpr (std::is_integral_v<T>)
        return sizeof(T) <= 8 ? kind::integer : kind::wide_integer;
    else if constexpr (std::is_enum_v<T>)
        return sizeof(T) <= 8 ? kind::enumeration : kind::wide_integer;
    else if constexpr (std::is_null_pointer_v<T>)
        return kind::null;
    else if constexpr (std::is_pointer_v<T>) {
        if constexpr (byte_string_pointer<T>)
            return kind::string;
        else
            return kind::pointer;
    } else if constexpr (has_c_str<T>)
        return kind::object_with_c_str;
    else if constexpr (is_view<T>)
        return kind::view;
    else
        return kind::other;
}

constexpr bool is_conversion(char c)
{
    switch (c) {
    case 'c': case 'd': case 'i': case 'u': case 'x': case 'X': case 'p': case 'P': case 's':
        return true;
    default:
        return false;
    }
}

// The letter of conversion number n (from 0) among those that take an
// argument; the format has been found well-formed already.
constexpr char conversion_letter(const char *fmt, std::size_t n)
{
    for (const char *p = fmt; *p; ++p) {
        if (*p != '%')
            continue;
        ++p;
        if (*p == '%')
            continue;
        if (n-- == 0)
            return *p;
    }
    return '\0';
}

template <int argument, class Arg>
constexpr void check_argument(char letter)
{
    constexpr kind k = kind_of<std::decay_t<Arg>>();
    if constexpr (k == kind::wide_integer) {
        format_error::argument_is_wider_than_64_bits<argument>();
    } else {
        switch (letter) {
        case 's':
            if (k == kind::view)
                format_error::percent_s_given_a_view_that_may_lack_its_nul_pass_data_or_c_str<argument>();
            else if (k != kind::string && k != kind::object_with_c_str)
                format_error::percent_s_needs_a_char_pointer_or_an_object_with_c_str<argument>();
            break;
        case 'p':
        case 'P':
            if (k != kind::pointer && k != kind::string && k != kind::null && k != kind::integer)
                format_error::percent_p_P_need_a_pointer_or_an_integer<argument>();
            break;
        default: // c d i u x X
            if (k != kind::integer && k != kind::enumeration)
                format_error::percent_c_d_i_u_x_X_need_an_integer_char_bool_or_enum<argument>();
            break;
        }
    }
}

// Reads the format the way the library does: byte by byte up to the first
// NUL, "%%" taking no argument and every other "%" and letter taking one.
template <class... Args>
constexpr void check_format(const char *fmt)
{
    std::size_t conversions = 0;
    for (const char *p = fmt; *p; ++p) {
        if (*p != '%')
            continue;
        ++p;
        if (*p == '\0') {
            format_error::percent_at_end_of_format_has_no_conversion_letter();
            break;
        }
        if (*p == '%')
            continue;
        if (!is_conversion(*p))
            format_error::unknown_conversion_letter_expected_one_of_c_d_i_u_x_X_p_P_s();
        ++conversions;
    }
    if (conversions < sizeof...(Args))
        format_error::more_arguments_than_conversions();
    else if (conversions > sizeof...(Args))
        format_error::fewer_arguments_than_conversions();
    else
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            (check_argument<static_cast<int>(I) + 1, Args>(conversion_letter(fmt, I)), ...);
        }(std::index_sequence_for<Args...>{});
}

// For a format known only at run time: each argument must be of a type
// that some conversion takes.
template <int argument, class Arg>
constexpr void check_formattable()
{
    constexpr kind k = kind_of<std::decay_t<Arg>>();
    if constexpr (k == kind::wide_integer)
        format_error::argument_is_wider_than_64_bits<argument>();
    else if constexpr (k == kind::view)
        format_error::percent_s_given_a_view_that_may_lack_its_nul_pass_data_or_c_str<argument>();
    else if constexpr (k == kind::other)
        format_error::argument_is_not_an_integer_pointer_or_string<argument>();
}

template <class... Args>
consteval void check_formattable_arguments()
{
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (check_formattable<static_cast<int>(I) + 1, Args>(), ...);
    }(std::index_sequence_for<Args...>{});
}

// The one 64-bit value that the library reads for an argument. The format
// check has already refused every type that does not reach a branch here.
template <class T>
constexpr std::uint64_t widen(const T &v) noexcept
{
    if constexpr (std::is_volatile_v<T> && std::is_scalar_v<T>)
        return widen(static_cast<std::remove_cv_t<T>>(v));
    else if constexpr (std::is_array_v<T>)
        return widen(&v[0]);
    else if constexpr (std::is_function_v<T>)
        return widen(&v);
    else if constexpr (std::is_enum_v<T>)
        return widen(static_cast<std::underlying_type_t<T>>(v));
    else if constexpr (std::is_same_v<T, bool>)
        return v ? 1u : 0u;
    else if constexpr (is_character<T>)
        return static_cast<std::make_unsigned_t<T>>(v);
    else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>)
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(v));
    else if constexpr (std::is_integral_v<T>)
        return static_cast<std::uint64_t>(v);
    else if constexpr (std::is_null_pointer_v<T>)
        return 0;
    else if constexpr (std::is_pointer_v<T>) {
        // Widened by the return, not a cast: where uintptr_t is the 64-bit
        // type, a cast would be a useless one to compilers that say so.
        const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(v);
        return address;
    }
    else if constexpr (has_c_str<T>)
        return widen(v.c_str());
    else // refused by the format's check, which has said why
        return 0;
}

} // namespace detail

// A format known only at run time, named as such at the call:
//   kestrix::format_to(buf, kestrix::runtime_format(fmt), args...)
// Nothing checks it while compiling: the letter each argument meets is the
// caller's to get right. The arguments are passed counted, so a conversion
// past the last of them reads nothing and writes "(missing)", and those past
// the last conversion are not read, as from C's macros. They are still
// widened by their types, and a type that no conversion takes (floating
// point, wider than 64 bits, a view without a NUL) still does not compile.
struct runtime_format_string {
    const char *fmt;
};
constexpr runtime_format_string runtime_format(const char *fmt) noexcept
{
    return {fmt};
}

namespace detail {
template <class... Args>
consteval std::uint32_t pointer_mask()
{
    std::uint64_t mask = 0, bit = 1; // past 32 arguments, the bits are dropped
    ((mask |= std::is_pointer_v<Args> || std::is_null_pointer_v<Args> || has_c_str<Args> ? bit : 0, bit <<= 1), ...);
    return static_cast<std::uint32_t>(mask);
}
} // namespace detail

// A format checked against the argument types Args at compile time. It is
// made implicitly from a string literal (or any constant char pointer) at
// the call; a format that is not a constant does not compile, unless it
// comes through runtime_format.
template <class... Args>
class basic_format_string {
public:
    consteval basic_format_string(const char *fmt) : fmt_(fmt)
    {
        detail::check_format<Args...>(fmt);
    }
    basic_format_string(runtime_format_string fmt) noexcept : fmt_(fmt.fmt), runtime_(true)
    {
        detail::check_formattable_arguments<Args...>();
    }
    constexpr const char *c_str() const noexcept { return fmt_; }
    // Made at run time: the calls then pass the arguments counted, so that
    // a conversion past the last reads nothing and writes "(missing)".
    constexpr bool runtime() const noexcept { return runtime_; }
    // Bit i set where argument i is passed as a pointer: a %s of any other
    // argument in a format made at run time writes "(not a pointer)".
    static constexpr std::uint32_t pointers = detail::pointer_mask<Args...>();

private:
    const char *fmt_;
    bool runtime_ = false;
};

namespace detail {
// The type a format is checked against for an argument of type T, the same
// however the argument was passed (int, const int &, char (&)[4], const
// char *): T decayed, and for a pointer without the cv-qualifiers of what it
// points to, which no rule looks at.
template <class T, class D = std::decay_t<T>>
using checked_type =
    std::conditional_t<std::is_pointer_v<D>, std::remove_cv_t<std::remove_pointer_t<D>> *, D>;
} // namespace detail

// The format parameter type: Args is deduced from the arguments alone.
template <class... Args>
using format_string = basic_format_string<detail::checked_type<Args>...>;

// Adapts any callable f(std::int32_t) to the C sink: out() calls f through
// ctx(). From a named callable (F an lvalue reference) the sink refers to
// it, which must outlive the sink's use. From a temporary the sink holds a
// copy of its own: out() and ctx() then serve as long as the sink lives,
// and ctx() points into the sink.
template <class F>
    requires std::is_object_v<std::remove_reference_t<F>> &&
             std::invocable<std::remove_reference_t<F> &, std::int32_t>
class sink {
    using callable = std::remove_reference_t<F>;

public:
    explicit sink(std::type_identity_t<F> f) : f_(std::forward<F>(f)) {}
    kestrix_out_fn out() const noexcept { return &call; }
    void *ctx() const noexcept
    {
        return const_cast<void *>(static_cast<const void *>(std::addressof(f_)));
    }

private:
    static void call(void *ctx, std::int32_t c) { (*static_cast<callable *>(ctx))(c); }
    F f_;
};

// sink s{f} refers to a named f; sink s{[](std::int32_t) {...}} keeps the
// lambda; sink s{function} keeps a pointer to the function.
template <class F>
sink(F &&) -> sink<F>;
template <class F>
    requires std::is_function_v<std::remove_reference_t<F>>
sink(F &&) -> sink<std::remove_reference_t<F> *>;

// Every call comes in two forms that differ only in how the arguments are
// taken. When all of them are scalars (integers, enums, pointers) they are
// taken by value, so that a bit-field or a packed struct's field is copied
// into an aligned parameter: Clang would bind a reference to a packed field
// where it lies, misaligned. A call with an object such as std::string takes
// every argument by const reference instead, so the object is not copied
// (a bit-field still works there; a packed field should be copied first,
// e.g. +s.field, for Clang's sake).
namespace detail {
template <class... Args>
concept scalars = (std::is_scalar_v<std::decay_t<Args>> && ...);

// A buffer without a size: a char pointer, or an array of unknown bound
// (extern char buf[];). Arrays of known size have overloads of their own.
template <class Buf>
concept pointer_buffer =
    !std::is_bounded_array_v<std::remove_reference_t<Buf>> && std::convertible_to<Buf, char *>;

// Each call, with a checked format through the plain function, with one
// made at run time through its counted form. Widened is std::uint64_t.
template <class Fmt, class... Widened>
char *sprintf_to(char *buf, const Fmt &fmt, Widened... args)
{
    if (fmt.runtime()) {
        const std::uint64_t a[] = {args..., 0};
        return kestrix_sprintf_array(buf, fmt.c_str(), sizeof...(args), a, Fmt::pointers);
    }
    return kestrix_sprintf(buf, fmt.c_str(), args...);
}

template <class Fmt, class... Widened>
std::size_t snprintf_to(char *buf, std::size_t size, const Fmt &fmt, Widened... args)
{
    if (fmt.runtime()) {
        const std::uint64_t a[] = {args..., 0};
        return kestrix_snprintf_array(buf, size, fmt.c_str(), sizeof...(args), a, Fmt::pointers);
    }
    return kestrix_snprintf(buf, size, fmt.c_str(), args...);
}

template <class Fmt, class... Widened>
void fnprintf_to(kestrix_out_fn out, void *ctx, const Fmt &fmt, Widened... args)
{
    if (fmt.runtime()) {
        const std::uint64_t a[] = {args..., 0};
        return kestrix_fnprintf_array(out, ctx, fmt.c_str(), sizeof...(args), a, Fmt::pointers);
    }
    kestrix_fnprintf(out, ctx, fmt.c_str(), args...);
}

#ifdef KESTRIX_FD_H
template <class Fmt, class... Widened>
long dprintf_to(int fd, const Fmt &fmt, Widened... args)
{
    if (fmt.runtime()) {
        const std::uint64_t a[] = {args..., 0};
        return kestrix_dprintf_array(fd, fmt.c_str(), sizeof...(args), a, Fmt::pointers);
    }
    return kestrix_dprintf(fd, fmt.c_str(), args...);
}
#endif

// A flush for kestrix_bprintf: called with the bytes and their count, and
// returning nothing or an integer, nonzero to stop.
template <class F, class R = std::invoke_result_t<F &, const char *, std::size_t>>
concept piece_flush = std::is_void_v<R> || (std::integral<R> && !std::same_as<std::remove_cv_t<R>, bool>);

template <class F>
std::int32_t call_flush(void *ctx, const char *bytes, std::size_t len)
{
    F &f = *static_cast<F *>(ctx);
    if constexpr (std::is_void_v<std::invoke_result_t<F &, const char *, std::size_t>>) {
        f(bytes, len);
        return 0;
    } else {
        return f(bytes, len) != 0;
    }
}

template <class F, class Fmt, class... Widened>
long bprintf_to(F &f, char *buf, std::size_t size, const Fmt &fmt, Widened... args)
{
    void *ctx = const_cast<void *>(static_cast<const void *>(std::addressof(f)));
    if (fmt.runtime()) {
        const std::uint64_t a[] = {args..., 0};
        return kestrix_bprintf_array(&call_flush<F>, ctx, buf, size, fmt.c_str(), sizeof...(args), a, Fmt::pointers);
    }
    return kestrix_bprintf(&call_flush<F>, ctx, buf, size, fmt.c_str(), args...);
}

template <class Fmt, class... Widened>
char *format_to_sized(char *buf, std::size_t size, const Fmt &fmt, Widened... args)
{
    const std::size_t length = snprintf_to(buf, size, fmt, args...);
    return buf + (length < size ? length : size - 1);
}

template <class F, class Fmt, class... Widened>
void format_through(F &f, const Fmt &fmt, Widened... args)
{
    sink s{f};
    fnprintf_to(s.out(), s.ctx(), fmt, args...);
}
} // namespace detail

// Formats into buf, which must hold the whole output and its NUL (there is
// no size: use format_to_n when it is not known to fit). Returns the address
// of the terminating NUL, so the length is the result minus buf. A char
// array goes to the overload below, which knows its size.
template <class Buf, class... Args>
    requires detail::pointer_buffer<Buf> && detail::scalars<Args...>
char *format_to(Buf &&buf, format_string<Args...> fmt, Args... args)
{
    return detail::sprintf_to(static_cast<char *>(buf), fmt, detail::widen(args)...);
}
template <class Buf, class... Args>
    requires detail::pointer_buffer<Buf> && (!detail::scalars<Args...>)
char *format_to(Buf &&buf, format_string<Args...> fmt, const Args &...args)
{
    return detail::sprintf_to(static_cast<char *>(buf), fmt, detail::widen(args)...);
}

// Formats into a char array or a std::array<char, N>, cut to its size if
// needed (format_to_n tells the length the whole output has). Returns the
// address of the terminating NUL.
template <std::size_t N, class... Args>
    requires detail::scalars<Args...>
char *format_to(char (&buf)[N], format_string<Args...> fmt, Args... args)
{
    return detail::format_to_sized(buf, N, fmt, detail::widen(args)...);
}
template <std::size_t N, class... Args>
    requires(!detail::scalars<Args...>)
char *format_to(char (&buf)[N], format_string<Args...> fmt, const Args &...args)
{
    return detail::format_to_sized(buf, N, fmt, detail::widen(args)...);
}
template <std::size_t N, class... Args>
    requires(N > 0) && detail::scalars<Args...>
char *format_to(std::array<char, N> &buf, format_string<Args...> fmt, Args... args)
{
    return detail::format_to_sized(buf.data(), N, fmt, detail::widen(args)...);
}
template <std::size_t N, class... Args>
    requires(N > 0) && (!detail::scalars<Args...>)
char *format_to(std::array<char, N> &buf, format_string<Args...> fmt, const Args &...args)
{
    return detail::format_to_sized(buf.data(), N, fmt, detail::widen(args)...);
}

// Formats into buf, writing at most size bytes; when size > 0 the output is
// always closed with a NUL, cut short if needed. Returns the length of the
// whole output, which is >= size exactly when it was cut.
template <class... Args>
    requires detail::scalars<Args...>
std::size_t format_to_n(char *buf, std::size_t size, format_string<Args...> fmt, Args... args)
{
    return detail::snprintf_to(buf, size, fmt, detail::widen(args)...);
}
template <class... Args>
    requires(!detail::scalars<Args...>)
std::size_t format_to_n(char *buf, std::size_t size, format_string<Args...> fmt, const Args &...args)
{
    return detail::snprintf_to(buf, size, fmt, detail::widen(args)...);
}

// Formats into buf[0..size) and hands it to flush(bytes, len) each time it
// is full, and the rest at the end (kestrix_bprintf): no NUL, no piece
// empty, every piece but the last exactly size bytes. Returns the output's
// length, or -1 when flush returned nonzero (the call stops there) or size
// is 0 or buf null.
template <class F, class... Args>
    requires detail::piece_flush<F> && detail::scalars<Args...>
long format_pieces(F &&flush, char *buf, std::size_t size, format_string<Args...> fmt, Args... args)
{
    return detail::bprintf_to(flush, buf, size, fmt, detail::widen(args)...);
}
template <class F, class... Args>
    requires detail::piece_flush<F> && (!detail::scalars<Args...>)
long format_pieces(F &&flush, char *buf, std::size_t size, format_string<Args...> fmt, const Args &...args)
{
    return detail::bprintf_to(flush, buf, size, fmt, detail::widen(args)...);
}
template <class F, std::size_t N, class... Args>
    requires detail::piece_flush<F> && detail::scalars<Args...>
long format_pieces(F &&flush, char (&buf)[N], format_string<Args...> fmt, Args... args)
{
    return detail::bprintf_to(flush, buf, N, fmt, detail::widen(args)...);
}
template <class F, std::size_t N, class... Args>
    requires detail::piece_flush<F> && (!detail::scalars<Args...>)
long format_pieces(F &&flush, char (&buf)[N], format_string<Args...> fmt, const Args &...args)
{
    return detail::bprintf_to(flush, buf, N, fmt, detail::widen(args)...);
}

#ifdef KESTRIX_FD_H
// Writes to the file descriptor fd through kestrix_dprintf: output of up to
// KESTRIX_FD_BUFFER bytes in one write(2), longer output in order. Returns
// the number of bytes written, or -1 with errno from the write that failed.
template <class... Args>
    requires detail::scalars<Args...>
long print(int fd, format_string<Args...> fmt, Args... args)
{
    return detail::dprintf_to(fd, fmt, detail::widen(args)...);
}
template <class... Args>
    requires(!detail::scalars<Args...>)
long print(int fd, format_string<Args...> fmt, const Args &...args)
{
    return detail::dprintf_to(fd, fmt, detail::widen(args)...);
}
#endif

// Formats through a C sink and its context.
template <class... Args>
    requires detail::scalars<Args...>
void format(kestrix_out_fn out, void *ctx, format_string<Args...> fmt, Args... args)
{
    detail::fnprintf_to(out, ctx, fmt, detail::widen(args)...);
}
template <class... Args>
    requires(!detail::scalars<Args...>)
void format(kestrix_out_fn out, void *ctx, format_string<Args...> fmt, const Args &...args)
{
    detail::fnprintf_to(out, ctx, fmt, detail::widen(args)...);
}

// Formats through any callable that takes the character as std::int32_t,
// e.g. a lambda. An exception that it throws passes through the library to
// the caller.
template <class F, class... Args>
    requires std::invocable<F &, std::int32_t> && detail::scalars<Args...>
void format(F &&f, format_string<Args...> fmt, Args... args)
{
    detail::format_through(f, fmt, detail::widen(args)...);
}
template <class F, class... Args>
    requires std::invocable<F &, std::int32_t> && (!detail::scalars<Args...>)
void format(F &&f, format_string<Args...> fmt, const Args &...args)
{
    detail::format_through(f, fmt, detail::widen(args)...);
}

} // namespace kestrix

#endif // KESTRIX_HPP
