// SPDX-License-Identifier: MIT
#pragma once

class wxDirDialog;
class wxString;

namespace zilui {

// Opens `folder`'s parent in the chooser with `folder` selected, so that OK chooses it
// without showing what it holds.
void selectFolderInChooser(wxDirDialog& dialog, const wxString& folder);

} // namespace zilui
