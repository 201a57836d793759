// SPDX-License-Identifier: MIT
// docs/architecture.md, "Adding a skinned control": the header of a new control, as
// include/zilui/slick/togglebutton.h would hold it.
#pragma once

#include <zilui/slick/controls.h>

#include <wx/tglbtn.h>

namespace zilui {

// Its states are the check box's (out or pressed in; normal, hover or disabled), so a check
// box skin draws it and the skin needs nothing new.
class CSlickToggleButtonIntermediate : public wxToggleButton {
public:
    using State = CSlickCheckBoxIntermediate::State;
    static constexpr int StateCount = CSlickCheckBoxIntermediate::StateCount;
};

// A button that stays pressed in until it is clicked again.
class CSlickToggleButton : public TSlickControlBase<CSlickToggleButtonIntermediate, CSlickCheckBoxSkin> {
public:
    using Base = TSlickControlBase<CSlickToggleButtonIntermediate, CSlickCheckBoxSkin>;
    ZILUI_SLICK_NATIVE_CONTROL_DECLARE(CSlickToggleButton, wxCheckBoxNameStr)

    State getState() const override;
};

} // namespace zilui
