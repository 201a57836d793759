// SPDX-License-Identifier: MIT
#pragma once

#include <wx/string.h>

class wxWindow;

namespace gallery {

// Saves what `window` shows, frame decorations excluded, as a PNG file. `notReady` is set
// when the window cannot be drawn yet (not shown, or its new size not yet confirmed by the
// display server): trying again later may succeed.
bool saveWindowScreenshot(wxWindow& window, const wxString& path, wxString& error, bool* notReady = nullptr);

} // namespace gallery
