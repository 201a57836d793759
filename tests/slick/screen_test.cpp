// SPDX-License-Identifier: MIT
// What a person sees: the pixels the X server shows for skinned controls equal what the same
// controls paint into memory bitmaps. Runs at 100 % and, again, under GDK_SCALE=2.
#include "slick/slicktestutil.h"

#include <gtest/gtest.h>

#include <functional>

using namespace zilui;
using namespace zilui::test;

namespace {

// Pixels off by more than a rounding step.
int countDifferent(const wxImage& shot, const wxImage& expected)
{
    int count = 0;
    for (int y = 0; y < expected.GetHeight(); ++y)
        for (int x = 0; x < expected.GetWidth(); ++x)
            count += !isNear(pixelAt(shot, x, y), pixelAt(expected, x, y), 2);
    return count;
}

template <class Skin> zil::P<Skin> borderedSkin(typename Skin::Border border = Skin::BorderFlat)
{
    zil::P<Skin> skin(new Skin());
    skin->setBorderType(border);
    skin->setBorderColor(wxColour(20, 20, 120));
    skin->setBorderWidths(zil::CMargins(2, 1, 3, 1)); // used by the CSS border only
    skin->setFocusMargins(zil::CMargins(2, 2, 2, 2));
    skin->setContentMargins(zil::CMargins(6, 4, 6, 4));
    for (int s = 0; s < Skin::StateCount; ++s)
        skin->getStateSkin(typename Skin::State(s)).setBackgroundColor(wxColour(230, 230, 210));
    return skin;
}

} // namespace

// 1-pixel borders and focus rectangles must not come out as two grey lines, nor may the label
// move or take other glyph shapes, against the memory rendering.
TEST(SlickScreen, DrawHookShowsWhatPaintContentsPaints)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CInputFrame holder;
    wxWindow* parent = holder.panel;
    std::vector<std::pair<wxWindow*, std::function<wxImage()>>> cases;
    const auto add = [&](auto* control) {
        const double scale = control->GetContentScaleFactor();
        cases.emplace_back(control, [=] { return paintToImage(*control, *wxWHITE, scale); });
        return control;
    };
    const auto button = [&](CSlickButtonSkin* skin, int row) {
        auto* b = add(new CSlickButton(parent, wxID_ANY, "Save && &Close", wxPoint(10, 10 + 34 * row), wxSize(120, 30)));
        b->setSkin(skin);
        return b;
    };
    const zil::P<CSlickButtonSkin> flat = borderedSkin<CSlickButtonSkin>();
    const zil::P<CSlickButtonSkin> css = borderedSkin<CSlickButtonSkin>(CSlickButtonSkin::BorderCss);
    button(flat.get(), 0);
    button(flat.get(), 1)->setFocus(true);
    button(flat.get(), 2)->setOwnHover(true);
    button(flat.get(), 3)->Disable();
    button(css.get(), 4)->setFocus(true);
    auto* box = add(new CSlickCheckBox(parent, wxID_ANY, "Check", wxPoint(160, 10), wxSize(110, 26)));
    box->setSkin(borderedSkin<CSlickCheckBoxSkin>().get());
    box->SetValue(true);
    box->setFocus(true);
    auto* radio = add(new CSlickRadioButton(parent, wxID_ANY, "Radio", wxPoint(160, 44), wxSize(110, 26)));
    radio->setSkin(borderedSkin<CSlickRadioButtonSkin>().get());
    radio->SetValue(true);
    add(new CLinkButton(parent, wxID_ANY, "A link", wxPoint(160, 78)));
    // The other states: unchecked and hovered, unselected and disabled.
    auto* plainBox = add(new CSlickCheckBox(parent, wxID_ANY, "Check", wxPoint(280, 10), wxSize(110, 26)));
    plainBox->setSkin(borderedSkin<CSlickCheckBoxSkin>().get());
    plainBox->setOwnHover(true);
    auto* offRadio =
        add(new CSlickRadioButton(parent, wxID_ANY, "Radio", wxPoint(280, 44), wxSize(110, 26), wxRB_SINGLE));
    offRadio->setSkin(borderedSkin<CSlickRadioButtonSkin>().get());
    offRadio->Disable();
    add(new CLinkButton(parent, wxID_ANY, "A link", wxPoint(280, 78)))->Disable();

    for (const auto& [window, paint] : cases) {
        SCOPED_TRACE(window->GetClassInfo()->GetClassName());
        int different = -1;
        const bool same = screenShows(window, [&, &paint = paint](const wxImage& shot) {
            const wxImage expected = paint();
            different = shot.GetSize() == expected.GetSize() ? countDifferent(shot, expected) : -1;
            return different == 0;
        });
        EXPECT_TRUE(same) << "at " << window->GetPosition().x << "," << window->GetPosition().y << " pixels off: "
                          << different << " (-1: sizes differ)";
    }
}

// A control wider than a picture can be (here in a panel that shows 20,000 px into it) shows
// the part on screen: background, and its label where it lies, not a wx assertion.
TEST(SlickScreen, ControlLargerThanAPictureShowsItsVisiblePart)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CInputFrame holder;
    const wxColour background(230, 230, 210);
    zil::P<CSlickButtonSkin> skin = buttonSkin(background);
    skin->setContentMargins(zil::CMargins(0));
    // The label's middle lies at the button's 20,000th pixel: panel x 100.
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "MMMM", wxPoint(-19900, 10), wxSize(40000, 30));
    button->setSkin(skin.get());
    button->SetSize(wxRect(-19900, 10, 40000, 30));
    const double scale = button->GetContentScaleFactor();
    const int labelX = int(100 * scale);
    const bool shown = screenShows(holder.panel, [&](const wxImage& shot) {
        const int band = int(30 * scale), top = int(10 * scale);
        const wxRect left(0, top, labelX - band, band), right(labelX + band, top, int(300 * scale) - labelX - band, band),
            label(labelX - band, top, 2 * band, band);
        return countNear(shot, left, background, 2) == left.width * left.height &&
               countNear(shot, right, background, 2) == right.width * right.height &&
               countNear(shot, label, *wxBLACK, 100) > 10;
    });
    EXPECT_TRUE(shown);
}
