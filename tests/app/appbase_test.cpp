// SPDX-License-Identifier: MIT
// CAppBase as a whole process: zilui-testapp runs as a child for each case, and what it did is
// read from its report file, its standard error, its log file and its exit code.
#include "app/apptestutil.h"
#include "zil/temp_folder.h"

#include <zilui/app/appbase.h>

#include <zil/log.h>
#include <zil/process.h>
#include <zil/thread.h>

#include <gtest/gtest.h>

#include <wx/defs.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using zil::Path;
using zil::String;
using zil::test::countOf;

namespace {

constexpr int kHangMs = zilui::test::kChildHangMs;

std::string readText(const std::string& path)
{
    return zilui::test::readFile(Path(String::fromUTF8(path)));
}

// True when an XML log holds an entry of `level` whose text is `text`.
bool hasLogEntry(const std::string& log, const std::string& level, const std::string& text)
{
    return std::regex_search(log, std::regex("level=\"" + level + "\"[^\n]*>" + text + "</entry>"));
}

// One run of zilui-testapp with a private report file, standard error and XDG_STATE_HOME; a
// child still running when the run goes is killed.
struct CTestAppRun {
    explicit CTestAppRun(const std::string& scenario, const std::string& arg = "",
                         const std::string& lock = "")
    {
        zil::CExecCommand command(L"/bin/sh");
        command.setArguments({L"-c", L"exec \"$0\" 2>\"$1\"", String::fromUTF8(ZILUI_TESTAPP_PATH),
                              String::fromUTF8(folder + "/stderr.txt")})
            .setEnvironment({{L"ZILUI_TESTAPP_SCENARIO", String::fromUTF8(scenario)},
                             {L"ZILUI_TESTAPP_REPORT", String::fromUTF8(folder + "/report.txt")},
                             {L"ZILUI_TESTAPP_ARG", String::fromUTF8(arg)},
                             {L"ZILUI_TESTAPP_LOCK", String::fromUTF8(lock)},
                             {L"XDG_STATE_HOME", String::fromUTF8(folder + "/state")}});
        process = zil::execAsync(command);
    }
    ~CTestAppRun()
    {
        if (process->isRunning())
            process->kill(SIGKILL);
        process->wait(kHangMs);
    }

    std::string appFolder() const { return folder + "/state/zilui-testapp"; }
    std::string errors() const { return readText(folder + "/stderr.txt"); }
    int count(const std::string& line) const // of report lines equal to `line`
    {
        std::istringstream in(readText(folder + "/report.txt"));
        int count = 0;
        for (std::string text; std::getline(in, text);)
            count += text == line ? 1 : 0;
        return count;
    }
    // Waits until the report holds `line` `times` times; false on a timeout or an early end.
    bool waitForLine(const std::string& line, int times = 1)
    {
        for (int waited = 0; waited < kHangMs && process->isRunning() && count(line) < times; waited += 20)
            zil::CThread::sleep(20);
        return count(line) >= times;
    }
    // The exit code; -1 for a child that hangs.
    int finish()
    {
        if (process->wait(kHangMs))
            return process->getExitCode();
        ADD_FAILURE() << "the test application hangs; report:\n" << readText(folder + "/report.txt");
        return -1;
    }

    zil::test::CTempFolder temp;
    std::string folder = temp.path().str().toUTF8();
    zil::P<zil::CProcess> process;
};

} // namespace

// The report says what ran, in order; the whole of it also shows what did not run.
TEST(AppBaseProcess, RunsToItsEndWithTheExpectedStepsExitCodeAndErrors)
{
    const Path shared = zilui::CAppBase::findSharedAppFilesPath(Path(String::fromUTF8(ZILUI_TESTAPP_PATH)));
    const std::string resPath = (shared / Path(L"res")).str().toUTF8();
    const std::string init =
        "OnInit\ninitSystemSignalHandlers\ninitCustomGlobalConfig\ninitResourceHandlers\n"
        "initPaths\ninitLogging\nlogFilePath=\ninitCrashHandler\ninitCustomAppFramework\n"
        "initLocale\ninitResources\n";
    const std::string ran =
        init + "OnInit returned true\nresourcesPath=" + resPath + "\nonStarted inLoop=1 mainThread=1\n";
    // exit-early schedules the exit in initSystemSignalHandlers: no paths, no log, no loop.
    const std::string early =
        "OnInit\ninitSystemSignalHandlers\nOnInit returned true\nresourcesPath=\nOnRun returned ";
    // Override codes are set in turn: "5,-1" sets 5, then clears it; loopcode's loop returns 3.
    const struct {
        const char* scenario;
        const char* arg;
        int code;
        std::string report;
        std::vector<std::string> errors; // each once on standard error
    } cases[] = {
        // clang-format off
        {"order", "", 0, ran + "OnRun returned 0\n", {}},
        {"exit-early", "", 0, early + "0\n", {}},
        {"exit-early", "5", 5, early + "5\n", {}},
        {"exit-early", "5,-1", 0, early + "0\n", {}},
        {"loopcode", "", 3, ran + "OnRun returned 3\n", {}},
        {"loopcode", "7", 7, ran + "OnRun returned 7\n", {}},
        {"loopcode", "7,-1", 3, ran + "OnRun returned 3\n", {}},
        {"throw", "", 0, ran + "still running\nOnRun returned 0\n",
         {"Error: boom in timer\n", "Error: boom in handler\n", "Fatal error: action failed\n"}},
        // A machine fault in a handler ends the process at the next event.
        {"crash", "", 121, ran + "faulting\n", {"Fatal error: The application experienced a serious problem"}},
        {"badres", "", 255, init + "OnInit returned false\nresourcesPath=" + resPath + "\n",
         {"CAppBase::initResources failed (path: " + resPath + "): Cannot load resource"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + " " + c.arg);
        CTestAppRun run(c.scenario, c.arg);
        EXPECT_EQ(run.finish(), c.code) << run.errors();
        EXPECT_EQ(readText(run.folder + "/report.txt"), c.report);
        for (const std::string& line : c.errors)
            EXPECT_EQ(countOf(run.errors(), line), 1) << run.errors();
        if (std::string(c.scenario) == "exit-early") { // it has a log file name, yet no folder
            EXPECT_FALSE(zil::pathExists(Path(String::fromUTF8(run.appFolder()))));
        }
    }
}

TEST(AppBaseProcess, LogFileInTheStateFolderOrAtAnAbsolutePathAndAStuckThreadDoesNotHoldTheExitUp)
{
    zil::test::CTempFolder elsewhere;
    const std::string absolute = elsewhere.path().str().toUTF8() + "/sub/abs.log";
    // stuckthread: a thread that ignores its stop request, left behind past the limit.
    for (const std::string& name : {std::string("app.log"), absolute, std::string()}) {
        SCOPED_TRACE(name);
        const bool stuck = name.empty();
        CTestAppRun run(stuck ? "stuckthread" : "logpath", name);
        EXPECT_EQ(run.finish(), 0) << run.errors();
        const std::string path = name == absolute ? absolute : run.appFolder() + "/app.log";
        EXPECT_EQ(run.count("logFilePath=" + path), 1);
        const std::string log = readText(path);
        EXPECT_EQ(hasLogEntry(log, "info", "testapp entry"), !stuck) << log;
        EXPECT_EQ(hasLogEntry(log, "warning", "testapp wx warning"), !stuck) << log;
        EXPECT_TRUE(hasLogEntry(log, "info", "App exiting. Stopping all threads.")) << log;
        EXPECT_EQ(hasLogEntry(log, "info", "All threads stopped."), !stuck) << log;
        EXPECT_EQ(hasLogEntry(log, "warning", "Not all threads could be stopped."), stuck) << log;
        EXPECT_EQ(countOf(run.errors(), "not all threads could be stopped"), stuck ? 1 : 0) << run.errors();
    }
}

TEST(AppBaseProcess, LogFileLockedByAnotherProcess)
{
    // handleLogLockingError: 0 gives up (reported), -1 logs nowhere, 1 retries until released.
    for (const std::string mode : {"", "nowhere", "wait"}) {
        SCOPED_TRACE("mode '" + mode + "'");
        zil::test::CTempFolder folder;
        const std::string path = folder.path().str().toUTF8() + "/locked.log";
        zil::P<zil::CXMLLog> holder(new zil::CXMLLog(String::fromUTF8(path), nullptr, true, 0, false, true));
        CTestAppRun run("lock", path, mode);
        if (mode == "wait") {
            EXPECT_TRUE(run.waitForLine("lock attempt 0"));
            holder->close();
        }
        EXPECT_EQ(run.finish(), 0) << run.errors();
        EXPECT_EQ(run.count("lock attempt 0"), 1);
        EXPECT_TRUE(mode == "wait" || run.count("lock attempt 1") == 0);
        EXPECT_EQ(run.count("onStarted inLoop=1 mainThread=1"), 1);
        const std::string errors = run.errors();
        EXPECT_EQ(countOf(errors, "Cannot create the log, logging nowhere"), mode.empty() ? 1 : 0) << errors;
        EXPECT_EQ(countOf(errors, "is in use by another log") > 0, mode.empty()) << errors;
        const std::string log = readText(path);
        EXPECT_EQ(hasLogEntry(log, "info", "testapp entry"), mode == "wait") << log;
        EXPECT_EQ(hasLogEntry(log, "info", "App exiting. Stopping all threads."), mode == "wait") << log;
    }
}

// "modal": closing the dialog's parent under a running modal loop would free the dialog twice.
TEST(AppBaseProcess, SigtermClosesEveryWindowOnceAlsoWithAModalDialogOpen)
{
    const std::string modalEnd = "modal returned " + std::to_string(wxID_CANCEL);
    const struct {
        const char* scenario;
        const char* overrideCode;
        const char* ready;
        int code;
        std::string once; // besides the first window's close, once
    } cases[] = {{"sigterm", "", "ready", 0, "second close accepted"},
                 {"sigterm", "9", "ready", 9, "second close accepted"},
                 {"modal", "", "modal open", 0, modalEnd}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + " " + c.overrideCode);
        CTestAppRun run(c.scenario, c.overrideCode);
        ASSERT_TRUE(run.waitForLine(c.ready)) << run.errors();
        run.process->kill(SIGTERM);
        EXPECT_EQ(run.finish(), c.code) << run.errors();
        EXPECT_EQ(run.count("first close accepted"), 1);
        EXPECT_EQ(run.count(c.once), 1);
        EXPECT_EQ(run.count("OnRun returned " + std::to_string(c.code)), 1);
    }
}

TEST(AppBaseProcess, VetoedSigtermKeepsTheAppRunning)
{
    CTestAppRun run("veto");
    ASSERT_TRUE(run.waitForLine("ready")) << run.errors();
    run.process->kill(SIGTERM);
    ASSERT_TRUE(run.waitForLine("first close vetoed")) << run.errors();
    // The watch timer goes on reporting: the loop still runs, with no exit pending.
    EXPECT_TRUE(run.waitForLine("exitScheduled=0", run.count("exitScheduled=0") + 3));
    EXPECT_EQ(run.count("exitScheduled=1") + run.count("second close accepted"), 0);
    EXPECT_EQ(run.count("first close vetoed"), 1);
    EXPECT_TRUE(run.process->isRunning());
}

// 16 threads keep about 20,000 actions queued: the GUI thread's 10 ms timer still ticks and its
// frame still repaints while the queue is full (the application exits once it has seen both, a
// starved timer is a hang), and the exit ends the loop though the queue never empties, freeing
// what was queued.
TEST(AppBaseProcess, FullActionQueueLeavesTimersPaintAndTheExitTheirTurn)
{
    CTestAppRun run("saturate");
    EXPECT_EQ(run.finish(), 0) << run.errors();
    const std::string report = readText(run.folder + "/report.txt");
    std::smatch turns, exit;
    ASSERT_TRUE(std::regex_search(report, turns, std::regex("ticks=(\\d+) paints=(\\d+) fullest=(\\d+)\n")))
        << report;
    EXPECT_GE(std::stoi(turns[3]), 10000) << report; // the queue was full indeed
    ASSERT_TRUE(std::regex_search(report, exit, std::regex("alive=(\\d+)\n"))) << report;
    EXPECT_EQ(exit[1], "0") << report;
}

TEST(AppBase, FindSharedAppFilesPath)
{
    char cwd[PATH_MAX];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    std::string up; // from the working folder up to the root, for a relative path to anywhere
    for (const char* c = cwd; *c; ++c)
        up += *c == '/' ? "../" : "";
    // The folder above the executable's when that has "res" or "lang", else the one above it.
    for (const std::string shared : {"", "res", "lang"}) {
        SCOPED_TRACE(shared);
        zil::test::CTempFolder folder;
        const std::string root = folder.path().str().toUTF8();
        zil::ensureFolderExists(Path(String::fromUTF8(root + "/bin/x64")));
        zil::ensureFolderExists(Path(String::fromUTF8(root + "/bin/" + shared)));
        for (const std::string& executable :
             {root + "/bin/x64/app", root + "/bin/x64/./app", root + "/bin/./x64/../x64/app",
              up + root.substr(1) + "/bin/x64/./app"}) {
            SCOPED_TRACE(executable);
            const Path found = zilui::CAppBase::findSharedAppFilesPath(Path(String::fromUTF8(executable)));
            EXPECT_EQ(found.str().toUTF8(), shared.empty() ? root : root + "/bin");
        }
    }
}
