// SPDX-License-Identifier: MIT
#include "slick/slicktestutil.h"
#include "support/guitest.h"

#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>
#include <zilui/slick/controls.h>

#include <gtest/gtest.h>

#include <wx/dcclient.h>

using namespace zilui;
using namespace zilui::test;

namespace {

using Skin = CSlickButtonSkin;

void expectColourAt(const wxImage& image, const wxColour& colour, std::initializer_list<wxPoint> points)
{
    for (const wxPoint& p : points)
        EXPECT_EQ(pixelAt(image, p.x, p.y), colour) << p.x << "," << p.y;
}

} // namespace

TEST(SlickControlBase, BestSizeFromLabelBitmapAndMargins)
{
    CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "Hello there");
    wxClientDC dc(button);
    dc.SetFont(button->GetFont());
    const wxSize text = dc.GetMultiLineTextExtent("Hello there");
    EXPECT_EQ(button->GetBestSize(), wxSize(3 + text.x + 4 + 3, 3 + text.y + 3));

    // The largest state counts: a tall bitmap in one state only.
    button->setStateBitmap(CSlickButton::Disabled, wxBitmap(solidImage(16, text.y + 10, *wxRED, 255)));
    button->InvalidateBestSize();
    EXPECT_EQ(button->GetBestSize(), wxSize(3 + text.x + 4 + 16 + 3, 3 + text.y + 10 + 3));
    zil::P<Skin> vertical(new Skin());
    vertical->setImagePos(Skin::ImageTop);
    button->setSkin(vertical.get());
    EXPECT_EQ(button->GetBestSize(), wxSize(3 + text.x + 3, 3 + text.y + 4 + text.y + 10 + 3));

    // A client sizer is laid out between the client margins and counts for the best size.
    zil::P<Skin> margins = buttonSkin();
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
    button->setSkin(buttonSkin().get());
    button->setStateBitmap(CSlickButton::Disabled, wxNullBitmap);
    button->SetLabel("one two three four five six seven");
    button->SetLabelLineStyles({wrapping}, CTextStyleFontCache::getDefaultGUIFontCache().get());
    const wxSize unlimited = button->GetBestSize();
    button->SetMaxSize(wxSize(unlimited.x / 2, -1));
    button->InvalidateBestSize();
    EXPECT_LE(button->GetBestSize().x, unlimited.x / 2);
    EXPECT_GT(button->GetBestSize().y, unlimited.y);
}

// The best size is measured off screen; a measure that differs from the window's own clips the
// label on screen. One button through all cases: a size kept from the previous label or font
// is a fault too.
TEST(SlickControlBase, BestSizeMeasuresLabelsAsTheWindowDoes)
{
    CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "Hello");
    // Margins wide enough that the native widget's minimum never decides.
    zil::P<Skin> skin(new Skin());
    skin->setContentMargins(zil::CMargins(30, 20, 30, 20));
    button->setSkin(skin.get());
    const wxFont normal = button->GetFont();
    const wxFont large = normal.Scaled(2.5f).Bold();
    const struct {
        wxString label;
        wxString shown;
        wxFont font;
    } cases[] = {
        {"Hello", "Hello", normal},
        {"Hello", "Hello", large},
        {"Save && &Close", "Save & Close", large},
        {"two\nlines of text", "two\nlines of text", normal},
        {wxString::FromUTF8("\xc3\x9cml\xc3\xa4ut \xe6\xbc\xa2\xe5\xad\x97 \xe2\x98\x83"),
         wxString::FromUTF8("\xc3\x9cml\xc3\xa4ut \xe6\xbc\xa2\xe5\xad\x97 \xe2\x98\x83"), normal},
        {"", "", large},
        {"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", normal},
    };
    processPendingEvents();
    ASSERT_TRUE(button->IsShownOnScreen());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label + " " + c.font.GetNativeFontInfoUserDesc());
        button->SetFont(c.font);
        button->SetLabel(c.label);
        wxClientDC dc(button);
        dc.SetFont(c.font);
        const wxSize text = dc.GetMultiLineTextExtent(c.shown);
        EXPECT_EQ(button->GetBestSize(), wxSize(30 + text.x + 4 + 30, 20 + text.y + 20));
    }
}

TEST(SlickControlBase, PaintsBackgroundAndImagesPerState)
{
    const wxColour red(220, 0, 0), blue(0, 0, 220), green(0, 200, 0), magenta(200, 0, 200), teal(0, 120, 120);
    // Left half transparent, right half magenta: the overlay must leave the left alone.
    wxImage halfOverlay = solidImage(20, 10, magenta, 255);
    for (int y = 0; y < 10; ++y)
        memset(halfOverlay.GetAlpha() + y * 20, 0, 10);
    zil::P<Skin> skin = buttonSkin(teal);
    skin->getStateSkin(CSlickButton::Hover).setBackgroundGradient(new CLinearGradient(red, blue));
    auto& disabled = skin->getStateSkin(CSlickButton::Disabled);
    disabled.setUnderlayImage(new CScalingImage(solidImage(1, 1, green, 255)));
    disabled.setOverlayImage(new CScalingImage(halfOverlay));

    CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(60, 30));
    button->setSkin(skin.get());
    EXPECT_EQ(countNear(paintToImage(*button), wxRect(0, 0, 60, 30), teal, 0), 60 * 30);
    button->setOwnHover(true);
    wxImage image = paintToImage(*button);
    EXPECT_TRUE(isNear(pixelAt(image, 30, 0), red, 12)) << pixelAt(image, 30, 0).GetAsString();
    EXPECT_TRUE(isNear(pixelAt(image, 30, 29), blue, 12)) << pixelAt(image, 30, 29).GetAsString();
    button->Disable();
    image = paintToImage(*button);
    EXPECT_EQ(countNear(image, wxRect(0, 0, 10, 30), green), 10 * 30);
    EXPECT_EQ(countNear(image, wxRect(50, 0, 10, 30), magenta), 10 * 30);
}

namespace {

// Paints a red stripe at x 100 to 109 of its own coordinates on blue for see-through children.
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
    CTestPanel holder;
    auto* parent = new CStripedPanel(holder.panel, wxID_ANY, wxPoint(0, 0), wxSize(300, 100));
    auto* button = new CSlickButton(parent, wxID_ANY, "", wxPoint(90, 10), wxSize(40, 20));
    zil::P<Skin> skin = buttonSkin(*wxGREEN);
    skin->getStateSkin(CSlickButton::Normal).setSeeThrough(true);
    button->setSkin(skin.get());
    const wxImage image = paintToImage(*button);
    expectColourAt(image, *wxBLUE, {{5, 5}, {25, 5}});
    expectColourAt(image, *wxRED, {{15, 5}});
    // Without a paintable parent the skin's colour fills.
    button->Reparent(holder.panel);
    EXPECT_EQ(pixelAt(paintToImage(*button), 15, 5), *wxGREEN);
}

TEST(SlickControlBase, TextColourHaloAndDisabledGrey)
{
    const wxColour red(230, 0, 0), green(0, 230, 0), blue(0, 0, 230), grey(150, 150, 150);
    zil::P<Skin> skin = buttonSkin();
    skin->getStateSkin(CSlickButton::Normal).setTextColor(red);
    skin->getStateSkin(CSlickButton::Disabled).setTextColor(red);
    skin->getStateSkin(CSlickButton::Disabled).setTextHaloColor(blue);
    CTestPanel holder;
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
    // Disabled text is grey whatever the skin says; the halo stays.
    button->Disable();
    image = paintToImage(*button);
    EXPECT_GT(countNear(image, all, grey), 30);
    EXPECT_EQ(countNear(image, all, red, 60), 0);
    EXPECT_GT(countNear(image, all, blue), 30);
}

TEST(SlickControlBase, BorderSidesAndFocusRectangle)
{
    const wxColour black(0, 0, 0), white(255, 255, 255);
    CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(60, 40));

    // Unequal CSS widths: each side its own line as wide as that side; right is 0.
    zil::P<Skin> css = buttonSkin();
    css->setBorderType(Skin::BorderCss);
    css->setBorderColor(black);
    css->setBorderWidths(zil::CMargins(1, 1, 0, 5));
    button->setSkin(css.get());
    wxImage image = paintToImage(*button);
    expectColourAt(image, black, {{30, 0}, {0, 20}, {30, 39}, {30, 37}});
    expectColourAt(image, white, {{30, 1}, {59, 20}, {30, 20}});

    // Focus rectangle: inset by the scaled focus margins, and by 1 more inside a flat border.
    const wxColour focus = wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW);
    ASSERT_FALSE(isNear(focus, white, 30));
    for (const auto type : {Skin::BorderNone, Skin::BorderFlat}) {
        const int scale = type == Skin::BorderFlat ? 2 : 1, inset = type == Skin::BorderFlat ? 1 : 0;
        SCOPED_TRACE(type);
        zil::P<Skin> skin = buttonSkin();
        skin->setBorderType(type);
        skin->setBorderColor(wxColour(255, 0, 0));
        skin->setFocusMargins(zil::CMargins(2, 3, 4, 5));
        button->setSkin(skin.get());
        button->setUICoordScaleFactor(scale);
        button->setFocus(true);
        const int left = inset + 2 * scale, top = inset + 3 * scale;
        const int right = 59 - inset - 4 * scale, bottom = 39 - inset - 5 * scale;
        image = paintToImage(*button);
        expectColourAt(image, focus, {{left, 20}, {30, top}, {right, 20}, {30, bottom}});
        expectColourAt(image, white, {{left - 1, 20}, {30, top - 1}, {right + 1, 20}, {30, bottom + 1}});
        button->setDrawFocusRect(false);
        EXPECT_EQ(countNear(paintToImage(*button), wxRect(0, 0, 60, 40), focus, 0), 0);
        button->setDrawFocusRect(true);
        button->setFocus(false);
    }
}

TEST(SlickControlBase, ImageOpacityBadArgumentsAndZeroSize)
{
    zil::P<Skin> half = buttonSkin(*wxBLUE);
    half->getStateSkin(CSlickButton::Normal).setImageOpacity(0.5);
    CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "Text");
    button->setSkin(half.get());
    // With or without alpha in the bitmap.
    for (const wxBitmap& bitmap : {wxBitmap(solidImage(4, 4, *wxRED, 255)), wxBitmap(4, 4, 24)}) {
        button->setStateBitmap(CSlickButton::Normal, bitmap);
        EXPECT_EQ(button->getCurrentBitmap().ConvertToImage().GetAlpha(1, 1), 127);
    }
    EXPECT_THROW(button->setStateBitmap(static_cast<CSlickButton::State>(3), wxBitmap(4, 4, 24)),
                 zil::CInvalidArgError);
    EXPECT_THROW(button->setSkin(nullptr), zil::CInvalidArgError);
    EXPECT_TRUE(button->getSkin());
    // At zero size nothing is painted: no background, text or image.
    for (wxSize size : {wxSize(0, 20), wxSize(20, 0)}) {
        button->SetSize(size);
        ASSERT_EQ(button->GetClientSize(), size);
        EXPECT_EQ(pixelAt(paintToImage(*button, *wxGREEN), 0, 0), *wxGREEN) << size.x;
    }
}

// Overlays keep the layers from being composed: each image is scaled once all the same.
TEST(SlickControlBase, ButtonsOfOneSkinShareScaledImages)
{
    zil::P<Skin> skin = buttonSkin();
    zil::TArray<zil::P<CCountingScalingImage>> images;
    for (int s = 0; s < Skin::StateCount; ++s) {
        auto& state = skin->getStateSkin(static_cast<CSlickButton::State>(s));
        images.emplace_back(new CCountingScalingImage(solidImage(8, 8, *wxRED, 128)));
        state.setUnderlayImage(images.back().get());
        images.emplace_back(new CCountingScalingImage(solidImage(8, 8, *wxBLUE, 128)));
        state.setOverlayImage(images.back().get());
    }
    CTestPanel holder;
    zil::TArray<CSlickButton*> buttons;
    for (int i = 0; i < 100; ++i) {
        buttons.push_back(new CSlickButton(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(80, 24)));
        buttons.back()->setSkin(skin.get());
    }
    wxBitmap bitmap(80, 24, 24);
    wxMemoryDC dc(bitmap);
    for (int round = 0; round < 2; ++round)
        for (CSlickButton* button : buttons)
            for (int state = 0; state < Skin::StateCount; ++state) {
                button->Enable(state != CSlickButton::Disabled);
                button->setOwnHover(state == CSlickButton::Hover);
                button->paintCurrent(dc);
            }
    for (const auto& image : images) {
        EXPECT_EQ(image->builds, 1);
        EXPECT_EQ(image->getVersionCount(), 1u);
    }
}
