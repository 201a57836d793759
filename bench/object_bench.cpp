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

// Copies every element from `source`, then releases them all.
template <class Pointer> void copyAndRelease(std::vector<Pointer>& copies, const Pointer& source, int64_t n)
{
    while (n-- > 0) {
        for (auto& copy : copies)
            copy = source;
        benchmark::DoNotOptimize(copies.data());
        for (auto& copy : copies)
            copy.reset();
    }
}

void BM_PCopy(benchmark::State& state)
{
    leaveSingleThreadedMode();
    zil::P<Counted> source(new Counted());
    std::vector<zil::P<Counted>> copies(kCopies);
    auto plainSource = std::make_shared<Plain>();
    std::vector<std::shared_ptr<Plain>> plainCopies(kCopies);
    bench::compare(state, {"PCopy x1000", [&](int64_t n) { copyAndRelease(copies, source, n); }},
                   {"shared_ptr copy x1000", [&](int64_t n) { copyAndRelease(plainCopies, plainSource, n); }}, 1.10);
}
BENCHMARK(BM_PCopy)->Iterations(1);

} // namespace
