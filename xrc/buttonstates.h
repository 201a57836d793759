// SPDX-License-Identifier: MIT
// The state pictures XRC may give a skinned button; shared by both handlers that create one.
#pragma once

#include <wx/anybutton.h>
#include <wx/bitmap.h>

#include <utility>

namespace zilui {

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
