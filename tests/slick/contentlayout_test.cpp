// SPDX-License-Identifier: MIT
#include "../../slick/contentlayout.h"

#include <zilui/app/windowhelpers.h>
#include <zilui/graphics/scalingimage.h>

#include <gtest/gtest.h>

#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/sizer.h>

#include <limits>

using namespace zilui;
namespace layout = zilui::contentlayout;

namespace {

enum Pos { Left, Right, Top, Bottom };

layout::Geometry geometry(Pos pos, double hA, double vA, const zil::CMargins& margins = zil::CMargins(3), int space = 4)
{
    layout::Geometry g;
    g.margins = margins;
    g.space = space;
    g.vertical = pos == Top || pos == Bottom;
    g.imageFirst = pos == Left || pos == Top;
    g.horzAlign = hA;
    g.vertAlign = vA;
    return g;
}

} // namespace

// Margins 3 and space 4; client 100 x 40, so 94 x 34 available.
TEST(SlickContentLayout, PlacesTextAndImage)
{
    const struct {
        Pos pos;
        double hA, vA;
        wxSize client, text, image;
        wxRect expectedText, expectedImage;
        wxSize content;
        int maxTextWidth;
    } cases[] = {
        {Left, 0, 0, {100, 40}, {30, 10}, {16, 16}, {23, 3, 30, 10}, {3, 3, 16, 16}, {50, 16}, 74},
        {Left, 1, 1, {100, 40}, {30, 10}, {16, 16}, {67, 27, 30, 10}, {47, 21, 16, 16}, {50, 16}, 74},
        {Right, 0.5, 0.5, {100, 40}, {30, 10}, {16, 16}, {25, 15, 30, 10}, {59, 12, 16, 16}, {50, 16}, 74},
        {Right, 1, 0, {100, 40}, {30, 10}, {16, 16}, {47, 3, 30, 10}, {81, 3, 16, 16}, {50, 16}, 74},
        {Top, 0, 0, {100, 40}, {30, 10}, {16, 16}, {3, 23, 30, 10}, {3, 3, 16, 16}, {30, 30}, 94},
        {Top, 0.5, 1, {100, 40}, {30, 10}, {16, 16}, {35, 27, 30, 10}, {42, 7, 16, 16}, {30, 30}, 94},
        {Bottom, 1, 1, {100, 40}, {30, 10}, {16, 16}, {67, 7, 30, 10}, {81, 21, 16, 16}, {30, 30}, 94},
        // Without an image the space still counts.
        {Left, 0, 0, {100, 40}, {30, 10}, {0, 0}, {7, 3, 30, 10}, {3, 3, 0, 0}, {34, 10}, 90},
        {Bottom, 0, 0, {100, 40}, {10, 10}, {0, 0}, {3, 3, 10, 10}, {3, 17, 0, 0}, {10, 14}, 94},
        // Too narrow: (14 - 35) * 0.5 = -10.5 truncates towards zero to -10.
        {Left, 0.5, 0, {20, 40}, {31, 10}, {0, 0}, {-3, 3, 31, 10}, {-7, 3, 0, 0}, {35, 10}, 10},
        // Too low, stacked: (34 - 40) * 0.5 = -3.
        {Top, 0, 0.5, {100, 40}, {30, 20}, {16, 16}, {3, 20, 30, 20}, {3, 0, 16, 16}, {30, 40}, 94},
        // A client smaller than its margins.
        {Left, 0, 0, {4, 4}, {30, 10}, {16, 16}, {23, 3, 30, 10}, {3, 3, 16, 16}, {50, 16}, -22},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pos << " " << c.hA << "," << c.vA << " client " << c.client.x);
        const layout::Geometry g = geometry(c.pos, c.hA, c.vA);
        const layout::Placement placed = layout::place(g, c.client, c.text, c.image);
        EXPECT_EQ(placed.text, c.expectedText);
        EXPECT_EQ(placed.image, c.expectedImage);
        EXPECT_EQ(layout::contentSize(g, c.text, c.image), c.content);
        EXPECT_EQ(layout::maxTextWidth(g, c.client, c.image), c.maxTextWidth);
    }
}

// Margins set in code may lie anywhere in int's range: layout saturates instead of wrapping
// around. Client 100 x 40, text 30 x 10, image 16 x 16 on the left, space 4.
TEST(SlickContentLayout, ExtremeMarginsSaturate)
{
    constexpr int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
    const struct {
        zil::CMargins margins;
        double align;
        wxRect text, image;
        int maxTextWidth;
    } cases[] = {
        {zil::CMargins(kMax), 0, {kMax, kMax, 30, 10}, {kMax, kMax, 16, 16}, kMin},
        {zil::CMargins(kMin), 1, {-31, -11, 30, 10}, {-51, -17, 16, 16}, kMax},
        // Left and right sum to -1, so 101 are available.
        {zil::CMargins(kMax, 0, kMin, 0), 1, {kMax, 30, 30, 10}, {kMax, 24, 16, 16}, 81},
        {zil::CMargins(kMax - 5, kMax - 5, 10, 10), 0, {kMax, kMax - 5, 30, 10}, {kMax - 5, kMax - 5, 16, 16},
         75 - kMax},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.margins.toString().toUTF8() << " align " << c.align);
        const layout::Geometry g = geometry(Left, c.align, c.align, c.margins);
        const layout::Placement placed = layout::place(g, wxSize(100, 40), wxSize(30, 10), wxSize(16, 16));
        EXPECT_EQ(placed.text, c.text);
        EXPECT_EQ(placed.image, c.image);
        EXPECT_EQ(layout::maxTextWidth(g, wxSize(100, 40), wxSize(16, 16)), c.maxTextWidth);
    }
}

// Right to left, with margins of unequal sides (left 2, right 9, 89 x 34 available), client
// 100 x 40, text 30 x 10, image 16 x 16, space 4: the image side, the horizontal alignment and
// the margins swap; vertical placement and stacked content keep their order top to bottom.
TEST(SlickContentLayout, RightToLeftMirrorsAcrossTheClient)
{
    constexpr int kMax = std::numeric_limits<int>::max();
    const struct {
        Pos pos;
        double hA;
        wxSize client;
        wxRect text, image;
    } cases[] = {
        {Left, 0, {100, 40}, {48, 15, 30, 10}, {82, 12, 16, 16}},
        {Right, 0, {100, 40}, {68, 15, 30, 10}, {48, 12, 16, 16}},
        {Left, 1, {100, 40}, {9, 15, 30, 10}, {43, 12, 16, 16}},
        // (89 - 50) * 0.5 = 19.5 truncates to 19 from the start, which is the right edge here.
        {Left, 0.5, {100, 40}, {29, 15, 30, 10}, {63, 12, 16, 16}},
        {Top, 0, {100, 40}, {68, 25, 30, 10}, {82, 5, 16, 16}},
        {Bottom, 1, {100, 40}, {9, 5, 30, 10}, {9, 19, 16, 16}},
        {Left, 0, {kMax, 40}, {kMax - 52, 15, 30, 10}, {kMax - 18, 12, 16, 16}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pos << " " << c.hA << " client " << c.client.x);
        layout::Geometry g = geometry(c.pos, c.hA, 0.5, zil::CMargins(2, 3, 9, 3));
        g.mirrored = true;
        const layout::Placement placed = layout::place(g, c.client, {30, 10}, {16, 16});
        EXPECT_EQ(placed.text, c.text);
        EXPECT_EQ(placed.image, c.image);
        // Sizes do not depend on the direction.
        EXPECT_EQ(layout::maxTextWidth(g, c.client, {16, 16}), c.client.x - 11 - (g.vertical ? 0 : 20));
    }
    EXPECT_EQ(layout::mirror(zil::CMargins(1, 2, 3, 4)), zil::CMargins(3, 2, 1, 4));
    EXPECT_EQ(layout::mirror(wxRect(0, 5, 10, 7), -kMax), wxRect(std::numeric_limits<int>::min(), 5, 10, 7));
}

TEST(SlickContentLayout, ContentSizeSaturates)
{
    constexpr int kMax = std::numeric_limits<int>::max();
    const struct {
        Pos pos;
        int space;
        wxSize text, image, content;
    } cases[] = {
        {Left, kMax, {30, 10}, {16, 16}, {kMax, 16}},
        {Top, kMax, {30, 10}, {16, 16}, {30, kMax}},
        {Right, 0, {kMax, 10}, {kMax, 16}, {kMax, 16}},
        {Bottom, 0, {kMax, kMax}, {1, 1}, {kMax, kMax}},
        {Left, 0, {0, 0}, {0, 0}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pos << " space " << c.space);
        EXPECT_EQ(layout::contentSize(geometry(c.pos, 0, 0, zil::CMargins(0), c.space), c.text, c.image), c.content);
    }
}

TEST(SlickContentLayout, EqualSidesMakeOneFrame)
{
    const struct {
        zil::CMargins widths;
        bool equal;
    } cases[] = {
        {zil::CMargins(1), true},          {zil::CMargins(0), true},          {zil::CMargins(2, 1, 1, 1), false},
        {zil::CMargins(1, 2, 1, 1), false}, {zil::CMargins(1, 1, 2, 1), false}, {zil::CMargins(1, 1, 1, 2), false},
        {zil::CMargins(1, 2, 1, 2), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(layout::hasEqualSides(c.widths), c.equal) << c.widths.toString().toUTF8();
}

TEST(ScaleHelpers, LengthsRoundUp)
{
    const struct {
        int logical;
        double factor;
        int scaled;
    } cases[] = {
        {4, 1.0, 4}, {4, 1.5, 6}, {3, 1.5, 5}, {3, 1.25, 4}, {0, 2.0, 0}, {-3, 1.5, -4}, {1, 0.1, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scaleLength(c.logical, c.factor), c.scaled) << c.logical << " * " << c.factor;
}

TEST(ScaleHelpers, BitmapSizeInWindowCoordinates)
{
    const struct {
        wxSize pixels;
        double scale;
        wxSize logical;
    } cases[] = {
        {{16, 16}, 1.0, {16, 16}},
        {{32, 32}, 2.0, {16, 16}},
        {{3, 5}, 2.0, {2, 3}}, // half pixels round
        {{30, 15}, 1.5, {20, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pixels.x << "x" << c.pixels.y << " @" << c.scale);
        wxImage image(c.pixels.x, c.pixels.y);
        EXPECT_EQ(getLogicalBitmapSize(wxBitmap(image, -1, c.scale)), c.logical);
    }
    EXPECT_EQ(getLogicalBitmapSize(wxNullBitmap), wxSize(0, 0));
}

// The content gets what the margins leave, at any size, and the minimum counts both.
TEST(WindowHelpers, WrapInMarginsPlacesContentBetweenThem)
{
    const struct {
        zil::CMargins margins;
        wxSize total, minContent;
        wxRect content;
        wxSize minTotal;
    } cases[] = {
        {zil::CMargins(5, 6, 7, 8), {100, 50}, {10, 10}, {5, 6, 88, 36}, {22, 24}},
        {zil::CMargins(0), {100, 50}, {10, 10}, {0, 0, 100, 50}, {10, 10}},
        {zil::CMargins(2, 3, 4, 5), {40, 30}, {1, 1}, {2, 3, 34, 22}, {7, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.margins.toString().toUTF8());
        auto* content = new wxBoxSizer(wxVERTICAL);
        content->Add(c.minContent.x, c.minContent.y, 1, wxEXPAND);
        wxBoxSizer* inner = nullptr;
        std::unique_ptr<wxSizer> outer(wrapInMargins(content, c.margins, &inner));
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(outer->GetMinSize(), c.minTotal);
        outer->SetDimension(wxPoint(0, 0), c.total);
        EXPECT_EQ(wxRect(content->GetPosition(), content->GetSize()), c.content);
        EXPECT_EQ(content->GetContainingWindow(), nullptr);
    }
}
