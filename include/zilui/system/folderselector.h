// SPDX-License-Identifier: MIT
#pragma once

#include <zil/object.h>
#include <zil/path.h>
#include <zil/string.h>

class wxWindow;

namespace zilui {

// Lets the user pick a folder with the desktop's own folder chooser (the GTK file chooser),
// or wxWidgets' generic folder dialog when that one cannot be created. A folder set
// beforehand is pre-selected.
class CFolderSelector : public zil::CBase {
public:
    // An empty title shows wxWidgets' standard directory prompt. `expandPreSelected`: the
    // chooser opens the pre-selected folder itself and shows what it holds; otherwise it
    // opens its parent with the folder selected (in the generic dialog: the folder's tree
    // node expanded or not). Either way OK at once chooses the pre-selected folder.
    CFolderSelector(const zil::String& title = zil::String(), const zil::Path& folder = zil::Path(),
                    bool expandPreSelected = true);

    void setWindowTitle(const zil::String& title) { m_title = title; }
    const zil::String& getWindowTitle() const { return m_title; }
    // Before doModal the folder to pre-select, after a successful one the chosen folder.
    void setFolderPath(const zil::Path& folder) { m_folder = folder; }
    const zil::Path& getFolderPath() const { return m_folder; }

    void setExpandPreSelected(bool expand) { m_expandPreSelected = expand; }
    bool getExpandPreSelected() const { return m_expandPreSelected; }

    // True when a folder was chosen; false on cancel or when OK brought no local path (the
    // user is shown an error box), and then the folder path is unchanged.
    bool doModal(wxWindow* parent);

    static bool supportsExpandingPreSelectedFolder() { return true; }

private:
    zil::String m_title;
    zil::Path m_folder;
    bool m_expandPreSelected;
};

} // namespace zilui
