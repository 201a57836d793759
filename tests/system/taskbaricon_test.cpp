// SPDX-License-Identifier: MIT
// The notification-area icon against a private session bus, with the desktop's side (watcher,
// host, notification server, dock) played by this file on a thread of its own.
#include "app/apptestutil.h"
#include "controls/inputframe.h"
#include "support/compositor.h"
#include "support/guitest.h"
#include "support/privatebus.h"

#include <zilui/system/taskbaricon.h>

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/uiaction.h>

#include <gio/gio.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace zilui::test {
namespace {

// The desktop's side. Its objects answer on the thread's own main context.
class CFakeDesktop {
public:
    struct Notification {
        guint32 id;
        std::string icon, title, body;
        int timeout;
    };
    std::mutex mutex;
    std::vector<std::string> items; // registered and still on the bus
    int registrations = 0;
    std::vector<Notification> notifications;
    std::vector<std::pair<double, bool>> launcherUpdates; // progress, progress-visible
    GDBusConnection* bus = nullptr;

    explicit CFakeDesktop(bool withWatcher)
    {
        std::unique_lock<std::mutex> lock(mutex);
        m_thread = std::thread([this, withWatcher] { run(withWatcher); });
        m_ready.wait(lock, [this] { return m_loop != nullptr; });
    }
    // The quit runs inside the loop (an idle source, as this thread does not own the context):
    // a quit before g_main_loop_run() starts would be lost.
    ~CFakeDesktop()
    {
        g_main_context_invoke(
            g_main_loop_get_context(m_loop),
            [](gpointer loop) { return g_main_loop_quit(static_cast<GMainLoop*>(loop)), G_SOURCE_REMOVE; },
            m_loop);
        m_thread.join();
    }
    template <class T> T locked(const T& field)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return field;
    }
    // An asynchronous call answered on the GUI thread's loop, which the item needs to answer.
    GVariant* call(const std::string& dest, const char* path, const char* iface, const char* method,
                   GVariant* args)
    {
        struct Reply {
            bool done = false;
            GVariant* value = nullptr;
        } reply;
        g_dbus_connection_call(
            bus, dest.c_str(), path, iface, method, args, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                auto* r = static_cast<Reply*>(data);
                r->value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
                r->done = true;
            },
            &reply);
        runLoopUntil([&] { return reply.done; });
        return reply.value;
    }
    GVariant* itemProperty(const char* name)
    {
        GVariant* r = call(locked(items).at(0), "/StatusNotifierItem", "org.freedesktop.DBus.Properties",
                           "Get", g_variant_new("(ss)", "org.kde.StatusNotifierItem", name));
        GVariant* value = nullptr;
        if (r) {
            g_variant_get(r, "(v)", &value);
            g_variant_unref(r);
        }
        return value;
    }
    // The item's menu once the menu library has put it on the bus.
    GVariant* menuLayout()
    {
        GVariant* layout = nullptr;
        runLoopUntil(
            [&] {
                layout = call(locked(items).at(0), "/StatusNotifierItem/Menu", "com.canonical.dbusmenu",
                              "GetLayout", g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
                return layout != nullptr;
            },
            5000);
        return layout;
    }
    // Without waiting: the item may answer by opening a menu, which runs until it closes.
    void callItem(const char* method)
    {
        g_dbus_connection_call(bus, locked(items).at(0).c_str(), "/StatusNotifierItem",
                               "org.kde.StatusNotifierItem", method, g_variant_new("(ii)", 10, 10), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr, nullptr);
    }

private:
    void run(bool withWatcher)
    {
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        bus = g_dbus_connection_new_for_address_sync(
            g_getenv("DBUS_SESSION_BUS_ADDRESS"),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        if (withWatcher)
            serve("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                  "<node><interface name='org.kde.StatusNotifierWatcher'><method "
                  "name='RegisterStatusNotifierItem'>"
                  "<arg type='s' direction='in'/></method></interface></node>");
        serve(
            "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
            "<node><interface name='org.freedesktop.Notifications'><method name='Notify'><arg type='s'/>"
            "<arg type='u'/><arg type='s'/><arg type='s'/><arg type='s'/><arg type='as'/><arg type='a{sv}'/>"
            "<arg type='i'/><arg type='u' direction='out'/></method><method name='CloseNotification'>"
            "<arg type='u'/></method><method name='GetCapabilities'><arg type='as' direction='out'/></method>"
            "</interface></node>");
        g_dbus_connection_signal_subscribe(bus, nullptr, "org.freedesktop.DBus", "NameOwnerChanged", nullptr,
                                           nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &onSignal, this, nullptr);
        g_dbus_connection_signal_subscribe(bus, nullptr, "com.canonical.Unity.LauncherEntry", "Update",
                                           nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &onSignal, this,
                                           nullptr);
        // Subscribing sends AddMatch without waiting; a signal the item sends before the bus has
        // it is never routed here. The bus answers one connection's messages in order, so a
        // round trip ensures the rules are in place before the test starts.
        if (GVariant* id = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                       "org.freedesktop.DBus", "GetId", nullptr, nullptr,
                                                       G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr))
            g_variant_unref(id);
        GMainLoop* loop = g_main_loop_new(context, FALSE);
        {
            std::lock_guard<std::mutex> lock(mutex);
            m_loop = loop;
        }
        m_ready.notify_all();
        g_main_loop_run(loop);
        g_main_loop_unref(loop);
        // Calls still under way hold the connection; closing it gives the names back now.
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }
    void serve(const char* name, const char* path, const char* xml)
    {
        static const GDBusInterfaceVTable vtable = {&onMethod, nullptr, nullptr, {}};
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml, nullptr);
        g_dbus_connection_register_object(bus, path, node->interfaces[0], &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        // The previous test's desktop may still be leaving the bus.
        for (int attempt = 0; attempt < 200; ++attempt) {
            GVariant* reply = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                g_variant_new("(su)", name, 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                nullptr);
            guint32 result = 0;
            g_variant_get(reply, "(u)", &result);
            g_variant_unref(reply);
            if (result == 1)
                return;
            g_usleep(10000);
        }
        ADD_FAILURE() << "cannot own " << name;
    }
    static void onMethod(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                         const gchar* method, GVariant* args, GDBusMethodInvocation* invocation,
                         gpointer data)
    {
        auto* self = static_cast<CFakeDesktop*>(data);
        std::lock_guard<std::mutex> lock(self->mutex);
        const std::string name = method;
        if (name == "RegisterStatusNotifierItem") {
            const gchar* service = nullptr;
            g_variant_get(args, "(&s)", &service);
            self->items.push_back(service[0] == '/' ? sender : service);
            ++self->registrations;
            g_dbus_method_invocation_return_value(invocation, nullptr);
        } else if (name == "Notify") {
            const gchar *icon, *title, *body;
            gint32 timeout;
            g_variant_get(args, "(&su&s&s&s@as@a{sv}i)", nullptr, nullptr, &icon, &title, &body, nullptr,
                          nullptr, &timeout);
            const guint32 id = static_cast<guint32>(self->notifications.size() + 1);
            self->notifications.push_back({id, icon, title, body, timeout});
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", id));
        } else if (name == "GetCapabilities") {
            const char* caps[] = {"actions", "body-markup", nullptr};
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", caps));
        } else {
            g_dbus_method_invocation_return_value(invocation, nullptr);
        }
    }
    static void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
                         GVariant* args, gpointer data)
    {
        auto* self = static_cast<CFakeDesktop*>(data);
        std::lock_guard<std::mutex> lock(self->mutex);
        if (std::string(signal) == "NameOwnerChanged") {
            const gchar *name, *newOwner;
            g_variant_get(args, "(&s&s&s)", &name, nullptr, &newOwner);
            if (!*newOwner)
                self->items.erase(std::remove(self->items.begin(), self->items.end(), name),
                                  self->items.end());
            return;
        }
        GVariant* props = g_variant_get_child_value(args, 1);
        double progress = -1;
        gboolean visible = FALSE;
        g_variant_lookup(props, "progress", "d", &progress);
        g_variant_lookup(props, "progress-visible", "b", &visible);
        g_variant_unref(props);
        self->launcherUpdates.emplace_back(progress, visible);
    }

    std::thread m_thread;
    std::condition_variable m_ready;
    GMainLoop* m_loop = nullptr;
};

class CRecordingIcon : public CTaskBarIcon {
public:
    CRecordingIcon() : CTaskBarIcon(createDesktopNotificationAreaBackend(L"zilui-tests.desktop").get()) {}
    std::vector<int> events;
    std::vector<int> commands;
    int menusCreated = 0;

protected:
    wxMenu* createPopupMenu() override
    {
        ++menusCreated;
        auto* menu = new wxMenu;
        menu->Append(wxID_OPEN, "&Open");
        menu->Append(wxID_EXIT, "E&xit");
        return menu;
    }
    void onTaskBarEvent(TaskBarEvent event) override { events.push_back(event); }
};

wxIcon makeIcon(const wxColour& colour, int size = 16)
{
    wxImage image(size, size);
    image.SetRGB(wxRect(0, 0, size, size), colour.Red(), colour.Green(), colour.Blue());
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    return icon;
}

// Every signal `desktop` sent before has been handled, and what it queued has run: the
// desktop's connection answers a ping after them, and the main loop then runs their handlers.
void drainSignalsFrom(CFakeDesktop& desktop)
{
    GDBusConnection* shared = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_TRUE(shared);
    GVariant* reply = g_dbus_connection_call_sync(shared, g_dbus_connection_get_unique_name(desktop.bus), "/",
                                                  "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    g_object_unref(shared);
    ASSERT_TRUE(reply);
    g_variant_unref(reply);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_TRUE(drainActions());
}

// The session bus is the test program's own (support/privatebus.h), shared by the whole run.
class TaskBarIconTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_icon = new CRecordingIcon;
        m_icon->Bind(wxEVT_MENU, [this](wxCommandEvent& e) { m_icon->commands.push_back(e.GetId()); });
    }
    CGlobalLogCapture m_log;
    std::unique_ptr<CFakeDesktop> m_desktop = std::make_unique<CFakeDesktop>(true);
    zil::P<CRecordingIcon> m_icon;
};

TEST_F(TaskBarIconTest, ShowRegistersOnceUpdatesServesTheMenuAndHideUnregisters)
{
    const zil::String tip(200, L'x');
    EXPECT_FALSE(m_icon->setIconAndToolTipText(makeIcon(*wxRED), tip)); // hidden: nothing to call
    EXPECT_FALSE(m_icon->hide());
    ASSERT_TRUE(m_icon->show());
    EXPECT_EQ(m_icon->getBackend()->getIconProtocol(), L"StatusNotifierItem");
    EXPECT_TRUE(m_icon->setIconAndToolTipText(wxIcon(), tip + L"y"));
    EXPECT_TRUE(m_icon->show());
    EXPECT_EQ(m_desktop->locked(m_desktop->registrations), 1);
    GVariant* toolTip = m_desktop->itemProperty("ToolTip");
    ASSERT_TRUE(toolTip);
    const gchar* title = nullptr;
    g_variant_get_child(toolTip, 2, "&s", &title);
    EXPECT_EQ(std::string(title), std::string(127, 'x'));
    g_variant_unref(toolTip);
    // The invalid icon: no picture, and a word in the log.
    GVariant* pixmaps = m_desktop->itemProperty("IconPixmap");
    EXPECT_EQ(g_variant_n_children(pixmaps), 0u);
    g_variant_unref(pixmaps);
    EXPECT_NE(m_log.text().find("not valid"), std::string::npos);

    // The shown icon's D-Bus menu: a click on an item reaches the connected handler.
    const std::string item = m_desktop->locked(m_desktop->items).at(0);
    GVariant* layout = m_desktop->menuLayout();
    ASSERT_TRUE(layout);
    // (u(ia{sv}av)): the second child of the root is "E_xit".
    GVariant* root = g_variant_get_child_value(layout, 1);
    GVariant* children = g_variant_get_child_value(root, 2);
    ASSERT_EQ(g_variant_n_children(children), 2u);
    GVariant* exitItem = g_variant_get_variant(g_variant_get_child_value(children, 1));
    gint32 id = 0;
    const gchar* label = nullptr;
    g_variant_get_child(exitItem, 0, "i", &id);
    g_variant_lookup(g_variant_get_child_value(exitItem, 1), "label", "&s", &label);
    EXPECT_STREQ(label, "E_xit");
    m_desktop->call(item, "/StatusNotifierItem/Menu", "com.canonical.dbusmenu", "Event",
                    g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u));
    EXPECT_TRUE(runLoopUntil([&] { return !m_icon->commands.empty(); }, 5000));
    EXPECT_EQ(m_icon->commands, std::vector<int>{wxID_EXIT});

    EXPECT_TRUE(m_icon->hide());
    EXPECT_TRUE(runLoopUntil([&] { return m_desktop->locked(m_desktop->items).empty(); }, 5000));
}

TEST_F(TaskBarIconTest, ActivateAndOneContextMenuWhoseCommandArrives)
{
    // GTK shows a menu on Wayland only for the input event that asked for it; a host there
    // shows the exported D-Bus menu instead of asking for this one.
    ZILUI_REQUIRE_X11("a menu popped up without an input event of ours");
    m_icon->setIconAndToolTipText(makeIcon(*wxBLUE), L"tip");
    ASSERT_TRUE(m_icon->show());
    m_desktop->callItem("Activate");
    ASSERT_TRUE(runLoopUntil([&] { return m_icon->events.size() == 2; }, 5000));
    EXPECT_EQ(m_icon->events, (std::vector<int>{0, 1}));

    // Both requests arrive while the first menu is open; the second must not open another.
    // The keys are real input: hold the display's input lock that other test processes take.
    auto inputLock = std::make_unique<CInputLock>();
    wxTimer chooser;
    bool chosen = false;
    chooser.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (chosen || !m_icon->isMenuShowing() || m_icon->events.size() < 6)
            return;
        chosen = true;
        wxUIActionSimulator keys;
        keys.Char(WXK_DOWN);
        keys.Char(WXK_RETURN);
    });
    chooser.Start(50);
    m_desktop->callItem("ContextMenu");
    m_desktop->callItem("ContextMenu");
    EXPECT_TRUE(runLoopUntil([&] { return !m_icon->commands.empty() && !m_icon->isMenuShowing(); }, 20000));
    inputLock.reset();
    EXPECT_EQ(m_icon->menusCreated, 1 + 1); // the D-Bus menu made at show(), then the popup
    EXPECT_EQ(m_icon->events, (std::vector<int>{0, 1, 3, 4, 3, 4}));
    EXPECT_EQ(m_icon->commands, std::vector<int>{wxID_OPEN});
}

TEST_F(TaskBarIconTest, NotificationIsCutAndItsClickIsEventSix)
{
    // A hidden icon shows no notification; the server sees only the one sent after show().
    EXPECT_FALSE(m_icon->showNotification(L"hidden", L"not shown", NIIF_INFO, 0));
    m_icon->setIconAndToolTipText(makeIcon(*wxBLUE), L"tip");
    ASSERT_TRUE(m_icon->show());
    // The server reads markup, so the '&' that ends the cut text must arrive escaped.
    ASSERT_TRUE(m_icon->showNotification(
        zil::String(100, L't'), zil::String(254, L'b') + L"&" + zil::String(45, L'c'), NIIF_WARNING, 4000));
    ASSERT_TRUE(runLoopUntil([&] { return !m_desktop->locked(m_desktop->notifications).empty(); }, 5000));
    const auto shown = m_desktop->locked(m_desktop->notifications);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, std::string(63, 't'));
    EXPECT_EQ(shown[0].body, std::string(254, 'b') + "&amp;");
    EXPECT_EQ(shown[0].icon, "dialog-warning");
    EXPECT_EQ(shown[0].timeout, 4000);
    // Another application's notification is not ours.
    for (guint32 id : {shown[0].id + 7, shown[0].id})
        g_dbus_connection_emit_signal(m_desktop->bus, nullptr, "/org/freedesktop/Notifications",
                                      "org.freedesktop.Notifications", "ActionInvoked",
                                      g_variant_new("(us)", id, "default"), nullptr);
    EXPECT_TRUE(runLoopUntil([&] { return !m_icon->events.empty(); }, 5000));
    drainSignalsFrom(*m_desktop);
    EXPECT_EQ(m_icon->events, std::vector<int>{TaskBarBalloonClicked});
}

TEST_F(TaskBarIconTest, ProgressReachesTheLauncherAndTheBadgeTheWindowIcons)
{
    EXPECT_FALSE(m_icon->setTaskBarProgress(0.5));
    EXPECT_FALSE(m_icon->setTaskBarProgressState(TBPF_NORMAL));
    EXPECT_FALSE(m_icon->setTaskBarButtonImageAndToolTipText(nullptr, L""));
    EXPECT_EQ(m_log.text().find("warning"), std::string::npos);

    wxFrame& frame = sharedFrame();
    frame.SetIcon(makeIcon(*wxGREEN, 32));
    ASSERT_TRUE(m_icon->initWindowsTaskBarFeatures(&frame));
    EXPECT_TRUE(m_icon->setTaskBarProgress(0.5));
    EXPECT_TRUE(m_icon->setTaskBarProgressState(TBPF_NOPROGRESS));
    ASSERT_TRUE(
        runLoopUntil([&] { return m_desktop->locked(m_desktop->launcherUpdates).size() == 2; }, 5000));
    const auto updates = m_desktop->locked(m_desktop->launcherUpdates);
    EXPECT_EQ(updates[0], std::make_pair(0.5, true));
    EXPECT_EQ(updates[1].second, false);

    // The text has nowhere to go here; the badge is what the result reports.
    wxIcon red = makeIcon(*wxRED);
    ASSERT_TRUE(m_icon->setTaskBarButtonImageAndToolTipText(&red, L"3 files left"));
    wxBitmap badged;
    badged.CopyFromIcon(frame.GetIcons().GetIconByIndex(0));
    const wxImage image = badged.ConvertToImage();
    EXPECT_EQ(wxColour(image.GetRed(28, 28), image.GetGreen(28, 28), image.GetBlue(28, 28)), *wxRED);
    EXPECT_EQ(wxColour(image.GetRed(4, 4), image.GetGreen(4, 4), image.GetBlue(4, 4)), *wxGREEN);
    ASSERT_TRUE(m_icon->setTaskBarButtonImageAndToolTipText(nullptr, L""));
    badged.CopyFromIcon(frame.GetIcons().GetIconByIndex(0));
    EXPECT_EQ(badged.ConvertToImage().GetRed(28, 28), 0);
}

TEST_F(TaskBarIconTest, WithoutWatcherTheTrayIsUsedAndTheIconFollowsWatchersAndTheDestructorUnregisters)
{
    m_desktop.reset(); // names go before the next desktop takes them
    m_desktop = std::make_unique<CFakeDesktop>(false);
    m_icon->setIconAndToolTipText(makeIcon(*wxRED), L"tray");
    // The XEmbed tray exists on X11 only; on Wayland the icon waits for a host, shown nowhere.
    const wchar_t* fallback = onWayland() ? L"" : L"XEmbed";
    EXPECT_EQ(m_icon->show(), !onWayland());
    EXPECT_EQ(m_icon->getBackend()->getIconProtocol(), fallback);

    for (bool watcher : {true, false, true}) {
        m_desktop.reset();
        m_desktop = std::make_unique<CFakeDesktop>(watcher);
        const wchar_t* protocol = watcher ? L"StatusNotifierItem" : fallback;
        EXPECT_TRUE(runLoopUntil([&] { return m_icon->getBackend()->getIconProtocol() == protocol; }, 5000));
    }
    EXPECT_EQ(m_desktop->locked(m_desktop->items).size(), 1u);
    // Held as a client holds it: the icon goes with the last reference, not the first.
    zil::P<CTaskBarIcon> held(m_icon.get());
    EXPECT_EQ(held->getRefCount(), 2);
    m_icon = nullptr;
    EXPECT_EQ(held->getRefCount(), 1);
    EXPECT_TRUE(held->isVisible());
    held = nullptr;
    EXPECT_TRUE(runLoopUntil([&] { return m_desktop->locked(m_desktop->items).empty(); }, 5000));
}

// In a child: GIO keeps the dead connection for the rest of the process.
TEST_F(TaskBarIconTest, GoneBusMakesCallsFailWithOneWarning)
{
    if (!inChildProcess())
        return;
    m_icon->setIconAndToolTipText(makeIcon(*wxRED), L"before");
    ASSERT_TRUE(m_icon->show());
    ASSERT_TRUE(m_icon->initWindowsTaskBarFeatures(&sharedFrame()));
    ASSERT_TRUE(m_desktop->menuLayout());
    privateSessionBus()->stop();
    GDBusConnection* shared = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    EXPECT_TRUE(runLoopUntil([&] { return g_dbus_connection_is_closed(shared); }, 5000));
    g_object_unref(shared);
    EXPECT_FALSE(m_icon->setIconAndToolTipText(makeIcon(*wxRED), L"later"));
    EXPECT_FALSE(m_icon->showNotification(L"t", L"b", NIIF_INFO, 0));
    EXPECT_FALSE(m_icon->setTaskBarProgress(0.25));
    EXPECT_FALSE(m_icon->hide());
    m_icon = nullptr;
    const std::string log = m_log.text();
    size_t warnings = 0;
    for (size_t at = log.find("level=\"warning\""); at != std::string::npos;
         at = log.find("level=\"warning\"", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 1u) << log;
}

} // namespace
} // namespace zilui::test
