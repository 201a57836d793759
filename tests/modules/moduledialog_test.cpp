// SPDX-License-Identifier: MIT
// Every dialog here runs a real modal loop, driven by steps that a timer performs inside it;
// a dialog that no step ends is ended with kTimedOut.
#include "app/apptestutil.h"
#include "app/dialogtestutil.h"
#include "support/guitest.h"

#include <zilui/app/action.h>
#include <zilui/modules/moduledialog.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/frame.h>
#include <wx/timer.h>

#include <dlfcn.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace zilui::test {
namespace {

using Journal = std::vector<std::string>;
using Step = std::function<void()>;
constexpr int kTimedOut = 4242;

// A module of `pages` pages that records its calls ("next moved", "confirmAbort", ...).
class CScriptedModule : public zil::CBase, public virtual IUIModule {
public:
    CScriptedModule(Journal& journal, int pages) : m_journal(journal), m_pages(pages) {}

    bool abortAnswer = true;
    int refusingPage = 0; // the data check of this page (1-based) fails
    bool throwOnEnter = false;
    int throwOnNextAt = -1; // nextPage() raises at this position (0: its first call)
    std::function<void(CUIPageInfo& info, int refusals)> shapeInfo;
    zil::P<IUIModuleContext> context; // kept past leave(), as a careless module would
    int position = 0;
    int refusals = 0;

    void setAutoShowHidePages(bool) override {}
    bool getAutoShowHidePages() const override { return true; }
    void resetState() override { position = record("reset", 0); }
    void enter(IUIModuleContext* newContext, NavDirection) override
    {
        record("enter", 0);
        if (throwOnEnter)
            throw zil::CError(L"module broke");
        context = newContext;
    }
    void leave(NavDirection dir) override { record(dir == IUIPage::NavNone ? "leave none" : "leave", 0); }
    bool confirmAbort() override { return record("confirmAbort", abortAnswer); }
    NavigateResult nextPage() override
    {
        if (position == throwOnNextAt)
            throw zil::CError(L"module broke");
        if (position >= 1 && position == refusingPage) {
            ++refusals;
            return record("next stay", NavigateStay);
        }
        if (position < m_pages)
            return ++position, record("next moved", NavigateMoved);
        position = m_pages + 1;
        return record("next end", NavigateEnd);
    }
    NavigateResult prevPage() override
    {
        if (position > 1)
            return --position, record("prev moved", NavigateMoved);
        position = 0;
        return record("prev end", NavigateEnd);
    }
    zil::P<CUIPageInfo> getPageInfo() override
    {
        zil::P<CUIPageInfo> info(new CUIPageInfo());
        if (shapeInfo && position >= 1 && position <= m_pages)
            shapeInfo(*info, refusals);
        return info;
    }
    zil::String getPageName() override { return zil::toString(int64_t(position)); }
    bool hasAnyPages() override { return m_pages > 0; }
    bool hasExactlyOnePage() override { return m_pages == 1; }
    bool hasNextPage() override { return position < m_pages; }
    bool hasPrevPage() override { return position > 1; }

private:
    template <class T> T record(const char* entry, T result)
    {
        m_journal.push_back(entry);
        return result;
    }

    Journal& m_journal;
    int m_pages;
};

// "left|right": a label, "(label)" when disabled, "-" when hidden.
std::string buttons(const CUIModuleDialog& dialog)
{
    const auto state = [](const wxButton* b) {
        const std::string label = b->GetLabel().ToStdString();
        return !b->IsShown() ? std::string("-") : b->IsEnabled() ? label : "(" + label + ")";
    };
    return state(dialog.getLeftButton()) + "|" + state(dialog.getRightButton());
}

// As a user would: only a visible and enabled button can be pressed.
void click(wxButton* button)
{
    ASSERT_TRUE(button->IsShown() && button->IsEnabled()) << button->GetLabel();
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
}

void pressEscape(wxDialog& dialog)
{
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = WXK_ESCAPE;
    event.SetEventObject(&dialog);
    dialog.GetEventHandler()->ProcessEvent(event);
}

// What GTK does when Return is pressed in a text field of a dialog: it activates the dialog's
// default widget. Looked up at run time: the tests are not linked against GTK directly.
bool activateDefaultThroughGTK(wxWindow& topLevel)
{
    using Activate = int (*)(void* window);
    const auto activate = reinterpret_cast<Activate>(dlsym(RTLD_DEFAULT, "gtk_window_activate_default"));
    return activate && activate(topLevel.GetHandle());
}

// dialog.ShowModal() with `steps` performed a few milliseconds apart from inside its loop, so
// that the loop handles what each caused (GTK's timeouts too) before the next.
int runModal(CUIModuleDialog& dialog, std::vector<Step> steps)
{
    size_t next = 0;
    wxTimer pacer, timeout;
    pacer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (dialog.IsModal() && next < steps.size())
            steps[next++]();
    });
    timeout.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (dialog.IsModal())
            dialog.EndModal(kTimedOut);
    });
    pacer.Start(5);
    timeout.StartOnce(20000);
    return dialog.ShowModal();
}

struct ModuleDialogTest : testing::Test {
    void SetUp() override { loadProgressDialogResource(); }
    void TearDown() override { processPendingEvents(); }

    zil::P<CScriptedModule> makeModule(int pages)
    {
        journal.clear();
        zil::P<CScriptedModule> module(new CScriptedModule(journal, pages));
        dialog.setModule(module.get());
        return module;
    }
    void endDialog() { dialog.EndModal(kTimedOut); }

    Journal journal;
    CUIModuleDialog dialog{&sharedFrame(), L"Wizard"};
};

TEST_F(ModuleDialogTest, CancelAndOkOfOnePageAndFirstPage)
{
    const struct {
        const char* name;
        int pages;
        bool left, abortAnswer;
        std::string buttons;
        int result;
        const char* decisive; // the module's last call before it is left
    } cases[] = {
        {"OK", 1, true, true, "OK|Cancel", wxID_OK, "next end"},
        {"Cancel", 1, false, true, "OK|Cancel", wxID_CANCEL, "confirmAbort"},
        {"Cancel refused", 1, false, false, "OK|Cancel", kTimedOut, "confirmAbort"},
        {"first page, Cancel", 3, true, true, "Cancel|Next", wxID_CANCEL, "confirmAbort"},
        {"first page, Cancel refused", 3, true, false, "Cancel|Next", kTimedOut, "confirmAbort"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeModule(c.pages)->abortAnswer = c.abortAnswer;
        std::string seen;
        const Step press = [&] {
            seen = buttons(dialog);
            click(c.left ? dialog.getLeftButton() : dialog.getRightButton());
        };
        EXPECT_EQ(runModal(dialog, {press, [&] { endDialog(); }}), c.result);
        EXPECT_EQ(seen, c.buttons);
        EXPECT_EQ(journal, (Journal{"reset", "enter", "next moved", c.decisive, "leave none"}));
    }
}

TEST_F(ModuleDialogTest, EscapeCancelsAndEnterConfirms)
{
    const struct {
        const char* name;
        int pages;
        bool enter;
        int result;
    } cases[] = {
        {"Escape, one page", 1, false, wxID_CANCEL},
        {"Escape, wizard", 3, false, wxID_CANCEL},
        {"Enter", 1, true, wxID_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeModule(c.pages);
        std::vector<Step> steps;
        if (c.enter) {
            steps.push_back([&] { ASSERT_TRUE(activateDefaultThroughGTK(dialog)); });
            // GTK clicks the default button from a timeout a quarter of a second later.
            steps.insert(steps.end(), 200, [] {});
        } else {
            steps.push_back([&] { pressEscape(dialog); });
        }
        steps.push_back([&] { endDialog(); });
        EXPECT_EQ(runModal(dialog, steps), c.result);
        EXPECT_EQ(std::count(journal.begin(), journal.end(), "confirmAbort"), c.enter ? 0 : 1);
    }
}

TEST_F(ModuleDialogTest, WizardButtonsFollowThePages)
{
    makeModule(3);
    std::vector<std::string> seen;
    const Step look = [&] { seen.push_back(buttons(dialog)); };
    const Step left = [&] { click(dialog.getLeftButton()); };
    const Step right = [&] { click(dialog.getRightButton()); };
    EXPECT_EQ(runModal(dialog, {look, right, look, right, look, left, look, right, right}), wxID_OK);
    EXPECT_EQ(seen, (std::vector<std::string>{"Cancel|Next", "Back|Next", "Back|Finish", "Back|Next"}));
    EXPECT_EQ(journal, (Journal{"reset", "enter", "next moved", "next moved", "next moved", "prev moved",
                                "next moved", "next end", "leave none"}));
}

TEST_F(ModuleDialogTest, PageInfoShapesTheButtons)
{
    const struct {
        const char* name;
        int pages;
        std::function<void(CUIPageInfo&, int refusals)> shape;
        std::string before, after; // after pressing the forward button; empty: not pressable
    } cases[] = {
        {"one page", 1, [](CUIPageInfo& i, int) { i.nextLabel = L"Install"; }, "Install|Cancel",
         "Install|Cancel"},
        {"labels and enabling", 2,
         [](CUIPageInfo& i, int) {
             i.nextLabel = L"Go on";
             i.backLabel = L"Quit";
             i.enableBack = false;
         },
         "(Quit)|Go on", "(Quit)|Go on"},
        {"hidden", 2, [](CUIPageInfo& i, int) { i.showBack = i.showNext = false; }, "-|-", ""},
        {"refusing page, refreshed", 2,
         [](CUIPageInfo& i, int refusals) {
             if (refusals > 0) {
                 i.nextLabel = L"Retry";
                 i.enableBack = false;
             }
         },
         "Cancel|Next", "(Cancel)|Retry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zil::P<CScriptedModule> module = makeModule(c.pages);
        module->refusingPage = 1;
        module->shapeInfo = c.shape;
        std::string before, after;
        wxButton* forward = c.pages == 1 ? dialog.getLeftButton() : dialog.getRightButton();
        runModal(dialog, {[&] { before = buttons(dialog); },
                          [&] {
                              if (!c.after.empty())
                                  click(forward);
                          },
                          [&] {
                              after = buttons(dialog);
                              endDialog();
                          }});
        EXPECT_EQ(before, c.before);
        EXPECT_EQ(after, c.after.empty() ? c.before : c.after);
        EXPECT_EQ(module->position, 1); // the refusing page keeps the dialog on it
    }
}

TEST_F(ModuleDialogTest, ErrorsReachTheCallerAfterTheModuleWasLeft)
{
    const wchar_t* kNoModule =
        L"Internal error: CUIModuleDialog::ShowModal called without module having been set.";
    const wchar_t* kNoPages =
        L"Internal error: module set in CUIModuleDialog has no pages (navigate result: 1).";
    const struct {
        const char* name;
        int pages;
        bool throwOnEnter;
        int throwOnNextAt;
        std::wstring message;
        Journal journal;
    } cases[] = {
        // clang-format off
        {"no module", -1, false, -1, kNoModule, {}},
        {"no pages", 0, false, -1, kNoPages, {"reset", "enter", "next end", "leave none"}},
        {"enter", 2, true, -1, L"module broke", {"reset", "enter", "leave none"}},
        {"first page", 2, false, 0, L"module broke", {"reset", "enter", "leave none"}},
        {"Next pressed", 2, false, 1, L"module broke", {"reset", "enter", "next moved", "leave none"}},
        // clang-format on
    };
    CGlobalLogCapture log;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        journal.clear();
        dialog.setModule(nullptr);
        if (c.pages >= 0) {
            zil::P<CScriptedModule> module = makeModule(c.pages);
            module->throwOnEnter = c.throwOnEnter;
            module->throwOnNextAt = c.throwOnNextAt;
        }
        zil::String message;
        try {
            runModal(dialog, {[&] { click(dialog.getRightButton()); }});
        } catch (const zil::CError& e) {
            message = e.getMessage();
        }
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(journal, c.journal);
        EXPECT_FALSE(dialog.IsShown());
    }
    EXPECT_NE(log.text().find("Letting through."), std::string::npos);
}

TEST_F(ModuleDialogTest, WaitForThreadReturnsWhenTheThreadEndsAndTheContextDiesWithTheLoop)
{
    zil::P<CScriptedModule> module = makeModule(2);
    zil::CSignal release;
    zil::P<CFunctionThread> worker(new CFunctionThread([&] { release.wait(20000); }));
    worker->start();
    bool released = false, alive = true, open = false;
    runModal(dialog, {[&] {
                          // Performed by the wait's own loop, so that loop must run.
                          postAction([&] { release.set(); });
                          module->context->waitForThread(worker.get(), true);
                          released = release.isSet();
                          alive = worker->isAlive();
                      },
                      [&] {
                          open = dialog.IsModal();
                          endDialog();
                      }});
    EXPECT_TRUE(released);
    EXPECT_FALSE(alive);
    EXPECT_TRUE(open);

    const Journal before = journal;
    module->context->nextPage();
    module->context->prevPage();
    EXPECT_EQ(journal, before);
    EXPECT_THROW(module->context->waitForThread(nullptr, true), zil::CInvalidArgError);
}

} // namespace
} // namespace zilui::test
