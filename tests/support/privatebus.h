// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <sys/types.h>

namespace zilui::test {

// A D-Bus daemon of the test run's own: no service can be activated on it, nothing of the
// desktop's session reaches it, and it ends with the process that started it (also when that
// process crashes). The environment is left as it is; the owner decides who uses the bus.
class CPrivateBus {
public:
    // Throws std::runtime_error saying what is missing when no daemon can be started.
    CPrivateBus();
    ~CPrivateBus();
    CPrivateBus(const CPrivateBus&) = delete;
    CPrivateBus& operator=(const CPrivateBus&) = delete;

    const std::string& address() const { return m_address; }
    // Ends the daemon now, as a desktop's bus can vanish; connections to it close.
    void stop();

private:
    std::string m_configFile;
    std::string m_address;
    pid_t m_pid = -1;
};

// Gives this process a session bus and an accessibility bus of its own before GLib, GTK or the
// accessibility bridge look for one, whatever the machine offers (a desktop session,
// DBUS_SESSION_BUS_ADDRESS, dbus-launch's autolaunch): the buses live until the process ends.
// Returns an empty text or one line saying what is missing.
std::string usePrivateBuses();
// The session bus given by usePrivateBuses(); null before.
CPrivateBus* privateSessionBus();

} // namespace zilui::test
