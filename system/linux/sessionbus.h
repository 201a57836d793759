// SPDX-License-Identifier: MIT
// The session bus as the desktop backend's parts share it. All D-Bus traffic runs on the
// connection that GIO shares in the process (the D-Bus menu library insists on it), and every
// callback arrives on the GUI thread through the default main context, which wxGTK's loop runs.
// No call waits for its answer there: a slow desktop service must not freeze the program.
#pragma once

#include <zil/string.h>

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <set>
#include <string>

namespace zilui::desktop {

constexpr int kCallTimeoutMs = 3000;

struct GErrorDeleter {
    void operator()(GError* e) const { g_error_free(e); }
};
using ErrorPtr = std::unique_ptr<GError, GErrorDeleter>;

zil::String errorText(const GError* error);
std::string utf8(const zil::String& text);

// GLib's callbacks hand their work to the main loop through here; without an application
// object there is no loop to run it, and the work is dropped.
void callAfter(std::function<void()> work);

class CSessionBus {
public:
    using Done = std::function<void(GVariant* reply, const GError* error)>;

    // Starts connecting. `connected` runs once the bus daemon has answered (with the error
    // when there is no bus), unless the link has been cancelled first.
    explicit CSessionBus(std::function<void(const GError* error)> connected);
    ~CSessionBus();
    CSessionBus(const CSessionBus&) = delete;
    CSessionBus& operator=(const CSessionBus&) = delete;

    // Null until connected, and when there is no bus.
    GDBusConnection* connection() const { return m_bus; }
    // Connecting may wait for the bus daemon: until it has answered, what needs the bus is
    // kept and done then.
    bool connecting() const { return !m_bus && !m_failed; }
    bool failed() const { return m_failed; }
    // Connected and not closed since; says once in the log when the bus has gone.
    bool usable();

    // Each warning once in the backend's life, by key.
    void logOnce(const std::string& key, const zil::String& text);
    // Keeps the line of `key` from being written: another line has said it already.
    void markLogged(const std::string& key) { m_logged.insert(key); }

    // The calls of the link's whole life; cancelled by cancel() or with the link.
    GCancellable* lifetime() const { return m_cancellable; }
    void cancel() { g_cancellable_cancel(m_cancellable); }

    // Nothing waits for the answer: `done` runs from the main loop when it arrives, unless
    // `cancellable` was cancelled first, which is how what `done` touches is kept alive.
    void call(const char* name, const char* path, const char* interface, const char* method,
              GVariant* parameters, const GVariantType* replyType, GCancellable* cancellable, Done done);

private:
    void onConnected(GDBusConnection* bus, const GError* error);

    std::function<void(const GError*)> m_connected;
    GDBusConnection* m_bus = nullptr;
    bool m_failed = false;
    GCancellable* m_cancellable = nullptr;
    std::set<std::string> m_logged;
};

} // namespace zilui::desktop
