// SPDX-License-Identifier: MIT
// The notification area, notifications and the taskbar entry on today's Linux desktops: one
// part per protocol over the shared session bus (sessionbus.h). Callbacks never call into the
// icon directly: they queue the call, so a handler that throws meets the application's guard
// and not a C frame of GLib.
#include <zilui/system/taskbaricon.h>

#include "launcherentry.h"
#include "notifications.h"
#include "sessionbus.h"
#include "statusnotifieritem.h"

#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/utils.h>

namespace zilui {

namespace {

using namespace desktop;

class CDesktopBackend : public zil::CBase, public INotificationAreaBackend {
public:
    explicit CDesktopBackend(const zil::String& desktopFileId)
        : m_bus([this](const GError* error) { onBusConnected(error); }),
          m_item(*this, m_bus, [this] { return m_listener; },
                 [this](std::function<void(IListener&)> call) { queue(std::move(call)); }),
          m_notifications(m_bus, [this] { queue([](IListener& l) { l.onBackendEvent(TaskBarBalloonClicked); }); }),
          m_launcher(m_bus, desktopFileId)
    {
    }
    ~CDesktopBackend() override
    {
        m_listener = nullptr;
        m_bus.cancel();
    }

    void setListenerWeak(IListener* listener) override { m_listener = listener; }
    zil::String getIconProtocol() const override { return m_item.getProtocol(); }
    bool addIcon(const IconRecord& record) override { return m_item.add(record); }
    bool modifyIcon(const IconRecord& record) override { return m_item.modify(record); }
    bool deleteIcon() override { return m_item.remove(); }
    bool showNotification(const NotificationRecord& record) override { return m_notifications.show(record); }
    bool popupMenu(wxMenu& menu, wxEvtHandler& commandTarget) override;
    bool initTaskBar(wxWindow* window) override { return m_launcher.initTaskBar(window); }
    bool setOverlayIcon(wxWindow* window, const wxIcon* overlay, const zil::String&) override
    {
        return m_launcher.setOverlayIcon(window, overlay, m_item.record().icon);
    }
    bool setThumbnailToolTip(wxWindow* window, const zil::String& text) override;
    bool setProgressState(wxWindow*, TaskBarProgressState state) override
    {
        return m_launcher.setProgressState(state);
    }
    bool setProgressValue(wxWindow*, unsigned long long completed, unsigned long long total) override
    {
        return m_launcher.setProgressValue(completed, total);
    }

private:
    void onBusConnected(const GError* error);
    // Runs `call` on the listener from the main loop, if the icon is still there then.
    void queue(std::function<void(IListener&)> call);

    IListener* m_listener = nullptr;
    // Declared first, so that it goes last: the parts below unsubscribe from it as they go.
    CSessionBus m_bus;
    CStatusNotifierItem m_item;
    CNotifications m_notifications;
    CLauncherEntry m_launcher;
};

void CDesktopBackend::onBusConnected(const GError* error)
{
    if (m_bus.failed()) {
        m_bus.logOnce("bus", L"No session bus (" + errorText(error) +
                                 L"): the icon uses the XEmbed tray; notifications and the launcher entry are "
                                 L"off. Ignoring.");
        m_launcher.onBusFailed();
        m_notifications.onBusFailed();
        m_item.onBusFailed();
        return;
    }
    m_notifications.listen();
    m_item.onBusConnected();
    m_launcher.onBusConnected();
    m_notifications.sendWaiting();
}

void CDesktopBackend::queue(std::function<void(IListener&)> call)
{
    zil::P<CDesktopBackend> self(this);
    callAfter([self, call = std::move(call)] {
        if (self->m_listener)
            call(*self->m_listener);
    });
}

bool CDesktopBackend::popupMenu(wxMenu& menu, wxEvtHandler& commandTarget)
{
    // A frame of our own at the mouse carries the menu; the icon handles its commands first.
    auto* frame = new wxFrame(nullptr, wxID_ANY, wxString(), wxGetMousePosition(), wxSize(1, 1),
                              wxFRAME_NO_TASKBAR | wxFRAME_TOOL_WINDOW | wxBORDER_NONE);
    frame->Show();
    frame->PushEventHandler(&commandTarget);
    const bool shown = frame->PopupMenu(&menu, 0, 0);
    frame->PopEventHandler(false);
    frame->Destroy();
    return shown;
}

bool CDesktopBackend::setThumbnailToolTip(wxWindow*, const zil::String& text)
{
    if (text.empty())
        return true;
    m_bus.logOnce("thumbnail", L"Task switchers here show no tooltip of their own for a window; the text is not "
                               L"shown. Ignoring.");
    return true;
}

} // namespace

zil::P<INotificationAreaBackend> createDesktopNotificationAreaBackend(const zil::String& desktopFileId)
{
    return zil::P<INotificationAreaBackend>(new CDesktopBackend(desktopFileId));
}

} // namespace zilui
