// SPDX-License-Identifier: MIT
#pragma once

#include <zil/object.h>
#include <zil/path.h>
#include <zil/string.h>

class wxWindow;

namespace zilui {

// Lets the user pick a folder with the desktop's own folder chooser (the GTK file chooser),
// or wxWidgets' generic folder dialog when that one cannot be created. A folder set
// beforehand is opened in the dialog.
class CFolderSelector : public zil::CBase {
public:
    // An empty title shows wxWidgets' standard directory prompt.
    CFolderSelector(const zil::String& title = zil::String(), const zil::Path& folder = zil::Path(),
                    bool expandPreSelected = true);

    void setWindowTitle(const zil::String& title) { m_title = title; }
    const zil::String& getWindowTitle() const { return m_title; }
    // Before doModal the folder to pre-select, after a successful one the chosen folder.
    void setFolderPath(const zil::Path& folder) { m_folder = folder; }
    const zil::Path& getFolderPath() const { return m_folder; }

    // True when a folder was chosen; false on cancel, and then the folder path is unchanged.
    bool doModal(wxWindow* parent);

    // Both dialogs open the pre-selected folder itself rather than its parent.
    static bool supportsExpandingPreSelectedFolder() { return true; }

private:
    zil::String m_title;
    zil::Path m_folder;
};

} // namespace zilui
