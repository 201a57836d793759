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
    auto held = makeImage();
    zil::P<zilui::IImage> version = held->getScaledVersion(kTarget);
    auto unheld = makeImage();
    // Nobody holds the size of `unheld`, so every request builds it anew.
    bench::compare(state,
                   {"ScalingImage hand out held", [&](int64_t n) {
                        while (n-- > 0)
                            benchmark::DoNotOptimize(held->getScaledVersion(kTarget).get());
                    }},
                   {"ScalingImage build nine-part", [&](int64_t n) {
                        while (n-- > 0)
                            benchmark::DoNotOptimize(unheld->getScaledVersion(kTarget).get());
                    }},
                   0.0001);
}
BENCHMARK(BM_ScalingImageHandOutHeld)->Iterations(1);

void BM_ScalingImageBuildNinePart(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    auto image = makeImage();
    wxImage source = makeSource();
    bench::compare(state,
                   {"ScalingImage build nine-part", [&](int64_t n) {
                        while (n-- > 0)
                            benchmark::DoNotOptimize(image->getScaledVersion(kTarget).get());
                    }},
                   {"wxImage::Scale whole picture", [&](int64_t n) {
                        while (n-- > 0) {
                            wxImage scaled = source.Scale(kTarget.x, kTarget.y, wxIMAGE_QUALITY_HIGH);
                            benchmark::DoNotOptimize(scaled.GetData());
                        }
                    }},
                   1.3);
}
BENCHMARK(BM_ScalingImageBuildNinePart)->Iterations(1);

} // namespace
