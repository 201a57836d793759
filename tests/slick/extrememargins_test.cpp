// SPDX-License-Identifier: MIT
#include "slick/slicktestutil.h"

#include <gtest/gtest.h>

#include <limits>

using namespace zilui;

// Margins set in code may lie anywhere in int's range: the best size saturates instead of
// wrapping around, and painting such a control places nothing at a wrapped position (the
// placements themselves are checked in SlickContentLayout).
TEST(SlickControlBase, ExtremeContentMarginsSaturate)
{
    constexpr int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
    const struct {
        zil::CMargins margins;
        double align;
        wxSize best; // wxDefaultSize: below the native minimum, not checked
    } cases[] = {
        {zil::CMargins(kMax), 0, {kMax, kMax}},
        {zil::CMargins(kMin), 1, wxDefaultSize},
        {zil::CMargins(kMax, 0, kMin, 0), 1, wxDefaultSize},
        {zil::CMargins(kMax - 5, kMax - 5, 10, 10), 0, {kMax, kMax}},
    };
    zilui::test::CTestPanel holder;
    auto* button = new CSlickButton(holder.panel, wxID_ANY, "", wxDefaultPosition, wxSize(100, 40));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.margins.toString().toUTF8() << " align " << c.align);
        zil::P<CSlickButtonSkin> skin = zilui::test::buttonSkin();
        skin->setContentMargins(c.margins);
        skin->setContentHorzAlign(c.align);
        skin->setContentVertAlign(c.align);
        button->setSkin(skin.get());
        if (c.best != wxDefaultSize) {
            EXPECT_EQ(button->GetBestSize(), c.best);
        }
        // Taking the best size of the first skin made it huge.
        button->SetSize(100, 40);
        const wxImage painted = zilui::test::paintToImage(*button);
        EXPECT_EQ(painted.GetSize(), button->GetClientSize());
    }
}
