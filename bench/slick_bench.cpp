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

const wxSize kButtonSize(200, 40);
const wxString kLabel = "Save changes";

// A 60x30 rounded-button-like picture with a translucent rim.
wxImage makeButtonPicture()
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
        new zilui::CCompositeScalingImage(makeButtonPicture(), zil::CMargins(8), zilui::CCompositeScalingImage::center));
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
        button = new zilui::CSlickButton(frame, wxID_ANY, kLabel, wxPoint(0, 0), kButtonSize);
        button->setSkin(skin.get());
        target = wxBitmap(kButtonSize.x, kButtonSize.y, 32);
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

void BM_SlickButtonRepaint(benchmark::State& state, bool naive)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    Scene scene;
    wxDC& dc = scene.dc;
    scene.button->paintCurrent(dc);
    const bench::Side repaint{"SlickButton repaint", [&](int64_t n) {
                                  while (n-- > 0)
                                      scene.button->paintCurrent(dc);
                              }};
    if (naive) {
        // A control that keeps no scaled version: the same drawing, with the underlay scaled
        // anew on every paint.
        bench::compare(state, repaint,
                       {"naive rescale-per-paint control", [&](int64_t n) {
                            while (n-- > 0) {
                                dc.SetBackground(*wxWHITE_BRUSH);
                                dc.Clear();
                                scene.underlay->getScaledVersion(kButtonSize)->paint(dc, wxPoint(0, 0));
                                const wxSize text = dc.GetMultiLineTextExtent(kLabel);
                                dc.DrawLabel(kLabel,
                                             wxRect((kButtonSize.x - text.x) / 2, (kButtonSize.y - text.y) / 2, text.x, text.y));
                                dc.SetPen(*wxBLACK_PEN);
                                dc.SetBrush(*wxTRANSPARENT_BRUSH);
                                dc.DrawRectangle(0, 0, kButtonSize.x, kButtonSize.y);
                            }
                        }},
                       0.05);
        return;
    }
    // The least any skinned look can cost: one finished bitmap with alpha and the label.
    zil::P<zilui::IImage> prepared = scene.underlay->getScaledVersion(kButtonSize);
    const wxBitmap bitmap = prepared->getBitmap();
    bench::compare(state, repaint,
                   {"one DrawBitmap with alpha + DrawText", [&](int64_t n) {
                        while (n-- > 0) {
                            dc.DrawBitmap(bitmap, 0, 0, true);
                            dc.DrawText(kLabel, 60, 12);
                        }
                    }},
                   1.5);
}
BENCHMARK_CAPTURE(BM_SlickButtonRepaint, BitmapAndText, false)->Iterations(1);
BENCHMARK_CAPTURE(BM_SlickButtonRepaint, NaiveRescale, true)->Iterations(1);

} // namespace
