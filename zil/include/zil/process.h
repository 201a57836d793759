// SPDX-License-Identifier: MIT
#pragma once

#include "zil/containers.h"
#include "zil/object.h"
#include "zil/string.h"

#include <csignal>
#include <cstdint>
#include <memory>

namespace zil {

// What to run: an executable and its arguments, passed to the child as an argument vector.
// Nothing here is ever interpreted by a shell.
class CExecCommand {
public:
    CExecCommand() = default;
    explicit CExecCommand(const String& executable) : m_executable(executable) {}

    // A name without '/' is looked up in PATH when the command starts: the PATH of the
    // command's environment additions if they set one, else the PATH of this process. A
    // relative path with '/' is taken from the working folder, as a shell would after cd.
    CExecCommand& setExecutable(const String& executable);
    const String& getExecutable() const { return m_executable; }

    CExecCommand& addArgument(const String& argument);
    CExecCommand& setArguments(TArray<String> arguments);
    const TArray<String>& getArguments() const { return m_arguments; }

    // For display and logs only: every part that needs it is quoted the way a POSIX shell
    // would read it back ('it'\''s'), the rest stays as it is.
    String getCommandLine() const;
    // The arguments alone, quoted the same way.
    String getCommandLineParams() const;

    // Empty: the child starts in the current folder of this process.
    CExecCommand& setWorkingFolder(const String& folder);
    const String& getWorkingFolder() const { return m_workingFolder; }

    // Variables set for the child on top of the environment it inherits from this process;
    // a later call replaces the additions of an earlier one.
    CExecCommand& setEnvironment(TMap<String, String> additions);
    const TMap<String, String>& getEnvironment() const { return m_environment; }

    // Hides the child's console window on systems that open one. Linux opens none, so the
    // flag only travels with the command, letting portable callers keep setting it.
    CExecCommand& setHidden(bool hidden);
    bool isHidden() const { return m_hidden; }

private:
    String m_executable;
    TArray<String> m_arguments;
    String m_workingFolder;
    TMap<String, String> m_environment;
    bool m_hidden = false;
};

// A child process started by execAsync().
//
// Each child has a small waiter thread that blocks in waitpid() and reaps the child as soon
// as it ends, whether or not anyone still holds the CProcess. So releasing a CProcess
// without waiting leaves no zombie, any number of threads may wait at once, and the pid a
// CProcess refers to is never reused while kill() may still send to it. The thread costs
// one thread per running child and ends with the child.
// Should something else reap the child first (SIGCHLD set to SIG_IGN, a waitpid(-1)
// elsewhere), the process still counts as ended, with the exit code -1.
class CProcess : public CBase {
public:
    ~CProcess() override;
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    int64_t getID() const;
    // True once the process has ended and was reaped. timeoutMs -1 waits for ever, 0 only
    // checks.
    bool wait(int timeoutMs = -1);
    bool isRunning() { return !wait(0); }
    // The exit status, or 128 + the signal number for a process killed by a signal, as a
    // shell reports it. Throws CError "Process still running" before the end.
    int getExitCode();
    // Sends `signal`; a process that has already ended is left alone.
    void kill(int signal = SIGTERM);

    // Absolute path of the running executable, from /proc/self/exe.
    static String getOwnExecutablePath();
    static int64_t getOwnID();

    // Shared with the waiter thread; defined in process.cpp.
    struct CState;

private:
    friend P<CProcess> execAsyncRedirected(const CExecCommand& command, int inputFD, int errorFD);

// As execAsync(), with the child's standard input and standard error taken from the given
// descriptors instead of ours (-1 keeps ours); standard output stays ours.
P<CProcess> execAsyncRedirected(const CExecCommand& command, int inputFD, int errorFD);

// The absolute path execAsync() would run for the command, found as it would find it.
// Throws its start error (with "commandLine") when there is no such executable.
String findExecutable(const CExecCommand& command);
    explicit CProcess(std::shared_ptr<CState> state);

    std::shared_ptr<CState> m_state;
};

// Starts the command as a child process (fork and exec, never through a shell). The child
// gets the command's working folder and environment, signal dispositions reset to the
// defaults, an empty signal mask, and no file descriptor of ours other than 0, 1 and 2.
// Failing to start it (missing executable, no permission, bad working folder) throws
// CError "Cannot start '<executable>': <system text>" with the properties "func",
// "commandLine" and "lastSysError"; an exec failure never shows up as an exit code 127.
P<CProcess> execAsync(const CExecCommand& command);

// As execAsync(), with the child's standard input and standard error taken from the given
// descriptors instead of ours (-1 keeps ours); standard output stays ours.
P<CProcess> execAsyncRedirected(const CExecCommand& command, int inputFD, int errorFD);

// The absolute path execAsync() would run for the command, found as it would find it.
// Throws its start error (with "commandLine") when there is no such executable.
String findExecutable(const CExecCommand& command);

// Starts the command fully detached: through an intermediate child that starts it in a new
// session and exits at once, so it is a child of init (or the nearest subreaper), outlives
// us, never becomes our zombie and gets no terminal signals meant for us. Start failures
// throw as in execAsync().
void execDisconnected(const CExecCommand& command);

// Opens a file or URI with the desktop's default application through `xdg-open`, found in
// PATH, detached. A relative file name that starts with '-' is passed as "./<name>" so that
// xdg-open cannot read it as an option. Throws CError "No program to open '<arg>' with
// (xdg-open not found)" when PATH has no xdg-open.
void openWithDefaultApp(const String& fileOrURI);

} // namespace zil
