// SPDX-License-Identifier: MIT
// Modules, pages and a context that write every call they get into a shared journal, so that
// a test compares the whole sequence of calls with the one it expects.
#pragma once

#include "support/guitest.h"

#include <zilui/modules/pages.h>

#include <zil/error.h>

#include <wx/frame.h>

#include <string>
#include <vector>

namespace zilui::test {

using Journal = std::vector<std::string>;

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

// A module of `pageCount` pages named <name>1, <name>2, ... Position 0 is before the first
// page, pageCount + 1 after the last.
class CFakeModule : public zil::CBase, public virtual IUIModule {
public:
    CFakeModule(Journal& journal, const std::string& name, int pageCount)
        : m_journal(journal), m_name(name), m_pageCount(pageCount)
    {
    }

    // Every page's data check fails.
    bool refuse = false;
    bool throwOnEnter = false;
    bool throwOnLeave = false;
    int position = 0;
    zil::P<IUIModuleContext> context;

    void setAutoShowHidePages(bool autoShowHide) override { m_autoShowHide = autoShowHide; }
    bool getAutoShowHidePages() const override { return m_autoShowHide; }
    void resetState() override
    {
        record("reset");
        position = 0;
    }
    void enter(IUIModuleContext* newContext, NavDirection dir) override
    {
        record("enter " + dirName(dir));
        if (throwOnEnter)
            throw zil::CError(L"enter failed");
        context = newContext;
    }
    void leave(NavDirection dir) override
    {
        record("leave " + dirName(dir));
        context = nullptr;
        if (throwOnLeave)
            throw zil::CError(L"leave failed");
    }
    bool confirmAbort() override { return true; }
    NavigateResult nextPage() override
    {
        NavigateResult result = NavigateEnd;
        if (refuse && onPage()) {
            result = NavigateStay;
        } else if (position < m_pageCount) {
            ++position;
            result = NavigateMoved;
        } else {
            position = m_pageCount + 1;
        }
        record("next " + resultName(result));
        return result;
    }
    NavigateResult prevPage() override
    {
        NavigateResult result = NavigateEnd;
        if (position > 1) {
            --position;
            result = NavigateMoved;
        } else {
            position = 0;
        }
        record("prev " + resultName(result));
        return result;
    }
    zil::P<CUIPageInfo> getPageInfo() override { return zil::P<CUIPageInfo>(new CUIPageInfo()); }
    zil::String getPageName() override
    {
        if (!onPage())
            return zil::String();
        return zil::String(m_name + std::to_string(position));
    }
    bool hasAnyPages() override { return m_pageCount > 0; }
    bool hasExactlyOnePage() override { return m_pageCount == 1; }
    bool hasNextPage() override { return position < m_pageCount; }
    bool hasPrevPage() override { return position > 1; }

private:
    bool onPage() const { return position >= 1 && position <= m_pageCount; }
    void record(const std::string& call) { m_journal.push_back(m_name + "." + call); }

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

    bool skip = false;
    bool dataOk = true;
    bool throwOnEnter = false;
    bool throwOnLeave = false;

    bool verifyAndStoreData() override
    {
        m_journal.push_back("verify");
        return dataOk;
    }
    void skipped_updateData() override { m_journal.push_back("skipped_updateData"); }
    bool shouldBeSkipped() override { return skip; }

protected:
    void onEnter() override
    {
        m_journal.push_back("onEnter");
        if (throwOnEnter)
            throw zil::CError(L"page broke");
    }
    void onLeave() override
    {
        m_journal.push_back("onLeave");
        if (throwOnLeave)
            throw zil::CError(L"page broke on leave");
    }

private:
    Journal& m_journal;
};

} // namespace zilui::test
