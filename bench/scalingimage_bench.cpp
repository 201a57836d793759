// SPDX-License-Identifier: MIT
// Skinned controls ask for their images on every layout: handing out a version that exists
// must be nearly free, and building a nine-part version must cost about what scaling the
// whole picture once costs.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/graphics/scalingimage.h>

#include <benchmark/benchmark.h>

namespace {

const wxSize kTarget(400, 60);

// A 60x30 button-like picture with an alpha channel, cut by margins of 10.
wxImage makeSource()
{
    wxImage image(60, 30);
    image.InitAlpha();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            image.SetRGB(x, y, (x * 4) & 255, (y * 8) & 255, (x + y) & 255);
            image.SetAlpha(x, y, (x < 2 || y < 2) ? 128 : 255);
        }
    return image;
}

zil::P<zilui::CCompositeScalingImage> makeImage()
{
    return zil::P<zilui::CCompositeScalingImage>(
        new zilui::CCompositeScalingImage(makeSource(), zil::CMargins(10), zilui::CCompositeScalingImage::center));
}

void BM_ScalingImageHandOutHeld(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    auto image = makeImage();
    zil::P<zilui::IImage> held = image->getScaledVersion(kTarget);
    for (auto _ : state) {
        zil::P<zilui::IImage> version = image->getScaledVersion(kTarget);
        benchmark::DoNotOptimize(version.get());
    }
}
BENCHMARK(BM_ScalingImageHandOutHeld)->Repetitions(5);

// Nobody holds the size, so every request builds it anew.
void BM_ScalingImageBuildNinePart(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    auto image = makeImage();
    for (auto _ : state) {
        zil::P<zilui::IImage> version = image->getScaledVersion(kTarget);
        benchmark::DoNotOptimize(version.get());
    }
}
BENCHMARK(BM_ScalingImageBuildNinePart)->Unit(benchmark::kMicrosecond)->Repetitions(9);

void BM_ScalingImageBaselineWholeScale(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    wxImage source = makeSource();
    for (auto _ : state) {
        wxImage scaled = source.Scale(kTarget.x, kTarget.y, wxIMAGE_QUALITY_HIGH);
        benchmark::DoNotOptimize(scaled.GetData());
    }
}
BENCHMARK(BM_ScalingImageBaselineWholeScale)->Unit(benchmark::kMicrosecond)->Repetitions(9);

BENCHMARK_RATIO(BM_ScalingImageHandOutHeld, BM_ScalingImageBuildNinePart, 0.0001);
BENCHMARK_RATIO(BM_ScalingImageBuildNinePart, BM_ScalingImageBaselineWholeScale, 1.3);

} // namespace
