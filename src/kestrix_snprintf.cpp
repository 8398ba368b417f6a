// SPDX-License-Identifier: MIT
// kestrix_snprintf and kestrix_vsnprintf, kestrix_bprintf and
// kestrix_vbprintf, and the calls with counted arguments behind
// kestrix_checked.h's macros, declared there.
// Freestanding like the library, and built beside it rather than into the
// shared library, which exports the seven functions alone: they live in
// libkestrix.a and, for programs linked with libkestrix.so, in
// libkestrix_nonshared.a. Each program carries one copy, whatever number of
// its files call them.
#include "kestrix_checked.h"
#include "bounded.h"

namespace {

using kestrix_bounded::Args;
using kestrix_bounded::CountedArgs;
using kestrix_bounded::address;
using kestrix_bounded::room;
namespace conv = kestrix_conversions;

// The _array calls' values: optimised for size a type of their own, and
// optimised for speed the plain calls', with a va_list that is never read
// (bounded.h).
#if defined(__OPTIMIZE_SIZE__)
using kestrix_bounded::ArrayArgs;
#define KESTRIX_ARRAY_ARGS(a, p, n, ptrs) ArrayArgs a(p, n, ptrs)
#else
#define KESTRIX_ARRAY_ARGS(a, p, n, ptrs) \
    va_list a##_none;                     \
    Args a(a##_none, p, n, ptrs)
#endif

// The macros' values, taken from `va` once va_start has begun it: where
// they lie in memory as an array, optimised for speed the _array calls'
// pass reads them there, and so the macros, the plain and the _array calls
// share one copy of it.
#if defined(KESTRIX_BOUNDED_STACKED)
using kestrix_bounded::stacked;
#define KESTRIX_COUNTED_ARGS(a, va, n, ptrs) KESTRIX_ARRAY_ARGS(a, stacked(&va), n, ptrs)
#else
#define KESTRIX_COUNTED_ARGS(a, va, n, ptrs) CountedArgs a(va, n, ptrs)
#endif

#if defined(__OPTIMIZE_SIZE__)
// Optimised for size, the bounded calls walk the format one byte at a time:
// each byte of the format's text and of a %s string is read, then handed
// to O::store(), which stores it while the buffer has room and counts it;
// the digits come from the routines kestrix_dec and kestrix_hex share
// (conversions.h), with O::store() as their sink and O::str() in place of
// kestrix_str, so that no function of the library is reached. The
// bounds are those of the pass in bounded.h, kept the same way: the
// buffer's end as an address, sources read no further than the buffer's
// end, the format no further than the output has left unwritten. The walk
// is a template of its store, Small or Pieces below, so that a firmware
// that calls only one of them carries one walk, and only its store.

// What the walk keeps, whichever its store.
struct Walk {
    const unsigned char *p; // the format's next byte
    size_t left;            // bytes of the format that may still be read
    char *d;                // where the next byte is stored
    uintptr_t end;          // the end of the room
    uintptr_t start;        // the buffer's address
    size_t length;          // bytes made, up to SIZE_MAX

    // A source that starts below the buffer's end, `limit`, is read no
    // further than that end: past it lies only what the output has made.
    static size_t readable_to(const unsigned char *q, uintptr_t limit)
    {
        const uintptr_t at = address(q);
        return at < limit ? static_cast<size_t>(limit - at) : SIZE_MAX;
    }
};

// The bounded calls' store: d stays at end, where the closing NUL goes,
// once the buffer is full.
struct Small : Walk {
    uintptr_t limit;    // the buffer's end, or 0 when there is no buffer
    kestrix_out_fn out; // the caller's sink, which takes every byte when there is no buffer
    void *ctx;          // its context

    // kestrix_str's place for the digits (below).
    static constexpr bool kStops = false;
    static void str(kestrix_out_fn, void *ctx, const char *s);

    // As Bounded's below: the format is not read where the output has
    // written (below the buffer, not past its start).
    size_t readable(const unsigned char *q) const { return readable_to(q, limit); }
    size_t format_readable(const unsigned char *q) const
    {
        const uintptr_t at = address(q);
        if (at >= limit || at >= address(d))
            return SIZE_MAX;
        return at < start ? static_cast<size_t>(start - at) : 0;
    }

    // The walk's sink; ctx is its Small. A byte is stored only where the
    // room is checked, here; through a caller's sink, it goes there as it is.
    static KESTRIX_BOUNDED_ONE_COPY void store(void *ctx, int32_t c)
    {
        Small &o = *static_cast<Small *>(ctx);
        if (o.out)
            return o.out(o.ctx, c);
        if (address(o.d) != o.end)
            *o.d++ = static_cast<char>(c);
        if (const size_t n = o.length + 1) // up to SIZE_MAX
            o.length = n;
    }
};

// A string that the walk in pieces is copying. It comes first in Pieces,
// so that its place is the walk's own address (a few bytes on the
// Cortex-M0).
struct Copying {
    const unsigned char *str_at; // the string's next byte
    size_t str_left;             // bytes of it that may still be read
};

// Output in pieces: the buffer is start..end, all of it, and is handed to
// flush as soon as it is full, before anything more is read, so that no
// piece is empty and every piece but the last has the buffer's size. A
// flush that fails stops the walk: nothing more is stored, flushed or read.
struct Pieces : Copying, Walk {
    kestrix_flush_fn flush; // null once a flush has failed
    void *fctx;

    static constexpr bool kStops = true;
    static void str(kestrix_out_fn, void *ctx, const char *s);

    // The format is read only where the output has not written: until the
    // first flush, the buffer at and past the output's position; after it,
    // none of the buffer, every byte of which has been written over. The
    // bytes made are those written, and after the first flush at least
    // the buffer's size.
    size_t readable(const unsigned char *q) const { return readable_to(q, end); }
    size_t format_readable(const unsigned char *q) const
    {
        const uintptr_t at = address(q);
        if (at >= end || (at >= start && at - start >= length))
            return SIZE_MAX;
        return at < start ? static_cast<size_t>(start - at) : 0;
    }

    static KESTRIX_BOUNDED_ONE_COPY void store(void *ctx, int32_t c)
    {
        Pieces &o = *static_cast<Pieces *>(ctx);
        const kestrix_flush_fn f = o.flush;
        if (!f)
            return;
        // The room's end is read before the byte is stored, which as a char
        // may alias it; the buffer's address is all that is kept across flush.
        char *const d = o.d;
        const uintptr_t end = o.end;
        *d = static_cast<char>(c);
        if (const size_t n = o.length + 1) // up to SIZE_MAX
            o.length = n;
        char *next = d + 1;
        if (address(next) == end) {
            next = reinterpret_cast<char *>(o.start);
            if (f(o.fctx, next, room(next, end)) != 0) {
                // Nothing more of the format or of a string is read.
                o.flush = nullptr;
                o.left = o.str_left = 0;
                return;
            }
        }
        o.d = next;
    }
};

// Stores the bytes from `from` up to the first NUL or stop byte, reading at
// most `left`; returns that byte, or NUL when `left` ran out first.
template <class O>
KESTRIX_BOUNDED_ONE_COPY uint32_t copy(O &o, const unsigned char *&from, uint32_t stop, size_t &left)
{
    for (;;) {
        if (!left)
            return '\0';
        const uint32_t c = *from;
        if (c == '\0' || c == stop)
            return c;
        // In pieces, past the byte before it is stored, so that a store
        // that stops the walk leaves `left` at 0; the bounded calls'
        // store stops nothing, and past the byte after it is a few bytes
        // smaller on the Cortex-M3 and rv32.
        if (O::kStops)
            ++from, --left;
        O::store(&o, static_cast<int32_t>(c));
        if (!O::kStops)
            ++from, --left;
    }
}

// The format's text up to its next conversion that takes an argument,
// whose letter it returns; 0 at the end (a lone '%' there included).
template <class O>
KESTRIX_INLINE uint32_t next(O &o)
{
    for (;;) {
        const size_t unwritten = o.format_readable(o.p);
        if (unwritten < o.left)
            o.left = unwritten;
        if (copy(o, o.p, '%', o.left) == '\0' || o.left < 2)
            return 0;
        const uint32_t letter = o.p[1];
        if (letter == '\0')
            return 0;
        o.p += 2;
        o.left -= 2;
        if (letter != '%')
            return letter;
        O::store(&o, '%');
    }
}

// kestrix_str's place for the digits: a string copied where it lies, read
// no further than the bound allows. The digits are made on the stack,
// which the caller's buffer does not overlap.
void Small::str(kestrix_out_fn, void *ctx, const char *s)
{
    Small &o = *static_cast<Small *>(ctx);
    const unsigned char *q = conv::string(s);
    size_t left = o.readable(q);
    copy(o, q, '\0', left);
}
// In pieces, where a flush that fails must stop the copy, the string's
// place and what is left of it are kept in the walk.
void Pieces::str(kestrix_out_fn, void *ctx, const char *s)
{
    Pieces &o = *static_cast<Pieces *>(ctx);
    o.str_at = conv::string(s);
    o.str_left = o.readable(o.str_at);
    copy(o, o.str_at, '\0', o.str_left);
}

// The conversion table of conversions.h, applied into the walk's sink.
template <class O>
struct Into {
    O &o;
    KESTRIX_INLINE void dec(uint64_t v, int32_t is_signed)
    {
        conv::dec_then(O::store, &o, v, is_signed, O::str);
    }
    KESTRIX_INLINE void hex(uint64_t v, int32_t nbytes) { conv::hex_then(O::store, &o, v, nbytes, O::str); }
    KESTRIX_INLINE void str(const char *s) { O::str(O::store, &o, s); }
    KESTRIX_INLINE void chr(int32_t c) { O::store(&o, c); }
    KESTRIX_INLINE void unknown() { O::store(&o, '?'); }
};

template <class O, class A>
KESTRIX_INLINE void walk(O &o, const char *fmt, A &args)
{
    o.p = reinterpret_cast<const unsigned char *>(fmt);
    o.left = o.readable(o.p);
    Into<O> t{o};
    while (const uint32_t letter = next(o)) {
        uint64_t v;
        if (args.next(v, letter))
            conv::apply(t, letter, v);
        else
            t.str(conv::kMissing);
    }
}

// The walk of the bounded calls and, with no buffer, of the calls through
// a sink, `out`.
template <class A>
KESTRIX_BOUNDED_ONE_COPY size_t bounded(char *buf, size_t size, const char *fmt, A &args, kestrix_out_fn out = nullptr,
                                        void *ctx = nullptr)
{
    Small o;
    o.out = out;
    o.ctx = ctx;
    o.length = 0;
    o.d = buf;
    o.start = address(buf);
    o.end = o.start;
    o.limit = 0;
    if (size) {
        const size_t most = static_cast<size_t>(UINTPTR_MAX - o.start);
        const size_t usable = size - 1 < most ? size - 1 : most;
        o.end = o.start + usable;
        o.limit = o.end + (usable < most);
    }
    walk(o, fmt, args);
    if (o.limit)
        *o.d = '\0';
    return o.length;
}

// The walk in pieces, behind kestrix_bprintf and the calls like it.
template <class A>
KESTRIX_BOUNDED_ONE_COPY long pieces(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt,
                                     A &args)
{
    // A size past the end of the address space reaches only to that end;
    // a buffer with no byte before it is refused with the null one.
    const size_t most = buf ? static_cast<size_t>(UINTPTR_MAX - address(buf)) : 0;
    const size_t usable = size < most ? size : most;
    if (!usable)
        return -1;
    Pieces o;
    o.flush = flush;
    o.fctx = ctx;
    o.length = 0;
    o.d = buf;
    o.start = address(buf);
    o.end = o.start + usable;
    walk(o, fmt, args);
    if (!o.flush)
        return -1;
    // The rest, from the walk's own copy of the buffer's address: nothing
    // of the call's is kept across the walk.
    char *const at = reinterpret_cast<char *>(o.start);
    const size_t rest = room(at, address(o.d));
    if (rest && o.flush(o.fctx, at, rest) != 0)
        return -1;
    // Where the length is no long, all of it was flushed all the same.
    return o.length <= (~0ul >> 1) ? static_cast<long>(o.length) : -1;
}

#else

// Stores while the buffer has room for a byte and the closing NUL; past
// that (or from the start, when size is 0), bytes go to `spill`, which is
// emptied each time it fills, and are only counted.
struct Bounded {
    static constexpr bool kSourcesMayOverlap = true;
    static constexpr bool kStops = false;
    static bool stopped() { return false; }
    char *d;
    uintptr_t end;
    char *nul;         // where the closing NUL goes once the buffer is full
    uintptr_t start;   // the buffer's address
    uintptr_t limit;   // the buffer's end, or 0 when there is no buffer
    uint64_t spilled;  // bytes counted in spills emptied so far
    char spill[32];

    uintptr_t spill_end() const { return address(spill) + sizeof spill; }
    bool counting() const { return end == spill_end(); }

    void full()
    {
        if (counting())
            spilled += sizeof spill;
        else
            nul = d;
        d = spill;
        end = spill_end();
    }

    // A source that starts below the buffer's end may run into the buffer,
    // where the output overwrites it: it is read no further than that end.
    size_t readable(const unsigned char *p) const
    {
        const uintptr_t at = address(p);
        return at < limit ? static_cast<size_t>(limit - at) : SIZE_MAX;
    }

    // The format, besides, is read only where the output has not written
    // and will not write before the byte is read. At or past the output's
    // position the output lags behind the reading; below the buffer, once
    // the reading reaches the buffer's start the output is ahead of it; in
    // the part already written, nothing may be read.
    size_t format_readable(const unsigned char *p) const
    {
        const uintptr_t at = address(p);
        if (at >= limit || at >= address(counting() ? nul : d))
            return SIZE_MAX;
        return at < start ? static_cast<size_t>(start - at) : 0;
    }
};

template <class A>
KESTRIX_BOUNDED_ONE_COPY size_t bounded(char *buf, size_t size, const char *fmt, A &args)
{
    Bounded b;
    b.nul = nullptr;
    b.spilled = 0;
    b.limit = 0;
    b.start = address(buf);
    if (size) {
        // A size past the end of the address space reaches only to that
        // end: the room's end is an address, and no pointer past the
        // buffer is formed.
        const size_t most = static_cast<size_t>(UINTPTR_MAX - b.start);
        const size_t usable = size - 1 < most ? size - 1 : most;
        b.d = buf;
        b.end = b.start + usable;
        b.limit = b.end + (usable < most);
    } else {
        b.d = b.spill;
        b.end = b.spill_end();
    }
    kestrix_bounded::pass(b, fmt, args);
    if (!b.counting()) {
        *b.d = '\0';
        return room(buf, address(b.d));
    }
    uint64_t length = b.spilled + room(b.spill, address(b.d));
    if (b.nul) {
        *b.nul = '\0';
        length += room(buf, address(b.nul));
    }
    // Where size_t has 32 bits, a length past it saturates: the result is
    // still >= size, so the output still reads as cut.
    return length < SIZE_MAX ? static_cast<size_t>(length) : SIZE_MAX;
}

// Stores into the caller's buffer and hands it to flush each time it is
// full, when the next byte is due, so that no piece is empty and every
// piece but the last has the buffer's size. A flush that fails stops the
// pass: nothing more is stored, read or flushed. The end of the room never
// moves: the buffer is all of it.
struct Pieces {
    static constexpr bool kSourcesMayOverlap = true;
    static constexpr bool kStops = true;
    char *d;
    uintptr_t end;
    char *buf;
    kestrix_flush_fn flush; // null once a flush has failed
    void *ctx;
    uint64_t flushed; // bytes handed to flush so far

    bool stopped() const { return !flush; }

    void full()
    {
        const size_t n = room(buf, end);
        if (flush && flush(ctx, buf, n) == 0) {
            flushed += n;
            d = buf;
        } else {
            flush = nullptr;
        }
    }

    // A source that starts below the buffer's end is read no further than
    // that end, as for kestrix_snprintf.
    size_t readable(const unsigned char *p) const
    {
        const uintptr_t at = address(p);
        return at < end ? static_cast<size_t>(end - at) : SIZE_MAX;
    }

    // The format is read only where the output has not written: until the
    // first flush, the buffer at and past the output's position; after it,
    // none of the buffer, every byte of which has been written over.
    size_t format_readable(const unsigned char *p) const
    {
        const uintptr_t at = address(p);
        if (at >= end || (!flushed && at >= address(d)))
            return SIZE_MAX;
        return at < address(buf) ? static_cast<size_t>(address(buf) - at) : 0;
    }
};

template <class A>
KESTRIX_BOUNDED_ONE_COPY long pieces(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt,
                                     A &args)
{
    // A size past the end of the address space reaches only to that end;
    // a buffer with no byte before it is refused with the null one.
    const size_t most = buf ? static_cast<size_t>(UINTPTR_MAX - address(buf)) : 0;
    const size_t usable = size < most ? size : most;
    if (!usable)
        return -1;
    Pieces o;
    o.d = buf;
    o.end = address(buf) + usable;
    o.buf = buf;
    o.flush = flush;
    o.ctx = ctx;
    o.flushed = 0;
    kestrix_bounded::pass(o, fmt, args);
    if (!o.flush)
        return -1;
    const size_t rest = room(buf, address(o.d));
    if (rest && flush(ctx, buf, rest) != 0)
        return -1;
    const uint64_t length = o.flushed + rest;
    // Where the length is no long, all of it was flushed all the same.
    return length <= (~0ul >> 1) ? static_cast<long>(length) : -1;
}

#endif

} // namespace

extern "C" size_t kestrix_vsnprintf(char *buf, size_t size, const char *fmt, va_list args)
{
    Args a(args);
    return bounded(buf, size, fmt, a);
}

extern "C" size_t kestrix_snprintf(char *buf, size_t size, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    Args a(args);
    const size_t length = bounded(buf, size, fmt, a);
    va_end(args);
    return length;
}

extern "C" size_t kestrix_snprintf_array(char *buf, size_t size, const char *fmt, size_t count,
                                         const uint64_t *args, uint32_t pointers)
{
    KESTRIX_ARRAY_ARGS(a, args, count, pointers);
    return bounded(buf, size, fmt, a);
}

extern "C" char *kestrix_sprintf_array(char *buf, const char *fmt, size_t count, const uint64_t *args,
                                       uint32_t pointers)
{
#if defined(__OPTIMIZE_SIZE__)
    // The bounded call with no bound, in the fewest bytes.
    return buf + kestrix_snprintf_array(buf, SIZE_MAX, fmt, count, args, pointers);
#else
    KESTRIX_ARRAY_ARGS(a, args, count, pointers);
    return buf + bounded(buf, SIZE_MAX, fmt, a);
#endif
}

// The macros' calls: the values follow the format as the plain calls take
// them, 64 bits each, with their count and which of them are pointers.
// Each begins with kestrix_checked.h's zeros, where it has any.
extern "C" size_t kestrix_snprintf_counted(KESTRIX_CHECKED_FILL5 char *buf, size_t size, const char *fmt, size_t count,
                                           uint32_t pointers, ...)
{
    va_list args;
    va_start(args, pointers);
    KESTRIX_COUNTED_ARGS(a, args, count, pointers);
    const size_t length = bounded(buf, size, fmt, a);
    va_end(args);
    return length;
}

extern "C" long kestrix_vbprintf(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt,
                                 va_list args)
{
    Args a(args);
    return pieces(flush, ctx, buf, size, fmt, a);
}

extern "C" long kestrix_bprintf(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    Args a(args);
    const long length = pieces(flush, ctx, buf, size, fmt, a);
    va_end(args);
    return length;
}

extern "C" long kestrix_bprintf_array(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt,
                                      size_t count, const uint64_t *args, uint32_t pointers)
{
    KESTRIX_ARRAY_ARGS(a, args, count, pointers);
    return pieces(flush, ctx, buf, size, fmt, a);
}

extern "C" long kestrix_vbprintf_counted(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt,
                                         size_t count, uint32_t pointers, va_list args)
{
    CountedArgs a(args, count, pointers);
    return pieces(flush, ctx, buf, size, fmt, a);
}

extern "C" long kestrix_bprintf_counted(KESTRIX_CHECKED_FILL7 kestrix_flush_fn flush, void *ctx, char *buf, size_t size,
                                        const char *fmt, size_t count, uint32_t pointers, ...)
{
    va_list args;
    va_start(args, pointers);
    KESTRIX_COUNTED_ARGS(a, args, count, pointers);
    const long length = pieces(flush, ctx, buf, size, fmt, a);
    va_end(args);
    return length;
}

namespace {

// Through a caller's sink there is no bound to keep, and the library's own
// emitters make each conversion, as for kestrix_fnprintf: each character
// reaches the sink as it is made, and an interposed emitter takes their
// place here too. The bounded functions above reach none of them.
template <class A>
__attribute__((always_inline)) inline void through_sink(kestrix_out_fn out, void *ctx, const char *fmt, A &args)
{
#if defined(__OPTIMIZE_SIZE__)
    // Optimised for size, the bounded calls' walk, with no buffer: a
    // firmware that calls both carries one walk.
    bounded(static_cast<char *>(nullptr), 0, fmt, args, out, ctx);
#else
    conv::Emit e = {out, ctx};
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(fmt);; p += 2) {
        uint32_t c;
        for (c = *p; c != '\0' && c != '%'; c = *++p)
            out(ctx, static_cast<int32_t>(c));
        if (c == '\0')
            return;
        const uint32_t letter = p[1];
        if (letter == '\0') // a lone '%' at the end writes nothing and reads nothing
            return;
        uint64_t v;
        if (letter == '%')
            out(ctx, '%');
        else if (args.next(v, letter))
            conv::apply(e, letter, v);
        else
            kestrix_str(out, ctx, conv::kMissing);
    }
#endif
}

} // namespace

extern "C" void kestrix_fnprintf_array(kestrix_out_fn out, void *ctx, const char *fmt, size_t count,
                                       const uint64_t *args, uint32_t pointers)
{
    KESTRIX_ARRAY_ARGS(a, args, count, pointers);
    through_sink(out, ctx, fmt, a);
}

extern "C" void kestrix_fnprintf_counted(KESTRIX_CHECKED_FILL5 kestrix_out_fn out, void *ctx, const char *fmt,
                                         size_t count, uint32_t pointers, ...)
{
    va_list args;
    va_start(args, pointers);
    KESTRIX_COUNTED_ARGS(a, args, count, pointers);
    through_sink(out, ctx, fmt, a);
    va_end(args);
}
