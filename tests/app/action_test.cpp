// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"

#include <zilui/app/action.h>
#include <zilui/app/appbase.h>

#include <zil/error.h>
#include <zil/thread.h>

#include <gtest/gtest.h>

#include <wx/dcclient.h>
#include <wx/msgdlg.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace zilui;
using namespace zilui::test;

namespace {

bool onMainThread()
{
    return zil::CThread::getCurrentID() == CAppBase::get()->getMainThreadID();
}

// For a function to capture: calls `onRelease` when its last copy goes.
std::shared_ptr<void> releaseProbe(std::function<void()> onRelease)
{
    return std::shared_ptr<void>(nullptr, [onRelease](void*) { onRelease(); });
}

// What the posters of the stress test sent, as the GUI thread saw it arrive. Every action
// holds a copy of `alive` until it is freed.
struct CSequence {
    explicit CSequence(int posters) : next(posters, 0) {}
    void perform(int poster, int index)
    {
        ++performed;
        wrong += onMainThread() && next[poster] == index ? 0 : 1;
        next[poster] = index + 1;
    }
    std::vector<int> next;
    int performed = 0, wrong = 0;
    const std::shared_ptr<int> alive = std::make_shared<int>();
};

} // namespace

// Every 100th item goes through CallAfter, so the order also holds relative to other events;
// meanwhile a timer keeps the GUI thread repainting.
TEST(Action, ManyThreadsPostWhileTheGuiPaintsAndEachActionRunsOnceInOrderAndIsFreed)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 10000;
    CSequence sequence(kThreads);
    wxWindow canvas(&sharedFrame(), wxID_ANY, wxPoint(0, 0), wxSize(50, 50));
    canvas.Bind(wxEVT_PAINT, [&canvas](wxPaintEvent&) { wxPaintDC(&canvas).DrawLine(0, 0, 50, 50); });
    wxTimer repaint;
    repaint.Bind(wxEVT_TIMER, [&canvas](wxTimerEvent&) { canvas.Refresh(); });
    repaint.Start(5);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&sequence, t] {
            for (int i = 0; i < kPerThread; ++i) {
                if (i % 100 == 0)
                    wxTheApp->CallAfter([&sequence, t, i] { sequence.perform(t, i); });
                else
                    postAction([&sequence, t, i, alive = sequence.alive] { sequence.perform(t, i); });
            }
        });
    }
    const bool allPerformed = runLoopUntil([&] { return sequence.performed >= kThreads * kPerThread; }, 60000);
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(allPerformed) << sequence.performed;
    ASSERT_TRUE(drainActions());
    // In order and complete per thread, so each one exactly once.
    EXPECT_EQ(sequence.performed, kThreads * kPerThread);
    EXPECT_EQ(sequence.wrong, 0);
    EXPECT_EQ(sequence.next, std::vector<int>(kThreads, kPerThread));
    EXPECT_EQ(sequence.alive.use_count(), 1);
}

TEST(Action, PostedTwiceRunsTwiceAndClonedEventsShareTheAction)
{
    int calls = 0, released = 0;
    zil::P<CAction> action(
        new CLambdaAction([&calls, probe = releaseProbe([&released] { ++released; })] { ++calls; }));
    CAction* raw = action.get();
    action->post();
    action->post();
    ASSERT_TRUE(drainActions());
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(raw->getRefCount(), 1); // the queued events let go

    // wxWidgets clones queued events: the clone keeps the action alive on its own.
    auto* original = new CActionEvent(raw);
    std::unique_ptr<wxEvent> clone(original->Clone());
    EXPECT_EQ(raw->getRefCount(), 3);
    action.reset();
    delete original;
    auto* cloned = dynamic_cast<CActionEvent*>(clone.get());
    ASSERT_NE(cloned, nullptr);
    cloned->performAction();
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(released, 0);
    clone.reset();
    EXPECT_EQ(released, 1);
}

TEST(Action, LambdaWithClearAfterCallDropsItsStateOnTheGuiThread)
{
    for (const bool throws : {false, true}) {
        SCOPED_TRACE(throws);
        std::vector<bool> releasedOnMain;
        int calls = 0;
        zil::P<CAction> action(new CLambdaAction(
            [&calls, throws, probe = releaseProbe([&] { releasedOnMain.push_back(onMainThread()); })] {
                ++calls;
                if (throws)
                    throw std::runtime_error("lambda action failed");
            },
            true));
        testing::internal::CaptureStderr();
        action->post();
        action->post();
        EXPECT_TRUE(drainActions());
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(calls, 1);
        // The action is still held here; only what the function captured is gone.
        EXPECT_EQ(releasedOnMain, std::vector<bool>{true});
        EXPECT_EQ(errors.find("Error: lambda action failed") != std::string::npos, throws) << errors;
    }

    // Without clearAfterCall the state stays (PostedTwiceRunsTwice...); an empty function is no error.
    for (const bool clear : {false, true})
        EXPECT_NO_THROW(CLambdaAction(std::function<void()>(), clear).performAction());
}

TEST(Action, ShowWindowActionShowsAndHidesAndIgnoresNoWindow)
{
    auto frame = std::make_unique<wxFrame>(nullptr, wxID_ANY, "show action");
    for (const bool show : {true, false}) {
        zil::P<CAction>(new CShowWindowAction(frame.get(), show))->post();
        zil::P<CAction>(new CShowWindowAction(nullptr, show))->post();
        ASSERT_TRUE(drainActions());
        EXPECT_EQ(frame->IsShown(), show);
    }
}

TEST(AppBaseDispatch, CloseAllTopLevelWindowsAsksEachWindowOnceAndAVetoStopsTheExit)
{
    CAppBase* app = CAppBase::get();
    for (const bool force : {false, true}) {
        SCOPED_TRACE(force);
        // The windows that exist already (the shared frame) accept and count close requests.
        std::map<wxObject*, int> requests;
        auto count = [&requests](wxCloseEvent& event) { ++requests[event.GetEventObject()]; };
        const std::vector<wxWindow*> existing(wxTopLevelWindows.begin(), wxTopLevelWindows.end());
        for (wxWindow* window : existing)
            window->Bind(wxEVT_CLOSE_WINDOW, count);
        // The top window is reachable twice (through its child too); the vetoing window comes
        // last, so every other one has been asked when it refuses.
        auto accepting = std::make_unique<CCountingFrame>(false);
        auto vetoing = std::make_unique<CCountingFrame>(true);
        CTopWindowScope top(new wxWindow(accepting.get(), wxID_ANY));
        EXPECT_EQ(app->closeAllTopLevelWindows(force), force);
        EXPECT_EQ(accepting->closeRequests, 1);
        EXPECT_EQ(vetoing->closeRequests, 1);
        for (wxWindow* window : existing) {
            EXPECT_EQ(requests[window], 1) << window->GetLabel();
            EXPECT_TRUE(window->Unbind(wxEVT_CLOSE_WINDOW, count));
        }
    }

    auto frame = std::make_unique<CCountingFrame>(true);
    CTopWindowScope top(frame.get());
    zil::P<CAction>(new CExitAppAction(false))->post();
    EXPECT_TRUE(runLoopUntil([&] { return frame->closeRequests > 0; }));
    EXPECT_TRUE(drainActions());
    EXPECT_FALSE(app->isExitScheduled());
    EXPECT_FALSE(app->scheduleExit(false));
    EXPECT_EQ(frame->closeRequests, 2);
    EXPECT_FALSE(app->isExitScheduled());
}

TEST(AppBaseDispatch, ThrowingHandlersAreReportedOnTheConsoleAndLaterEventsRun)
{
    class CThrower : public wxEvtHandler {
    public:
        void onCommand(wxCommandEvent&) { throw std::runtime_error("method handler failed"); }
    };
    CThrower source;
    source.Bind(
        wxEVT_BUTTON, [](wxCommandEvent&) { throw std::runtime_error("lambda handler failed"); }, 1);
    source.Bind(wxEVT_BUTTON, &CThrower::onCommand, &source, 2);
    // Actions bypass the handler tables, so they have a case of their own.
    source.Bind(
        wxEVT_BUTTON, [](wxCommandEvent&) { postAction([] { throw zil::CError(L"action error"); }); }, 3);
    int laterEvents = 0;
    source.Bind(
        wxEVT_BUTTON, [&](wxCommandEvent&) { ++laterEvents; }, 4);
    auto sendEvent = [&](int id) {
        wxCommandEvent event(wxEVT_BUTTON, id);
        return source.ProcessEvent(event);
    };

    CGlobalLogCapture log;
    const std::string lines[] = {"Error: lambda handler failed", "Error: method handler failed",
                                 "Fatal error: action error"};
    for (int id = 1; id <= 3; ++id) {
        const std::string& line = lines[id - 1];
        SCOPED_TRACE(line);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(sendEvent(id) && drainActions());
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find(line + "\n"), std::string::npos) << errors;
        EXPECT_NE(log.text().find(line.substr(line.find(": ") + 2)), std::string::npos);
        EXPECT_TRUE(sendEvent(4));
    }
    EXPECT_EQ(laterEvents, 3);
}

TEST(AppBaseDispatch, GuiErrorShowsOneMessageBoxAtATime)
{
    const auto previous = CAppBase::get()->getErrorReporting();
    CAppBase::get()->setErrorReporting(CAppBase::errorReportingGUI);
    std::shared_ptr<void> restore =
        releaseProbe([previous] { CAppBase::get()->setErrorReporting(previous); });
    CGlobalLogCapture log;
    wxEvtHandler source;
    source.Bind(wxEVT_BUTTON, [](wxCommandEvent& event) {
        throw std::runtime_error(event.GetId() == 2 ? "second failure" : "first failure");
    });
    std::vector<wxString> boxes;
    CShowModalHook hook([&](ShowModalEvent& event) {
        auto* dialog = dynamic_cast<wxMessageDialogBase*>(event.dialog);
        boxes.push_back(dialog ? dialog->GetMessage() : wxString("not a message dialog"));
        if (boxes.size() == 1) {
            wxCommandEvent second(wxEVT_BUTTON, 2);
            EXPECT_TRUE(source.ProcessEvent(second));
        }
        event.result = wxID_OK;
    });

    wxCommandEvent first(wxEVT_BUTTON, 1);
    EXPECT_TRUE(source.ProcessEvent(first));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "first failure");
    EXPECT_NE(log.text().find("second failure"), std::string::npos);

    // Once the box is closed the next error, here from an action, gets one of its own.
    postAction([] { throw zil::CError(L"action error", L"test"); });
    EXPECT_TRUE(drainActions());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[1].EndsWith("action error")) << boxes[1];
}
