// SPDX-License-Identifier: MIT
// Counted references are copied on every hand-over of a shared image, skin or action, so
// they must cost no more than the standard shared pointer they replace.
#include "ratio.h"

#include <zil/object.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <thread>
#include <vector>

namespace {

struct Counted : zil::CBase {
    int value = 42;
};

struct Plain {
    int value = 42;
};

constexpr int kCopies = 1000;

// libstdc++ counts shared_ptr references without atomics while the process has only one
// thread; a GUI program never does, so the baseline is measured as it would run there.
void leaveSingleThreadedMode()
{
    static const bool done = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)done;
}

void BM_PCopy(benchmark::State& state)
{
    leaveSingleThreadedMode();
    zil::P<Counted> source(new Counted());
    std::vector<zil::P<Counted>> copies(kCopies);
    for (auto _ : state) {
        for (auto& copy : copies)
            copy = source;
        benchmark::DoNotOptimize(copies.data());
        for (auto& copy : copies)
            copy.reset();
    }
    state.SetItemsProcessed(state.iterations() * kCopies);
}
BENCHMARK(BM_PCopy)->Repetitions(5);

void BM_SharedPtrCopy(benchmark::State& state)
{
    leaveSingleThreadedMode();
    auto source = std::make_shared<Plain>();
    std::vector<std::shared_ptr<Plain>> copies(kCopies);
    for (auto _ : state) {
        for (auto& copy : copies)
            copy = source;
        benchmark::DoNotOptimize(copies.data());
        for (auto& copy : copies)
            copy.reset();
    }
    state.SetItemsProcessed(state.iterations() * kCopies);
}
BENCHMARK(BM_SharedPtrCopy)->Repetitions(5);

BENCHMARK_RATIO(BM_PCopy, BM_SharedPtrCopy, 1.10);

} // namespace
