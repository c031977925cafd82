// What the benchmarks share: the median time of repeated calls.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace Bench {

// Median milliseconds of `runs` calls after one warm-up call.
template <class Work>
double Milliseconds(int runs, Work work) {
    using Clock = std::chrono::steady_clock;
    work();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace Bench
