// SPDX-License-Identifier: MIT
// Modules, pages and a context that write every call into a shared journal, so that a test
// compares the whole sequence of calls with the one it expects.
#pragma once

#include "support/guitest.h"

#include <zilui/modules/pages.h>

#include <zil/error.h>

#include <wx/frame.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace zilui::test {

using Journal = std::vector<std::string>;
constexpr IUIPage::NavDirection kFwd = IUIPage::NavForward;
constexpr IUIPage::NavDirection kBack = IUIPage::NavBackward;

inline std::string dirName(IUIPage::NavDirection dir)
{
    return dir == IUIPage::NavForward ? "fwd" : dir == IUIPage::NavBackward ? "back" : "none";
}

inline std::string resultName(IUIModule::NavigateResult result)
{
    return result == IUIModule::NavigateStay ? "stay" : result == IUIModule::NavigateEnd ? "end" : "moved";
}

class CFakeContext : public zil::CBase, public IUIModuleContext {
public:
    void nextPage() override {}
    void prevPage() override {}
    void reExaminePageInfo() override {}
    void waitForThread(zil::CThread*, bool) override {}
};

// A module of `pageCount` pages named <name>1, <name>2, ...; its journal entries are prefixed
// "<name>." unless the name is empty. Position 0 is before the first page, pageCount + 1 after
// the last.
class CFakeModule : public zil::CBase, public virtual IUIModule {
public:
    CFakeModule(Journal& journal, const std::string& name, int pageCount)
        : m_journal(journal), m_name(name), m_pageCount(pageCount)
    {
    }

    bool refuse = false; // every page's data check fails
    bool abortAnswer = true;
    bool throwOnEnter = false, throwOnLeave = false;
    int throwOnNextAt = -1; // nextPage() raises at this position
    int position = 0, refusals = 0;
    std::function<void(CUIPageInfo& info, int refusals)> shapeInfo;
    zil::P<IUIModuleContext> context;

    void setAutoShowHidePages(bool autoShowHide) override { m_autoShowHide = autoShowHide; }
    bool getAutoShowHidePages() const override { return m_autoShowHide; }
    void resetState() override { record("reset"), position = 0; }
    void enter(IUIModuleContext* newContext, NavDirection dir) override
    {
        record("enter " + dirName(dir), throwOnEnter ? L"enter failed" : nullptr);
        context = newContext;
    }
    void leave(NavDirection dir) override
    {
        context = nullptr;
        record("leave " + dirName(dir), throwOnLeave ? L"leave failed" : nullptr);
    }
    bool confirmAbort() override { return record("confirmAbort"), abortAnswer; }
    NavigateResult nextPage() override
    {
        if (position == throwOnNextAt)
            throw zil::CError(L"module broke");
        const bool stay = refuse && onPage();
        refusals += stay ? 1 : 0;
        const NavigateResult result = stay ? NavigateStay : position < m_pageCount ? NavigateMoved : NavigateEnd;
        if (!stay)
            position = std::min(position + 1, m_pageCount + 1);
        return record("next " + resultName(result)), result;
    }
    NavigateResult prevPage() override
    {
        const NavigateResult result = position > 1 ? NavigateMoved : NavigateEnd;
        position = position > 1 ? position - 1 : 0;
        return record("prev " + resultName(result)), result;
    }
    zil::P<CUIPageInfo> getPageInfo() override
    {
        zil::P<CUIPageInfo> info(new CUIPageInfo());
        if (shapeInfo && onPage())
            shapeInfo(*info, refusals);
        return info;
    }
    zil::String getPageName() override { return onPage() ? zil::String(m_name + std::to_string(position)) : L""; }
    bool hasAnyPages() override { return m_pageCount > 0; }
    bool hasExactlyOnePage() override { return m_pageCount == 1; }
    bool hasNextPage() override { return position < m_pageCount; }
    bool hasPrevPage() override { return position > 1; }

private:
    bool onPage() const { return position >= 1 && position <= m_pageCount; }
    void record(const std::string& call, const wchar_t* failure = nullptr)
    {
        m_journal.push_back(m_name.empty() ? call : m_name + "." + call);
        if (failure)
            throw zil::CError(failure);
    }

    Journal& m_journal;
    std::string m_name;
    int m_pageCount;
    bool m_autoShowHide = true;
};

// A panel page, child of the shared frame, that records its hooks and checks.
class CRecordingPage : public TUIPage<wxPanel> {
public:
    CRecordingPage(Journal& journal, const zil::String& name) : TUIPage<wxPanel>(name), m_journal(journal)
    {
        Create(&sharedFrame(), wxID_ANY);
        Hide();
    }

    bool skip = false, dataOk = true, throwOnEnter = false, throwOnLeave = false;

    bool verifyAndStoreData() override { return m_journal.push_back("verify"), dataOk; }
    void skipped_updateData() override { m_journal.push_back("skipped_updateData"); }
    bool shouldBeSkipped() override { return skip; }

protected:
    void onEnter() override { hook("onEnter", throwOnEnter); }
    void onLeave() override { hook("onLeave", throwOnLeave); }

private:
    void hook(const char* name, bool fail)
    {
        m_journal.push_back(name);
        if (fail)
            throw zil::CError(L"page broke");
    }

    Journal& m_journal;
};

} // namespace zilui::test
