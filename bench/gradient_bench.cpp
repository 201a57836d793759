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
    bench::compare(state,
                   {"GradientLinearPaint", [&](int64_t n) { while (n-- > 0) gradient->paint(dc, kRect); }},
                   {"GradientFillLinear (toolkit)",
                    [&](int64_t n) { while (n-- > 0) dc.GradientFillLinear(kRect, kTop, kBottom, wxSOUTH); }},
                   1.0 / 3.0);
    dc.SelectObject(wxNullBitmap);
}
BENCHMARK(BM_GradientLinearPaint)->Iterations(1);

} // namespace
