// SPDX-License-Identifier: MIT
// Every dialog here runs a real modal loop, driven by steps queued from inside the loop, and
// is ended by a timer with kTimedOut when a step fails to end it.
#include "app/apptestutil.h"
#include "app/dialogtestutil.h"
#include "support/guitest.h"

#include <zilui/app/action.h>
#include <zilui/modules/moduledialog.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/frame.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <dlfcn.h>

#include <cstdint>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zilui::test {
namespace {

using Journal = std::vector<std::string>;
constexpr int kTimedOut = 4242;

// A module of `pages` pages that records its calls ("next moved", "confirmAbort", ...).
class CScriptedModule : public zil::CBase, public virtual IUIModule {
public:
    CScriptedModule(Journal& journal, int pages) : m_journal(journal), m_pages(pages) {}

    int refusingPage = 0;      // the data check of this page (1-based) fails
    bool abortAnswer = true;   // what confirmAbort() says
    bool throwOnEnter = false;
    int throwOnNextAt = -1;    // nextPage() raises at this position (0: the very first call)
    // Shapes the page info; `refusals` counts the refused steps so far.
    std::function<void(CUIPageInfo& info, int page, int refusals)> shapeInfo;
    zil::P<IUIModuleContext> context;
    int position = 0;
    int refusals = 0;

    void setAutoShowHidePages(bool) override {}
    bool getAutoShowHidePages() const override { return true; }
    void resetState() override
    {
        m_journal.push_back("reset");
        position = 0;
    }
    void enter(IUIModuleContext* newContext, NavDirection) override
    {
        m_journal.push_back("enter");
        if (throwOnEnter)
            throw zil::CError(L"module broke");
        context = newContext;
    }
    void leave(NavDirection dir) override { m_journal.push_back(dir == IUIPage::NavNone ? "leave none" : "leave"); }
    bool confirmAbort() override
    {
        m_journal.push_back("confirmAbort");
        return abortAnswer;
    }
    NavigateResult nextPage() override
    {
        if (position == throwOnNextAt)
            throw zil::CError(L"module broke");
        if (position >= 1 && position == refusingPage) {
            ++refusals;
            return record("next stay", NavigateStay);
        }
        if (position < m_pages) {
            ++position;
            return record("next moved", NavigateMoved);
        }
        position = m_pages + 1;
        return record("next end", NavigateEnd);
    }
    NavigateResult prevPage() override
    {
        if (position > 1) {
            --position;
            return record("prev moved", NavigateMoved);
        }
        position = 0;
        return record("prev end", NavigateEnd);
    }
    zil::P<CUIPageInfo> getPageInfo() override
    {
        zil::P<CUIPageInfo> info(new CUIPageInfo());
        if (shapeInfo && position >= 1 && position <= m_pages)
            shapeInfo(*info, position, refusals);
        return info;
    }
    zil::String getPageName() override { return zil::toString(int64_t(position)); }
    bool hasAnyPages() override { return m_pages > 0; }
    bool hasExactlyOnePage() override { return m_pages == 1; }
    bool hasNextPage() override { return position < m_pages; }
    bool hasPrevPage() override { return position > 1; }

private:
    NavigateResult record(const char* entry, NavigateResult result)
    {
        m_journal.push_back(entry);
        return result;
    }

    Journal& m_journal;
    int m_pages;
};

// "label" for a shown and enabled button, "(label)" when disabled, "-" when hidden.
std::string buttonState(const wxButton* button)
{
    if (!button->IsShown())
        return "-";
    const std::string label = button->GetLabel().ToStdString();
    return button->IsEnabled() ? label : "(" + label + ")";
}

std::string buttons(const CUIModuleDialog& dialog)
{
    return buttonState(dialog.getLeftButton()) + "|" + buttonState(dialog.getRightButton());
}

// As a user would: only a visible and enabled button can be pressed.
void click(wxButton* button)
{
    if (!button->IsShown() || !button->IsEnabled()) {
        ADD_FAILURE() << "pressed a button that cannot be pressed: " << buttonState(button);
        return;
    }
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
}

void pressKey(wxDialog& dialog, int key)
{
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = key;
    event.SetEventObject(&dialog);
    dialog.GetEventHandler()->ProcessEvent(event);
}

constexpr unsigned kGdkKeyReturn = 0xff0d;

// A key press and release handed to GTK as if they came from the keyboard, delivered to the
// focused widget of `topLevel`: other test processes on the same display see nothing, and the
// pointer does not matter. The tests are not linked against GTK directly, so its functions are
// looked up at run time; the event is GTK 3's GdkEventKey, whose layout is part of its ABI.
bool pressKeyThroughGTK(wxWindow& topLevel, unsigned keyval)
{
    struct GdkEventKey {
        int type;
        void* window;
        signed char sendEvent;
        uint32_t time;
        unsigned state;
        unsigned keyval;
        int length;
        char* string;
        uint16_t hardwareKeycode;
        uint8_t group;
        unsigned isModifier : 1;
    };
    struct GdkKeymapKey {
        unsigned keycode;
        int group;
        int level;
    };
    constexpr int kGdkKeyPress = 8, kGdkKeyRelease = 9;
    const auto find = [](const char* name) { return dlsym(RTLD_DEFAULT, name); };
    const auto getWindow = reinterpret_cast<void* (*)(void*)>(find("gtk_widget_get_window"));
    const auto newEvent = reinterpret_cast<GdkEventKey* (*)(int)>(find("gdk_event_new"));
    const auto setDevice = reinterpret_cast<void (*)(void*, void*)>(find("gdk_event_set_device"));
    const auto doEvent = reinterpret_cast<void (*)(void*)>(find("gtk_main_do_event"));
    const auto freeEvent = reinterpret_cast<void (*)(void*)>(find("gdk_event_free"));
    const auto ref = reinterpret_cast<void* (*)(void*)>(find("g_object_ref"));
    const auto defaultDisplay = reinterpret_cast<void* (*)()>(find("gdk_display_get_default"));
    const auto defaultSeat = reinterpret_cast<void* (*)(void*)>(find("gdk_display_get_default_seat"));
    const auto keyboard = reinterpret_cast<void* (*)(void*)>(find("gdk_seat_get_keyboard"));
    const auto keymapFor = reinterpret_cast<void* (*)(void*)>(find("gdk_keymap_get_for_display"));
    const auto entries =
        reinterpret_cast<int (*)(void*, unsigned, GdkKeymapKey**, int*)>(find("gdk_keymap_get_entries_for_keyval"));
    const auto gfree = reinterpret_cast<void (*)(void*)>(find("g_free"));
    if (!getWindow || !newEvent || !setDevice || !doEvent || !freeEvent || !ref || !defaultDisplay ||
        !defaultSeat || !keyboard || !keymapFor || !entries || !gfree)
        return false;
    void* window = getWindow(topLevel.GetHandle());
    void* display = defaultDisplay();
    if (!window || !display)
        return false;
    GdkKeymapKey* keys = nullptr;
    int count = 0;
    if (!entries(keymapFor(display), keyval, &keys, &count) || count < 1)
        return false;
    const auto keycode = static_cast<uint16_t>(keys[0].keycode);
    gfree(keys);
    for (const int type : {kGdkKeyPress, kGdkKeyRelease}) {
        GdkEventKey* event = newEvent(type);
        event->window = ref(window); // the event releases it
        event->keyval = keyval;
        event->hardwareKeycode = keycode;
        setDevice(event, keyboard(defaultSeat(display)));
        doEvent(event);
        freeEvent(event);
    }
    return true;
}

using Step = std::function<void()>;

// Runs dialog.ShowModal() with `steps` performed one after another from inside its loop, a few
// milliseconds apart, so that the loop handles what each one caused (GTK's timeouts included)
// before the next. Steps left when the loop ends are dropped.
int runModal(CUIModuleDialog& dialog, std::vector<Step> steps)
{
    size_t next = 0;
    wxTimer pacer;
    pacer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (dialog.IsModal() && next < steps.size())
            steps[next++]();
    });
    pacer.Start(5);
    wxTimer timeout;
    timeout.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (dialog.IsModal())
            dialog.EndModal(kTimedOut);
    });
    timeout.StartOnce(20000);
    return dialog.ShowModal();
}

struct ModuleDialogTest : testing::Test {
    void SetUp() override { loadProgressDialogResource(); }
    void TearDown() override { processPendingEvents(); }

    Journal journal;
    CUIModuleDialog dialog{&sharedFrame(), L"Wizard"};
};

TEST_F(ModuleDialogTest, OnePageModuleHasOkOnTheLeftAndCancelOnTheRight)
{
    const struct {
        const char* name;
        bool pressOk;
        bool abortAnswer;
        int result;
        Journal journal;
    } cases[] = {
        {"OK", true, true, wxID_OK, {"reset", "enter", "next moved", "next end", "leave none"}},
        {"Cancel", false, true, wxID_CANCEL, {"reset", "enter", "next moved", "confirmAbort", "leave none"}},
        {"Cancel refused", false, false, kTimedOut, {"reset", "enter", "next moved", "confirmAbort", "leave none"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        journal.clear();
        zil::P<CScriptedModule> module(new CScriptedModule(journal, 1));
        module->abortAnswer = c.abortAnswer;
        dialog.setModule(module.get());
        std::string seen;
        bool stillOpen = false;
        const int result = runModal(dialog, {[&] {
                                                 seen = buttons(dialog);
                                                 click(c.pressOk ? dialog.getLeftButton() : dialog.getRightButton());
                                             },
                                             [&] {
                                                 stillOpen = dialog.IsModal();
                                                 dialog.EndModal(kTimedOut);
                                             }});
        EXPECT_EQ(seen, "OK|Cancel");
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(stillOpen, c.result == kTimedOut);
        EXPECT_EQ(journal, c.journal);
    }
}

TEST_F(ModuleDialogTest, EscapeCancelsAndEnterConfirms)
{
    auto* field = new wxTextCtrl(dialog.getPageParent(), wxID_ANY);
    const struct {
        const char* name;
        int pages;
        int key;
        int result;
    } cases[] = {
        {"Escape, one page", 1, WXK_ESCAPE, wxID_CANCEL},
        {"Escape, wizard", 3, WXK_ESCAPE, wxID_CANCEL},
        {"Enter in a field, one page", 1, WXK_RETURN, wxID_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        journal.clear();
        zil::P<CScriptedModule> module(new CScriptedModule(journal, c.pages));
        dialog.setModule(module.get());
        std::vector<Step> steps;
        if (c.key == WXK_ESCAPE) {
            steps.push_back([&] { pressKey(dialog, WXK_ESCAPE); });
        } else {
            // A key press through GTK, so that its own default-button handling answers it.
            steps.push_back([&] {
                EXPECT_EQ(dialog.GetAffirmativeId(), dialog.getLeftButton()->GetId());
                field->SetFocus();
            });
            steps.push_back([&] { ASSERT_TRUE(pressKeyThroughGTK(dialog, kGdkKeyReturn)); });
            // GTK clicks the default button a quarter of a second after the key, from a timeout.
            steps.insert(steps.end(), 200, [] {});
        }
        // A dialog still open now has ignored the key.
        steps.push_back([&] { dialog.EndModal(kTimedOut); });
        EXPECT_EQ(runModal(dialog, steps), c.result);
        const bool asked = std::find(journal.begin(), journal.end(), "confirmAbort") != journal.end();
        EXPECT_EQ(asked, c.result == wxID_CANCEL);
    }
}

TEST_F(ModuleDialogTest, WizardButtonsFollowThePages)
{
    zil::P<CScriptedModule> module(new CScriptedModule(journal, 3));
    module->abortAnswer = false;
    dialog.setModule(module.get());
    std::vector<std::string> seen;
    const auto look = [&] { seen.push_back(buttons(dialog)); };
    wxButton* left = dialog.getLeftButton();
    wxButton* right = dialog.getRightButton();
    const int result = runModal(dialog, {
                                            look,
                                            [&] { click(left); }, // Cancel, refused by the module
                                            look,
                                            [&] { click(right); },
                                            look,
                                            [&] { click(right); },
                                            look,
                                            [&] { click(left); }, // Back
                                            look,
                                            [&] { click(right); },
                                            [&] { click(right); }, // Finish
                                        });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(seen, (std::vector<std::string>{"Cancel|Next", "Cancel|Next", "Back|Next", "Back|Finish",
                                              "Back|Next"}));
    EXPECT_EQ(journal, (Journal{"reset", "enter", "next moved", "confirmAbort", "next moved", "next moved",
                                "prev moved", "next moved", "next end", "leave none"}));
}

TEST_F(ModuleDialogTest, CancelOnTheFirstPageClosesOnlyWhenConfirmed)
{
    zil::P<CScriptedModule> module(new CScriptedModule(journal, 2));
    module->abortAnswer = false;
    dialog.setModule(module.get());
    bool openAfterRefusal = false;
    const int result = runModal(dialog, {[&] { click(dialog.getLeftButton()); },
                                         [&] {
                                             openAfterRefusal = dialog.IsModal();
                                             module->abortAnswer = true;
                                             click(dialog.getLeftButton());
                                         }});
    EXPECT_TRUE(openAfterRefusal);
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(journal, (Journal{"reset", "enter", "next moved", "confirmAbort", "confirmAbort", "leave none"}));
}

TEST_F(ModuleDialogTest, RefusingPageStaysWithRefreshedButtons)
{
    zil::P<CScriptedModule> module(new CScriptedModule(journal, 2));
    module->refusingPage = 1;
    module->shapeInfo = [](CUIPageInfo& info, int, int refusals) {
        if (refusals > 0) {
            info.nextLabel = L"Retry";
            info.enableBack = false;
        }
    };
    dialog.setModule(module.get());
    std::string before, after;
    bool open = false;
    runModal(dialog, {[&] {
                          before = buttons(dialog);
                          click(dialog.getRightButton());
                      },
                      [&] {
                          after = buttons(dialog);
                          open = dialog.IsModal();
                          dialog.EndModal(kTimedOut);
                      }});
    EXPECT_EQ(before, "Cancel|Next");
    EXPECT_EQ(after, "(Cancel)|Retry");
    EXPECT_TRUE(open);
    EXPECT_EQ(module->position, 1);
}

TEST_F(ModuleDialogTest, PageInfoOverridesTheDefaultLabels)
{
    const struct {
        const char* name;
        int pages;
        const wchar_t* next;
        const wchar_t* back;
        bool showBack;
        bool enableNext;
        std::string buttons;
    } cases[] = {
        {"one page", 1, L"Install", L"", true, true, "Install|Cancel"},
        {"wizard", 2, L"Go on", L"Quit", true, false, "Quit|(Go on)"},
        {"wizard, back hidden", 2, L"", L"", false, true, "-|Next"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zil::P<CScriptedModule> module(new CScriptedModule(journal, c.pages));
        module->shapeInfo = [&c](CUIPageInfo& info, int, int) {
            info.nextLabel = c.next;
            info.backLabel = c.back;
            info.showBack = c.showBack;
            info.enableNext = c.enableNext;
        };
        dialog.setModule(module.get());
        std::string seen;
        runModal(dialog, {[&] {
            seen = buttons(dialog);
            dialog.EndModal(kTimedOut);
        }});
        EXPECT_EQ(seen, c.buttons);
    }
}

TEST_F(ModuleDialogTest, ProgrammingErrorsAreRaisedAfterLeavingTheModule)
{
    CGlobalLogCapture log;
    try {
        dialog.ShowModal();
        ADD_FAILURE() << "no error without a module";
    } catch (const zil::CError& e) {
        EXPECT_EQ(e.getMessage(), L"Internal error: CUIModuleDialog::ShowModal called without module having been set.");
    }
    zil::P<CScriptedModule> module(new CScriptedModule(journal, 0));
    dialog.setModule(module.get());
    try {
        dialog.ShowModal();
        ADD_FAILURE() << "no error for a module without pages";
    } catch (const zil::CError& e) {
        EXPECT_EQ(e.getMessage(), L"Internal error: module set in CUIModuleDialog has no pages (navigate result: 1).");
    }
    EXPECT_EQ(journal, (Journal{"reset", "enter", "next end", "leave none"}));
    EXPECT_FALSE(dialog.IsShown());
    EXPECT_NE(log.text().find("Letting through."), std::string::npos);
}

TEST_F(ModuleDialogTest, ModuleErrorsLeaveTheModuleAndCloseTheDialog)
{
    const struct {
        const char* name;
        bool throwOnEnter;
        int throwOnNextAt;
        Journal journal;
    } cases[] = {
        {"enter", true, -1, {"reset", "enter", "leave none"}},
        {"first page", false, 0, {"reset", "enter", "leave none"}},
        {"Next pressed", false, 1, {"reset", "enter", "next moved", "leave none"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        journal.clear();
        zil::P<CScriptedModule> module(new CScriptedModule(journal, 2));
        module->throwOnEnter = c.throwOnEnter;
        module->throwOnNextAt = c.throwOnNextAt;
        dialog.setModule(module.get());
        zil::String message;
        try {
            runModal(dialog, {[&] { click(dialog.getRightButton()); }});
        } catch (const zil::CError& e) {
            message = e.getMessage();
        }
        EXPECT_EQ(message, L"module broke");
        EXPECT_EQ(journal, c.journal);
        EXPECT_FALSE(dialog.IsShown());
        EXPECT_FALSE(dialog.IsModal());
    }
}

TEST_F(ModuleDialogTest, WaitForThreadBlocksUntilTheThreadEndsAndTheContextDiesWithTheLoop)
{
    zil::P<CScriptedModule> module(new CScriptedModule(journal, 2));
    dialog.setModule(module.get());
    zil::CSignal release;
    zil::P<CFunctionThread> worker(new CFunctionThread([&] { release.wait(20000); }));
    worker->start();
    bool releasedBeforeReturn = false;
    bool aliveAfterReturn = true;
    zil::P<IUIModuleContext> kept;
    runModal(dialog, {[&] {
                          kept = module->context;
                          // Ended from the wait loop itself, so it must be running.
                          postAction([&] { release.set(); });
                          module->context->waitForThread(worker.get(), true);
                          releasedBeforeReturn = release.isSet();
                          aliveAfterReturn = worker->isAlive();
                      },
                      [&] {
                          EXPECT_TRUE(dialog.IsModal());
                          dialog.EndModal(kTimedOut);
                      }});
    EXPECT_TRUE(releasedBeforeReturn);
    EXPECT_FALSE(aliveAfterReturn);

    // A context kept past the loop does nothing.
    ASSERT_NE(kept, nullptr);
    const Journal before = journal;
    kept->nextPage();
    kept->prevPage();
    EXPECT_EQ(journal, before);
}

} // namespace
} // namespace zilui::test
