// SPDX-License-Identifier: MIT
// The window's entry in the dock or taskbar: progress and urgency through the launcher's
// com.canonical.Unity.LauncherEntry signal, and the overlay badge composited into the window's
// own icons.
#pragma once

#include "sessionbus.h"

#include <zilui/system/taskbaricon.h>

#include <wx/iconbndl.h>
#include <wx/toplevel.h>
#include <wx/weakref.h>

#include <vector>

namespace zilui::desktop {

class CLauncherEntry {
public:
    // `desktopFileId` names the program's desktop file; empty: the one that launched it, or one
    // named after the program.
    CLauncherEntry(CSessionBus& bus, const zil::String& desktopFileId);
    ~CLauncherEntry();
    CLauncherEntry(const CLauncherEntry&) = delete;
    CLauncherEntry& operator=(const CLauncherEntry&) = delete;

    // From the backend when the bus has answered: sends, or drops, the updates made meanwhile.
    void onBusConnected();
    void onBusFailed();

    bool initTaskBar(wxWindow* window);
    bool setProgressState(TaskBarProgressState state);
    bool setProgressValue(unsigned long long completed, unsigned long long total);
    // `trayIcon` badges a window that has no icons of its own.
    bool setOverlayIcon(wxWindow* window, const wxIcon* overlay, const wxIcon& trayIcon);

private:
    bool emitUpdate();

    CSessionBus& m_bus;
    std::string m_appURI;
    std::string m_path;
    std::vector<GVariant*> m_updatesToSend; // made while the bus was connecting
    double m_progress = 0;
    bool m_progressVisible = false;
    bool m_urgent = false;
    TaskBarProgressState m_progressState = TBPF_NOPROGRESS;

    wxWeakRef<wxTopLevelWindow> m_badgedWindow;
    wxIconBundle m_originalIcons;
};

} // namespace zilui::desktop
