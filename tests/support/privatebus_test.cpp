// SPDX-License-Identifier: MIT
#include "support/privatebus.h"

#include <gtest/gtest.h>

#include <gio/gio.h>

#include <cstdlib>
#include <string>

namespace zilui::test {
namespace {

GDBusConnection* connect(const char* address)
{
    return g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
}

bool hasOwner(GDBusConnection* bus, const std::string& name)
{
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner",
                                                  g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"),
                                                  G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    return owned;
}

// GIO's shared session connection, the one the library talks through, reaches the program's
// own daemon: not the desktop's bus, nor one that dbus-launch started on demand.
TEST(PrivateBuses, TheSharedSessionConnectionReachesTheProgramsOwnDaemon)
{
    ASSERT_TRUE(privateSessionBus());
    GDBusConnection* own = connect(privateSessionBus()->address().c_str());
    ASSERT_TRUE(own);
    const std::string name = "org.zilui.tests.Probe" + std::to_string(getpid());
    GVariant* reply = g_dbus_connection_call_sync(own, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "RequestName",
                                                  g_variant_new("(su)", name.c_str(), 4u), G_VARIANT_TYPE("(u)"),
                                                  G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    ASSERT_TRUE(reply);
    g_variant_unref(reply);

    GDBusConnection* shared = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_TRUE(shared);
    EXPECT_TRUE(hasOwner(shared, name));
    g_object_unref(shared);
    g_object_unref(own);

    // The accessibility bridge's bus: a live one, and not the session bus.
    const char* accessibility = getenv("AT_SPI_BUS_ADDRESS");
    ASSERT_TRUE(accessibility);
    EXPECT_NE(std::string(accessibility), privateSessionBus()->address());
    GDBusConnection* bridge = connect(accessibility);
    ASSERT_TRUE(bridge);
    EXPECT_FALSE(hasOwner(bridge, name));
    g_object_unref(bridge);
}

} // namespace
} // namespace zilui::test
