// SPDX-License-Identifier: MIT
#include "screenshot.h"

#include <zilui/app/language.h>
#include <zilui/app/strings.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
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
    // where the whole window can be read back.
    wxBitmap bitmap(area.GetSize(), 24);
    {
        wxScreenDC screen;
        wxMemoryDC memory(bitmap);
        if (!memory.Blit(0, 0, area.width, area.height, &screen, area.x, area.y)) {
            error = zilui::toWX(ZILUI_TR("cannot read the screen"));
            return false;
        }
    }
    wxInitAllImageHandlers();
    const wxFileName file(path);
    if (!file.GetPath().empty() && !wxFileName::DirExists(file.GetPath()) &&
        !wxFileName::Mkdir(file.GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL)) {
        error = zilui::toWX(ZILUI_TR("cannot create the folder of %PATH%"));
        error.Replace("%PATH%", path);
        return false;
    }
    if (!bitmap.ConvertToImage().SaveFile(path, wxBITMAP_TYPE_PNG)) {
        error = zilui::toWX(ZILUI_TR("cannot write %PATH%"));
        error.Replace("%PATH%", path);
        return false;
    }
    return true;
}

} // namespace gallery
