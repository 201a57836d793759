// SPDX-License-Identifier: MIT
#include "ratio.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace bench {

namespace {

struct Result {
    std::string candidate;
    std::string baseline;
    double ratio;
    double low;
    double high;
    double goal;
    double candidateSeconds;
    double candidateGoal;
};

std::vector<Result>& results()
{
    static std::vector<Result> list;
    return list;
}

double now(Clock clock)
{
    if (clock == Clock::children) {
        rusage usage;
        ::getrusage(RUSAGE_CHILDREN, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    }
    timespec t;
    ::clock_gettime(clock == Clock::threadCpu ? CLOCK_THREAD_CPUTIME_ID : CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Seconds per repetition of one batch.
double timeBatch(const Side& side, int64_t repetitions, Clock clock)
{
    const double start = now(clock);
    side.run(repetitions);
    return (now(clock) - start) / double(repetitions);
}

// Repetitions that make a batch last about kSlice seconds (at least one).
int64_t calibrate(const Side& side, Clock clock)
{
    constexpr double kSlice = 0.01;
    int64_t repetitions = 1;
    for (;;) {
        const double each = timeBatch(side, repetitions, clock);
        if (each * double(repetitions) >= kSlice || repetitions >= (int64_t(1) << 40))
            return repetitions;
        const double wanted = each > 0 ? kSlice / each * 1.2 : double(repetitions) * 10;
        repetitions = std::max(repetitions * 2, std::min(repetitions * 100, int64_t(wanted) + 1));
    }
}

double quantile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    const double at = q * double(values.size() - 1);
    const size_t below = size_t(at);
    const size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (at - double(below));
}

} // namespace

void compare(benchmark::State& state, const Side& candidate, const Side& baseline, double goal, Clock clock,
             int pairs, double candidateGoal)
{
    std::vector<double> ratios, candidateTimes, baselineTimes;
    for (auto _ : state) {
        const int64_t a = calibrate(candidate, clock);
        const int64_t b = calibrate(baseline, clock);
        for (int i = 0; i < pairs; ++i) {
            const double ta = timeBatch(candidate, a, clock);
            const double tb = timeBatch(baseline, b, clock);
            candidateTimes.push_back(ta);
            baselineTimes.push_back(tb);
            if (tb > 0)
                ratios.push_back(ta / tb);
        }
    }
    if (ratios.empty()) {
        state.SkipWithError("the baseline took no measurable time");
        return;
    }
    const Result result{candidate.name,          baseline.name,           quantile(ratios, 0.5),
                        quantile(ratios, 0.25), quantile(ratios, 0.75), goal,
                        quantile(candidateTimes, 0.5), candidateGoal};
    state.counters["ratio"] = result.ratio;
    state.counters["spread"] = result.high - result.low;
    state.counters["candidate_us"] = quantile(candidateTimes, 0.5) * 1e6;
    state.counters["baseline_us"] = quantile(baselineTimes, 0.5) * 1e6;
    results().push_back(result);
}

void record(benchmark::State& state, const std::string& candidate, const std::string& baseline,
            const std::vector<double>& ratios, double goal, double candidateSeconds)
{
    if (ratios.empty()) {
        state.SkipWithError("nothing was measured");
        return;
    }
    const Result result{candidate,         baseline, quantile(ratios, 0.5), quantile(ratios, 0.25),
                        quantile(ratios, 0.75), goal, candidateSeconds,      0.0};
    state.counters["ratio"] = result.ratio;
    state.counters["spread"] = result.high - result.low;
    results().push_back(result);
}

} // namespace bench

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // The ratio is the median of the pairs; the spread is its middle half (quartiles).
    // Candidate times are the median per repetition, in microseconds.
    std::printf("\n%-36s %-38s %9s %21s %7s %11s %9s\n", "candidate", "baseline", "ratio", "spread (quartiles)", "goal",
                "candidate", "its goal");
    for (const bench::Result& r : bench::results()) {
        char spread[64], goal[32], own[32];
        std::snprintf(spread, sizeof spread, "%.4g .. %.4g", r.low, r.high);
        std::snprintf(goal, sizeof goal, r.goal > 0 ? "%.4g" : "-", r.goal);
        std::snprintf(own, sizeof own, r.candidateGoal > 0 ? "%.3g us" : "-", r.candidateGoal * 1e6);
        const bool missed = (r.goal > 0 && r.ratio > r.goal) || (r.candidateGoal > 0 && r.candidateSeconds > r.candidateGoal);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, r.candidateSeconds > 0 ? "%8.4g us" : "-", r.candidateSeconds * 1e6);
        std::printf("%-36s %-38s %9.4g %21s %7s %11s %9s%s\n", r.candidate.c_str(), r.baseline.c_str(), r.ratio, spread,
                    goal, seconds, own, missed ? "  MISSED" : "");
    }
    return 0;
}
