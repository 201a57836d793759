// SPDX-License-Identifier: MIT
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// One side of a comparison: runs its work `repetitions` times.
struct Side {
    std::string name;
    std::function<void(int64_t repetitions)> run;
};

// What is timed: the calling thread's CPU time for single-threaded work, which other
// processes on a busy machine disturb least; the CPU time of the child processes waited for
// during the work; or the wall clock.
enum class Clock { threadCpu, children, wall };

// Times `candidate` against `baseline` in alternating batches (A B A B ...), each batch
// repeated until it takes about a hundredth of a second, and keeps the median of the pairs'
// ratios with the quartiles as its spread. The result is reported as counters of `state`
// and in the table printed after the run, with the goal when `goal` > 0. Call it once per
// benchmark, from a benchmark registered with Iterations(1). `candidateGoal` > 0 is a goal
// for the candidate's own time per repetition, in seconds.
void compare(benchmark::State& state, const Side& candidate, const Side& baseline, double goal,
             Clock clock = Clock::threadCpu, int pairs = 9, double candidateGoal = 0.0);

// Adds ratios that the caller measured itself, one per interleaved round, to the table as
// compare() does: the median with the quartiles, against `goal`. For measures that are no
// one-side timing (growth between two sizes, memory); `candidateSeconds` is shown when > 0.
void record(benchmark::State& state, const std::string& candidate, const std::string& baseline,
            const std::vector<double>& ratios, double goal, double candidateSeconds = 0.0);

} // namespace bench
