// SPDX-License-Identifier: MIT
#include "graphics/graphicstestutil.h"
#include "support/guitest.h"
#include "zil/temp_folder.h"

#include <zilui/graphics/panels.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/frame.h>

#include <algorithm>
#include <tuple>

using namespace zilui;
using namespace zilui::test;

namespace {

const wxColour kWhite(255, 255, 255), kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kYellow(255, 255, 0);

template <class T> Owned<T> makePanel(const wxSize& size)
{
    return Owned<T>(new T(&sharedFrame(), wxID_ANY, wxDefaultPosition, size));
}

template <class T> wxImage paintPanel(T& panel, const wxSize& size, const wxPoint& at = wxPoint(0, 0))
{
    return paintInto(size, [&](wxDC& dc) { panel.paint(dc, at); });
}

// Pixels at x, y of the colour.
void expectPixels(const wxImage& image, std::initializer_list<std::tuple<int, int, wxColour>> probes)
{
    for (const auto& [x, y, color] : probes)
        EXPECT_EQ(pixelAt(image, x, y), color) << "at " << x << "," << y;
}

// First column from `from` on with a dark pixel, or -1.
int firstDarkColumn(const wxImage& image, int from = 0)
{
    for (int x = from; x < image.GetWidth(); ++x)
        for (int y = 0; y < image.GetHeight(); ++y)
            if (std::max({image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)}) < 128)
                return x;
    return -1;
}

// A one-coloured scaling image that records the versions asked of it.
class CRequestCountingImage : public CScalingImage {
public:
    explicit CRequestCountingImage(const wxColour& color) : CScalingImage(solidImage(4, 4, color)) {}
    zil::P<IImage> getScaledVersion(const wxSize& size) override
    {
        ++requests;
        lastSize = size;
        return CScalingImage::getScaledVersion(size);
    }
    int requests = 0;
    wxSize lastSize;
};

} // namespace

TEST(Panels, BitmapPanelStretchesOrFillsWithTheBackground)
{
    auto panel = makePanel<CBitmapPanel>(wxSize(100, 50));
    expectPixels(paintPanel(*panel, {110, 60}, {4, 6}),
                 {{4, 6, kWhite}, {103, 55, kWhite}, {104, 56, kMarker}});

    wxImage quadrants = solidImage(10, 10, kRed);
    quadrants.SetRGB(wxRect(5, 5, 5, 5), 0, 0, 255);
    panel->SetBitmap(wxBitmap(quadrants));
    // Outer corners and middles of the stretched red and blue quadrants; nothing outside the panel.
    expectPixels(paintPanel(*panel, {110, 60}, {4, 6}),
                 {{4, 6, kRed}, {29, 18, kRed}, {79, 43, kBlue}, {103, 55, kBlue}, {3, 6, kMarker},
                  {104, 55, kMarker}, {103, 56, kMarker}});

    // A new size rebuilds the picture; without a bitmap the background colour shows again.
    panel->SetSize(wxSize(40, 20));
    processPendingEvents();
    expectPixels(paintPanel(*panel, {40, 20}), {{39, 19, kBlue}, {10, 5, kRed}});
    panel->SetBackgroundColour(kGreen);
    panel->SetBitmap(wxNullBitmap);
    expectPixels(paintPanel(*panel, {40, 20}), {{39, 19, kGreen}});
}

TEST(Panels, ScalingImagePanelAsksForAVersionOnlyWhenTheSizeChanges)
{
    auto panel = makePanel<CScalingImagePanel>(wxSize(80, 40));
    zil::P<CRequestCountingImage> green(new CRequestCountingImage(kGreen));
    panel->setImage(green.get());
    paintPanel(*panel, {90, 50}, {3, 2});
    expectPixels(paintPanel(*panel, {90, 50}, {3, 2}), {{3, 2, kGreen}, {82, 41, kGreen}, {83, 42, kMarker}});
    EXPECT_EQ(green->requests, 1);
    EXPECT_EQ(green->lastSize, wxSize(80, 40));

    panel->SetSize(wxSize(30, 20));
    paintPanel(*panel, {30, 20});
    EXPECT_EQ(green->requests, 2);
    EXPECT_EQ(green->lastSize, wxSize(30, 20));

    panel->setImage(nullptr);
    expectPixels(paintPanel(*panel, {30, 20}), {{15, 10, kWhite}});
}

TEST(Panels, GradientPanelDefaultsToForegroundOverBackground)
{
    auto panel = makePanel<CGradientPanel>(wxSize(20, 100));
    panel->SetForegroundColour(kRed);
    panel->SetBackgroundColour(kBlue);
    wxImage image = paintPanel(*panel, {20, 100});
    expectPixels(image, {{10, 0, kRed}});
    for (int mid : {image.GetRed(10, 50), image.GetBlue(10, 50)})
        EXPECT_TRUE(mid > 60 && mid < 195) << mid;
    EXPECT_LT(image.GetRed(10, 99), 5);
    EXPECT_GT(image.GetBlue(10, 99), 250);

    // A set gradient wins; null goes back to the window's colours, which may have changed.
    panel->setGradient(zil::P<IGradient>(new CSingleColorGradient(kGreen)).get());
    expectPixels(paintPanel(*panel, {20, 100}), {{10, 0, kGreen}, {19, 99, kGreen}});
    panel->setGradient(nullptr);
    panel->SetForegroundColour(kYellow);
    expectPixels(paintPanel(*panel, {20, 100}), {{10, 0, kYellow}});
}

TEST(Panels, GradientPanelOverlaysCoverThePanelWithTextOnTopAndBadIndexesAreRefused)
{
    auto panel = makePanel<CGradientPanel>(wxSize(60, 30));
    panel->setGradient(zil::P<IGradient>(new CSingleColorGradient(kBlue)).get());
    zil::P<CRequestCountingImage> green(new CRequestCountingImage(kGreen)),
        yellow(new CRequestCountingImage(kYellow));
    panel->addOverlay(nullptr);
    panel->addOverlay(green.get());
    // Overlay changed (none at -1), colour then seen over the whole panel.
    const std::tuple<int, IScalingImage*, wxColour> steps[] = {
        {-1, nullptr, kGreen}, {1, nullptr, kBlue}, {0, yellow.get(), kYellow}, {1, green.get(), kGreen}};
    for (const auto& [index, overlay, expected] : steps) {
        SCOPED_TRACE(index);
        if (index >= 0)
            panel->changeOverlay(index, overlay);
        expectPixels(paintPanel(*panel, {70, 40}, {5, 5}),
                     {{5, 5, expected}, {64, 34, expected}, {65, 35, kMarker}});
    }
    EXPECT_EQ(yellow->lastSize, wxSize(60, 30));

    for (int index : {-1, 2}) {
        SCOPED_TRACE(index);
        const zil::CInvalidArgError e =
            zil::test::thrown<zil::CInvalidArgError>([&] { panel->changeOverlay(index, green.get()); });
        EXPECT_EQ(e.getProp(L"index"), zil::toString(int64_t(index)));
        EXPECT_EQ(e.getProp(L"count"), L"2");
    }

    // Text goes on top at point plus position; the DC's font and colour survive.
    panel->addTextOverlay(L"H", wxPoint(30, 10), wxFont(wxFontInfo(20).Bold()), *wxBLACK);
    const wxFont dcFont(wxFontInfo(7).Italic());
    const wxImage image = paintInto({70, 40}, [&](wxDC& dc) {
        dc.SetFont(dcFont);
        dc.SetTextForeground(*wxBLUE);
        panel->paint(dc, {5, 5});
        EXPECT_EQ(dc.GetFont(), dcFont);
        EXPECT_EQ(dc.GetTextForeground(), *wxBLUE);
    });
    const int first = firstDarkColumn(image);
    EXPECT_TRUE(first >= 35 && first < 45) << first;
    EXPECT_EQ(firstDarkColumn(image.GetSubImage(wxRect(0, 0, 70, 15))), -1);
}

namespace {
// The toolkit's factor replaced by a chosen one.
class CScaledImageAndTextPanel : public CImageAndTextPanel {
public:
    CScaledImageAndTextPanel(double factor, const wxImage& image, const zil::String& text) : m_factor(factor)
    {
        create(image.IsOk() ? wxBitmap(image) : wxNullBitmap, text, &sharedFrame());
        SetSize(200, 40);
        SetForegroundColour(*wxBLACK);
    }
    wxImage paintImage() { return paintInto({200, 40}, [&](wxDC& dc) { paintContents(dc); }); }
    mutable int queries = 0;

protected:
    double queryUICoordScaleFactor() const override { return ++queries, m_factor; }

private:
    double m_factor;
};
using ScaledPanel = Owned<CScaledImageAndTextPanel>;
} // namespace

TEST(Panels, ImageAndTextPanelPlacesBitmapOverlayAndScaledSpace)
{
    // Where the label's first ink lies when it starts at x = 0.
    const int bearing =
        firstDarkColumn(ScaledPanel(new CScaledImageAndTextPanel(1, wxImage(), L"H"))->paintImage());
    ASSERT_GE(bearing, 0);
    ASSERT_LT(bearing, 8);
    // Factor, space, where the text starts: 16 for the bitmap plus the scaled space, rounded up.
    for (auto [factor, space, textX] : {std::tuple(1.5, 10, 31), {1.1, 3, 20}}) {
        SCOPED_TRACE(factor);
        ScaledPanel panel(new CScaledImageAndTextPanel(factor, solidImage(16, 16, kGreen), L"H"));
        panel->setImageTextSpace(space);
        panel->paintImage();
        wxImage image = panel->paintImage();
        EXPECT_EQ(firstDarkColumn(image, 16), textX + bearing);
        // The bitmap sits at y = (40 - 16) / 2.
        expectPixels(image, {{0, 12, kGreen}, {15, 27, kGreen}, {0, 11, kMarker}, {0, 28, kMarker}});
        EXPECT_EQ(panel->queries, 1);
    }

    ScaledPanel panel(new CScaledImageAndTextPanel(1.5, solidImage(16, 16, kGreen), L"Hello\nworld"));
    const wxBitmap red(solidImage(8, 8, kRed));
    panel->setOverlayBitmap(&red);
    expectPixels(panel->paintImage(), {{0, 12, kRed}, {15, 27, kGreen}});
    panel->setOverlayBitmap(nullptr);
    expectPixels(panel->paintImage(), {{0, 12, kGreen}});

    panel->setBitmap(wxNullBitmap);
    const wxSize text = panel->GetBestSize();
    ASSERT_GT(text.y, 0);
    // Bitmap, space, best size: the space scaled by 1.5 and rounded up, none without a bitmap.
    const std::tuple<wxImage, int, wxSize> cases[] = {
        {solidImage(16, 4, kRed), 10, {text.x + 16 + 15, text.y}},
        {solidImage(16, text.y + 9, kRed), 10, {text.x + 31, text.y + 9}},
        {solidImage(5, 5, kRed), 3, {text.x + 5 + 5, text.y}},
        {wxImage(), 10, text}};
    for (const auto& [image, space, expected] : cases) {
        SCOPED_TRACE(expected.x);
        panel->setBitmap(image.IsOk() ? wxBitmap(image) : wxNullBitmap);
        panel->setImageTextSpace(space);
        EXPECT_EQ(panel->GetBestSize(), expected);
    }
}

TEST(Panels, ImageAndTextPanelSeesThroughToAPaintableParent)
{
    auto gradient = makePanel<CGradientPanel>(wxSize(100, 60));
    gradient->setGradient(zil::P<IGradient>(new CSingleColorGradient(kGreen)).get());
    Owned<wxPanel> plain(new wxPanel(&sharedFrame()));
    const std::tuple<const char*, wxWindow*, bool, wxColour> cases[] = {
        {"paintable parent", gradient.get(), true, kGreen},
        {"see-through off", gradient.get(), false, kMarker},
        {"parent not paintable", plain.get(), true, kMarker}};
    for (const auto& [what, parent, seeThrough, expected] : cases) {
        SCOPED_TRACE(what);
        Owned<CImageAndTextPanel> panel(new CImageAndTextPanel(wxNullBitmap, L"", parent));
        panel->SetSize(70, 50, 40, 20);
        panel->setSeeThrough(seeThrough);
        wxImage image = paintInto({40, 20}, [&](wxDC& dc) {
            wxEraseEvent event(panel->GetId(), &dc);
            panel->GetEventHandler()->ProcessEvent(event);
        });
        // The parent is 100 by 60, so only a negated offset leaves 30 by 10 of it in view.
        expectPixels(image, {{0, 0, expected}, {29, 9, expected}, {30, 9, kMarker}, {29, 10, kMarker}});
    }
}

TEST(Panels, DynamicallyCreatableByName)
{
    for (const char* name : {"zilui::CBitmapPanel", "zilui::CScalingImagePanel", "zilui::CGradientPanel",
                             "zilui::CImageAndTextPanel"}) {
        std::unique_ptr<wxObject> object(wxCreateDynamicObject(name));
        ASSERT_NE(object, nullptr) << name;
        EXPECT_TRUE(object->IsKindOf(wxCLASSINFO(wxPanel))) << name;
    }
}
