// SPDX-License-Identifier: MIT
#include "screenshot.h"

#include <zilui/app/language.h>
#include <zilui/app/screen.h>
#include <zilui/app/strings.h>

#include <wx/filename.h>
#include <wx/image.h>
#include <wx/window.h>

namespace gallery {

bool saveWindowScreenshot(wxWindow& window, const wxString& path, wxString& error)
{
    window.Update();
    const wxRect area(window.ClientToScreen(wxPoint(0, 0)), window.GetClientSize());
    if (area.IsEmpty()) {
        error = zilui::toWX(ZILUI_TR("the window has no visible area"));
        return false;
    }
    // Native controls draw straight to the screen on GTK, so the screen is the only place
    // where the whole window can be read back; on a 200 % screen at its physical resolution.
    const wxImage shot = zilui::readScreen(area);
    if (!shot.IsOk()) {
        error = zilui::toWX(ZILUI_TR("cannot read the screen"));
        return false;
    }
    wxInitAllImageHandlers();
    const wxFileName file(path);
    if (!file.GetPath().empty() && !wxFileName::DirExists(file.GetPath()) &&
        !wxFileName::Mkdir(file.GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL)) {
        error = zilui::toWX(ZILUI_TR("cannot create the folder of %PATH%"));
        error.Replace("%PATH%", path);
        return false;
    }
    if (!shot.SaveFile(path, wxBITMAP_TYPE_PNG)) {
        error = zilui::toWX(ZILUI_TR("cannot write %PATH%"));
        error.Replace("%PATH%", path);
        return false;
    }
    return true;
}

} // namespace gallery
