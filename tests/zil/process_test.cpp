// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/process.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <climits>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zil;

namespace {

// Generous: only there to turn a hang into a failure.
constexpr int kHangMs = 10000;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = ::testing::TempDir() + "zil-process-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        char resolved[PATH_MAX];
        m_path = ::realpath(pattern.c_str(), resolved) ? resolved : pattern;
    }
    ~TempDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

bool exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeScript(const std::string& path, const std::string& body)
{
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
}

// Polls for a file a detached child writes; false after the hang timeout.
bool waitForFile(const std::string& path, const std::string& untilContains = std::string())
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (exists(path) && readFile(path).find(untilContains) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == separator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

int runToEnd(const CExecCommand& command)
{
    P<CProcess> process = execAsync(command);
    EXPECT_TRUE(process->wait(kHangMs)) << command.getCommandLine().toUTF8();
    return process->getExitCode();
}

// Sets an environment variable of this process for one test.
class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = ::getenv(name)) {
            m_hadOld = true;
            m_old = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvGuard()
    {
        if (m_hadOld)
            ::setenv(m_name, m_old.c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_hadOld = false;
    std::string m_old;
};

// Arguments a shell would mangle; each must reach the child byte for byte.
const String kNastyArguments[] = {
    L"; touch x",  L"a b  c",    L"it's \"quoted\"", L"$HOME", L"", L"*",
    L"`touch y`",  L"$(touch z)", L"line\nbreak",    L"tab\there", L"Grüße €", L"-n",
    L"back\\slash", L"'", L"a'b'c",
};

} // namespace

TEST(ProcessExitCode, StatusOrSignalAsAShellReportsIt)
{
    const struct {
        const char* script;
        int expected;
    } cases[] = {
        {"exit 0", 0},
        {"exit 7", 7},
        {"exit 255", 255},
        {"kill -KILL $$", 128 + SIGKILL},
        {"kill -TERM $$", 128 + SIGTERM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(runToEnd(CExecCommand(L"sh").addArgument(L"-c").addArgument(c.script)), c.expected);
    }
}

TEST(ProcessArguments, ReachTheChildVerbatimWithoutAShell)
{
    TempDir dir;
    CExecCommand command(L"/bin/sh");
    command.addArgument(L"-c").addArgument(L"printf '%s\\036' \"$@\" > out").addArgument(L"sh");
    for (const String& argument : kNastyArguments)
        command.addArgument(argument);
    command.setWorkingFolder(String::fromUTF8(dir.path()));
    ASSERT_EQ(runToEnd(command), 0);

    const std::vector<std::string> received = split(readFile(dir.file("out")), '\036');
    ASSERT_EQ(received.size(), std::size(kNastyArguments));
    for (size_t i = 0; i < received.size(); ++i) {
        SCOPED_TRACE(kNastyArguments[i].toUTF8());
        EXPECT_EQ(received[i], kNastyArguments[i].toUTF8());
    }
    for (const char* name : {"x", "y", "z"})
        EXPECT_FALSE(exists(dir.file(name))) << name;
}

TEST(ProcessArguments, DisplayedCommandLineReadsBackThroughAShell)
{
    CExecCommand shown(L"my prog");
    shown.addArgument(L"-l").addArgument(L"a b").addArgument(L"it's").addArgument(L"");
    EXPECT_EQ(shown.getCommandLine(), String(L"'my prog' -l 'a b' 'it'\\''s' ''"));
    EXPECT_EQ(CExecCommand(L"ls").getCommandLine(), String(L"ls"));

    // What a user pastes from a log into a shell must give the same arguments.
    TempDir dir;
    CExecCommand quoted(L"printf");
    for (const String& argument : kNastyArguments)
        quoted.addArgument(argument);
    const String script = L"printf '%s\\036' " + quoted.getCommandLineParams() + L" > out";
    ASSERT_EQ(runToEnd(CExecCommand(L"sh")
                           .addArgument(L"-c")
                           .addArgument(script)
                           .setWorkingFolder(String::fromUTF8(dir.path()))),
              0);
    const std::vector<std::string> received = split(readFile(dir.file("out")), '\036');
    ASSERT_EQ(received.size(), std::size(kNastyArguments));
    for (size_t i = 0; i < received.size(); ++i)
        EXPECT_EQ(received[i], kNastyArguments[i].toUTF8()) << i;
    for (const char* name : {"x", "y", "z"})
        EXPECT_FALSE(exists(dir.file(name))) << name;
}

TEST(ProcessStart, FailuresThrowNamingTheExecutable)
{
    TempDir dir;
    const std::string notExecutable = dir.file("plain.txt");
    std::ofstream(notExecutable) << "echo hi\n";
    const struct {
        String executable;
        String workingFolder;
        int error;
    } cases[] = {
        {L"zil-no-such-program-4711", L"", ENOENT},
        {L"/nonexistent/zil-prog", L"", ENOENT},
        {String::fromUTF8(notExecutable), L"", EACCES},
        {L"sh", L"/nonexistent/folder", ENOENT},
    };
    for (bool detached : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.executable.toUTF8() + (detached ? " detached" : " async"));
            CExecCommand command(c.executable);
            command.addArgument(L"-c").addArgument(L"exit 0").setWorkingFolder(c.workingFolder);
            try {
                if (detached)
                    execDisconnected(command);
                else
                    execAsync(command);
                ADD_FAILURE() << "started";
            } catch (const CError& e) {
                EXPECT_TRUE(e.getMessage().StartsWith(L"Cannot start '" + c.executable + L"': "))
                    << e.what();
                EXPECT_EQ(e.getProp(L"lastSysError"), toString(int64_t(c.error)));
                EXPECT_EQ(e.getProp(L"func"), String(detached ? L"execDisconnected" : L"execAsync"));
                EXPECT_EQ(e.getProp(L"commandLine"), command.getCommandLine());
            }
        }
    }
}

TEST(ProcessStart, RejectsWhatCannotBePassedOn)
{
    const CExecCommand cases[] = {
        CExecCommand(),
        CExecCommand(L"sh").addArgument(String(L"a\0b", 3)),
        CExecCommand(L"sh").setEnvironment({{L"A=B", L"x"}}),
        CExecCommand(L"sh").setEnvironment({{L"", L"x"}}),
        CExecCommand(L"sh").setEnvironment({{L"A", String(L"x\0y", 3)}}),
    };
    for (const auto& command : cases) {
        SCOPED_TRACE(command.getCommandLine().toUTF8());
        EXPECT_THROW(execAsync(command), CInvalidArgError);
        EXPECT_THROW(execDisconnected(command), CInvalidArgError);
    }
}

TEST(ProcessWait, TimesOutThenKillEndsIt)
{
    P<CProcess> process = execAsync(CExecCommand(L"sleep").addArgument(L"5"));
    EXPECT_FALSE(process->wait(100));
    EXPECT_TRUE(process->isRunning());
    try {
        process->getExitCode();
        ADD_FAILURE() << "exit code of a running process";
    } catch (const CError& e) {
        EXPECT_EQ(e.getMessage(), String(L"Process still running"));
    }
    EXPECT_THROW(process->kill(100000), CError);
    process->kill(SIGKILL);
    ASSERT_TRUE(process->wait(kHangMs));
    EXPECT_FALSE(process->isRunning());
    EXPECT_EQ(process->getExitCode(), 128 + SIGKILL);
    // The pid is gone (or someone else's) now: nothing may be sent.
    EXPECT_NO_THROW(process->kill(SIGKILL));
    EXPECT_TRUE(process->wait(0));
}

TEST(ProcessWait, SeveralThreadsWaitAtOnce)
{
    P<CProcess> process =
        execAsync(CExecCommand(L"sh").addArgument(L"-c").addArgument(L"sleep 0.3; exit 3"));
    std::atomic<int> ended{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&, i] {
            if (process->wait(i % 2 ? -1 : kHangMs) && process->getExitCode() == 3)
                ++ended;
        });
    }
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(ended.load(), 4);
    for (int again = 0; again < 3; ++again)
        EXPECT_TRUE(process->wait(0));
}

TEST(ProcessWait, ReleasedProcessIsReapedNotLeftAZombie)
{
    int64_t pid;
    {
        P<CProcess> process = execAsync(CExecCommand(L"true"));
        pid = process->getID();
        ASSERT_GT(pid, 0);
    }
    // A zombie keeps /proc/<pid> with state Z until someone reaps it.
    const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangMs);
    while (exists(stat) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(exists(stat)) << readFile(stat);
}

TEST(ProcessDisconnected, OutlivesTheCallAndIsNotOurChild)
{
    TempDir dir;
    execDisconnected(CExecCommand(L"sh")
                         .addArgument(L"-c")
                         .addArgument(L"echo $$ $PPID > info; sleep 0.5; echo done > finished")
                         .setWorkingFolder(String::fromUTF8(dir.path())));
    ASSERT_TRUE(waitForFile(dir.file("info"), "\n"));
    std::istringstream info(readFile(dir.file("info")));
    pid_t pid = 0, parent = 0;
    info >> pid >> parent;
    ASSERT_GT(pid, 0);
    EXPECT_NE(parent, ::getpid());
    EXPECT_FALSE(exists(dir.file("finished")));
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    // Its own session, so a hang-up of ours does not reach it.
    EXPECT_NE(::getsid(pid), ::getsid(0));
    EXPECT_TRUE(waitForFile(dir.file("finished"), "done"));
}

TEST(ProcessStart, ChildInheritsNoDescriptorsOfOurs)
{
    TempDir dir;
    // Opened the careless way, without O_CLOEXEC, and moved high so ls's own fd cannot hide it.
    const int leaky = ::open(dir.path().c_str(), O_RDONLY);
    ASSERT_GE(leaky, 0);
    ASSERT_EQ(::dup2(leaky, 57), 57);
    ::close(leaky);

    for (bool detached : {false, true}) {
        SCOPED_TRACE(detached ? "detached" : "async");
        ::unlink(dir.file("fds").c_str());
        CExecCommand command(L"sh");
        command.addArgument(L"-c")
            .addArgument(L"ls /proc/self/fd > fds.tmp; mv fds.tmp fds")
            .setWorkingFolder(String::fromUTF8(dir.path()));
        if (detached) {
            execDisconnected(command);
            ASSERT_TRUE(waitForFile(dir.file("fds")));
        } else {
            ASSERT_EQ(runToEnd(command), 0);
        }
        std::set<std::string> fds;
        for (const std::string& fd : split(readFile(dir.file("fds")), '\n'))
            fds.insert(fd);
        // 0, 1, 2, and the one ls opens to list the folder.
        EXPECT_LE(fds.size(), 4u);
        for (const std::string& fd : fds)
            EXPECT_LE(std::stoi(fd), 3) << fd;
    }
    ::close(57);
}

TEST(ProcessStart, WorkingFolderEnvironmentAndPathLookup)
{
    TempDir dir;
    ::mkdir(dir.file("bin").c_str(), 0755);
    writeScript(dir.file("bin/zil-helper"),
                "pwd > out; printf '%s|%s|%s' \"$ZIL_ADDED\" \"$ZIL_INHERITED\" \"$HOME\" > env");
    EnvGuard inherited("ZIL_INHERITED", "from parent");

    // PATH among the additions decides where the executable is looked up.
    CExecCommand command(L"zil-helper");
    command.setWorkingFolder(String::fromUTF8(dir.path()))
        .setEnvironment({{L"ZIL_ADDED", L"va lue;$x"},
                         {L"HOME", L"/elsewhere"},
                         {L"PATH", String::fromUTF8(dir.file("bin") + ":/usr/bin:/bin")}});
    ASSERT_EQ(runToEnd(command), 0);
    EXPECT_EQ(readFile(dir.file("out")), dir.path() + "\n");
    EXPECT_EQ(readFile(dir.file("env")), "va lue;$x|from parent|/elsewhere");

    // Without it, the PATH of this process is used, where the helper is not.
    command.setEnvironment({});
    EXPECT_THROW(execAsync(command), CError);
}

TEST(ProcessOpenWithDefaultApp, RunsXdgOpenFromPathOrSaysItIsMissing)
{
    TempDir dir;
    ::mkdir(dir.file("bin").c_str(), 0755);
    ::mkdir(dir.file("empty").c_str(), 0755);
    writeScript(dir.file("bin/xdg-open"), "printf '%s' \"$1\" > \"$ZIL_OPEN_OUT.tmp\"; "
                                          "/bin/mv \"$ZIL_OPEN_OUT.tmp\" \"$ZIL_OPEN_OUT\"");
    EnvGuard out("ZIL_OPEN_OUT", dir.file("opened"));
    const struct {
        const wchar_t* argument;
        const char* received;
    } cases[] = {
        {L"https://example.com/?a=1&b=2;x", "https://example.com/?a=1&b=2;x"},
        {L"my file $(touch z).txt", "my file $(touch z).txt"},
        {L"-rf", "./-rf"},
    };
    {
        EnvGuard path("PATH", dir.file("bin"));
        for (const auto& c : cases) {
            SCOPED_TRACE(c.received);
            ::unlink(dir.file("opened").c_str());
            openWithDefaultApp(c.argument);
            ASSERT_TRUE(waitForFile(dir.file("opened")));
            EXPECT_EQ(readFile(dir.file("opened")), c.received);
        }
    }
    EXPECT_FALSE(exists(dir.file("z")));

    EnvGuard path("PATH", dir.file("empty"));
    try {
        openWithDefaultApp(L"a.pdf");
        ADD_FAILURE() << "opened without xdg-open";
    } catch (const CError& e) {
        EXPECT_EQ(e.getMessage(), String(L"No program to open 'a.pdf' with (xdg-open not found)"));
    }
}

TEST(ProcessOwn, ExecutablePathAndID)
{
    const String path = CProcess::getOwnExecutablePath();
    EXPECT_TRUE(path.StartsWith(L"/")) << path.toUTF8();
    EXPECT_TRUE(path.EndsWith(L"/zil-tests")) << path.toUTF8();
    EXPECT_EQ(CProcess::getOwnID(), int64_t(::getpid()));
}
