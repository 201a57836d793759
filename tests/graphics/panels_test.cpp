// SPDX-License-Identifier: MIT
#include "support/guitest.h"

#include <zilui/graphics/panels.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/dcmemory.h>
#include <wx/frame.h>

#include <functional>
#include <memory>

using namespace zilui;

namespace {

const wxColour kMarker(200, 30, 90), kWhite(255, 255, 255);
const wxColour kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kYellow(255, 255, 0);

struct WindowCloser {
    void operator()(wxWindow* window) const { window->Destroy(); }
};
template <class T> using Owned = std::unique_ptr<T, WindowCloser>;

template <class T> Owned<T> makePanel(const wxSize& size)
{
    return Owned<T>(new T(&test::sharedFrame(), wxID_ANY, wxDefaultPosition, size));
}

// A marker-filled bitmap of `size` that `draw` paints into.
wxImage paintInto(const wxSize& size, const std::function<void(wxDC&)>& draw)
{
    wxBitmap bitmap(size, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(kMarker));
        dc.Clear();
        draw(dc);
    }
    return bitmap.ConvertToImage();
}

template <class T> wxImage paintPanel(T& panel, const wxSize& size, const wxPoint& at = wxPoint(0, 0))
{
    return paintInto(size, [&](wxDC& dc) { panel.paint(dc, at); });
}

struct Probe {
    int x, y;
    wxColour color;
};

void expectPixels(const wxImage& image, std::initializer_list<Probe> probes)
{
    for (const Probe& p : probes) {
        const wxColour got(image.GetRed(p.x, p.y), image.GetGreen(p.x, p.y), image.GetBlue(p.x, p.y));
        EXPECT_EQ(got.GetAsString(), p.color.GetAsString()) << "at " << p.x << "," << p.y;
    }
}

// First column from `from` on with a dark pixel, or -1.
int firstDarkColumn(const wxImage& image, int from = 0)
{
    for (int x = from; x < image.GetWidth(); ++x)
        for (int y = 0; y < image.GetHeight(); ++y)
            if (image.GetRed(x, y) < 128 && image.GetGreen(x, y) < 128 && image.GetBlue(x, y) < 128)
                return x;
    return -1;
}

wxBitmap solidBitmap(int width, int height, const wxColour& c)
{
    wxImage image(width, height);
    image.SetRGB(wxRect(0, 0, width, height), c.Red(), c.Green(), c.Blue());
    return wxBitmap(image);
}

class CFlatImage : public zil::CBase, public virtual IImage {
public:
    explicit CFlatImage(const wxBitmap& bitmap) : m_bitmap(bitmap) {}
    wxSize getSize() override { return m_bitmap.GetSize(); }
    void paint(wxDC& dc, const wxPoint& point) override { dc.DrawBitmap(m_bitmap, point); }
    wxBitmap getBitmap() override { return m_bitmap; }

private:
    wxBitmap m_bitmap;
};

// Hands out versions that fill their whole size with one colour; counts the requests.
class CCountingScalingImage : public zil::CBase, public virtual IScalingImage {
public:
    explicit CCountingScalingImage(const wxColour& color) : m_color(color) {}
    wxSize getBaseSize() override { return wxSize(4, 4); }
    zil::P<IImage> getScaledVersion(const wxSize& size) override
    {
        ++requests;
        lastSize = size;
        return zil::P<IImage>(new CFlatImage(solidBitmap(size.x, size.y, m_color)));
    }
    int requests = 0;
    wxSize lastSize;

private:
    wxColour m_color;
};

} // namespace

TEST(Panels, BitmapPanelStretchesOrFillsWithTheBackground)
{
    auto panel = makePanel<CBitmapPanel>(wxSize(100, 50));
    expectPixels(paintPanel(*panel, {110, 60}, {4, 6}),
                 {{4, 6, kWhite}, {103, 55, kWhite}, {3, 6, kMarker}, {104, 56, kMarker}});

    wxImage quadrants(10, 10);
    quadrants.SetRGB(wxRect(0, 0, 5, 5), 255, 0, 0);
    quadrants.SetRGB(wxRect(5, 0, 5, 5), 0, 255, 0);
    quadrants.SetRGB(wxRect(0, 5, 5, 5), 0, 0, 255);
    quadrants.SetRGB(wxRect(5, 5, 5, 5), 255, 255, 0);
    panel->SetBitmap(wxBitmap(quadrants));
    const wxImage image = paintPanel(*panel, {110, 60}, {4, 6});
    const wxColour quadrantColors[] = {kRed, kGreen, kBlue, kYellow};
    for (int q = 0; q < 4; ++q) {
        const int x = 4 + q % 2 * 50, y = 6 + q / 2 * 25;
        SCOPED_TRACE(q);
        // Outer corner and middle of each quadrant.
        expectPixels(image, {{x + q % 2 * 49, y + q / 2 * 24, quadrantColors[q]},
                             {x + 25, y + 12, quadrantColors[q]}});
    }
    expectPixels(image, {{3, 6, kMarker}, {104, 55, kMarker}, {103, 56, kMarker}});

    // A new size rebuilds the picture; without a bitmap the background colour shows again.
    panel->SetSize(wxSize(40, 20));
    test::processPendingEvents();
    expectPixels(paintPanel(*panel, {40, 20}), {{39, 19, kYellow}, {30, 4, kGreen}});
    panel->SetBackgroundColour(kBlue);
    panel->SetBitmap(wxNullBitmap);
    expectPixels(paintPanel(*panel, {40, 20}), {{39, 19, kBlue}});
}

TEST(Panels, ScalingImagePanelAsksForAVersionOnlyWhenSizeOrImageChanges)
{
    auto panel = makePanel<CScalingImagePanel>(wxSize(80, 40));
    expectPixels(paintPanel(*panel, {90, 50}, {3, 2}), {{3, 2, kWhite}, {82, 41, kWhite}, {83, 42, kMarker}});

    zil::P<CCountingScalingImage> green(new CCountingScalingImage(kGreen));
    panel->setImage(green.get());
    paintPanel(*panel, {90, 50}, {3, 2});
    expectPixels(paintPanel(*panel, {90, 50}, {3, 2}), {{3, 2, kGreen}, {82, 41, kGreen}, {2, 2, kMarker}});
    EXPECT_EQ(green->requests, 1);
    EXPECT_EQ(green->lastSize, wxSize(80, 40));

    panel->SetSize(wxSize(30, 20));
    paintPanel(*panel, {30, 20});
    EXPECT_EQ(green->requests, 2);
    EXPECT_EQ(green->lastSize, wxSize(30, 20));

    zil::P<CCountingScalingImage> blue(new CCountingScalingImage(kBlue));
    panel->setImage(blue.get());
    expectPixels(paintPanel(*panel, {30, 20}), {{15, 10, kBlue}});
    EXPECT_EQ(blue->requests, 1);
    EXPECT_EQ(green->requests, 2);
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
    for (int y = 10; y < 100; y += 10) {
        SCOPED_TRACE(y);
        EXPECT_LT(image.GetRed(10, y), image.GetRed(10, y - 10));
        EXPECT_GT(image.GetBlue(10, y), image.GetBlue(10, y - 10));
        EXPECT_EQ(image.GetGreen(10, y), 0);
    }
    EXPECT_LT(image.GetRed(10, 99), 5);
    EXPECT_GT(image.GetBlue(10, 99), 250);

    // A set gradient wins; null goes back to the window's colours, which may have changed.
    panel->setGradient(zil::P<IGradient>(new CSingleColorGradient(kGreen)).get());
    expectPixels(paintPanel(*panel, {20, 100}), {{10, 0, kGreen}, {19, 99, kGreen}});
    panel->setGradient(nullptr);
    panel->SetForegroundColour(kYellow);
    expectPixels(paintPanel(*panel, {20, 100}), {{10, 0, kYellow}});
}

TEST(Panels, GradientPanelOverlaysCoverThePanelAndBadIndexesAreRefused)
{
    auto panel = makePanel<CGradientPanel>(wxSize(60, 30));
    panel->setGradient(zil::P<IGradient>(new CSingleColorGradient(kBlue)).get());
    zil::P<CCountingScalingImage> green(new CCountingScalingImage(kGreen)),
        yellow(new CCountingScalingImage(kYellow));
    panel->addOverlay(nullptr);
    panel->addOverlay(green.get());

    struct Step { const char* what; int index; IScalingImage* image; wxColour expected; };
    const Step steps[] = {{"null under green", -1, nullptr, kGreen},
                          {"green made null", 1, nullptr, kBlue},
                          {"null made yellow", 0, yellow.get(), kYellow},
                          {"green over yellow", 1, green.get(), kGreen}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.index >= 0)
            panel->changeOverlay(s.index, s.image);
        wxImage image = paintPanel(*panel, {70, 40}, {5, 5});
        expectPixels(image, {{5, 5, s.expected}, {64, 34, s.expected}, {65, 35, kMarker}});
    }
    EXPECT_EQ(yellow->lastSize, wxSize(60, 30));
    const int greenRequests = green->requests;
    paintPanel(*panel, {60, 30});
    EXPECT_EQ(green->requests, greenRequests);

    for (int index : {-1, 2, 1000}) {
        SCOPED_TRACE(index);
        try {
            panel->changeOverlay(index, green.get());
            ADD_FAILURE() << "no error";
        } catch (const zil::CInvalidArgError& e) {
            EXPECT_EQ(e.getProp(L"index"), zil::toString(int64_t(index)));
            EXPECT_EQ(e.getProp(L"count"), L"2");
            EXPECT_NE(e.getMessage().find(zil::toString(int64_t(index))), zil::String::npos);
        }
    }
}

TEST(Panels, GradientPanelTextOverlaysAtPointPlusPositionKeepTheFont)
{
    auto panel = makePanel<CGradientPanel>(wxSize(120, 60));
    panel->setGradient(zil::P<IGradient>(new CSingleColorGradient(kWhite)).get());
    const wxFont big(wxFontInfo(20).Bold()), dcFont(wxFontInfo(7).Italic());
    panel->addTextOverlay(L"H", wxPoint(30, 10), big, *wxBLACK);
    panel->addTextOverlay(L"H", wxPoint(80, 10), big, kRed);
    // Invalid font and colour: drawn with the ones before, red and big, without a toolkit complaint.
    panel->addTextOverlay(L"H", wxPoint(80, 35), wxFont(), wxColour());
    wxImage image = paintInto({130, 70}, [&](wxDC& dc) {
        dc.SetFont(dcFont);
        dc.SetTextForeground(*wxBLUE);
        panel->paint(dc, {5, 7});
        EXPECT_EQ(dc.GetFont(), dcFont);
        EXPECT_EQ(dc.GetTextForeground(), *wxBLUE);
    });
    const int first = firstDarkColumn(image, 5);
    EXPECT_GE(first, 35);
    EXPECT_LT(first, 45);
    EXPECT_EQ(firstDarkColumn(image.GetSubImage(wxRect(0, 0, 130, 17))), -1);
    auto redPixels = [&](int top, int bottom) {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 85; x < 120; ++x)
                count += image.GetRed(x, y) > 200 && image.GetGreen(x, y) < 60 && image.GetBlue(x, y) < 60;
        return count;
    };
    EXPECT_GT(redPixels(17, 46), 10);
    EXPECT_GT(redPixels(50, 70), 10);
}

namespace {
// The toolkit's factor replaced by a chosen one.
class CScaledImageAndTextPanel : public CImageAndTextPanel {
public:
    CScaledImageAndTextPanel(double factor, const wxBitmap& bitmap, const zil::String& text)
        : m_factor(factor)
    {
        create(bitmap, text, &test::sharedFrame());
        SetSize(200, 40);
        SetForegroundColour(*wxBLACK);
    }
    wxImage paintImage()
    {
        return paintInto({200, 40}, [&](wxDC& dc) { paintContents(dc); });
    }
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
        firstDarkColumn(ScaledPanel(new CScaledImageAndTextPanel(1, wxNullBitmap, L"H"))->paintImage());
    ASSERT_GE(bearing, 0);
    ASSERT_LT(bearing, 8);

    struct Case { double factor; int space; int textX; };
    const Case cases[] = {{1.5, 10, 31}, {1.0, 10, 26}, {1.1, 3, 20}, {2.0, 0, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "factor " << c.factor << " space " << c.space);
        ScaledPanel panel(new CScaledImageAndTextPanel(c.factor, solidBitmap(16, 16, kGreen), L"H"));
        panel->setImageTextSpace(c.space);
        panel->paintImage();
        wxImage image = panel->paintImage();
        EXPECT_EQ(firstDarkColumn(image, 16), c.textX + bearing);
        // The bitmap sits at y = (40 - 16) / 2.
        expectPixels(image, {{0, 12, kGreen}, {15, 27, kGreen}, {0, 11, kMarker}, {0, 28, kMarker}});
        EXPECT_EQ(panel->queries, 1);
    }

    ScaledPanel panel(new CScaledImageAndTextPanel(1.0, solidBitmap(16, 16, kGreen), L"H"));
    const wxBitmap red = solidBitmap(8, 8, kRed);
    panel->setOverlayBitmap(&red);
    expectPixels(panel->paintImage(), {{0, 12, kRed}, {15, 27, kGreen}});
    panel->setOverlayBitmap(nullptr);
    expectPixels(panel->paintImage(), {{0, 12, kGreen}});
}

TEST(Panels, ImageAndTextPanelBestSize)
{
    ScaledPanel panel(new CScaledImageAndTextPanel(1.5, wxNullBitmap, L"Hello\nworld"));
    const wxSize text = panel->GetBestSize();
    ASSERT_GT(text.y, 0);
    struct Case { const char* what; wxBitmap bitmap; int space; wxSize expected; };
    const Case cases[] = {{"short bitmap", solidBitmap(16, 4, kRed), 10, {text.x + 16 + 15, text.y}},
                          {"tall bitmap", solidBitmap(16, text.y + 9, kRed), 10, {text.x + 31, text.y + 9}},
                          {"space rounds up", solidBitmap(5, 5, kRed), 3, {text.x + 5 + 5, text.y}},
                          {"no bitmap, no space", wxNullBitmap, 10, text}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        panel->setBitmap(c.bitmap);
        panel->setImageTextSpace(c.space);
        EXPECT_EQ(panel->GetBestSize(), c.expected);
    }
}

TEST(Panels, ImageAndTextPanelSeesThroughToAPaintableParent)
{
    auto gradient = makePanel<CGradientPanel>(wxSize(100, 60));
    gradient->setGradient(zil::P<IGradient>(new CSingleColorGradient(kGreen)).get());
    Owned<wxPanel> plain(new wxPanel(&test::sharedFrame()));
    struct Case { const char* what; wxWindow* parent; bool seeThrough; wxColour expected; };
    const Case cases[] = {{"paintable parent", gradient.get(), true, kGreen},
                          {"see-through off", gradient.get(), false, kMarker},
                          {"parent not paintable", plain.get(), true, kMarker}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Owned<CImageAndTextPanel> panel(new CImageAndTextPanel(wxNullBitmap, L"", c.parent));
        panel->SetSize(70, 50, 40, 20);
        panel->setSeeThrough(c.seeThrough);
        wxImage image = paintInto({40, 20}, [&](wxDC& dc) {
            wxEraseEvent event(panel->GetId(), &dc);
            panel->GetEventHandler()->ProcessEvent(event);
        });
        // The parent is 100 by 60, so only a negated offset leaves 30 by 10 of it in view.
        expectPixels(image, {{0, 0, c.expected}, {29, 9, c.expected}, {30, 9, kMarker}, {29, 10, kMarker}});
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
