// SPDX-License-Identifier: MIT
#include "notifications.h"

#include "iconpixels.h"

#include <wx/app.h>
#include <wx/image.h>

namespace zilui::desktop {

namespace {

constexpr const char* kNotificationsName = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";

// The "image-data" hint: RGBA rows.
GVariant* makeImageData(const wxIcon& icon)
{
    const wxImage image = iconImage(icon);
    const int w = image.GetWidth(), h = image.GetHeight();
    const std::string bytes = toRgba32(viewOf(image));
    GVariant* data = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
    return g_variant_new("(iiibii@ay)", w, h, w * 4, TRUE, 8, 4, data);
}

} // namespace

CNotifications::CNotifications(CSessionBus& bus, std::function<void()> clicked)
    : m_bus(bus), m_clicked(std::move(clicked))
{
}

CNotifications::~CNotifications()
{
    if (m_subscription)
        g_dbus_connection_signal_unsubscribe(m_bus.connection(), m_subscription);
}

void CNotifications::listen()
{
    m_subscription = g_dbus_connection_signal_subscribe(m_bus.connection(), nullptr, kNotificationsName, nullptr,
                                                        kNotificationsPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                        &CNotifications::onSignal, this, nullptr);
}

bool CNotifications::show(const Record& record)
{
    if (!m_bus.connecting() && !m_bus.usable()) {
        if (!m_bus.connection())
            m_bus.logOnce("bus", L"No session bus: notifications are off. Ignoring.");
        return false;
    }
    // Nothing to withdraw: none shown, none on its way.
    if (record.text.empty() && !m_lastId && !m_callBusy && !(m_next && !m_next->text.empty()))
        return false;
    m_next = record;
    sendNext();
    return true;
}

void CNotifications::sendNext()
{
    if (m_callBusy || !m_next || !m_bus.usable())
        return;
    // A server that reads markup would drop a text with a stray '<' or '&'.
    if (m_bodyMarkup == -1) {
        m_callBusy = true;
        m_bus.call(kNotificationsName, kNotificationsPath, kNotificationsName, "GetCapabilities", nullptr,
                   G_VARIANT_TYPE("(as)"), m_bus.lifetime(), [this](GVariant* caps, const GError*) {
                       m_callBusy = false;
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
                       sendNext();
                   });
        return;
    }
    const Record record = std::move(*m_next);
    m_next.reset();
    if (record.text.empty()) {
        if (m_lastId) {
            m_bus.call(kNotificationsName, kNotificationsPath, kNotificationsName, "CloseNotification",
                       g_variant_new("(u)", m_lastId), nullptr, m_bus.lifetime(), [](GVariant*, const GError*) {});
            m_lastId = 0;
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
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte((record.icon & 0xF) == NIIF_ERROR ? 2 : 1));
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
    m_callBusy = true;
    m_bus.call(kNotificationsName, kNotificationsPath, kNotificationsName, "Notify",
               g_variant_new("(susss^as@a{sv}i)", appName.c_str(), m_lastId, iconName, utf8(record.title).c_str(),
                             body.c_str(), actions, g_variant_builder_end(&hints),
                             record.timeoutMs > 0 ? record.timeoutMs : -1),
               G_VARIANT_TYPE("(u)"), m_bus.lifetime(), [this](GVariant* reply, const GError* error) {
                   m_callBusy = false;
                   if (reply) {
                       g_variant_get(reply, "(u)", &m_lastId);
                       m_ids.insert(m_lastId);
                   } else if (m_bus.usable()) { // else the gone bus is named instead of the failed call
                       m_bus.logOnce("notify", L"No notification server answers (" + errorText(error) +
                                                   L"); notifications are not shown. Ignoring.");
                   }
                   sendNext();
               });
}

void CNotifications::onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
                              GVariant* parameters, gpointer self)
{
    auto* notifications = static_cast<CNotifications*>(self);
    const std::string name = signal;
    guint32 id = 0;
    if (name == "ActionInvoked" && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
        const gchar* key = nullptr;
        g_variant_get(parameters, "(u&s)", &id, &key);
        if (notifications->m_ids.count(id) && std::string(key) == "default")
            notifications->m_clicked();
    } else if (name == "NotificationClosed" && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
        g_variant_get(parameters, "(uu)", &id, nullptr);
        notifications->m_ids.erase(id);
    }
}

} // namespace zilui::desktop
