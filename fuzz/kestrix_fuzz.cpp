// SPDX-License-Identifier: MIT
// libFuzzer target: any input becomes a format and up to 16 arguments, and
// every call must agree with a model built on the host's snprintf.
//
// Input: the format's bytes up to the first NUL (or the whole input), then the
// arguments, one per conversion in order. A %s argument is one length byte
// (0xFF gives a null pointer) followed by that many bytes of string; any
// other argument is 8 bytes, little-endian. Missing bytes read as zero. A
// format with more than 16 conversions is cut before the 17th.
//
// Checked for every input:
// - kestrix_fnprintf hands the sink exactly the model's characters, %c as its
//   low 32 bits, other bytes as 0..255, and the caller's ctx every time;
// - kestrix_sprintf and kestrix_vsprintf store the low byte of each of those
//   characters, then one NUL, return its address, and leave guard bytes on
//   both sides untouched;
// - kestrix_snprintf of kestrix_checked.h (the bounded buffer behind
//   kestrix::format_to_n too) returns the model's length and, at sizes 0
//   (null buffer), 1, the length, one more, more still, one the input
//   chooses, and the length plus the room its numbers could take but did
//   not (around where it stops formatting them in place), keeps the low
//   bytes of the characters that fit, then a NUL, and touches no byte after it;
// - kestrix_bprintf at sizes 1, the length, one more and one the input
//   chooses hands its flush the low bytes of the characters in pieces from
//   the buffer, each full but the last and none empty, stores nothing
//   outside the buffer and returns the length; a flush that fails at a call
//   the input chooses ends it there: -1, no later flush, the buffer as the
//   failing flush left it;
// - kestrix_hex with each argument and an input-chosen width matches snprintf;
// - the sanitizers find nothing (the target is built with them).
#include <kestrix.h>
#include <kestrix_checked.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr size_t kMaxArgs = 16;
constexpr size_t kGuard = 32;
constexpr unsigned char kPattern = 0xA5;

// A copy of n bytes and a NUL in an allocation of exactly that size, so that
// the address sanitizer reports any read past the terminator.
std::unique_ptr<char[]> exact_copy(const void *p, size_t n)
{
    std::unique_ptr<char[]> s(new char[n + 1]);
    std::memcpy(s.get(), p, n);
    s[n] = '\0';
    return s;
}

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "kestrix_fuzz: %s\n", what);
        std::abort();
    }
}

struct Recorder {
    std::vector<int32_t> chars;
    bool ctx_ok = true;
    static void sink(void *ctx, int32_t c)
    {
        auto *r = static_cast<Recorder *>(ctx);
        r->chars.push_back(c);
        r->ctx_ok = r->ctx_ok && ctx == r;
    }
};

// Reads the input front to back; past its end every byte is zero.
struct Reader {
    const uint8_t *p;
    size_t n;
    uint8_t byte()
    {
        if (!n)
            return 0;
        --n;
        return *p++;
    }
    uint64_t u64()
    {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= uint64_t{byte()} << (8 * i);
        return v;
    }
};

void append(std::vector<int32_t> &out, const char *s)
{
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(s); *p; ++p)
        out.push_back(*p);
}

// The host's rendering of one numeric conversion, %x with its width rule:
// the fewest of 2, 4 or 8 digits that hold the value, else 16.
void render(std::vector<int32_t> &out, unsigned char letter, uint64_t v)
{
    char text[32];
    const auto ull = static_cast<unsigned long long>(v);
    switch (letter) {
    case 'd':
    case 'i':
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(v));
        break;
    case 'u':
        std::snprintf(text, sizeof text, "%llu", ull);
        break;
    case 'x':
    case 'X':
        std::snprintf(text, sizeof text, "%0*llX", v <= 0xFF ? 2 : v <= 0xFFFF ? 4 : v <= 0xFFFFFFFF ? 8 : 16, ull);
        break;
    default: // p, P
        std::snprintf(text, sizeof text, "%016llX", ull);
        break;
    }
    append(out, text);
}

char *vsprintf_of(char *buf, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    char *end = kestrix_vsprintf(buf, fmt, ap);
    va_end(ap);
    return end;
}

// Formats into a buffer of exactly the expected size inside guard bytes, so
// that both the guards and the address sanitizer see any stray write.
template <typename Format>
void check_buffer(const std::vector<int32_t> &want, Format format)
{
    std::vector<unsigned char> raw(kGuard + want.size() + 1 + kGuard, kPattern);
    char *buf = reinterpret_cast<char *>(raw.data() + kGuard);
    const char *end = format(buf);
    check(end == buf + want.size(), "buffer end is not after the last character");
    for (size_t i = 0; i < want.size(); ++i)
        check(static_cast<unsigned char>(buf[i]) == static_cast<unsigned char>(want[i]),
              "buffer byte differs from the sink's character");
    check(buf[want.size()] == '\0', "no NUL after the output");
    for (size_t i = 0; i < kGuard; ++i)
        check(raw[i] == kPattern && raw[raw.size() - 1 - i] == kPattern, "guard byte touched");
}

// Formats into size bytes (no buffer at all for 0) inside guard bytes: the
// characters that fit, a NUL, and nothing written after it.
template <typename Format>
void check_bounded(const std::vector<int32_t> &want, size_t size, Format format)
{
    std::vector<unsigned char> raw(kGuard + size + kGuard, kPattern);
    char *buf = size ? reinterpret_cast<char *>(raw.data() + kGuard) : nullptr;
    check(format(buf, size) == want.size(), "bounded length differs from the model's");
    const size_t kept = size ? std::min(size - 1, want.size()) : 0;
    for (size_t i = 0; i < kept; ++i)
        check(static_cast<unsigned char>(buf[i]) == static_cast<unsigned char>(want[i]),
              "bounded byte differs from the sink's character");
    check(size == 0 || buf[kept] == '\0', "no NUL after the bounded output");
    for (size_t i = 0; i < raw.size(); ++i)
        check(raw[i] == kPattern || (i >= kGuard && i <= kGuard + kept), "bounded write outside its place");
}

// What kestrix_bprintf hands its flush; the call numbered fail_at (from 1)
// fails.
struct Pieces {
    const char *buf;
    size_t size, calls = 0, fail_at;
    bool bad = false, short_seen = false;
    std::vector<unsigned char> joined, at_failure;
    static int32_t flush(void *ctx, const char *bytes, size_t len)
    {
        auto *p = static_cast<Pieces *>(ctx);
        p->bad |= bytes != p->buf || len == 0 || len > p->size || p->short_seen ||
                  (p->fail_at && p->calls >= p->fail_at);
        p->short_seen = len < p->size;
        p->joined.insert(p->joined.end(), bytes, bytes + len);
        if (++p->calls != p->fail_at)
            return 0;
        p->at_failure.assign(bytes, bytes + p->size);
        return 1;
    }
};

template <typename Format>
void check_pieces(const std::vector<int32_t> &want, size_t size, size_t fail_at, Format format)
{
    std::vector<unsigned char> raw(kGuard + size + kGuard, kPattern);
    char *buf = reinterpret_cast<char *>(raw.data() + kGuard);
    Pieces p{buf, size, 0, fail_at};
    const long got = format(Pieces::flush, &p, buf, size);
    check(!p.bad, "a piece is empty, too long, after a short one, not the buffer's, or after a failed flush");
    const size_t flushed = fail_at && fail_at <= p.calls ? fail_at * size : want.size();
    check(p.joined.size() == std::min(flushed, want.size()), "pieces joined have the wrong length");
    for (size_t i = 0; i < p.joined.size(); ++i)
        check(p.joined[i] == static_cast<unsigned char>(want[i]), "a piece's byte differs from the sink's character");
    if (fail_at && fail_at <= p.calls) {
        check(got == -1, "a failed flush did not fail the call");
        check(std::equal(p.at_failure.begin(), p.at_failure.end(), raw.begin() + kGuard), "stored into the buffer after a failed flush");
    } else {
        check(got == static_cast<long>(want.size()), "kestrix_bprintf's length differs from the model's");
    }
    for (size_t i = 0; i < raw.size(); ++i)
        check(raw[i] == kPattern || (i >= kGuard && i < kGuard + size), "kestrix_bprintf wrote outside its buffer");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *nul = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    const size_t fmt_len = nul ? static_cast<size_t>(nul - data) : size;
    Reader in{data + fmt_len + (nul ? 1 : 0), size - fmt_len - (nul ? 1 : 0)};

    // Walk the format as the language reads it: the model's output, the
    // arguments it consumes and where a 17th conversion would start.
    std::unique_ptr<char[]> strings[kMaxArgs];
    uint64_t args[kMaxArgs] = {};
    size_t nargs = 0, cut = fmt_len;
    size_t slack = 0; // the room the numbers could take (20 or 16 each) less what they took
    std::vector<int32_t> want;
    for (size_t i = 0; i < fmt_len; ++i) {
        const unsigned char c = data[i];
        if (c != '%') {
            want.push_back(c);
            continue;
        }
        if (i + 1 == fmt_len)
            break; // a lone '%' at the end: nothing written, nothing read
        const unsigned char letter = data[++i];
        if (letter == '%') {
            want.push_back('%');
            continue;
        }
        if (nargs == kMaxArgs) {
            cut = i - 1;
            break;
        }
        uint64_t &v = args[nargs++];
        if (letter == 's') {
            const uint8_t len = in.byte();
            if (len == 0xFF) {
                v = 0;
                append(want, "(null)");
                continue;
            }
            char bytes[255];
            for (uint8_t k = 0; k < len; ++k)
                bytes[k] = static_cast<char>(in.byte());
            strings[nargs - 1] = exact_copy(bytes, len);
            v = reinterpret_cast<uintptr_t>(strings[nargs - 1].get());
            append(want, strings[nargs - 1].get()); // up to the first NUL, as C reads it
            continue;
        }
        v = in.u64();
        switch (letter) {
        case 'c':
            want.push_back(static_cast<int32_t>(static_cast<uint32_t>(v)));
            break;
        case 'd': case 'i': case 'u': case 'x': case 'X': case 'p': case 'P':
            slack += want.size() + (letter == 'd' || letter == 'i' || letter == 'u' ? 20 : 16);
            render(want, letter, v);
            slack -= want.size();
            break;
        default:
            want.push_back('?'); // an unknown letter still consumes its argument
            break;
        }
    }
    const auto fmt = exact_copy(data, cut);

#define KESTRIX_ARGS                                                                                              \
    args[0], args[1], args[2], args[3], args[4], args[5], args[6], args[7], args[8], args[9], args[10], args[11], \
        args[12], args[13], args[14], args[15]
    Recorder r;
    kestrix_fnprintf(Recorder::sink, &r, fmt.get(), KESTRIX_ARGS);
    check(r.ctx_ok, "sink got another ctx");
    check(r.chars == want, "sink characters differ from the snprintf model");
    check_buffer(want, [&](char *buf) { return kestrix_sprintf(buf, fmt.get(), KESTRIX_ARGS); });
    check_buffer(want, [&](char *buf) { return vsprintf_of(buf, fmt.get(), KESTRIX_ARGS); });
    const size_t n = want.size();
    for (const size_t size :
         {size_t{0}, size_t{1}, n, n + 1, n + kGuard, size_t{in.byte()}, n + slack, n + slack + 1}) {
        check_bounded(want, size, [&](char *buf, size_t s) { return kestrix_snprintf(buf, s, fmt.get(), KESTRIX_ARGS); });
    }
    const size_t fail_at = in.byte() % 4; // 0: every flush succeeds
    for (const size_t size : {size_t{1}, n, n + 1, size_t{in.byte()}}) {
        if (size)
            check_pieces(want, size, fail_at, [&](kestrix_flush_fn f, void *ctx, char *buf, size_t s) {
                return kestrix_bprintf(f, ctx, buf, s, fmt.get(), KESTRIX_ARGS);
            });
    }
#undef KESTRIX_ARGS

    // The hex emitter on its own, with every width including those outside 1..8.
    const auto nbytes = static_cast<int32_t>(static_cast<int8_t>(in.byte()));
    for (size_t k = 0; k < nargs; ++k) {
        const int digits = nbytes >= 1 && nbytes <= 8 ? 2 * nbytes : 16;
        const uint64_t shown = digits == 16 ? args[k] : args[k] & ((uint64_t{1} << (4 * digits)) - 1);
        char text[32];
        std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(shown));
        std::vector<int32_t> hex_want;
        append(hex_want, text);
        Recorder h;
        kestrix_hex(Recorder::sink, &h, args[k], nbytes);
        check(h.chars == hex_want, "kestrix_hex differs from snprintf");
    }
    return 0;
}
