// SPDX-License-Identifier: MIT
// Skinned controls of a right-to-left window (an Arabic or Hebrew interface) mirror what their
// skin places: image side, alignment, margins, border sides and the focus frame; on the
// screen as in memory bitmaps, and mirrored once, whether the DC mirrors by itself or not.
#include "slick/slicktestutil.h"

#include <zilui/slick/overlays.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace zilui;
using namespace zilui::test;

namespace {

const wxColour kPictureRed(220, 0, 0), kPictureBlue(0, 0, 220), kBorderGreen(0, 160, 0), kSkinFill(255, 255, 255);

// 12 x 12, its left quarter red and the rest blue: a picture that is itself mirrored shows.
wxBitmap sidedPicture()
{
    wxImage image = solidImage(12, 12, kPictureBlue);
    image.SetRGB(wxRect(0, 0, 3, 12), kPictureRed.Red(), kPictureRed.Green(), kPictureRed.Blue());
    return wxBitmap(image);
}

// Image left of the text at the start of the row, content margins left 5 and right 12, a CSS
// border 3 wide on the left (drawn centred on the edge: two pixels show) and none on the right, focus margins left 4 and right 8.
template <class Skin> zil::P<Skin> sidedSkin()
{
    zil::P<Skin> skin(new Skin());
    skin->setImagePos(Skin::ImageLeft);
    skin->setContentHorzAlign(0);
    skin->setContentMargins(zil::CMargins(5, 2, 12, 2));
    skin->setBorderType(Skin::BorderCss);
    skin->setBorderColor(kBorderGreen);
    skin->setBorderWidths(zil::CMargins(3, 1, 0, 1));
    skin->setFocusMargins(zil::CMargins(4, 3, 8, 3));
    for (int s = 0; s < Skin::StateCount; ++s)
        skin->getStateSkin(typename Skin::State(s)).setBackgroundColor(kSkinFill);
    return skin;
}

// Columns of row `y` in `image`: 'r' red, 'b' blue, 'g' the border's green, ' ' the fill, 'x'
// anything else (text, the focus frame).
std::string columnsOfRow(const wxImage& image, int y)
{
    std::string profile;
    for (int x = 0; x < image.GetWidth(); ++x) {
        const wxColour c = pixelAt(image, x, y);
        profile += isNear(c, kPictureRed, 40) ? 'r' : isNear(c, kPictureBlue, 40) ? 'b' : isNear(c, kBorderGreen, 40) ? 'g'
                   : isNear(c, kSkinFill, 2)                                           ? ' '
                                                                                   : 'x';
    }
    return profile;
}

// Pixels of the label's ink in columns [from, to) between the focus frame's rows.
int labelInkIn(const wxImage& image, int from, int to)
{
    int count = 0;
    for (int y = 5; y < image.GetHeight() - 5; ++y)
        for (int x = from; x < to; ++x)
            count += isInk(image, x, y, 128) && !isNear(pixelAt(image, x, y), kPictureBlue, 40);
    return count;
}

template <class Control, class Skin>
Control* sidedControl(wxWindow* parent, const wxPoint& at, wxLayoutDirection direction, bool focus = true)
{
    auto* control = new Control(parent, wxID_ANY, "Ab", at, wxSize(90, 24));
    control->setSkin(sidedSkin<Skin>().get());
    control->setAllStateBitmaps(sidedPicture());
    control->SetLayoutDirection(direction);
    control->setFocus(focus);
    return control;
}

} // namespace

// One row through the middle of a 90 x 24 control: left to right the border, the focus
// frame at 4, the picture from 5 (red first) and the label after it, the focus frame at 81 and
// no border on the right; right to left each of them at the mirrored place, the picture not
// itself mirrored (red still on its left). A check box's and a radio button's indicator is
// their picture, so it changes sides with it.
TEST(SlickRightToLeft, ControlsMirrorImageBorderFocusAndLabel)
{
    CTestPanel holder;
    const struct {
        const char* name;
        std::function<wxImage(wxLayoutDirection)> paint;
    } controls[] = {
        {"button",
         [&](wxLayoutDirection d) { return paintToImage(*sidedControl<CSlickButton, CSlickButtonSkin>(holder.panel, {0, 0}, d)); }},
        {"check box",
         [&](wxLayoutDirection d) { return paintToImage(*sidedControl<CSlickCheckBox, CSlickCheckBoxSkin>(holder.panel, {0, 30}, d)); }},
        {"radio button", [&](wxLayoutDirection d) {
             return paintToImage(*sidedControl<CSlickRadioButton, CSlickRadioButtonSkin>(holder.panel, {0, 60}, d));
         }},
    };
    for (const auto& control : controls) {
        for (const wxLayoutDirection direction : {wxLayout_LeftToRight, wxLayout_RightToLeft}) {
            const bool rtl = direction == wxLayout_RightToLeft;
            SCOPED_TRACE(std::string(control.name) + (rtl ? " right to left" : " left to right"));
            const wxImage image = control.paint(direction);
            ASSERT_EQ(image.GetSize(), wxSize(90, 24));
            const std::string row = columnsOfRow(image, 12);
            SCOPED_TRACE("row: [" + row + "]");
            if (!rtl) {
                EXPECT_EQ(row.substr(0, 17), "gg  xrrrbbbbbbbbb");
                EXPECT_EQ(row.substr(81), "x" + std::string(8, ' '));
            } else {
                EXPECT_EQ(row.substr(0, 9), std::string(8, ' ') + "x");
                EXPECT_EQ(row.substr(73), "rrrbbbbbbbbbx  gg");
            }
            // The label follows the picture at the start: on the side where the picture is.
            const int nearPicture = rtl ? labelInkIn(image, 45, 72) : labelInkIn(image, 18, 45);
            const int farSide = rtl ? labelInkIn(image, 18, 45) : labelInkIn(image, 45, 72);
            EXPECT_GT(nearPicture, 10);
            EXPECT_EQ(farSide, 0);
        }
    }
}

// What a person sees: on the X server (or the compositor) a right-to-left button, which the
// draw hook paints through a memory bitmap, and a right-to-left skinned panel, whose window DC
// mirrors by itself, both show the picture on the right and unmirrored, as their memory
// rendering does, also at 200 %; a left-to-right button beside them keeps it on the left.
TEST(SlickRightToLeft, ScreenShowsTheMirroredLayoutOnce)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CInputFrame holder;
    std::vector<std::pair<wxWindow*, std::function<wxImage(double)>>> cases;
    const auto add = [&](auto* control) {
        cases.emplace_back(control, [control](double scale) { return paintToImage(*control, *wxWHITE, scale); });
    };
    // No focus frame: the window that has the real focus draws it.
    add(sidedControl<CSlickButton, CSlickButtonSkin>(holder.panel, {10, 10}, wxLayout_RightToLeft, false));
    add(sidedControl<CSlickButton, CSlickButtonSkin>(holder.panel, {10, 50}, wxLayout_LeftToRight, false));
    auto* panel = new CSlickNonOverlay(holder.panel, wxID_ANY, "Ab", wxPoint(10, 90), wxSize(90, 24));
    panel->setSkin(sidedSkin<CSlickOverlaySkin>().get());
    panel->setAllStateBitmaps(sidedPicture());
    panel->SetLayoutDirection(wxLayout_RightToLeft);
    add(panel);

    for (const auto& entry : cases) {
        wxWindow* window = entry.first;
        const bool rtl = window->GetLayoutDirection() == wxLayout_RightToLeft;
        SCOPED_TRACE(wxString(window->GetClassInfo()->GetClassName()).utf8_string() + (rtl ? " right to left" : ""));
        const double scale = window->GetContentScaleFactor();
        const wxImage expected = entry.second(scale);
        // The picture's red column in the middle row, in physical pixels.
        const int s = int(scale);
        const int redAt = rtl ? (90 - 5 - 12) * s : 5 * s;
        std::string seen;
        int different = -1;
        const bool same = screenShows(holder.panel, window->GetRect(), [&](const wxImage& shot) {
            if (shot.GetSize() != expected.GetSize())
                return false;
            different = pixelsOff(shot, expected);
            seen = columnsOfRow(shot, shot.GetHeight() / 2);
            return different == 0 && isNear(pixelAt(shot, redAt, shot.GetHeight() / 2), kPictureRed, 40) &&
                   isNear(pixelAt(shot, redAt + 3 * s, shot.GetHeight() / 2), kPictureBlue, 40);
        });
        EXPECT_TRUE(same) << "pixels off: " << different << ", middle row: [" << seen << "]";
    }
}

// Skins draw a check box's indicator into the underlay picture, beside a content margin that
// keeps the label off it: right to left the picture is mirrored with the margin, so the
// indicator and the label change sides together; also at 200 %, and with an overlay picture.
TEST(SlickRightToLeft, IndicatorInTheSkinPictureChangesSides)
{
    CTestPanel holder;
    // A 40 x 20 picture: its left 10 columns red, the rest fill.
    wxImage picture = solidImage(40, 20, kSkinFill);
    picture.SetRGB(wxRect(0, 0, 10, 20), kPictureRed.Red(), kPictureRed.Green(), kPictureRed.Blue());
    const zil::P<CScalingImage> underlay(new CScalingImage(picture));
    const struct {
        wxLayoutDirection direction;
        double scale;
        bool overlay;
        bool redLeft;
    } cases[] = {
        {wxLayout_LeftToRight, 1, false, true}, {wxLayout_RightToLeft, 1, false, false},
        {wxLayout_RightToLeft, 2, false, false}, {wxLayout_RightToLeft, 1, true, false},
        {wxLayout_LeftToRight, 1, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "direction " << c.direction << " scale " << c.scale << " overlay "
                                        << c.overlay);
        zil::P<CSlickCheckBoxSkin> skin(new CSlickCheckBoxSkin());
        skin->setBorderType(CSlickCheckBoxSkin::BorderNone);
        skin->setContentMargins(zil::CMargins(14, 2, 2, 2));
        skin->setContentHorzAlign(0);
        for (int s = 0; s < CSlickCheckBoxSkin::StateCount; ++s) {
            CSlickStateSkin& st = skin->getStateSkin(CSlickCheckBox::State(s));
            st.setBackgroundColor(kSkinFill);
            if (c.overlay)
                st.setOverlayImage(underlay.get());
            else
                st.setUnderlayImage(underlay.get());
        }
        auto* box = new CSlickCheckBox(holder.panel, wxID_ANY, "Ab", wxPoint(0, 0), wxSize(80, 20));
        box->setSkin(skin.get());
        box->SetLayoutDirection(c.direction);
        const wxImage image = paintToImage(*box, *wxWHITE, c.scale);
        const int s = int(c.scale), w = 80 * s;
        const std::string row = columnsOfRow(image, image.GetHeight() / 2);
        SCOPED_TRACE("row: [" + row + "]");
        const std::string red(size_t(10 * s), 'r');
        EXPECT_EQ(row.substr(0, size_t(10 * s)) == red, c.redLeft);
        EXPECT_EQ(row.substr(size_t(w - 10 * s)) == red, !c.redLeft);
        // The label lies beside the indicator, not on it.
        const int labelFrom = c.redLeft ? 14 * s : 0, labelTo = c.redLeft ? w : w - 14 * s;
        EXPECT_GT(labelInkIn(image, labelFrom, labelTo), 0);
        box->Destroy();
    }
}
