// SPDX-License-Identifier: MIT
#include "composedlayers.h"

#include <wx/dcmemory.h>
#include <wx/graphics.h>

#include <algorithm>
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

namespace {

// Logical coordinates further out than this are clipped; cairo's fixed-point numbers end near
// 2^23 device pixels.
constexpr double kMaxCoordinate = 1 << 20;

// The device pixel edge at or after a logical position. A control's physical size is rounded
// up, so its last, partly covered device pixel belongs to it, and so it does to a line along
// its edge.
double toDeviceGrid(double logical, double scale)
{
    const double clamped = std::clamp(logical, -kMaxCoordinate, kMaxCoordinate);
    return std::ceil(clamped * scale - 1e-6) / scale;
}

struct Span {
    double from, to;
};

// The logical span of a line `width` pixels wide through pixel column or row `at`, as wxDC
// strokes one at 100 %: an odd width centred on the pixel, an even one on its leading edge.
// At other scales the same span on whole device pixels, at least one: a stroke through the
// pixel's logical position would straddle device pixels at 200 % (wxGTK offsets odd device
// widths only), leaving half of a 1-pixel border outside the control.
Span lineSpan(int at, int width, double scale)
{
    const double centre = at + (width % 2 ? 0.5 : 0.0);
    Span span{toDeviceGrid(centre - width / 2.0, scale), toDeviceGrid(centre + width / 2.0, scale)};
    if (span.to <= span.from)
        span.to = span.from + 1 / scale;
    return span;
}

// Device pixels per logical pixel of `dc`, as the border is drawn.
double deviceScale(const wxDC& dc)
{
    double userX = 1, userY = 1;
    dc.GetUserScale(&userX, &userY);
    const double scale = dc.GetContentScaleFactor() * userX;
    return scale > 0 ? scale : 1;
}

// Draws straight lines on the device pixel grid: a solid one as a filled rectangle, a dotted or
// dashed one as a stroke through the middle of that rectangle.
class CGridLines {
public:
    CGridLines(wxDC& dc, wxGraphicsContext& gc, const wxColour& colour, wxPenStyle style)
        : m_gc(gc), m_colour(colour), m_style(style), m_scale(deviceScale(dc)), m_offset(gc.OffsetEnabled())
    {
        // Spans already lie on device pixels: no half-pixel shift for odd widths.
        m_gc.DisableOffset();
        m_gc.PushState();
    }
    ~CGridLines()
    {
        m_gc.PopState();
        m_gc.EnableOffset(m_offset);
    }
    CGridLines(const CGridLines&) = delete;
    CGridLines& operator=(const CGridLines&) = delete;

    // From column `x1` to column `x2` of row `y`, `width` pixels wide.
    void horizontal(int x1, int x2, int y, int width)
    {
        const Span across = lineSpan(y, width, m_scale);
        draw(lineSpan(x1, width, m_scale).from, lineSpan(x2, width, m_scale).to, across, true);
    }
    // From row `y1` to row `y2` of column `x`.
    void vertical(int y1, int y2, int x, int width)
    {
        const Span across = lineSpan(x, width, m_scale);
        draw(lineSpan(y1, width, m_scale).from, lineSpan(y2, width, m_scale).to, across, false);
    }

private:
    void draw(double from, double to, const Span& across, bool horizontal)
    {
        if (to <= from)
            return;
        const double thickness = across.to - across.from;
        if (m_style == wxPENSTYLE_SOLID) {
            m_gc.SetPen(wxNullGraphicsPen);
            m_gc.SetBrush(m_gc.CreateBrush(wxBrush(m_colour)));
            if (horizontal)
                m_gc.DrawRectangle(from, across.from, to - from, thickness);
            else
                m_gc.DrawRectangle(across.from, from, thickness, to - from);
            return;
        }
        // Round ends from the first pixel's middle, as wxDC draws its dashes and dots at 100 %.
        m_gc.SetBrush(wxNullGraphicsBrush);
        m_gc.SetPen(m_gc.CreatePen(wxGraphicsPenInfo(m_colour, thickness, m_style).Cap(wxCAP_ROUND)));
        const double middle = (across.from + across.to) / 2, start = from + thickness / 2, end = to - thickness / 2;
        if (horizontal)
            m_gc.StrokeLine(start, middle, end, middle);
        else
            m_gc.StrokeLine(middle, start, middle, end);
    }

    wxGraphicsContext& m_gc;
    wxColour m_colour;
    wxPenStyle m_style;
    double m_scale;
    bool m_offset;
};

// The frame of drawFrame() through a graphics context; false without one (a printer DC, say).
bool drawGridFrame(wxDC& dc, const wxRect& r, int width, const wxColour& colour, wxPenStyle style)
{
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    if (!gc)
        return false;
    const int right = zil::saturateToInt32(int64_t(r.x) + r.width - 1);
    const int bottom = zil::saturateToInt32(int64_t(r.y) + r.height - 1);
    CGridLines lines(dc, *gc, colour, style);
    lines.horizontal(r.x, right, r.y, width);
    lines.horizontal(r.x, right, bottom, width);
    lines.vertical(r.y, bottom, r.x, width);
    lines.vertical(r.y, bottom, right, width);
    return true;
}

} // namespace

void CComposedSkinLayers::drawBorder(wxDC& dc, const wxRect& r, const zil::CMargins& w, bool sides,
                                     const wxColour& colour, wxPenStyle style)
{
    if (!sides) {
        dc.SetPen(wxPen(colour, w.top, style));
        drawFrame(dc, r);
        return;
    }
    const int right = r.x + r.width - 1;
    const int bottom = r.y + r.height - 1;
    if (wxGraphicsContext* gc = dc.GetGraphicsContext()) {
        CGridLines lines(dc, *gc, colour, style);
        if (w.top > 0)
            lines.horizontal(r.x, right, r.y, w.top);
        if (w.left > 0)
            lines.vertical(r.y, bottom, r.x, w.left);
        if (w.right > 0)
            lines.vertical(r.y, bottom, right, w.right);
        if (w.bottom > 0)
            lines.horizontal(r.x, right, bottom, w.bottom);
        return;
    }
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
}

void CComposedSkinLayers::drawFrame(wxDC& dc, const wxRect& r)
{
    const wxPen& pen = dc.GetPen();
    if (!pen.IsOk() || pen.GetStyle() == wxPENSTYLE_TRANSPARENT || r.width < 1 || r.height < 1)
        return;
    if (drawGridFrame(dc, r, std::max(pen.GetWidth(), 1), pen.GetColour(), pen.GetStyle()))
        return;
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
