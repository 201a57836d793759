// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/process.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zil;
using zil::test::CEnvOverride;
using zil::test::CTempFolder;
using zil::test::thrown;

namespace {

constexpr int kHangMs = 10000; // only there to turn a hang into a failure

// Polls until `done` holds; false after the hang limit.
bool eventually(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int runToEnd(const CExecCommand& command)
{
    P<CProcess> process = execAsync(command);
    EXPECT_TRUE(process->wait(kHangMs)) << command.getCommandLine().toUTF8();
    return process->getExitCode();
}

CExecCommand shell(const std::string& script, const CTempFolder* folder = nullptr)
{
    CExecCommand command(L"sh");
    command.addArgument(L"-c").addArgument(String::fromUTF8(script));
    if (folder)
        command.setWorkingFolder(folder->path().str());
    return command;
}

// An executable shell script bin/<name> below `tmp`.
void writeScript(const CTempFolder& tmp, const Path& name, const std::string& body)
{
    ::mkdir(tmp.api(L"bin").c_str(), 0755);
    ::chmod(tmp.writeFile(Path(L"bin") / name, "#!/bin/sh\n" + body + "\n").toAPIPath().c_str(), 0755);
}

} // namespace

TEST(ProcessExitCode, StatusOrSignalAsAShellReportsItAndNoZombieIsLeft)
{
    for (const auto& [script, expected] : {std::pair{"exit 0", 0}, {"exit 7", 7}, {"exit 255", 255},
                                           {"kill -KILL $$", 128 + SIGKILL},
                                           {"kill -TERM $$", 128 + SIGTERM}})
        EXPECT_EQ(runToEnd(shell(script)), expected) << script;
    // A released process is reaped: a zombie keeps /proc/<pid> until someone does.
    const Path stat(L"/proc/" + toString(execAsync(CExecCommand(L"true"))->getID()) + L"/stat");
    EXPECT_TRUE(eventually([&] { return !pathExists(stat); }));
}

// Directly, and pasted from the displayed command line into a shell: the same bytes arrive.
TEST(ProcessArguments, ReachTheChildVerbatimWithoutAShell)
{
    const String nasty[] = {L"; touch x", L"a b  c",    L"it's \"quoted\"", L"$HOME",
                            L"",          L"`touch y`", L"$(touch z)",      L"line\nbreak",
                            L"Grüße €",   L"-n",        L"back\\slash",     L"a'b'c"};
    CExecCommand quoted(L"printf");
    for (const String& argument : nasty)
        quoted.addArgument(argument);
    for (bool pasted : {false, true}) {
        SCOPED_TRACE(pasted ? "pasted" : "direct");
        CTempFolder tmp;
        const std::string params = pasted ? quoted.getCommandLineParams().toUTF8() : "\"$@\"";
        CExecCommand command = shell("printf '%s\\036' " + params + " > out", &tmp);
        if (!pasted) {
            command.addArgument(L"sh"); // $0
            for (const String& argument : nasty)
                command.addArgument(argument);
        }
        ASSERT_EQ(runToEnd(command), 0);

        std::istringstream out(tmp.read(L"out"));
        std::string received;
        for (const String& expected : nasty)
            EXPECT_TRUE(std::getline(out, received, '\036') && received == expected.toUTF8()) << received;
        EXPECT_FALSE(std::getline(out, received, '\036')) << "more arguments than were passed";
        for (const wchar_t* name : {L"x", L"y", L"z"})
            EXPECT_FALSE(pathExists(tmp / name)) << name;
    }
}

TEST(ProcessStart, FailuresThrowNamingTheExecutable)
{
    CTempFolder tmp;
    const String notExecutable = tmp.writeFile(L"plain.txt", "echo hi\n").str();
    const struct {
        String executable, workingFolder;
        int error;
    } cases[] = {{L"zil-no-such-program-4711", L"", ENOENT}, {L"/nonexistent/zil-prog", L"", ENOENT},
                 {notExecutable, L"", EACCES}, {L"sh", L"/nonexistent/folder", ENOENT}};
    for (bool detached : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.executable.toUTF8() + (detached ? " detached" : " async"));
            CExecCommand command(c.executable);
            command.addArgument(L"-c").addArgument(L"exit 0").setWorkingFolder(c.workingFolder);
            const CError e = thrown([&] { detached ? execDisconnected(command) : void(execAsync(command)); });
            EXPECT_TRUE(e.getMessage().StartsWith(L"Cannot start '" + c.executable + L"': ")) << e.what();
            EXPECT_EQ(e.getProp(L"lastSysError"), toString(int64_t(c.error)));
            EXPECT_EQ(e.getProp(L"commandLine"), command.getCommandLine());
        }
    }
    EXPECT_THROW(execAsync(CExecCommand(L"sh").addArgument(String(L"a\0b", 3))), CInvalidArgError);
}

TEST(ProcessWait, TimesOutThenKillEndsItForEveryWaitingThread)
{
    P<CProcess> process = execAsync(CExecCommand(L"sleep").addArgument(L"5"));
    std::atomic<int> ended{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&, i] { ended += process->wait(i % 2 ? -1 : kHangMs); });
    EXPECT_FALSE(process->wait(100));
    EXPECT_TRUE(process->isRunning());
    EXPECT_EQ(thrown([&] { process->getExitCode(); }).getMessage(), String(L"Process still running"));
    process->kill(SIGKILL);
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(ended.load(), 4);
    EXPECT_EQ(process->getExitCode(), 128 + SIGKILL);
    EXPECT_NO_THROW(process->kill(SIGKILL)) << "the pid is gone (or someone else's) now";
}

TEST(ProcessDisconnected, OutlivesTheCallAndIsNotOurChild)
{
    CTempFolder tmp;
    // The child waits for "go", so that what follows sees it running.
    execDisconnected(shell("echo $$ $PPID > info; until [ -e go ]; do sleep 0.01; done; echo done > finished", &tmp));
    ASSERT_TRUE(eventually([&] { return tmp.read(L"info").find('\n') != std::string::npos; }));
    std::istringstream info(tmp.read(L"info"));
    pid_t pid = 0, parent = 0;
    info >> pid >> parent;
    ASSERT_GT(pid, 0);
    EXPECT_NE(parent, ::getpid());
    EXPECT_FALSE(pathExists(tmp / L"finished"));
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_NE(::getsid(pid), ::getsid(0)) << "a hang-up of ours must not reach it";
    tmp.writeFile(L"go", "");
    EXPECT_TRUE(eventually([&] { return tmp.read(L"finished") == "done\n"; }));
}

TEST(ProcessStart, ChildInheritsNoDescriptorsOfOurs)
{
    CTempFolder tmp;
    // Opened without O_CLOEXEC, and moved high so ls's own descriptor cannot hide it.
    const int leaky = ::open(tmp.path().toAPIPath().c_str(), O_RDONLY);
    ASSERT_EQ(::dup2(leaky, 57), 57);
    ::close(leaky);
    for (bool detached : {false, true}) {
        SCOPED_TRACE(detached ? "detached" : "async");
        const String fds = detached ? L"fds-detached" : L"fds";
        const CExecCommand command = shell("ls /proc/self/fd > fds.tmp; mv fds.tmp " + fds.toUTF8(), &tmp);
        detached ? execDisconnected(command) : void(runToEnd(command));
        ASSERT_TRUE(eventually([&] { return pathExists(tmp / fds); }));
        std::istringstream listed(tmp.read(fds));
        for (int fd; listed >> fd;)
            EXPECT_LE(fd, 3) << "0, 1, 2 and the one ls lists with";
    }
    ::close(57);
}

TEST(ProcessStart, WorkingFolderEnvironmentAndPathLookup)
{
    CTempFolder tmp;
    writeScript(tmp, L"zil-helper", "printf '%s|%s|%s' \"$ZIL_ADDED\" \"$ZIL_INHERITED\" \"$HOME\" > env");
    CEnvOverride inherited("ZIL_INHERITED", "from parent");

    // A PATH among the additions decides where the executable is looked up; "env" landing
    // in the folder shows the working folder was used.
    CExecCommand command(L"zil-helper");
    command.setWorkingFolder(tmp.path().str())
        .setEnvironment({{L"ZIL_ADDED", L"va lue;$x"},
                         {L"HOME", L"/elsewhere"},
                         {L"PATH", String::fromUTF8(tmp.api(L"bin") + ":/usr/bin:/bin")}});
    ASSERT_EQ(runToEnd(command), 0);
    EXPECT_EQ(tmp.read(L"env"), "va lue;$x|from parent|/elsewhere");
    command.setEnvironment({}); // now the PATH of this process, without the helper
    EXPECT_THROW(execAsync(command), CError);

    // openWithDefaultApp finds xdg-open in PATH and passes a leading '-' on as a file name.
    writeScript(tmp, L"xdg-open", "printf '%s' \"$1\" > \"$OUT.tmp\"; /bin/mv \"$OUT.tmp\" \"$OUT\"");
    CEnvOverride out("OUT", tmp.api(L"opened").c_str()), path("PATH", tmp.api(L"bin").c_str());
    for (const auto& c :
         {std::pair{L"my file $(touch z).txt", "my file $(touch z).txt"}, {L"-rf", "./-rf"}}) {
        ::unlink(tmp.api(L"opened").c_str());
        openWithDefaultApp(c.first);
        EXPECT_TRUE(eventually([&] { return tmp.read(L"opened") == c.second; })) << tmp.read(L"opened");
    }
    EXPECT_FALSE(pathExists(tmp / L"z"));
    CEnvOverride emptyPath("PATH", tmp.api(L"empty").c_str());
    EXPECT_EQ(thrown([] { openWithDefaultApp(L"a.pdf"); }).getMessage(),
              String(L"No program to open 'a.pdf' with (xdg-open not found)"));
}

TEST(ProcessOwn, ExecutablePathAndID)
{
    const String path = CProcess::getOwnExecutablePath();
    EXPECT_TRUE(path.StartsWith(L"/") && path.EndsWith(L"/zil-tests")) << path.toUTF8();
    EXPECT_EQ(CProcess::getOwnID(), int64_t(::getpid()));
}
