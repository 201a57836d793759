// SPDX-License-Identifier: MIT
#include <zilui/slick/overlays.h>

#include "controlevents.h"

#include <zilui/app/windowhelpers.h>

#include <zil/log.h>

wxIMPLEMENT_DYNAMIC_CLASS(zilui::CSlickOverlay, wxFrame);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CSlickNonOverlay, wxPanel);

wxBEGIN_EVENT_TABLE(zilui::CSlickOverlay, zilui::CSlickOverlay::Base)
    ZILUI_SLICK_CONTROL_EVENTS(zilui::CSlickOverlay)
    EVT_WINDOW_DESTROY(zilui::CSlickOverlay::onDestroy)
wxEND_EVENT_TABLE()

wxBEGIN_EVENT_TABLE(zilui::CSlickNonOverlay, zilui::CSlickNonOverlay::Base)
    ZILUI_SLICK_CONTROL_EVENTS(zilui::CSlickNonOverlay)
wxEND_EVENT_TABLE()

namespace zilui {

// ---- CSlickOverlay

CSlickOverlay::CSlickOverlay() : Base(wxSYS_COLOUR_WINDOW, wxSYS_COLOUR_WINDOWTEXT) {}

CSlickOverlay::CSlickOverlay(wxWindow* parent, int id, const wxString& label, bool useTopLevelParent)
    : CSlickOverlay()
{
    Create(parent, id, label, useTopLevelParent);
}

CSlickOverlay::~CSlickOverlay()
{
    dropConnections();
}

bool CSlickOverlay::Create(wxWindow* parent, int id, const wxString& label, bool useTopLevelParent)
{
    wxWindow* owner = useTopLevelParent ? getTopLevelParentWindow(parent) : parent;
    wxPoint pos = wxDefaultPosition;
    wxSize size = wxDefaultSize;
    if (owner) {
        const wxRect client = owner->GetClientRect();
        pos = owner->ClientToScreen(client.GetTopLeft());
        size = client.GetSize();
    }
    if (!CSlickOverlayIntermediate::Create(owner, id, wxEmptyString, pos, size,
                                           wxFRAME_NO_TASKBAR | wxFRAME_FLOAT_ON_PARENT | wxBORDER_NONE,
                                           wxPanelNameStr))
        return false;
    if (owner) {
        m_moveConnection = connectEvent(owner, this, &CSlickOverlay::onOwnerEvent, int(wxEVT_MOVE));
        m_sizeConnection = connectEvent(owner, this, &CSlickOverlay::onOwnerEvent, int(wxEVT_SIZE));
        m_showConnection = connectEvent(owner, this, &CSlickOverlay::onOwnerEvent, int(wxEVT_SHOW));
    }
    SetLabel(label);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    InheritAttributes();
    Refresh();
    updatePosSizeAndVisibility();
    return true;
}

void CSlickOverlay::updatePosSizeAndVisibility()
{
    wxWindow* owner = GetParent();
    if (!owner)
        return;
    // Also hidden with the owner's window or notebook page. Not IsShownOnScreen(), which on
    // GTK waits for the window manager to map a top-level window.
    bool shown = true;
    for (wxWindow* w = owner; w && shown; w = w->IsTopLevel() ? nullptr : w->GetParent())
        shown = w->IsShown();
    if (!shown)
        Hide();
    const wxRect client = owner->GetClientRect();
    SetSize(wxRect(owner->ClientToScreen(client.GetTopLeft()), client.GetSize()));
    // Kept above the owner also where no window manager keeps transient windows on top.
    if (shown) {
        Show();
        Raise();
    }
}

void CSlickOverlay::onOwnerEvent(wxEvent& event)
{
    // The owner's own handlers see the event too.
    event.Skip();
    updatePosSizeAndVisibility();
}

void CSlickOverlay::onDestroy(wxWindowDestroyEvent& event)
{
    if (event.GetEventObject() == this)
        dropConnections();
    event.Skip();
}

void CSlickOverlay::dropConnections()
{
    for (zil::P<IEventConnection>* connection : {&m_moveConnection, &m_sizeConnection, &m_showConnection}) {
        if (*connection)
            (*connection)->disconnect();
        *connection = nullptr;
    }
}

// ---- CSlickNonOverlay

CSlickNonOverlay::CSlickNonOverlay() : Base(wxSYS_COLOUR_WINDOW, wxSYS_COLOUR_WINDOWTEXT) {}

CSlickNonOverlay::CSlickNonOverlay(wxWindow* parent, int id, const wxString& label, const wxPoint& pos,
                                   const wxSize& size, const wxString& name)
    : CSlickNonOverlay()
{
    Create(parent, id, label, pos, size, name);
}

bool CSlickNonOverlay::Create(wxWindow* parent, int id, const wxString& label, const wxPoint& pos,
                              const wxSize& size, const wxString& name)
{
    if (!CSlickNonOverlayIntermediate::Create(parent, id, pos, size, 0, name))
        return false;
    SetLabel(label);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    updateDefaultColours();
    InheritAttributes();
    Refresh();
    return true;
}

} // namespace zilui
