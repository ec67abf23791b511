// Timing for the benchmarks: seconds since a moment, and medians of repeated runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace quillet::bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median time of `rounds` runs of `work`.
template <typename Work> double MedianSeconds(int rounds, Work work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(SecondsSince(start));
    }
    return Median(std::move(times));
}

} // namespace quillet::bench
