// SPDX-License-Identifier: MIT
// kestrix beside the formatters a caller would otherwise pick: the host's
// snprintf, stb_sprintf and {fmt} (header-only, and the compiled libfmt),
// each producing the same bytes. After the runs it prints, per case, each
// peer's time divided by kestrix's (above 1: kestrix is faster), all from
// this one process. A time is the fastest of the repetitions: on a machine
// shared with other work, that is the one least disturbed by it. For %c and %d it also divides kestrix's time by
// that of the floor (floor.cpp), the least the library's call chain can
// cost. The log line is timed through the bounded C call of
// kestrix_checked.h as well, into a buffer it fits and into one that cuts
// it, beside the host's snprintf and stbsp_snprintf; and through
// KESTRIX_DPRINTF of kestrix_fd.h beside the host's dprintf, to /dev/null.
// The pieces case copies the log line out as a UART driver or a ring
// buffer would: KESTRIX_BPRINTF through a 64-byte buffer and a flush that
// copies each piece, beside stbsp_vsprintfcb with the same copying
// callback (which gets pieces of up to 512 bytes) and kestrix_fnprintf with
// a sink that stores each character.
#include <benchmark/benchmark.h>

#define STB_SPRINTF_IMPLEMENTATION
#include <stb_sprintf.h>

#include <kestrix.h>
#include <kestrix_checked.h>

#include "cases.h"

#include <fcntl.h>
#include <gnu/libc-version.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern "C" char *floor_sprintf(char *buf, const char *fmt, ...);
extern "C" const FmtCases libfmt_cases;

namespace {

// Formats reach every formatter through pointers the compiler cannot see, so
// none of them is folded into a copy or specialised at compile time.
const char *volatile kChar = "%c";
const char *volatile kDec = "%d";
const char *volatile kDecHost = "%lld";
const char *volatile kHex = "%x";
const char *volatile kHexHost = "%0*llX";
const char *volatile kLog = "[%u] %s: value=%d addr=%p flags=%X\n";
const char *volatile kLogHost = "[%llu] %s: value=%lld addr=%016llX flags=%0*llX\n";
const char *volatile kPlain = "plain text, forty bytes, no conversion.\n";
const char *volatile kStr = "<%s>";

void k_char(char *b, size_t i) { kestrix_sprintf(b, opaque(kChar), in.ch[i]); }
void h_char(char *b, size_t i) { snprintf(b, 256, opaque(kChar), static_cast<int>(in.ch[i])); }
void s_char(char *b, size_t i) { stbsp_sprintf(b, opaque(kChar), static_cast<int>(in.ch[i])); }
void floor_char(char *b, size_t i) { floor_sprintf(b, opaque(kChar), in.ch[i]); }

void k_dec(char *b, size_t i) { kestrix_sprintf(b, opaque(kDec), in.v[i]); }
void h_dec(char *b, size_t i) { snprintf(b, 256, opaque(kDecHost), static_cast<long long>(in.v[i])); }
void s_dec(char *b, size_t i) { stbsp_sprintf(b, opaque(kDecHost), static_cast<long long>(in.v[i])); }
void floor_dec(char *b, size_t i) { floor_sprintf(b, opaque(kDec), in.v[i]); }

void k_hex(char *b, size_t i) { kestrix_sprintf(b, opaque(kHex), in.v[i]); }
void h_hex(char *b, size_t i) { snprintf(b, 256, opaque(kHexHost), hex_digits(in.v[i]), static_cast<unsigned long long>(in.v[i])); }
void s_hex(char *b, size_t i) { stbsp_sprintf(b, opaque(kHexHost), hex_digits(in.v[i]), static_cast<unsigned long long>(in.v[i])); }

void k_log(char *b, size_t i)
{
    kestrix_sprintf(b, opaque(kLog), in.counter[i], in.name[i], in.v[i], in.addr[i], in.flags[i]);
}
void h_log(char *b, size_t i)
{
    snprintf(b, 256, opaque(kLogHost), static_cast<unsigned long long>(in.counter[i]), in.name[i],
             static_cast<long long>(in.v[i]), static_cast<unsigned long long>(in.addr[i]), hex_digits(in.flags[i]),
             static_cast<unsigned long long>(in.flags[i]));
}
void s_log(char *b, size_t i)
{
    stbsp_sprintf(b, opaque(kLogHost), static_cast<unsigned long long>(in.counter[i]), in.name[i],
                  static_cast<long long>(in.v[i]), static_cast<unsigned long long>(in.addr[i]),
                  hex_digits(in.flags[i]), static_cast<unsigned long long>(in.flags[i]));
}
extern "C" size_t bench_log_bounded(char *buf, size_t size, const char *fmt, uint64_t counter, const char *name,
                                    int64_t value, uint64_t addr, uint64_t flags);
extern "C" size_t bench_log_before(char *buf, size_t size, const char *fmt, ...);
extern "C" char *bench_log_macro(char *buf, const char *fmt, uint64_t counter, const char *name, int64_t value,
                                 uint64_t addr, uint64_t flags);
void k_log_macro(char *b, size_t i)
{
    bench_log_macro(b, opaque(kLog), in.counter[i], in.name[i], static_cast<i64>(in.v[i]), in.addr[i], in.flags[i]);
}
extern "C" long bench_log_fd(int fd, const char *fmt, uint64_t counter, const char *name, int64_t value,
                             uint64_t addr, uint64_t flags);

// The bounded calls: the log line into size bytes, returning the length of
// the whole line.
using BoundedFn = size_t (*)(char *buf, size_t size, size_t i);
size_t kb_log(char *b, size_t n, size_t i)
{
    return bench_log_bounded(b, n, opaque(kLog), in.counter[i], in.name[i], static_cast<i64>(in.v[i]), in.addr[i],
                             in.flags[i]);
}
size_t kb_before(char *b, size_t n, size_t i)
{
    return bench_log_before(b, n, opaque(kLog), in.counter[i], in.name[i], in.v[i], in.addr[i], in.flags[i]);
}
size_t hb_log(char *b, size_t n, size_t i)
{
    return static_cast<size_t>(snprintf(b, n, opaque(kLogHost), static_cast<unsigned long long>(in.counter[i]),
                                        in.name[i], static_cast<long long>(in.v[i]),
                                        static_cast<unsigned long long>(in.addr[i]), hex_digits(in.flags[i]),
                                        static_cast<unsigned long long>(in.flags[i])));
}
size_t sb_log(char *b, size_t n, size_t i)
{
    return static_cast<size_t>(stbsp_snprintf(b, static_cast<int>(n), opaque(kLogHost),
                                              static_cast<unsigned long long>(in.counter[i]), in.name[i],
                                              static_cast<long long>(in.v[i]),
                                              static_cast<unsigned long long>(in.addr[i]), hex_digits(in.flags[i]),
                                              static_cast<unsigned long long>(in.flags[i])));
}
constexpr int kBounded = 4;
const BoundedFn bounded_fns[kBounded] = {kb_log, kb_before, hb_log, sb_log};
const char *const bounded_names[kBounded] = {"kestrix", "before", "snprintf", "stb"};
constexpr size_t kFits = 256, kCut = 16;

// The log line to a file descriptor; the result is what the call returns.
int null_fd = -1;
using FdFn = long (*)(size_t i);
long kd_log(size_t i)
{
    return bench_log_fd(null_fd, opaque(kLog), in.counter[i], in.name[i], static_cast<i64>(in.v[i]), in.addr[i],
                        in.flags[i]);
}
long hd_log(size_t i)
{
    return dprintf(null_fd, opaque(kLogHost), static_cast<unsigned long long>(in.counter[i]), in.name[i],
                   static_cast<long long>(in.v[i]), static_cast<unsigned long long>(in.addr[i]),
                   hex_digits(in.flags[i]), static_cast<unsigned long long>(in.flags[i]));
}

void k_plain(char *b, size_t) { kestrix_sprintf(b, opaque(kPlain)); }
void h_plain(char *b, size_t) { snprintf(b, 256, opaque(kPlain)); }
void s_plain(char *b, size_t) { stbsp_sprintf(b, opaque(kPlain)); }

void k_str(char *b, size_t) { kestrix_sprintf(b, opaque(kStr), in.text64.c_str()); }
void h_str(char *b, size_t) { snprintf(b, 256, opaque(kStr), in.text64.c_str()); }
void s_str(char *b, size_t) { stbsp_sprintf(b, opaque(kStr), in.text64.c_str()); }

// The sink case: one call per character into a counting sink.
struct Counter {
    u64 n = 0, sum = 0;
};
void count(void *ctx, int32_t c)
{
    auto *k = static_cast<Counter *>(ctx);
    ++k->n;
    k->sum += static_cast<uint32_t>(c);
}
kestrix_out_fn volatile kSink = count;

char *stb_count(const char *buf, void *user, int len)
{
    auto *k = static_cast<Counter *>(user);
    for (int j = 0; j < len; ++j) {
        ++k->n;
        k->sum += static_cast<unsigned char>(buf[j]);
    }
    return const_cast<char *>(buf);
}
void stb_cb(STBSP_SPRINTFCB *cb, void *user, const char *f, ...)
{
    char tmp[STB_SPRINTF_MIN];
    va_list ap;
    va_start(ap, f);
    stbsp_vsprintfcb(cb, user, tmp, f, ap);
    va_end(ap);
}
// The log line through stb_sprintf's callback, as the host's printf reads it.
void stb_log(STBSP_SPRINTFCB *cb, void *user, size_t i)
{
    stb_cb(cb, user, opaque(kLogHost), static_cast<unsigned long long>(in.counter[i]), in.name[i],
           static_cast<long long>(in.v[i]), static_cast<unsigned long long>(in.addr[i]), hex_digits(in.flags[i]),
           static_cast<unsigned long long>(in.flags[i]));
}

std::vector<std::string> preformatted;

void k_sink(Counter &k, size_t i)
{
    kestrix_fnprintf(opaque(kSink), &k, opaque(kLog), in.counter[i], in.name[i], in.v[i], in.addr[i], in.flags[i]);
}
void floor_sink(Counter &k, size_t i)
{
    const kestrix_out_fn out = opaque(kSink);
    for (const char *p = preformatted[i].c_str(); *p; ++p)
        out(&k, static_cast<unsigned char>(*p));
}
void s_sink(Counter &k, size_t i)
{
    stb_log(stb_count, &k, i);
}
using SinkFn = void (*)(Counter &, size_t);

// The pieces case: each piece copied to `out`, where the line ends up.
struct Copied {
    char out[256];
    size_t n = 0;
};
int32_t copy_piece(void *ctx, const char *bytes, size_t len)
{
    auto *c = static_cast<Copied *>(ctx);
    std::memcpy(c->out + c->n, bytes, len);
    c->n += len;
    return 0;
}
kestrix_flush_fn volatile kCopy = copy_piece;
char *stb_copy(const char *buf, void *user, int len)
{
    copy_piece(user, buf, static_cast<size_t>(len));
    return const_cast<char *>(buf);
}
void store(void *ctx, int32_t c)
{
    auto *k = static_cast<Copied *>(ctx);
    k->out[k->n++] = static_cast<char>(c);
}
kestrix_out_fn volatile kStore = store;
extern "C" long bench_log_pieces(kestrix_flush_fn flush, void *ctx, char *buf, size_t size, const char *fmt,
                                 uint64_t counter, const char *name, int64_t value, uint64_t addr, uint64_t flags);
constexpr size_t kPiece = 64;
void k_pieces(Copied &c, size_t i)
{
    char buf[kPiece];
    c.n = 0;
    bench_log_pieces(opaque(kCopy), &c, buf, sizeof buf, opaque(kLog), in.counter[i], in.name[i],
                     static_cast<i64>(in.v[i]), in.addr[i], in.flags[i]);
}
void s_pieces(Copied &c, size_t i)
{
    c.n = 0;
    stb_log(stb_copy, &c, i);
}
void fn_pieces(Copied &c, size_t i)
{
    c.n = 0;
    kestrix_fnprintf(opaque(kStore), &c, opaque(kLog), in.counter[i], in.name[i], in.v[i], in.addr[i], in.flags[i]);
}
using PiecesFn = void (*)(Copied &, size_t);
constexpr int kPiecesPeers = 3;
const PiecesFn pieces_fns[kPiecesPeers] = {k_pieces, s_pieces, fn_pieces};
const char *const pieces_names[kPiecesPeers] = {"kestrix", "stb", "fnprintf"};

// Each case's formatters, in the order of peers[]; a null one is left out.
constexpr int kPeers = 6;
struct Case {
    const char *name;
    Fn fns[kPeers];
};
const Case cases[] = {
    {"char", {k_char, h_char, s_char, f_char, libfmt_cases.ch, floor_char}},
    {"dec", {k_dec, h_dec, s_dec, f_dec, libfmt_cases.dec, floor_dec}},
    {"hex", {k_hex, h_hex, s_hex, f_hex, libfmt_cases.hex, nullptr}},
    {"log", {k_log, h_log, s_log, f_log, libfmt_cases.log, nullptr}},
    {"plain", {k_plain, h_plain, s_plain, f_plain, libfmt_cases.plain, nullptr}},
    {"str", {k_str, h_str, s_str, f_str, libfmt_cases.str, nullptr}},
};
const char *const peers[kPeers] = {"kestrix", "snprintf", "stb", "fmt", "libfmt", "floor"};
constexpr int kFloor = 5;

// Every formatter must produce kestrix's bytes for every input, or the
// comparison means nothing.
bool outputs_agree()
{
    bool ok = true;
    for (const Case &c : cases) {
        const Fn *fns = c.fns;
        for (size_t i = 0; i < kValues; ++i) {
            char want[256];
            fns[0](want, i);
            for (int p = 1; p < kPeers; ++p) {
                if (!fns[p])
                    continue;
                char got[256];
                fns[p](got, i);
                if (std::strcmp(got, want) != 0 && ok) {
                    std::fprintf(stderr, "%s/%s differs at %zu: \"%s\" vs \"%s\"\n", c.name, peers[p], i, got, want);
                    ok = false;
                }
            }
        }
    }
    preformatted.resize(kValues);
    for (size_t i = 0; i < kValues; ++i) {
        char buf[256];
        k_log(buf, i);
        preformatted[i] = buf;
        char macro[256];
        k_log_macro(macro, i);
        if (std::strcmp(macro, buf) != 0 && ok) {
            std::fprintf(stderr, "KESTRIX_SPRINTF differs at %zu: \"%s\"\n", i, macro);
            ok = false;
        }
        // The bounded calls agree with the host's on the bytes and the length.
        for (const size_t size : {kFits, kCut}) {
            char want[256];
            const size_t length = hb_log(want, size, i);
            for (int p = 0; p < kBounded; ++p) {
                char got[256];
                if ((bounded_fns[p](got, size, i) != length || std::strcmp(got, want) != 0) && ok) {
                    std::fprintf(stderr, "bounded/%s differs at %zu, size %zu: \"%s\"\n", bounded_names[p], i, size, got);
                    ok = false;
                }
            }
        }
        if (kd_log(i) != hd_log(i) && ok) {
            std::fprintf(stderr, "fd case differs at %zu\n", i);
            ok = false;
        }
        for (int p = 0; p < kPiecesPeers; ++p) {
            Copied c;
            pieces_fns[p](c, i);
            if (std::string(c.out, c.n) != preformatted[i] && ok) {
                std::fprintf(stderr, "pieces/%s differs at %zu\n", pieces_names[p], i);
                ok = false;
            }
        }
        Counter a, b, s;
        k_sink(a, i);
        floor_sink(b, i);
        s_sink(s, i);
        if ((a.n != b.n || a.sum != b.sum || a.n != s.n || a.sum != s.sum) && ok) {
            std::fprintf(stderr, "sink case differs at %zu\n", i);
            ok = false;
        }
    }
    return ok;
}

void run_buffer(benchmark::State &st, Fn f)
{
    char buf[256];
    size_t i = 0;
    for (auto _ : st) {
        f(buf, i);
        benchmark::DoNotOptimize(buf);
        benchmark::ClobberMemory();
        i = (i + 1) & (kValues - 1);
    }
}

void run_bounded(benchmark::State &st, BoundedFn f, size_t size)
{
    char buf[256];
    size_t i = 0;
    for (auto _ : st) {
        benchmark::DoNotOptimize(f(buf, size, i));
        benchmark::ClobberMemory();
        i = (i + 1) & (kValues - 1);
    }
}

void run_fd(benchmark::State &st, FdFn f)
{
    size_t i = 0;
    for (auto _ : st) {
        benchmark::DoNotOptimize(f(i));
        i = (i + 1) & (kValues - 1);
    }
}

void run_sink(benchmark::State &st, SinkFn f)
{
    Counter k;
    size_t i = 0;
    for (auto _ : st) {
        f(k, i);
        i = (i + 1) & (kValues - 1);
    }
    benchmark::DoNotOptimize(k);
}

void run_pieces(benchmark::State &st, PiecesFn f)
{
    Copied c;
    size_t i = 0;
    for (auto _ : st) {
        f(c, i);
        benchmark::DoNotOptimize(c);
        benchmark::ClobberMemory();
        i = (i + 1) & (kValues - 1);
    }
}

// Collects the fastest repetition's CPU time of each benchmark while
// printing as usual.
class MinReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> fastest;
    MinReporter() : ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "min")
                fastest[r.run_name.str()] = r.GetAdjustedCPUTime();
    }
};

std::string machine()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, model;
    while (std::getline(cpuinfo, line))
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    utsname u{};
    uname(&u);
    char rest[200];
    std::snprintf(rest, sizeof rest, ", %s, %u logical CPUs; glibc %s, compiler %s, {fmt} %d.%d.%d", u.machine,
                  std::thread::hardware_concurrency(), gnu_get_libc_version(), __VERSION__, FMT_VERSION / 10000,
                  FMT_VERSION / 100 % 100, FMT_VERSION % 100);
    return (model.empty() ? std::string("unknown CPU") : model) + rest;
}

void print_ratios(const std::map<std::string, double> &t)
{
    auto get = [&](const std::string &k) {
        auto it = t.find(k);
        return it == t.end() ? 0.0 : it->second;
    };
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%d", std::localtime(&now));
    std::printf("\nRatios, peer CPU time / kestrix CPU time, fastest of the repetitions (above 1: kestrix faster)\n");
    std::printf("Machine: %s; %s\n\n", machine().c_str(), date);
    std::printf("| case | kestrix ns | vs snprintf | vs stb_sprintf | vs fmt::format_to (header-only) | "
                "vs libfmt (compiled) | kestrix / floor |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Case &c : cases) {
        const double k = get(std::string(c.name) + "/kestrix");
        if (k == 0)
            continue;
        std::printf("| %s | %.1f", c.name, k);
        for (int p = 1; p < kPeers; ++p) {
            const double peer = get(std::string(c.name) + "/" + peers[p]);
            if (peer == 0)
                std::printf(" | -");
            else
                std::printf(" | %.2f", p == kFloor ? k / peer : peer / k);
        }
        std::printf(" |\n");
    }
    std::printf("\nThe floor (bench/floor.cpp) is the same exported call chain doing only what %%c and %%d "
                "need;\nkestrix / floor is how many times the floor's time kestrix takes.\n");
    const double fits = get("bounded256/kestrix"), cut = get("bounded16/kestrix");
    if (fits != 0 && cut != 0) {
        static const char *const what[kBounded] = {
            "KESTRIX_SNPRINTF", "1.0's bounded call, a counting sink (bench/bounded.c)", "snprintf",
            "stbsp_snprintf"};
        std::printf("\n| log line, bounded | into %zu bytes, ns | ratio to KESTRIX_SNPRINTF | cut to %zu bytes, ns "
                    "| ratio to KESTRIX_SNPRINTF |\n|---|---:|---:|---:|---:|\n", kFits, kCut);
        for (int p = 0; p < kBounded; ++p) {
            const double f = get(std::string("bounded256/") + bounded_names[p]);
            const double c = get(std::string("bounded16/") + bounded_names[p]);
            std::printf("| %s | %.1f | %.2f | %.1f | %.2f |\n", what[p], f, f / fits, c, c / cut);
        }
        std::printf("| kestrix_sprintf (no bound) | %.1f | %.2f | - | - |\n", get("log/kestrix"),
                    get("log/kestrix") / fits);
        std::printf("| KESTRIX_SPRINTF (no bound, counted arguments) | %.1f | %.2f | - | - |\n",
                    get("log/KESTRIX_SPRINTF"), get("log/KESTRIX_SPRINTF") / fits);
        std::printf("\nKESTRIX_SPRINTF / kestrix_sprintf with the arguments widened by hand: %.2f\n",
                    get("log/KESTRIX_SPRINTF") / get("log/kestrix"));
    }
    const double fd = get("fd/kestrix");
    if (fd != 0)
        std::printf("\n| log line to /dev/null | ns | ratio to KESTRIX_DPRINTF |\n|---|---:|---:|\n"
                    "| KESTRIX_DPRINTF | %.1f | 1.00 |\n| dprintf | %.1f | %.2f |\n",
                    fd, get("fd/dprintf"), get("fd/dprintf") / fd);
    const double pk = get("pieces/kestrix");
    if (pk != 0) {
        std::printf("\n| log line, pieces copied out | ns | ratio to KESTRIX_BPRINTF |\n|---|---:|---:|\n");
        std::printf("| KESTRIX_BPRINTF, %zu-byte buffer, a copying flush | %.1f | 1.00 |\n", kPiece, pk);
        std::printf("| stbsp_vsprintfcb, the same copying callback | %.1f | %.2f |\n", get("pieces/stb"),
                    get("pieces/stb") / pk);
        std::printf("| kestrix_fnprintf, a sink storing each character | %.1f | %.2f |\n", get("pieces/fnprintf"),
                    get("pieces/fnprintf") / pk);
    }
    const double k = get("sink/kestrix");
    if (k == 0)
        return;
    std::printf("\n| sink case (log line, one call per character) | ns | ratio to kestrix |\n|---|---:|---:|\n");
    std::printf("| kestrix_fnprintf | %.1f | 1.00 |\n", k);
    std::printf("| floor: same sink over the preformatted line | %.1f | %.2f |\n", get("sink/floor"),
                get("sink/floor") / k);
    std::printf("| stbsp_vsprintfcb with a callback | %.1f | %.2f |\n", get("sink/stb"), get("sink/stb") / k);
}

} // namespace

int main(int argc, char **argv)
{
    null_fd = open("/dev/null", O_WRONLY);
    if (null_fd < 0 || !outputs_agree())
        return 1;
    auto fastest = [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); };
    auto add = [&](const std::string &name, auto run, auto fn) {
        benchmark::RegisterBenchmark(name.c_str(), run, fn)->ComputeStatistics("min", fastest);
    };
    for (const Case &c : cases)
        for (int p = 0; p < kPeers; ++p)
            if (c.fns[p])
                add(std::string(c.name) + "/" + peers[p], run_buffer, c.fns[p]);
    for (int p = 0; p < kBounded; ++p) {
        for (const size_t size : {kFits, kCut}) {
            const std::string name = "bounded" + std::to_string(size) + "/" + bounded_names[p];
            benchmark::RegisterBenchmark(name.c_str(), run_bounded, bounded_fns[p], size)
                ->ComputeStatistics("min", fastest);
        }
    }
    add("log/KESTRIX_SPRINTF", run_buffer, k_log_macro);
    add("fd/kestrix", run_fd, kd_log);
    add("fd/dprintf", run_fd, hd_log);
    for (int p = 0; p < kPiecesPeers; ++p)
        add(std::string("pieces/") + pieces_names[p], run_pieces, pieces_fns[p]);
    add("sink/kestrix", run_sink, k_sink);
    add("sink/floor", run_sink, floor_sink);
    add("sink/stb", run_sink, s_sink);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    MinReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!reporter.fastest.empty())
        print_ratios(reporter.fastest);
    return 0;
}
