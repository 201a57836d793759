// SPDX-License-Identifier: MIT
#include "skinpainter.h"

#include "composedlayers.h"

#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>
#include <zilui/slick/skin.h>

#include <wx/dcmemory.h>

namespace zilui {

namespace {

// A picture's version at the client size, mirrored left to right; made again for another
// picture, size or scale. The version is held, so that the picture is not made twice while the
// bitmap lives.
class CMirroredVersion {
public:
    void paint(IScalingImage* image, wxDC& dc, const wxSize& logicalSize, double scale)
    {
        if (!image) {
            reset();
            return;
        }
        const wxSize physical = toPhysicalSize(logicalSize, scale);
        if (image != m_image || physical != m_physical || scale != m_scale || !m_bitmap.IsOk()) {
            reset();
            m_version = image->getScaledVersion(physical);
            const wxBitmap pixels = m_version ? m_version->getBitmap() : wxBitmap();
            if (!pixels.IsOk())
                return;
            m_bitmap = wxBitmap(pixels.ConvertToImage().Mirror(true), -1, scale);
            m_image = image;
            m_physical = physical;
            m_scale = scale;
        }
        dc.DrawBitmap(m_bitmap, 0, 0, false);
    }
    void reset()
    {
        m_image = nullptr;
        m_version = nullptr;
        m_bitmap = wxBitmap();
    }

private:
    const IScalingImage* m_image = nullptr;
    wxSize m_physical;
    double m_scale = 0;
    zil::P<IImage> m_version;
    wxBitmap m_bitmap;
};

} // namespace

struct CSkinPainter::StateCache {
    // The skin's images at the client size.
    CPhysicalVersion underlay;
    CPhysicalVersion overlay;
    CPhysicalVersion overlay2;
    CMirroredVersion mirroredUnderlay;
    CMirroredVersion mirroredOverlay;
    CMirroredVersion mirroredOverlay2;
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
        cache.mirroredUnderlay.reset();
        cache.mirroredOverlay.reset();
        cache.mirroredOverlay2.reset();
    }
}

void CSkinPainter::setPicturesMirrored(bool mirrored)
{
    if (m_picturesMirrored != mirrored) {
        m_picturesMirrored = mirrored;
        reset();
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
    if (parentShows || m_picturesMirrored || st.getOverlayImage() || st.getOverlay2Image() || (!key.gradient && !key.background.IsOk()) ||
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
    if (m_picturesMirrored)
        cache.mirroredUnderlay.paint(st.getUnderlayImage().get(), dc, size, getPaintScale(dc));
    else
        cache.underlay.paint(st.getUnderlayImage().get(), dc, wxPoint(0, 0), size, getPaintScale(dc));
}

void CSkinPainter::paintOverlays(wxDC& dc, int state, const CSlickStateSkin& st, const wxSize& size)
{
    StateCache& cache = m_states.at(static_cast<size_t>(state));
    const double scale = getPaintScale(dc);
    if (m_picturesMirrored) {
        cache.mirroredOverlay.paint(st.getOverlayImage().get(), dc, size, scale);
        cache.mirroredOverlay2.paint(st.getOverlay2Image().get(), dc, size, scale);
        return;
    }
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
