// Many threads formatting at once, each with its own values, sinks and
// buffers, all get exactly their own output.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "support.h"

namespace {

TEST(Threads, ConcurrentCallsAreIndependent)
{
    constexpr int kThreads = 6;
    constexpr int kIterations = 3000;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &mismatches] {
            for (int i = 0; i < kIterations; ++i) {
                const int64_t d = (static_cast<int64_t>(t) << 40) - i * 7919;
                const uint64_t x = static_cast<uint64_t>(i) * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(t);
                char want[128];
                std::snprintf(want, sizeof want, "t%d i=%lld x=%016llX", t, static_cast<long long>(d),
                              static_cast<unsigned long long>(x));
                char buf[128];
                char name[8];
                std::snprintf(name, sizeof name, "t%d", t);
                kestrix_sprintf(buf, "%s i=%d x=%p", name, d, x);
                kt::Recorder r;
                kestrix_fnprintf(kt::Recorder::sink, &r, "%s i=%d x=%p", name, d, x);
                if (std::string(buf) != want || r.text() != want || !r.ctx_always(&r))
                    ++mismatches;
            }
        });
    }
    for (auto &th : threads)
        th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
