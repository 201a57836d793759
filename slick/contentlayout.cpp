// SPDX-License-Identifier: MIT
#include "contentlayout.h"


#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zilui::contentlayout {

namespace {

int alignIn(int room, int size, double align, int margin)
{
    return zil::saturateToInt32(std::trunc((double(room) - size) * align) + margin);
}

int after(int64_t start, int64_t size, int64_t gap)
{
    return zil::saturateToInt32(start + size + gap);
}

} // namespace

wxSize contentSize(const Geometry& g, const wxSize& textSize, const wxSize& imageSize)
{
    const int64_t space = g.space;
    if (g.vertical)
        return wxSize(std::max(textSize.x, imageSize.x), zil::saturateToInt32(textSize.y + space + imageSize.y));
    return wxSize(zil::saturateToInt32(textSize.x + space + imageSize.x), std::max(textSize.y, imageSize.y));
}

int maxTextWidth(const Geometry& g, const wxSize& clientSize, const wxSize& imageSize)
{
    int64_t width = int64_t(clientSize.x) - g.margins.left - g.margins.right;
    if (!g.vertical)
        width -= int64_t(g.space) + imageSize.x;
    return zil::saturateToInt32(width);
}

Placement place(const Geometry& g, const wxSize& clientSize, const wxSize& textSize, const wxSize& imageSize)
{
    const zil::CMargins& m = g.margins;
    const int roomX = zil::saturateToInt32(int64_t(clientSize.x) - m.left - m.right);
    const int roomY = zil::saturateToInt32(int64_t(clientSize.y) - m.top - m.bottom);
    const wxSize content = contentSize(g, textSize, imageSize);
    // Along the stacking axis the block is placed, and text and image follow each other in
    // it; across it each is aligned on its own. One code path for both axes.
    const bool v = g.vertical;
    const auto along = [v](const wxSize& s) { return v ? s.y : s.x; };
    const auto across = [v](const wxSize& s) { return v ? s.x : s.y; };
    const int roomAlong = v ? roomY : roomX, roomAcross = v ? roomX : roomY;
    const double alignAlong = v ? g.vertAlign : g.horzAlign, alignAcross = v ? g.horzAlign : g.vertAlign;
    const int marginAlong = v ? m.top : m.left, marginAcross = v ? m.left : m.top;

    const int start = alignIn(roomAlong, along(content), alignAlong, marginAlong);
    const wxSize& first = g.imageFirst ? imageSize : textSize;
    const int firstAlong = start;
    const int secondAlong = after(start, along(first), g.space);
    const int textAlong = g.imageFirst ? secondAlong : firstAlong;
    const int imageAlong = g.imageFirst ? firstAlong : secondAlong;
    const int textAcross = alignIn(roomAcross, across(textSize), alignAcross, marginAcross);
    const int imageAcross = alignIn(roomAcross, across(imageSize), alignAcross, marginAcross);
    const auto point = [v](int a, int c) { return v ? wxPoint(c, a) : wxPoint(a, c); };
    Placement placed{wxRect(point(textAlong, textAcross), textSize), wxRect(point(imageAlong, imageAcross), imageSize)};
    if (g.mirrored) {
        placed.text = mirror(placed.text, clientSize.x);
        placed.image = mirror(placed.image, clientSize.x);
    }
    return placed;
}

wxRect mirror(const wxRect& r, int width)
{
    return wxRect(zil::saturateToInt32(int64_t(width) - r.x - r.width), r.y, r.width, r.height);
}

zil::CMargins mirror(const zil::CMargins& m)
{
    return zil::CMargins(m.right, m.top, m.left, m.bottom);
}

} // namespace zilui::contentlayout
