// SPDX-License-Identifier: MIT
// A small CAppBase application that tests start as a child process, for what only a whole
// process shows: start-up order, exit codes, signals, machine faults, log file locking.
// It is driven by environment variables, since wxApp rejects unknown command-line options:
//   ZILUI_TESTAPP_SCENARIO  what to do (see OnInit and onStarted)
//   ZILUI_TESTAPP_REPORT    a file that receives one line per event, for the test to read
//   ZILUI_TESTAPP_ARG       a scenario's argument; for exit codes a comma-separated list of
//                           override codes, set in turn ("7,-1" sets 7, then clears it)
//   ZILUI_TESTAPP_LOCK      what to do when the log file is locked: "wait", "nowhere" or give up
#include <zilui/app/action.h>
#include <zilui/app/appbase.h>
#include <zilui/app/language.h>
#include <zilui/app/logging.h>
#include <zilui/app/strings.h>

#include <zil/log.h>
#include <zil/thread.h>

#include <wx/dcclient.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/intl.h>
#include <wx/timer.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <sstream>
#include <string>

namespace {

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

void report(const std::string& line)
{
    if (FILE* file = std::fopen(env("ZILUI_TESTAPP_REPORT").c_str(), "a")) { // none without a path
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

// "saturate": threads keep about kFullQueue actions queued; each action counts itself.
constexpr int kFullQueue = 20000;
std::atomic<int> g_queuedActions{0};
std::atomic<int> g_liveActions{0};

class CCountedAction : public zilui::CAction {
public:
    CCountedAction()
    {
        ++g_queuedActions;
        ++g_liveActions;
    }
    ~CCountedAction() override { --g_liveActions; }
    void performAction() override { --g_queuedActions; }
};

class CProducer : public zil::CThread {
protected:
    void run() override
    {
        while (checkContinue()) {
            if (g_queuedActions.load() < kFullQueue)
                zil::P<zilui::CAction>(new CCountedAction())->post();
            else
                sleepUnlessStopped(10);
        }
    }
};

// A shown frame that reports its close requests and refuses them when told to.
wxFrame* showReportingFrame(const std::string& name, bool veto)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "test");
    frame->Bind(wxEVT_CLOSE_WINDOW, [frame, name, veto](wxCloseEvent& event) {
        report(name + (veto ? " close vetoed" : " close accepted"));
        if (veto && event.CanVeto())
            return event.Veto();
        frame->Destroy();
    });
    frame->Show();
    return frame;
}

class TestApp : public zilui::CAppBase {
public:
    TestApp() : CAppBase(errorReportingConsole)
    {
        m_scenario = env("ZILUI_TESTAPP_SCENARIO");
        m_arg = env("ZILUI_TESTAPP_ARG");
        SetAppName("zilui-testapp");
        if (m_scenario == "stuckthread") {
            m_logFileName = zil::Path(L"app.log");
            m_stopThreadsTimeoutMs = 300;
        }
        if (m_scenario == "logpath" || m_scenario == "lock")
            m_logFileName = zil::Path(zil::String(m_arg));
        else if (m_scenario == "exit-early")
            m_logFileName = zil::Path(L"app.log"); // must not be created
    }

    void setOverrideExitCodes(const std::string& codes)
    {
        std::istringstream in(codes);
        for (std::string code; std::getline(in, code, ',');)
            setOverrideExitCode(std::stoi(code));
    }

    bool OnInit() override
    {
        report("OnInit");
        const bool ok = CAppBase::OnInit();
        report(std::string("OnInit returned ") + (ok ? "true" : "false"));
        report("resourcesPath=" + getResourcesPath().str().toUTF8());
        return ok;
    }

    int OnRun() override
    {
        const int result = CAppBase::OnRun();
        report("OnRun returned " + std::to_string(result));
        return result;
    }

    int OnExit() override
    {
        const int result = CAppBase::OnExit();
        if (m_scenario == "saturate")
            report("alive=" + std::to_string(g_liveActions.load()));
        return result;
    }

protected:
    void initSystemSignalHandlers() override
    {
        report("initSystemSignalHandlers");
        if (m_scenario == "veto") {
            // Not forced, so that a window may refuse.
            zil::P<zilui::CExitAppSystemSignalHandler> handler(new zilui::CExitAppSystemSignalHandler(false));
            zil::CSystemSignalReceiver::get()->setHandler(zil::SysSignal::terminate, handler.get());
        } else {
            CAppBase::initSystemSignalHandlers();
        }
        if (m_scenario == "exit-early") {
            setOverrideExitCodes(m_arg);
            scheduleExit(false);
        }
    }
    void initCustomGlobalConfig() override { report("initCustomGlobalConfig"); }
    void initResourceHandlers() override
    {
        report("initResourceHandlers");
        CAppBase::initResourceHandlers();
    }
    void initPaths() override
    {
        report("initPaths");
        CAppBase::initPaths();
    }
    void initLogging() override
    {
        report("initLogging");
        CAppBase::initLogging();
        report("logFilePath=" + getLogFilePath().str().toUTF8());
    }
    void initCrashHandler() override { report("initCrashHandler"); }
    void initCustomAppFramework() override { report("initCustomAppFramework"); }
    void initLocale(int languageID) override
    {
        report("initLocale");
        CAppBase::initLocale(languageID);
    }
    void initResources() override
    {
        report("initResources");
        if (m_scenario == "badres")
            addResource(zil::Path(L"missing.xrc"));
    }

    int handleLogLockingError(const zil::CLockFileError&, int attempt) override
    {
        report("lock attempt " + std::to_string(attempt));
        const std::string mode = env("ZILUI_TESTAPP_LOCK");
        if (mode == "nowhere")
            return -1;
        if (mode != "wait")
            return 0;
        zil::CThread::sleep(50);
        return attempt < 200 ? 1 : 0;
    }

    void onStarted() override
    {
        const bool inLoop = IsMainLoopRunning() && wxEventLoopBase::GetActive() != nullptr;
        report(std::string("onStarted inLoop=") + (inLoop ? "1" : "0") +
               " mainThread=" + (zil::CThread::getCurrentID() == getMainThreadID() ? "1" : "0"));
        if (m_scenario == "order" || m_scenario == "logpath" || m_scenario == "lock") {
            zil::logInfo(L"testapp entry");
            wxLogWarning("testapp wx warning");
            scheduleExit(true);
        } else if (m_scenario == "sigterm" || m_scenario == "veto") {
            // Two frames, one of them also the top window, so it is reachable twice.
            SetTopWindow(showReportingFrame("first", m_scenario == "veto"));
            showReportingFrame("second", false);
            setOverrideExitCodes(m_arg);
            m_watch.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
                report(std::string("exitScheduled=") + (isExitScheduled() ? "1" : "0"));
            });
            report("ready");
            m_watch.Start(100);
        } else if (m_scenario == "loopcode") {
            // The loop's own result, which an override replaces.
            setOverrideExitCodes(m_arg);
            wxEventLoopBase::GetActive()->ScheduleExit(3);
        } else if (m_scenario == "stuckthread") {
            // A worker that never looks at its stop request.
            class CStuckThread : public zil::CThread {
            protected:
                void run() override { zil::CThread::sleep(60000); }
            };
            zil::P<zil::CThread> thread(new CStuckThread());
            thread->start();
            thread->detach();
            scheduleExit(true);
        } else if (m_scenario == "modal") {
            // A modal dialog on the stack of the code waiting for it, as a settings dialog is.
            wxFrame* frame = showReportingFrame("first", false);
            SetTopWindow(frame);
            CallAfter([frame] {
                wxDialog dialog(frame, wxID_ANY, "modal");
                dialog.Bind(wxEVT_INIT_DIALOG, [](wxInitDialogEvent& event) {
                    report("modal open");
                    event.Skip();
                });
                const int result = dialog.ShowModal();
                report("modal returned " + std::to_string(result));
            });
        } else if (m_scenario == "crash") {
            m_timer.Bind(wxEVT_TIMER, [](wxTimerEvent&) {
                report("faulting");
                volatile int* volatile nowhere = nullptr;
                *nowhere = 1;
                report("survived the fault");
            });
            m_next.Bind(wxEVT_TIMER, [](wxTimerEvent&) { report("next event ran"); });
            m_timer.StartOnce(10);
            m_next.StartOnce(200);
        } else if (m_scenario == "throw") {
            m_timer.Bind(wxEVT_TIMER, [](wxTimerEvent&) { throw std::runtime_error("boom in timer"); });
            m_timer.StartOnce(1);
            CallAfter([] { throw std::runtime_error("boom in handler"); });
            CallAfter([this] {
                zil::P<zilui::CAction> action(new zilui::CLambdaAction(
                    [] { throw zil::CError(L"action failed"); }, true));
                action->post();
                m_next.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
                    report("still running");
                    scheduleExit(true);
                });
                m_next.StartOnce(100);
            });
        } else if (m_scenario == "saturate") {
            saturate();
        } else if (m_scenario == "locale") {
            // The argument, if any, is a catalogue folder with the domain "zilui-langtest".
            if (!m_arg.empty()) {
                setLangPath(zil::Path(zil::String(m_arg)));
                addRequiredTranslationDomain(L"zilui-langtest");
            }
            // The system may lack a German C locale; the application's locale exists anyway.
            initLocale(wxLANGUAGE_GERMAN);
            report("isoLangID=" + getLocaleISOLangID().toUTF8());
            report("Open=" + zilui::translate(L"file#||#Open").toUTF8());
            scheduleExit(true);
        }
    }

private:
    // 16 producers keep the queue full while a 10 ms timer repaints a frame. Once the timer has
    // ticked 30 times and the frame was painted 10 times, each time with the queue at least half
    // full, the exit is scheduled, and it has to end the loop while the producers go on filling
    // the queue. A timer, paint or exit starved by the queue never gets there: the test sees a hang.
    void saturate()
    {
        const auto full = [] { return g_queuedActions.load() >= kFullQueue / 2; };
        auto* frame = new wxFrame(nullptr, wxID_ANY, "saturated");
        frame->Bind(wxEVT_PAINT, [this, frame, full](wxPaintEvent&) {
            wxPaintDC(frame).DrawLine(0, 0, 10, 10);
            m_paints += full() ? 1 : 0;
        });
        SetTopWindow(frame);
        frame->Show();
        for (int i = 0; i < 16; ++i) {
            zil::P<zil::CThread> producer(new CProducer());
            producer->start();
            producer->detach();
        }
        m_timer.Bind(wxEVT_TIMER, [this, frame, full](wxTimerEvent&) {
            m_fullestQueue = std::max(m_fullestQueue, g_queuedActions.load());
            m_ticks += full() ? 1 : 0;
            frame->Refresh();
            if (m_ticks < 30 || m_paints < 10)
                return;
            m_timer.Stop();
            report("ticks=" + std::to_string(m_ticks) + " paints=" + std::to_string(m_paints) +
                   " fullest=" + std::to_string(m_fullestQueue));
            scheduleExit(true);
        });
        m_timer.Start(10);
    }

    std::string m_scenario;
    std::string m_arg;
    wxTimer m_timer;
    wxTimer m_next;
    wxTimer m_watch;
    int m_ticks = 0;
    int m_paints = 0;
    int m_fullestQueue = 0;
};

} // namespace

// Set here rather than through wxIMPLEMENT_APP, whose wxGetApp() nothing calls (clang warns).
int main(int argc, char** argv)
{
    wxApp::SetInstance(new TestApp());
    return wxEntry(argc, argv);
}
