// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/eventconnection.h>
#include <zilui/slick/controlbase.h>
#include <zilui/slick/intermediates.h>
#include <zilui/slick/skin.h>

#include <zil/object.h>

namespace zilui {

// A borderless top-level frame that lies exactly over its owner's client area and follows the
// owner's moves, size changes, showing and hiding, so that a skin with see-through parts can
// cover a whole window. Never in the taskbar. It goes with its owner.
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

    // Over the owner's client area in screen coordinates, shown when the owner is.
    void updatePosSizeAndVisibility();

private:
    void onOwnerEvent(wxEvent& event);
    void onDestroy(wxWindowDestroyEvent& event);
    void dropConnections();

    zil::P<IEventConnection> m_moveConnection;
    zil::P<IEventConnection> m_sizeConnection;
    zil::P<IEventConnection> m_showConnection;

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
