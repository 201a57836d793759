// SPDX-License-Identifier: MIT
#pragma once

// Where a skinned control puts its label and image: plain functions of sizes and skin numbers,
// with no window, so that every placement can be checked as a table. Lengths are window
// pixels (the skin's logical lengths already scaled); sums saturate instead of wrapping.

#include <zil/margins.h>

#include <wx/gdicmn.h>

namespace zilui::contentlayout {

struct Geometry {
    zil::CMargins margins{0, 0, 0, 0};
    // Between image and text; counts even when one of them is empty.
    int space = 0;
    // Image above or below the text instead of beside it.
    bool vertical = false;
    // Image left of or above the text.
    bool imageFirst = true;
    // 0 at the left or top of the room the margins leave, 1 at the right or bottom.
    double horzAlign = 0.5;
    double vertAlign = 0.5;
    // Right to left: what is placed is mirrored across the client width, so that the image
    // side, the horizontal alignment and the left and right margins all swap.
    bool mirrored = false;
};

// Text and image with the space between them, side by side or stacked.
wxSize contentSize(const Geometry& g, const wxSize& textSize, const wxSize& imageSize);

// The width left for the text in `clientSize` beside an image of `imageSize`; may be negative.
int maxTextWidth(const Geometry& g, const wxSize& clientSize, const wxSize& imageSize);

struct Placement {
    wxRect text;
    wxRect image;
};

// Both aligned together as one block in the room between the margins; across that block
// each is aligned on its own. Alignment truncates towards zero, towards the left before a
// mirror.
Placement place(const Geometry& g, const wxSize& clientSize, const wxSize& textSize, const wxSize& imageSize);

// `r` reflected across a client `width` wide: its left edge becomes its right one.
wxRect mirror(const wxRect& r, int width);

// Left and right swapped.
zil::CMargins mirror(const zil::CMargins& m);

// Whether all four sides are equal: such a border is drawn as one frame.
inline bool hasEqualSides(const zil::CMargins& m)
{
    return m.left == m.top && m.top == m.right && m.right == m.bottom;
}

} // namespace zilui::contentlayout
