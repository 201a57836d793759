// SPDX-License-Identifier: MIT
#include <zilui/slick/popupmenu.h>

#include "../app/gtk/popupsurface.h"

#include <zilui/app/screen.h>

#include <zilui/app/strings.h>
#include <zilui/app/windowhelpers.h>
#include <zilui/graphics/gradients.h>
#include <zilui/graphics/resourcemanager.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/utils.h>

#include <algorithm>
#include <utility>
#include <cmath>

namespace {

constexpr int kAutoHideTimerId = 123;
// About one frame of a 60 Hz screen.
constexpr int kAnimationStepMs = 15;

} // namespace

wxBEGIN_EVENT_TABLE(zilui::CSlickPopupMenu, wxPopupWindow)
    EVT_TIMER(kAutoHideTimerId, zilui::CSlickPopupMenu::onAutoHideCheckTimer)
wxEND_EVENT_TABLE()

namespace zilui {

CSlickPopupMenu::CSlickPopupMenu(wxWindow* parent, const zil::String& backgroundTitle, const zil::CMargins& margins,
                                 CSlickButtonSkin* skin)
    : wxPopupWindow(parent, wxBORDER_NONE), m_buttonSkin(skin), m_timer(this, kAutoHideTimerId)
{
    Hide();
    m_animTimer.Bind(wxEVT_TIMER, &CSlickPopupMenu::onAnimationTimer, this);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    SetSizer(sizer);
    m_contentParent = new CGradientPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                         wxTAB_TRAVERSAL | wxNO_BORDER, wxPanelNameStr);
    m_contentParent->setGradient(new CNullGradient());
    sizer->Add(m_contentParent, 1, wxEXPAND);

    for (int i = 0;; ++i) {
        const zil::String title = i == 0 ? backgroundTitle : backgroundTitle + zil::toString(int64_t(i + 1));
        zil::P<IScalingImage> image;
        try {
            image = CResourceManager::get()->loadScalingImageByTitle(title, -1.0);
        } catch (const zil::CError& e) {
            zil::logError(e, L"Cannot load the popup menu background '" + title + L"'. Ignoring.");
        }
        if (!image)
            break;
        m_contentParent->addOverlay(image.get());
    }

    m_contentSizer = new wxBoxSizer(wxVERTICAL);
    m_contentParent->SetSizer(wrapInMargins(m_contentSizer, margins));
}

CSlickPopupMenu::~CSlickPopupMenu()
{
    m_timer.Stop();
    m_animTimer.Stop();
}

CSlickButton* CSlickPopupMenu::addEntry(const zil::String& label, int proportion)
{
    auto* button = new CSlickButton(m_contentParent, wxID_ANY, toWX(label), wxDefaultPosition, wxDefaultSize,
                                    wxBU_AUTODRAW);
    if (m_buttonSkin)
        button->setSkin(m_buttonSkin.get());
    m_contentSizer->Add(button, proportion, wxEXPAND);
    button->Disable();
    m_entries.push_back(button);
    return button;
}

void CSlickPopupMenu::addSpacer(int size)
{
    m_contentSizer->AddSpacer(size);
}

void CSlickPopupMenu::addStretchSpacer(int proportion)
{
    m_contentSizer->AddStretchSpacer(proportion);
}

bool CSlickPopupMenu::getWindowsAnimateWindowFlags(Anim anim, bool hiding, int& flags)
{
    // AW_SLIDE with AW_HOR_POSITIVE, AW_HOR_NEGATIVE, AW_VER_POSITIVE, AW_VER_NEGATIVE; AW_HIDE.
    static const int directions[] = {0x1, 0x2, 0x4, 0x8};
    if (anim < AnimLeftToRight || anim > AnimBottomToTop) {
        flags = -1;
        return false;
    }
    flags = 0x40000 | directions[anim - 1] | (hiding ? 0x10000 : 0);
    return true;
}

void CSlickPopupMenu::show(Anim anim)
{
    finishAnimation();
    if (!IsShown() && !gtk::canPlacePopupOver(GetParent())) {
        zil::logWarning(L"The popup menu cannot be placed: its parent window is not on the display. Leaving the "
                        L"menu hidden.");
        return;
    }
    for (CSlickButton* entry : m_entries)
        entry->Enable();
    // A menu nobody sized gets the size of its entries.
    if (GetSize().x <= 1 || GetSize().y <= 1)
        Fit();
    Refresh();
    int flags = 0;
    if (!IsShown() && getWindowsAnimateWindowFlags(anim, false, flags))
        startAnimation(anim, false);
    else
        Show(true);
}

void CSlickPopupMenu::hide(Anim anim)
{
    finishAnimation();
    // An action that hides the menu again is not notified a second time (nor endlessly).
    if (IsShown() && m_hideNotificationAction && !m_notifyingHide) {
        m_notifyingHide = true;
        try {
            zil::P<CAction>(m_hideNotificationAction)->performAction();
        } catch (...) {
            m_notifyingHide = false;
            throw;
        }
        m_notifyingHide = false;
    }
    deactivateAutoHide();
    for (CSlickButton* entry : m_entries) {
        entry->setOwnHover(false);
        entry->Disable();
    }
    // The action may have shown or hidden the menu itself.
    finishAnimation();
    int flags = 0;
    if (IsShown() && getWindowsAnimateWindowFlags(anim, true, flags))
        startAnimation(anim, true);
    else
        Hide();
}

void CSlickPopupMenu::activateAutoHide(Anim anim, const zil::TArray<wxWindow*>& safeWindows,
                                       const zil::TArray<wxRect>& safeRects)
{
    if (!IsShown())
        return;
    m_autoHideAnim = anim;
    m_safeRects = safeRects;
    m_safeWindows.assign(safeWindows.begin(), safeWindows.end());
    m_autoHideActive = true;
    if (!m_timer.IsRunning())
        m_timer.Start(kAutoHideCheckMs, wxTIMER_CONTINUOUS);
}

void CSlickPopupMenu::deactivateAutoHide()
{
    m_timer.Stop();
    m_autoHideActive = false;
    m_safeRects.clear();
    m_safeWindows.clear();
}

void CSlickPopupMenu::changeZorder(wxWindow* window)
{
    if (!window)
        return;
    finishAnimation();
    Move(window->GetScreenRect().GetTopLeft());
    Raise();
}

void CSlickPopupMenu::onAutoHideCheckTimer(wxTimerEvent&)
{
    if (!m_autoHideActive || !IsShown())
        return;
    // A pointer the display server does not report is over none of our windows.
    wxPoint mouse;
    if (!getPointerPosition(mouse)) {
        if (hasPointer()) {
            hide(m_autoHideAnim);
            return;
        }
        // Nothing could bring a pointer back over the menu: it stays until it is dismissed.
        static bool told = false;
        if (!std::exchange(told, true))
            zil::logWarning(L"The display has no pointer: popup menus stay open instead of hiding when the pointer "
                            L"leaves. Ignoring.");
        m_autoHideActive = false;
        return;
    }
    // While sliding, the popup's own rectangle is only part of where it is going.
    const wxRect own = isAnimating() ? m_finalRect : GetScreenRect();
    if (own.Contains(mouse))
        return;
    if (std::any_of(m_safeRects.begin(), m_safeRects.end(), [&](const wxRect& r) { return r.Contains(mouse); }))
        return;
    if (std::any_of(m_safeWindows.begin(), m_safeWindows.end(),
                    [&](const wxWeakRef<wxWindow>& w) { return w && w->GetScreenRect().Contains(mouse); }))
        return;
    hide(m_autoHideAnim);
}

void CSlickPopupMenu::startAnimation(Anim anim, bool hiding)
{
    m_anim = anim;
    m_animHiding = hiding;
    m_finalRect = GetRect();
    // The sizers would squeeze the content into the partial popup; it keeps its full size.
    SetAutoLayout(false);
    Layout();
    m_animStart = std::chrono::steady_clock::now();
    applySlide(hiding ? 1.0 : 0.0);
    if (!hiding)
        Show(true);
    m_animTimer.Start(kAnimationStepMs, wxTIMER_CONTINUOUS);
}

void CSlickPopupMenu::onAnimationTimer(wxTimerEvent&)
{
    const auto elapsed = std::chrono::steady_clock::now() - m_animStart;
    const double t = std::chrono::duration<double, std::milli>(elapsed).count() / kAnimationMs;
    if (t >= 1.0)
        finishAnimation();
    else
        applySlide(m_animHiding ? 1.0 - t : t);
}

void CSlickPopupMenu::finishAnimation()
{
    if (!m_animTimer.IsRunning())
        return;
    m_animTimer.Stop();
    if (m_animHiding)
        Hide();
    // Hidden or shown, the popup is where the client put it, ready for the next show.
    SetSize(m_finalRect);
    m_contentParent->SetPosition(wxPoint(0, 0));
    SetAutoLayout(true);
    Layout();
    Refresh();
}

void CSlickPopupMenu::applySlide(double progress)
{
    const wxRect& f = m_finalRect;
    const bool horizontal = m_anim == AnimLeftToRight || m_anim == AnimRightToLeft;
    const int full = horizontal ? f.width : f.height;
    const int part = std::clamp(static_cast<int>(std::lround(full * progress)), 1, std::max(full, 1));
    wxRect rect = f;
    wxPoint content(0, 0);
    switch (m_anim) {
    case AnimLeftToRight: // the right edge of the content comes in first
        rect.width = part;
        content.x = part - f.width;
        break;
    case AnimRightToLeft:
        rect.x = f.GetRight() + 1 - part;
        rect.width = part;
        break;
    case AnimTopToBottom:
        rect.height = part;
        content.y = part - f.height;
        break;
    default:
        rect.y = f.GetBottom() + 1 - part;
        rect.height = part;
        break;
    }
    SetSize(rect);
    m_contentParent->SetSize(wxRect(content, f.GetSize()));
}

} // namespace zilui
