// SPDX-License-Identifier: MIT
// The desktop's dark preference: GTK's gtk-application-prefer-dark-theme setting, overruled
// by the desktop portal's org.freedesktop.appearance color-scheme where a portal answers
// with a preference. Both arrive through the GLib main loop, which is the GUI thread's.
#include "../liveskins.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <string>

namespace zilui {

namespace {

constexpr const char* kGtkProperty = "gtk-application-prefer-dark-theme";
constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettingsInterface = "org.freedesktop.portal.Settings";
constexpr const char* kAppearance = "org.freedesktop.appearance";
constexpr const char* kColorScheme = "color-scheme";

// The portal's color-scheme values.
enum Scheme : guint32 { NoPreference = 0, PreferDark = 1, PreferLight = 2 };

struct CDarkState {
    std::function<void(bool)> changed;
    bool gtkDark = false;
    guint32 portalScheme = NoPreference;
    bool current = false;
    bool started = false;
};

// Lives to the end of the process, as the GLib callbacks that reach it.
CDarkState& state()
{
    static CDarkState* instance = new CDarkState();
    return *instance;
}

bool combined()
{
    const CDarkState& s = state();
    if (s.portalScheme == PreferDark)
        return true;
    if (s.portalScheme == PreferLight)
        return false;
    return s.gtkDark;
}

void update()
{
    CDarkState& s = state();
    const bool dark = combined();
    if (dark == s.current)
        return;
    s.current = dark;
    if (s.changed)
        s.changed(dark);
}

void readGtkSetting(GtkSettings* settings)
{
    gboolean dark = FALSE;
    g_object_get(settings, kGtkProperty, &dark, nullptr);
    state().gtkDark = dark != FALSE;
}

void onGtkSettingChanged(GObject* settings, GParamSpec*, gpointer)
{
    readGtkSetting(GTK_SETTINGS(settings));
    update();
}

// The portal wraps the value in one variant (ReadOne) or two (the older Read).
guint32 schemeOf(GVariant* value)
{
    GVariant* inner = g_variant_ref(value);
    while (g_variant_is_of_type(inner, G_VARIANT_TYPE_VARIANT)) {
        GVariant* next = g_variant_get_variant(inner);
        g_variant_unref(inner);
        inner = next;
    }
    const guint32 scheme = g_variant_is_of_type(inner, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(inner) : 0;
    g_variant_unref(inner);
    return scheme <= PreferLight ? scheme : NoPreference;
}

void onPortalSettingChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                            GVariant* parameters, gpointer)
{
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)")))
        return;
    const gchar* ns = nullptr;
    const gchar* key = nullptr;
    GVariant* value = nullptr;
    g_variant_get(parameters, "(&s&sv)", &ns, &key, &value);
    if (g_strcmp0(ns, kAppearance) == 0 && g_strcmp0(key, kColorScheme) == 0) {
        state().portalScheme = schemeOf(value);
        update();
    }
    g_variant_unref(value);
}

void onPortalRead(GObject* source, GAsyncResult* result, gpointer)
{
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (!reply) {
        // No portal on this desktop, or one without the setting: GTK's setting decides. Not
        // worth a log line, as most sessions without a portal are meant to be so.
        g_error_free(error);
        return;
    }
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    state().portalScheme = schemeOf(value);
    g_variant_unref(value);
    g_variant_unref(reply);
    update();
}

void onSessionBus(GObject*, GAsyncResult* result, gpointer)
{
    GError* error = nullptr;
    // Kept for the life of the process, with the subscription on it.
    GDBusConnection* bus = g_bus_get_finish(result, &error);
    if (!bus) {
        g_error_free(error);
        return;
    }
    // Any sender: the portal's well-known name is not what its signals carry.
    g_dbus_connection_signal_subscribe(bus, nullptr, kSettingsInterface, "SettingChanged", kPortalPath, kAppearance,
                                       G_DBUS_SIGNAL_FLAGS_NONE, &onPortalSettingChanged, nullptr, nullptr);
    // A portal that is not running is not started for this: that could take seconds.
    g_dbus_connection_call(bus, kPortalName, kPortalPath, kSettingsInterface, "Read",
                           g_variant_new("(ss)", kAppearance, kColorScheme), G_VARIANT_TYPE("(v)"),
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, &onPortalRead, nullptr);
}

} // namespace

bool followDarkPreference(std::function<void(bool dark)> changed)
{
    CDarkState& s = state();
    s.changed = std::move(changed);
    if (!s.started) {
        s.started = true;
        if (GtkSettings* settings = gtk_settings_get_default()) {
            readGtkSetting(settings);
            g_signal_connect(settings, (std::string("notify::") + kGtkProperty).c_str(),
                             G_CALLBACK(&onGtkSettingChanged), nullptr);
        }
        s.current = combined();
        g_bus_get(G_BUS_TYPE_SESSION, nullptr, &onSessionBus, nullptr);
    }
    return s.current;
}

} // namespace zilui
