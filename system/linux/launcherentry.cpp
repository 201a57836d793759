// SPDX-License-Identifier: MIT
#include "launcherentry.h"

#include "iconpixels.h"

#include <algorithm>

namespace zilui::desktop {

namespace {

constexpr const char* kLauncherInterface = "com.canonical.Unity.LauncherEntry";

} // namespace

CLauncherEntry::CLauncherEntry(CSessionBus& bus, const zil::String& desktopFileId) : m_bus(bus)
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
    m_path = "/com/canonical/unity/launcherentry/" + std::to_string(g_str_hash(m_appURI.c_str()));
}

CLauncherEntry::~CLauncherEntry()
{
    if (m_badgedWindow)
        m_badgedWindow->SetIcons(m_originalIcons);
    for (GVariant* update : m_updatesToSend)
        g_variant_unref(update);
}

void CLauncherEntry::onBusConnected()
{
    for (GVariant* update : m_updatesToSend) {
        g_dbus_connection_emit_signal(m_bus.connection(), nullptr, m_path.c_str(), kLauncherInterface, "Update",
                                      update, nullptr);
        g_variant_unref(update);
    }
    m_updatesToSend.clear();
}

void CLauncherEntry::onBusFailed()
{
    for (GVariant* update : m_updatesToSend)
        g_variant_unref(update);
    m_updatesToSend.clear();
}

bool CLauncherEntry::initTaskBar(wxWindow* window)
{
    if (!window || !wxGetTopLevelParent(window))
        return false;
    if (!m_bus.connecting() && !m_bus.usable()) {
        if (!m_bus.connection())
            m_bus.logOnce("bus", L"No session bus: the launcher entry is off. Ignoring.");
        return false;
    }
    return true;
}

bool CLauncherEntry::emitUpdate()
{
    if (!m_bus.connecting() && !m_bus.usable())
        return false;
    GVariantBuilder props;
    g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&props, "{sv}", "progress", g_variant_new_double(m_progress));
    g_variant_builder_add(&props, "{sv}", "progress-visible", g_variant_new_boolean(m_progressVisible));
    g_variant_builder_add(&props, "{sv}", "urgent", g_variant_new_boolean(m_urgent));
    GVariant* update = g_variant_new("(sa{sv})", m_appURI.c_str(), &props);
    if (m_bus.connecting()) {
        m_updatesToSend.push_back(g_variant_ref_sink(update));
        return true;
    }
    GError* e = nullptr;
    const bool ok = g_dbus_connection_emit_signal(m_bus.connection(), nullptr, m_path.c_str(), kLauncherInterface,
                                                  "Update", update, &e);
    ErrorPtr error(e);
    if (!ok)
        m_bus.logOnce("launcher", L"Cannot send the launcher entry update: " + errorText(e) + L". Ignoring.");
    return ok;
}

bool CLauncherEntry::setProgressState(TaskBarProgressState state)
{
    switch (state) {
    case TBPF_NOPROGRESS:
    case TBPF_NORMAL:
    case TBPF_ERROR:
        m_progressVisible = state != TBPF_NOPROGRESS;
        // Docks have no red bar; an urgent entry is how they ask for attention.
        m_urgent = state == TBPF_ERROR;
        m_progressState = state;
        return emitUpdate();
    case TBPF_INDETERMINATE:
    case TBPF_PAUSED:
        m_bus.logOnce("state" + std::to_string(state),
                      L"The launcher entry has no " +
                          zil::String(state == TBPF_PAUSED ? L"paused" : L"indeterminate") +
                          L" progress; the bar keeps its value. Ignoring.");
        if (!m_progressVisible) {
            m_progressVisible = true;
            emitUpdate();
        }
        m_progressState = state;
        return false;
    }
    m_bus.logOnce("badstate", L"Unknown taskbar progress state " + zil::toString(static_cast<int64_t>(state)) +
                                  L". Ignoring.");
    return false;
}

bool CLauncherEntry::setProgressValue(unsigned long long completed, unsigned long long total)
{
    if (total == 0)
        return false;
    m_progress = std::min(1.0, static_cast<double>(completed) / static_cast<double>(total));
    // As on the taskbar, a value shows the bar when no state was set.
    if (m_progressState == TBPF_NOPROGRESS) {
        m_progressState = TBPF_NORMAL;
        m_progressVisible = true;
    }
    return emitUpdate();
}

bool CLauncherEntry::setOverlayIcon(wxWindow* window, const wxIcon* overlay, const wxIcon& trayIcon)
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
        badged.AddIcon(trayIcon.IsOk() ? compositeBadge(trayIcon, *overlay) : *overlay);
    } else {
        for (size_t i = 0; i < m_originalIcons.GetIconCount(); ++i)
            badged.AddIcon(compositeBadge(m_originalIcons.GetIconByIndex(i), *overlay));
    }
    top->SetIcons(badged);
    return true;
}

} // namespace zilui::desktop
