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
#include <wx/taskbar.h>
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
        guint32 replaces;
        std::string icon, title, body;
        int timeout;
    };
    // The watcher's answer to a registration: at once, after this many milliseconds, or when
    // the test calls answerHeld().
    static constexpr int kAtOnce = 0, kHeld = -1;
    std::mutex mutex;
    std::vector<std::string> items; // registered and still on the bus
    int registrations = 0;
    int registrationsHeld = 0; // asked for, not answered yet
    std::vector<Notification> notifications;
    std::vector<guint32> closedNotifications;
    std::vector<std::pair<double, bool>> launcherUpdates; // progress, progress-visible
    GDBusConnection* bus = nullptr;

    explicit CFakeDesktop(bool withWatcher, int watcherAnswersAfterMs = kAtOnce)
        : m_answerAfterMs(watcherAnswersAfterMs)
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
    // Answers the registrations held so far, on the desktop's thread; returns once it has.
    void answerHeld()
    {
        struct Job {
            CFakeDesktop* self;
            bool done = false;
        } job{this};
        g_main_context_invoke(
            g_main_loop_get_context(m_loop),
            [](gpointer data) {
                auto* job = static_cast<Job*>(data);
                job->self->answerHeldHere();
                std::lock_guard<std::mutex> lock(job->self->mutex);
                job->done = true;
                job->self->m_answered.notify_all();
                return G_SOURCE_REMOVE;
            },
            &job);
        std::unique_lock<std::mutex> lock(mutex);
        m_answered.wait(lock, [&] { return job.done; });
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
        if (m_answerTimer) {
            g_source_destroy(m_answerTimer);
            g_source_unref(m_answerTimer);
        }
        for (auto& held : m_held)
            g_dbus_method_invocation_return_dbus_error(held.first, "org.zilui.Test.Gone", "the desktop went");
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
            const std::string item = service[0] == '/' ? sender : service;
            if (self->m_answerAfterMs == kAtOnce) {
                self->items.push_back(item);
                ++self->registrations;
                g_dbus_method_invocation_return_value(invocation, nullptr);
                return;
            }
            self->m_held.emplace_back(invocation, item);
            ++self->registrationsHeld;
            if (self->m_answerAfterMs > 0 && !self->m_answerTimer) {
                self->m_answerTimer = g_timeout_source_new(static_cast<guint>(self->m_answerAfterMs));
                g_source_set_callback(
                    self->m_answerTimer,
                    [](gpointer data) {
                        static_cast<CFakeDesktop*>(data)->answerHeldHere();
                        return G_SOURCE_REMOVE;
                    },
                    self, nullptr);
                g_source_attach(self->m_answerTimer, g_main_context_get_thread_default());
            }
        } else if (name == "Notify") {
            const gchar *icon, *title, *body;
            guint32 replaces;
            gint32 timeout;
            g_variant_get(args, "(&su&s&s&s@as@a{sv}i)", nullptr, &replaces, &icon, &title, &body, nullptr,
                          nullptr, &timeout);
            const guint32 id = static_cast<guint32>(self->notifications.size() + 1);
            self->notifications.push_back({id, replaces, icon, title, body, timeout});
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", id));
        } else if (name == "CloseNotification") {
            guint32 id = 0;
            g_variant_get(args, "(u)", &id);
            self->closedNotifications.push_back(id);
            g_dbus_method_invocation_return_value(invocation, nullptr);
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

    // A watcher that answers late keeps only the items still on the bus then, as a real one
    // watches each item's name, and refuses the others.
    void answerHeldHere()
    {
        std::vector<std::pair<GDBusMethodInvocation*, std::string>> held;
        {
            std::lock_guard<std::mutex> lock(mutex);
            held.swap(m_held);
            registrationsHeld = 0;
        }
        for (auto& [invocation, item] : held) {
            GVariant* owner = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
                g_variant_new("(s)", item.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
            if (!owner) {
                g_dbus_method_invocation_return_dbus_error(invocation, "org.zilui.Test.NoSuchItem",
                                                           "the item has left the bus");
                continue;
            }
            g_variant_unref(owner);
            {
                std::lock_guard<std::mutex> lock(mutex);
                items.push_back(item);
                ++registrations;
            }
            g_dbus_method_invocation_return_value(invocation, nullptr);
        }
    }

    const int m_answerAfterMs;
    std::vector<std::pair<GDBusMethodInvocation*, std::string>> m_held;
    GSource* m_answerTimer = nullptr;
    std::thread m_thread;
    std::condition_variable m_ready, m_answered;
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
    // The icon goes to the watcher without waiting for it; this waits for its answer.
    bool showRegistered()
    {
        return m_icon->show() &&
               runLoopUntil([&] { return m_desktop->locked(m_desktop->items).size() == 1; }, 5000);
    }
    size_t warningsSince(size_t logOffset) const
    {
        const std::string log = m_log.text();
        size_t warnings = 0;
        for (size_t at = log.find("level=\"warning\"", logOffset); at != std::string::npos;
             at = log.find("level=\"warning\"", at + 1))
            ++warnings;
        return warnings;
    }

    CGlobalLogCapture m_log;
    std::unique_ptr<CFakeDesktop> m_desktop = std::make_unique<CFakeDesktop>(true);
    zil::P<CRecordingIcon> m_icon;
};

// The longest time the GUI thread's loop went without running a 10 ms timeout: a call that
// waits for its answer on that thread shows as a gap as long as the wait.
class CLoopGapMeter {
public:
    CLoopGapMeter() : m_last(g_get_monotonic_time()), m_source(g_timeout_add(10, &tick, this)) {}
    ~CLoopGapMeter() { g_source_remove(m_source); }
    gint64 longestMs() const { return std::max(m_longest, g_get_monotonic_time() - m_last) / 1000; }

private:
    static gboolean tick(gpointer self)
    {
        auto* meter = static_cast<CLoopGapMeter*>(self);
        const gint64 now = g_get_monotonic_time();
        meter->m_longest = std::max(meter->m_longest, now - meter->m_last);
        meter->m_last = now;
        return G_SOURCE_CONTINUE;
    }
    gint64 m_longest = 0;
    gint64 m_last;
    guint m_source;
};

TEST_F(TaskBarIconTest, ShowRegistersOnceUpdatesServesTheMenuAndHideUnregisters)
{
    const zil::String tip(200, L'x');
    EXPECT_FALSE(m_icon->setIconAndToolTipText(makeIcon(*wxRED), tip)); // hidden: nothing to call
    EXPECT_FALSE(m_icon->hide());
    ASSERT_TRUE(showRegistered());
    EXPECT_EQ(m_icon->getBackend()->getIconProtocol(), L"StatusNotifierItem");
    EXPECT_TRUE(m_icon->setIconAndToolTipText(wxIcon(), tip + L"y"));
    EXPECT_TRUE(m_icon->show());
    drainSignalsFrom(*m_desktop);
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
    ASSERT_TRUE(showRegistered());
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
    m_icon->show(); // true while the bus has not yet said whether a watcher runs
    EXPECT_TRUE(runLoopUntil(
        [&] {
            return onWayland() ? m_log.text().find("only on X11") != std::string::npos
                               : m_icon->getBackend()->getIconProtocol() == fallback;
        },
        5000));
    EXPECT_EQ(m_icon->show(), !onWayland());
    EXPECT_EQ(m_icon->getBackend()->getIconProtocol(), fallback);

    for (bool watcher : {true, false, true}) {
        m_desktop.reset();
        m_desktop = std::make_unique<CFakeDesktop>(watcher);
        const wchar_t* protocol = watcher ? L"StatusNotifierItem" : fallback;
        EXPECT_TRUE(runLoopUntil([&] { return m_icon->getBackend()->getIconProtocol() == protocol; }, 5000));
    }
    // Hosts coming and going say nothing more: one line tells that the icon waits for a host
    // (on X11 when no XEmbed tray runs either).
    // (A watcher that goes while the icon registers is another matter, named on a line of its own.)
    size_t waitingLines = 0;
    for (size_t at = m_log.text().find("No StatusNotifierItem host"); at != std::string::npos;
         at = m_log.text().find("No StatusNotifierItem host", at + 1))
        ++waitingLines;
    EXPECT_EQ(waitingLines, onWayland() || !wxTaskBarIcon::IsAvailable() ? 1u : 0u) << m_log.text();
    EXPECT_TRUE(runLoopUntil([&] { return m_desktop->locked(m_desktop->items).size() == 1; }, 5000));
    // Held as a client holds it: the icon goes with the last reference, not the first.
    zil::P<CTaskBarIcon> held(m_icon.get());
    EXPECT_EQ(held->getRefCount(), 2);
    m_icon = nullptr;
    EXPECT_EQ(held->getRefCount(), 1);
    EXPECT_TRUE(held->isVisible());
    held = nullptr;
    EXPECT_TRUE(runLoopUntil([&] { return m_desktop->locked(m_desktop->items).empty(); }, 5000));
}

// A watcher that answers late is heard when it answers; one that never answers leaves the icon
// on the fallback after the call's timeout, with one line in the log. Meanwhile the GUI thread
// keeps running its loop: waiting there would show as a gap of seconds.
TEST_F(TaskBarIconTest, SlowOrSilentWatcherNeverBlocksTheGuiThread)
{
    const struct {
        int answerAfterMs;
        bool registered;
    } cases[] = {{2000, true}, {CFakeDesktop::kHeld, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answerAfterMs);
        m_icon = nullptr;
        m_desktop.reset();
        m_desktop = std::make_unique<CFakeDesktop>(true, c.answerAfterMs);
        const size_t logOffset = m_log.text().size();
        m_icon = new CRecordingIcon;
        m_icon->setIconAndToolTipText(makeIcon(*wxRED), L"slow");

        CLoopGapMeter meter;
        EXPECT_TRUE(m_icon->show());
        if (c.registered) {
            EXPECT_TRUE(
                runLoopUntil([&] { return m_desktop->locked(m_desktop->registrations) == 1; }, 10000));
            EXPECT_EQ(m_icon->getBackend()->getIconProtocol(), L"StatusNotifierItem");
            EXPECT_EQ(warningsSince(logOffset), 0u) << m_log.text();
        } else {
            EXPECT_TRUE(runLoopUntil(
                [&] { return m_log.text().find("did not answer", logOffset) != std::string::npos; }, 10000));
            drainActions();
            EXPECT_EQ(m_icon->getBackend()->getIconProtocol(), onWayland() ? L"" : L"XEmbed");
            // On X11 without an XEmbed tray either, that is a line of its own.
            const size_t noTray = !onWayland() && !wxTaskBarIcon::IsAvailable() ? 1u : 0u;
            EXPECT_EQ(warningsSince(logOffset), 1u + noTray) << m_log.text();
            EXPECT_EQ(m_desktop->locked(m_desktop->registrations), 0);
        }
        // A call waiting on the GUI thread would block it for seconds; 1 s leaves a loaded
        // machine room and still tells the two apart.
        RecordProperty("longestLoopGapMs" + std::to_string(c.answerAfterMs),
                       std::to_string(meter.longestMs()));
        EXPECT_LT(meter.longestMs(), 1000);
    }
}

// The icon goes away while the watcher has not answered yet: its late answer must neither
// register the icon nor bring it back, and the next show() starts a registration of its own.
TEST_F(TaskBarIconTest, WatcherAnsweringAfterTheIconWentRegistersNothing)
{
    GDBusConnection* shared = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_TRUE(shared);
    for (const bool destroyed : {false, true}) {
        SCOPED_TRACE(destroyed ? "destroyed" : "hidden");
        m_icon = nullptr;
        m_desktop.reset();
        m_desktop = std::make_unique<CFakeDesktop>(true, CFakeDesktop::kHeld);
        const size_t logOffset = m_log.text().size();
        m_icon = new CRecordingIcon;
        m_icon->setIconAndToolTipText(makeIcon(*wxRED), L"late");
        ASSERT_TRUE(m_icon->show());
        ASSERT_TRUE(runLoopUntil([&] { return m_desktop->locked(m_desktop->registrationsHeld) == 1; }, 5000));
        if (destroyed)
            m_icon = nullptr;
        else
            EXPECT_TRUE(m_icon->hide());
        // The bus handles one connection's messages in order: after this round trip the item's
        // name is given back, if the icon gave it back.
        GVariant* id = g_dbus_connection_call_sync(shared, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                   "org.freedesktop.DBus", "GetId", nullptr, nullptr,
                                                   G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        ASSERT_TRUE(id);
        g_variant_unref(id);
        m_desktop->answerHeld();
        drainSignalsFrom(*m_desktop);
        EXPECT_EQ(m_desktop->locked(m_desktop->registrations), 0);
        // The refusal is not the icon's business any more: no fallback, no log line.
        EXPECT_EQ(warningsSince(logOffset), 0u) << m_log.text();
        if (destroyed)
            continue;
        EXPECT_EQ(m_icon->getBackend()->getIconProtocol(), L"");

        ASSERT_TRUE(m_icon->show());
        ASSERT_TRUE(runLoopUntil([&] { return m_desktop->locked(m_desktop->registrationsHeld) == 1; }, 5000));
        m_desktop->answerHeld();
        EXPECT_TRUE(runLoopUntil([&] { return m_desktop->locked(m_desktop->items).size() == 1; }, 5000));
        drainSignalsFrom(*m_desktop);
        EXPECT_EQ(m_desktop->locked(m_desktop->registrations), 1);
        EXPECT_EQ(m_icon->getBackend()->getIconProtocol(), L"StatusNotifierItem");
    }
    g_object_unref(shared);
}

// Each balloon replaces the one before by the id the server gave it, so a balloon asked for
// before that id is known waits for it; one overtaken while waiting is never sent. A
// withdrawal waits the same way.
TEST_F(TaskBarIconTest, BalloonsAskedForQuicklyReplaceEachOtherInOrder)
{
    m_icon->setIconAndToolTipText(makeIcon(*wxBLUE), L"tip");
    ASSERT_TRUE(m_icon->show());
    const struct {
        std::vector<const wchar_t*> texts; // asked for without running the loop between
        std::vector<std::string> sent;
        bool withdrawn;
    } cases[] = {
        // The first waits for the server's capabilities, and the later ones overtake it.
        {{L"a", L"b", L"c"}, {"c"}, false},
        {{L"d", L"e", L"f"}, {"d", "f"}, false},
        {{L"g", L""}, {"g"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent.back());
        const size_t before = m_desktop->locked(m_desktop->notifications).size();
        const size_t closedBefore = m_desktop->locked(m_desktop->closedNotifications).size();
        guint32 previous = before ? m_desktop->locked(m_desktop->notifications).back().id : 0;
        for (const wchar_t* text : c.texts)
            EXPECT_TRUE(m_icon->showNotification(L"title", text, NIIF_INFO, 0));
        EXPECT_TRUE(runLoopUntil(
            [&] {
                return m_desktop->locked(m_desktop->notifications).size() == before + c.sent.size() &&
                       m_desktop->locked(m_desktop->closedNotifications).size() == closedBefore + c.withdrawn;
            },
            5000));
        drainSignalsFrom(*m_desktop);
        const auto shown = m_desktop->locked(m_desktop->notifications);
        ASSERT_EQ(shown.size(), before + c.sent.size());
        for (size_t i = 0; i < c.sent.size(); ++i) {
            const auto& n = shown[before + i];
            EXPECT_EQ(n.body, c.sent[i]);
            EXPECT_EQ(n.replaces, previous);
            previous = n.id;
        }
        const auto closed = m_desktop->locked(m_desktop->closedNotifications);
        ASSERT_EQ(closed.size(), closedBefore + c.withdrawn);
        if (c.withdrawn) {
            EXPECT_EQ(closed.back(), previous);
        }
    }
    // Nothing left to withdraw.
    EXPECT_FALSE(m_icon->showNotification(L"title", L"", NIIF_INFO, 0));
}

// In a child, where the process's shared bus connection is not made yet when the icon is:
// what is asked for meanwhile is done once it is, and an icon that goes meanwhile must not
// fail the connection for the next one.
TEST_F(TaskBarIconTest, WorkAskedForBeforeTheBusConnectsIsDoneOnceItHas)
{
    if (!inChildProcess())
        return;
    m_icon = nullptr; // its backend is still connecting
    m_icon = new CRecordingIcon;
    m_icon->setIconAndToolTipText(makeIcon(*wxRED), L"early");
    EXPECT_TRUE(m_icon->show());
    EXPECT_TRUE(m_icon->showNotification(L"title", L"early", NIIF_INFO, 0));
    ASSERT_TRUE(m_icon->initWindowsTaskBarFeatures(&sharedFrame()));
    EXPECT_TRUE(m_icon->setTaskBarProgress(0.5));
    EXPECT_TRUE(runLoopUntil(
        [&] {
            return m_desktop->locked(m_desktop->items).size() == 1 &&
                   m_desktop->locked(m_desktop->notifications).size() == 1 &&
                   m_desktop->locked(m_desktop->launcherUpdates).size() == 1;
        },
        5000));
    EXPECT_EQ(m_icon->getBackend()->getIconProtocol(), L"StatusNotifierItem");
    EXPECT_EQ(m_desktop->locked(m_desktop->launcherUpdates),
              (std::vector<std::pair<double, bool>>{{0.5, true}}));
    EXPECT_EQ(warningsSince(0), 0u) << m_log.text();
}

// In a child: GIO keeps the dead connection for the rest of the process.
TEST_F(TaskBarIconTest, GoneBusMakesCallsFailWithOneWarning)
{
    if (!inChildProcess())
        return;
    m_icon->setIconAndToolTipText(makeIcon(*wxRED), L"before");
    ASSERT_TRUE(showRegistered());
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
    EXPECT_EQ(warningsSince(0), 1u) << m_log.text();
}

} // namespace
} // namespace zilui::test
