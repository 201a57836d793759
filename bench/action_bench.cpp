// SPDX-License-Identifier: MIT
// Actions are how every thread hands work to the interface: what posting and performing one
// costs next to wxWidgets' own CallAfter, printed for comparison.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/app/action.h>

#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/evtloop.h>

namespace {

constexpr int kCalls = 100000;

// Posts kCalls calls with `post`, then runs the event loop until the last one has run.
template <class Post>
void runBatch(benchmark::State& state, Post post)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    for (auto _ : state) {
        wxGUIEventLoop loop;
        int performed = 0;
        auto call = [&performed, &loop] {
            if (++performed == kCalls)
                loop.Exit();
        };
        for (int i = 0; i < kCalls; ++i)
            post(call);
        loop.Run();
        if (performed != kCalls) {
            state.SkipWithError("not every call was performed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kCalls);
}

void BM_ActionPostAndPerform(benchmark::State& state)
{
    runBatch(state, [](const auto& call) {
        zil::P<zilui::CAction> action(new zilui::CLambdaAction(call, true));
        action->post();
    });
}
BENCHMARK(BM_ActionPostAndPerform)->Unit(benchmark::kMillisecond)->Repetitions(7);

void BM_ActionBaselineCallAfter(benchmark::State& state)
{
    runBatch(state, [](const auto& call) { wxTheApp->CallAfter(call); });
}
BENCHMARK(BM_ActionBaselineCallAfter)->Unit(benchmark::kMillisecond)->Repetitions(7);

BENCHMARK_RATIO(BM_ActionPostAndPerform, BM_ActionBaselineCallAfter, 0.0);

} // namespace
