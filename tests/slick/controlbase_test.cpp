// SPDX-License-Identifier: MIT
#include "slick/slicktestutil.h"
#include "support/guitest.h"

#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>
#include <zilui/slick/controls.h>

#include <gtest/gtest.h>

#include <wx/dcclient.h>

using namespace zilui;
using zilui::test::countNear;
using zilui::test::isNear;
using zilui::test::paintToImage;
using zilui::test::pixelAt;

namespace {

using Skin = CSlickButtonSkin;

// A plain button skin: no border, no text, one background colour in every state.
zil::P<Skin> flatSkin(const wxColour& background = *wxWHITE)
{
    zil::P<Skin> skin(new Skin());
    skin->setBorderType(Skin::BorderNone);
    for (int s = 0; s < Skin::StateCount; ++s)
        skin->getStateSkin(static_cast<CSlickButton::State>(s)).setBackgroundColor(background);
    return skin;
}

wxImage solidImage(int width, int height, const wxColour& colour, unsigned char alpha = 255)
{
    wxImage image(width, height);
    image.SetRGB(wxRect(0, 0, width, height), colour.Red(), colour.Green(), colour.Blue());
    image.InitAlpha();
    memset(image.GetAlpha(), alpha, size_t(width) * height);
    return image;
}

// Counts the versions it scales, to tell shared versions from private copies.
class CCountingScalingImage : public CScalingImage {
public:
    using CScalingImage::CScalingImage;
    int created = 0;

protected:
    wxBitmap createScaledBitmap(const wxSize& size) override
    {
        ++created;
        return CScalingImage::createScaledBitmap(size);
    }
};

} // namespace

TEST(SlickControlBase, LayoutPlacesTextAndImage)
{
    // Content margins 3 and space 4 (the defaults); client 100 x 40, so 94 x 34 available.
    struct Case {
        const char* name;
        Skin::ImagePos pos;
        double hA, vA;
        wxSize client, text, image;
        wxRect expectedText, expectedImage;
        wxSize expectedContent;
        int expectedMaxTextWidth;
    } cases[] = {
        {"left, top-left", Skin::ImageLeft, 0, 0, {100, 40}, {30, 10}, {16, 16}, {23, 3, 30, 10}, {3, 3, 16, 16}, {50, 16}, 74},
        {"left, bottom-right", Skin::ImageLeft, 1, 1, {100, 40}, {30, 10}, {16, 16}, {67, 27, 30, 10}, {47, 21, 16, 16}, {50, 16}, 74},
        {"right, centred", Skin::ImageRight, 0.5, 0.5, {100, 40}, {30, 10}, {16, 16}, {25, 15, 30, 10}, {59, 12, 16, 16}, {50, 16}, 74},
        {"top, top-left", Skin::ImageTop, 0, 0, {100, 40}, {30, 10}, {16, 16}, {3, 23, 30, 10}, {3, 3, 16, 16}, {30, 30}, 94},
        {"bottom, bottom-right", Skin::ImageBottom, 1, 1, {100, 40}, {30, 10}, {16, 16}, {67, 7, 30, 10}, {81, 21, 16, 16}, {30, 30}, 94},
        {"no image, space still counts", Skin::ImageLeft, 0, 0, {100, 40}, {30, 10}, {0, 0}, {7, 3, 30, 10}, {3, 3, 0, 0}, {34, 10}, 90},
        {"vertical, no image", Skin::ImageBottom, 0, 0, {100, 40}, {10, 10}, {0, 0}, {3, 3, 10, 10}, {3, 17, 0, 0}, {10, 14}, 94},
        // (14 - 35) * 0.5 = -10.5 truncates towards zero to -10.
        {"too narrow, truncation", Skin::ImageLeft, 0.5, 0, {20, 40}, {31, 10}, {0, 0}, {-3, 3, 31, 10}, {-7, 3, 0, 0}, {35, 10}, 10},
    };
    test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "");
    ASSERT_EQ(button->getUICoordScaleFactor(), 1.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        zil::P<Skin> skin(new Skin());
        skin->setImagePos(c.pos);
        skin->setContentHorzAlign(c.hA);
        skin->setContentVertAlign(c.vA);
        button->setSkin(skin.get());
        wxRect text, image;
        button->layoutContents(text, image, c.client, c.text, c.image);
        EXPECT_EQ(text, c.expectedText);
        EXPECT_EQ(image, c.expectedImage);
        EXPECT_EQ(button->getContentSize(c.text, c.image), c.expectedContent);
        EXPECT_EQ(button->getMaxAvailableTextWidth(c.client, c.image), c.expectedMaxTextWidth);
    }
}

TEST(SlickControlBase, BestSizeFromLabelBitmapAndMargins)
{
    test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "Hello there");
    wxClientDC dc(button);
    dc.SetFont(button->GetFont());
    const wxSize text = dc.GetMultiLineTextExtent("Hello there");

    EXPECT_EQ(button->GetBestSize(), wxSize(3 + text.x + 4 + 3, 3 + text.y + 3));

    // The largest state counts: a tall bitmap in one state only.
    button->setStateBitmap(CSlickButton::Disabled, wxBitmap(solidImage(16, text.y + 10, *wxRED)));
    button->InvalidateBestSize();
    EXPECT_EQ(button->GetBestSize(), wxSize(3 + text.x + 4 + 16 + 3, 3 + text.y + 10 + 3));

    zil::P<Skin> vertical(new Skin());
    vertical->setImagePos(Skin::ImageTop);
    button->setSkin(vertical.get());
    EXPECT_EQ(button->GetBestSize(), wxSize(3 + text.x + 3, 3 + text.y + 4 + text.y + 10 + 3));

    // A client sizer is laid out between the client margins and counts for the best size.
    zil::P<Skin> margins = flatSkin();
    margins->setClientMargins(zil::CMargins(5, 6, 7, 8));
    button->setSkin(margins.get());
    auto* client = new wxBoxSizer(wxVERTICAL);
    client->Add(400, 200);
    button->setClientSizer(client);
    EXPECT_EQ(button->GetSizer()->GetItem(size_t(0))->GetSize().x, 5);
    EXPECT_EQ(button->GetBestSize(), button->ClientToWindowSize(wxSize(5 + 400 + 7, 6 + 200 + 8)));
    button->SetSizer(nullptr);

    // Wrapping styled text: a maximum width wraps it, -1 means no limit.
    zil::P<CTextStyle> wrapping(new CTextStyle());
    wrapping->setWrapText(true);
    button->setSkin(flatSkin().get());
    button->setStateBitmap(CSlickButton::Disabled, wxNullBitmap);
    button->SetLabel("one two three four five six seven");
    button->SetLabelLineStyles({wrapping}, CTextStyleFontCache::getDefaultGUIFontCache().get());
    const wxSize unlimited = button->GetBestSize();
    button->SetMaxSize(wxSize(unlimited.x / 2, -1));
    button->InvalidateBestSize();
    const wxSize limited = button->GetBestSize();
    EXPECT_LE(limited.x, unlimited.x / 2);
    EXPECT_GT(limited.y, unlimited.y);
}

TEST(SlickControlBase, PaintsBackgroundAndImagesPerState)
{
    const wxColour red(220, 0, 0), blue(0, 0, 220), green(0, 200, 0), magenta(200, 0, 200), teal(0, 120, 120);
    // Left half transparent, right half magenta: the overlay must leave the left alone.
    wxImage halfOverlay = solidImage(20, 10, magenta);
    for (int y = 0; y < 10; ++y)
        memset(halfOverlay.GetAlpha() + y * 20, 0, 10);

    zil::P<Skin> skin = flatSkin(teal);
    skin->getStateSkin(CSlickButton::Hover).setBackgroundGradient(new CLinearGradient(red, blue));
    auto& disabled = skin->getStateSkin(CSlickButton::Disabled);
    disabled.setUnderlayImage(new CScalingImage(solidImage(1, 1, green)));
    disabled.setOverlayImage(new CScalingImage(halfOverlay));

    test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(60, 30));
    button->setSkin(skin.get());

    wxImage image = paintToImage(*button);
    EXPECT_EQ(countNear(image, wxRect(0, 0, 60, 30), teal, 0), 60 * 30);

    button->setOwnHover(true);
    image = paintToImage(*button);
    EXPECT_TRUE(isNear(pixelAt(image, 30, 0), red, 12)) << pixelAt(image, 30, 0).GetAsString();
    EXPECT_TRUE(isNear(pixelAt(image, 30, 29), blue, 12)) << pixelAt(image, 30, 29).GetAsString();

    button->Disable();
    image = paintToImage(*button);
    EXPECT_EQ(countNear(image, wxRect(0, 0, 10, 30), green), 10 * 30);
    EXPECT_EQ(countNear(image, wxRect(50, 0, 10, 30), magenta), 10 * 30);
}

namespace {

// Paints a stripe at x 100 to 109 of its own coordinates for see-through children.
class CStripedPanel : public wxPanel, public IWXPaintable {
public:
    using wxPanel::wxPanel;
    wxSize getPaintSize() override { return GetClientSize(); }
    void paint(wxDC& dc, const wxPoint& point) override
    {
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(*wxBLUE_BRUSH);
        dc.DrawRectangle(point.x, point.y, 400, 300);
        dc.SetBrush(*wxRED_BRUSH);
        dc.DrawRectangle(point.x + 100, point.y, 10, 300);
    }
};

} // namespace

TEST(SlickControlBase, SeeThroughShowsTheParentAtTheControlsOffset)
{
    test::CTestPanel holder;
    auto* parent = new CStripedPanel(holder.panel, wxID_ANY, wxPoint(0, 0), wxSize(300, 100));
    auto* button = new CSlickButton(parent, wxID_ANY, "", wxPoint(90, 10), wxSize(40, 20));
    zil::P<Skin> skin = flatSkin(*wxGREEN);
    skin->getStateSkin(CSlickButton::Normal).setSeeThrough(true);
    button->setSkin(skin.get());
    const wxImage image = paintToImage(*button);
    EXPECT_EQ(pixelAt(image, 5, 5), *wxBLUE);
    EXPECT_EQ(pixelAt(image, 15, 5), *wxRED);
    EXPECT_EQ(pixelAt(image, 25, 5), *wxBLUE);
    // Without a paintable parent the skin's colour fills.
    button->Reparent(holder.panel);
    EXPECT_EQ(pixelAt(paintToImage(*button), 15, 5), *wxGREEN);
}

TEST(SlickControlBase, TextColourHaloAndDisabledGrey)
{
    const wxColour red(230, 0, 0), green(0, 230, 0), blue(0, 0, 230), grey(150, 150, 150);
    zil::P<Skin> skin = flatSkin();
    skin->getStateSkin(CSlickButton::Normal).setTextColor(red);
    skin->getStateSkin(CSlickButton::Disabled).setTextColor(red);
    skin->getStateSkin(CSlickButton::Disabled).setTextHaloColor(blue);

    test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "WWW", wxPoint(0, 0), wxSize(120, 50));
    button->SetFont(wxFont(wxFontInfo(24).Bold()));
    button->setSkin(skin.get());
    const wxRect all(0, 0, 120, 50);

    wxImage image = paintToImage(*button);
    EXPECT_GT(countNear(image, all, red), 30);
    EXPECT_EQ(countNear(image, all, green), 0);

    skin->getStateSkin(CSlickButton::Normal).setTextHaloColor(green);
    image = paintToImage(*button);
    EXPECT_GT(countNear(image, all, red), 30);
    EXPECT_GT(countNear(image, all, green), 30);

    button->Disable();
    image = paintToImage(*button);
    EXPECT_GT(countNear(image, all, grey), 30);
    EXPECT_EQ(countNear(image, all, red, 60), 0);
    EXPECT_GT(countNear(image, all, blue), 30);
}

TEST(SlickControlBase, BorderSidesAndFocusRectangle)
{
    const wxColour black(0, 0, 0), white(255, 255, 255);
    test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(60, 40));

    // Unequal CSS widths: each side its own line as wide as that side; right is 0.
    zil::P<Skin> css = flatSkin();
    css->setBorderType(Skin::BorderCss);
    css->setBorderColor(black);
    css->setBorderWidths(zil::CMargins(1, 1, 0, 5));
    button->setSkin(css.get());
    wxImage image = paintToImage(*button);
    struct Probe {
        const char* what;
        int x, y;
        wxColour expected;
    } probes[] = {
        {"top", 30, 0, black},      {"below top", 30, 1, white},     {"left", 0, 20, black},
        {"right (width 0)", 59, 20, white}, {"bottom", 30, 39, black}, {"bottom, inside", 30, 37, black},
        {"interior", 30, 20, white},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(p.what);
        EXPECT_EQ(pixelAt(image, p.x, p.y), p.expected);
    }

    // Focus rectangle: inset by the focus margins, and by 1 more inside a flat border.
    const wxColour focus = wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW);
    ASSERT_FALSE(isNear(focus, white, 30));
    const zil::CMargins fm(2, 3, 4, 5);
    for (auto type : {Skin::BorderNone, Skin::BorderFlat}) {
        SCOPED_TRACE(type);
        zil::P<Skin> skin = flatSkin();
        skin->setBorderType(type);
        skin->setBorderColor(wxColour(255, 0, 0));
        skin->setFocusMargins(fm);
        button->setSkin(skin.get());
        button->setFocus(true);
        const int inset = type == Skin::BorderFlat ? 1 : 0;
        const int left = inset + fm.left, top = inset + fm.top;
        const int right = 59 - inset - fm.right, bottom = 39 - inset - fm.bottom;
        image = paintToImage(*button);
        EXPECT_EQ(pixelAt(image, left, 20), focus);
        EXPECT_EQ(pixelAt(image, left - 1, 20), white);
        EXPECT_EQ(pixelAt(image, 30, top), focus);
        EXPECT_EQ(pixelAt(image, 30, top - 1), white);
        EXPECT_EQ(pixelAt(image, right, 20), focus);
        EXPECT_EQ(pixelAt(image, right + 1, 20), white);
        EXPECT_EQ(pixelAt(image, 30, bottom), focus);
        EXPECT_EQ(pixelAt(image, 30, bottom + 1), white);

        button->setDrawFocusRect(false);
        EXPECT_EQ(countNear(paintToImage(*button), wxRect(0, 0, 60, 40), focus, 0), 0);
        button->setDrawFocusRect(true);
        button->setFocus(false);
    }
}

TEST(SlickControlBase, ZeroSizePaintsNothing)
{
    test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "Text");
    button->setSkin(flatSkin(*wxBLUE).get());
    for (wxSize size : {wxSize(0, 20), wxSize(20, 0)}) {
        SCOPED_TRACE(size.x);
        button->SetSize(size);
        ASSERT_EQ(button->GetClientSize(), size);
        const wxImage image = paintToImage(*button, *wxGREEN);
        EXPECT_EQ(pixelAt(image, 0, 0), *wxGREEN);
    }
}

TEST(SlickControlBase, ImageOpacityIsAppliedWhenTheBitmapIsSet)
{
    zil::P<Skin> half = flatSkin();
    half->getStateSkin(CSlickButton::Normal).setImageOpacity(0.5);
    test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "");
    button->setSkin(half.get());
    const wxBitmap opaque(solidImage(4, 4, *wxRED));
    button->setStateBitmap(CSlickButton::Normal, opaque);
    EXPECT_EQ(button->getCurrentBitmap().ConvertToImage().GetAlpha(1, 1), 127);
    // Without alpha the bitmap gets one first.
    button->setStateBitmap(CSlickButton::Normal, wxBitmap(4, 4, 24));
    EXPECT_EQ(button->getCurrentBitmap().ConvertToImage().GetAlpha(1, 1), 127);

    // A new skin leaves the prepared bitmap until it is set again.
    button->setSkin(flatSkin().get());
    EXPECT_EQ(button->getCurrentBitmap().ConvertToImage().GetAlpha(1, 1), 127);
    button->setStateBitmap(CSlickButton::Normal, opaque);
    EXPECT_TRUE(isSameBitmap(button->getCurrentBitmap(), opaque));

    EXPECT_THROW(button->setStateBitmap(static_cast<CSlickButton::State>(3), opaque), zil::CInvalidArgError);
    EXPECT_THROW(button->setSkin(nullptr), zil::CInvalidArgError);
    EXPECT_TRUE(button->getSkin());
}

TEST(SlickControlBase, ButtonsOfOneSkinShareScaledImages)
{
    zil::P<Skin> skin = flatSkin();
    zil::TArray<zil::P<CCountingScalingImage>> images;
    for (int s = 0; s < Skin::StateCount; ++s) {
        auto& state = skin->getStateSkin(static_cast<CSlickButton::State>(s));
        images.emplace_back(new CCountingScalingImage(solidImage(8, 8, *wxRED, 128)));
        state.setUnderlayImage(images.back().get());
        images.emplace_back(new CCountingScalingImage(solidImage(8, 8, *wxBLUE, 128)));
        state.setOverlayImage(images.back().get());
    }
    test::CTestPanel holder;
    zil::TArray<CSlickButton*> buttons;
    for (int i = 0; i < 100; ++i) {
        buttons.push_back(new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(80, 24)));
        buttons.back()->setSkin(skin.get());
    }
    wxBitmap bitmap(80, 24, 24);
    wxMemoryDC dc(bitmap);
    for (int round = 0; round < 2; ++round)
        for (CSlickButton* button : buttons) {
            button->Enable();
            button->setOwnHover(false);
            button->paintCurrent(dc);
            button->setOwnHover(true);
            button->paintCurrent(dc);
            button->Disable();
            button->paintCurrent(dc);
        }
    for (const auto& image : images) {
        EXPECT_EQ(image->created, 1);
        EXPECT_EQ(image->getVersionCount(), 1u);
    }
}
