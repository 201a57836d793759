// SPDX-License-Identifier: MIT
// Balloons as desktop notifications (org.freedesktop.Notifications). A new balloon replaces the
// previous one, as in the Windows notification area.
#pragma once

#include "sessionbus.h"

#include <zilui/system/taskbaricon.h>

#include <optional>
#include <set>

namespace zilui::desktop {

class CNotifications {
public:
    using Record = INotificationAreaBackend::NotificationRecord;
    // `clicked` reports a click on a balloon of ours, from the signal handler.
    CNotifications(CSessionBus& bus, std::function<void()> clicked);
    ~CNotifications();
    CNotifications(const CNotifications&) = delete;
    CNotifications& operator=(const CNotifications&) = delete;

    // From the backend when the bus has answered: listens to the server, then sends what waits.
    void listen();
    void sendWaiting() { sendNext(); }
    // No bus: what waits is dropped.
    void onBusFailed() { m_next.reset(); }

    // Shows the balloon; one with no text withdraws the one shown. False when there is nothing
    // to show it on, or nothing to withdraw.
    bool show(const Record& record);

private:
    void sendNext();
    static void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
                         GVariant* parameters, gpointer self);

    CSessionBus& m_bus;
    std::function<void()> m_clicked;
    guint m_subscription = 0;
    std::set<guint32> m_ids; // ours, not closed yet
    guint32 m_lastId = 0;
    // Whether the server reads the text as markup; -1: not asked yet.
    static constexpr int kMarkupUnknown = -2;
    int m_bodyMarkup = -1;
    // One call to the server at a time, so that each balloon replaces the one before by its id;
    // of those asked for meanwhile only the last is still worth sending.
    bool m_callBusy = false;
    std::optional<Record> m_next;
};

} // namespace zilui::desktop
