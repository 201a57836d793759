// SPDX-License-Identifier: MIT
#include <zilui/modules/pages.h>

#include <zilui/app/strings.h>
#include <zilui/app/windowhelpers.h>

#include <zil/error.h>

#include <wx/log.h>
#include <wx/sizer.h>
#include <wx/xrc/xmlres.h>

#include <utility>

namespace zilui {

template class TUIPage<wxPanel>;

void throwPageOwnerAlreadySet()
{
    throw zil::CError(L"Internal error: #setPageOwnerWeak called multiple times for page object.",
                      L"TUIPage::setPageOwnerWeak");
}

CUIPagePanel::CUIPagePanel(wxWindow* parent, const zil::String& pageName, const zil::String& resourceName,
                           bool inheritParentBackground)
    : TUIPage<wxPanel>(pageName), m_resourceName(resourceName)
{
    if (!parent)
        return;
    if (resourceName.empty()) {
        Create(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER);
    } else {
        bool loaded;
        {
            // The error below says what failed; wx's own report would open a log window.
            wxLogNull noWxLog;
            loaded = wxXmlResource::Get()->LoadPanel(this, parent, toWX(resourceName));
        }
        if (!loaded) {
            zil::CError error(L"Error loading UI page panel '" + resourceName + L"'.",
                              L"CUIPagePanel::CUIPagePanel");
            error.setProp(L"res", resourceName);
            throw error;
        }
    }
    SetName(toWX(pageName));
    SetLabel(toWX(pageName));
    // Pages show when they are entered.
    Show(false);
    if (inheritParentBackground) {
        SetBackgroundColour(parent->GetBackgroundColour());
        fixStaticBoxBackgroundColors(this);
    }
    if (wxSizer* sizer = parent->GetSizer())
        sizer->Add(this, 1, wxEXPAND);
}

zil::P<IUIModule> CUIPagePanel::createModule()
{
    return zil::P<IUIModule>(new CSinglePageUIModule(this));
}

CSinglePageUIModule::CSinglePageUIModule(IUIPage* page) : m_page(page)
{
    if (m_page)
        m_page->setPageOwnerWeak(this);
}

CSinglePageUIModule::~CSinglePageUIModule()
{
    if (m_page)
        m_page->setPageOwnerWeak(nullptr);
}

void CSinglePageUIModule::setAutoShowHidePages(bool autoShowHide)
{
    if (m_page)
        m_page->setAutoShowHide(autoShowHide);
}

bool CSinglePageUIModule::getAutoShowHidePages() const
{
    return m_page ? m_page->getAutoShowHide() : true;
}

void CSinglePageUIModule::resetState()
{
    m_position = beforePage;
    if (m_page)
        m_page->resetState();
}

void CSinglePageUIModule::enter(IUIModuleContext* context, NavDirection dir)
{
    m_context = context;
    if (m_position == onPage && m_page)
        m_page->enter(context, dir);
    m_entryDirection = dir;
}

void CSinglePageUIModule::leave(NavDirection dir)
{
    // Dropped even when the page fails to leave.
    const zil::P<IUIModuleContext> context = std::move(m_context);
    if (m_position == onPage && m_page)
        m_page->leave(dir);
}

bool CSinglePageUIModule::confirmAbort()
{
    return m_position == onPage && m_page ? m_page->confirmAbort() : true;
}

IUIModule::NavigateResult CSinglePageUIModule::nextPage()
{
    if (!m_page) {
        m_position = afterPage;
        return NavigateEnd;
    }
    switch (m_position) {
    case beforePage:
        if (m_page->shouldBeSkipped()) {
            m_page->skipped_updateData();
            m_position = afterPage;
            return NavigateEnd;
        }
        m_page->enter(m_context.get(), m_entryDirection);
        m_position = onPage;
        return NavigateMoved;
    case onPage:
        if (!m_page->verifyAndStoreData())
            return NavigateStay;
        m_page->leave(IUIPage::NavForward);
        m_position = afterPage;
        return NavigateEnd;
    case afterPage:
        break;
    }
    return NavigateEnd;
}

IUIModule::NavigateResult CSinglePageUIModule::prevPage()
{
    if (!m_page) {
        m_position = beforePage;
        return NavigateEnd;
    }
    switch (m_position) {
    case afterPage:
        if (m_page->shouldBeSkipped()) {
            m_position = beforePage;
            return NavigateEnd;
        }
        m_page->enter(m_context.get(), IUIPage::NavBackward);
        m_position = onPage;
        return NavigateMoved;
    case onPage:
        // Going back keeps whatever the user typed unchecked.
        m_page->leave(IUIPage::NavBackward);
        m_position = beforePage;
        return NavigateEnd;
    case beforePage:
        break;
    }
    return NavigateEnd;
}

zil::P<CUIPageInfo> CSinglePageUIModule::getPageInfo()
{
    if (m_position == onPage && m_page)
        return m_page->getPageInfo();
    return zil::P<CUIPageInfo>(new CUIPageInfo());
}

zil::String CSinglePageUIModule::getPageName()
{
    return m_page ? m_page->getPageName() : zil::String();
}

bool CSinglePageUIModule::hasAnyPages()
{
    return m_page && !m_page->shouldBeSkipped();
}

bool CSinglePageUIModule::hasNextPage()
{
    return m_position == beforePage && hasAnyPages();
}

bool CSinglePageUIModule::hasPrevPage()
{
    return m_position == afterPage && hasAnyPages();
}

void CGatewayUIModule::enter(IUIModuleContext*, NavDirection)
{
    m_passed = false;
}

IUIModule::NavigateResult CGatewayUIModule::nextPage()
{
    if (!m_passed) {
        m_passed = true;
        onPassed();
    }
    return NavigateEnd;
}

} // namespace zilui
