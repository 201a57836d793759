// SPDX-License-Identifier: MIT
#include "zilui/graphics/gradients.h"

#include "zilui/graphics/scalingimage.h"

#include <zil/error.h>

#include <wx/brush.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/pen.h>

#include <algorithm>
#include <cmath>

namespace zilui {

namespace {

void checkColor(const wxColour& color, const wchar_t* what, const wchar_t* source)
{
    if (color.IsOk())
        return;
    zil::CInvalidArgError error(zil::String(L"Invalid ") + what + L" colour for a gradient", source);
    error.setProp(L"argument", what);
    throw error;
}

} // namespace

// ---- CNullGradient ----

void CNullGradient::paint(wxDC&, const wxRect&) {}

// ---- CSingleColorGradient ----

CSingleColorGradient::CSingleColorGradient(const wxColour& color) : m_color(color)
{
    checkColor(color, L"fill", L"CSingleColorGradient::CSingleColorGradient");
}

void CSingleColorGradient::setColor(const wxColour& color)
{
    checkColor(color, L"fill", L"CSingleColorGradient::setColor");
    m_color = color;
}

void CSingleColorGradient::paint(wxDC& dc, const wxRect& rect)
{
    fillSolidRect(dc, rect, m_color);
}

void fillSolidRect(wxDC& dc, const wxRect& rect, const wxColour& color)
{
    // The pen would still leave a line where the rectangle has no area.
    if (rect.width < 1 || rect.height < 1)
        return;
    const wxPen oldPen = dc.GetPen();
    const wxBrush oldBrush = dc.GetBrush();
    // Round joins, the default, leave the corner pixels only partly covered under cairo.
    wxPen pen(color, 1, wxPENSTYLE_SOLID);
    pen.SetJoin(wxJOIN_MITER);
    dc.SetPen(pen);
    dc.SetBrush(wxBrush(color, wxBRUSHSTYLE_SOLID));
    dc.DrawRectangle(rect);
    dc.SetPen(oldPen);
    dc.SetBrush(oldBrush);
}

// ---- CLinearGradient ----

CLinearGradient::CLinearGradient(const wxColour& top, const wxColour& bottom)
    : m_top(top), m_bottom(bottom)
{
    checkColor(top, L"top", L"CLinearGradient::CLinearGradient");
    checkColor(bottom, L"bottom", L"CLinearGradient::CLinearGradient");
}

void CLinearGradient::setColors(const wxColour& top, const wxColour& bottom)
{
    checkColor(top, L"top", L"CLinearGradient::setColors");
    checkColor(bottom, L"bottom", L"CLinearGradient::setColors");
    if (top == m_top && bottom == m_bottom)
        return;
    m_top = top;
    m_bottom = bottom;
    m_dirty = true;
}

void CLinearGradient::setHeight(int height)
{
    if (height == m_tileHeight)
        return;
    m_tileHeight = height;
    m_dirty = true;
}

void CLinearGradient::updateTileCache()
{
    if (m_tileHeight < 1) {
        m_tileBitmap = wxNullBitmap;
        return;
    }
    wxImage image(kTileWidth, m_tileHeight, false);
    unsigned char* data = image.GetData();
    const double top[3] = {double(m_top.Red()), double(m_top.Green()), double(m_top.Blue())};
    const double bottom[3] = {double(m_bottom.Red()), double(m_bottom.Green()),
                              double(m_bottom.Blue())};
    for (int row = 0; row < m_tileHeight; ++row) {
        // t runs from 1 at the top row down to 1/height at the last one.
        const double t = 1.0 - double(row) / double(m_tileHeight);
        unsigned char rgb[3];
        for (int c = 0; c < 3; ++c)
            rgb[c] = static_cast<unsigned char>(std::trunc(bottom[c] * (1.0 - t) + top[c] * t));
        unsigned char* pixel = data + size_t(row) * kTileWidth * 3;
        for (int x = 0; x < kTileWidth; ++x, pixel += 3)
            std::copy(rgb, rgb + 3, pixel);
    }
    m_tileBitmap = wxBitmap(image, -1, 1.0);
}

void CLinearGradient::paint(wxDC& dc, const wxRect& rect)
{
    // A blend over more rows than a picture may have ends in the bottom colour.
    const int height = std::min(rect.height, kMaxBitmapSide);
    if (height != m_tileHeight)
        setHeight(height);
    if (m_dirty) {
        updateTileCache();
        m_dirty = false;
    }
    if (!m_tileBitmap.IsOk() || m_tileBitmap.GetWidth() < 1 || m_tileBitmap.GetHeight() < 1)
        return;
    // Only what the DC shows: a control may be far larger than any window, and cairo takes
    // coordinates up to a few million.
    int64_t from = rect.x, to = int64_t(rect.x) + rect.width;
    int64_t top = rect.y, bottom = int64_t(rect.y) + rect.height;
    wxCoord dcWidth = 0, dcHeight = 0;
    dc.GetSize(&dcWidth, &dcHeight);
    if (dcWidth > 0 && dcHeight > 0) {
        from = std::max<int64_t>(from, rect.x + (dc.DeviceToLogicalX(0) - int64_t(rect.x)) / kTileWidth * kTileWidth);
        to = std::min<int64_t>(to, dc.DeviceToLogicalX(dcWidth));
        top = std::max<int64_t>(top, dc.DeviceToLogicalY(0));
        bottom = std::min<int64_t>(bottom, dc.DeviceToLogicalY(dcHeight));
    }
    const int64_t below = int64_t(rect.y) + height;
    if (top < below && rect.y < bottom) {
        wxMemoryDC source;
        source.SelectObjectAsSource(m_tileBitmap);
        for (int64_t x = from; x < to; x += kTileWidth)
            dc.Blit(int(x), rect.y, int(std::min<int64_t>(kTileWidth, to - x)), height, &source, 0, 0, wxCOPY, false);
        source.SelectObject(wxNullBitmap);
    }
    top = std::max(top, below);
    if (bottom > top && to > from)
        fillSolidRect(dc, wxRect(int(from), int(top), int(to - from), int(bottom - top)), m_bottom);
}

// ---- CGradientCombiner ----

CGradientCombiner::CGradientCombiner(IGradient* upper, IGradient* lower, double lowerShare)
    : m_upper(upper), m_lower(lower), m_lowerShare(lowerShare)
{
    const wchar_t* source = L"CGradientCombiner::CGradientCombiner";
    if (!upper || !lower)
        throw zil::CInvalidArgError(zil::String(L"Missing ") + (upper ? L"lower" : L"upper") +
                                        L" gradient for a combination",
                                    source);
    // Written so that NaN fails too.
    if (!(lowerShare >= 0.0 && lowerShare <= 1.0))
    {
        zil::CInvalidArgError error(L"Lower share of a gradient combination must lie between 0 "
                                    L"and 1, not " + zil::toString(lowerShare),
                                    source);
        error.setProp(L"lowerShare", zil::toString(lowerShare));
        throw error;
    }
}

void CGradientCombiner::paint(wxDC& dc, const wxRect& rect)
{
    const int upperHeight = static_cast<int>(std::trunc(rect.height * (1.0 - m_lowerShare)));
    m_upper->paint(dc, wxRect(rect.x, rect.y, rect.width, upperHeight));
    m_lower->paint(dc, wxRect(rect.x, rect.y + upperHeight, rect.width, rect.height - upperHeight));
}

} // namespace zilui
