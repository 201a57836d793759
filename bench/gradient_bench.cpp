// SPDX-License-Identifier: MIT
// Skinned controls repaint their backgrounds on every paint event: a linear gradient that
// blits its cached tile must clearly beat the toolkit drawing the blend anew.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/graphics/gradients.h>

#include <benchmark/benchmark.h>

#include <wx/dcmemory.h>

namespace {

const wxRect kRect(0, 0, 1000, 600);
const wxColour kTop(250, 250, 255);
const wxColour kBottom(40, 60, 140);

void BM_GradientLinearPaint(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    wxBitmap bitmap(kRect.GetSize(), 24);
    wxMemoryDC dc(bitmap);
    zil::P<zilui::CLinearGradient> gradient(new zilui::CLinearGradient(kTop, kBottom));
    for (auto _ : state)
        gradient->paint(dc, kRect);
    dc.SelectObject(wxNullBitmap);
}
BENCHMARK(BM_GradientLinearPaint)->Unit(benchmark::kMicrosecond)->Repetitions(9);

void BM_GradientBaselineFillLinear(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    wxBitmap bitmap(kRect.GetSize(), 24);
    wxMemoryDC dc(bitmap);
    for (auto _ : state)
        dc.GradientFillLinear(kRect, kTop, kBottom, wxSOUTH);
    dc.SelectObject(wxNullBitmap);
}
BENCHMARK(BM_GradientBaselineFillLinear)->Unit(benchmark::kMicrosecond)->Repetitions(9);

BENCHMARK_RATIO(BM_GradientLinearPaint, BM_GradientBaselineFillLinear, 1.0 / 3.0);

} // namespace
