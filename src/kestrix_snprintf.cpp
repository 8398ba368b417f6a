// kestrix_snprintf and kestrix_vsnprintf, declared in kestrix_checked.h.
// Freestanding like the library, and built beside it rather than into the
// shared library, which exports the seven functions alone: they live in
// libkestrix.a and, for programs linked with libkestrix.so, in
// libkestrix_nonshared.a. Each program carries one copy, whatever number of
// its files call them.
#include "bounded.h"
#include "kestrix_checked.h"

namespace {

using kestrix_bounded::ArgList;

// Stores while the buffer has room for a byte and the closing NUL; past
// that (or from the start, when size is 0), bytes go to `spill`, which is
// emptied each time it fills, and are only counted.
struct Bounded {
    char *d;
    char *end;
    char *nul;        // where the closing NUL goes once the buffer is full
    uint64_t spilled; // bytes counted in spills emptied so far
    char spill[32];   // more than a conversion's room, so conversions go straight in

    bool counting() const { return end == spill + sizeof spill; }

    void full()
    {
        if (counting())
            spilled += sizeof spill;
        else
            nul = d;
        d = spill;
        end = spill + sizeof spill;
    }
};

KESTRIX_BOUNDED_ONE_COPY size_t bounded(char *buf, size_t size, const char *fmt, ArgList args)
{
    Bounded b;
    b.nul = nullptr;
    b.spilled = 0;
    b.d = size ? buf : b.spill;
    b.end = size ? buf + size - 1 : b.spill + sizeof b.spill;
    kestrix_bounded::pass(b, fmt, args);
    if (!b.counting()) {
        *b.d = '\0';
        return static_cast<size_t>(b.d - buf);
    }
    uint64_t length = b.spilled + static_cast<uint64_t>(b.d - b.spill);
    if (b.nul) {
        *b.nul = '\0';
        length += static_cast<uint64_t>(b.nul - buf);
    }
    // Where size_t has 32 bits, a length past it saturates: the result is
    // still >= size, so the output still reads as cut.
    return length < SIZE_MAX ? static_cast<size_t>(length) : SIZE_MAX;
}

} // namespace

extern "C" size_t kestrix_vsnprintf(char *buf, size_t size, const char *fmt, va_list args)
{
    return bounded(buf, size, fmt, args);
}

extern "C" size_t kestrix_snprintf(char *buf, size_t size, const char *fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const size_t length = bounded(buf, size, fmt, args);
    va_end(args);
    return length;
}
