// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/action.h>
#include <zilui/graphics/panels.h>
#include <zilui/slick/controls.h>
#include <zilui/slick/skin.h>

#include <zil/containers.h>
#include <zil/margins.h>
#include <zil/object.h>
#include <zil/string.h>

#include <wx/popupwin.h>
#include <wx/sizer.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include <chrono>

namespace zilui {

// A borderless popup with a column of skinned buttons over a background of scaling images. It
// slides in and out, and can hide itself when the pointer leaves it and a set of safe areas.
// Entries are disabled while the menu is hidden and send their button events while it is
// shown. GUI thread only.
class CSlickPopupMenu : public wxPopupWindow {
public:
    // How show and hide move the popup: a slide of 150 ms in the named direction. Any value
    // other than 1 to 4 means no animation.
    enum Anim : int { AnimNone = 0, AnimLeftToRight = 1, AnimRightToLeft = 2, AnimTopToBottom = 3, AnimBottomToTop = 4 };
    static constexpr int kAnimationMs = 150;
    static constexpr int kAutoHideCheckMs = 100;

    // The background images are those of `backgroundTitle`, then of the title followed by 2, 3,
    // ... as long as the resource manager finds one; `margins` lie around the entries.
    CSlickPopupMenu(wxWindow* parent, const zil::String& backgroundTitle, const zil::CMargins& margins,
                    CSlickButtonSkin* skin);
    ~CSlickPopupMenu() override;

    CSlickButton* addEntry(const zil::String& label, int proportion = 0);
    void addSpacer(int size);
    void addStretchSpacer(int proportion = 1);

    // An animation that is still running ends at once before anything else happens, so the
    // popup is never left half-moved.
    void show(Anim anim);
    // Performs the hide notification action first when the menu is shown.
    void hide(Anim anim);

    // Only while shown: from now on a check every 100 ms hides the menu with `anim` when the
    // pointer is neither over it nor over a safe window or rectangle (screen coordinates).
    void activateAutoHide(Anim anim, const zil::TArray<wxWindow*>& safeWindows, const zil::TArray<wxRect>& safeRects);
    bool isAutoHideActive() const { return m_autoHideActive; }

    // Performed (not posted) when a shown menu is hidden; null for none.
    void setHideNotificationAction(CAction* action) { m_hideNotificationAction = action; }

    // Puts the popup at the top-left corner of `window`'s screen rectangle, keeping its size,
    // and above other windows.
    void changeZorder(wxWindow* window);

    const zil::TArray<CSlickButton*>& getEntries() const { return m_entries; }
    CGradientPanel* getContentParent() const { return m_contentParent; }
    bool isAnimating() const { return m_animTimer.IsRunning(); }

    // The AnimateWindow flags of `anim` when showing or hiding (for a Win32 implementation and
    // for logs): false and -1 for no animation.
    static bool getWindowsAnimateWindowFlags(Anim anim, bool hiding, int& flags);

protected:
    void deactivateAutoHide();

private:
    void onAutoHideCheckTimer(wxTimerEvent& event);
    void onAnimationTimer(wxTimerEvent& event);
    // Places the popup and its content for `progress` (0 none showing, 1 all) of the slide.
    void applySlide(double progress);
    void startAnimation(Anim anim, bool hiding);
    // Jumps to where the running animation would end.
    void finishAnimation();

    zil::P<CSlickButtonSkin> m_buttonSkin;
    CGradientPanel* m_contentParent = nullptr;
    wxBoxSizer* m_contentSizer = nullptr;
    zil::TArray<CSlickButton*> m_entries;
    wxTimer m_timer;
    bool m_autoHideActive = false;
    Anim m_autoHideAnim = AnimNone;
    zil::TArray<wxRect> m_safeRects;
    zil::TArray<wxWeakRef<wxWindow>> m_safeWindows;
    zil::P<CAction> m_hideNotificationAction;
    bool m_notifyingHide = false;

    wxTimer m_animTimer;
    Anim m_anim = AnimNone;
    bool m_animHiding = false;
    // Where the popup is when fully shown; held while a slide runs.
    wxRect m_finalRect;
    std::chrono::steady_clock::time_point m_animStart;

    wxDECLARE_EVENT_TABLE();
};

} // namespace zilui
