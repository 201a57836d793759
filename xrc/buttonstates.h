// SPDX-License-Identifier: MIT
// What both handlers that create buttons, check boxes and radio buttons read alike.
#pragma once

#include <wx/anybutton.h>
#include <wx/bitmap.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>

#include <utility>

namespace zilui {

struct XrcStyle {
    const char* name;
    int value;
};
// The style names of check boxes and radio buttons.
inline constexpr XrcStyle kCheckAndRadioStyles[] = {
    {"wxCHK_2STATE", wxCHK_2STATE}, {"wxCHK_3STATE", wxCHK_3STATE},
    {"wxCHK_ALLOW_3RD_STATE_FOR_USER", wxCHK_ALLOW_3RD_STATE_FOR_USER},
    {"wxALIGN_RIGHT", wxALIGN_RIGHT}, {"wxRB_GROUP", wxRB_GROUP}, {"wxRB_SINGLE", wxRB_SINGLE},
};

// Sets each state picture `load(param)` returns valid; a skinned button's normal picture is
// its skin's, so XRC only adds state pictures.
template <class Load>
void applyButtonStateBitmaps(wxAnyButton& button, Load load)
{
    static const std::pair<const wchar_t*, void (wxAnyButton::*)(const wxBitmapBundle&)> states[] = {
        {L"selected", &wxAnyButton::SetBitmapPressed},
        {L"focus", &wxAnyButton::SetBitmapFocus},
        {L"disabled", &wxAnyButton::SetBitmapDisabled},
        {L"hover", &wxAnyButton::SetBitmapCurrent},
    };
    for (const auto& [param, set] : states) {
        const wxBitmap bitmap = load(param);
        if (bitmap.IsOk())
            (button.*set)(bitmap);
    }
}

} // namespace zilui
