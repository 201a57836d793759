// SPDX-License-Identifier: MIT
#include "ratio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace bench {

namespace {

struct Pair {
    std::string candidate;
    std::string baseline;
    double goal;
};

std::vector<Pair>& pairs()
{
    static std::vector<Pair> list;
    return list;
}

// Keeps the real time of each benchmark while the console reporter prints as usual: the
// median when it was repeated (one noisy run says little), else its only run. Stored in
// seconds, so that a pair measured in different time units still compares.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs) {
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times[name] = seconds(run);
                medians.insert(name);
            } else if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !medians.count(name)) {
                times[name] = seconds(run);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> times;
    std::set<std::string> medians;

private:
    static double seconds(const Run& run)
    {
        return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
};

} // namespace

RatioRegistration::RatioRegistration(std::string candidate, std::string baseline, double goal)
{
    pairs().push_back({std::move(candidate), std::move(baseline), goal});
}

} // namespace bench

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-44s %-44s %8s %8s\n", "candidate", "baseline", "ratio", "goal");
    int missed = 0;
    for (const auto& pair : bench::pairs()) {
        const auto c = reporter.times.find(pair.candidate);
        const auto b = reporter.times.find(pair.baseline);
        if (c == reporter.times.end() || b == reporter.times.end() || b->second <= 0)
            continue;
        const double ratio = c->second / b->second;
        const bool met = pair.goal <= 0 || ratio <= pair.goal;
        missed += met ? 0 : 1;
        if (pair.goal > 0)
            std::printf("%-44s %-44s %8.4g %8.4g%s\n", pair.candidate.c_str(), pair.baseline.c_str(), ratio,
                        pair.goal, met ? "" : "  MISSED");
        else
            std::printf("%-44s %-44s %8.4g %8s\n", pair.candidate.c_str(), pair.baseline.c_str(), ratio, "-");
    }
    return 0;
}
