// SPDX-License-Identifier: MIT
// The notification area, notifications and the taskbar entry on today's Linux desktops. All
// D-Bus traffic runs on the session bus connection that GIO shares in the process (the D-Bus
// menu library insists on it), and every callback arrives on the GUI thread through the
// default main context, which wxGTK's loop runs. No call waits for its answer there: a slow
// desktop service must not freeze the program. Callbacks never call into the icon directly:
// they queue the call, so a handler that throws meets the application's guard and not a C
// frame of GLib.
#include <zilui/system/taskbaricon.h>

#include "dbusmenuexport.h"
#include "iconpixels.h"
#include "sessionbus.h"
#include "xembedicon.h"

#include <zilui/app/strings.h>

#include <zil/log.h>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/iconbndl.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <gio/gio.h>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace zilui {

namespace {

using namespace desktop;

constexpr int kWatcherGraceMs = 1000;
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kNotificationsName = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
constexpr const char* kLauncherInterface = "com.canonical.Unity.LauncherEntry";

const char* const kItemIntrospection = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)xml";

// The icon as the StatusNotifierItem pixmap list: one picture; empty for an icon that is not
// valid.
GVariant* makePixmaps(const wxIcon& icon)
{
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("a(iiay)"));
    const wxImage image = desktop::iconImage(icon);
    if (image.IsOk()) {
        const std::string bytes = desktop::toNetworkArgb32(desktop::viewOf(image));
        GVariant* data = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
        g_variant_builder_add(&list, "(ii@ay)", image.GetWidth(), image.GetHeight(), data);
    }
    return g_variant_builder_end(&list);
}

// The notification's "image-data" hint.
GVariant* makeImageData(const wxIcon& icon)
{
    const wxImage image = desktop::iconImage(icon);
    const int w = image.GetWidth(), h = image.GetHeight();
    const std::string bytes = desktop::toRgba32(desktop::viewOf(image));
    GVariant* data = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
    return g_variant_new("(iiibii@ay)", w, h, w * 4, TRUE, 8, 4, data);
}

class CDesktopBackend : public zil::CBase, public INotificationAreaBackend {
public:
    explicit CDesktopBackend(const zil::String& desktopFileId);
    ~CDesktopBackend() override;

    void setListenerWeak(IListener* listener) override { m_listener = listener; }
    zil::String getIconProtocol() const override
    {
        return m_mode == Mode::statusNotifierItem ? L"StatusNotifierItem"
               : m_mode == Mode::xembed           ? L"XEmbed"
                                                  : L"";
    }
    bool addIcon(const IconRecord& record) override;
    bool modifyIcon(const IconRecord& record) override;
    bool deleteIcon() override;
    bool showNotification(const NotificationRecord& record) override;
    bool popupMenu(wxMenu& menu, wxEvtHandler& commandTarget) override;
    bool initTaskBar(wxWindow* window) override;
    bool setOverlayIcon(wxWindow* window, const wxIcon* overlay, const zil::String& description) override;
    bool setThumbnailToolTip(wxWindow* window, const zil::String& text) override;
    bool setProgressState(wxWindow* window, TaskBarProgressState state) override;
    bool setProgressValue(wxWindow* window, unsigned long long completed, unsigned long long total) override;

private:
    // waiting: shown, but with no host to show it (no watcher, and no XEmbed tray off X11).
    // pending: shown, but the bus has not yet said whether a watcher runs.
    enum class Mode { none, statusNotifierItem, xembed, waiting, pending };
    using Done = std::function<void(GVariant* reply, const GError* error)>;

    // Connecting to the bus may wait for the bus daemon: until it has answered, what needs
    // the bus is kept and done then.
    bool busConnecting() const { return !m_bus && !m_busFailed; }
    void onBusConnected(GDBusConnection* bus, const GError* error);
    bool busUsable();
    void logOnce(const std::string& key, const zil::String& text);
    // Nothing waits for the answer: `done` runs from the main loop when it arrives, unless
    // `cancellable` was cancelled first, which is how what `done` touches is kept alive.
    void callAsync(const char* name, const char* path, const char* interface, const char* method,
                   GVariant* parameters, const GVariantType* replyType, GCancellable* cancellable, Done done);
    // Runs `call` on the listener from the main loop, if the icon is still there then.
    void queue(std::function<void(IListener&)> call);

    bool registerItem();
    void failRegistration(zil::String what);
    void unregisterItem();
    bool showXEmbed();
    void sendNextNotification();
    void emitItemSignal(const char* name);
    bool emitLauncherUpdate();

    static void onItemMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                             GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* onItemProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                    const gchar* name, GError**, gpointer self);
    static void onNotificationSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                     const gchar* signal, GVariant* parameters, gpointer self);
    static void onWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer self);
    static void onWatcherVanished(GDBusConnection*, const gchar*, gpointer self);

    IListener* m_listener = nullptr;
    GDBusConnection* m_bus = nullptr;
    bool m_busFailed = false;
    GCancellable* m_cancellable = nullptr;     // the calls of the backend's whole life
    GCancellable* m_itemCancellable = nullptr; // the calls registering the item shown now
    std::set<std::string> m_logged;
    IconRecord m_record;
    Mode m_mode = Mode::none;
    desktop::XEmbedIconPtr m_xembed;

    guint m_itemRegistration = 0;
    std::string m_itemName;
    bool m_watcherKnown = false; // the name watch has reported once
    std::string m_watcherOwner;  // the watcher on the bus now; empty: none
    std::string m_itemWatcher;   // the watcher that was asked to show the item
    guint m_watcherWatch = 0;
    desktop::CDbusMenuExport m_menu;

    guint m_notificationSubscription = 0;
    std::set<guint32> m_notificationIds;
    guint32 m_lastNotificationId = 0;
    // Whether the server reads the text as markup; -1: not asked yet.
    static constexpr int kMarkupUnknown = -2;
    int m_bodyMarkup = -1;
    // One call to the server at a time, so that each balloon replaces the one before by its id;
    // of those asked for meanwhile only the last is still worth sending.
    bool m_notificationCallBusy = false;
    std::optional<NotificationRecord> m_nextNotification;

    std::string m_appURI;
    std::string m_launcherPath;
    std::vector<GVariant*> m_launcherUpdatesToSend; // made while the bus was connecting
    double m_progress = 0;
    bool m_progressVisible = false;
    bool m_urgent = false;
    TaskBarProgressState m_progressState = TBPF_NOPROGRESS;

    std::unique_ptr<wxTimer> m_fallbackTimer;
    wxWeakRef<wxTopLevelWindow> m_badgedWindow;
    wxIconBundle m_originalIcons;
};

// One StatusNotifierItem per connection can live at the path watchers look at.
CDesktopBackend* g_itemOwner = nullptr;
int g_itemCounter = 0;

CDesktopBackend::CDesktopBackend(const zil::String& desktopFileId) : m_cancellable(g_cancellable_new()), m_menu(*this, [this] { return m_listener; })
{
    std::string id = utf8(desktopFileId);
    if (id.empty()) {
        if (const char* launched = g_getenv("GIO_LAUNCHED_DESKTOP_FILE")) {
            gchar* base = g_path_get_basename(launched);
            id = base;
            g_free(base);
        } else if (const char* program = g_get_prgname()) {
            id = std::string(program) + ".desktop";
        }
    }
    m_appURI = "application://" + id;
    m_launcherPath = "/com/canonical/unity/launcherentry/" + std::to_string(g_str_hash(m_appURI.c_str()));

    struct Request {
        CDesktopBackend* self;
        GCancellable* cancellable;
    };
    // Not cancelled with the backend: every caller shares the one connection being made, and
    // a cancellation would fail it for all of them. The callback checks instead.
    g_bus_get(
        G_BUS_TYPE_SESSION, nullptr,
        [](GObject*, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Request> request(static_cast<Request*>(data));
            GError* e = nullptr;
            GDBusConnection* bus = g_bus_get_finish(result, &e);
            ErrorPtr error(e);
            if (!g_cancellable_is_cancelled(request->cancellable))
                request->self->onBusConnected(bus, e);
            else if (bus)
                g_object_unref(bus);
            g_object_unref(request->cancellable);
        },
        new Request{this, G_CANCELLABLE(g_object_ref(m_cancellable))});
}

void CDesktopBackend::onBusConnected(GDBusConnection* bus, const GError* error)
{
    m_bus = bus;
    if (!m_bus) {
        m_busFailed = true;
        logOnce("bus", L"No session bus (" + errorText(error) +
                           L"): the icon uses the XEmbed tray; notifications and the launcher entry are off. "
                           L"Ignoring.");
        for (GVariant* update : m_launcherUpdatesToSend)
            g_variant_unref(update);
        m_launcherUpdatesToSend.clear();
        m_nextNotification.reset();
        if (m_mode == Mode::pending)
            showXEmbed();
        return;
    }
    // The shared connection would end the process when the bus goes.
    g_dbus_connection_set_exit_on_close(m_bus, FALSE);
    m_notificationSubscription = g_dbus_connection_signal_subscribe(
        m_bus, nullptr, kNotificationsName, nullptr, kNotificationsPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        &CDesktopBackend::onNotificationSignal, this, nullptr);
    m_watcherWatch = g_bus_watch_name_on_connection(m_bus, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                    &CDesktopBackend::onWatcherAppeared,
                                                    &CDesktopBackend::onWatcherVanished, this, nullptr);
    for (GVariant* update : m_launcherUpdatesToSend) {
        g_dbus_connection_emit_signal(m_bus, nullptr, m_launcherPath.c_str(), kLauncherInterface, "Update",
                                      update, nullptr);
        g_variant_unref(update);
    }
    m_launcherUpdatesToSend.clear();
    sendNextNotification();
}

CDesktopBackend::~CDesktopBackend()
{
    m_listener = nullptr;
    g_cancellable_cancel(m_cancellable);
    g_object_unref(m_cancellable);
    unregisterItem();
    m_xembed.reset();
    if (m_badgedWindow)
        m_badgedWindow->SetIcons(m_originalIcons);
    for (GVariant* update : m_launcherUpdatesToSend)
        g_variant_unref(update);
    if (m_bus) {
        if (m_watcherWatch)
            g_bus_unwatch_name(m_watcherWatch);
        if (m_notificationSubscription)
            g_dbus_connection_signal_unsubscribe(m_bus, m_notificationSubscription);
        g_object_unref(m_bus);
    }
}

void CDesktopBackend::logOnce(const std::string& key, const zil::String& text)
{
    if (m_logged.insert(key).second)
        zil::logWarning(text);
}

bool CDesktopBackend::busUsable()
{
    if (!m_bus)
        return false;
    if (g_dbus_connection_is_closed(m_bus)) {
        logOnce("bus",
                L"The session bus has gone: the notification area, notifications and the launcher entry do "
                L"nothing from now on. Ignoring.");
        return false;
    }
    return true;
}

void CDesktopBackend::callAsync(const char* name, const char* path, const char* interface, const char* method,
                                GVariant* parameters, const GVariantType* replyType,
                                GCancellable* cancellable, Done done)
{
    struct Call {
        Done done;
        GCancellable* cancellable;
    };
    auto* call = new Call{std::move(done), G_CANCELLABLE(g_object_ref(cancellable))};
    // GIO runs the callback in the caller's thread-default context: the GUI thread's.
    g_dbus_connection_call(
        m_bus, name, path, interface, method, parameters, replyType, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
        cancellable,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Call> call(static_cast<Call*>(data));
            GError* e = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &e);
            ErrorPtr error(e);
            // An answer that arrives just after the cancellation still counts as cancelled.
            if (!g_cancellable_is_cancelled(call->cancellable))
                call->done(reply, e);
            if (reply)
                g_variant_unref(reply);
            g_object_unref(call->cancellable);
        },
        call);
}

void CDesktopBackend::queue(std::function<void(IListener&)> call)
{
    zil::P<CDesktopBackend> self(this);
    callAfter([self, call = std::move(call)] {
        if (self->m_listener)
            call(*self->m_listener);
    });
}

// Notification area

bool CDesktopBackend::addIcon(const IconRecord& record)
{
    m_record = record;
    if (m_busFailed)
        return showXEmbed();
    if (m_bus && !busUsable())
        return false;
    if (!m_watcherKnown) {
        // The bus and its name watch answer soon, and place the icon then.
        m_mode = Mode::pending;
        return true;
    }
    return registerItem() || showXEmbed();
}

bool CDesktopBackend::modifyIcon(const IconRecord& record)
{
    m_record = record;
    switch (m_mode) {
    case Mode::statusNotifierItem:
        if (!busUsable())
            return false;
        emitItemSignal("NewIcon");
        emitItemSignal("NewToolTip");
        m_menu.publish();
        // The tray keeps the icon until the watcher has answered.
        if (m_xembed)
            m_xembed->SetIcon(desktop::trayPicture(m_record.icon), toWX(m_record.toolTip));
        return true;
    case Mode::xembed:
    case Mode::waiting:
        return showXEmbed();
    case Mode::pending:
        return true;
    case Mode::none:
        break;
    }
    return addIcon(record);
}

bool CDesktopBackend::deleteIcon()
{
    if (m_mode == Mode::statusNotifierItem && !busUsable())
        return false;
    unregisterItem();
    m_xembed.reset();
    m_mode = Mode::none;
    return true;
}

// Exports the item and asks the watcher to show it; true while that is under way. Until the
// watcher answers, an icon already in the tray stays there; a refusal, or no answer within the
// call's timeout, moves it back to the tray.
bool CDesktopBackend::registerItem()
{
    if (m_mode == Mode::statusNotifierItem)
        return true;
    if (m_watcherOwner.empty() || (g_itemOwner && g_itemOwner != this))
        return false;

    static const GDBusInterfaceVTable vtable = {
        &CDesktopBackend::onItemMethod, &CDesktopBackend::onItemProperty, nullptr, {}};
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kItemIntrospection, nullptr);
    GError* e = nullptr;
    m_itemRegistration =
        g_dbus_connection_register_object(m_bus, kItemPath, node->interfaces[0], &vtable, this, nullptr, &e);
    g_dbus_node_info_unref(node);
    ErrorPtr registerError(e);
    if (!m_itemRegistration) {
        logOnce("register",
                L"Cannot export the notification-area item: " + errorText(e) + L". Using the XEmbed tray.");
        return false;
    }
    g_itemOwner = this;
    m_mode = Mode::statusNotifierItem;
    m_itemWatcher = m_watcherOwner;
    m_itemName =
        "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++g_itemCounter);
    m_menu.publish();

    // Cancelled when the item goes, so an answer that comes after it registers nothing.
    m_itemCancellable = g_cancellable_new();
    callAsync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
              g_variant_new("(su)", m_itemName.c_str(), 4u), G_VARIANT_TYPE("(u)"), m_itemCancellable,
              [this](GVariant* reply, const GError* error) {
                  guint32 nameResult = 0;
                  if (reply)
                      g_variant_get(reply, "(u)", &nameResult);
                  if (nameResult != 1) { // not the primary owner
                      failRegistration(L"The session bus did not give the icon its name (" +
                                       (reply ? zil::String(L"taken") : errorText(error)) + L")");
                      return;
                  }
                  callAsync(kWatcherName, kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
                            g_variant_new("(s)", m_itemName.c_str()), nullptr, m_itemCancellable,
                            [this](GVariant* reply, const GError* error) {
                                if (reply)
                                    m_xembed.reset();
                                else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
                                    failRegistration(
                                        L"The StatusNotifierWatcher did not answer within " +
                                        zil::toString(static_cast<int64_t>(kCallTimeoutMs / 1000)) + L" s");
                                else
                                    failRegistration(L"The StatusNotifierWatcher refused the icon: " +
                                                     errorText(error));
                            });
              });
    return true;
}

// `what` says what went wrong; the line goes on to say where the icon goes instead. A gone
// bus has said so already.
void CDesktopBackend::failRegistration(zil::String what)
{
    if (busUsable()) {
        const bool x11 = wxGetDisplayInfo().type == wxDisplayX11;
        zil::String text = std::move(what);
        // One line says where the icon went; the fallback's own line would repeat it.
        if (x11) {
            text += L". Using the XEmbed tray.";
        } else {
            text += L"; the XEmbed tray exists only on X11: the notification-area icon shows when a host "
                    L"appears. Ignoring.";
            m_logged.insert("xembed");
        }
        logOnce("register", text);
    }
    unregisterItem();
    showXEmbed();
}

void CDesktopBackend::unregisterItem()
{
    if (m_itemCancellable) {
        g_cancellable_cancel(m_itemCancellable);
        g_object_unref(m_itemCancellable);
        m_itemCancellable = nullptr;
    }
    if (m_itemRegistration) {
        if (!g_dbus_connection_is_closed(m_bus)) {
            g_dbus_connection_unregister_object(m_bus, m_itemRegistration);
            // Watchers drop an item when its name goes; no need to wait for the answer.
            g_dbus_connection_call(m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "ReleaseName",
                                   g_variant_new("(s)", m_itemName.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
                                   kCallTimeoutMs, nullptr, nullptr, nullptr);
        }
        m_itemRegistration = 0;
    }
    if (g_itemOwner == this)
        g_itemOwner = nullptr;
    m_menu.withdraw();
    if (m_mode == Mode::statusNotifierItem)
        m_mode = Mode::none;
}

bool CDesktopBackend::showXEmbed()
{
    // Only an X server has XEmbed trays; on Wayland the icon waits for a StatusNotifierItem host.
    if (wxGetDisplayInfo().type != wxDisplayX11) {
        logOnce("xembed", L"No StatusNotifierItem host on the session bus, and the XEmbed tray exists only on X11: "
                          L"the notification-area icon shows when a host appears. Ignoring.");
        m_xembed.reset();
        m_mode = Mode::waiting;
        return false;
    }
    if (!m_xembed) {
        m_xembed.reset(new desktop::CXEmbedIcon([this](TaskBarEvent event) {
            if (!m_listener)
                return;
            m_listener->onBackendEvent(event);
            if (event == TaskBarRightButtonUp && m_listener)
                m_listener->onBackendContextMenu();
        }));
    }
    m_mode = Mode::xembed;
    return m_xembed->SetIcon(desktop::trayPicture(m_record.icon), toWX(m_record.toolTip));
}

void CDesktopBackend::emitItemSignal(const char* name)
{
    g_dbus_connection_emit_signal(m_bus, nullptr, kItemPath, kItemInterface, name, nullptr, nullptr);
}

void CDesktopBackend::onItemMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                   const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                                   gpointer self)
{
    auto* backend = static_cast<CDesktopBackend*>(self);
    g_dbus_method_invocation_return_value(invocation, nullptr);
    const std::string name = method;
    if (name == "Activate") {
        backend->queue([](IListener& l) {
            l.onBackendEvent(TaskBarLeftButtonDown);
            l.onBackendEvent(TaskBarLeftButtonUp);
        });
    } else if (name == "SecondaryActivate") {
        backend->queue([](IListener& l) { l.onBackendEvent(TaskBarLeftDoubleClick); });
    } else if (name == "ContextMenu") {
        backend->queue([](IListener& l) {
            l.onBackendEvent(TaskBarRightButtonDown);
            l.onBackendEvent(TaskBarRightButtonUp);
            l.onBackendContextMenu();
        });
    }
}

GVariant* CDesktopBackend::onItemProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                          const gchar* name, GError**, gpointer self)
{
    auto* backend = static_cast<CDesktopBackend*>(self);
    const std::string property = name;
    if (property == "Category")
        return g_variant_new_string("ApplicationStatus");
    if (property == "Id")
        return g_variant_new_string(wxTheApp ? wxTheApp->GetAppName().utf8_str().data() : "zilui");
    if (property == "Title")
        return g_variant_new_string(wxTheApp ? wxTheApp->GetAppDisplayName().utf8_str().data() : "");
    if (property == "Status")
        return g_variant_new_string("Active");
    if (property == "WindowId")
        return g_variant_new_int32(0);
    if (property == "IconPixmap")
        return makePixmaps(backend->m_record.icon);
    if (property == "ToolTip") {
        return g_variant_new("(s@a(iiay)ss)", "", makePixmaps(wxIcon()),
                             utf8(backend->m_record.toolTip).c_str(), "");
    }
    if (property == "ItemIsMenu")
        return g_variant_new_boolean(FALSE);
    if (property == "Menu")
        return g_variant_new_object_path(kMenuPath);
    if (property == "OverlayIconPixmap" || property == "AttentionIconPixmap")
        return makePixmaps(wxIcon());
    return g_variant_new_string("");
}

bool CDesktopBackend::popupMenu(wxMenu& menu, wxEvtHandler& commandTarget)
{
    // A frame of our own at the mouse carries the menu; the icon handles its commands first.
    auto* frame = new wxFrame(nullptr, wxID_ANY, wxString(), wxGetMousePosition(), wxSize(1, 1),
                              wxFRAME_NO_TASKBAR | wxFRAME_TOOL_WINDOW | wxBORDER_NONE);
    frame->Show();
    frame->PushEventHandler(&commandTarget);
    const bool shown = frame->PopupMenu(&menu, 0, 0);
    frame->PopEventHandler(false);
    frame->Destroy();
    return shown;
}

// Notifications

bool CDesktopBackend::showNotification(const NotificationRecord& record)
{
    if (!busConnecting() && !busUsable()) {
        if (!m_bus)
            logOnce("bus", L"No session bus: notifications are off. Ignoring.");
        return false;
    }
    // Nothing to withdraw: none shown, none on its way.
    if (record.text.empty() && !m_lastNotificationId && !m_notificationCallBusy &&
        !(m_nextNotification && !m_nextNotification->text.empty()))
        return false;
    m_nextNotification = record;
    sendNextNotification();
    return true;
}

void CDesktopBackend::sendNextNotification()
{
    if (m_notificationCallBusy || !m_nextNotification || !busUsable())
        return;
    // A server that reads markup would drop a text with a stray '<' or '&'.
    if (m_bodyMarkup == -1) {
        m_notificationCallBusy = true;
        callAsync(kNotificationsName, kNotificationsPath, kNotificationsName, "GetCapabilities", nullptr,
                  G_VARIANT_TYPE("(as)"), m_cancellable, [this](GVariant* caps, const GError*) {
                      m_notificationCallBusy = false;
                      // No answer: this one goes as plain text, and the next asks again, as a
                      // server that starts later may read markup.
                      m_bodyMarkup = caps ? 0 : kMarkupUnknown;
                      if (caps) {
                          GVariant* list = g_variant_get_child_value(caps, 0);
                          const gchar** names = g_variant_get_strv(list, nullptr);
                          for (const gchar** n = names; n && *n; ++n)
                              m_bodyMarkup |= std::string(*n) == "body-markup";
                          g_free(names);
                          g_variant_unref(list);
                      }
                      sendNextNotification();
                  });
        return;
    }
    const NotificationRecord record = std::move(*m_nextNotification);
    m_nextNotification.reset();
    if (record.text.empty()) {
        if (m_lastNotificationId) {
            callAsync(kNotificationsName, kNotificationsPath, kNotificationsName, "CloseNotification",
                      g_variant_new("(u)", m_lastNotificationId), nullptr, m_cancellable,
                      [](GVariant*, const GError*) {});
            m_lastNotificationId = 0;
        }
        return;
    }
    const char* iconName = "";
    switch (record.icon & 0xF) {
    case NIIF_INFO:
        iconName = "dialog-information";
        break;
    case NIIF_WARNING:
        iconName = "dialog-warning";
        break;
    case NIIF_ERROR:
        iconName = "dialog-error";
        break;
    default:
        break;
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "urgency",
                          g_variant_new_byte((record.icon & 0xF) == NIIF_ERROR ? 2 : 1));
    if ((record.icon & 0xF) == NIIF_USER && record.userIcon.IsOk())
        g_variant_builder_add(&hints, "{sv}", "image-data", makeImageData(record.userIcon));
    if (record.icon & NIIF_NOSOUND)
        g_variant_builder_add(&hints, "{sv}", "suppress-sound", g_variant_new_boolean(TRUE));
    std::string body = utf8(record.text);
    if (m_bodyMarkup > 0) {
        gchar* escaped = g_markup_escape_text(body.c_str(), -1);
        body = escaped;
        g_free(escaped);
    }
    if (m_bodyMarkup == kMarkupUnknown)
        m_bodyMarkup = -1;
    const char* actions[] = {"default", "", nullptr};
    const std::string appName = wxTheApp ? wxTheApp->GetAppDisplayName().utf8_string() : std::string();
    // A new balloon replaces the previous one, as in the Windows notification area.
    m_notificationCallBusy = true;
    callAsync(kNotificationsName, kNotificationsPath, kNotificationsName, "Notify",
              g_variant_new("(susss^as@a{sv}i)", appName.c_str(), m_lastNotificationId, iconName,
                            utf8(record.title).c_str(), body.c_str(), actions, g_variant_builder_end(&hints),
                            record.timeoutMs > 0 ? record.timeoutMs : -1),
              G_VARIANT_TYPE("(u)"), m_cancellable, [this](GVariant* reply, const GError* error) {
                  m_notificationCallBusy = false;
                  if (reply) {
                      g_variant_get(reply, "(u)", &m_lastNotificationId);
                      m_notificationIds.insert(m_lastNotificationId);
                  } else if (busUsable()) { // else the gone bus is named instead of the failed call
                      logOnce("notify", L"No notification server answers (" + errorText(error) +
                                            L"); notifications are not shown. Ignoring.");
                  }
                  sendNextNotification();
              });
}

void CDesktopBackend::onNotificationSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                           const gchar* signal, GVariant* parameters, gpointer self)
{
    auto* backend = static_cast<CDesktopBackend*>(self);
    const std::string name = signal;
    guint32 id = 0;
    if (name == "ActionInvoked" && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
        const gchar* key = nullptr;
        g_variant_get(parameters, "(u&s)", &id, &key);
        if (backend->m_notificationIds.count(id) && std::string(key) == "default")
            backend->queue([](IListener& l) { l.onBackendEvent(TaskBarBalloonClicked); });
    } else if (name == "NotificationClosed" && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
        g_variant_get(parameters, "(uu)", &id, nullptr);
        backend->m_notificationIds.erase(id);
    }
}

void CDesktopBackend::onWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer self)
{
    // A watcher that starts after the icon, or restarts, takes the icon over: a restarted one
    // has forgotten it.
    zil::P<CDesktopBackend> keep(static_cast<CDesktopBackend*>(self));
    callAfter([keep, owner = std::string(owner)] {
        keep->m_watcherKnown = true;
        keep->m_watcherOwner = owner;
        if (keep->m_mode == Mode::none ||
            (keep->m_mode == Mode::statusNotifierItem && owner == keep->m_itemWatcher))
            return;
        keep->unregisterItem();
        if (!keep->registerItem())
            keep->showXEmbed();
    });
}

void CDesktopBackend::onWatcherVanished(GDBusConnection* bus, const gchar*, gpointer self)
{
    // Until a watcher comes back, the tray shows the icon. A bus that shuts down drops the
    // watcher an instant before it drops us, and a restarting desktop brings it back soon:
    // both are waited out before the icon moves.
    auto* backend = static_cast<CDesktopBackend*>(self);
    if (g_dbus_connection_is_closed(bus) || !wxTheApp)
        return;
    zil::P<CDesktopBackend> keep(backend);
    callAfter([keep] {
        keep->m_watcherKnown = true;
        keep->m_watcherOwner.clear();
        if (keep->m_mode == Mode::pending) { // never shown by a watcher: nothing to wait out
            keep->showXEmbed();
            return;
        }
        if (!keep->m_fallbackTimer) {
            keep->m_fallbackTimer = std::make_unique<wxTimer>();
            CDesktopBackend* owner = keep.get(); // the timer goes with the backend
            keep->m_fallbackTimer->Bind(wxEVT_TIMER, [owner](wxTimerEvent&) {
                // A watcher back meanwhile has registered the icon again.
                if (owner->m_mode != Mode::statusNotifierItem || !owner->busUsable() ||
                    !owner->m_watcherOwner.empty())
                    return;
                owner->unregisterItem();
                owner->showXEmbed();
            });
        }
        keep->m_fallbackTimer->StartOnce(kWatcherGraceMs);
    });
}

// Taskbar entry

bool CDesktopBackend::initTaskBar(wxWindow* window)
{
    if (!window || !wxGetTopLevelParent(window))
        return false;
    if (!busConnecting() && !busUsable()) {
        if (!m_bus)
            logOnce("bus", L"No session bus: the launcher entry is off. Ignoring.");
        return false;
    }
    return true;
}

bool CDesktopBackend::emitLauncherUpdate()
{
    if (!busConnecting() && !busUsable())
        return false;
    GVariantBuilder props;
    g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&props, "{sv}", "progress", g_variant_new_double(m_progress));
    g_variant_builder_add(&props, "{sv}", "progress-visible", g_variant_new_boolean(m_progressVisible));
    g_variant_builder_add(&props, "{sv}", "urgent", g_variant_new_boolean(m_urgent));
    GVariant* update = g_variant_new("(sa{sv})", m_appURI.c_str(), &props);
    if (busConnecting()) {
        m_launcherUpdatesToSend.push_back(g_variant_ref_sink(update));
        return true;
    }
    GError* e = nullptr;
    const bool ok = g_dbus_connection_emit_signal(m_bus, nullptr, m_launcherPath.c_str(), kLauncherInterface,
                                                  "Update", update, &e);
    ErrorPtr error(e);
    if (!ok)
        logOnce("launcher", L"Cannot send the launcher entry update: " + errorText(e) + L". Ignoring.");
    return ok;
}

bool CDesktopBackend::setProgressState(wxWindow*, TaskBarProgressState state)
{
    switch (state) {
    case TBPF_NOPROGRESS:
    case TBPF_NORMAL:
    case TBPF_ERROR:
        m_progressVisible = state != TBPF_NOPROGRESS;
        // Docks have no red bar; an urgent entry is how they ask for attention.
        m_urgent = state == TBPF_ERROR;
        m_progressState = state;
        return emitLauncherUpdate();
    case TBPF_INDETERMINATE:
    case TBPF_PAUSED:
        logOnce("state" + std::to_string(state),
                L"The launcher entry has no " +
                    zil::String(state == TBPF_PAUSED ? L"paused" : L"indeterminate") +
                    L" progress; the bar keeps its value. Ignoring.");
        if (!m_progressVisible) {
            m_progressVisible = true;
            emitLauncherUpdate();
        }
        m_progressState = state;
        return false;
    }
    logOnce("badstate",
            L"Unknown taskbar progress state " + zil::toString(static_cast<int64_t>(state)) + L". Ignoring.");
    return false;
}

bool CDesktopBackend::setProgressValue(wxWindow*, unsigned long long completed, unsigned long long total)
{
    if (total == 0)
        return false;
    m_progress = std::min(1.0, static_cast<double>(completed) / static_cast<double>(total));
    // As on the taskbar, a value shows the bar when no state was set.
    if (m_progressState == TBPF_NOPROGRESS) {
        m_progressState = TBPF_NORMAL;
        m_progressVisible = true;
    }
    return emitLauncherUpdate();
}

bool CDesktopBackend::setOverlayIcon(wxWindow* window, const wxIcon* overlay, const zil::String&)
{
    auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(window));
    if (!top)
        return false;
    if (m_badgedWindow.get() != top) {
        if (m_badgedWindow)
            m_badgedWindow->SetIcons(m_originalIcons);
        m_badgedWindow = top;
        m_originalIcons = top->GetIcons();
    }
    if (!overlay) {
        top->SetIcons(m_originalIcons);
        return true;
    }
    wxIconBundle badged;
    if (m_originalIcons.IsEmpty()) {
        // A window without icons of its own gets the tray icon, or the badge alone.
        badged.AddIcon(m_record.icon.IsOk() ? desktop::compositeBadge(m_record.icon, *overlay) : *overlay);
    } else {
        for (size_t i = 0; i < m_originalIcons.GetIconCount(); ++i)
            badged.AddIcon(desktop::compositeBadge(m_originalIcons.GetIconByIndex(i), *overlay));
    }
    top->SetIcons(badged);
    return true;
}

bool CDesktopBackend::setThumbnailToolTip(wxWindow*, const zil::String& text)
{
    if (text.empty())
        return true;
    logOnce("thumbnail",
            L"Task switchers here show no tooltip of their own for a window; the text is not shown. "
            L"Ignoring.");
    return true;
}

} // namespace

zil::P<INotificationAreaBackend> createDesktopNotificationAreaBackend(const zil::String& desktopFileId)
{
    return zil::P<INotificationAreaBackend>(new CDesktopBackend(desktopFileId));
}

} // namespace zilui
