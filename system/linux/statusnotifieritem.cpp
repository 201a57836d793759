// SPDX-License-Identifier: MIT
#include "statusnotifieritem.h"

#include "iconpixels.h"

#include <zilui/app/strings.h>

#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/taskbar.h>
#include <wx/utils.h>

#include <unistd.h>

namespace zilui::desktop {

namespace {

constexpr int kWatcherGraceMs = 1000;
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";

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

// The icon as the item's pixmap list: one picture; empty for an icon that is not valid.
GVariant* makePixmaps(const wxIcon& icon)
{
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("a(iiay)"));
    const wxImage image = iconImage(icon);
    if (image.IsOk()) {
        const std::string bytes = toNetworkArgb32(viewOf(image));
        GVariant* data = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
        g_variant_builder_add(&list, "(ii@ay)", image.GetWidth(), image.GetHeight(), data);
    }
    return g_variant_builder_end(&list);
}

// One item per connection can live at the path watchers look at.
CStatusNotifierItem* g_itemOwner = nullptr;
int g_itemCounter = 0;

} // namespace

CStatusNotifierItem::CStatusNotifierItem(const zil::CBase& owner, CSessionBus& bus,
                                         std::function<Listener*()> listener, Queue queue)
    : m_owner(owner), m_bus(bus), m_listener(listener), m_queue(std::move(queue)), m_menu(owner, listener)
{
}

CStatusNotifierItem::~CStatusNotifierItem()
{
    unregisterItem();
    m_xembed.reset();
    if (m_watcherWatch)
        g_bus_unwatch_name(m_watcherWatch);
}

void CStatusNotifierItem::onBusConnected()
{
    m_watcherWatch = g_bus_watch_name_on_connection(m_bus.connection(), kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                    &CStatusNotifierItem::onWatcherAppeared,
                                                    &CStatusNotifierItem::onWatcherVanished, this, nullptr);
}

void CStatusNotifierItem::onBusFailed()
{
    if (m_mode == Mode::pending)
        showXEmbed();
}

zil::String CStatusNotifierItem::getProtocol() const
{
    return m_mode == Mode::statusNotifierItem ? L"StatusNotifierItem" : m_mode == Mode::xembed ? L"XEmbed" : L"";
}

bool CStatusNotifierItem::add(const IconRecord& record)
{
    m_record = record;
    if (m_bus.failed())
        return showXEmbed();
    if (m_bus.connection() && !m_bus.usable())
        return false;
    if (!m_watcherKnown) {
        // The bus and its name watch answer soon, and place the icon then.
        m_mode = Mode::pending;
        return true;
    }
    return registerItem() || showXEmbed();
}

bool CStatusNotifierItem::modify(const IconRecord& record)
{
    m_record = record;
    switch (m_mode) {
    case Mode::statusNotifierItem:
        if (!m_bus.usable())
            return false;
        emitSignal("NewIcon");
        emitSignal("NewToolTip");
        m_menu.publish();
        // The tray keeps the icon until the watcher has answered.
        if (m_xembed)
            m_xembed->SetIcon(trayPicture(m_record.icon), toWX(m_record.toolTip));
        return true;
    case Mode::xembed:
    case Mode::waiting:
        return showXEmbed();
    case Mode::pending:
        return true;
    case Mode::none:
        break;
    }
    return add(record);
}

bool CStatusNotifierItem::remove()
{
    if (m_mode == Mode::statusNotifierItem && !m_bus.usable())
        return false;
    unregisterItem();
    m_xembed.reset();
    m_mode = Mode::none;
    return true;
}

// Exports the item and asks the watcher to show it; true while that is under way. Until the
// watcher answers, an icon already in the tray stays there; a refusal, or no answer within the
// call's timeout, moves it back to the tray.
bool CStatusNotifierItem::registerItem()
{
    if (m_mode == Mode::statusNotifierItem)
        return true;
    if (m_watcherOwner.empty() || (g_itemOwner && g_itemOwner != this))
        return false;

    static const GDBusInterfaceVTable vtable = {&CStatusNotifierItem::onMethod, &CStatusNotifierItem::onProperty,
                                                nullptr, {}};
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kItemIntrospection, nullptr);
    GError* e = nullptr;
    m_registration = g_dbus_connection_register_object(m_bus.connection(), kItemPath, node->interfaces[0], &vtable,
                                                       this, nullptr, &e);
    g_dbus_node_info_unref(node);
    ErrorPtr registerError(e);
    if (!m_registration) {
        m_bus.logOnce("register",
                      L"Cannot export the notification-area item: " + errorText(e) + L". Using the XEmbed tray.");
        return false;
    }
    g_itemOwner = this;
    m_mode = Mode::statusNotifierItem;
    m_itemWatcher = m_watcherOwner;
    m_itemName = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++g_itemCounter);
    m_menu.publish();

    // Cancelled when the item goes, so an answer that comes after it registers nothing.
    m_itemCancellable = g_cancellable_new();
    m_bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
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
                   m_bus.call(kWatcherName, kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
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
void CStatusNotifierItem::failRegistration(zil::String what)
{
    if (m_bus.usable()) {
        const bool x11 = wxGetDisplayInfo().type == wxDisplayX11;
        zil::String text = std::move(what);
        // One line says where the icon went; the fallback's own line would repeat it.
        if (x11) {
            text += L". Using the XEmbed tray.";
        } else {
            text += L"; the XEmbed tray exists only on X11: the notification-area icon shows when a host "
                    L"appears. Ignoring.";
            m_bus.markLogged("xembed");
        }
        m_bus.logOnce("register", text);
    }
    unregisterItem();
    showXEmbed();
}

void CStatusNotifierItem::unregisterItem()
{
    if (m_itemCancellable) {
        g_cancellable_cancel(m_itemCancellable);
        g_object_unref(m_itemCancellable);
        m_itemCancellable = nullptr;
    }
    if (m_registration) {
        GDBusConnection* bus = m_bus.connection();
        if (!g_dbus_connection_is_closed(bus)) {
            g_dbus_connection_unregister_object(bus, m_registration);
            // Watchers drop an item when its name goes; no need to wait for the answer.
            g_dbus_connection_call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                   "ReleaseName", g_variant_new("(s)", m_itemName.c_str()), nullptr,
                                   G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr, nullptr);
        }
        m_registration = 0;
    }
    if (g_itemOwner == this)
        g_itemOwner = nullptr;
    m_menu.withdraw();
    if (m_mode == Mode::statusNotifierItem)
        m_mode = Mode::none;
}

bool CStatusNotifierItem::showXEmbed()
{
    // Only an X server has XEmbed trays; on Wayland the icon waits for a StatusNotifierItem host.
    if (wxGetDisplayInfo().type != wxDisplayX11) {
        m_bus.logOnce("xembed", L"No StatusNotifierItem host on the session bus, and the XEmbed tray exists only "
                                L"on X11: the notification-area icon shows when a host appears. Ignoring.");
        m_xembed.reset();
        m_mode = Mode::waiting;
        return false;
    }
    // The icon is made anyway: GTK embeds it when a tray starts later.
    if (!wxTaskBarIcon::IsAvailable())
        m_bus.logOnce("xembed", L"No StatusNotifierItem host on the session bus and no XEmbed tray on the X display: "
                                L"the notification-area icon shows when either appears.");
    if (!m_xembed) {
        m_xembed.reset(new CXEmbedIcon([this](TaskBarEvent event) {
            Listener* listener = m_listener();
            if (!listener)
                return;
            listener->onBackendEvent(event);
            if (event == TaskBarRightButtonUp && (listener = m_listener()))
                listener->onBackendContextMenu();
        }));
    }
    m_mode = Mode::xembed;
    return m_xembed->SetIcon(trayPicture(m_record.icon), toWX(m_record.toolTip));
}

void CStatusNotifierItem::emitSignal(const char* name)
{
    g_dbus_connection_emit_signal(m_bus.connection(), nullptr, kItemPath, kItemInterface, name, nullptr, nullptr);
}

void CStatusNotifierItem::onMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                                   GVariant*, GDBusMethodInvocation* invocation, gpointer self)
{
    auto* item = static_cast<CStatusNotifierItem*>(self);
    g_dbus_method_invocation_return_value(invocation, nullptr);
    const std::string name = method;
    if (name == "Activate") {
        item->m_queue([](Listener& l) {
            l.onBackendEvent(TaskBarLeftButtonDown);
            l.onBackendEvent(TaskBarLeftButtonUp);
        });
    } else if (name == "SecondaryActivate") {
        item->m_queue([](Listener& l) { l.onBackendEvent(TaskBarLeftDoubleClick); });
    } else if (name == "ContextMenu") {
        item->m_queue([](Listener& l) {
            l.onBackendEvent(TaskBarRightButtonDown);
            l.onBackendEvent(TaskBarRightButtonUp);
            l.onBackendContextMenu();
        });
    }
}

GVariant* CStatusNotifierItem::onProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                          const gchar* name, GError**, gpointer self)
{
    auto* item = static_cast<CStatusNotifierItem*>(self);
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
        return makePixmaps(item->m_record.icon);
    if (property == "ToolTip")
        return g_variant_new("(s@a(iiay)ss)", "", makePixmaps(wxIcon()), utf8(item->m_record.toolTip).c_str(), "");
    if (property == "ItemIsMenu")
        return g_variant_new_boolean(FALSE);
    if (property == "Menu")
        return g_variant_new_object_path(kMenuPath);
    if (property == "OverlayIconPixmap" || property == "AttentionIconPixmap")
        return makePixmaps(wxIcon());
    return g_variant_new_string("");
}

void CStatusNotifierItem::onWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer self)
{
    // A watcher that starts after the icon, or restarts, takes the icon over: a restarted one
    // has forgotten it.
    auto* item = static_cast<CStatusNotifierItem*>(self);
    zil::P<const zil::CBase> keep(&item->m_owner);
    callAfter([keep, item, owner = std::string(owner)] {
        item->m_watcherKnown = true;
        item->m_watcherOwner = owner;
        if (item->m_mode == Mode::none || (item->m_mode == Mode::statusNotifierItem && owner == item->m_itemWatcher))
            return;
        item->unregisterItem();
        if (!item->registerItem())
            item->showXEmbed();
    });
}

void CStatusNotifierItem::onWatcherVanished(GDBusConnection* bus, const gchar*, gpointer self)
{
    // Until a watcher comes back, the tray shows the icon. A bus that shuts down drops the
    // watcher an instant before it drops us, and a restarting desktop brings it back soon:
    // both are waited out before the icon moves.
    auto* item = static_cast<CStatusNotifierItem*>(self);
    if (g_dbus_connection_is_closed(bus) || !wxTheApp)
        return;
    zil::P<const zil::CBase> keep(&item->m_owner);
    callAfter([keep, item] {
        item->m_watcherKnown = true;
        item->m_watcherOwner.clear();
        if (item->m_mode == Mode::pending) { // never shown by a watcher: nothing to wait out
            item->showXEmbed();
            return;
        }
        if (!item->m_fallbackTimer) {
            item->m_fallbackTimer = std::make_unique<wxTimer>();
            // The timer goes with the item.
            item->m_fallbackTimer->Bind(wxEVT_TIMER, [item](wxTimerEvent&) {
                // A watcher back meanwhile has registered the icon again.
                if (item->m_mode != Mode::statusNotifierItem || !item->m_bus.usable() ||
                    !item->m_watcherOwner.empty())
                    return;
                item->unregisterItem();
                item->showXEmbed();
            });
        }
        item->m_fallbackTimer->StartOnce(kWatcherGraceMs);
    });
}

} // namespace zilui::desktop
