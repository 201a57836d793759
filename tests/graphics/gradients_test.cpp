// SPDX-License-Identifier: MIT
#include <zilui/graphics/gradients.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/dcmemory.h>
#include <wx/image.h>

#include <cmath>

using namespace zilui;

// wxColour lives in the global namespace, where gtest looks for its printer.
void PrintTo(const wxColour& colour, std::ostream* out)
{
    *out << "rgb(" << int(colour.Red()) << "," << int(colour.Green()) << "," << int(colour.Blue()) << ")";
}

namespace {

const wxColour kMarker(200, 30, 90);

// Paints into a marker-filled 160x110 bitmap and returns its pixels.
wxImage paintInto(IGradient& gradient, const wxRect& rect)
{
    wxBitmap bitmap(160, 110, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(kMarker));
        dc.Clear();
        gradient.paint(dc, rect);
    }
    return bitmap.ConvertToImage();
}

wxColour pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

class CCountingGradient : public CLinearGradient {
public:
    using CLinearGradient::CLinearGradient;
    int builds = 0;

protected:
    void updateTileCache() override
    {
        ++builds;
        CLinearGradient::updateTileCache();
    }
};

} // namespace

TEST(Gradients, LinearRowsAcrossEveryTilePiece)
{
    zil::P<CLinearGradient> gradient(new CLinearGradient(*wxBLACK, *wxWHITE));
    // 150 wide from x 3: pieces end at 66, 130 and 152.
    wxImage image = paintInto(*gradient, wxRect(3, 2, 150, 4));
    const int rows[] = {0, 63, 127, 191};
    for (int x : {3, 66, 67, 78, 130, 131, 152})
        for (int y = 0; y < 4; ++y) {
            SCOPED_TRACE(::testing::Message() << "x " << x << " row " << y);
            EXPECT_EQ(pixel(image, x, 2 + y), wxColour(rows[y], rows[y], rows[y]));
        }
    for (wxPoint outside : {wxPoint(2, 3), wxPoint(153, 3), wxPoint(70, 1), wxPoint(70, 6)})
        EXPECT_EQ(pixel(image, outside.x, outside.y), kMarker) << outside.x << "," << outside.y;

    // The first row is the top colour, the last one step short of the bottom; alpha is ignored.
    gradient->setColors(wxColour(10, 250, 100, 0), wxColour(210, 50, 100));
    image = paintInto(*gradient, wxRect(0, 0, 10, 100));
    EXPECT_EQ(pixel(image, 5, 0), wxColour(10, 250, 100));
    EXPECT_EQ(pixel(image, 5, 50), wxColour(110, 150, 100));
    EXPECT_EQ(pixel(image, 5, 99), wxColour(208, 52, 100));

    for (wxRect empty : {wxRect(5, 5, 20, 0), wxRect(5, 5, 0, 20), wxRect(5, 5, 20, -3)}) {
        image = paintInto(*gradient, empty);
        EXPECT_EQ(pixel(image, 5, 5), kMarker) << empty.width << "x" << empty.height;
    }
}

TEST(Gradients, LinearTileRebuiltOnlyOnChange)
{
    zil::P<CCountingGradient> gradient(new CCountingGradient(*wxBLACK, *wxWHITE));
    paintInto(*gradient, wxRect(0, 0, 100, 10));
    paintInto(*gradient, wxRect(7, 3, 40, 10));
    gradient->setColors(*wxBLACK, *wxWHITE);
    paintInto(*gradient, wxRect(0, 0, 100, 10));
    EXPECT_EQ(gradient->builds, 1);

    gradient->setColors(*wxRED, *wxWHITE);
    EXPECT_EQ(pixel(paintInto(*gradient, wxRect(0, 0, 100, 10)), 1, 0), *wxRED);
    paintInto(*gradient, wxRect(0, 0, 100, 11));
    EXPECT_EQ(gradient->builds, 3);
}

TEST(Gradients, CombinerSplitsByLowerShare)
{
    zil::P<IGradient> upper(new CSingleColorGradient(*wxBLUE));
    zil::P<IGradient> lower(new CLinearGradient(*wxGREEN, *wxGREEN));
    struct Case { double share; int firstLowerRow; };
    for (Case c : {Case{0.0, 100}, Case{0.25, 75}, Case{0.5, 50}, Case{0.333, 66}, Case{1.0, 0}}) {
        SCOPED_TRACE(::testing::Message() << "lower share " << c.share);
        zil::P<IGradient> combined(new CGradientCombiner(upper.get(), lower.get(), c.share));
        wxImage image = paintInto(*combined, wxRect(4, 5, 30, 100));
        EXPECT_EQ(pixel(image, 4, 4), kMarker);
        EXPECT_EQ(pixel(image, 34, 50), kMarker);
        for (int row : {0, c.firstLowerRow - 1, c.firstLowerRow, 99})
            if (row >= 0 && row < 100) {
                EXPECT_EQ(pixel(image, 33, 5 + row), row < c.firstLowerRow ? *wxBLUE : *wxGREEN)
                    << "row " << row;
            }
    }
}

TEST(Gradients, SingleColorRestoresPenAndBrush)
{
    zil::P<CSingleColorGradient> gradient(new CSingleColorGradient(*wxCYAN));
    wxBitmap bitmap(20, 20, 24);
    wxMemoryDC dc(bitmap);
    dc.SetPen(*wxRED_PEN);
    dc.SetBrush(*wxYELLOW_BRUSH);
    gradient->paint(dc, wxRect(0, 0, 20, 20));
    EXPECT_EQ(dc.GetPen().GetColour(), *wxRED);
    EXPECT_EQ(dc.GetBrush().GetColour(), *wxYELLOW);
    dc.SelectObject(wxNullBitmap);
    wxImage image = bitmap.ConvertToImage();
    for (wxPoint p : {wxPoint(0, 0), wxPoint(10, 10), wxPoint(19, 19)})
        EXPECT_EQ(pixel(image, p.x, p.y), *wxCYAN) << p.x << "," << p.y;
    EXPECT_EQ(pixel(paintInto(*gradient, wxRect(5, 5, 0, 10)), 5, 8), kMarker);
}

TEST(Gradients, BadArgumentsNamed)
{
    zil::P<IGradient> flat(new CSingleColorGradient(*wxRED));
    zil::P<CLinearGradient> linear(new CLinearGradient(*wxRED, *wxBLUE));
    struct Case { const char* what; std::function<void()> call; const char* named; };
    const Case cases[] = {
        {"flat", [] { zil::P<IGradient> g(new CSingleColorGradient(wxNullColour)); }, "fill"},
        {"top", [] { zil::P<IGradient> g(new CLinearGradient(wxNullColour, *wxRED)); }, "top"},
        {"setColors", [&] { linear->setColors(*wxRED, wxNullColour); }, "bottom"},
        {"no lower", [&] { zil::P<IGradient> g(new CGradientCombiner(flat.get(), nullptr, 0.5)); }, "lower"},
        {"share", [&] { zil::P<IGradient> g(new CGradientCombiner(flat.get(), flat.get(), 1.5)); }, "1.5"},
        {"NaN", [&] { zil::P<IGradient> g(new CGradientCombiner(flat.get(), flat.get(), std::nan(""))); }, "nan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.call();
            ADD_FAILURE() << "no error";
        } catch (const zil::CInvalidArgError& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(linear->getBottomColor(), *wxBLUE);
}
