// SPDX-License-Identifier: MIT
// What the control base uses besides its template: the text measuring DC and the layout
// that waits for the events queued now.
#include "controlbasetemplate.h"

#include <wx/app.h>
#include <wx/dcgraph.h>
#include <wx/graphics.h>
#include <wx/weakref.h>

#include <unordered_map>

namespace zilui {

namespace {

// Keyed by address; the weak reference tells a window destroyed meanwhile (or a new one at
// its address) from one still waiting.
using PendingLayouts = std::unordered_map<wxWindow*, wxWeakRef<wxWindow>>;

PendingLayouts& pendingLayouts()
{
    static PendingLayouts pending;
    return pending;
}

} // namespace

CTextMeasuringDC::CTextMeasuringDC() : m_dc(new wxGCDC(wxGraphicsContext::Create())) {}

CTextMeasuringDC::~CTextMeasuringDC() = default;

void layoutSoon(wxWindow* window)
{
    if (!window)
        return;
    if (!wxTheApp) {
        window->Layout();
        return;
    }
    PendingLayouts& pending = pendingLayouts();
    wxWeakRef<wxWindow>& entry = pending[window];
    if (entry)
        return;
    entry = window;
    if (pending.size() > 1)
        return;
    // The first request since the last run schedules the run for all.
    wxTheApp->CallAfter([] {
        const PendingLayouts windows = std::move(pendingLayouts());
        pendingLayouts().clear();
        for (const auto& [key, alive] : windows)
            if (alive)
                alive->Layout();
    });
}

} // namespace zilui
