// SPDX-License-Identifier: MIT
// The icon's context menu exported as a D-Bus menu, for hosts that draw the menu themselves.
#pragma once

#include <zilui/system/taskbaricon.h>

#include <zil/object.h>

#include <libdbusmenu-glib/dbusmenu-glib.h>

#include <functional>
#include <memory>
#include <string>

class wxMenu;

namespace zilui::desktop {

constexpr const char* kMenuPath = "/StatusNotifierItem/Menu";

// wxWidgets marks mnemonics with '&' ("&&" for a literal one), D-Bus menus with '_'; UTF-8.
std::string menuLabel(const std::string& wxLabel);

class CDbusMenuExport {
public:
    using Listener = INotificationAreaBackend::IListener;
    // Work queued for the main loop keeps `owner` alive, and this object with it. `listener`
    // makes the menu and takes its commands; null: nobody does.
    CDbusMenuExport(const zil::CBase& owner, std::function<Listener*()> listener);
    ~CDbusMenuExport();
    CDbusMenuExport(const CDbusMenuExport&) = delete;
    CDbusMenuExport& operator=(const CDbusMenuExport&) = delete;

    // Exports a fresh menu from the listener at kMenuPath.
    void publish();
    void withdraw();

private:
    void addItems(DbusmenuMenuitem* parent, wxMenu& menu, int& nextId);
    static void onItemActivated(DbusmenuMenuitem* item, guint, gpointer self);
    static gboolean onAboutToShow(DbusmenuMenuitem*, gpointer self);

    const zil::CBase& m_owner;
    std::function<Listener*()> m_listener;
    DbusmenuServer* m_server = nullptr;
    std::unique_ptr<wxMenu> m_menu; // the menu the exported items stand for
};

} // namespace zilui::desktop
