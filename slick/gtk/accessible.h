// SPDX-License-Identifier: MIT
// What assistive technology learns about a skinned native control, through ATK.
#pragma once

#include <wx/string.h>

class wxWindow;

namespace zilui::gtk {

// The name read out for `window`: the label as shown, without mnemonic markers. The native
// label under the skin is not kept up to date, so the name is set here. Nothing without a
// native widget.
void setAccessibleName(wxWindow* window, const wxString& name);
// Makes `window` read as a link rather than as its native kind of control.
void setAccessibleRoleLink(wxWindow* window);

} // namespace zilui::gtk
