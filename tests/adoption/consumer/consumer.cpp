// SPDX-License-Identifier: MIT
// Uses kestrix.hpp from an installed or fetched kestrix.
#include <kestrix.hpp>

#include <cstdio>
#include <cstring>
#include <string>

#ifndef CONSUMER
#define CONSUMER "consumer_cpp"
#endif

int main()
{
    std::string out;
    int n = -7;
    kestrix::format([&](std::int32_t c) { out.push_back(static_cast<char>(c)); },
                    "x=%x s=%s d=%d", 0x1FF, std::string("ab"), n);
    char small[8];
    const std::size_t len = kestrix::format_to_n(small, sizeof small, "%s", out.c_str());
    if (out != "x=01FF s=ab d=-7" || len != out.size() || std::strcmp(small, "x=01FF ") != 0) {
        std::fprintf(stderr, "kestrix::format wrote \"%s\", format_to_n \"%s\" (%zu)\n", out.c_str(),
                     small, len);
        return 1;
    }
    std::printf(CONSUMER ": %s\n", out.c_str());
    return 0;
}
