// SPDX-License-Identifier: MIT
#include "support/guitest.h"

#include <zilui/graphics/panels.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/dcmemory.h>
#include <wx/frame.h>

#include <memory>

using namespace zilui;

namespace {

const wxColour kMarker(200, 30, 90);
const wxColour kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kYellow(255, 255, 0);

// Destroys the window at the end of a test.
struct WindowCloser {
    void operator()(wxWindow* window) const { window->Destroy(); }
};
template <class T>
using Owned = std::unique_ptr<T, WindowCloser>;

template <class T>
Owned<T> makePanel(const wxSize& size)
{
    return Owned<T>(new T(&test::sharedFrame(), wxID_ANY, wxDefaultPosition, size));
}

// A marker-filled bitmap of `size` that `draw` paints into.
template <class F>
wxImage paintInto(const wxSize& size, F draw)
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

wxColour pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

std::string str(const wxColour& color)
{
    return color.GetAsString(wxC2S_CSS_SYNTAX).ToStdString();
}

// A picture of one colour that fills its whole size.
class CFlatImage : public zil::CBase, public virtual IImage {
public:
    CFlatImage(const wxSize& size, const wxColour& color) : m_size(size), m_color(color) {}
    wxSize getSize() override { return m_size; }
    void paint(wxDC& dc, const wxPoint& point) override
    {
        // Round joins, the default, leave the corner pixels partly covered under cairo.
        wxPen pen(m_color);
        pen.SetJoin(wxJOIN_MITER);
        dc.SetPen(pen);
        dc.SetBrush(wxBrush(m_color));
        dc.DrawRectangle(point, m_size);
    }
    wxBitmap getBitmap() override { return wxBitmap(); }

private:
    wxSize m_size;
    wxColour m_color;
};

// Hands out flat versions and counts the requests.
class CCountingScalingImage : public zil::CBase, public virtual IScalingImage {
public:
    explicit CCountingScalingImage(const wxColour& color) : m_color(color) {}
    wxSize getBaseSize() override { return wxSize(4, 4); }
    zil::P<IImage> getScaledVersion(const wxSize& size) override
    {
        ++requests;
        lastSize = size;
        return zil::P<IImage>(new CFlatImage(size, m_color));
    }
    int requests = 0;
    wxSize lastSize;

private:
    wxColour m_color;
};

// Quadrants red, green / blue, yellow.
wxBitmap quadrantBitmap()
{
    wxImage image(10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const wxColour& c = y < 5 ? (x < 5 ? kRed : kGreen) : (x < 5 ? kBlue : kYellow);
            image.SetRGB(x, y, c.Red(), c.Green(), c.Blue());
        }
    return wxBitmap(image);
}

// Left edge of the first column with a dark pixel from `from` on, or -1.
int firstDarkColumn(const wxImage& image, int from = 0)
{
    for (int x = from; x < image.GetWidth(); ++x)
        for (int y = 0; y < image.GetHeight(); ++y)
            if (image.GetRed(x, y) < 128 && image.GetGreen(x, y) < 128 && image.GetBlue(x, y) < 128)
                return x;
    return -1;
}

} // namespace

TEST(Panels, BitmapPanelStretchesOrFillsWithTheBackground)
{
    auto panel = makePanel<CBitmapPanel>(wxSize(100, 50));
    ASSERT_EQ(panel->GetClientSize(), wxSize(100, 50));
    wxImage empty = paintInto({110, 60}, [&](wxDC& dc) { panel->paint(dc, {4, 6}); });
    EXPECT_EQ(str(pixel(empty, 4, 6)), "rgb(255, 255, 255)");
    EXPECT_EQ(str(pixel(empty, 103, 55)), "rgb(255, 255, 255)");
    EXPECT_EQ(str(pixel(empty, 3, 6)), str(kMarker));
    EXPECT_EQ(str(pixel(empty, 104, 56)), str(kMarker));

    panel->SetBitmap(quadrantBitmap());
    wxImage image = paintInto({110, 60}, [&](wxDC& dc) { panel->paint(dc, {4, 6}); });
    struct Probe { int x, y; wxColour color; };
    const Probe probes[] = {{0, 0, kRed},    {99, 0, kGreen},  {0, 49, kBlue},  {99, 49, kYellow},
                            {25, 12, kRed},  {74, 12, kGreen}, {25, 37, kBlue}, {74, 37, kYellow},
                            {-1, 0, kMarker}, {100, 49, kMarker}, {99, 50, kMarker}};
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(str(pixel(image, 4 + p.x, 6 + p.y)), str(p.color));
    }

    // A new size rebuilds the picture; an invalid bitmap goes back to the background colour.
    panel->SetSize(wxSize(40, 20));
    test::processPendingEvents();
    image = paintInto({40, 20}, [&](wxDC& dc) { panel->paint(dc, {0, 0}); });
    EXPECT_EQ(str(pixel(image, 39, 19)), str(kYellow));
    EXPECT_EQ(str(pixel(image, 30, 4)), str(kGreen));
    panel->SetBackgroundColour(kBlue);
    panel->SetBitmap(wxNullBitmap);
    image = paintInto({40, 20}, [&](wxDC& dc) { panel->paint(dc, {0, 0}); });
    EXPECT_EQ(str(pixel(image, 39, 19)), str(kBlue));
}

TEST(Panels, ScalingImagePanelAsksForAVersionOnlyWhenSizeOrImageChanges)
{
    auto panel = makePanel<CScalingImagePanel>(wxSize(80, 40));
    EXPECT_EQ(panel->getPaintSize(), wxSize(80, 40));
    wxImage image = paintInto({90, 50}, [&](wxDC& dc) { panel->paint(dc, {3, 2}); });
    EXPECT_EQ(str(pixel(image, 3, 2)), "rgb(255, 255, 255)");
    EXPECT_EQ(str(pixel(image, 82, 41)), "rgb(255, 255, 255)");
    EXPECT_EQ(str(pixel(image, 83, 42)), str(kMarker));

    zil::P<CCountingScalingImage> green(new CCountingScalingImage(kGreen));
    panel->setImage(green.get());
    for (int i = 0; i < 2; ++i)
        image = paintInto({90, 50}, [&](wxDC& dc) { panel->paint(dc, {3, 2}); });
    EXPECT_EQ(green->requests, 1);
    EXPECT_EQ(green->lastSize, wxSize(80, 40));
    EXPECT_EQ(str(pixel(image, 3, 2)), str(kGreen));
    EXPECT_EQ(str(pixel(image, 82, 41)), str(kGreen));
    EXPECT_EQ(str(pixel(image, 2, 2)), str(kMarker));

    panel->SetSize(wxSize(30, 20));
    paintInto({30, 20}, [&](wxDC& dc) { panel->paint(dc, {0, 0}); });
    EXPECT_EQ(green->requests, 2);
    EXPECT_EQ(green->lastSize, wxSize(30, 20));

    // Another image, even at the same size, is asked anew; the old one no more.
    zil::P<CCountingScalingImage> blue(new CCountingScalingImage(kBlue));
    panel->setImage(blue.get());
    image = paintInto({30, 20}, [&](wxDC& dc) { panel->paint(dc, {0, 0}); });
    EXPECT_EQ(blue->requests, 1);
    EXPECT_EQ(green->requests, 2);
    EXPECT_EQ(str(pixel(image, 15, 10)), str(kBlue));
    panel->setImage(nullptr);
    image = paintInto({30, 20}, [&](wxDC& dc) { panel->paint(dc, {0, 0}); });
    EXPECT_EQ(str(pixel(image, 15, 10)), "rgb(255, 255, 255)");
}

TEST(Panels, GradientPanelDefaultsToForegroundOverBackground)
{
    auto panel = makePanel<CGradientPanel>(wxSize(20, 100));
    panel->SetForegroundColour(kRed);
    panel->SetBackgroundColour(kBlue);
    wxImage image = paintInto({20, 100}, [&](wxDC& dc) { panel->paint(dc, {0, 0}); });
    EXPECT_EQ(str(pixel(image, 10, 0)), str(kRed));
    for (int y = 10; y < 100; y += 10) {
        SCOPED_TRACE(y);
        const wxColour above = pixel(image, 10, y - 10), here = pixel(image, 10, y);
        EXPECT_LT(here.Red(), above.Red());
        EXPECT_GT(here.Blue(), above.Blue());
        EXPECT_EQ(here.Green(), 0);
    }
    EXPECT_LT(pixel(image, 10, 99).Red(), 5);
    EXPECT_GT(pixel(image, 10, 99).Blue(), 250);

    // A set gradient wins; null goes back to the window's colours, which may have changed.
    panel->setGradient(zil::P<IGradient>(new CSingleColorGradient(kGreen)).get());
    image = paintInto({20, 100}, [&](wxDC& dc) { panel->paint(dc, {0, 0}); });
    EXPECT_EQ(str(pixel(image, 10, 0)), str(kGreen));
    EXPECT_EQ(str(pixel(image, 19, 99)), str(kGreen));
    panel->setGradient(nullptr);
    panel->SetForegroundColour(kYellow);
    image = paintInto({20, 100}, [&](wxDC& dc) { panel->paint(dc, {0, 0}); });
    EXPECT_EQ(str(pixel(image, 10, 0)), str(kYellow));
}

TEST(Panels, GradientPanelOverlaysCoverThePanelAndBadIndexesAreRefused)
{
    auto panel = makePanel<CGradientPanel>(wxSize(60, 30));
    panel->setGradient(zil::P<IGradient>(new CSingleColorGradient(kBlue)).get());
    zil::P<CCountingScalingImage> green(new CCountingScalingImage(kGreen));
    zil::P<CCountingScalingImage> yellow(new CCountingScalingImage(kYellow));
    panel->addOverlay(nullptr);
    panel->addOverlay(green.get());

    struct Step { const char* what; int index; IScalingImage* image; wxColour expected; };
    const Step steps[] = {
        {"null under green", -1, nullptr, kGreen},
        {"green made null", 1, nullptr, kBlue},
        {"null made yellow", 0, yellow.get(), kYellow},
        {"green over yellow", 1, green.get(), kGreen},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.index >= 0)
            panel->changeOverlay(s.index, s.image);
        wxImage image = paintInto({70, 40}, [&](wxDC& dc) { panel->paint(dc, {5, 5}); });
        for (wxPoint p : {wxPoint(5, 5), wxPoint(64, 5), wxPoint(5, 34), wxPoint(64, 34)})
            EXPECT_EQ(str(pixel(image, p.x, p.y)), str(s.expected)) << p.x << "," << p.y;
        EXPECT_EQ(str(pixel(image, 65, 35)), str(kMarker));
    }
    EXPECT_EQ(green->lastSize, wxSize(60, 30));
    EXPECT_EQ(yellow->lastSize, wxSize(60, 30));
    const int greenRequests = green->requests;
    paintInto({60, 30}, [&](wxDC& dc) { panel->paint(dc, {0, 0}); });
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
            EXPECT_EQ(e.getSource(), L"CGradientPanel::changeOverlay");
        }
    }
    EXPECT_EQ(panel->getOverlays().size(), 2u);
}

TEST(Panels, GradientPanelTextOverlaysAtPointPlusPositionKeepTheFont)
{
    auto panel = makePanel<CGradientPanel>(wxSize(120, 60));
    panel->setGradient(zil::P<IGradient>(new CSingleColorGradient(*wxWHITE)).get());
    wxFont big(wxFontInfo(20).Bold());
    panel->addTextOverlay(L"H", wxPoint(30, 10), big, *wxBLACK);
    panel->addTextOverlay(L"H", wxPoint(80, 10), big, kRed);

    const wxFont dcFont(wxFontInfo(7).Italic());
    wxImage image = paintInto({130, 70}, [&](wxDC& dc) {
        dc.SetFont(dcFont);
        panel->paint(dc, {5, 7});
        EXPECT_EQ(dc.GetFont(), dcFont);
    });
    const int first = firstDarkColumn(image, 5);
    EXPECT_GE(first, 35);
    EXPECT_LT(first, 45);
    int topmost = -1, reddish = 0;
    for (int y = 0; y < image.GetHeight() && topmost < 0; ++y)
        for (int x = 5; x < 80; ++x)
            if (pixel(image, x, y) == *wxBLACK) {
                topmost = y;
                break;
            }
    EXPECT_GE(topmost, 17);
    for (int y = 17; y < 60; ++y)
        for (int x = 85; x < 120; ++x)
            reddish += image.GetRed(x, y) > 200 && image.GetGreen(x, y) < 60;
    EXPECT_GT(reddish, 10);
}

namespace {
// The toolkit's factor replaced by a chosen one.
class CScaledImageAndTextPanel : public CImageAndTextPanel {
public:
    CScaledImageAndTextPanel(double factor, const wxBitmap& bitmap, const zil::String& text)
        : m_factor(factor)
    {
        create(bitmap, text, &test::sharedFrame());
    }

protected:
    double queryUICoordScaleFactor() const override
    {
        ++queries;
        return m_factor;
    }

public:
    mutable int queries = 0;

private:
    double m_factor;
};

wxBitmap solidBitmap(int width, int height, const wxColour& color)
{
    wxImage image(width, height);
    image.SetRGB(wxRect(0, 0, width, height), color.Red(), color.Green(), color.Blue());
    return wxBitmap(image);
}
} // namespace

TEST(Panels, ImageAndTextPanelPlacesBitmapOverlayAndScaledSpace)
{
    // Where the label's first ink lies when it starts at x = 0.
    Owned<CScaledImageAndTextPanel> bare(new CScaledImageAndTextPanel(1.0, wxNullBitmap, L"H"));
    bare->SetSize(200, 40);
    bare->SetForegroundColour(*wxBLACK);
    const int bearing = firstDarkColumn(paintInto({200, 40}, [&](wxDC& dc) { bare->paintContents(dc); }));
    ASSERT_GE(bearing, 0);
    ASSERT_LT(bearing, 8);

    struct Case { double factor; int space; int textX; };
    const Case cases[] = {{1.5, 10, 31}, {1.0, 10, 26}, {1.1, 3, 20}, {2.0, 0, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "factor " << c.factor << " space " << c.space);
        Owned<CScaledImageAndTextPanel> panel(
            new CScaledImageAndTextPanel(c.factor, solidBitmap(16, 16, kGreen), L"H"));
        panel->SetSize(200, 40);
        panel->SetForegroundColour(*wxBLACK);
        panel->setImageTextSpace(c.space);
        wxImage image = paintInto({200, 40}, [&](wxDC& dc) { panel->paintContents(dc); });
        EXPECT_EQ(firstDarkColumn(image, 16), c.textX + bearing);
        // The bitmap sits at y = (40 - 16) / 2.
        EXPECT_EQ(str(pixel(image, 0, 12)), str(kGreen));
        EXPECT_EQ(str(pixel(image, 15, 27)), str(kGreen));
        EXPECT_NE(str(pixel(image, 0, 11)), str(kGreen));
        EXPECT_NE(str(pixel(image, 0, 28)), str(kGreen));
        paintInto({200, 40}, [&](wxDC& dc) { panel->paintContents(dc); });
        EXPECT_EQ(panel->queries, 1);
    }

    Owned<CScaledImageAndTextPanel> panel(
        new CScaledImageAndTextPanel(1.0, solidBitmap(16, 16, kGreen), L"H"));
    panel->SetSize(200, 40);
    const wxBitmap red = solidBitmap(8, 8, kRed);
    panel->setOverlayBitmap(&red);
    wxImage image = paintInto({200, 40}, [&](wxDC& dc) { panel->paintContents(dc); });
    EXPECT_EQ(str(pixel(image, 0, 12)), str(kRed));
    EXPECT_EQ(str(pixel(image, 15, 27)), str(kGreen));
    panel->setOverlayBitmap(nullptr);
    EXPECT_EQ(panel->getOverlayBitmap(), nullptr);
    image = paintInto({200, 40}, [&](wxDC& dc) { panel->paintContents(dc); });
    EXPECT_EQ(str(pixel(image, 0, 12)), str(kGreen));
}

TEST(Panels, ImageAndTextPanelBestSize)
{
    Owned<CScaledImageAndTextPanel> panel(new CScaledImageAndTextPanel(1.5, wxNullBitmap, L"Hello\nworld"));
    const wxSize text = panel->GetBestSize();
    ASSERT_GT(text.x, 0);
    ASSERT_GT(text.y, 0);

    struct Case { const char* what; wxBitmap bitmap; int space; wxSize expected; };
    const Case cases[] = {
        {"short bitmap", solidBitmap(16, 4, kRed), 10, {text.x + 16 + 15, text.y}},
        {"tall bitmap", solidBitmap(16, text.y + 9, kRed), 10, {text.x + 16 + 15, text.y + 9}},
        {"odd space rounds up", solidBitmap(5, 5, kRed), 3, {text.x + 5 + 5, text.y}},
        {"no bitmap, space ignored", wxNullBitmap, 10, text},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        panel->setBitmap(c.bitmap);
        panel->setImageTextSpace(c.space);
        EXPECT_EQ(panel->GetBestSize(), c.expected);
    }
    EXPECT_EQ(CImageAndTextPanel::getBitmapSize(wxNullBitmap), wxSize(0, 0));
}

TEST(Panels, ImageAndTextPanelSeesThroughToAPaintableParent)
{
    auto gradient = makePanel<CGradientPanel>(wxSize(100, 60));
    gradient->setGradient(zil::P<IGradient>(new CSingleColorGradient(kGreen)).get());
    gradient->addTextOverlay(L"H", wxPoint(0, 0), wxFont(wxFontInfo(10)), *wxBLACK);
    auto* plainParent = new wxPanel(&test::sharedFrame());
    Owned<wxPanel> plainOwner(plainParent);

    struct Case { const char* what; wxWindow* parent; bool seeThrough; bool painted; };
    const Case cases[] = {
        {"paintable parent", gradient.get(), true, true},
        {"see-through off", gradient.get(), false, false},
        {"parent not paintable", plainParent, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Owned<CImageAndTextPanel> panel(new CImageAndTextPanel(wxNullBitmap, L"", c.parent));
        panel->SetSize(30, 20, 40, 20);
        panel->setSeeThrough(c.seeThrough);
        wxImage image = paintInto({40, 20}, [&](wxDC& dc) {
            wxEraseEvent event(panel->GetId(), &dc);
            event.SetEventObject(panel.get());
            panel->GetEventHandler()->ProcessEvent(event);
        });
        // The parent's text at its own origin lies outside the panel.
        EXPECT_EQ(str(pixel(image, 0, 0)), str(c.painted ? kGreen : kMarker));
        EXPECT_EQ(str(pixel(image, 39, 19)), str(c.painted ? kGreen : kMarker));
    }
}

TEST(Panels, DynamicallyCreatableByName)
{
    for (const char* name : {"zilui::CBitmapPanel", "zilui::CScalingImagePanel",
                             "zilui::CGradientPanel", "zilui::CImageAndTextPanel"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<wxObject> object(wxCreateDynamicObject(name));
        ASSERT_NE(object, nullptr);
        EXPECT_TRUE(object->IsKindOf(wxCLASSINFO(wxPanel)));
        EXPECT_EQ(object->GetClassInfo()->GetClassName(), wxString(name));
    }
}
