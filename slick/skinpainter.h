// SPDX-License-Identifier: MIT
#pragma once

#include <zil/margins.h>

#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/pen.h>

#include <memory>
#include <vector>

namespace zilui {

class CSlickStateSkin;
class IWXPaintable;

// A skin's border; widths in logical pixels.
struct SkinBorder {
    bool present = false;
    zil::CMargins widths{0, 0, 0, 0};
    // Each side on its own (a CSS border of unequal sides) instead of one frame.
    bool sides = false;
    wxColour colour;
    wxPenStyle style = wxPENSTYLE_SOLID;
};

// Paints what a skinned control takes from its skin around the label and image: background,
// underlay, overlays, border and focus frame. Keeps, per state, the pictures it made at the
// last size, so that a repaint at the same size makes none. GUI thread only.
class CSkinPainter {
public:
    explicit CSkinPainter(int stateCount);
    ~CSkinPainter();
    CSkinPainter(const CSkinPainter&) = delete;
    CSkinPainter& operator=(const CSkinPainter&) = delete;

    // Drops every picture: the skin changed.
    void reset();

    // Right to left, underlay and overlay pictures are drawn mirrored, so that a check box's
    // indicator drawn into them changes sides with the rest; the shared composed picture is
    // then not used. Pictures drawn through a DC that mirrors by itself keep their pixels, so
    // this holds for any DC.
    void setPicturesMirrored(bool mirrored);

    // Background, underlay and border as the one bitmap that every control of this skin,
    // state, size and background shares. False, with nothing painted, where that cannot stand
    // for them: the parent shows through, overlay images lie between the label and the border,
    // there is nothing to fill with, or the control is too large to share a picture for.
    bool paintComposed(wxDC& dc, int state, const CSlickStateSkin& st, const wxSize& size, const wxColour& fill,
                       bool parentShows, const SkinBorder& border);
    // The background without the border: `parent` painted at `offset` where the skin lets it
    // show through, else the gradient or `fill`; then the underlay.
    void paintBackground(wxDC& dc, int state, const CSlickStateSkin& st, const wxSize& size, const wxColour& fill,
                         IWXPaintable* parent, const wxPoint& offset);
    void paintOverlays(wxDC& dc, int state, const CSlickStateSkin& st, const wxSize& size);
    static void paintBorder(wxDC& dc, const wxRect& r, const SkinBorder& border);
    // A one-pixel frame in `colour` through the outermost pixels of `r`.
    static void paintFocusFrame(wxDC& dc, const wxRect& r, const wxColour& colour);

    // Pictures are made at the resolution of the DC painted into: the screen's through the draw
    // hook, a memory bitmap's own elsewhere, where a picture of the window's resolution would
    // be stretched and blurred.
    static double getPaintScale(const wxDC& dc);

private:
    struct StateCache;
    std::vector<StateCache> m_states;
    bool m_picturesMirrored = false;
};

} // namespace zilui
