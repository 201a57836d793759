// SPDX-License-Identifier: MIT
// Actions are how every thread hands work to the interface, so posting and performing one
// must cost about what wxWidgets' own CallAfter costs.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/app/action.h>

#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/evtloop.h>

namespace {

constexpr int kCalls = 100000;

// Posts kCalls calls with `post`, then runs the event loop until the last one has run.
template <class Post> bool runBatch(Post post)
{
    wxGUIEventLoop loop;
    int performed = 0;
    auto call = [&performed, &loop] {
        if (++performed == kCalls)
            loop.Exit();
    };
    for (int i = 0; i < kCalls; ++i)
        post(call);
    loop.Run();
    return performed == kCalls;
}

// Printed for information only: actions keep their order among all other events, which
// costs more than CallAfter's batch and is not traded away for this figure.
void BM_ActionPostAndPerform(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    bool complete = true;
    bench::compare(state,
                   {"Action post and perform x100000", [&](int64_t n) {
                        while (n-- > 0)
                            complete &= runBatch([](const auto& call) {
                                zil::P<zilui::CAction> action(new zilui::CLambdaAction(call, true));
                                action->post();
                            });
                    }},
                   {"CallAfter x100000", [&](int64_t n) {
                        while (n-- > 0)
                            complete &= runBatch([](const auto& call) { wxTheApp->CallAfter(call); });
                    }},
                   0.0);
    if (!complete)
        state.SkipWithError("not every call was performed");
}
BENCHMARK(BM_ActionPostAndPerform)->Iterations(1);

} // namespace
