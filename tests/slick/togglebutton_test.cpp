// SPDX-License-Identifier: MIT
// The control that docs/architecture.md's checklist adds (docs/examples/togglebutton.*):
// written with nothing but its header, its source and the registration macros, it must
// behave as a skinned control.
#include "../../docs/examples/togglebutton.h"

#include "slick/slicktestutil.h"

#include <gtest/gtest.h>

#include <wx/tglbtn.h>

#include <memory>

using namespace zilui;
using namespace zilui::test;

namespace {

zil::P<CSlickCheckBoxSkin> toggleSkinOfStateColours()
{
    zil::P<CSlickCheckBoxSkin> skin(new CSlickCheckBoxSkin());
    skin->setBorderType(CSlickCheckBoxSkin::BorderNone);
    for (int s = 0; s < CSlickCheckBoxSkin::StateCount; ++s)
        skin->getStateSkin(CSlickCheckBoxSkin::State(s)).setBackgroundColor(wxColour(40 * s, 100, 0));
    return skin;
}

} // namespace

// Pressed in, hovered and disabled each pick their own state skin; disabled wins over hover.
TEST(SlickToggleButton, StateFollowsValueHoverAndEnabled)
{
    CTestPanel holder;
    auto* button = new CSlickToggleButton(holder.panel, wxID_ANY, "", wxPoint(0, 0), wxSize(40, 20));
    button->setSkin(toggleSkinOfStateColours().get());
    const struct {
        bool on, hover, enabled;
        CSlickToggleButton::State expected;
    } cases[] = {
        {false, false, true, CSlickCheckBoxIntermediate::UncheckedNormal},
        {true, false, true, CSlickCheckBoxIntermediate::CheckedNormal},
        {false, true, true, CSlickCheckBoxIntermediate::UncheckedHover},
        {true, true, true, CSlickCheckBoxIntermediate::CheckedHover},
        {false, true, false, CSlickCheckBoxIntermediate::UncheckedDisabled},
        {true, false, false, CSlickCheckBoxIntermediate::CheckedDisabled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "on " << c.on << " hover " << c.hover << " enabled " << c.enabled);
        button->SetValue(c.on);
        button->setOwnHover(c.hover);
        button->Enable(c.enabled);
        EXPECT_EQ(button->getState(), c.expected);
        EXPECT_EQ(pixelAt(paintToImage(*button), 20, 10), wxColour(40 * c.expected, 100, 0));
    }
}

// The registration made it a wxWidgets class that XRC and dynamic creation find, sized by its
// label, with the base's event table (a leave event clears the hover) and the native value.
TEST(SlickToggleButton, RegisteredWithEventsAndNativeValue)
{
    CTestPanel holder;
    std::unique_ptr<wxObject> made(wxCreateDynamicObject("zilui::CSlickToggleButton"));
    auto* button = dynamic_cast<CSlickToggleButton*>(made.get());
    ASSERT_NE(button, nullptr);
    made.release();
    ASSERT_TRUE(button->Create(holder.panel, wxID_ANY, "Bold", wxPoint(0, 0)));
    EXPECT_GE(button->GetBestSize().x, button->GetTextExtent("Bold").x);

    wxMouseEvent enter(wxEVT_ENTER_WINDOW), leave(wxEVT_LEAVE_WINDOW);
    enter.SetEventObject(button);
    leave.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(enter);
    EXPECT_TRUE(button->getSharedHover());
    button->GetEventHandler()->ProcessEvent(leave);
    EXPECT_FALSE(button->getSharedHover());

    button->SetValue(true);
    EXPECT_EQ(button->getState(), CSlickCheckBoxIntermediate::CheckedNormal);
}
