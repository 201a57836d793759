// SPDX-License-Identifier: MIT
// The navigation protocol between a host (a module dialog), the modules it shows and the pages
// they are made of. A host calls, in this order: resetState, enter, nextPage (or prevPage after
// entering backward) to show the first (last) page, then nextPage/prevPage to move, and leave
// after NavigateEnd or at any time with NavNone when it closes.
#pragma once

#include <zil/object.h>
#include <zil/string.h>

#include <cstdint>

class wxWindow;

namespace zil {
class CThread;
}

namespace zilui {

class IUIModuleContext;
class IUIPageOwner;
class CUIPageInfo;

// Shows and hides page windows, possibly with a transition.
class IUIEffectProvider : public virtual zil::IBase {
public:
    enum NavFlow : int32_t {
        FlowNone = 0,
        FlowBackward = 1,
        FlowForward = 2,
        FlowBackwardVertical = 3,
        FlowForwardVertical = 4,
    };

    // `immediate` asks for the end state without any transition; pages pass false.
    virtual void showPage(wxWindow* page, NavFlow flow, bool immediate) = 0;
    virtual void hidePage(wxWindow* page, NavFlow flow, bool immediate) = 0;
};

// One page of a module. Pages are windows: the window hierarchy owns them, not a count.
class IUIPage {
public:
    enum NavDirection : int32_t {
        NavForward = 0,
        NavBackward = 1,
        // Reset, restore after an error, closing of the host. Counts as forward wherever a
        // module has to pick nextPage or prevPage.
        NavNone = 2,
    };

    virtual zil::String getPageName() const = 0;
    virtual void setAutoShowHide(bool autoShowHide) = 0;
    virtual bool getAutoShowHide() const = 0;
    // Keeps a counted reference; null means plain Show/Hide.
    virtual void setUIEffectProvider(IUIEffectProvider* provider) = 0;
    // The owner holds the page by a plain pointer and is told by detachPage() when the page
    // goes away. Null clears it.
    virtual void setPageOwnerWeak(IUIPageOwner* owner) = 0;
    virtual void resetState() = 0;
    // The context is held exactly while the page is entered.
    virtual void enter(IUIModuleContext* context, NavDirection dir) = 0;
    virtual void leave(NavDirection dir) = 0;
    // Before a forward step leaves the page; false refuses the step.
    virtual bool verifyAndStoreData() = 0;
    // Instead of enter() when the page is skipped going forward.
    virtual void skipped_updateData() = 0;
    virtual bool confirmAbort() = 0;
    // Asked each time the page would be entered.
    virtual bool shouldBeSkipped() = 0;
    // Never null.
    virtual zil::P<CUIPageInfo> getPageInfo() = 0;

protected:
    virtual ~IUIPage() = default;
};

// A navigable sequence of pages.
class IUIModule : public virtual zil::IBase {
public:
    enum NavigateResult : int32_t {
        // Refused; the current page stays shown.
        NavigateStay = 0,
        // No further page in that direction; nothing is shown now.
        NavigateEnd = 1,
        // Another page is shown now.
        NavigateMoved = 2,
    };
    using NavDirection = IUIPage::NavDirection;

    // Passed on to every page: whether pages show and hide their windows on enter/leave.
    virtual void setAutoShowHidePages(bool autoShowHide) = 0;
    virtual bool getAutoShowHidePages() const = 0;
    // Back to the state before the first page; no page shown.
    virtual void resetState() = 0;
    // Keeps a counted reference to `context` until leave(); shows no page yet.
    virtual void enter(IUIModuleContext* context, NavDirection dir) = 0;
    // Hides the current page if shown and drops the context.
    virtual void leave(NavDirection dir) = 0;
    // False keeps the host open when the user cancels.
    virtual bool confirmAbort() = 0;
    // Right after enter(), shows the first page.
    virtual NavigateResult nextPage() = 0;
    // Right after enter(…, NavBackward), shows the last page.
    virtual NavigateResult prevPage() = 0;
    // Never null; a default record when no page is shown.
    virtual zil::P<CUIPageInfo> getPageInfo() = 0;
    // Empty when no page is shown.
    virtual zil::String getPageName() = 0;
    virtual bool hasAnyPages() = 0;
    // The host then lays out OK/Cancel instead of wizard buttons.
    virtual bool hasExactlyOnePage() = 0;
    virtual bool hasNextPage() = 0;
    virtual bool hasPrevPage() = 0;
};

// The host as seen from a module or a page.
class IUIModuleContext : public virtual zil::IBase {
public:
    // A forward step exactly as the host's Next button makes it.
    virtual void nextPage() = 0;
    // A backward step exactly as the host's Back button makes it.
    virtual void prevPage() = 0;
    // Fetches the current page info again and refreshes the buttons.
    virtual void reExaminePageInfo() = 0;
    // Blocks in a modal "please wait" display until `thread` ends; then joins it when `join`.
    virtual void waitForThread(zil::CThread* thread, bool join) = 0;
};

class IUIPageOwner : public virtual zil::IBase {
public:
    // The page is going away; the owner must not touch its pointer again.
    virtual void detachPage() = 0;
};

// Plain Show/Hide, no transition.
class CNoUIEffectProvider : public zil::CBase, public IUIEffectProvider {
public:
    void showPage(wxWindow* page, NavFlow flow, bool immediate) override;
    void hidePage(wxWindow* page, NavFlow flow, bool immediate) override;
};

// Button set-up of the current page, made anew for each request.
class CUIPageInfo : public zil::CBase {
public:
    // Empty: the host's default ("Next", "Finish" or "OK").
    zil::String nextLabel;
    // Empty: the host's default ("Back" or "Cancel").
    zil::String backLabel;
    bool showNext = true;
    bool showBack = true;
    bool enableNext = true;
    bool enableBack = true;
    // Free for client programs; the library never reads it.
    int32_t userData = 0;
};

// Holds the active module of a host and switches to another one, putting the old one back
// when the new one fails to start.
class CActiveUIModuleSlot : public zil::CBase {
public:
    using NavDirection = IUIPage::NavDirection;

    CActiveUIModuleSlot() = default;
    CActiveUIModuleSlot(const CActiveUIModuleSlot& other) = default;
    CActiveUIModuleSlot& operator=(const CActiveUIModuleSlot& other) = default;
    // Leaves an active module with NavNone; errors are reported, never thrown.
    ~CActiveUIModuleSlot() override;

    zil::P<IUIModule> getModule() const { return m_module; }
    zil::P<IUIModuleContext> getContext() const { return m_context; }

    // Passes the remaining pages of the module in direction `dir` and leaves it. False when a
    // page refuses and `force` is false: the module then stays active. The context stays.
    bool tryClear(bool force, NavDirection dir);
    // Leaves the active module as tryClear(false, dir) does, then enters `module` (not null)
    // and shows its first page, whatever `dir` is. False when the old module refused to be
    // left; nothing changed then. Throws when the new module fails to start, after putting
    // the old one back.
    bool tryAssign(IUIModule* module, IUIModuleContext* context, NavDirection dir);

private:
    zil::P<IUIModule> m_module;
    zil::P<IUIModuleContext> m_context;
};

} // namespace zilui
