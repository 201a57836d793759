// SPDX-License-Identifier: MIT
#include "screenshot.h"

#include <zilui/app/language.h>
#include <zilui/app/screen.h>
#include <zilui/app/strings.h>

#include <wx/filename.h>
#include <wx/image.h>
#include <wx/window.h>

namespace gallery {

bool saveWindowScreenshot(wxWindow& window, const wxString& path, wxString& error, bool* notReady)
{
    if (notReady)
        *notReady = false;
    window.Update();
    const wxRect area(window.ClientToScreen(wxPoint(0, 0)), window.GetClientSize());
    if (area.IsEmpty()) {
        error = zilui::toWX(ZILUI_TR("the window has no visible area"));
        if (notReady)
            *notReady = true;
        return false;
    }
    // Drawn by the toolkit, native controls and overlays included, so that it works where
    // no program may read the screen (Wayland); on a 200 % screen at its physical resolution.
    const wxImage shot = zilui::renderWindow(window);
    if (!shot.IsOk()) {
        error = zilui::toWX(ZILUI_TR("cannot draw the window"));
        if (notReady)
            *notReady = true;
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
    // Small enough to keep in a repository; saving takes a little longer.
    wxImage packed = shot;
    packed.SetOption(wxIMAGE_OPTION_PNG_COMPRESSION_LEVEL, 9);
    if (!packed.SaveFile(path, wxBITMAP_TYPE_PNG)) {
        error = zilui::toWX(ZILUI_TR("cannot write %PATH%"));
        error.Replace("%PATH%", path);
        return false;
    }
    return true;
}

} // namespace gallery
