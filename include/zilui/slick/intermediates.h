// SPDX-License-Identifier: MIT
#pragma once

#include <zil/string.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/radiobut.h>

namespace zilui {

// The classes between a wxWidgets window and its skinned control. Each names the states a
// skin describes: the value of a state is the index of its state skin, its name the key
// prefix in skin resources. They hold no data of their own. The enums have a fixed underlying
// type, so that any int converts to State and the range checks that reject it are defined.

// On GTK the skinned button stays a native button, which keeps keyboard, default-button and
// accessibility handling; the label is only stored, never shown by the native widget.
class CSlickButtonIntermediate : public wxButton {
public:
    enum State : int { Normal = 0, Hover = 1, Disabled = 2 };
    static constexpr int StateCount = 3;

    // Throws zil::CInvalidArgError for a value outside the enum.
    static zil::String getStateName(State state);

    void SetLabel(const wxString& label) override { wxControlBase::SetLabel(label); }
};

// State value = (checked ? 1 : 0) + (hover ? 2 : 0) + (disabled ? 4 : 0); hover and
// disabled never combine.
class CSlickCheckBoxIntermediate : public wxCheckBox {
public:
    enum State : int {
        UncheckedNormal = 0,
        CheckedNormal = 1,
        UncheckedHover = 2,
        CheckedHover = 3,
        UncheckedDisabled = 4,
        CheckedDisabled = 5
    };
    static constexpr int StateCount = 6;

    static zil::String getStateName(State state);
};

// Same value scheme as the check box, with selected in place of checked.
class CSlickRadioButtonIntermediate : public wxRadioButton {
public:
    enum State : int {
        UnselectedNormal = 0,
        SelectedNormal = 1,
        UnselectedHover = 2,
        SelectedHover = 3,
        UnselectedDisabled = 4,
        SelectedDisabled = 5
    };
    static constexpr int StateCount = 6;

    static zil::String getStateName(State state);
};

class CSlickOverlayIntermediate : public wxFrame {
public:
    enum State : int { Normal = 0 };
    static constexpr int StateCount = 1;

    static zil::String getStateName(State state);
};

// Shares the overlay's states, so that one skin class serves both.
class CSlickNonOverlayIntermediate : public wxPanel {
public:
    using State = CSlickOverlayIntermediate::State;
    static constexpr State Normal = CSlickOverlayIntermediate::Normal;
    static constexpr int StateCount = CSlickOverlayIntermediate::StateCount;

    static zil::String getStateName(State state);
};

} // namespace zilui
