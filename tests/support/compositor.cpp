// SPDX-License-Identifier: MIT
#include "support/compositor.h"

#include "app/apptestutil.h"

#include <zilui/app/screen.h>

#include <wx/mstream.h>
#include <wx/toplevel.h>
#include <wx/uiaction.h>
#include <wx/window.h>

#include <gdk/gdk.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif
#include <glib.h>
#include <json-glib/json-glib.h>

#include <linux/input-event-codes.h>

#include <chrono>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zilui::test {
namespace {

// Runs a program found on PATH and returns what it printed; nullopt when it failed.
std::optional<std::string> runProgram(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    gchar* out = nullptr;
    gsize length = 0;
    gint status = 0;
    GError* error = nullptr;
    // Binary output (a PNG) needs its length: read it through a pipe of our own.
    gint outFd = -1;
    GPid pid = 0;
    if (!g_spawn_async_with_pipes(nullptr, argv.data(), nullptr,
                                  GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr, &pid,
                                  nullptr, &outFd, nullptr, &error)) {
        g_clear_error(&error);
        return std::nullopt;
    }
    GIOChannel* channel = g_io_channel_unix_new(outFd);
    g_io_channel_set_encoding(channel, nullptr, nullptr);
    g_io_channel_set_close_on_unref(channel, TRUE);
    const GIOStatus read = g_io_channel_read_to_end(channel, &out, &length, nullptr);
    g_io_channel_unref(channel);
    waitpid(pid, &status, 0);
    g_spawn_close_pid(pid);
    std::optional<std::string> result;
    if (read == G_IO_STATUS_NORMAL && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        result = std::string(out ? out : "", length);
    g_free(out);
    return result;
}

bool onPath(const char* program)
{
    gchar* path = g_find_program_in_path(program);
    g_free(path);
    return path != nullptr;
}

// The test's own pointer and keyboard: one tool process for the whole run, answering each
// command once the compositor has taken it.
class CVirtualPointer {
public:
    static CVirtualPointer& get()
    {
        static CVirtualPointer pointer;
        return pointer;
    }
    bool ok() const { return m_in >= 0; }
    const std::string& problem() const { return m_problem; }
    bool send(const std::string& command)
    {
        if (!ok())
            return false;
        const std::string line = command + "\n";
        if (::write(m_in, line.data(), line.size()) != ssize_t(line.size()))
            return stop("the virtual input tool went away");
        const std::string answer = readLine();
        if (answer != "ok")
            return answer.empty() ? stop("the virtual input tool went away") : false;
        return true;
    }
    ~CVirtualPointer() { stop({}); }

private:
    CVirtualPointer()
    {
#ifdef ZILUI_VINPUT_PATH
        char* argv[] = {const_cast<char*>(ZILUI_VINPUT_PATH), nullptr};
        GError* error = nullptr;
        if (!g_spawn_async_with_pipes(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &m_pid,
                                      &m_in, &m_out, nullptr, &error)) {
            m_problem = std::string("cannot start the virtual input tool: ") + error->message;
            g_clear_error(&error);
            return;
        }
        // Other children of the run (a bus daemon, a test program) must not hold the tool's
        // input open past our end, or it never sees its end of input.
        fcntl(m_in, F_SETFD, FD_CLOEXEC);
        fcntl(m_out, F_SETFD, FD_CLOEXEC);
        if (readLine().rfind("ready", 0) != 0)
            stop("the compositor offers no virtual pointer (the tool's reason is on standard error)");
#else
        m_problem = "the virtual input tool was not built (no wayland-client or wayland-scanner)";
#endif
    }
    std::string readLine()
    {
        std::string line;
        char c = 0;
        while (::read(m_out, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    bool stop(const std::string& problem)
    {
        if (m_in >= 0) {
            // A child forked without exec (GIO's test bus watcher) keeps the pipe open.
            ::kill(m_pid, SIGTERM);
            ::close(m_in);
            ::close(m_out);
            waitpid(m_pid, nullptr, 0);
            g_spawn_close_pid(m_pid);
        }
        m_in = m_out = -1;
        if (!problem.empty())
            m_problem = problem;
        return false;
    }
    GPid m_pid = 0;
    int m_in = -1, m_out = -1;
    std::string m_problem;
};

std::optional<wxPoint> surfaceOrigin(JsonObject* node, const std::string& title)
{
    if (json_object_has_member(node, "pid") && json_object_get_int_member(node, "pid") == getpid() &&
        json_object_has_member(node, "name") && !json_object_get_null_member(node, "name") &&
        title == json_object_get_string_member(node, "name")) {
        JsonObject* rect = json_object_get_object_member(node, "rect");
        JsonObject* content = json_object_get_object_member(node, "window_rect");
        JsonObject* geometry = json_object_get_object_member(node, "geometry");
        // The content sits at rect + window_rect; the surface begins geometry's offset before it
        // (a client-side shadow).
        return wxPoint(int(json_object_get_int_member(rect, "x") + json_object_get_int_member(content, "x") -
                           json_object_get_int_member(geometry, "x")),
                       int(json_object_get_int_member(rect, "y") + json_object_get_int_member(content, "y") -
                           json_object_get_int_member(geometry, "y")));
    }
    for (const char* member : {"nodes", "floating_nodes"}) {
        if (!json_object_has_member(node, member))
            continue;
        JsonArray* children = json_object_get_array_member(node, member);
        // The newest window of that title is the one a test just made.
        for (guint i = json_array_get_length(children); i-- > 0;)
            if (auto found = surfaceOrigin(json_array_get_object_element(children, i), title))
                return found;
    }
    return std::nullopt;
}

// GDK has taken the pointer's arrival at `point` of `window`, over a window of this program:
// `window`'s own, or one lying over it there (a popup). Until then a click goes where GDK last
// saw the pointer: on Wayland, before the entry into a new surface, to no window at all.
bool pointerSeenAt(const wxWindow* window, const wxPoint& point)
{
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    GdkWindow* under = pointer ? gdk_device_get_window_at_position(pointer, nullptr, nullptr) : nullptr;
    wxPoint at;
    return under && getPointerPosition(at) && at == window->ClientToScreen(point);
}

} // namespace

bool onWayland()
{
#ifdef GDK_WINDOWING_WAYLAND
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_WAYLAND_DISPLAY(display);
#else
    return false;
#endif
}

std::string screenInputMissing()
{
    if (!onWayland())
        return {};
    const char* sway = g_getenv("SWAYSOCK");
    if (!sway || !g_file_test(sway, G_FILE_TEST_EXISTS) || !onPath("swaymsg"))
        return "no sway IPC socket (SWAYSOCK): a Wayland client cannot learn where its windows are, sway tells";
    if (!onPath("grim"))
        return "grim is not installed: the compositor's picture comes from it";
    if (!CVirtualPointer::get().ok())
        return CVirtualPointer::get().problem();
    // GDK learns of the tool's devices through the seat, after they were made: input sent
    // before it has them is lost.
    static bool devicesKnown = false;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    const auto both = GdkSeatCapabilities(GDK_SEAT_CAPABILITY_POINTER | GDK_SEAT_CAPABILITY_KEYBOARD);
    if (!devicesKnown && !(devicesKnown = runLoopUntil(
                               [&] { return seat && (gdk_seat_get_capabilities(seat) & both) == both; }, 10000)))
        return "the compositor's seat never showed the virtual pointer and keyboard to GDK";
    return {};
}

std::optional<wxPoint> compositorPoint(const wxWindow* window, const wxPoint& point)
{
    const auto* top = dynamic_cast<const wxTopLevelWindow*>(wxGetTopLevelParent(const_cast<wxWindow*>(window)));
    if (!top)
        return std::nullopt;
    const auto tree = runProgram({"swaymsg", "-r", "-t", "get_tree"});
    if (!tree)
        return std::nullopt;
    JsonParser* parser = json_parser_new();
    std::optional<wxPoint> origin;
    if (json_parser_load_from_data(parser, tree->c_str(), gssize(tree->size()), nullptr) &&
        JSON_NODE_HOLDS_OBJECT(json_parser_get_root(parser)))
        origin = surfaceOrigin(json_node_get_object(json_parser_get_root(parser)), top->GetTitle().utf8_string());
    g_object_unref(parser);
    if (!origin)
        return std::nullopt;
    // GDK on Wayland gives window positions relative to the top-level's surface.
    return *origin + (window->ClientToScreen(point) - top->GetScreenPosition());
}

wxImage compositorPicture(const wxRect& rect)
{
    if (rect.IsEmpty())
        return wxImage();
    const std::string geometry = wxString::Format("%d,%d %dx%d", rect.x, rect.y, rect.width, rect.height).utf8_string();
    const auto png = runProgram({"grim", "-g", geometry, "-t", "png", "-l", "0", "-"});
    if (!png || png->empty())
        return wxImage();
    wxMemoryInputStream stream(png->data(), png->size());
    wxImage image;
    image.LoadFile(stream, wxBITMAP_TYPE_PNG);
    return image;
}

bool pointerTo(const wxWindow* window, const wxPoint& point)
{
    if (!onWayland())
        return wxUIActionSimulator().MouseMove(window->ClientToScreen(point));
    std::optional<wxPoint> target;
    // The compositor lists a window once GTK drew it; asked without pause, the loop would
    // leave GTK no time to draw.
    auto last = std::chrono::steady_clock::now() - std::chrono::milliseconds(50);
    runLoopUntil([&] {
        const auto now = std::chrono::steady_clock::now();
        if (now - last >= std::chrono::milliseconds(50)) {
            last = now;
            target = compositorPoint(window, point);
        }
        return target.has_value();
    }, 5000);
    return target &&
           CVirtualPointer::get().send(wxString::Format("move %d %d", target->x, target->y).utf8_string()) &&
           runLoopUntil([&] { return pointerSeenAt(window, point); }, 5000);
}

bool pointerToScreen(const wxPoint& point)
{
    if (!onWayland())
        return wxUIActionSimulator().MouseMove(point);
    return CVirtualPointer::get().send(wxString::Format("move %d %d", point.x, point.y).utf8_string());
}

bool pointerAwayFrom(const wxWindow* window)
{
    std::optional<wxPoint> origin;
    if (!onWayland()) {
        origin = window->ClientToScreen(wxPoint(0, 0));
    } else {
        // Listed by the compositor once GTK drew it; asked without pause, the loop would leave
        // GTK no time to draw.
        auto last = std::chrono::steady_clock::now() - std::chrono::milliseconds(50);
        runLoopUntil([&] {
            const auto now = std::chrono::steady_clock::now();
            if (now - last >= std::chrono::milliseconds(50)) {
                last = now;
                origin = compositorPoint(window);
            }
            return origin.has_value();
        }, 5000);
    }
    if (!origin)
        return false;
    const wxSize screen = wxGetDisplaySize();
    const wxPoint centre = *origin + wxPoint(window->GetClientSize().x / 2, window->GetClientSize().y / 2);
    // The pointer's picture reaches right and down from its hot spot: the far corner hides most
    // of it off the screen, or keeps it the whole screen away from the window.
    return pointerToScreen(
        wxPoint(centre.x < screen.x / 2 ? screen.x - 1 : 0, centre.y < screen.y / 2 ? screen.y - 1 : 0));
}

bool pointerClick(int button)
{
    if (!onWayland())
        return wxUIActionSimulator().MouseClick(button);
    return CVirtualPointer::get().send(button == wxMOUSE_BTN_RIGHT ? "click right" : "click");
}

bool pointerDoubleClick()
{
    if (!onWayland())
        return wxUIActionSimulator().MouseDblClick();
    // In one command: two would take the clicks' times from when the tool ran, which a busy
    // machine can space out beyond GTK's double-click time.
    return CVirtualPointer::get().send("doubleclick");
}

bool typeKey(int keyCode)
{
    if (!onWayland())
        return wxUIActionSimulator().Char(keyCode);
    // The keys of the tool's US layout, by evdev code; shifted characters are not needed yet.
    static const struct {
        int key, code;
    } keys[] = {{WXK_RETURN, KEY_ENTER}, {WXK_BACK, KEY_BACKSPACE}, {WXK_TAB, KEY_TAB},   {WXK_ESCAPE, KEY_ESC},
                {WXK_DELETE, KEY_DELETE}, {WXK_LEFT, KEY_LEFT},      {WXK_RIGHT, KEY_RIGHT}, {WXK_UP, KEY_UP},
                {WXK_DOWN, KEY_DOWN},     {WXK_HOME, KEY_HOME},      {WXK_END, KEY_END},     {WXK_SPACE, KEY_SPACE},
                {WXK_SHIFT, KEY_LEFTSHIFT}, {'0', KEY_0}, {'1', KEY_1}, {'2', KEY_2}, {'3', KEY_3}, {'4', KEY_4}, {'5', KEY_5}, {'6', KEY_6},
                {'7', KEY_7}, {'8', KEY_8}, {'9', KEY_9}, {'-', KEY_MINUS}, {'.', KEY_DOT}, {'/', KEY_SLASH}};
    static const int letters[] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                                  KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                                  KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
    int code = 0;
    for (const auto& k : keys)
        if (k.key == keyCode)
            code = k.code;
    if (keyCode >= 'a' && keyCode <= 'z')
        code = letters[keyCode - 'a'];
    return code && CVirtualPointer::get().send("key " + std::to_string(code));
}

std::string inputLockPath()
{
    const char* display = g_getenv(onWayland() ? "WAYLAND_DISPLAY" : "DISPLAY");
    gchar* name = g_path_get_basename(display ? display : "");
    const std::string path = std::string("/tmp/zilui-tests-input") + (onWayland() ? "-wayland-" : "") + name + ".lock";
    g_free(name);
    return path;
}

wxImage screenUnder(const wxWindow* window)
{
    return screenUnder(window, wxRect(window->GetClientSize()));
}

wxImage screenUnder(const wxWindow* window, const wxRect& rect)
{
    if (!onWayland())
        return readScreen(wxRect(window->ClientToScreen(rect.GetTopLeft()), rect.GetSize()));
    const auto origin = compositorPoint(window, rect.GetTopLeft());
    return origin ? compositorPicture(wxRect(*origin, rect.GetSize())) : wxImage();
}

} // namespace zilui::test
