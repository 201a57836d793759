// SPDX-License-Identifier: MIT
// A skinned native button is painted on screen through GTK's "draw" signal; that path (GTK's
// dispatch, a wxGCDC on the widget's cairo context) must cost about what painting the same
// button into a wxMemoryDC costs, which is what the rest of the library is tuned for.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/slick/controls.h>

#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/panel.h>

#include <gtk/gtk.h>

namespace {

const wxSize kSize(200, 40);

// A shown frame with one bordered, focused 200x40 button, realised by GTK.
struct DrawScene {
    DrawScene()
    {
        frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(300, 100));
        zil::P<zilui::CSlickButtonSkin> skin(new zilui::CSlickButtonSkin());
        skin->setBorderType(zilui::CSlickButtonSkin::BorderFlat);
        skin->getStateSkin(zilui::CSlickButton::Normal).setBackgroundColor(wxColour(230, 230, 210));
        // On a panel: a frame stretches its only child over its whole client area.
        auto* panel = new wxPanel(frame);
        button = new zilui::CSlickButton(panel, wxID_ANY, "Save changes", wxPoint(0, 0), kSize);
        button->setSkin(skin.get());
        button->setFocus(true);
        frame->Show();
        for (int i = 0; i < 50 && !gtk_widget_get_realized(widget()); ++i)
            wxTheApp->Yield(true);
    }
    ~DrawScene() { frame->Destroy(); }
    GtkWidget* widget() const { return static_cast<GtkWidget*>(button->GetHandle()); }
    // Both paints must cover the same pixels.
    bool sized(benchmark::State& state) const
    {
        if (button->GetClientSize() == kSize)
            return true;
        state.SkipWithError("the button is not 200x40");
        return false;
    }

    wxFrame* frame;
    zilui::CSlickButton* button;
};

void BM_DrawHookPaint(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    DrawScene scene;
    if (!scene.sized(state))
        return;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSize.x, kSize.y);
    cairo_t* cr = cairo_create(surface);
    wxBitmap target(kSize.x, kSize.y, 24);
    wxMemoryDC dc(target);
    bench::compare(state,
                   {"DrawHook paint", [&](int64_t n) {
                        while (n-- > 0)
                            gtk_widget_draw(scene.widget(), cr);
                    }},
                   {"MemoryDC paint", [&](int64_t n) {
                        while (n-- > 0)
                            scene.button->paintCurrent(dc);
                    }},
                   1.2);
    dc.SelectObject(wxNullBitmap);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_DrawHookPaint)->Iterations(1);

} // namespace
