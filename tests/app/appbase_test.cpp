// SPDX-License-Identifier: MIT
// CAppBase as a whole process: zilui-testapp is started as a child for each case, and what it
// did is read from its report file, its standard error, its log file and its exit code.
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
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using zil::Path;
using zil::String;

namespace {

// Generous: only there to turn a hang into a failure.
constexpr int kHangMs = 20000;

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int countOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// True when one line of an XML log holds an entry of `level` whose text is `text`.
bool hasLogEntry(const std::string& log, const std::string& level, const std::string& text)
{
    for (const std::string& line : splitLines(log)) {
        if (line.find("level=\"" + level + "\"") != std::string::npos &&
            line.find(">" + text + "</entry>") != std::string::npos)
            return true;
    }
    return false;
}

// One run of zilui-testapp with a private report file, standard error file and
// XDG_STATE_HOME. A child still running when the run goes is killed.
class CTestAppRun {
public:
    CTestAppRun(const std::string& scenario, const std::string& arg = std::string(),
                const std::string& lockMode = std::string())
    {
        zil::TMap<String, String> environment;
        environment[L"ZILUI_TESTAPP_SCENARIO"] = String::fromUTF8(scenario);
        environment[L"ZILUI_TESTAPP_REPORT"] = String::fromUTF8(reportPath());
        environment[L"ZILUI_TESTAPP_ARG"] = String::fromUTF8(arg);
        environment[L"XDG_STATE_HOME"] = String::fromUTF8(stateHome());
        if (!lockMode.empty())
            environment[L"ZILUI_TESTAPP_LOCK"] = String::fromUTF8(lockMode);
        zil::CExecCommand command(L"/bin/sh");
        command.addArgument(L"-c")
            .addArgument(L"exec \"$0\" 2>\"$1\"")
            .addArgument(String::fromUTF8(ZILUI_TESTAPP_PATH))
            .addArgument(String::fromUTF8(folder() + "/stderr.txt"))
            .setEnvironment(environment);
        m_process = zil::execAsync(command);
    }
    ~CTestAppRun()
    {
        if (m_process && !m_process->wait(0)) {
            m_process->kill(SIGKILL);
            m_process->wait(kHangMs);
        }
    }
    CTestAppRun(const CTestAppRun&) = delete;
    CTestAppRun& operator=(const CTestAppRun&) = delete;

    std::string folder() const { return m_folder.path().str().toUTF8(); }
    std::string stateHome() const { return folder() + "/state"; }
    std::string reportPath() const { return folder() + "/report.txt"; }
    std::vector<std::string> report() const { return splitLines(readText(reportPath())); }
    int reportCount(const std::string& line) const
    {
        const std::vector<std::string> lines = report();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    // The value of the first report line "<key>=<value>".
    std::string reported(const std::string& key) const
    {
        for (const std::string& line : report()) {
            if (line.rfind(key + "=", 0) == 0)
                return line.substr(key.size() + 1);
        }
        ADD_FAILURE() << "no report line " << key << "=";
        return std::string();
    }
    std::string errors() const { return readText(folder() + "/stderr.txt"); }
    bool isRunning() { return m_process->isRunning(); }
    void kill(int signal) { m_process->kill(signal); }

    // Waits until the report holds `line` at least `count` times; false on a timeout or
    // when the child ended first.
    bool waitForLine(const std::string& line, int count = 1)
    {
        for (int waited = 0; waited < kHangMs; waited += 20) {
            if (reportCount(line) >= count)
                return true;
            if (!isRunning())
                return reportCount(line) >= count;
            zil::CThread::sleep(20);
        }
        return false;
    }
    // The exit code; -1 after killing a child that did not end in time.
    int finish()
    {
        if (!m_process->wait(kHangMs)) {
            ADD_FAILURE() << "the test application hangs; report:\n" << readText(reportPath());
            m_process->kill(SIGKILL);
            m_process->wait(kHangMs);
            return -1;
        }
        return m_process->getExitCode();
    }

private:
    zil::test::CTempFolder m_folder;
    zil::P<zil::CProcess> m_process;
};

} // namespace

TEST(AppBaseProcess, StartsUpInOrderAndCallsOnStartedInTheLoop)
{
    CTestAppRun run("order");
    EXPECT_EQ(run.finish(), 0) << run.errors();
    std::vector<std::string> steps = run.report();
    steps.erase(std::remove_if(steps.begin(), steps.end(),
                               [](const std::string& line) { return line.find("Path=") != std::string::npos; }),
                steps.end());
    const std::vector<std::string> expected = {
        "OnInit", "initSystemSignalHandlers", "initCustomGlobalConfig", "initResourceHandlers", "initPaths",
        "initLogging", "initCrashHandler", "initCustomAppFramework", "initLocale", "initResources",
        "OnInit returned true", "onStarted inLoop=1 mainThread=1", "OnRun returned 0"};
    EXPECT_EQ(steps, expected);
    const Path shared = zilui::CAppBase::findSharedAppFilesPath(Path(String::fromUTF8(ZILUI_TESTAPP_PATH)));
    EXPECT_EQ(run.reported("resourcesPath"), (shared / Path(L"res")).str().toUTF8());
}

TEST(AppBaseProcess, ExitCodeComesFromTheOverrideOrTheLoop)
{
    const struct {
        const char* scenario;
        const char* overrides;
        int expected;
    } cases[] = {
        {"exit-early", "", 0}, {"exit-early", "5", 5}, {"exit-early", "5,-1", 0},
        {"loopcode", "", 3},   {"loopcode", "7", 7},   {"loopcode", "7,-1", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + " " + c.overrides);
        CTestAppRun run(c.scenario, c.overrides);
        EXPECT_EQ(run.finish(), c.expected) << run.errors();
        const std::string onRun = "OnRun returned " + std::to_string(c.expected);
        EXPECT_EQ(run.reportCount(onRun), 1);
        if (std::string(c.scenario) != "exit-early")
            continue;
        // Nothing after the signal handlers: no paths, no log (though it has a file name), no loop.
        const std::vector<std::string> expected = {"OnInit", "initSystemSignalHandlers", "OnInit returned true",
                                                   "resourcesPath=", onRun};
        EXPECT_EQ(run.report(), expected);
        EXPECT_FALSE(zil::pathExists(Path(String::fromUTF8(run.stateHome() + "/zilui-testapp"))));
    }
}

TEST(AppBaseProcess, LogFileInTheStateFolderOrAtAnAbsolutePath)
{
    zil::test::CTempFolder elsewhere;
    const std::string absolute = elsewhere.path().str().toUTF8() + "/sub/abs.log";
    for (const std::string& name : {std::string("app.log"), absolute}) {
        SCOPED_TRACE(name);
        CTestAppRun run("logpath", name);
        EXPECT_EQ(run.finish(), 0) << run.errors();
        const std::string expectedPath = name == absolute ? absolute : run.stateHome() + "/zilui-testapp/app.log";
        EXPECT_EQ(run.reported("logFilePath"), expectedPath);
        const std::string log = readText(expectedPath);
        EXPECT_TRUE(hasLogEntry(log, "info", "testapp entry")) << log;
        EXPECT_TRUE(hasLogEntry(log, "warning", "testapp wx warning")) << log;
        EXPECT_TRUE(hasLogEntry(log, "info", "App exiting. Stopping all threads.")) << log;
        EXPECT_TRUE(hasLogEntry(log, "info", "All threads stopped.")) << log;
    }
}

// A thread that ignores its stop request must not hold the exit up past the limit.
TEST(AppBaseProcess, ThreadIgnoringStopIsReportedAndTheExitGoesOn)
{
    CTestAppRun run("stuckthread");
    EXPECT_EQ(run.finish(), 0) << run.errors();
    EXPECT_NE(run.errors().find("not all threads could be stopped"), std::string::npos) << run.errors();
    const std::string log = readText(run.stateHome() + "/zilui-testapp/app.log");
    EXPECT_TRUE(hasLogEntry(log, "warning", "Not all threads could be stopped.")) << log;
    EXPECT_FALSE(hasLogEntry(log, "info", "All threads stopped.")) << log;
}

TEST(AppBaseProcess, LogFileLockedByAnotherProcess)
{
    const struct {
        const char* mode;
        bool failureReported; // the global log's create failure on standard error
        bool releaseLock;
    } cases[] = {{"", true, false}, {"nowhere", false, false}, {"wait", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("mode '") + c.mode + "'");
        zil::test::CTempFolder folder;
        const std::string path = folder.path().str().toUTF8() + "/locked.log";
        zil::P<zil::CXMLLog> holder(new zil::CXMLLog(String::fromUTF8(path), nullptr, true, 0, false, true));
        CTestAppRun run("lock", path, c.mode);
        if (c.releaseLock) {
            EXPECT_TRUE(run.waitForLine("lock attempt 0"));
            holder->close();
        }
        EXPECT_EQ(run.finish(), 0) << run.errors();
        EXPECT_EQ(run.reportCount("lock attempt 0"), 1);
        if (!c.releaseLock) {
            EXPECT_EQ(run.reportCount("lock attempt 1"), 0);
        }
        EXPECT_EQ(run.reportCount("onStarted inLoop=1 mainThread=1"), 1);
        const std::string errors = run.errors();
        EXPECT_EQ(countOf(errors, "Cannot create the log, logging nowhere"), c.failureReported ? 1 : 0) << errors;
        if (c.failureReported) {
            EXPECT_NE(errors.find("is in use by another log"), std::string::npos) << errors;
        }
        const std::string log = readText(path);
        if (c.releaseLock) {
            EXPECT_TRUE(hasLogEntry(log, "info", "testapp entry")) << log;
            EXPECT_TRUE(hasLogEntry(log, "info", "App exiting. Stopping all threads.")) << log;
        } else {
            EXPECT_EQ(log, "");
        }
    }
}

TEST(AppBaseProcess, SigtermClosesEveryWindowOnce)
{
    for (const std::string& overrideCode : {std::string(), std::string("9")}) {
        SCOPED_TRACE("override '" + overrideCode + "'");
        CTestAppRun run("sigterm", overrideCode);
        ASSERT_TRUE(run.waitForLine("ready")) << run.errors();
        run.kill(SIGTERM);
        EXPECT_EQ(run.finish(), overrideCode.empty() ? 0 : 9) << run.errors();
        EXPECT_EQ(run.reportCount("first close accepted"), 1);
        EXPECT_EQ(run.reportCount("second close accepted"), 1);
        EXPECT_EQ(run.reportCount("OnRun returned " + std::string(overrideCode.empty() ? "0" : "9")), 1);
    }
}

// Closing the dialog's parent under a running modal loop would free the dialog twice.
TEST(AppBaseProcess, SigtermWhileAModalDialogIsOpenEndsTheDialogFirst)
{
    CTestAppRun run("modal");
    ASSERT_TRUE(run.waitForLine("modal open")) << run.errors();
    run.kill(SIGTERM);
    EXPECT_EQ(run.finish(), 0) << run.errors();
    EXPECT_EQ(run.reportCount("modal returned " + std::to_string(wxID_CANCEL)), 1);
    EXPECT_EQ(run.reportCount("first close accepted"), 1);
}

TEST(AppBaseProcess, VetoedSigtermKeepsTheAppRunning)
{
    CTestAppRun run("veto");
    ASSERT_TRUE(run.waitForLine("ready")) << run.errors();
    run.kill(SIGTERM);
    ASSERT_TRUE(run.waitForLine("first close vetoed")) << run.errors();
    // The watch timer keeps reporting after the veto: the loop still runs, no exit pending.
    const int before = run.reportCount("exitScheduled=0");
    EXPECT_TRUE(run.waitForLine("exitScheduled=0", before + 3));
    EXPECT_TRUE(run.isRunning());
    EXPECT_EQ(run.reportCount("exitScheduled=1"), 0);
    EXPECT_EQ(run.reportCount("first close vetoed"), 1);
    EXPECT_EQ(run.reportCount("second close accepted"), 0);
    run.kill(SIGKILL);
    EXPECT_EQ(run.finish(), 128 + SIGKILL);
}

TEST(AppBaseProcess, MachineFaultInAHandlerEndsTheProcessAtTheNextEvent)
{
    CTestAppRun run("crash");
    EXPECT_EQ(run.finish(), 121) << run.errors();
    EXPECT_EQ(run.reportCount("faulting"), 1);
    EXPECT_EQ(run.reportCount("survived the fault"), 0);
    EXPECT_EQ(run.reportCount("next event ran"), 0);
    EXPECT_NE(run.errors().find("Fatal error: The application experienced a serious problem"), std::string::npos)
        << run.errors();
}

TEST(AppBaseProcess, ExceptionsFromHandlersAreReportedAndTheAppGoesOn)
{
    CTestAppRun run("throw");
    EXPECT_EQ(run.finish(), 0) << run.errors();
    EXPECT_EQ(run.reportCount("still running"), 1);
    const std::string errors = run.errors();
    for (const char* line : {"Error: boom in timer\n", "Error: boom in handler\n", "Fatal error: action failed\n"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(countOf(errors, line), 1) << errors;
    }
}

TEST(AppBaseProcess, MissingResourceStopsTheStartUp)
{
    CTestAppRun run("badres");
    EXPECT_NE(run.finish(), 0);
    EXPECT_EQ(run.reportCount("OnInit returned false"), 1);
    for (const std::string& line : run.report()) {
        EXPECT_EQ(line.rfind("onStarted", 0), std::string::npos);
        EXPECT_EQ(line.rfind("OnRun", 0), std::string::npos);
    }
    const std::string resources = run.reported("resourcesPath");
    EXPECT_FALSE(resources.empty());
    const std::string errors = run.errors();
    EXPECT_NE(errors.find("CAppBase::initResources failed (path: " + resources + "): Cannot load resource"),
              std::string::npos)
        << errors;
}

TEST(AppBase, FindSharedAppFilesPath)
{
    char cwd[PATH_MAX];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    // From the working folder up to the file system root, to make a relative path to anywhere.
    std::string up;
    for (const char* c = cwd; *c; ++c)
        up += *c == '/' ? "../" : "";

    const struct {
        bool res;
        bool lang;
        bool inBin;
    } cases[] = {{true, false, true}, {false, true, true}, {true, true, true}, {false, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("res ") + (c.res ? "1" : "0") + " lang " + (c.lang ? "1" : "0"));
        zil::test::CTempFolder folder;
        const std::string root = folder.path().str().toUTF8();
        zil::ensureFolderExists(Path(String::fromUTF8(root + "/bin/x64")));
        if (c.res)
            zil::ensureFolderExists(Path(String::fromUTF8(root + "/bin/res")));
        if (c.lang)
            zil::ensureFolderExists(Path(String::fromUTF8(root + "/bin/lang")));
        const std::string expected = c.inBin ? root + "/bin" : root;
        for (const std::string& executable :
             {root + "/bin/x64/app", root + "/bin/x64/./app", root + "/bin/./x64/../x64/app",
              up + root.substr(1) + "/bin/x64/app", up + root.substr(1) + "/bin/x64/./app"}) {
            SCOPED_TRACE(executable);
            EXPECT_EQ(zilui::CAppBase::findSharedAppFilesPath(Path(String::fromUTF8(executable))).str().toUTF8(),
                      expected);
        }
    }
}
