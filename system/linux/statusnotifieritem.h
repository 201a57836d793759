// SPDX-License-Identifier: MIT
// The icon in the notification area: a StatusNotifierItem with its D-Bus menu while a
// StatusNotifierWatcher runs on the bus, wxWidgets' XEmbed tray icon otherwise (on X11), and
// the move between the two as watchers come and go.
#pragma once

#include "dbusmenuexport.h"
#include "sessionbus.h"
#include "xembedicon.h"

#include <zilui/system/taskbaricon.h>

#include <zil/object.h>

#include <wx/timer.h>

#include <memory>

namespace zilui::desktop {

class CStatusNotifierItem {
public:
    using Listener = INotificationAreaBackend::IListener;
    using IconRecord = INotificationAreaBackend::IconRecord;
    // Runs a call on the listener later, from the main loop, if the icon is still there then.
    using Queue = std::function<void(std::function<void(Listener&)>)>;

    // Work queued for the main loop keeps `owner` alive, and this object with it.
    CStatusNotifierItem(const zil::CBase& owner, CSessionBus& bus, std::function<Listener*()> listener,
                        Queue queue);
    ~CStatusNotifierItem();
    CStatusNotifierItem(const CStatusNotifierItem&) = delete;
    CStatusNotifierItem& operator=(const CStatusNotifierItem&) = delete;

    // From the backend when the bus has answered.
    void onBusConnected();
    void onBusFailed();

    zil::String getProtocol() const;
    bool add(const IconRecord& record);
    bool modify(const IconRecord& record);
    bool remove();
    const IconRecord& record() const { return m_record; }

private:
    // waiting: shown, but with no host to show it (no watcher, and no XEmbed tray off X11).
    // pending: shown, but the bus has not yet said whether a watcher runs.
    enum class Mode { none, statusNotifierItem, xembed, waiting, pending };

    bool registerItem();
    void failRegistration(zil::String what);
    void unregisterItem();
    bool showXEmbed();
    void emitSignal(const char* name);

    static void onMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                         GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* onProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                                GError**, gpointer self);
    static void onWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer self);
    static void onWatcherVanished(GDBusConnection*, const gchar*, gpointer self);

    const zil::CBase& m_owner;
    CSessionBus& m_bus;
    std::function<Listener*()> m_listener;
    Queue m_queue;
    IconRecord m_record;
    Mode m_mode = Mode::none;
    XEmbedIconPtr m_xembed;
    CDbusMenuExport m_menu;

    GCancellable* m_itemCancellable = nullptr; // the calls registering the item shown now
    guint m_registration = 0;
    std::string m_itemName;
    bool m_watcherKnown = false; // the name watch has reported once
    std::string m_watcherOwner;  // the watcher on the bus now; empty: none
    std::string m_itemWatcher;   // the watcher that was asked to show the item
    guint m_watcherWatch = 0;
    std::unique_ptr<wxTimer> m_fallbackTimer;
};

} // namespace zilui::desktop
