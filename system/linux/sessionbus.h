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

} // namespace zilui::desktop
