// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace bench {

// Pairs a benchmark with the baseline it is judged against; after the run the ratio
// candidate time / baseline time is printed for every pair, with the goal when one is set.
// Registered at static initialisation, like the benchmarks themselves.
struct RatioRegistration {
    RatioRegistration(std::string candidate, std::string baseline, double goal = 0.0);
};

} // namespace bench

#define ZILUI_BENCH_RATIO_CAT2(a, b) a##b
#define ZILUI_BENCH_RATIO_CAT(a, b) ZILUI_BENCH_RATIO_CAT2(a, b)
#define BENCHMARK_RATIO(candidate, baseline, goal)                                                  \
    static ::bench::RatioRegistration ZILUI_BENCH_RATIO_CAT(ratio_, __LINE__)(#candidate, #baseline, goal)
