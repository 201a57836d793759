// SPDX-License-Identifier: MIT
#include <zilui/slick/overlays.h>

#include "../app/gtk/popupsurface.h"
#include "controlbasetemplate.h"
#include "controlevents.h"

#include <zilui/app/windowhelpers.h>

#include <zil/log.h>

// One skin class serves both.
template class zilui::TSlickControlBase<zilui::CSlickOverlayIntermediate, zilui::CSlickOverlaySkin>;
template class zilui::TSlickControlBase<zilui::CSlickNonOverlayIntermediate, zilui::CSlickOverlaySkin>;

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
    if (owner && gtk::isMapped(*owner)) {
        const wxRect client = owner->GetClientRect();
        pos = owner->ClientToScreen(client.GetTopLeft());
        size = client.GetSize();
    }
    gtk::makePopupSurface(*this);
    if (!CSlickOverlayIntermediate::Create(owner, id, wxEmptyString, pos, size,
                                           wxFRAME_NO_TASKBAR | wxFRAME_FLOAT_ON_PARENT | wxBORDER_NONE,
                                           wxPanelNameStr))
        return false;
    if (owner) {
        m_moveConnection = connectEvent(owner, this, &CSlickOverlay::onOwnerEvent, int(wxEVT_MOVE));
        m_sizeConnection = connectEvent(owner, this, &CSlickOverlay::onOwnerEvent, int(wxEVT_SIZE));
        m_showConnection = connectEvent(owner, this, &CSlickOverlay::onOwnerEvent, int(wxEVT_SHOW));
        const auto update = [this] { updatePosSizeAndVisibility(); };
        m_ownerMapping = std::make_unique<gtk::CMappingWatch>(*owner, update);
        wxWindow* top = getTopLevelParentWindow(owner);
        if (top && top != owner) {
            m_topLevelMoveConnection = connectEvent(top, this, &CSlickOverlay::onOwnerEvent, int(wxEVT_MOVE));
            m_topLevelMapping = std::make_unique<gtk::CMappingWatch>(*top, update);
        }
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
    // Also hidden with the owner's window or notebook page: the owner is mapped only while
    // all of them are shown. Shown over a mapped owner only, so that a Wayland compositor
    // never gets it as a window of its own to place anywhere.
    const bool shown = owner->IsShown() && gtk::isMapped(*owner);
    if (!shown) {
        // Placed again when the owner comes back; it has no place on the display until then.
        Hide();
        return;
    }
    const wxRect client = owner->GetClientRect();
    SetSize(wxRect(owner->ClientToScreen(client.GetTopLeft()), client.GetSize()));
    Show();
    gtk::syncPopupSize(*this);
    // Kept above the owner also where no window manager keeps transient windows on top.
    Raise();
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
    for (zil::P<IEventConnection>* connection :
         {&m_moveConnection, &m_sizeConnection, &m_showConnection, &m_topLevelMoveConnection}) {
        if (*connection)
            (*connection)->disconnect();
        *connection = nullptr;
    }
    m_ownerMapping.reset();
    m_topLevelMapping.reset();
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
