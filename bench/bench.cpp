// kestrix beside the formatters a caller would otherwise pick: the host's
// snprintf, stb_sprintf and {fmt}, each producing the same bytes. After the
// runs it prints, per case, each peer's median time divided by kestrix's
// (above 1: kestrix is faster), all from this one process. The log line is
// timed through the bounded C call of kestrix_checked.h as well, against
// kestrix_sprintf.
#include <benchmark/benchmark.h>

#define STB_SPRINTF_IMPLEMENTATION
#include <stb_sprintf.h>

#include <fmt/format.h>

#include <kestrix.h>

#include <gnu/libc-version.h>
#include <sys/utsname.h>

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

namespace {

using u64 = uint64_t;
using i64 = int64_t;

// Formats reach every formatter through pointers the compiler cannot see, so
// none of them is folded into a copy or specialised at compile time.
const char *volatile kDec = "%d";
const char *volatile kDecHost = "%lld";
const char *volatile kHex = "%x";
const char *volatile kHexHost = "%0*llX";
const char *volatile kLog = "[%u] %s: value=%d addr=%p flags=%X\n";
const char *volatile kLogHost = "[%llu] %s: value=%lld addr=%016llX flags=%0*llX\n";
const char *volatile kPlain = "plain text, forty bytes, no conversion.\n";
const char *volatile kStr = "<%s>";
#define FMT_LOG "[{}] {}: value={} addr={:016X} flags={:0{}X}\n"
#define FMT_PLAIN "plain text, forty bytes, no conversion.\n"
static_assert(sizeof FMT_PLAIN - 1 == 40, "the plain-text case is 40 bytes");

template <typename T>
T opaque(T volatile &p)
{
    return p;
}

// A spread of 64-bit values: every bit length from 1 to 64, both signs.
constexpr size_t kValues = 1024; // a power of two
struct Inputs {
    u64 v[kValues];
    u64 counter[kValues];
    u64 addr[kValues];
    u64 flags[kValues];
    const char *name[kValues];
    std::string text64;
    Inputs()
    {
        static const char *const names[] = {"net", "storage", "scheduler", "io", "timer", "usb-hub", "dma", "power"};
        std::mt19937_64 rng(4);
        for (size_t i = 0; i < kValues; ++i) {
            const int bits = 1 + static_cast<int>(rng() % 64);
            u64 x = rng() >> (64 - bits);
            if (rng() & 1)
                x = 0 - x;
            v[i] = x;
            counter[i] = 1000000 + i * 37;
            addr[i] = 0x7FFDA3C01000ull + (rng() & 0xFFFF0);
            flags[i] = (rng() & 0xFFFFFFFF) >> (rng() % 32);
            name[i] = names[rng() % 8];
        }
        for (int i = 0; i < 64; ++i)
            text64.push_back(static_cast<char>('a' + i % 26));
    }
};
const Inputs in;

int hex_digits(u64 v)
{
    return v <= 0xFF ? 2 : v <= 0xFFFF ? 4 : v <= 0xFFFFFFFF ? 8 : 16;
}

// Each formatter, one case, one input index: writes into buf, NUL-terminated.
using Fn = void (*)(char *buf, size_t i);

void k_dec(char *b, size_t i) { kestrix_sprintf(b, opaque(kDec), in.v[i]); }
void h_dec(char *b, size_t i) { snprintf(b, 256, opaque(kDecHost), static_cast<long long>(in.v[i])); }
void s_dec(char *b, size_t i) { stbsp_sprintf(b, opaque(kDecHost), static_cast<long long>(in.v[i])); }
void f_dec(char *b, size_t i) { *fmt::format_to(b, "{}", static_cast<i64>(in.v[i])) = '\0'; }

void k_hex(char *b, size_t i) { kestrix_sprintf(b, opaque(kHex), in.v[i]); }
void h_hex(char *b, size_t i) { snprintf(b, 256, opaque(kHexHost), hex_digits(in.v[i]), static_cast<unsigned long long>(in.v[i])); }
void s_hex(char *b, size_t i) { stbsp_sprintf(b, opaque(kHexHost), hex_digits(in.v[i]), static_cast<unsigned long long>(in.v[i])); }
void f_hex(char *b, size_t i) { *fmt::format_to(b, "{:0{}X}", in.v[i], hex_digits(in.v[i])) = '\0'; }

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
void f_log(char *b, size_t i)
{
    *fmt::format_to(b, FMT_LOG, in.counter[i], in.name[i], static_cast<i64>(in.v[i]), in.addr[i], in.flags[i],
                    hex_digits(in.flags[i])) = '\0';
}

extern "C" size_t bench_log_bounded(char *buf, size_t size, const char *fmt, uint64_t counter, const char *name,
                                    int64_t value, uint64_t addr, uint64_t flags);
void k_log_bounded(char *b, size_t i)
{
    bench_log_bounded(b, 256, opaque(kLog), in.counter[i], in.name[i], static_cast<i64>(in.v[i]), in.addr[i],
                      in.flags[i]);
}

void k_plain(char *b, size_t) { kestrix_sprintf(b, opaque(kPlain)); }
void h_plain(char *b, size_t) { snprintf(b, 256, opaque(kPlain)); }
void s_plain(char *b, size_t) { stbsp_sprintf(b, opaque(kPlain)); }
void f_plain(char *b, size_t) { *fmt::format_to(b, FMT_PLAIN) = '\0'; }

void k_str(char *b, size_t) { kestrix_sprintf(b, opaque(kStr), in.text64.c_str()); }
void h_str(char *b, size_t) { snprintf(b, 256, opaque(kStr), in.text64.c_str()); }
void s_str(char *b, size_t) { stbsp_sprintf(b, opaque(kStr), in.text64.c_str()); }
void f_str(char *b, size_t) { *fmt::format_to(b, "<{}>", in.text64.c_str()) = '\0'; }

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
void stb_cb(Counter *k, const char *f, ...)
{
    char tmp[STB_SPRINTF_MIN];
    va_list ap;
    va_start(ap, f);
    stbsp_vsprintfcb(stb_count, k, tmp, f, ap);
    va_end(ap);
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
    stb_cb(&k, opaque(kLogHost), static_cast<unsigned long long>(in.counter[i]), in.name[i],
           static_cast<long long>(in.v[i]), static_cast<unsigned long long>(in.addr[i]), hex_digits(in.flags[i]),
           static_cast<unsigned long long>(in.flags[i]));
}
using SinkFn = void (*)(Counter &, size_t);

struct Case {
    const char *name;
    Fn kestrix, host, stb, fmt;
};
const Case cases[] = {
    {"dec", k_dec, h_dec, s_dec, f_dec},           {"hex", k_hex, h_hex, s_hex, f_hex},
    {"log", k_log, h_log, s_log, f_log},           {"plain", k_plain, h_plain, s_plain, f_plain},
    {"str", k_str, h_str, s_str, f_str},
};
const char *const peers[] = {"kestrix", "snprintf", "stb", "fmt"};

// Every formatter must produce kestrix's bytes for every input, or the
// comparison means nothing.
bool outputs_agree()
{
    bool ok = true;
    for (const Case &c : cases) {
        const Fn fns[] = {c.kestrix, c.host, c.stb, c.fmt};
        for (size_t i = 0; i < kValues; ++i) {
            char want[256];
            fns[0](want, i);
            for (int p = 1; p < 4; ++p) {
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
        char buf[256], bounded[256];
        k_log(buf, i);
        preformatted[i] = buf;
        k_log_bounded(bounded, i);
        if (std::strcmp(bounded, buf) != 0 && ok) {
            std::fprintf(stderr, "log/bounded differs at %zu: \"%s\" vs \"%s\"\n", i, bounded, buf);
            ok = false;
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

// Collects the median CPU time of each benchmark while printing as usual.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> median;
    MedianReporter() : ConsoleReporter(OO_None) {}
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                median[r.run_name.str()] = r.GetAdjustedCPUTime();
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
    std::printf("\nRatios, peer median CPU time / kestrix median CPU time (above 1: kestrix faster)\n");
    std::printf("Machine: %s; %s\n\n", machine().c_str(), date);
    std::printf("| case | kestrix ns | vs snprintf | vs stb_sprintf | vs fmt::format_to |\n");
    std::printf("|---|---:|---:|---:|---:|\n");
    for (const Case &c : cases) {
        const double k = get(std::string(c.name) + "/kestrix");
        if (k == 0)
            continue;
        std::printf("| %s | %.1f", c.name, k);
        for (int p = 1; p < 4; ++p)
            std::printf(" | %.2f", get(std::string(c.name) + "/" + peers[p]) / k);
        std::printf(" |\n");
    }
    const double bounded = get("log/kestrix_snprintf"), sprintf = get("log/kestrix");
    if (bounded != 0 && sprintf != 0) {
        std::printf("\n| log line into a 256-byte buffer | ns | its time / kestrix_sprintf's |\n|---|---:|---:|\n");
        std::printf("| kestrix_sprintf | %.1f | 1.00 |\n", sprintf);
        std::printf("| KESTRIX_SNPRINTF (bounded, from C) | %.1f | %.2f |\n", bounded, bounded / sprintf);
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
    if (!outputs_agree())
        return 1;
    for (const Case &c : cases) {
        const Fn fns[] = {c.kestrix, c.host, c.stb, c.fmt};
        for (int p = 0; p < 4; ++p)
            benchmark::RegisterBenchmark((std::string(c.name) + "/" + peers[p]).c_str(), run_buffer, fns[p]);
    }
    benchmark::RegisterBenchmark("log/kestrix_snprintf", run_buffer, k_log_bounded);
    benchmark::RegisterBenchmark("sink/kestrix", run_sink, k_sink);
    benchmark::RegisterBenchmark("sink/floor", run_sink, floor_sink);
    benchmark::RegisterBenchmark("sink/stb", run_sink, s_sink);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (!reporter.median.empty())
        print_ratios(reporter.median);
    return 0;
}
