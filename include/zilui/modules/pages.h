// SPDX-License-Identifier: MIT
// Building blocks behind the module interfaces: a page on a window, a page whose contents
// come from the XML resources, the module of one page and the page-less gateway module.
#pragma once

#include <zilui/modules/uimodule.h>

#include <zil/log.h>

#include <wx/panel.h>

#include <exception>

namespace zilui {

// IUIPage on a window class `TWindow` (wxPanel). The window is created in two steps: the
// derived class creates it after this constructor.
template <class TWindow>
class TUIPage : public TWindow, public virtual IUIPage {
public:
    explicit TUIPage(const zil::String& pageName) : m_pageName(pageName) {}
    TUIPage(const TUIPage&) = delete;
    TUIPage& operator=(const TUIPage&) = delete;
    // Tells the owner that the page is gone.
    ~TUIPage() override
    {
        if (IUIPageOwner* owner = m_owner) {
            m_owner = nullptr;
            owner->detachPage();
        }
    }

    zil::String getPageName() const override { return m_pageName; }
    void setAutoShowHide(bool autoShowHide) override { m_autoShowHide = autoShowHide; }
    bool getAutoShowHide() const override { return m_autoShowHide; }
    void setUIEffectProvider(IUIEffectProvider* provider) override { m_effectProvider = provider; }
    // A page has one owner; a second, different one is a programming error.
    void setPageOwnerWeak(IUIPageOwner* owner) override;
    void resetState() override {}
    void enter(IUIModuleContext* context, NavDirection dir) override;
    void leave(NavDirection dir) override;
    bool verifyAndStoreData() override { return true; }
    void skipped_updateData() override {}
    bool confirmAbort() override { return true; }
    bool shouldBeSkipped() override { return false; }
    zil::P<CUIPageInfo> getPageInfo() override { return zil::P<CUIPageInfo>(new CUIPageInfo()); }

    // Between enter() and leave().
    bool isEntered() const { return static_cast<bool>(m_context); }
    // Transitions of this page run vertically instead of horizontally.
    void setPageFlowVertical(bool vertical) { m_pageFlowVertical = vertical; }

protected:
    virtual IUIEffectProvider::NavFlow navDirectionToEffectFlow(NavDirection dir);
    virtual void doShow(NavDirection dir);
    virtual void doHide(NavDirection dir);
    // Run by enter() before the page shows and by leave() before it hides. An exception from
    // onEnter() leaves the page not entered.
    virtual void onEnter() {}
    virtual void onLeave() {}

    // Null when not entered.
    IUIModuleContext* getContext() const { return m_context.get(); }

private:
    IUIPageOwner* m_owner = nullptr; // weak: the owner detaches itself or is told by detachPage
    zil::P<IUIModuleContext> m_context;
    bool m_autoShowHide = true;
    zil::String m_pageName;
    zil::P<IUIEffectProvider> m_effectProvider;
    bool m_pageFlowVertical = false;
};

// A page whose contents are the XML resource panel named `resourceName`, or an empty panel
// when the name is empty. The panel starts hidden; it is added to the parent's sizer (if any)
// with proportion 1 and wxEXPAND.
class CUIPagePanel : public TUIPage<wxPanel> {
public:
    // `parent` null leaves the window to be created by the caller. Throws zil::CError with
    // the property "res" when the resource cannot be loaded.
    CUIPagePanel(wxWindow* parent, const zil::String& pageName, const zil::String& resourceName,
                 bool inheritParentBackground);

    // A new CSinglePageUIModule for this page.
    zil::P<IUIModule> createModule();
    const zil::String& getResourceName() const { return m_resourceName; }

    bool ShouldInheritColours() const override { return true; }

private:
    zil::String m_resourceName;
};

// The module of exactly one page. It holds the page by a plain pointer; the page tells it
// when it is destroyed, and the module then behaves as one without a page.
class CSinglePageUIModule : public zil::CBase, public virtual IUIModule, public virtual IUIPageOwner {
public:
    explicit CSinglePageUIModule(IUIPage* page);
    ~CSinglePageUIModule() override;
    CSinglePageUIModule(const CSinglePageUIModule&) = delete;
    CSinglePageUIModule& operator=(const CSinglePageUIModule&) = delete;

    // Null once the page is gone.
    IUIPage* getPage() const { return m_page; }
    void detachPage() override { m_page = nullptr; }

    void setAutoShowHidePages(bool autoShowHide) override;
    bool getAutoShowHidePages() const override;
    void resetState() override;
    void enter(IUIModuleContext* context, NavDirection dir) override;
    // The position stays, so a later enter() shows the page again if it was on it.
    void leave(NavDirection dir) override;
    bool confirmAbort() override;
    NavigateResult nextPage() override;
    NavigateResult prevPage() override;
    zil::P<CUIPageInfo> getPageInfo() override;
    zil::String getPageName() override;
    bool hasAnyPages() override;
    bool hasExactlyOnePage() override { return hasAnyPages(); }
    bool hasNextPage() override;
    bool hasPrevPage() override;

private:
    enum Position { beforePage = 0, onPage = 1, afterPage = 2 };

    IUIPage* m_page; // weak, see detachPage()
    zil::P<IUIModuleContext> m_context;
    Position m_position = beforePage;
    NavDirection m_entryDirection = IUIPage::NavNone;
};

// A module without pages whose action runs when navigation passes it going forward, once per
// enter(); going backward passes it silently.
class CGatewayUIModule : public zil::CBase, public virtual IUIModule {
public:
    CGatewayUIModule() = default;

    void setAutoShowHidePages(bool autoShowHide) override { m_autoShowHidePages = autoShowHide; }
    bool getAutoShowHidePages() const override { return m_autoShowHidePages; }
    void resetState() override {}
    void enter(IUIModuleContext* context, NavDirection dir) override;
    void leave(NavDirection) override {}
    bool confirmAbort() override { return true; }
    NavigateResult nextPage() override;
    NavigateResult prevPage() override { return NavigateEnd; }
    zil::P<CUIPageInfo> getPageInfo() override { return zil::P<CUIPageInfo>(new CUIPageInfo()); }
    zil::String getPageName() override { return zil::String(); }
    bool hasAnyPages() override { return false; }
    bool hasExactlyOnePage() override { return false; }
    bool hasNextPage() override { return false; }
    bool hasPrevPage() override { return false; }

protected:
    // The action. An exception passes on to whoever called nextPage().
    virtual void onPassed() = 0;

private:
    bool m_autoShowHidePages = true;
    bool m_passed = false;
};

// Out of line so that the error type need not be known here.
[[noreturn]] void throwPageOwnerAlreadySet();

template <class TWindow>
void TUIPage<TWindow>::setPageOwnerWeak(IUIPageOwner* owner)
{
    if (m_owner && owner && owner != m_owner)
        throwPageOwnerAlreadySet();
    m_owner = owner;
}

template <class TWindow>
void TUIPage<TWindow>::enter(IUIModuleContext* context, NavDirection dir)
{
    zil::logInfo(L"Entering UI page '" + m_pageName + L"'.");
    m_context = context;
    try {
        onEnter();
    } catch (...) {
        zil::logCurrentException(L"Exception in UI page onEnter. Letting through.");
        m_context = nullptr;
        throw;
    }
    if (m_autoShowHide)
        doShow(dir);
}

template <class TWindow>
void TUIPage<TWindow>::leave(NavDirection dir)
{
    std::exception_ptr error;
    try {
        onLeave();
    } catch (...) {
        error = std::current_exception();
    }
    // The page hides and lets go of the host even when its own clean-up failed.
    if (m_autoShowHide)
        doHide(dir);
    m_context = nullptr;
    if (error)
        std::rethrow_exception(error);
}

template <class TWindow>
IUIEffectProvider::NavFlow TUIPage<TWindow>::navDirectionToEffectFlow(NavDirection dir)
{
    switch (dir) {
    case IUIPage::NavForward:
        return m_pageFlowVertical ? IUIEffectProvider::FlowForwardVertical : IUIEffectProvider::FlowForward;
    case IUIPage::NavBackward:
        return m_pageFlowVertical ? IUIEffectProvider::FlowBackwardVertical : IUIEffectProvider::FlowBackward;
    default:
        return IUIEffectProvider::FlowNone;
    }
}

template <class TWindow>
void TUIPage<TWindow>::doShow(NavDirection dir)
{
    if (m_effectProvider)
        m_effectProvider->showPage(this, navDirectionToEffectFlow(dir), false);
    else
        this->Show(true);
}

template <class TWindow>
void TUIPage<TWindow>::doHide(NavDirection dir)
{
    if (m_effectProvider)
        m_effectProvider->hidePage(this, navDirectionToEffectFlow(dir), false);
    else
        this->Hide();
}

extern template class TUIPage<wxPanel>;

} // namespace zilui
