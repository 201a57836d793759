// SPDX-License-Identifier: MIT
// Every dialog here runs a real modal loop, driven by steps that a timer performs inside it;
// a dialog that no step ends is ended with kTimedOut.
#include "app/apptestutil.h"
#include "app/dialogtestutil.h"
#include "controls/inputframe.h"
#include "modules/modulefakes.h"
#include "support/compositor.h"
#include "zil/temp_folder.h"

#include <zilui/app/action.h>
#include <zilui/app/logging.h>
#include <zilui/modules/moduledialog.h>
#include <zilui/system/filesystembrowser.h>

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <dlfcn.h>

#include <algorithm>

#include <sys/stat.h>

namespace zilui::test {
namespace {

using Step = std::function<void()>;
constexpr int kTimedOut = 4242;

// "left|right": a label, "(label)" when disabled, "-" when hidden.
std::string buttons(const CUIModuleDialog& dialog)
{
    const auto state = [](const wxButton* b) {
        const std::string label = b->GetLabel().ToStdString();
        return !b->IsShown() ? std::string("-") : b->IsEnabled() ? label : "(" + label + ")";
    };
    return state(dialog.getLeftButton()) + "|" + state(dialog.getRightButton());
}

// dialog.ShowModal() with `steps` performed a few milliseconds apart from inside its loop, so
// that the loop handles what each caused (GTK's timeouts too) before the next; a step waits
// while `ready` says no.
int runModal(CUIModuleDialog& dialog, std::vector<Step> steps, const std::function<bool()>& ready = nullptr)
{
    size_t next = 0;
    wxTimer pacer, timeout;
    pacer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (dialog.IsModal() && next < steps.size() && (!ready || ready()))
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

    zil::P<CFakeModule> makeModule(int pages)
    {
        journal.clear();
        zil::P<CFakeModule> module(new CFakeModule(journal, "", pages));
        dialog.setModule(module.get());
        return module;
    }
    void endDialog() { dialog.EndModal(kTimedOut); }
    // Keys from the X server go to the window under the pointer when no window manager runs.
    static void pointAt(wxWindow* window) { pointerTo(window, wxPoint(5, 5)); }
    static void typeEnter(wxWindow* window)
    {
        if (!onWayland()) {
            const wxWindow* under = wxFindWindowAtPoint(wxGetMousePosition());
            EXPECT_EQ(under ? wxGetTopLevelParent(const_cast<wxWindow*>(under)) : nullptr, wxGetTopLevelParent(window));
        }
        typeKey(WXK_RETURN);
    }
    void press(char key)
    {
        if (key == 'E' || key == 'K') {
            wxKeyEvent event(wxEVT_CHAR_HOOK);
            event.m_keyCode = key == 'E' ? WXK_ESCAPE : WXK_RETURN;
            event.SetEventObject(&dialog);
            dialog.GetEventHandler()->ProcessEvent(event);
        } else if (key == 'N') {
            // What GTK does on Return in a text field: it activates the default widget. Looked
            // up at run time: the tests are not linked against GTK directly.
            void* activate = dlsym(RTLD_DEFAULT, "gtk_window_activate_default");
            ASSERT_TRUE(activate && reinterpret_cast<int (*)(void*)>(activate)(dialog.GetHandle()));
        } else {
            click(key == 'L' ? dialog.getLeftButton() : dialog.getRightButton());
        }
    }

    Journal journal;
    CUIModuleDialog dialog{&sharedFrame(), L"Wizard"};
};

TEST_F(ModuleDialogTest, ButtonsFollowThePagesAndTheirInfoAndEndTheDialog)
{
    using Shape = std::function<void(CUIPageInfo&, int refusals)>;
    // Keys pressed in turn: L and R the left and right button, E Escape, N Enter.
    const struct {
        const char* name;
        int pages;
        const char* keys;
        bool abortAnswer;
        std::vector<std::string> buttons; // seen before each key and, if still open, at the end
        int result;
        Journal calls; // after the first page was shown, until the module is left
        bool refuse = false;
        Shape shape = nullptr;
    } cases[] = {
        {"OK", 1, "L", true, {"OK|Cancel"}, wxID_OK, {"next end"}},
        {"Cancel", 1, "R", true, {"OK|Cancel"}, wxID_CANCEL, {"confirmAbort"}},
        {"first page, Cancel", 3, "L", true, {"Cancel|Next"}, wxID_CANCEL, {"confirmAbort"}},
        {"first page, Cancel refused", 3, "L", false, {"Cancel|Next", "Cancel|Next"}, kTimedOut, {"confirmAbort"}},
        {"Escape, one page", 1, "E", true, {"OK|Cancel"}, wxID_CANCEL, {"confirmAbort"}},
        {"Escape, wizard", 3, "E", true, {"Cancel|Next"}, wxID_CANCEL, {"confirmAbort"}},
        {"Enter", 1, "N", true, {"OK|Cancel"}, wxID_OK, {"next end"}},
        {"wizard", 3, "RRLRR", true, {"Cancel|Next", "Back|Next", "Back|Finish", "Back|Next", "Back|Finish"},
         wxID_OK, {"next moved", "next moved", "prev moved", "next moved", "next end"}},
        {"labelled one page", 1, "L", true, {"Install|Cancel", "Install|Cancel"}, kTimedOut, {"next stay"}, true,
         [](CUIPageInfo& i, int) { i.nextLabel = L"Install"; }},
        {"labels and enabling", 2, "R", true, {"(Quit)|Go on", "(Quit)|Go on"}, kTimedOut, {"next stay"}, true,
         [](CUIPageInfo& i, int) { i.nextLabel = L"Go on", i.backLabel = L"Quit", i.enableBack = false; }},
        {"hidden", 2, "", true, {"-|-"}, kTimedOut, {}, true,
         [](CUIPageInfo& i, int) { i.showBack = i.showNext = false; }},
        // A refusing page keeps the dialog on it, with its buttons refreshed.
        {"refusing page", 2, "R", true, {"Cancel|Next", "Cancel|Retry"}, kTimedOut, {"next stay"}, true,
         [](CUIPageInfo& i, int refusals) { i.nextLabel = refusals > 0 ? L"Retry" : L"Next"; }},
    };
    // GTK clicks the default button from a timeout of its own after Enter: the next step waits
    // for that click.
    int clicks = 0, awaitedClicks = 0;
    for (wxButton* button : {dialog.getLeftButton(), dialog.getRightButton()})
        button->Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) { ++clicks, event.Skip(); });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zil::P<CFakeModule> module = makeModule(c.pages);
        module->abortAnswer = c.abortAnswer;
        module->refuse = c.refuse;
        module->shapeInfo = c.shape;
        std::vector<std::string> seen;
        std::vector<Step> steps;
        for (const char* key = c.keys; *key; ++key)
            steps.push_back([&, key] {
                seen.push_back(buttons(dialog)), press(*key);
                awaitedClicks = clicks + (*key == 'N' ? 1 : 0);
            });
        steps.push_back([&] { seen.push_back(buttons(dialog)), endDialog(); });
        EXPECT_EQ(runModal(dialog, steps, [&] { return clicks >= awaitedClicks; }), c.result);
        EXPECT_EQ(seen, c.buttons);
        Journal expected = {"reset", "enter none", "next moved"};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        expected.push_back("leave none");
        EXPECT_EQ(journal, expected);
    }
}

TEST_F(ModuleDialogTest, ErrorsReachTheCallerAfterTheModuleWasLeft)
{
    const struct {
        const char* name;
        int pages;
        bool throwOnEnter;
        int throwOnNextAt;
        std::wstring message;
        Journal journal;
    } cases[] = {
        {"no module", -1, false, -1,
         L"Internal error: CUIModuleDialog::ShowModal called without module having been set.", {}},
        {"no pages", 0, false, -1, L"Internal error: module set in CUIModuleDialog has no pages (navigate result: 1).",
         {"reset", "enter none", "next end", "leave none"}},
        {"enter", 2, true, -1, L"enter failed", {"reset", "enter none", "leave none"}},
        {"first page", 2, false, 0, L"module broke", {"reset", "enter none", "leave none"}},
    };
    CGlobalLogCapture log;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        journal.clear();
        dialog.setModule(nullptr);
        if (c.pages >= 0) {
            zil::P<CFakeModule> module = makeModule(c.pages);
            module->throwOnEnter = c.throwOnEnter;
            module->throwOnNextAt = c.throwOnNextAt;
        }
        EXPECT_EQ(thrown([&] { runModal(dialog, {[&] { click(dialog.getRightButton()); }}); }).getMessage(),
                  c.message);
        EXPECT_EQ(journal, c.journal);
        EXPECT_FALSE(dialog.IsShown());
    }
    EXPECT_NE(log.text().find("Letting through."), std::string::npos);
}

// Errors of a step taken inside the loop go to the application's error display, as for any
// other handler, and the dialog stays where the module is.
TEST_F(ModuleDialogTest, ErrorsInTheLoopAreShownAndTheDialogStays)
{
    zil::P<CFakeModule> module = makeModule(3);
    module->throwOnNextAt = 1;
    CGlobalLogCapture log;
    std::vector<std::string> seen;
    EXPECT_EQ(runModal(dialog, {[&] { click(dialog.getRightButton()); },
                                [&] { seen.push_back(buttons(dialog)), press('K'); },
                                [&] { seen.push_back(buttons(dialog)), endDialog(); }}),
              kTimedOut);
    EXPECT_EQ(seen, (std::vector<std::string>{"Cancel|Next", "Cancel|Next"}));
    EXPECT_EQ(journal, (Journal{"reset", "enter none", "next moved", "leave none"}));
    const std::string text = log.text();
    EXPECT_NE(text.find("Exception thrown from event handler"), std::string::npos);
    EXPECT_NE(text.find("module broke"), std::string::npos);
}

// The same dialog object, first with one page, then as a wizard: Enter must go forward (the
// old default button would now be Cancel), through Validate() as wxID_OK does.
TEST_F(ModuleDialogTest, EnterGoesForwardInAWizardAfterAOnePageRun)
{
    makeModule(1);
    EXPECT_EQ(runModal(dialog, {[&] { press('L'); }}), wxID_OK);
    makeModule(3);
    auto* text = new wxTextCtrl(dialog.getPageParent(), wxID_ANY);
    std::vector<std::string> seen;
    std::vector<Step> steps = {[&] { text->SetFocus(); }};
    steps.insert(steps.end(), 20, [] {});
    steps.push_back([&] { seen.push_back(buttons(dialog)), press('N'); });
    steps.insert(steps.end(), 200, [] {});
    steps.push_back([&] { seen.push_back(buttons(dialog)), press('K'); });
    steps.push_back([&] { seen.push_back(buttons(dialog)), press('K'); });
    EXPECT_EQ(runModal(dialog, steps), wxID_OK);
    EXPECT_EQ(seen, (std::vector<std::string>{"Cancel|Next", "Back|Next", "Back|Finish"}));
    EXPECT_EQ(journal, (Journal{"reset", "enter none", "next moved", "next moved", "next moved", "next end",
                                "leave none"}));
    text->Destroy();
}

TEST_F(ModuleDialogTest, WaitForThreadRunsTheLoopAndTheContextDiesWithIt)
{
    zil::P<CFakeModule> module = makeModule(2);
    zil::P<IUIModuleContext> context;
    zil::CSignal release;
    zil::P<CFunctionThread> worker(new CFunctionThread([&] { release.wait(20000); }));
    worker->start();
    bool released = false, open = false;
    runModal(dialog, {[&] {
                          context = module->context;
                          postAction([&] { release.set(); }); // performed only if the wait runs its own loop
                          context->waitForThread(worker.get(), true);
                          released = release.isSet() && !worker->isAlive();
                      },
                      [&] { open = dialog.IsModal(), endDialog(); }});
    EXPECT_TRUE(released && open);
    const Journal before = journal;
    context->nextPage(), context->prevPage();
    EXPECT_EQ(journal, before);
    EXPECT_THROW(context->waitForThread(nullptr, true), zil::CInvalidArgError);
}

// Enter on a wizard page goes forward only as the forward button could, and only from
// controls that have no use of their own for it. What the dialog does not keep goes on to
// the focused control, or to GTK's default button, which it clicks even when hidden: so a
// key the dialog cannot use must not be handed on from a text field either.
TEST_F(ModuleDialogTest, EnterGoesForwardOnlyAsNextCouldAndOnlyFromControlsWithNoUseForIt)
{
    using Make = std::function<wxWindow*(wxWindow* parent)>;
    const Make text = [](wxWindow* parent) { return new wxTextCtrl(parent, wxID_ANY, "x"); };
    const struct {
        const char* name;
        Make make;
        bool enableNext, showNext;
        Journal calls;
        bool handedOn;
    } cases[] = {
        {"text field, Next disabled", text, false, true, {}, false},
        {"text field, Next enabled", text, true, true, {"next moved"}, false},
        {"text field, Next hidden", text, true, false, {}, false},
        {"text field asking for Enter", [](wxWindow* p) { return new wxTextCtrl(p, wxID_ANY, "", wxDefaultPosition,
                                                                               wxDefaultSize, wxTE_PROCESS_ENTER); },
         true, true, {}, true},
        {"multi-line text", [](wxWindow* p) { return new wxTextCtrl(p, wxID_ANY, "", wxDefaultPosition,
                                                                   wxDefaultSize, wxTE_MULTILINE); },
         true, true, {}, true},
        {"list box", [](wxWindow* p) { return new wxListBox(p, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                                           wxArrayString(1, "a")); },
         true, true, {}, true},
        {"combo box", [](wxWindow* p) { return new wxComboBox(p, wxID_ANY, "a"); }, true, true, {}, true},
        {"list control, inner window", [](wxWindow* p) {
             const wxWindowList& inner = (new wxListView(p, wxID_ANY))->GetChildren();
             return inner.empty() ? nullptr : inner.front();
         }, true, true, {}, true},
        {"button on the page", [](wxWindow* p) { return new wxButton(p, wxID_ANY, "Page's"); }, true, true, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zil::P<CFakeModule> module = makeModule(3);
        module->shapeInfo = [&](CUIPageInfo& info, int) { info.enableNext = c.enableNext, info.showNext = c.showNext; };
        wxWindow* control = c.make(dialog.getPageParent());
        bool handedOn = false;
        std::vector<Step> steps = {[&] {
            // As GTK sends it: to the dialog, from the control the key was typed in.
            wxKeyEvent event(wxEVT_CHAR_HOOK);
            event.m_keyCode = WXK_RETURN;
            event.SetEventObject(control);
            dialog.GetEventHandler()->ProcessEvent(event);
            handedOn = event.GetSkipped();
        }};
        steps.push_back([&] { endDialog(); });
        EXPECT_EQ(runModal(dialog, steps), kTimedOut);
        Journal expected = {"reset", "enter none", "next moved"};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        expected.push_back("leave none");
        EXPECT_EQ(journal, expected);
        EXPECT_EQ(handedOn, c.handedOn);
        dialog.getPageParent()->DestroyChildren();
    }
}

// The file system browser opens a folder on Enter; on a wizard page it must still do that
// instead of the wizard moving on.
TEST_F(ModuleDialogTest, EnterOnAFolderRowOfAFileBrowserOpensTheFolderAndTheWizardStays)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CInputLock lock;
    zil::test::CTempFolder folder;
    ::mkdir(folder.api(L"sub").c_str(), 0755);
    folder.writeFile(L"sub/inside.txt", "x");
    folder.writeFile(L"zz.txt", "x");
    makeModule(3);
    auto* browser = new CFileSystemBrowserControl(dialog.getPageParent(), nullptr);
    browser->SetMinSize(wxSize(300, 200));
    const zil::CURI root = zil::CURI::fromPath(folder.path());
    browser->init(zil::CLocalFileSystem::get().get(), root, root);
    wxListView* list = browser->getList();
    const auto firstRow = [&] { return list->GetItemCount() > 0 ? list->GetItemText(0) : wxString(); };
    std::vector<Step> steps = {[&] {
        ASSERT_TRUE(runLoopUntil([&] { return firstRow() == "sub"; }, 10000));
        pointAt(list);
        list->SetFocus();
        list->Select(0);
        list->Focus(0);
    }};
    steps.insert(steps.end(), 40, [] {});
    steps.push_back([&] { typeEnter(list); });
    steps.insert(steps.end(), 200, [] {});
    steps.push_back([&] { runLoopUntil([&] { return firstRow() == "inside.txt"; }, 10000), endDialog(); });
    EXPECT_EQ(runModal(dialog, steps), kTimedOut);
    EXPECT_EQ(browser->getActiveFolder(), root.join(L"sub"));
    EXPECT_EQ(firstRow(), "inside.txt");
    EXPECT_EQ(journal, (Journal{"reset", "enter none", "next moved", "leave none"}));
    browser->Destroy();
}

// A module whose forward step asks the user something: Enter in that message box answers the
// box and must not start a second step in the wizard underneath.
TEST_F(ModuleDialogTest, EnterWhileAStepShowsAMessageBoxDoesNothingToTheWizard)
{
    struct CAskingModule : CFakeModule {
        using CFakeModule::CFakeModule;
        bool asked = false;
        NavigateResult nextPage() override
        {
            if (position == 1 && !std::exchange(asked, true))
                messageBox(L"Really?", L"Question", wxOK | wxCENTRE | wxICON_EXCLAMATION);
            return CFakeModule::nextPage();
        }
    };
    journal.clear();
    zil::P<CAskingModule> module(new CAskingModule(journal, "", 3));
    dialog.setModule(module.get());
    int boxes = 0;
    CShowModalHook hook([&](ShowModalEvent& event) {
        ++boxes;
        press('K');
        event.result = wxID_OK;
    });
    std::vector<std::string> seen;
    EXPECT_EQ(runModal(dialog, {[&] { press('K'); }, [&] { seen.push_back(buttons(dialog)), endDialog(); }}),
              kTimedOut);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(seen, std::vector<std::string>{"Back|Next"});
    EXPECT_EQ(journal, (Journal{"reset", "enter none", "next moved", "next moved", "leave none"}));
}

} // namespace
} // namespace zilui::test
