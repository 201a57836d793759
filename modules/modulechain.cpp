// SPDX-License-Identifier: MIT
#include <zilui/modules/modulechain.h>

#include <zilui/modules/pages.h>

#include <zil/error.h>

#include <utility>

namespace zilui {

int CUIModuleChain::addSubModule(IUIModule* module)
{
    if (!module)
        throw zil::CInvalidArgError(L"No sub-module to add", L"CUIModuleChain::addSubModule");
    m_subModules.emplace_back(module);
    return getSubModuleCount() - 1;
}

int CUIModuleChain::addSinglePageSubModule(IUIPage* page)
{
    return addSubModule(zil::P<IUIModule>(new CSinglePageUIModule(page)).get());
}

bool CUIModuleChain::canUseSubModule(int)
{
    return true;
}

int CUIModuleChain::getNextSubModuleIndex(int index)
{
    const int count = getSubModuleCount();
    if (index >= count)
        return index;
    do {
        ++index;
    } while (index < count && !canUseSubModule(index));
    return index;
}

int CUIModuleChain::getPrevSubModuleIndex(int index)
{
    if (index < 0)
        return index;
    do {
        --index;
    } while (index >= 0 && !canUseSubModule(index));
    return index;
}

void CUIModuleChain::setAutoShowHidePages(bool autoShowHide)
{
    m_autoShowHidePages = autoShowHide;
    for (const zil::P<IUIModule>& module : m_subModules)
        module->setAutoShowHidePages(autoShowHide);
}

void CUIModuleChain::resetState()
{
    if (m_current) {
        const zil::P<IUIModule> current = std::move(m_current);
        current->leave(IUIPage::NavNone);
    }
    m_currentIndex = -1;
    for (const zil::P<IUIModule>& module : m_subModules)
        module->resetState();
}

void CUIModuleChain::enter(IUIModuleContext* context, NavDirection dir)
{
    m_context = context;
    try {
        onEnter();
    } catch (...) {
        m_context = nullptr;
        throw;
    }
    // Entered again after leaving in the middle: the sub-module shows its page again.
    if (m_current)
        m_current->enter(context, dir);
}

void CUIModuleChain::leave(NavDirection dir)
{
    if (m_current)
        m_current->leave(dir);
    try {
        onLeave();
    } catch (...) {
        m_context = nullptr;
        throw;
    }
    m_context = nullptr;
}

bool CUIModuleChain::confirmAbort()
{
    return m_current ? m_current->confirmAbort() : true;
}

IUIModule::NavigateResult CUIModuleChain::nextPage()
{
    return step(IUIPage::NavForward);
}

IUIModule::NavigateResult CUIModuleChain::prevPage()
{
    return step(IUIPage::NavBackward);
}

IUIModule::NavigateResult CUIModuleChain::step(NavDirection dir)
{
    const bool forward = dir == IUIPage::NavForward;
    for (;;) {
        if (m_current) {
            const NavigateResult result = forward ? m_current->nextPage() : m_current->prevPage();
            if (result != NavigateEnd)
                return result;
            const zil::P<IUIModule> current = std::move(m_current);
            current->leave(dir);
        }
        // Already past the end in this direction: the index stays there.
        if (forward ? m_currentIndex >= getSubModuleCount() : m_currentIndex < 0)
            return NavigateEnd;
        m_currentIndex = forward ? getNextSubModuleIndex(m_currentIndex) : getPrevSubModuleIndex(m_currentIndex);
        if (!isValidSubModuleIndex(m_currentIndex))
            return NavigateEnd;
        m_current = m_subModules[m_currentIndex];
        m_current->enter(m_context.get(), dir);
    }
}

zil::P<CUIPageInfo> CUIModuleChain::getPageInfo()
{
    return m_current ? m_current->getPageInfo() : zil::P<CUIPageInfo>(new CUIPageInfo());
}

zil::String CUIModuleChain::getPageName()
{
    return m_current ? m_current->getPageName() : zil::String();
}

bool CUIModuleChain::hasAnyPages()
{
    if (m_current && m_current->hasAnyPages())
        return true;
    const int count = getSubModuleCount();
    for (int i = getNextSubModuleIndex(-1); i < count; i = getNextSubModuleIndex(i)) {
        if (m_subModules[i]->hasAnyPages())
            return true;
    }
    return false;
}

bool CUIModuleChain::hasExactlyOnePage()
{
    const int count = getSubModuleCount();
    int withPages = 0;
    for (int i = getNextSubModuleIndex(-1); i < count; i = getNextSubModuleIndex(i)) {
        IUIModule& module = *m_subModules[i];
        if (!module.hasAnyPages())
            continue;
        if (!module.hasExactlyOnePage() || ++withPages == 2)
            return false;
    }
    return withPages == 1;
}

bool CUIModuleChain::hasNextPage()
{
    const int count = getSubModuleCount();
    if (m_currentIndex >= count)
        return false;
    if (m_current && m_current->hasNextPage())
        return true;
    for (int i = getNextSubModuleIndex(m_currentIndex); i < count; i = getNextSubModuleIndex(i)) {
        if (m_subModules[i]->hasNextPage())
            return true;
    }
    return false;
}

bool CUIModuleChain::hasPrevPage()
{
    if (m_currentIndex < 0)
        return false;
    if (m_current && m_current->hasPrevPage())
        return true;
    for (int i = getPrevSubModuleIndex(m_currentIndex); i >= 0; i = getPrevSubModuleIndex(i)) {
        if (m_subModules[i]->hasPrevPage())
            return true;
    }
    return false;
}

} // namespace zilui
