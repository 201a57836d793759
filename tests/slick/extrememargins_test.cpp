// SPDX-License-Identifier: MIT
#include "slick/slicktestutil.h"

#include <gtest/gtest.h>

#include <limits>

using namespace zilui;

// Margins set in code may lie anywhere in int's range: layout and best size saturate instead
// of wrapping around. Client 100 x 40, text 30 x 10, image 16 x 16 on the left, space 4.
TEST(SlickControlBase, ExtremeContentMarginsSaturate)
{
    constexpr int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
    const struct {
        zil::CMargins margins;
        double align;
        wxRect text, image;
        int maxTextWidth;
        wxSize best; // wxDefaultSize: below the native minimum, not checked
    } cases[] = {
        {zil::CMargins(kMax), 0, {kMax, kMax, 30, 10}, {kMax, kMax, 16, 16}, kMin, {kMax, kMax}},
        {zil::CMargins(kMin), 1, {-31, -11, 30, 10}, {-51, -17, 16, 16}, kMax, wxDefaultSize},
        // Left and right sum to -1, so 101 are available.
        {zil::CMargins(kMax, 0, kMin, 0), 1, {kMax, 30, 30, 10}, {kMax, 24, 16, 16}, 81, wxDefaultSize},
        {zil::CMargins(kMax - 5, kMax - 5, 10, 10), 0, {kMax, kMax - 5, 30, 10}, {kMax - 5, kMax - 5, 16, 16},
         75 - kMax, {kMax, kMax}},
    };
    zilui::test::CTestPanel holder;
    // Not sized by its best size, so a skin does not resize it to the extremes.
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "", wxDefaultPosition, wxSize(100, 40));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.margins.toString().toUTF8() << " align " << c.align);
        zil::P<CSlickButtonSkin> skin = zilui::test::buttonSkin();
        skin->setContentMargins(c.margins);
        skin->setContentHorzAlign(c.align);
        skin->setContentVertAlign(c.align);
        button->setSkin(skin.get());
        wxRect text, image;
        button->layoutContents(text, image, wxSize(100, 40), wxSize(30, 10), wxSize(16, 16));
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(image, c.image);
        EXPECT_EQ(button->getMaxAvailableTextWidth(wxSize(100, 40), wxSize(16, 16)), c.maxTextWidth);
        if (c.best != wxDefaultSize) {
            EXPECT_EQ(button->GetBestSize(), c.best);
        }
    }
}
