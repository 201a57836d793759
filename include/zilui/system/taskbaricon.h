// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/eventconnection.h>

#include <zil/object.h>
#include <zil/string.h>

#include <wx/event.h>
#include <wx/icon.h>
#include <wx/weakref.h>

#include <memory>

class wxMenu;
class wxWindow;

namespace zilui {

// Mouse actions on the notification-area icon, as onTaskBarEvent receives them.
enum TaskBarEvent {
    TaskBarLeftButtonDown = 0,
    TaskBarLeftButtonUp = 1,
    TaskBarLeftDoubleClick = 2,
    TaskBarRightButtonDown = 3,
    TaskBarRightButtonUp = 4,
    TaskBarRightDoubleClick = 5,
    TaskBarBalloonClicked = 6,
};

// The taskbar's own progress flags; the values are passed on unchanged.
enum TaskBarProgressState {
    TBPF_NOPROGRESS = 0,
    TBPF_INDETERMINATE = 1,
    TBPF_NORMAL = 2,
    TBPF_ERROR = 4,
    TBPF_PAUSED = 8,
};

// The balloon icon flag of a notification; the low four bits choose the icon, the rest are
// hints (sound, large icon) a backend may ignore.
enum NotifyIcon {
    NIIF_NONE = 0,
    NIIF_INFO = 1,
    NIIF_WARNING = 2,
    NIIF_ERROR = 3,
    NIIF_USER = 4,
    NIIF_NOSOUND = 0x10,
    NIIF_LARGE_ICON = 0x20,
};

// The seam between CTaskBarIcon and the desktop: it receives what the icon wants shown and
// reports what the user did. Texts arrive already cut to their limits. Every call returns
// false when the desktop has no equivalent or the call failed, and the backend logs the
// cause once (a gone bus, a missing service), not at every call; none throws.
class INotificationAreaBackend : public virtual zil::IBase {
public:
    // Implemented by the icon. Called on the GUI thread, from the main loop.
    class IListener {
    public:
        virtual void onBackendEvent(TaskBarEvent event) = 0;
        // After TaskBarRightButtonUp: show the context menu now.
        virtual void onBackendContextMenu() = 0;
        // A fresh menu for a desktop that draws the menu itself (null: no menu). The caller
        // owns it and sends the commands chosen in it to onBackendMenuCommand.
        virtual wxMenu* createBackendMenu() = 0;
        virtual void onBackendMenuCommand(wxMenu& menu, int id, bool checked) = 0;

    protected:
        ~IListener() = default;
    };

    struct IconRecord {
        wxIcon icon; // not valid: no picture
        zil::String toolTip;
    };
    struct NotificationRecord {
        zil::String title;
        zil::String text;
        int icon = NIIF_NONE; // NotifyIcon flags
        int timeoutMs = 0;
        wxIcon userIcon; // for NIIF_USER
    };

    // `listener` is not owned; null detaches it.
    virtual void setListenerWeak(IListener* listener) = 0;

    // How the icon is shown now: "StatusNotifierItem", "XEmbed", or empty while it is not,
    // or while the backend is still finding out where it can go.
    virtual zil::String getIconProtocol() const = 0;

    // A backend whose desktop answers later returns true once the icon is on its way, and
    // moves it to a fallback itself if the desktop then refuses it.
    virtual bool addIcon(const IconRecord& record) = 0;
    virtual bool modifyIcon(const IconRecord& record) = 0;
    virtual bool deleteIcon() = 0;
    // An empty text withdraws the notification shown last.
    virtual bool showNotification(const NotificationRecord& record) = 0;
    // Pops `menu` up at the mouse; its commands go to `commandTarget`. Returns once the
    // menu has closed.
    virtual bool popupMenu(wxMenu& menu, wxEvtHandler& commandTarget) = 0;

    // The taskbar button of `window`'s top-level window.
    virtual bool initTaskBar(wxWindow* window) = 0;
    // `overlay` null removes the overlay.
    virtual bool setOverlayIcon(wxWindow* window, const wxIcon* overlay, const zil::String& description) = 0;
    // A desktop without thumbnail tooltips drops the text and returns true: the badge the
    // same call sets is what counts.
    virtual bool setThumbnailToolTip(wxWindow* window, const zil::String& text) = 0;
    virtual bool setProgressState(wxWindow* window, TaskBarProgressState state) = 0;
    virtual bool setProgressValue(wxWindow* window, unsigned long long completed,
                                  unsigned long long total) = 0;
};

// The desktop's backend: a StatusNotifierItem on the session bus where a
// StatusNotifierWatcher runs, else wxTaskBarIcon's XEmbed tray icon; notifications through
// org.freedesktop.Notifications; taskbar progress through the launcher entry signal of
// `desktopFileId` ("myapp.desktop"; empty: taken from GIO_LAUNCHED_DESKTOP_FILE or else the
// program name); the overlay as a badge on the window's own icons.
zil::P<INotificationAreaBackend>
createDesktopNotificationAreaBackend(const zil::String& desktopFileId = zil::String());

// An icon in the notification area with a tooltip and a context menu, notifications, and
// the decorations of the application's taskbar entry. GUI thread only. Counted (a zil::CBase
// through TEventConnectorMixin): hold it in a zil::P<CTaskBarIcon>; the last reference
// removes the icon.
class CTaskBarIcon : public wxEvtHandler,
                     public TEventConnectorMixin,
                     private INotificationAreaBackend::IListener {
public:
    static constexpr size_t kMaxToolTipLength = 127;
    static constexpr size_t kMaxNotificationTextLength = 255;
    static constexpr size_t kMaxNotificationTitleLength = 63;

    // Uses the desktop's backend.
    CTaskBarIcon();
    // Uses `backend` (taken into a counted reference); for other platforms and tests.
    explicit CTaskBarIcon(INotificationAreaBackend* backend);
    ~CTaskBarIcon() override;
    CTaskBarIcon(const CTaskBarIcon&) = delete;
    CTaskBarIcon& operator=(const CTaskBarIcon&) = delete;

    // show, hide and setIconAndToolTipText return true when the notification area took the
    // change, false when it refused it or nothing had to be called: while the icon is hidden,
    // setIconAndToolTipText only stores the icon and tooltip for the next show(), and hide()
    // has nothing to remove.
    bool show();
    bool hide();
    bool isVisible() const { return m_visible; }
    bool setIconAndToolTipText(const wxIcon& icon, const zil::String& toolTip);
    wxIcon getIcon() const { return m_icon; }
    zil::String getToolTipText() const { return m_toolTip; }

    // Shown with the icon only: false, and nothing shown, while the icon is hidden. A click on
    // the notification arrives as TaskBarBalloonClicked.
    bool showNotification(const zil::String& title, const zil::String& text, NotifyIcon icon, int timeoutMs);

    virtual bool initWindowsTaskBarFeatures(wxWindow* window);
    bool areWindowsTaskBarFeaturesActivated() const { return m_taskBarReady && m_taskBarWindow; }
    // `overlay` null or not valid removes the badge. True when the badge was set or removed;
    // a thumbnail tooltip `text` is shown only where the desktop has one.
    bool setTaskBarButtonImageAndToolTipText(wxIcon* overlay, const zil::String& text);
    bool setTaskBarProgressState(TaskBarProgressState state);
    // `fraction` in 0..1.
    bool setTaskBarProgress(double fraction);

    INotificationAreaBackend* getBackend() const { return m_backend.get(); }
    bool isMenuShowing() const { return m_menuShowing; }

protected:
    // The context menu, made anew each time it opens; the icon owns it. Null: no menu.
    virtual wxMenu* createPopupMenu() { return nullptr; }
    virtual void onTaskBarEvent(TaskBarEvent event) { (void)event; }

private:
    bool update(bool withNotification);
    void showContextMenu();

    // INotificationAreaBackend::IListener
    void onBackendEvent(TaskBarEvent event) override;
    void onBackendContextMenu() override;
    wxMenu* createBackendMenu() override;
    void onBackendMenuCommand(wxMenu& menu, int id, bool checked) override;

    zil::P<INotificationAreaBackend> m_backend;
    zil::String m_notificationTitle;
    zil::String m_notificationText;
    NotifyIcon m_notificationIcon = NIIF_NONE;
    int m_notificationTimeout = 0;
    bool m_menuShowing = false;
    wxWeakRef<wxWindow> m_taskBarWindow; // a window that goes ends the features
    bool m_taskBarReady = false;
    bool m_visible = false;
    bool m_added = false;
    wxIcon m_icon;
    zil::String m_toolTip;
    bool m_invalidIconLogged = false;
};

} // namespace zilui
