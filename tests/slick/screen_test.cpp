// SPDX-License-Identifier: MIT
// What a person sees: the pixels the X server shows for skinned controls, compared with what
// the same controls paint into memory bitmaps. Runs at 100 % and, again, under GDK_SCALE=2.
#include "slick/slicktestutil.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

using namespace zilui;
using namespace zilui::test;

namespace {

struct CDifference {
    int outsideText = 0;
    int insideText = 0;
};

// Pixels of `shot` off `expected` by more than a rounding step, apart for those in `text`
// (physical pixels), where antialiasing of glyphs may differ between the two surfaces.
CDifference compareImages(const wxImage& shot, const wxImage& expected, const wxRect& text)
{
    CDifference diff;
    for (int y = 0; y < expected.GetHeight(); ++y)
        for (int x = 0; x < expected.GetWidth(); ++x)
            if (!isNear(pixelAt(shot, x, y), pixelAt(expected, x, y), 2))
                ++(text.Contains(x, y) ? diff.insideText : diff.outsideText);
    return diff;
}

// Where the control places its label, grown by a pixel for glyph overhang, in physical pixels.
template <class Control> wxRect physicalTextRect(Control& control, double scale)
{
    wxMemoryDC dc;
    dc.SetFont(control.getWindowFont());
    const wxSize textSize = dc.GetMultiLineTextExtent(toWX(control.getDisplayText()));
    wxRect text, image;
    control.layoutContents(text, image, control.GetClientSize(), textSize,
                           Control::getBitmapSize(control.getCurrentBitmap()));
    text.Inflate(1);
    return wxRect(wxPoint(int(text.x * scale), int(text.y * scale)), text.GetSize() * scale);
}

template <class Skin> void styleSkin(Skin& skin, const wxColour& background)
{
    skin.setBorderType(Skin::BorderFlat);
    skin.setBorderColor(wxColour(20, 20, 120));
    skin.setFocusMargins(zil::CMargins(2, 2, 2, 2));
    skin.setContentMargins(zil::CMargins(6, 4, 6, 4));
    for (int s = 0; s < Skin::StateCount; ++s) {
        skin.getStateSkin(typename Skin::State(s)).setBackgroundColor(background);
        skin.getStateSkin(typename Skin::State(s)).setTextColor(wxColour(0, 0, 0));
    }
}

struct CCase {
    const char* name;
    std::function<wxImage()> paint;
    std::function<wxRect()> text;
    wxWindow* window;
};

template <class Control> CCase makeCase(const char* name, Control* control)
{
    const double scale = control->GetContentScaleFactor();
    return {name, [=] { return paintToImage(*control, *wxWHITE, scale); },
            [=] { return physicalTextRect(*control, scale); }, control};
}

} // namespace

// The draw hook on the widget's cairo context must not antialias 1-pixel borders and focus
// rectangles into two grey lines, nor shift the label, against the memory rendering.
TEST(SlickScreen, DrawHookShowsWhatPaintContentsPaints)
{
    CInputFrame holder;
    wxWindow* parent = holder.panel;
    const wxColour back(230, 230, 210);
    zil::P<CSlickButtonSkin> buttonSkin(new CSlickButtonSkin());
    styleSkin(*buttonSkin, back);
    zil::P<CSlickButtonSkin> cssSkin(new CSlickButtonSkin());
    styleSkin(*cssSkin, back);
    cssSkin->setBorderType(CSlickButtonSkin::BorderCss);
    cssSkin->setBorderWidths(zil::CMargins(2, 1, 3, 1));
    zil::P<CSlickCheckBoxSkin> boxSkin(new CSlickCheckBoxSkin());
    styleSkin(*boxSkin, back);
    zil::P<CSlickRadioButtonSkin> radioSkin(new CSlickRadioButtonSkin());
    styleSkin(*radioSkin, back);

    std::vector<CCase> cases;
    const auto button = [&](const char* name, CSlickButtonSkin* skin, int row) {
        auto* b = new CSlickButton(parent, wxID_ANY, "Save && &Close", wxPoint(10, 10 + 34 * row), wxSize(120, 30));
        b->setSkin(skin);
        cases.push_back(makeCase(name, b));
        return b;
    };
    button("button", buttonSkin.get(), 0);
    button("focused button", buttonSkin.get(), 1)->setFocus(true);
    button("hovered button", buttonSkin.get(), 2)->setOwnHover(true);
    button("disabled button", buttonSkin.get(), 3)->Disable();
    button("css border", cssSkin.get(), 4)->setFocus(true);
    auto* box = new CSlickCheckBox(parent, wxID_ANY, "Check", wxPoint(160, 10), wxSize(110, 26));
    box->setSkin(boxSkin.get());
    box->SetValue(true);
    box->setFocus(true);
    cases.push_back(makeCase("check box", box));
    auto* radio = new CSlickRadioButton(parent, wxID_ANY, "Radio", wxPoint(160, 44), wxSize(110, 26), wxRB_GROUP);
    radio->setSkin(radioSkin.get());
    radio->SetValue(true);
    cases.push_back(makeCase("radio button", radio));
    auto* link = new CLinkButton(parent, wxID_ANY, "A link", wxPoint(160, 78));
    link->SetSize(link->GetBestSize());
    cases.push_back(makeCase("link button", link));

    for (const CCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDifference diff;
        wxSize shotSize, expectedSize;
        const bool same = screenShows(c.window, [&](const wxImage& shot) {
            const wxImage expected = c.paint();
            shotSize = shot.GetSize();
            expectedSize = expected.GetSize();
            if (shotSize != expectedSize)
                return false;
            const wxRect text = c.text();
            diff = compareImages(shot, expected, text);
            // Glyph antialiasing may differ, but the label must sit in the same place.
            return diff.outsideText == 0 && diff.insideText <= text.width * text.height / 10;
        });
        EXPECT_TRUE(same) << "screen " << shotSize.x << "x" << shotSize.y << ", memory " << expectedSize.x << "x"
                          << expectedSize.y << ", pixels off outside the label " << diff.outsideText
                          << ", inside " << diff.insideText;
    }
}
