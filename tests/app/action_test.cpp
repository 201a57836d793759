// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"

#include <zilui/app/action.h>
#include <zilui/app/appbase.h>

#include <zil/error.h>
#include <zil/thread.h>

#include <gtest/gtest.h>

#include <wx/msgdlg.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace zilui;
using zilui::test::runLoopUntil;

namespace {

bool onMainThread()
{
    return zil::CThread::getCurrentID() == CAppBase::get()->getMainThreadID();
}

// Posts an action that sets a flag and waits for it: everything posted before has been
// performed by then.
bool drainActions()
{
    bool reached = false;
    postAction([&reached] { reached = true; });
    return runLoopUntil([&] { return reached; });
}

struct Probe {
    explicit Probe(std::vector<bool>* destroyedOnMain) : m_destroyedOnMain(destroyedOnMain) {}
    ~Probe() { m_destroyedOnMain->push_back(onMainThread()); }
    std::vector<bool>* m_destroyedOnMain;
};

class CRecordingAction : public CAction {
public:
    CRecordingAction(std::vector<CAction*>* performed, int* destroyed)
        : m_performed(performed), m_destroyed(destroyed)
    {
    }
    ~CRecordingAction() override { ++*m_destroyed; }
    void performAction() override { m_performed->push_back(this); }

private:
    std::vector<CAction*>* m_performed;
    int* m_destroyed;
};

class CErrorReportingScope {
public:
    explicit CErrorReportingScope(CAppBase::ErrorReporting mode) : m_previous(CAppBase::get()->getErrorReporting())
    {
        CAppBase::get()->setErrorReporting(mode);
    }
    ~CErrorReportingScope() { CAppBase::get()->setErrorReporting(m_previous); }

private:
    CAppBase::ErrorReporting m_previous;
};

// Every top-level window that exists already (the shared frame, leftovers of other tests)
// accepts a close request while this lives, without going away, and counts it.
class CCloseGuard : public wxEvtHandler {
public:
    CCloseGuard() : m_windows(wxTopLevelWindows.begin(), wxTopLevelWindows.end())
    {
        for (wxWindow* window : m_windows)
            window->Bind(wxEVT_CLOSE_WINDOW, &CCloseGuard::onClose, this);
    }
    ~CCloseGuard() override
    {
        for (wxWindow* window : m_windows)
            window->Unbind(wxEVT_CLOSE_WINDOW, &CCloseGuard::onClose, this);
    }

    std::vector<wxWindow*> m_windows;
    std::map<wxObject*, int> m_requests;

private:
    void onClose(wxCloseEvent& event) { ++m_requests[event.GetEventObject()]; }
};

} // namespace

TEST(Action, ManyThreadsPostAndGuiThreadPerformsEachOnceInOrder)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 10000;
    struct Tally {
        std::vector<int> hits = std::vector<int>(kThreads * kPerThread, 0);
        std::vector<int> next = std::vector<int>(kThreads, 0);
        int performed = 0;
        int offMainThread = 0;
        int outOfOrder = 0;
        std::atomic<int> destroyed{0};
    } tally;

    class CSequenceAction : public CAction {
    public:
        CSequenceAction(Tally* tally, int thread, int sequence) : m_tally(tally), m_thread(thread), m_sequence(sequence)
        {
        }
        ~CSequenceAction() override { ++m_tally->destroyed; }
        void performAction() override
        {
            ++m_tally->performed;
            ++m_tally->hits[m_thread * kPerThread + m_sequence];
            m_tally->offMainThread += onMainThread() ? 0 : 1;
            m_tally->outOfOrder += m_tally->next[m_thread] == m_sequence ? 0 : 1;
            m_tally->next[m_thread] = m_sequence + 1;
        }

    private:
        Tally* m_tally;
        int m_thread;
        int m_sequence;
    };

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&tally, t] {
            for (int i = 0; i < kPerThread; ++i) {
                zil::P<CAction> action(new CSequenceAction(&tally, t, i));
                action->post();
            }
        });
    }
    const bool allPerformed = runLoopUntil([&] { return tally.performed >= kThreads * kPerThread; }, 60000);
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(allPerformed) << tally.performed;
    ASSERT_TRUE(drainActions());

    EXPECT_EQ(tally.performed, kThreads * kPerThread);
    EXPECT_EQ(std::count_if(tally.hits.begin(), tally.hits.end(), [](int hits) { return hits != 1; }), 0);
    EXPECT_EQ(tally.offMainThread, 0);
    EXPECT_EQ(tally.outOfOrder, 0);
    EXPECT_EQ(tally.destroyed.load(), kThreads * kPerThread);
}

TEST(Action, PostedTwiceRunsTwiceAndClonedEventsShareTheAction)
{
    std::vector<CAction*> performed;
    int destroyed = 0;
    {
        zil::P<CAction> action(new CRecordingAction(&performed, &destroyed));
        action->post();
        // wxWidgets clones an event handed over by reference: the copy runs the same object.
        CActionEvent byReference(action.get());
        CAppBase::get()->AddPendingEvent(byReference);
        ASSERT_TRUE(runLoopUntil([&] { return performed.size() >= 2; }));
        ASSERT_TRUE(drainActions());
        EXPECT_EQ(performed, (std::vector<CAction*>{action.get(), action.get()}));
    }
    EXPECT_EQ(destroyed, 1);

    destroyed = 0;
    zil::P<CAction> action(new CRecordingAction(&performed, &destroyed));
    auto* original = new CActionEvent(action.get());
    EXPECT_EQ(action->getRefCount(), 2);
    std::unique_ptr<wxEvent> clone(original->Clone());
    EXPECT_EQ(action->getRefCount(), 3);
    auto* cloned = dynamic_cast<CActionEvent*>(clone.get());
    ASSERT_NE(cloned, nullptr);
    EXPECT_EQ(cloned->getAction(), action.get());
    EXPECT_EQ(cloned->GetEventType(), wxuEVT_ACTION);

    CAction* raw = action.get();
    action.reset();
    delete original;
    EXPECT_EQ(destroyed, 0);
    performed.clear();
    cloned->performAction();
    EXPECT_EQ(performed, std::vector<CAction*>{raw});
    clone.reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(Action, LambdaWithClearAfterCallDropsItsStateOnTheGuiThread)
{
    const struct {
        const char* name;
        bool throws;
    } cases[] = {{"returns", false}, {"throws", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<bool> destroyedOnMain;
        int calls = 0;
        const bool throws = c.throws;
        zil::P<CAction> action(new CLambdaAction(
            [&calls, throws, probe = std::make_shared<Probe>(&destroyedOnMain)] {
                ++calls;
                if (throws)
                    throw std::runtime_error("lambda action failed");
            },
            true));
        testing::internal::CaptureStderr();
        action->post();
        action->post();
        const bool drained = drainActions();
        const std::string errors = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(drained);
        EXPECT_EQ(calls, 1);
        // The action itself is still held here; only what the function captured is gone.
        EXPECT_EQ(destroyedOnMain, std::vector<bool>{true});
        EXPECT_EQ(errors.find("Error: lambda action failed") != std::string::npos, c.throws) << errors;
    }

    // Without clearAfterCall the state stays for the next call.
    std::vector<bool> destroyedOnMain;
    int calls = 0;
    {
        CLambdaAction kept([&calls, probe = std::make_shared<Probe>(&destroyedOnMain)] { ++calls; });
        kept.performAction();
        kept.performAction();
        EXPECT_EQ(calls, 2);
        EXPECT_TRUE(destroyedOnMain.empty());
    }
    EXPECT_EQ(destroyedOnMain.size(), 1u);

    for (const bool clear : {false, true}) {
        CLambdaAction empty(std::function<void()>(), clear);
        EXPECT_NO_THROW(empty.performAction());
        EXPECT_NO_THROW(empty.performAction());
    }
}

TEST(Action, ShowWindowActionShowsAndHides)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "show action");
    for (const bool show : {true, false, true}) {
        SCOPED_TRACE(show);
        zil::P<CAction>(new CShowWindowAction(frame, show))->post();
        EXPECT_TRUE(runLoopUntil([&] { return frame->IsShown() == show; }));
    }
    zil::P<CAction>(new CShowWindowAction(nullptr, true))->post();
    EXPECT_TRUE(drainActions());
    delete frame;
}

TEST(Action, ExitAppActionStopsAtAVetoingTopWindow)
{
    auto frame = std::make_unique<zilui::test::CCountingFrame>(true);
    zilui::test::CTopWindowScope top(frame.get());
    CAppBase* app = CAppBase::get();

    zil::P<CAction>(new CExitAppAction(false))->post();
    EXPECT_TRUE(runLoopUntil([&] { return frame->closeRequests > 0; }));
    EXPECT_TRUE(drainActions());
    EXPECT_EQ(frame->closeRequests, 1);
    EXPECT_FALSE(app->isExitScheduled());

    EXPECT_FALSE(app->scheduleExit(false));
    EXPECT_EQ(frame->closeRequests, 2);
    EXPECT_FALSE(app->isExitScheduled());
}

TEST(AppBaseDispatch, CloseAllTopLevelWindowsAsksEachWindowOnce)
{
    const struct {
        bool force;
        bool expected;
    } cases[] = {{false, false}, {true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.force);
        CCloseGuard guard;
        // The top window is in the list too; the vetoing one comes last, so every other window
        // has been asked when it refuses.
        auto accepting = std::make_unique<zilui::test::CCountingFrame>(false);
        auto vetoing = std::make_unique<zilui::test::CCountingFrame>(true);
        auto* child = new wxWindow(accepting.get(), wxID_ANY);
        zilui::test::CTopWindowScope top(child);

        EXPECT_EQ(CAppBase::get()->closeAllTopLevelWindows(c.force), c.expected);
        EXPECT_EQ(accepting->closeRequests, 1);
        EXPECT_EQ(vetoing->closeRequests, 1);
        for (wxWindow* window : guard.m_windows)
            EXPECT_EQ(guard.m_requests[window], 1) << window->GetLabel();
    }
}

TEST(AppBaseDispatch, ThrowingHandlersAreReportedOnTheConsoleAndLaterEventsRun)
{
    class CThrower : public wxEvtHandler {
    public:
        void onCommand(wxCommandEvent&) { throw std::runtime_error("method handler failed"); }
    };
    CThrower source;
    source.Bind(wxEVT_BUTTON, [](wxCommandEvent&) { throw std::runtime_error("lambda handler failed"); }, 1);
    source.Bind(wxEVT_BUTTON, &CThrower::onCommand, &source, 2);
    int laterEvents = 0;
    source.Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++laterEvents; }, 3);

    auto sendEvent = [&](int id) {
        wxCommandEvent event(wxEVT_BUTTON, id);
        return source.ProcessEvent(event);
    };
    auto performThrowing = [](auto makeError) {
        bool ran = false;
        postAction([&ran, makeError] {
            ran = true;
            throw makeError();
        });
        return runLoopUntil([&] { return ran; }) && drainActions();
    };
    const struct {
        const char* name;
        std::function<bool()> trigger;
        const char* expectedLine;
    } cases[] = {
        {"bound lambda", [&] { return sendEvent(1); }, "Error: lambda handler failed\n"},
        {"method pointer", [&] { return sendEvent(2); }, "Error: method handler failed\n"},
        {"action, std::exception",
         [&] { return performThrowing([] { return std::runtime_error("action failed"); }); },
         "Error: action failed\n"},
        {"action, zil::CError",
         [&] { return performThrowing([] { return zil::CError(L"action error", L"test"); }); },
         "Fatal error: action error\n"},
    };
    zilui::test::CGlobalLogCapture log;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        const bool handled = c.trigger();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(handled);
        EXPECT_NE(errors.find(c.expectedLine), std::string::npos) << errors;
        const std::string what = std::string(c.expectedLine).substr(std::string(c.expectedLine).find(": ") + 2);
        EXPECT_NE(log.text().find(what.substr(0, what.size() - 1)), std::string::npos);

        const int before = laterEvents;
        EXPECT_TRUE(sendEvent(3));
        EXPECT_EQ(laterEvents, before + 1);
    }
}

TEST(AppBaseDispatch, GuiErrorShowsOneMessageBoxAtATime)
{
    CErrorReportingScope gui(CAppBase::errorReportingGUI);
    zilui::test::CGlobalLogCapture log;
    wxEvtHandler source;
    source.Bind(wxEVT_BUTTON, [](wxCommandEvent& event) {
        throw std::runtime_error(event.GetId() == 2 ? "second failure" : "first failure");
    });
    std::vector<wxString> boxes;
    zilui::test::CShowModalHook hook([&](ShowModalEvent& event) {
        auto* dialog = dynamic_cast<wxMessageDialogBase*>(event.dialog);
        boxes.push_back(dialog ? dialog->GetMessage() : wxString("not a message dialog"));
        if (boxes.size() == 1) {
            // Another event throws while the first box is open.
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

    // Once the box is closed the next error gets one of its own.
    EXPECT_TRUE(source.ProcessEvent(first));
    EXPECT_EQ(boxes.size(), 2u);

    bool ran = false;
    postAction([&ran] {
        ran = true;
        throw zil::CError(L"action error", L"test");
    });
    EXPECT_TRUE(runLoopUntil([&] { return ran; }) && drainActions());
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_TRUE(boxes[2].EndsWith("action error")) << boxes[2];
}
