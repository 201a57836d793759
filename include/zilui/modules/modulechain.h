// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/modules/uimodule.h>

#include <zil/containers.h>

namespace zilui {

// A module made of sub-modules walked one after the other: the pages of sub-module 0, then
// those of sub-module 1, and back again. Sub-modules are shared, not owned alone: copies of a
// chain walk the same sub-module objects.
class CUIModuleChain : public zil::CBase, public virtual IUIModule {
public:
    CUIModuleChain() = default;
    CUIModuleChain(const CUIModuleChain& other) = default;
    CUIModuleChain& operator=(const CUIModuleChain& other) = default;

    // Sub-modules are added before the chain is entered. Returns the new index.
    int addSubModule(IUIModule* module);
    // Wraps `page` in a new CSinglePageUIModule.
    int addSinglePageSubModule(IUIPage* page);
    int getSubModuleCount() const { return static_cast<int>(m_subModules.size()); }
    bool isValidSubModuleIndex(int index) const { return index >= 0 && index < getSubModuleCount(); }
    // -1 before the first sub-module, the count after the last.
    int getCurrentSubModuleIndex() const { return m_currentIndex; }

    // Reaches only the sub-modules present now.
    void setAutoShowHidePages(bool autoShowHide) override;
    bool getAutoShowHidePages() const override { return m_autoShowHidePages; }
    void resetState() override;
    // Entered again after a leave in the middle, the current sub-module is entered again too.
    void enter(IUIModuleContext* context, NavDirection dir) override;
    // The current sub-module is left but stays current.
    void leave(NavDirection dir) override;
    bool confirmAbort() override;
    NavigateResult nextPage() override;
    NavigateResult prevPage() override;
    zil::P<CUIPageInfo> getPageInfo() override;
    zil::String getPageName() override;
    bool hasAnyPages() override;
    bool hasExactlyOnePage() override;
    // Sub-modules ahead of the current one are in their start state, so asking them whether
    // they have a next page asks whether they will show any.
    bool hasNextPage() override;
    bool hasPrevPage() override;

protected:
    // Asked again at every step; false passes the sub-module by.
    virtual bool canUseSubModule(int index);
    // The next usable index after `index`, or the count when there is none.
    virtual int getNextSubModuleIndex(int index);
    // The previous usable index before `index`, or -1 when there is none.
    virtual int getPrevSubModuleIndex(int index);
    // Run by enter() and leave(); when they throw, the context is dropped and the error
    // passed on.
    virtual void onEnter() {}
    virtual void onLeave() {}

    zil::P<IUIModuleContext> getContext() const { return m_context; }

private:
    // nextPage() for NavForward, prevPage() for NavBackward.
    NavigateResult step(NavDirection dir);

    zil::TArray<zil::P<IUIModule>> m_subModules;
    int m_currentIndex = -1;
    zil::P<IUIModule> m_current;
    zil::P<IUIModuleContext> m_context;
    bool m_autoShowHidePages = true;
};

} // namespace zilui
