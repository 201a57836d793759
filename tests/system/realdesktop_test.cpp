// SPDX-License-Identifier: MIT
// The notification-area icon and its notifications against the programs a desktop really runs:
// dunst as the notification server, waybar's tray under sway as the StatusNotifierItem host and
// trayer as the XEmbed tray on X11. Each test runs alone in a child process, whose session bus
// is its own (support/privatebus.h), and ends the programs it started.
#include "app/apptestutil.h"
#include "controls/inputframe.h"
#include "support/compositor.h"
#include "support/guitest.h"

#include <zilui/app/screen.h>
#include <zilui/system/taskbaricon.h>

#include <gtest/gtest.h>

#include <wx/menu.h>
#include <wx/uiaction.h>

#include <gdk/gdk.h>
#include <gio/gio.h>
#ifdef GDK_WINDOWING_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#endif

#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zilui::test {
namespace realdesktop {
namespace {

// Why `programs` cannot run here, or empty.
std::string notInstalled(std::initializer_list<const char*> programs)
{
    for (const char* program : programs) {
        gchar* path = g_find_program_in_path(program);
        g_free(path);
        if (!path)
            return std::string(program) + " is not installed (scripts/setup.sh installs it)";
    }
    return {};
}

// A desktop program started for one test. It ends with the object, or with this process when
// that crashes; what it prints goes to a file, shown when a check fails.
class CDesktopProgram {
public:
    CDesktopProgram(const zil::test::CTempFolder& folder, const std::vector<std::string>& args)
    {
        m_logPath = folder.api(zil::Path(zil::String::fromUTF8(args[0] + ".log")));
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        gchar** env = g_get_environ();
        // The accessibility bus is the test program's; the desktop's programs stay off it, and
        // off the user's settings and theme too.
        env = g_environ_setenv(env, "NO_AT_BRIDGE", "1", TRUE);
        env = g_environ_unsetenv(env, "GTK_MODULES");
        env = g_environ_setenv(env, "HOME", folder.path().toAPIPath().c_str(), TRUE);
        env = g_environ_unsetenv(env, "XDG_CONFIG_HOME");
        env = g_environ_unsetenv(env, "XDG_CACHE_HOME");
        env = g_environ_unsetenv(env, "XDG_DATA_HOME");
        env = g_environ_setenv(env, "GTK_THEME", "Adwaita", TRUE);
        const int logFd = ::open(m_logPath.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0600);
        GError* error = nullptr;
        GPid pid = 0;
        const bool started = g_spawn_async_with_fds(
            nullptr, argv.data(), env, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
            [](gpointer) { prctl(PR_SET_PDEATHSIG, SIGTERM); }, nullptr, &pid, -1, logFd, logFd, &error);
        g_strfreev(env);
        if (logFd >= 0)
            ::close(logFd);
        if (!started) {
            ADD_FAILURE() << "cannot start " << args[0] << ": " << error->message;
            g_error_free(error);
            return;
        }
        m_pid = pid;
    }
    ~CDesktopProgram()
    {
        if (!running())
            return;
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    CDesktopProgram(const CDesktopProgram&) = delete;
    CDesktopProgram& operator=(const CDesktopProgram&) = delete;

    pid_t pid() const { return m_pid; }
    bool running() const
    {
        if (m_pid > 0 && !m_ended && ::waitpid(m_pid, &m_status, WNOHANG) == m_pid)
            m_ended = true;
        return m_pid > 0 && !m_ended;
    }
    // What it printed, and how it ended if it did.
    std::string log() const
    {
        std::string text = readFile(zil::Path(zil::String::fromUTF8(m_logPath)));
        if (!running())
            text += WIFSIGNALED(m_status) ? "(ended by signal " + std::to_string(WTERMSIG(m_status)) + ")"
                                          : "(exited with " + std::to_string(WEXITSTATUS(m_status)) + ")";
        return text;
    }

private:
    std::string m_logPath;
    pid_t m_pid = -1;
    mutable bool m_ended = false;
    mutable int m_status = 0;
};

GVariant* callBus(const char* dest, const char* path, const char* iface, const char* method, GVariant* args,
                  const GVariantType* replyType)
{
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, dest, path, iface, method, args, replyType,
                                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, nullptr);
    g_object_unref(bus);
    return reply;
}

std::string nameOwner(const char* name)
{
    GVariant* reply = callBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                              "GetNameOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(s)"));
    if (!reply)
        return {};
    const gchar* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    const std::string result = owner;
    g_variant_unref(reply);
    return result;
}

// Every signal `owner` sent before now has reached its handlers, and what they queued has run:
// the bus delivers a ping's answer after them, and the main loop runs their handlers next.
void drainSignalsOf(const std::string& owner)
{
    if (GVariant* reply = callBus(owner.c_str(), "/", "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr))
        g_variant_unref(reply);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_TRUE(drainActions());
}

class CDesktopIcon : public CTaskBarIcon {
public:
    CDesktopIcon() : CTaskBarIcon(createDesktopNotificationAreaBackend(L"zilui-tests.desktop").get()) {}
    std::vector<int> events;
    std::vector<int> commands;
    int menusMade = 0;

protected:
    wxMenu* createPopupMenu() override
    {
        ++menusMade;
        auto* menu = new wxMenu;
        menu->Append(wxID_OPEN, "Open");
        menu->Append(wxID_EXIT, "Exit");
        return menu;
    }
    void onTaskBarEvent(TaskBarEvent event) override { events.push_back(event); }
};

zil::P<CDesktopIcon> makeDesktopIcon()
{
    zil::P<CDesktopIcon> icon(new CDesktopIcon);
    CDesktopIcon* raw = icon.get();
    icon->Bind(wxEVT_MENU, [raw](wxCommandEvent& e) { raw->commands.push_back(e.GetId()); });
    return icon;
}

wxIcon solidIcon(const wxColour& colour, int size)
{
    wxImage image(size, size);
    image.SetRGB(wxRect(0, 0, size, size), colour.Red(), colour.Green(), colour.Blue());
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    return icon;
}

// Where `image` holds `colour` (within a little rounding); empty when nowhere.
wxRect areaOf(const wxImage& image, const wxColour& colour)
{
    wxRect area;
    if (!image.IsOk())
        return area;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (std::abs(image.GetRed(x, y) - colour.Red()) <= 8 &&
                std::abs(image.GetGreen(x, y) - colour.Green()) <= 8 &&
                std::abs(image.GetBlue(x, y) - colour.Blue()) <= 8)
                area = area.IsEmpty() ? wxRect(x, y, 1, 1) : area.Union(wxRect(x, y, 1, 1));
    return area;
}

// dunst, on the test's session bus and display, read back through its own D-Bus interface.
class CDunst {
public:
    explicit CDunst(const zil::test::CTempFolder& folder)
        // Markup on, as most servers have it: a text must arrive escaped. The popups sit in a
        // corner where the tests' windows do not, and stay until clicked or timed out.
        : m_config(folder.writeFile(zil::Path(L"dunstrc"), "[global]\n"
                                                           "    markup = full\n"
                                                           "    origin = bottom-right\n"
                                                           "    offset = 0x0\n"
                                                           "    width = 200\n"
                                                           "    idle_threshold = 0\n"
                                                           "[urgency_normal]\n"
                                                           "    timeout = 20\n"
                                                           "[urgency_critical]\n"
                                                           "    timeout = 30\n")),
          m_program(folder, {"dunst", "-config", m_config.toAPIPath()})
    {
    }
    std::string owner() const { return nameOwner("org.freedesktop.Notifications"); }
    bool started() const
    {
        return runLoopUntil([&] { return !owner().empty() || !m_program.running(); }, 10000) &&
               !owner().empty();
    }
    int displayed() const
    {
        GVariant* reply =
            callBus("org.freedesktop.Notifications", kPath, "org.freedesktop.DBus.Properties", "Get",
                    g_variant_new("(ss)", kInterface, "displayedLength"), G_VARIANT_TYPE("(v)"));
        if (!reply)
            return -1;
        GVariant* value = nullptr;
        g_variant_get(reply, "(v)", &value);
        const int count =
            g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? int(g_variant_get_uint32(value)) : -1;
        g_variant_unref(value);
        g_variant_unref(reply);
        return count;
    }
    struct Entry {
        std::string summary, body;
        gint64 timeoutUs = -1;
    };
    // Closed notifications, newest first.
    std::vector<Entry> history() const
    {
        std::vector<Entry> entries;
        GVariant* reply = callBus("org.freedesktop.Notifications", kPath, kInterface,
                                  "NotificationListHistory", nullptr, G_VARIANT_TYPE("(aa{sv})"));
        if (!reply)
            return entries;
        GVariant* list = g_variant_get_child_value(reply, 0);
        for (gsize i = 0; i < g_variant_n_children(list); ++i) {
            GVariant* item = g_variant_get_child_value(list, i);
            Entry entry;
            const gchar* text = nullptr;
            if (g_variant_lookup(item, "summary", "&s", &text))
                entry.summary = text;
            if (g_variant_lookup(item, "body", "&s", &text))
                entry.body = text;
            g_variant_lookup(item, "timeout", "x", &entry.timeoutUs);
            entries.push_back(entry);
            g_variant_unref(item);
        }
        g_variant_unref(list);
        g_variant_unref(reply);
        return entries;
    }
    // What a click on the first notification shown does: its default action.
    bool clickFirst() const
    {
        GVariant* reply = callBus("org.freedesktop.Notifications", kPath, kInterface, "NotificationAction",
                                  g_variant_new("(u)", 0u), nullptr);
        if (reply)
            g_variant_unref(reply);
        return reply != nullptr;
    }
    bool closeAll() const
    {
        GVariant* reply = callBus("org.freedesktop.Notifications", kPath, kInterface, "NotificationCloseAll",
                                  nullptr, nullptr);
        if (reply)
            g_variant_unref(reply);
        return reply != nullptr;
    }
    std::string log() const { return m_program.log(); }

private:
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kInterface = "org.dunstproject.cmd0";
    zil::Path m_config;
    CDesktopProgram m_program;
};

// A notification shown through the real server is listed by it, replaces the previous one, and
// a click on it comes back as the balloon click, on X11 and on Wayland.
TEST(RealDesktop, NotificationServerShowsTheBalloonAndItsClickComesBack)
{
    if (const std::string missing = notInstalled({"dunst"}); !missing.empty())
        GTEST_SKIP() << missing;
    if (!inChildProcess())
        return;
    zil::test::CTempFolder folder;
    CGlobalLogCapture log;
    zil::P<CDesktopIcon> icon = makeDesktopIcon();
    icon->setIconAndToolTipText(solidIcon(*wxBLUE, 16), L"zilui");
    icon->show();
    // No server yet: the balloon goes nowhere, the log says so when the bus answers, and the
    // program goes on.
    icon->showNotification(L"early", L"no server", NIIF_INFO, 1000);
    EXPECT_TRUE(runLoopUntil([&] { return log.text().find("No notification server answers") != std::string::npos; },
                             10000))
        << log.text();

    CDunst dunst(folder);
    ASSERT_TRUE(dunst.started()) << dunst.log();
    const struct {
        zil::String title;
        zil::String text;
        NotifyIcon flag;
        int timeoutMs;
        std::string summary, body;
        gint64 timeoutUs;
    } cases[] = {
        // The server was missing at the first balloon: what it reads (markup) is asked anew.
        {L"Backup", L"Tom & Jerry <b>", NIIF_INFO, 60000, "Backup", "Tom &amp; Jerry &lt;b&gt;", 60000000},
        // No timeout of ours: the server's own for the urgency the icon flag gives.
        {L"Disk", L"almost full", NIIF_WARNING, 0, "Disk", "almost full", 20000000},
        {L"Disk", L"full", NIIF_ERROR, 0, "Disk", "full", 30000000},
        {zil::String(70, L't'), zil::String(300, L'b'), NIIF_USER, 45000, std::string(63, 't'),
         std::string(255, 'b'), 45000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.summary + ": " + c.body);
        icon->events.clear();
        const size_t closedBefore = dunst.history().size();
        ASSERT_TRUE(icon->showNotification(c.title, c.text, c.flag, c.timeoutMs)) << log.text();
        EXPECT_TRUE(runLoopUntil([&] { return dunst.displayed() == 1; }, 10000)) << dunst.log();
        ASSERT_TRUE(dunst.clickFirst());
        EXPECT_TRUE(runLoopUntil([&] { return !icon->events.empty(); }, 10000)) << dunst.log();
        // Closed, the server keeps it in its history, where it can be read.
        ASSERT_TRUE(dunst.closeAll());
        ASSERT_TRUE(runLoopUntil([&] { return dunst.history().size() == closedBefore + 1; }, 10000));
        drainSignalsOf(dunst.owner());
        EXPECT_EQ(icon->events, std::vector<int>{TaskBarBalloonClicked});
        const auto entry = dunst.history().front();
        EXPECT_EQ(entry.summary, c.summary);
        EXPECT_EQ(entry.body, c.body);
        EXPECT_EQ(entry.timeoutUs, c.timeoutUs);
    }

    // A new balloon replaces the one shown, and an empty text withdraws it unclicked. dunst 1.9
    // on Wayland crashes now and then (SIGSEGV) when a shown notification is replaced; what the
    // icon sends for it is the same on both, so that part is checked on X11.
    // The icon sends one call at a time, and a balloon overtaken before it went out is dropped:
    // each is seen through by the server (a call behind it on the same connection), and its
    // answer handled, before the next.
    const auto settle = [&] {
        ASSERT_TRUE(runLoopUntil([&] { return dunst.displayed() == 1; }, 10000)) << dunst.log();
        if (GVariant* reply = callBus("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                      "org.freedesktop.DBus.Peer", "Ping", nullptr, nullptr))
            g_variant_unref(reply);
        while (g_main_context_iteration(nullptr, FALSE))
            ;
    };
    icon->events.clear();
    if (!onWayland()) {
        ASSERT_TRUE(icon->showNotification(L"first", L"one", NIIF_INFO, 60000));
        settle();
    }
    ASSERT_TRUE(icon->showNotification(L"second", L"two", NIIF_INFO, 60000)) << dunst.log();
    settle();
    const size_t closedBefore = dunst.history().size();
    ASSERT_TRUE(icon->showNotification(L"second", L"", NIIF_INFO, 0));
    EXPECT_TRUE(runLoopUntil([&] { return dunst.displayed() == 0; }, 10000));
    drainSignalsOf(dunst.owner());
    EXPECT_EQ(icon->events, std::vector<int>{});
    const auto closed = dunst.history();
    ASSERT_EQ(closed.size(), closedBefore + 1);
    EXPECT_EQ(closed.front().summary, "second");
}

// What the compositor shows in `rect`; grim is asked at most every 100 ms, so that the programs
// drawing there get the processor meanwhile.
wxImage screenPicture(const wxRect& rect)
{
    wxMilliSleep(100);
    return compositorPicture(rect);
}

// Where `rect` of the compositor's picture shows `colour`, in layout coordinates; empty when
// nowhere.
wxRect compositorArea(const wxRect& rect, const wxColour& colour)
{
    wxRect area = areaOf(screenPicture(rect), colour);
    if (!area.IsEmpty())
        area.Offset(rect.GetPosition());
    return area;
}

// waybar's tray under sway shows the icon's own pixels in the bar; a left click activates the
// icon, and a right click opens the exported menu, drawn by waybar, whose items reach the icon.
TEST(RealDesktop, StatusNotifierHostShowsTheIconAndOpensItsMenu)
{
    if (!onWayland())
        GTEST_SKIP() << "waybar is a Wayland panel; on X11 the XEmbed tray test stands in";
    if (const std::string missing = notInstalled({"waybar"}); !missing.empty())
        GTEST_SKIP() << missing;
    ZILUI_REQUIRE_SCREEN_INPUT();
    if (!inChildProcess())
        return;
    ASSERT_EQ(screenInputMissing(), "");
    CInputLock lock;
    zil::test::CTempFolder folder;
    constexpr int kBarHeight = 28;
    constexpr int kMenuRowHeight = 20; // at least, in GTK's default theme
    const zil::Path config =
        folder.writeFile(zil::Path(L"waybar.json"),
                         R"({"layer": "top", "position": "top", "height": 28, "modules-right": ["tray"],
           "tray": {"icon-size": 16, "spacing": 4}})");
    const zil::Path style =
        folder.writeFile(zil::Path(L"waybar.css"), "window#waybar { background: #102030; }\n");
    CDesktopProgram waybar(folder, {"waybar", "-c", config.toAPIPath(), "-s", style.toAPIPath()});
    // As on a desktop, the bar is up before the program: its tray has told its watcher it
    // hosts the items.
    const auto hostReady = [] {
        GVariant* reply = callBus(
            "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties",
            "Get", g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"),
            G_VARIANT_TYPE("(v)"));
        if (!reply)
            return false;
        GVariant* value = nullptr;
        g_variant_get(reply, "(v)", &value);
        const bool ready =
            g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
        g_variant_unref(value);
        g_variant_unref(reply);
        return ready;
    };
    ASSERT_TRUE(runLoopUntil([&] { return hostReady() || !waybar.running(); }, 10000) && waybar.running())
        << waybar.log();

    // Channels that differ, so that pixels sent in the wrong byte order show another colour.
    const wxColour colour(230, 120, 20);
    zil::P<CDesktopIcon> icon = makeDesktopIcon();
    icon->setIconAndToolTipText(solidIcon(colour, 16), L"zilui");
    ASSERT_TRUE(icon->show());
    EXPECT_TRUE(
        runLoopUntil([&] { return icon->getBackend()->getIconProtocol() == L"StatusNotifierItem"; }, 10000));
    // The compositor draws the pointer into its picture: it waits in a corner far from the bar.
    const wxPoint away(10, wxGetDisplaySize().GetHeight() - 10);
    ASSERT_TRUE(pointerToScreen(away));
    const wxRect bar(0, 0, wxGetDisplaySize().GetWidth(), kBarHeight);
    wxRect shown;
    ASSERT_TRUE(runLoopUntil([&] { return !(shown = compositorArea(bar, colour)).IsEmpty(); }, 10000))
        << waybar.log();
    EXPECT_EQ(shown.GetSize(), wxSize(16, 16)) << shown.x << "," << shown.y;
    const wxPoint centre(shown.x + shown.width / 2, shown.y + shown.height / 2);

    const struct {
        int button;
        int item; // of the menu that opens, or -1
        std::vector<int> events, commands;
    } clicks[] = {
        {wxMOUSE_BTN_LEFT, -1, {TaskBarLeftButtonDown, TaskBarLeftButtonUp}, {}},
        {wxMOUSE_BTN_RIGHT, 0, {}, {wxID_OPEN}},
        {wxMOUSE_BTN_RIGHT, 1, {}, {wxID_EXIT}},
    };
    // The menu keeps its shape, so opening it gives the host no new layout: one makes it refill
    // the menu it shows, which waybar now and then leaves empty.
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_TRUE(bus);
    int layouts = 0;
    const guint layoutWatch = g_dbus_connection_signal_subscribe(
        bus, nullptr, "com.canonical.dbusmenu", "LayoutUpdated", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
           gpointer count) { ++*static_cast<int*>(count); },
        &layouts, nullptr);
    // The layout the icon exported as it showed comes back to us too; it is not counted.
    drainSignalsOf(g_dbus_connection_get_unique_name(bus));
    const int exportedLayouts = layouts;
    // waybar opens the menu beside the icon, white as GTK's default theme draws menus.
    const wxRect besideIcon = wxRect(shown.x - 300, 0, 600, 200).Intersect(wxRect(wxGetDisplaySize()));
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.item);
        icon->events.clear();
        icon->commands.clear();
        const int menusBefore = icon->menusMade;
        ASSERT_TRUE(pointerToScreen(centre));
        ASSERT_TRUE(pointerClick(c.button));
        if (c.item >= 0) {
            wxRect menu;
            ASSERT_TRUE(
                runLoopUntil([&] { return !(menu = compositorArea(besideIcon, *wxWHITE)).IsEmpty(); }, 10000))
                << waybar.log();
            // The host asks for the menu anew as it opens, and shows it empty for a moment while
            // it puts the new items in; once it shows both items, still, the item is picked by
            // its row. GTK's menu takes an item under the pointer only once the pointer moves
            // over it.
            EXPECT_TRUE(runLoopUntil([&] { return icon->menusMade > menusBefore; }, 10000));
            wxRect previous;
            EXPECT_TRUE(runLoopUntil(
                [&] {
                    previous = menu;
                    menu = compositorArea(besideIcon, *wxWHITE);
                    return menu == previous && menu.height >= 2 * kMenuRowHeight;
                },
                10000));
            const wxPoint item(menu.x + menu.width / 2, menu.y + menu.height * (2 * c.item + 1) / 4);
            ASSERT_TRUE(pointerToScreen(item - wxPoint(4, 0)));
            ASSERT_TRUE(pointerToScreen(item));
            ASSERT_TRUE(pointerClick());
            ASSERT_TRUE(pointerToScreen(away));
            EXPECT_TRUE(runLoopUntil([&] { return !icon->commands.empty(); }, 10000))
                << "menu " << menu.x << "," << menu.y << " " << menu.width << "x" << menu.height;
            // The chosen item closes the menu.
            EXPECT_TRUE(runLoopUntil([&] { return compositorArea(besideIcon, *wxWHITE).IsEmpty(); }, 10000));
        } else {
            EXPECT_TRUE(runLoopUntil([&] { return icon->events.size() >= c.events.size(); }, 10000));
        }
        drainSignalsOf(nameOwner("org.kde.StatusNotifierWatcher"));
        EXPECT_EQ(icon->events, c.events);
        EXPECT_EQ(icon->commands, c.commands);
    }
    g_dbus_connection_signal_unsubscribe(bus, layoutWatch);
    g_object_unref(bus);
    EXPECT_EQ(layouts, exportedLayouts);

    // Hidden, the icon leaves the bar.
    EXPECT_TRUE(icon->hide());
    EXPECT_TRUE(runLoopUntil([&] { return compositorArea(bar, colour).IsEmpty(); }, 10000));
}

#ifdef GDK_WINDOWING_X11
// The X server's windows and their properties, with errors ignored: a window may go while it is
// looked at.
class CXTree {
public:
    CXTree() : m_display(GDK_DISPLAY_XDISPLAY(gdk_display_get_default())) {}

    // `window` and the windows below it.
    std::vector<Window> below(Window window) const
    {
        std::vector<Window> found{window};
        gdk_x11_display_error_trap_push(gdk_display_get_default());
        for (size_t i = 0; i < found.size(); ++i) {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            if (XQueryTree(m_display, found[i], &root, &parent, &children, &count)) {
                found.insert(found.end(), children, children + count);
                XFree(children);
            }
        }
        gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
        return found;
    }
    std::vector<Window> all() const { return below(DefaultRootWindow(m_display)); }
    long pid(Window window) const
    {
        long value = -1;
        gdk_x11_display_error_trap_push(gdk_display_get_default());
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, left = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, window, XInternAtom(m_display, "_NET_WM_PID", False), 0, 1, False,
                               XA_CARDINAL, &type, &format, &count, &left, &data) == Success &&
            data && count == 1)
            value = *reinterpret_cast<long*>(data);
        if (data)
            XFree(data);
        gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
        return value;
    }
    std::string instanceName(Window window) const
    {
        std::string name;
        gdk_x11_display_error_trap_push(gdk_display_get_default());
        XClassHint hint{};
        if (XGetClassHint(m_display, window, &hint)) {
            name = hint.res_name ? hint.res_name : "";
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
        return name;
    }
    // Where `window` lies on the screen; empty when it is gone.
    wxRect rect(Window window) const
    {
        wxRect result;
        gdk_x11_display_error_trap_push(gdk_display_get_default());
        XWindowAttributes attributes{};
        Window child = 0;
        int x = 0, y = 0;
        if (XGetWindowAttributes(m_display, window, &attributes) && attributes.map_state == IsViewable &&
            XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child))
            result = wxRect(x, y, attributes.width, attributes.height);
        gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
        return result;
    }

private:
    Display* m_display;
};

// trayer embeds the icon's own window and shows its pixels; hiding takes it out, showing puts
// it back, and a click on it reaches the icon.
TEST(RealDesktop, XEmbedTrayEmbedsTheFallbackIcon)
{
    ZILUI_REQUIRE_X11("XEmbed trays embed X windows");
    if (const std::string missing = notInstalled({"trayer"}); !missing.empty())
        GTEST_SKIP() << missing;
    if (!inChildProcess())
        return;
    // A screen has one tray; other test programs on this display wait for it. The click is
    // real input too.
    CInputLock lock;
    zil::test::CTempFolder folder;
    CDesktopProgram trayer(folder,
                           {"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                            "--heighttype", "pixel", "--height", "24", "--transparent", "false", "--tint",
                            "0x102030", "--SetDockType", "false", "--SetPartialStrut", "false"});
    const CXTree tree;
    Window panel = 0;
    ASSERT_TRUE(runLoopUntil(
                    [&] {
                        for (Window w : tree.all())
                            if (tree.pid(w) == trayer.pid() && tree.instanceName(w) == "panel")
                                panel = w;
                        return panel || !trayer.running();
                    },
                    10000) &&
                panel)
        << trayer.log();
    // Embedded: a window of this process inside the panel.
    const auto embedded = [&] {
        for (Window w : tree.below(panel))
            if (tree.pid(w) == getpid() && !tree.rect(w).IsEmpty())
                return true;
        return false;
    };

    const wxColour colour(230, 120, 20);
    zil::P<CDesktopIcon> icon = makeDesktopIcon();
    icon->setIconAndToolTipText(solidIcon(colour, 16), L"zilui");
    // Where the panel shows the icon's pixels, on the screen; empty when nowhere.
    const auto iconArea = [&] {
        const wxRect panelRect = tree.rect(panel);
        wxRect area = areaOf(readScreen(panelRect), colour);
        if (!area.IsEmpty())
            area.Offset(panelRect.GetPosition());
        return area;
    };
    // The panel grows to take the icon: until it is done, part of the icon shows.
    const auto whole = [](const wxRect& area) { return area.width >= 12 && area.height >= 12; };
    wxRect shown;
    for (const bool show : {true, false, true}) {
        SCOPED_TRACE(show);
        EXPECT_TRUE(show ? icon->show() : icon->hide());
        // Known once the bus has said that no watcher runs.
        EXPECT_TRUE(runLoopUntil([&] { return icon->getBackend()->getIconProtocol() == (show ? L"XEmbed" : L""); },
                                 10000));
        EXPECT_TRUE(runLoopUntil([&] { return embedded() == show; }, 10000)) << trayer.log();
        EXPECT_TRUE(
            runLoopUntil([&] { return show ? whole(shown = iconArea()) : iconArea().IsEmpty(); }, 10000))
            << shown.width << "x" << shown.height;
    }

    // The menu opens inside the click's handling and runs until it closes: the keys that pick
    // its first item come from a timer.
    wxTimer chooser;
    bool chosen = false;
    chooser.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (chosen || !icon->isMenuShowing())
            return;
        chosen = true;
        typeKey(WXK_DOWN);
        typeKey(WXK_RETURN);
    });
    chooser.Start(50);
    const struct {
        int button;
        std::vector<int> events, commands;
    } clicks[] = {
        {wxMOUSE_BTN_LEFT, {TaskBarLeftButtonDown, TaskBarLeftButtonUp}, {}},
        {wxMOUSE_BTN_RIGHT, {TaskBarRightButtonDown, TaskBarRightButtonUp}, {wxID_OPEN}},
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.button);
        icon->events.clear();
        chosen = false;
        // Another test program's tray icon may have joined the panel and moved ours.
        ASSERT_TRUE(runLoopUntil([&] { return whole(shown = iconArea()); }, 10000));
        ASSERT_TRUE(pointerToScreen({shown.x + shown.width / 2, shown.y + shown.height / 2}));
        ASSERT_TRUE(pointerClick(c.button));
        EXPECT_TRUE(runLoopUntil(
            [&] { return icon->events.size() >= 2 && icon->commands.size() == c.commands.size(); }, 10000));
        EXPECT_TRUE(drainActions());
        EXPECT_EQ(icon->events, c.events);
        EXPECT_EQ(icon->commands, c.commands);
    }
    EXPECT_FALSE(icon->isMenuShowing());
}
#endif

} // namespace
} // namespace realdesktop
} // namespace zilui::test
