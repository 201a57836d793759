// SPDX-License-Identifier: MIT
#include <zilui/modules/uimodule.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/window.h>

#include <exception>

namespace zilui {

namespace {

// Steps through every page still ahead of the module in direction `dir`, so that each page's
// own checks run; NavigateStay means a page refused.
IUIModule::NavigateResult passRemainingPages(IUIModule& module, IUIPage::NavDirection dir)
{
    IUIModule::NavigateResult result;
    do {
        result = dir == IUIPage::NavBackward ? module.prevPage() : module.nextPage();
    } while (result == IUIModule::NavigateMoved);
    return result;
}

} // namespace

void CNoUIEffectProvider::showPage(wxWindow* page, NavFlow, bool)
{
    page->Show(true);
}

void CNoUIEffectProvider::hidePage(wxWindow* page, NavFlow, bool)
{
    page->Hide();
}

CActiveUIModuleSlot::~CActiveUIModuleSlot()
{
    try {
        tryClear(true, IUIPage::NavNone);
    } catch (const std::exception& e) {
        zil::onExceptionInDestructorIgnored(e, L"zilui::CActiveUIModuleSlot");
    } catch (...) {
        zil::onExceptionInDestructorIgnored(zil::CError(L"Unknown exception type"),
                                            L"zilui::CActiveUIModuleSlot");
    }
}

bool CActiveUIModuleSlot::tryClear(bool force, NavDirection dir)
{
    if (!m_module)
        return true;
    const zil::P<IUIModule> module = m_module;
    if (passRemainingPages(*module, dir) == IUIModule::NavigateStay && !force)
        return false;
    module->leave(dir);
    m_module = nullptr;
    return true;
}

bool CActiveUIModuleSlot::tryAssign(IUIModule* module, IUIModuleContext* context, NavDirection dir)
{
    if (!module)
        throw zil::CInvalidArgError(L"No module to make active", L"CActiveUIModuleSlot::tryAssign");
    // Counted copies: the slot lets go of both while switching, the rollback needs them.
    const zil::P<IUIModule> oldModule = m_module;
    const zil::P<IUIModuleContext> oldContext = m_context;
    const zil::P<IUIModule> newModule = module;

    if (!tryClear(false, dir))
        return false;

    bool entered = false;
    try {
        m_module = newModule;
        m_context = context;
        newModule->resetState();
        newModule->enter(context, dir);
        entered = true;
        // The new module always starts at its first page, even when the user went back.
        const IUIModule::NavigateResult result = newModule->nextPage();
        if (result != IUIModule::NavigateMoved)
            throw zil::CError(L"Internal error: new module's nextPage returned " +
                                  zil::toString(int64_t(result)),
                              L"CActiveUIModuleSlot::tryAssign");
    } catch (...) {
        zil::logCurrentException(L"Exception in CActiveUIModuleSlot::tryAssign. Restoring previous module.");
        if (entered) {
            try {
                newModule->leave(IUIPage::NavNone);
            } catch (...) {
                zil::logCurrentException(
                    L"Exception during error cleanup in CActiveUIModuleSlot::tryAssign. Ignoring.");
            }
            m_module = nullptr;
        }
        try {
            if (oldModule) {
                tryAssign(oldModule.get(), oldContext.get(), IUIPage::NavNone);
            } else {
                // Nothing to go back to: the slot ends up empty, as it was.
                tryClear(true, IUIPage::NavNone);
                m_context = oldContext;
            }
        } catch (...) {
            zil::logCurrentException(L"Exception trying to restore old module in "
                                L"CActiveUIModuleSlot::tryAssign error handling. Ignoring.");
        }
        throw;
    }
    return true;
}

} // namespace zilui
