// SPDX-License-Identifier: MIT
#include "support/privatebus.h"

#include <glib.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zilui::test {
namespace {

// Anyone may own any name and talk to anyone, as on a session bus; no service folders, so a
// client asking for a desktop service gets an error instead of a daemon of the machine's.
const char kConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// In the daemon, before exec: it goes when its parent goes, however that ends.
void dieWithParent(gpointer)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

// Never stopped by this process: at exit GLib's threads (dconf's worker) still hold
// connections to them, and a session bus that closes under GIO raises SIGTERM. They end with
// the process through the parent-death signal instead.
CPrivateBus* g_session = nullptr;
CPrivateBus* g_accessibility = nullptr;

} // namespace

CPrivateBus::CPrivateBus()
{
    GError* error = nullptr;
    gchar* configPath = nullptr;
    const int configFd = g_file_open_tmp("zilui-bus-XXXXXX.conf", &configPath, &error);
    if (configFd < 0) {
        const std::string text = std::string("cannot write a D-Bus configuration: ") + error->message;
        g_error_free(error);
        throw std::runtime_error(text);
    }
    m_configFile = configPath;
    g_free(configPath);
    const bool written = write(configFd, kConfig, sizeof kConfig - 1) == ssize_t(sizeof kConfig - 1);
    close(configFd);
    if (!written)
        throw std::runtime_error("cannot write the D-Bus configuration " + m_configFile);

    const std::string configArg = "--config-file=" + m_configFile;
    gchar* argv[] = {const_cast<gchar*>("dbus-daemon"), const_cast<gchar*>(configArg.c_str()),
                     const_cast<gchar*>("--nofork"), const_cast<gchar*>("--print-address=1"), nullptr};
    GPid pid = 0;
    int out = -1;
    if (!g_spawn_async_with_pipes(nullptr, argv, nullptr,
                                  GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL), &dieWithParent,
                                  nullptr, &pid, nullptr, &out, nullptr, &error)) {
        const std::string text = std::string("cannot start dbus-daemon (package dbus-daemon): ") + error->message;
        g_error_free(error);
        unlink(m_configFile.c_str());
        throw std::runtime_error(text);
    }
    m_pid = pid;
    // The daemon prints its address once it listens: the bus is usable when the line is whole.
    char c = 0;
    while (read(out, &c, 1) == 1 && c != '\n')
        m_address += c;
    close(out);
    // Read by now; gone even if this process ends without cleaning up.
    unlink(m_configFile.c_str());
    if (m_address.empty()) {
        stop();
        throw std::runtime_error("dbus-daemon ended without giving its address");
    }
}

CPrivateBus::~CPrivateBus()
{
    stop();
}

void CPrivateBus::stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

std::string usePrivateBuses()
{
    // The test script's accessibility stage brings a bus with the at-spi registry on it, started
    // for this run alone; anything else gets a bare bus of its own.
    const char* scriptBus = getenv("ZILUI_TEST_AT_SPI_BUS_ADDRESS");
    try {
        if (!scriptBus || !*scriptBus)
            g_accessibility = new CPrivateBus();
        g_session = new CPrivateBus();
    } catch (const std::exception& e) {
        return e.what();
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", g_session->address().c_str(), 1);
    // The accessibility bridge takes this before asking the session bus or the X root window.
    setenv("AT_SPI_BUS_ADDRESS", g_accessibility ? g_accessibility->address().c_str() : scriptBus, 1);
    // On the bare bus no registry answers, and the bridge warns about it in every process: it
    // is loaded only with the test script's bus, which has one.
    if (g_accessibility)
        setenv("NO_AT_BRIDGE", "1", 1);
    // Set by a bus that activated this process; they would point GIO back to it.
    unsetenv("DBUS_STARTER_ADDRESS");
    unsetenv("DBUS_STARTER_BUS_TYPE");
    return {};
}

CPrivateBus* privateSessionBus()
{
    return g_session;
}

} // namespace zilui::test
