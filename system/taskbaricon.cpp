// SPDX-License-Identifier: MIT
#include <zilui/system/taskbaricon.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/menu.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace zilui {

namespace {

constexpr unsigned long long kProgressTotal = 1000000;

zil::String cut(const zil::String& text, size_t maxLength)
{
    return text.size() <= maxLength ? text : zil::String(text.substr(0, maxLength));
}

} // namespace

CTaskBarIcon::CTaskBarIcon() : CTaskBarIcon(createDesktopNotificationAreaBackend().get()) {}

CTaskBarIcon::CTaskBarIcon(INotificationAreaBackend* backend) : m_backend(backend)
{
    if (!m_backend)
        throw zil::CInvalidArgError(L"No notification-area backend given", L"CTaskBarIcon::CTaskBarIcon");
    m_backend->setListenerWeak(this);
}

CTaskBarIcon::~CTaskBarIcon()
{
    try {
        m_visible = false;
        update(false);
    } catch (const std::exception& e) {
        zil::onExceptionInDestructorIgnored(e, L"zilui::CTaskBarIcon");
    }
    m_backend->setListenerWeak(nullptr);
    m_taskBarReady = false;
}

bool CTaskBarIcon::show()
{
    m_visible = true;
    return update(false);
}

bool CTaskBarIcon::hide()
{
    m_visible = false;
    return update(false);
}

bool CTaskBarIcon::setIconAndToolTipText(const wxIcon& icon, const zil::String& toolTip)
{
    m_icon = icon;
    m_toolTip = toolTip;
    m_invalidIconLogged = false;
    return update(false);
}

bool CTaskBarIcon::showNotification(const zil::String& title, const zil::String& text, NotifyIcon icon,
                                    int timeoutMs)
{
    m_notificationTitle = title;
    m_notificationText = text;
    m_notificationIcon = icon;
    m_notificationTimeout = timeoutMs;
    return update(true);
}

bool CTaskBarIcon::update(bool withNotification)
{
    INotificationAreaBackend::IconRecord record;
    if (m_icon.IsOk()) {
        record.icon = m_icon;
    } else if (m_visible && !m_invalidIconLogged) {
        m_invalidIconLogged = true;
        zil::logWarning(L"CTaskBarIcon: the icon is not valid; the notification area shows none.");
    }
    record.toolTip = cut(m_toolTip, kMaxToolTipLength);

    // A notification belongs to the icon, as a balloon does: a hidden icon shows none. One the
    // notification area cannot show yet still carries it: the desktop's notification server
    // does not need a tray (GNOME on Wayland, sway without a bar have none).
    if (withNotification) {
        if (!m_visible)
            return false;
        if (m_added ? m_backend->modifyIcon(record) : m_backend->addIcon(record))
            m_added = true;
        INotificationAreaBackend::NotificationRecord notification;
        notification.title = cut(m_notificationTitle, kMaxNotificationTitleLength);
        notification.text = cut(m_notificationText, kMaxNotificationTextLength);
        if (!notification.text.empty()) {
            notification.icon = m_notificationIcon;
            notification.timeoutMs = m_notificationTimeout;
            notification.userIcon = m_icon;
        }
        return m_backend->showNotification(notification);
    }

    if (m_visible) {
        const bool ok = m_added ? m_backend->modifyIcon(record) : m_backend->addIcon(record);
        if (ok)
            m_added = true;
        return ok;
    }
    if (m_added) {
        const bool ok = m_backend->deleteIcon();
        if (ok)
            m_added = false;
        return ok;
    }
    return false;
}

void CTaskBarIcon::showContextMenu()
{
    if (m_menuShowing)
        return;
    std::unique_ptr<wxMenu> menu(createPopupMenu());
    if (!menu)
        return;
    m_menuShowing = true;
    struct ClearShowing {
        bool& flag;
        ~ClearShowing() { flag = false; }
    } clearShowing{m_menuShowing};
    menu->UpdateUI(this);
    m_backend->popupMenu(*menu, *this);
}

// INotificationAreaBackend::IListener

void CTaskBarIcon::onBackendEvent(TaskBarEvent event)
{
    onTaskBarEvent(event);
}

void CTaskBarIcon::onBackendContextMenu()
{
    showContextMenu();
}

wxMenu* CTaskBarIcon::createBackendMenu()
{
    wxMenu* menu = createPopupMenu();
    if (menu)
        menu->UpdateUI(this);
    return menu;
}

void CTaskBarIcon::onBackendMenuCommand(wxMenu& menu, int id, bool checked)
{
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(&menu);
    event.SetInt(checked ? 1 : 0);
    // Handlers bound to the menu itself come first, as in a popup menu; then the icon's own
    // connections, and only then the application.
    if (!menu.ProcessEventLocally(event))
        ProcessEvent(event);
}

// Taskbar button

bool CTaskBarIcon::initWindowsTaskBarFeatures(wxWindow* window)
{
    m_taskBarWindow = window;
    if (m_taskBarReady)
        return true;
    if (!m_backend->initTaskBar(window))
        return false;
    m_taskBarReady = true;
    return true;
}

bool CTaskBarIcon::setTaskBarButtonImageAndToolTipText(wxIcon* overlay, const zil::String& text)
{
    if (!areWindowsTaskBarFeaturesActivated())
        return false;
    if (overlay && !overlay->IsOk()) {
        zil::logWarning(L"Unset overlay icon in windows taskbar, because of invalid given icon.");
        overlay = nullptr;
    }
    return m_backend->setOverlayIcon(m_taskBarWindow, overlay, text) &&
           m_backend->setThumbnailToolTip(m_taskBarWindow, text);
}

bool CTaskBarIcon::setTaskBarProgressState(TaskBarProgressState state)
{
    if (!areWindowsTaskBarFeaturesActivated())
        return false;
    return m_backend->setProgressState(m_taskBarWindow, state);
}

bool CTaskBarIcon::setTaskBarProgress(double fraction)
{
    if (!areWindowsTaskBarFeaturesActivated())
        return false;
    if (!std::isfinite(fraction))
        fraction = 0;
    fraction = std::min(1.0, std::max(0.0, fraction));
    const auto completed = static_cast<unsigned long long>(fraction * kProgressTotal);
    return m_backend->setProgressValue(m_taskBarWindow, completed, kProgressTotal);
}

} // namespace zilui
