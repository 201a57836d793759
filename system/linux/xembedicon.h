// SPDX-License-Identifier: MIT
// The fallback where no StatusNotifierWatcher runs: wxWidgets' tray icon, which docks into an
// XEmbed tray. Only an X server has those.
#pragma once

#include <zilui/system/taskbaricon.h>

#include <wx/taskbar.h>

#include <functional>
#include <memory>

namespace zilui::desktop {

class CXEmbedIcon : public wxTaskBarIcon {
public:
    // GTK's tray icon reports a click by its press alone: the release is reported with it, so
    // that handlers acting on the release, and the context menu that follows the right one,
    // see the click as on the other hosts.
    explicit CXEmbedIcon(std::function<void(TaskBarEvent)> report);

    // Hiding may come from a command of the menu that one of our handlers opened, so the
    // object goes later, and reports nothing meanwhile.
    struct Deleter {
        void operator()(CXEmbedIcon* icon) const;
    };

private:
    std::function<void(TaskBarEvent)> m_report;
};

using XEmbedIconPtr = std::unique_ptr<CXEmbedIcon, CXEmbedIcon::Deleter>;

// The picture a tray slot shows for `icon`: the icon itself, or a clear one for an icon that
// is not valid, as a slot needs a picture.
wxIcon trayPicture(const wxIcon& icon);

} // namespace zilui::desktop
