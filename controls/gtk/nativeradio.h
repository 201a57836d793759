// SPDX-License-Identifier: MIT
#pragma once

class wxRadioButton;

namespace zilui {

// Leaves `button` shown unselected, and with it its whole group, which a native radio group
// does not do by itself. Sends no wxEVT_RADIOBUTTON.
void clearNativeRadioSelection(wxRadioButton& button);

} // namespace zilui
