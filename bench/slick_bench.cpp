// SPDX-License-Identifier: MIT
// A skinned button is repainted far more often than it is resized: a repaint at an unchanged
// size must cost little more than drawing one finished bitmap and its label, and far less
// than a control that scales its skin images on every paint.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/graphics/scalingimage.h>
#include <zilui/slick/controls.h>

#include <benchmark/benchmark.h>

#include <wx/dcmemory.h>
#include <wx/frame.h>

namespace {

const wxSize kSize(200, 40);
const wxString kLabel = "Save changes";

// A 60x30 rounded-button-like picture with a translucent rim.
wxImage makeSource()
{
    wxImage image(60, 30);
    image.InitAlpha();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            image.SetRGB(x, y, 80 + x, 120 + y * 2, 200);
            image.SetAlpha(x, y, (x < 3 || y < 3 || x > 56 || y > 26) ? 96 : 255);
        }
    return image;
}

zil::P<zilui::CCompositeScalingImage> makeUnderlay()
{
    return zil::P<zilui::CCompositeScalingImage>(
        new zilui::CCompositeScalingImage(makeSource(), zil::CMargins(8), zilui::CCompositeScalingImage::center));
}

// Everything one benchmark paints on: a hidden frame and a 200x40 target bitmap.
struct Scene {
    Scene()
    {
        frame = new wxFrame(nullptr, wxID_ANY, "bench");
        underlay = makeUnderlay();
        zil::P<zilui::CSlickButtonSkin> skin(new zilui::CSlickButtonSkin());
        for (int s = 0; s < zilui::CSlickButtonSkin::StateCount; ++s)
            skin->getStateSkin(static_cast<zilui::CSlickButton::State>(s)).setUnderlayImage(underlay.get());
        button = new zilui::CSlickButton(frame, wxID_ANY, kLabel, wxPoint(0, 0), kSize);
        button->setSkin(skin.get());
        target = wxBitmap(kSize.x, kSize.y, 32);
        dc.SelectObject(target);
        dc.SetFont(button->GetFont());
    }
    ~Scene()
    {
        dc.SelectObject(wxNullBitmap);
        frame->Destroy();
    }

    wxFrame* frame;
    zil::P<zilui::CCompositeScalingImage> underlay;
    zilui::CSlickButton* button;
    wxBitmap target;
    wxMemoryDC dc;
};

void BM_SlickButtonRepaint(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    Scene scene;
    scene.button->paintCurrent(scene.dc);
    for (auto _ : state)
        scene.button->paintCurrent(scene.dc);
}
BENCHMARK(BM_SlickButtonRepaint)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// The least any skinned look can cost: one finished bitmap with alpha and the label.
void BM_SlickBaselineBitmapAndText(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    Scene scene;
    zil::P<zilui::IImage> prepared = scene.underlay->getScaledVersion(kSize);
    const wxBitmap bitmap = prepared->getBitmap();
    for (auto _ : state) {
        scene.dc.DrawBitmap(bitmap, 0, 0, true);
        scene.dc.DrawText(kLabel, 60, 12);
    }
}
BENCHMARK(BM_SlickBaselineBitmapAndText)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// A control that keeps no scaled version: the same drawing, with the underlay scaled anew
// on every paint.
void BM_SlickBaselineNaiveRescale(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    Scene scene;
    wxDC& dc = scene.dc;
    for (auto _ : state) {
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        scene.underlay->getScaledVersion(kSize)->paint(dc, wxPoint(0, 0));
        const wxSize text = dc.GetMultiLineTextExtent(kLabel);
        dc.DrawLabel(kLabel, wxRect((kSize.x - text.x) / 2, (kSize.y - text.y) / 2, text.x, text.y));
        dc.SetPen(*wxBLACK_PEN);
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(0, 0, kSize.x, kSize.y);
    }
}
BENCHMARK(BM_SlickBaselineNaiveRescale)->Unit(benchmark::kMicrosecond)->Repetitions(5);

} // namespace

BENCHMARK_RATIO(BM_SlickButtonRepaint, BM_SlickBaselineBitmapAndText, 3.0);
BENCHMARK_RATIO(BM_SlickButtonRepaint, BM_SlickBaselineNaiveRescale, 0.05);
