// SPDX-License-Identifier: MIT
#include "support/guitest.h"

#include <zilui/controls/stacksizer.h>

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/panel.h>

namespace zilui::test {
namespace {

// A small item of 20 x 10 and a hidden large one of 100 x 6: the minimum is the largest in
// each direction, borders included (hidden pages keep their place in the size). `small`: where
// the small item ends up in an area of 201 x 151.
TEST(StackSizerTest, ItemsLieAtTheTopLeftUnlessCentredOrExpanded)
{
    const struct { const char* name; int smallFlags; wxRect small; int minHeight; } cases[] = {
        {"plain", 0, {0, 0, 20, 10}, 10},
        {"centred horizontally", wxALIGN_CENTER_HORIZONTAL, {90, 0, 20, 10}, 10},
        {"centred vertically", wxALIGN_CENTER_VERTICAL, {0, 70, 20, 10}, 10},
        {"centred", wxALIGN_CENTER, {90, 70, 20, 10}, 10},
        {"expanded", wxEXPAND, {0, 0, 201, 151}, 10},
        {"with border", wxALL, {4, 4, 20, 10}, 18},
        {"border above and below", wxTOP | wxBOTTOM, {0, 4, 20, 10}, 18},
        {"centred with border", wxALIGN_CENTER | wxALL, {90, 70, 20, 10}, 18},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wxPanel parent(&sharedFrame());
        auto* sizer = new CStackSizer();
        parent.SetSizer(sizer);
        EXPECT_EQ(sizer->CalcMin(), wxSize(0, 0));
        auto* small = new wxPanel(&parent);
        auto* large = new wxPanel(&parent);
        large->Hide();
        sizer->Add(small, 0, c.smallFlags, 4)->SetMinSize(wxSize(20, 10));
        sizer->Add(large)->SetMinSize(wxSize(100, 6));

        EXPECT_EQ(sizer->CalcMin(), wxSize(100, c.minHeight));
        sizer->SetDimension(wxPoint(0, 0), wxSize(201, 151));
        EXPECT_EQ(small->GetRect(), c.small);
        EXPECT_EQ(large->GetRect(), wxRect(0, 0, 100, 6));

        // Offsets follow the sizer's own position.
        sizer->SetDimension(wxPoint(7, 3), wxSize(201, 151));
        wxRect moved = c.small;
        moved.Offset(7, 3);
        EXPECT_EQ(small->GetRect(), moved);
        EXPECT_EQ(large->GetPosition(), wxPoint(7, 3));
    }
}

} // namespace
} // namespace zilui::test
