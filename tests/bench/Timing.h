// Timing for the benchmarks: seconds since a moment, and medians of repeated runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// Game sizes of a real collection, in MiB: 4 to 48 megabits, most of them 8 to 16.
inline constexpr std::size_t kCollectionSizesMiB[] = {1, 2, 2, 1, 4, 2, 3, 1,
                                                      2, 6, 1, 2, 4, 3, 2, 1};

// The wall time of a shell command, which must succeed.
inline double RunSeconds(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return SecondsSince(start);
}

} // namespace quillet::bench
