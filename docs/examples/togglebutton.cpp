// SPDX-License-Identifier: MIT
// docs/architecture.md, "Adding a skinned control": the source of a new control, as
// slick/togglebutton.cpp would hold it (there the private header is "skinnedcontrol.h").
// tests/slick/togglebutton_test.cpp runs it.
#include "togglebutton.h"

#include "../../slick/skinnedcontrol.h"

ZILUI_SLICK_NATIVE_CONTROL(CSlickToggleButton, wxToggleButton)
ZILUI_SLICK_NATIVE_CONTROL_CREATE(CSlickToggleButton)

namespace zilui {

CSlickToggleButton::CSlickToggleButton() : Base(wxSYS_COLOUR_BTNFACE, wxSYS_COLOUR_BTNTEXT) {}

CSlickToggleButton::State CSlickToggleButton::getState() const
{
    return skinnedcontrol::twoValueState<State>(GetValue(), getSharedHover(), IsThisEnabled());
}

} // namespace zilui
