// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/eventconnection.h>
#include <zilui/slick/controlbase.h>
#include <zilui/slick/intermediates.h>
#include <zilui/slick/skin.h>

#include <zil/object.h>

#include <memory>

namespace zilui {

namespace gtk {
class CMappingWatch;
}

// A borderless top-level frame that lies exactly over its owner's client area and follows the
// owner's moves, size changes, showing and hiding, so that a skin with see-through parts can
// cover a whole window. Never in the taskbar. It goes with its owner.
//
// The display server places it relative to the owner's top-level window (a popup with that
// window as transient parent: on Wayland a sub-surface of it), so it stays over the owner on
// X11 and on Wayland. It is shown only while the owner is on the display: hidden with the owner
// or any of its ancestors (a notebook page too), back when they are shown again.
class CSlickOverlay : public TSlickControlBase<CSlickOverlayIntermediate, CSlickOverlaySkin> {
public:
    using Base = TSlickControlBase<CSlickOverlayIntermediate, CSlickOverlaySkin>;

    CSlickOverlay();
    // The owner is `parent`, or its top-level window when `useTopLevelParent` is true.
    CSlickOverlay(wxWindow* parent, int id, const wxString& label, bool useTopLevelParent);
    ~CSlickOverlay() override;

    bool Create(wxWindow* parent, int id, const wxString& label, bool useTopLevelParent);

    State getState() const override { return Normal; }
    State getBitmapState() const override { return Normal; }

    // Over the owner's client area in screen coordinates, shown when the owner is on the
    // display. Called by itself on the owner's moves, size changes, showing and hiding and on
    // moves of its top-level window; a client calls it after moving an ancestor in between.
    void updatePosSizeAndVisibility();

private:
    void onOwnerEvent(wxEvent& event);
    void onDestroy(wxWindowDestroyEvent& event);
    void dropConnections();

    zil::P<IEventConnection> m_moveConnection;
    zil::P<IEventConnection> m_sizeConnection;
    zil::P<IEventConnection> m_showConnection;
    // Moves of the owner's top-level window, when the owner is a window inside it.
    zil::P<IEventConnection> m_topLevelMoveConnection;
    std::unique_ptr<gtk::CMappingWatch> m_ownerMapping;
    // On X11 the top-level window is mapped after its children and would cover the overlay.
    std::unique_ptr<gtk::CMappingWatch> m_topLevelMapping;

    wxDECLARE_DYNAMIC_CLASS(CSlickOverlay);
    wxDECLARE_EVENT_TABLE();
};

// The overlay's look as an ordinary child panel, which may hold child windows; they are laid
// out between the skin's client margins when the panel has a sizer.
class CSlickNonOverlay : public TSlickControlBase<CSlickNonOverlayIntermediate, CSlickOverlaySkin> {
public:
    using Base = TSlickControlBase<CSlickNonOverlayIntermediate, CSlickOverlaySkin>;

    CSlickNonOverlay();
    CSlickNonOverlay(wxWindow* parent, int id, const wxString& label = wxEmptyString,
                     const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                     const wxString& name = wxPanelNameStr);

    bool Create(wxWindow* parent, int id, const wxString& label = wxEmptyString,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                const wxString& name = wxPanelNameStr);

    State getState() const override { return Normal; }
    State getBitmapState() const override { return Normal; }

private:
    wxDECLARE_DYNAMIC_CLASS(CSlickNonOverlay);
    wxDECLARE_EVENT_TABLE();
};

} // namespace zilui
