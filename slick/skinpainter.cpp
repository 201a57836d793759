// SPDX-License-Identifier: MIT
#include "skinpainter.h"

#include "composedlayers.h"

#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>
#include <zilui/slick/skin.h>

#include <wx/dcmemory.h>

namespace zilui {

struct CSkinPainter::StateCache {
    // The skin's images at the client size.
    CPhysicalVersion underlay;
    CPhysicalVersion overlay;
    CPhysicalVersion overlay2;
    zil::P<CComposedSkinLayers> composed;
    CPhysicalVersion composedVersion;
};

CSkinPainter::CSkinPainter(int stateCount) : m_states(static_cast<size_t>(stateCount)) {}

CSkinPainter::~CSkinPainter() = default;

void CSkinPainter::reset()
{
    for (StateCache& cache : m_states) {
        cache.underlay.reset();
        cache.overlay.reset();
        cache.overlay2.reset();
    }
}

double CSkinPainter::getPaintScale(const wxDC& dc)
{
    const double scale = dc.GetContentScaleFactor();
    return scale > 0 ? scale : 1.0;
}

bool CSkinPainter::paintComposed(wxDC& dc, int state, const CSlickStateSkin& st, const wxSize& size,
                                 const wxColour& fill, bool parentShows, const SkinBorder& border)
{
    StateCache& cache = m_states.at(static_cast<size_t>(state));
    CComposedSkinLayers::Key key;
    key.gradient = st.getBackgroundGradient();
    if (!key.gradient)
        key.background = fill;
    key.scale = getPaintScale(dc);
    const wxSize physical = toPhysicalSize(size, key.scale);
    if (parentShows || st.getOverlayImage() || st.getOverlay2Image() || (!key.gradient && !key.background.IsOk()) ||
        !isPaintableSize(physical) || int64_t(physical.x) * physical.y > CComposedSkinLayers::kMaxPixels) {
        cache.composed = nullptr;
        cache.composedVersion.reset();
        return false;
    }
    key.underlay = st.getUnderlayImage();
    if (border.present) {
        key.borderWidths = border.widths;
        key.borderSides = border.sides;
        key.borderColor = border.colour;
        key.borderStyle = border.style;
    }
    if (!cache.composed || !(cache.composed->getKey() == key)) {
        cache.composed = CComposedSkinLayers::get(key);
        cache.composedVersion.reset();
    }
    cache.composedVersion.paint(cache.composed.get(), dc, wxPoint(0, 0), size, key.scale);
    return true;
}

void CSkinPainter::paintBackground(wxDC& dc, int state, const CSlickStateSkin& st, const wxSize& size,
                                   const wxColour& fill, IWXPaintable* parent, const wxPoint& offset)
{
    StateCache& cache = m_states.at(static_cast<size_t>(state));
    if (parent) {
        parent->paint(dc, -offset);
    } else if (zil::P<IGradient> gradient = st.getBackgroundGradient()) {
        gradient->paint(dc, wxRect(0, 0, size.x, size.y));
    } else {
        if (fill.IsOk())
            dc.SetBackground(wxBrush(fill));
        dc.Clear();
        // A DC of neither a bitmap nor a window may not honour Clear() within our bounds.
        if (fill.IsOk() && !dc.GetWindow() && !dynamic_cast<wxMemoryDC*>(&dc)) {
            wxDCPenChanger pen(dc, wxPen(fill, 1));
            wxDCBrushChanger brush(dc, wxBrush(fill));
            dc.DrawRectangle(0, 0, size.x, size.y);
        }
    }
    cache.underlay.paint(st.getUnderlayImage().get(), dc, wxPoint(0, 0), size, getPaintScale(dc));
}

void CSkinPainter::paintOverlays(wxDC& dc, int state, const CSlickStateSkin& st, const wxSize& size)
{
    StateCache& cache = m_states.at(static_cast<size_t>(state));
    const double scale = getPaintScale(dc);
    cache.overlay.paint(st.getOverlayImage().get(), dc, wxPoint(0, 0), size, scale);
    cache.overlay2.paint(st.getOverlay2Image().get(), dc, wxPoint(0, 0), size, scale);
}

void CSkinPainter::paintBorder(wxDC& dc, const wxRect& r, const SkinBorder& border)
{
    CComposedSkinLayers::drawBorder(dc, r, border.widths, border.sides, border.colour, border.style);
}

void CSkinPainter::paintFocusFrame(wxDC& dc, const wxRect& r, const wxColour& colour)
{
    dc.SetPen(wxPen(colour, 1, wxPENSTYLE_SOLID));
    CComposedSkinLayers::drawFrame(dc, r);
}

} // namespace zilui
