// SPDX-License-Identifier: MIT
// A settings window of a few thousand skinned buttons sharing one skin must open about as fast
// as the same window of native buttons, and must not grow faster with the count: creating,
// laying out (a grid sizer in a scrolled window of one frame) and first painting N skinned
// buttons costs what N native buttons cost plus a constant per button. Each round builds all
// four windows (2,000 and 1,000, skinned and native) one after another, so that the machine's
// load falls on both sides alike. Time is the GUI thread's CPU time from the first button's
// creation to the end of the window's first paint; tearing the window down is not counted.
// Memory per button is what the C heap holds more (mallinfo2: allocated plus mapped bytes)
// while the painted window stands, divided by the count; it covers GTK's widgets and
// wxWidgets' windows, not what the X server keeps.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/slick/controls.h>

#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/scrolwin.h>
#include <wx/sizer.h>

#include <gtk/gtk.h>

#include <malloc.h>
#include <time.h>

#include <string>
#include <vector>

namespace {

constexpr int kColumns = 20;
constexpr int kRounds = 5;

double threadCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double heapBytes()
{
    const struct mallinfo2 info = ::mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
}

zil::P<zilui::CSlickButtonSkin> sharedSkin()
{
    zil::P<zilui::CSlickButtonSkin> skin(new zilui::CSlickButtonSkin());
    skin->setBorderType(zilui::CSlickButtonSkin::BorderFlat);
    skin->setContentMargins(zil::CMargins(6, 4, 6, 4));
    skin->getStateSkin(zilui::CSlickButton::Normal).setBackgroundColor(wxColour(230, 230, 210));
    skin->getStateSkin(zilui::CSlickButton::Hover).setBackgroundColor(wxColour(240, 240, 160));
    skin->getStateSkin(zilui::CSlickButton::Disabled).setBackgroundColor(wxColour(200, 200, 200));
    return skin;
}

// Runs as the toplevel widget starts drawing; its children are drawn in the same emission.
gboolean onToplevelDraw(GtkWidget*, cairo_t*, gpointer drawn)
{
    *static_cast<bool*>(drawn) = true;
    return FALSE;
}

struct Measure {
    double seconds = 0;
    double bytesPerButton = 0;
};

// Builds the window of `count` buttons, shows it and runs the loop until GTK has painted it.
Measure buildAndPaint(int count, const zilui::CSlickButtonSkin* skin)
{
    Measure result;
    const double heapBefore = heapBytes();
    const double start = threadCpuSeconds();
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxSize(900, 700));
    auto* scrolled = new wxScrolledWindow(frame);
    auto* sizer = new wxGridSizer(kColumns);
    scrolled->SetSizer(sizer);
    for (int i = 0; i < count; ++i) {
        const wxString label = wxString::Format("Option %d", i);
        wxButton* button = nullptr;
        if (skin) {
            auto* slick = new zilui::CSlickButton(scrolled, wxID_ANY, label);
            slick->setSkin(const_cast<zilui::CSlickButtonSkin*>(skin));
            button = slick;
        } else {
            button = new wxButton(scrolled, wxID_ANY, label);
        }
        sizer->Add(button, 0, wxEXPAND);
    }
    scrolled->SetScrollRate(10, 10);
    scrolled->FitInside();
    bool drawn = false;
    g_signal_connect(frame->GetHandle(), "draw", G_CALLBACK(onToplevelDraw), &drawn);
    frame->Show();
    // The draw comes with the X server's expose: wait for it, not for a time.
    while (!drawn)
        g_main_context_iteration(nullptr, TRUE);
    result.seconds = threadCpuSeconds() - start;
    result.bytesPerButton = (heapBytes() - heapBefore) / count;
    g_signal_handlers_disconnect_by_func(frame->GetHandle(), reinterpret_cast<gpointer>(&onToplevelDraw), &drawn);
    frame->Destroy();
    while (wxTheApp->HasPendingEvents() || g_main_context_pending(nullptr))
        wxTheApp->Yield(true);
    return result;
}

void BM_SlickButtonsCreate(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    const zil::P<zilui::CSlickButtonSkin> skin = sharedSkin();
    // GTK and wxWidgets set up their caches (theme, fonts) on first use.
    buildAndPaint(100, skin.get());
    buildAndPaint(100, nullptr);

    std::vector<double> cpu, growth, memory;
    double skinnedSeconds = 0, skinnedBytes = 0, nativeBytes = 0;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            const Measure skinned2000 = buildAndPaint(2000, skin.get());
            const Measure native2000 = buildAndPaint(2000, nullptr);
            const Measure skinned1000 = buildAndPaint(1000, skin.get());
            const Measure native1000 = buildAndPaint(1000, nullptr);
            cpu.push_back(skinned2000.seconds / native2000.seconds);
            growth.push_back((skinned2000.seconds / skinned1000.seconds) / (native2000.seconds / native1000.seconds));
            memory.push_back(skinned2000.bytesPerButton / native2000.bytesPerButton);
            skinnedSeconds += skinned2000.seconds / kRounds;
            skinnedBytes += skinned2000.bytesPerButton / kRounds;
            nativeBytes += native2000.bytesPerButton / kRounds;
        }
    }
    state.counters["skinned_bytes_per_button"] = skinnedBytes;
    state.counters["native_bytes_per_button"] = nativeBytes;
    bench::record(state, "2000 skinned buttons, create+paint", "2000 wxButtons", cpu, 1.5, skinnedSeconds);
    bench::record(state, "skinned growth 1000->2000", "native growth 1000->2000", growth, 1.15);
    char skinnedName[64], nativeName[64];
    std::snprintf(skinnedName, sizeof skinnedName, "skinned button heap (%.1f kB)", skinnedBytes / 1024);
    std::snprintf(nativeName, sizeof nativeName, "wxButton heap (%.1f kB)", nativeBytes / 1024);
    bench::record(state, skinnedName, nativeName, memory, 1.5);
}
BENCHMARK(BM_SlickButtonsCreate)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
