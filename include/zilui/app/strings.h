// SPDX-License-Identifier: MIT
#pragma once

#include <zil/path.h>
#include <zil/string.h>

#include <wx/string.h>

namespace zilui {

// Conversions between the base layer's text and wxWidgets'. Both hold wide characters here,
// so nothing is re-encoded; embedded NULs survive either way.
wxString toWX(const zil::String& text);
zil::String fromWX(const wxString& text);
// A path from wxWidgets (a dialog's choice, wxFileName::GetFullPath); path.str() goes back.
inline zil::Path toPath(const wxString& path)
{
    return zil::Path(fromWX(path));
}

// The library's version, "major.minor.patch".
const char* getVersionString();

} // namespace zilui
