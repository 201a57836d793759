// SPDX-License-Identifier: MIT
#include "support/guitest.h"

#include <zilui/controls/stacksizer.h>

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/panel.h>

namespace zilui::test {
namespace {

TEST(StackSizerTest, ItemsLieAtTheTopLeftUnlessCentredOrExpanded)
{
    const struct {
        const char* name;
        int smallFlags;
        wxRect small; // where the small item ends up in an area of 201 x 151
    } cases[] = {
        {"plain", 0, {0, 0, 20, 10}},
        {"centred horizontally", wxALIGN_CENTER_HORIZONTAL, {90, 0, 20, 10}},
        {"centred vertically", wxALIGN_CENTER_VERTICAL, {0, 70, 20, 10}},
        {"centred", wxALIGN_CENTER, {90, 70, 20, 10}},
        {"expanded", wxEXPAND, {0, 0, 201, 151}},
        {"with border", wxALL, {4, 4, 20, 10}},
        {"centred with border", wxALIGN_CENTER | wxALL, {90, 70, 20, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wxPanel parent(&sharedFrame());
        auto* sizer = new CStackSizer();
        parent.SetSizer(sizer);
        EXPECT_EQ(sizer->CalcMin(), wxSize(0, 0));
        auto* small = new wxPanel(&parent);
        auto* large = new wxPanel(&parent);
        large->Hide(); // hidden pages keep their place in the size
        sizer->Add(small, 0, c.smallFlags, 4)->SetMinSize(wxSize(20, 10));
        sizer->Add(large)->SetMinSize(wxSize(100, 60));

        EXPECT_EQ(sizer->CalcMin(), wxSize(100, 60));
        sizer->SetDimension(wxPoint(0, 0), wxSize(201, 151));
        EXPECT_EQ(small->GetRect(), c.small);
        EXPECT_EQ(large->GetRect(), wxRect(0, 0, 100, 60));

        // Offsets follow the sizer's own position.
        sizer->SetDimension(wxPoint(7, 3), wxSize(201, 151));
        wxRect moved = c.small;
        moved.Offset(7, 3);
        EXPECT_EQ(small->GetRect(), moved);
        EXPECT_EQ(large->GetPosition(), wxPoint(7, 3));
    }
}

TEST(StackSizerTest, MinimumIsTheLargestInEachDirectionWithBorders)
{
    wxPanel parent(&sharedFrame());
    auto* sizer = new CStackSizer();
    parent.SetSizer(sizer);
    sizer->Add(new wxPanel(&parent))->SetMinSize(wxSize(80, 5));
    sizer->Add(new wxPanel(&parent), 0, wxTOP | wxBOTTOM, 6)->SetMinSize(wxSize(10, 40));
    EXPECT_EQ(sizer->CalcMin(), wxSize(80, 52));
}

} // namespace
} // namespace zilui::test
