// SPDX-License-Identifier: MIT
// kestrix.hpp: the format is checked against the arguments while the program
// compiles, and every argument is widened to the 64 bits the library reads.
#include <kestrix.hpp>

#include <cstdio>
#include <string>

namespace {

enum class level : unsigned char { debug, info, warning };

// A function of your own that takes a checked format: calls of log_line() are
// checked exactly like calls of kestrix::format.
template <class... Args>
void log_line(level lv, kestrix::format_string<Args...> fmt, Args &&...args)
{
    std::string line;
    kestrix::format([&](std::int32_t c) { line.push_back(static_cast<char>(c)); }, "[%u] ",
                    lv);
    kestrix::format([&](std::int32_t c) { line.push_back(static_cast<char>(c)); }, fmt,
                    std::forward<Args>(args)...);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stdout);
}

} // namespace

int main()
{
    // A plain int, a short and a char: each is widened with its sign, so
    // -1 prints as -1 (through the C interface a plain int would have had to
    // be cast to int64_t first).
    int delta = -1;
    short s = -300;
    char letter = 'k';
    char buf[128];
    char *end = kestrix::format_to(buf, "delta=%d s=%d letter=%c hex=%x", delta, s, letter, 0xBEEF);
    std::printf("%s (%d bytes)\n", buf, static_cast<int>(end - buf));

    // A std::string goes to %s through its c_str(); a pointer to %p.
    std::string name = "kestrix";
    log_line(level::info, "hello from %s at %p", name, static_cast<const void *>(&name));

    // format_to_n never writes past the size it is given and tells how long
    // the whole output would have been.
    char small[10];
    std::size_t len = kestrix::format_to_n(small, sizeof small, "%s has %u letters", name,
                                           name.size());
    std::printf("format_to_n: \"%s\" of %zu\n", small, len);

    // The same C sink type works with the emitters through kestrix::sink.
    std::string digits;
    auto collect = [&](std::int32_t c) { digits.push_back(static_cast<char>(c)); };
    kestrix::sink sink(collect);
    kestrix_dec(sink.out(), sink.ctx(), static_cast<std::uint64_t>(-42), 1);
    kestrix_hex(sink.out(), sink.ctx(), 0x2A, 2);
    std::printf("emitters: %s\n", digits.c_str());

    // None of these compile:
    //   kestrix::format_to(buf, "%d %d", delta);     // fewer arguments than conversions
    //   kestrix::format_to(buf, "%s", delta);        // %s needs a string
    //   kestrix::format_to(buf, "%5d", delta);       // no widths: '5' is no conversion
    //   kestrix::format_to(buf, "%d", 2.5);          // no floating point
    return 0;
}
