// SPDX-License-Identifier: MIT
#include <zilui/slick/composedlayers.h>

#include <wx/dcmemory.h>

#include <cmath>
#include <map>
#include <tuple>

namespace zilui {

namespace {

// Not owning: each instance removes itself as it goes.
std::map<CComposedSkinLayers::Key, CComposedSkinLayers*>& composedInstances()
{
    static std::map<CComposedSkinLayers::Key, CComposedSkinLayers*> map;
    return map;
}

// Invalid colours compare equal to each other and below every valid one.
uint64_t composedColourKey(const wxColour& colour)
{
    return colour.IsOk() ? (uint64_t(1) << 32) | colour.GetRGBA() : 0;
}

auto composedKeyTuple(const CComposedSkinLayers::Key& k)
{
    const zil::CMargins& w = k.borderWidths;
    return std::make_tuple(composedColourKey(k.background), k.gradient.get(), k.underlay.get(), w.left, w.top, w.right,
                           w.bottom, k.borderSides, composedColourKey(k.borderColor), int(k.borderStyle), k.scale);
}

} // namespace

bool CComposedSkinLayers::Key::operator<(const Key& other) const
{
    return composedKeyTuple(*this) < composedKeyTuple(other);
}

zil::P<CComposedSkinLayers> CComposedSkinLayers::get(const Key& key)
{
    auto found = composedInstances().find(key);
    if (found != composedInstances().end())
        return found->second;
    zil::P<CComposedSkinLayers> layers(new CComposedSkinLayers(key));
    composedInstances()[key] = layers.get();
    return layers;
}

size_t CComposedSkinLayers::getInstanceCount()
{
    return composedInstances().size();
}

size_t CComposedSkinLayers::getBitmapCount()
{
    size_t count = 0;
    for (const auto& entry : composedInstances())
        count += entry.second->getVersionCount();
    return count;
}

CComposedSkinLayers::CComposedSkinLayers(const Key& key) : CScalingImage(wxImage(1, 1)), m_key(key) {}

CComposedSkinLayers::~CComposedSkinLayers()
{
    composedInstances().erase(m_key);
}

void CComposedSkinLayers::drawBorder(wxDC& dc, const wxRect& r, const zil::CMargins& w, bool sides,
                                     const wxColour& colour, wxPenStyle style)
{
    if (sides) {
        const int right = r.x + r.width - 1;
        const int bottom = r.y + r.height - 1;
        const auto side = [&](int width, int x1, int y1, int x2, int y2) {
            if (width <= 0)
                return;
            dc.SetPen(wxPen(colour, width, style));
            dc.DrawLine(x1, y1, x2, y2);
        };
        side(w.top, r.x, r.y, right, r.y);
        side(w.left, r.x, r.y, r.x, bottom);
        side(w.right, right, r.y, right, bottom);
        side(w.bottom, r.x, bottom, right, bottom);
    } else {
        dc.SetPen(wxPen(colour, w.top, style));
        drawFrame(dc, r);
    }
}

void CComposedSkinLayers::drawFrame(wxDC& dc, const wxRect& r)
{
    // A focus rectangle moved by margins set in code can lie anywhere in int's range.
    const int right = zil::saturateToInt32(int64_t(r.x) + r.width - 1);
    const int bottom = zil::saturateToInt32(int64_t(r.y) + r.height - 1);
    const wxPoint points[5] = {{r.x, r.y}, {right, r.y}, {right, bottom}, {r.x, bottom}, {r.x, r.y}};
    dc.DrawLines(5, points);
}

wxBitmap CComposedSkinLayers::createScaledBitmap(const wxSize& size)
{
    const double scale = m_key.scale;
    const wxSize logical(static_cast<int>(std::floor(size.x / scale)), static_cast<int>(std::floor(size.y / scale)));
    wxBitmap bitmap(size.x, size.y, 24);
    bitmap.SetScaleFactor(scale);
    {
        wxMemoryDC dc(bitmap);
        const wxRect client(0, 0, logical.x, logical.y);
        if (m_key.gradient) {
            m_key.gradient->paint(dc, client);
        } else {
            dc.SetBackground(wxBrush(m_key.background));
            dc.Clear();
        }
        CPhysicalVersion underlay;
        underlay.paint(m_key.underlay.get(), dc, wxPoint(0, 0), logical, scale);
        const zil::CMargins& w = m_key.borderWidths;
        if (w.left > 0 || w.top > 0 || w.right > 0 || w.bottom > 0) {
            wxDCBrushChanger brush(dc, *wxTRANSPARENT_BRUSH);
            drawBorder(dc, client, w, m_key.borderSides, m_key.borderColor, m_key.borderStyle);
        }
    }
    return bitmap;
}

} // namespace zilui
