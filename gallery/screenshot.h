// SPDX-License-Identifier: MIT
#pragma once

#include <wx/string.h>

class wxWindow;

namespace gallery {

// Saves what `window` shows, frame decorations excluded, as a PNG file.
bool saveWindowScreenshot(wxWindow& window, const wxString& path, wxString& error);

} // namespace gallery
