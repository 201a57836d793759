// SPDX-License-Identifier: MIT
#include "graphics/graphicstestutil.h"
#include "zil/temp_folder.h"

#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

using namespace zilui;
using namespace zilui::test;

namespace {

// Paints into a marker-filled 160x110 bitmap, with a pen and brush the gradient must keep.
wxImage paintGradient(IGradient& gradient, const wxRect& rect)
{
    return paintInto({160, 110}, [&](wxMemoryDC& dc) {
        dc.SetPen(*wxRED_PEN);
        dc.SetBrush(*wxYELLOW_BRUSH);
        gradient.paint(dc, rect);
        EXPECT_EQ(dc.GetPen().GetColour(), *wxRED);
        EXPECT_EQ(dc.GetBrush().GetColour(), *wxYELLOW);
    });
}

struct CCountingGradient : CLinearGradient {
    using CLinearGradient::CLinearGradient;
    void updateTileCache() override { ++builds, CLinearGradient::updateTileCache(); }
    int getTileHeightForTest() const { return getTileHeight(); }
    int builds = 0;
};

} // namespace

TEST(Gradients, LinearRowsAcrossEveryTilePieceAndRebuildsOnlyOnChange)
{
    zil::P<CCountingGradient> gradient(new CCountingGradient(*wxBLACK, *wxWHITE));
    // 150 wide from x 3: pieces end at 66, 130 and 152.
    wxImage image = paintGradient(*gradient, wxRect(3, 2, 150, 4));
    const int rows[] = {0, 63, 127, 191};
    for (int x : {3, 66, 67, 78, 130, 131, 152})
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(pixelAt(image, x, 2 + y), wxColour(rows[y], rows[y], rows[y])) << x << "," << y;
    for (wxPoint outside : {wxPoint(2, 3), wxPoint(153, 3), wxPoint(70, 1), wxPoint(70, 6)})
        EXPECT_EQ(pixelAt(image, outside.x, outside.y), kMarker) << outside.x << "," << outside.y;
    paintGradient(*gradient, wxRect(7, 3, 40, 4));
    gradient->setColors(*wxBLACK, *wxWHITE);
    paintGradient(*gradient, wxRect(0, 0, 10, 4));
    EXPECT_EQ(gradient->builds, 1);

    // First row the top colour, last one step short of the bottom; alpha ignored.
    gradient->setColors(wxColour(10, 250, 100, 0), wxColour(210, 50, 100));
    image = paintGradient(*gradient, wxRect(0, 0, 10, 100));
    EXPECT_EQ(pixelAt(image, 5, 0), wxColour(10, 250, 100));
    EXPECT_EQ(pixelAt(image, 5, 50), wxColour(110, 150, 100));
    EXPECT_EQ(pixelAt(image, 5, 99), wxColour(208, 52, 100));
    EXPECT_EQ(gradient->builds, 2);

    zil::P<IGradient> flat(new CSingleColorGradient(*wxCYAN));
    for (IGradient* g : {static_cast<IGradient*>(gradient.get()), flat.get()})
        for (wxRect empty : {wxRect(5, 5, 20, 0), wxRect(5, 5, 0, 20), wxRect(5, 5, 20, -3)})
            EXPECT_EQ(pixelAt(paintGradient(*g, empty), 5, 5), kMarker) << empty.width << "x" << empty.height;
}

// A control may be far larger than a picture: the tile stops at the largest picture height and
// the rows below take the bottom colour; only columns the bitmap shows are blitted.
TEST(Gradients, LinearTallerAndWiderThanAPicture)
{
    zil::P<CCountingGradient> gradient(new CCountingGradient(*wxBLACK, *wxWHITE));
    const wxImage image = paintGradient(*gradient, wxRect(-(1 << 30), 50 - kMaxBitmapSide, std::numeric_limits<int>::max(), 1 << 20));
    EXPECT_EQ(gradient->getTileHeightForTest(), kMaxBitmapSide);
    EXPECT_EQ(gradient->builds, 1);
    EXPECT_EQ(pixelAt(image, 5, 49), wxColour(254, 254, 254)); // the tile's last row
    for (int x : {0, 80, 159})
        EXPECT_EQ(pixelAt(image, x, 50), *wxWHITE) << x;
}

TEST(Gradients, CombinerSplitsByLowerShareWithFullCorners)
{
    zil::P<IGradient> upper(new CSingleColorGradient(*wxBLUE));
    zil::P<IGradient> lower(new CSingleColorGradient(*wxGREEN));
    for (auto [share, firstLower] : {std::pair{0.0, 100}, {0.25, 75}, {0.333, 66}, {1.0, 0}}) {
        SCOPED_TRACE(::testing::Message() << "lower share " << share);
        zil::P<IGradient> combined(new CGradientCombiner(upper.get(), lower.get(), share));
        wxImage image = paintGradient(*combined, wxRect(4, 5, 30, 100));
        EXPECT_EQ(pixelAt(image, 4, 4), kMarker);
        EXPECT_EQ(pixelAt(image, 34, 50), kMarker);
        for (int row : {0, std::max(0, firstLower - 1), std::min(99, firstLower), 99})
            for (int x : {4, 33})
                EXPECT_EQ(pixelAt(image, x, 5 + row), row < firstLower ? *wxBLUE : *wxGREEN) << x << "," << row;
    }
}

TEST(Gradients, BadArgumentsNamed)
{
    zil::P<IGradient> flat(new CSingleColorGradient(*wxRED));
    zil::P<CLinearGradient> linear(new CLinearGradient(*wxRED, *wxBLUE));
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"fill", [] { zil::P<IGradient> g(new CSingleColorGradient(wxNullColour)); }},
        {"top", [] { zil::P<IGradient> g(new CLinearGradient(wxNullColour, *wxRED)); }},
        {"bottom", [&] { linear->setColors(*wxRED, wxNullColour); }},
        {"lower", [&] { zil::P<IGradient> g(new CGradientCombiner(flat.get(), nullptr, 0.5)); }},
        {"1.5", [&] { zil::P<IGradient> g(new CGradientCombiner(flat.get(), flat.get(), 1.5)); }},
        {"nan", [&] { zil::P<IGradient> g(new CGradientCombiner(flat.get(), flat.get(), NAN)); }},
    };
    for (const auto& [named, call] : cases) {
        const std::string what = zil::test::thrown<zil::CInvalidArgError>(call).what();
        EXPECT_NE(what.find(named), std::string::npos) << what;
    }
    EXPECT_EQ(linear->getBottomColor(), *wxBLUE);
}
