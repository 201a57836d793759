// SPDX-License-Identifier: MIT
#include "zil/process.h"

#include "zil/error.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zil {

// ---------------------------------------------------------------------------------------
// CExecCommand

namespace {

bool isShellSafe(wchar_t c)
{
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'))
        return true;
    return std::wcschr(L"_@%+=:,./-", c) != nullptr && c != 0;
}

String quoteForShell(const String& text)
{
    bool safe = !text.isEmpty();
    for (wchar_t c : text)
        safe = safe && isShellSafe(c);
    if (safe)
        return text;
    String quoted(L"'");
    for (wchar_t c : text) {
        if (c == L'\'')
            quoted += L"'\\''";
        else
            quoted += c;
    }
    quoted += L'\'';
    return quoted;
}

} // namespace

CExecCommand& CExecCommand::setExecutable(const String& executable)
{
    m_executable = executable;
    return *this;
}

CExecCommand& CExecCommand::addArgument(const String& argument)
{
    m_arguments.push_back(argument);
    return *this;
}

CExecCommand& CExecCommand::setArguments(TArray<String> arguments)
{
    m_arguments = std::move(arguments);
    return *this;
}

String CExecCommand::getCommandLine() const
{
    String line = quoteForShell(m_executable);
    if (!m_arguments.empty())
        line += L" " + getCommandLineParams();
    return line;
}

String CExecCommand::getCommandLineParams() const
{
    String params;
    for (const String& argument : m_arguments) {
        if (!params.isEmpty())
            params += L' ';
        params += quoteForShell(argument);
    }
    return params;
}

CExecCommand& CExecCommand::setWorkingFolder(const String& folder)
{
    m_workingFolder = folder;
    return *this;
}

CExecCommand& CExecCommand::setEnvironment(TMap<String, String> additions)
{
    m_environment = std::move(additions);
    return *this;
}

CExecCommand& CExecCommand::setHidden(bool hidden)
{
    m_hidden = hidden;
    return *this;
}

// ---------------------------------------------------------------------------------------
// Starting children

namespace {

[[noreturn]] void throwStartError(const String& func, const CExecCommand& command, int error)
{
    CProps props;
    props.set(L"commandLine", command.getCommandLine());
    throwSysError(func, L"Cannot start '" + command.getExecutable() + L"'", props, error);
}

// Text for the child's argv or environment; an embedded NUL would silently cut it short.
std::string toChildText(const String& text, const CExecCommand& command, const wchar_t* what)
{
    if (text.find(L'\0') != String::npos) {
        CInvalidArgError e(L"Cannot start '" + command.getExecutable() + L"': " + what +
                               L" contains a NUL character",
                           L"execAsync");
        e.setProp(L"commandLine", command.getCommandLine());
        throw e;
    }
    return text.toUTF8();
}

bool isExecutableFile(const std::string& path, bool& sawNoPermission)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (::access(path.c_str(), X_OK) == 0)
        return true;
    sawNoPermission = true;
    return false;
}

// Finds `name` (without '/') in the colon-separated `searchPath` as execvp does: an empty
// entry is the current folder. The result is absolute, so a working folder set for the
// child cannot change which file runs. Returns an empty string and sets `error` on failure.
std::string findInPath(const std::string& name, const std::string& searchPath, int& error)
{
    bool sawNoPermission = false;
    size_t start = 0;
    for (;;) {
        const size_t end = searchPath.find(':', start);
        std::string folder = searchPath.substr(start, end == std::string::npos ? end : end - start);
        if (folder.empty())
            folder = ".";
        if (folder[0] != '/') {
            std::vector<char> cwd(PATH_MAX);
            if (::getcwd(cwd.data(), cwd.size()))
                folder = std::string(cwd.data()) + "/" + folder;
        }
        const std::string candidate = folder + "/" + name;
        if (isExecutableFile(candidate, sawNoPermission))
            return candidate;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    error = sawNoPermission ? EACCES : ENOENT;
    return std::string();
}

std::string getProcessSearchPath()
{
    if (const char* path = ::getenv("PATH"))
        return path;
    return "/bin:/usr/bin";
}

// Everything the child needs, prepared before fork so that the child only calls
// async-signal-safe functions.
struct CLaunch {
    std::string executable;
    std::string workingFolder;
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    std::vector<char*> argv;
    std::vector<char*> envp;
    int maxFD = 0;
    // Descriptors for the child's standard input and error; -1 keeps ours.
    int inputFD = -1;
    int errorFD = -1;
};

CLaunch prepareLaunch(const CExecCommand& command, const wchar_t* func)
{
    if (command.getExecutable().isEmpty())
        throw CInvalidArgError(L"Cannot start a process: no executable given", func);

    CLaunch launch;
    const std::string executable = toChildText(command.getExecutable(), command, L"the executable");
    launch.workingFolder = toChildText(command.getWorkingFolder(), command, L"the working folder");

    std::string searchPath = getProcessSearchPath();
    std::vector<std::string> added;
    for (const auto& [name, value] : command.getEnvironment()) {
        if (name.isEmpty() || name.find(L'=') != String::npos) {
            CInvalidArgError e(L"Cannot start '" + command.getExecutable() +
                                   L"': bad environment variable name '" + name + L"'",
                               func);
            e.setProp(L"commandLine", command.getCommandLine());
            throw e;
        }
        const std::string utf8Name = toChildText(name, command, L"an environment variable name");
        const std::string utf8Value = toChildText(value, command, L"an environment variable");
        if (utf8Name == "PATH")
            searchPath = utf8Value;
        added.push_back(utf8Name + "=" + utf8Value);
    }
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        const std::string name(*entry, equals ? size_t(equals - *entry) : std::strlen(*entry));
        if (command.getEnvironment().count(String::fromUTF8(name)) == 0)
            launch.environment.emplace_back(*entry);
    }
    launch.environment.insert(launch.environment.end(), added.begin(), added.end());

    if (executable.find('/') != std::string::npos) {
        launch.executable = executable;
    } else {
        int error = 0;
        launch.executable = findInPath(executable, searchPath, error);
        if (launch.executable.empty())
            throwStartError(func, command, error);
    }

    launch.arguments.push_back(executable);
    for (const String& argument : command.getArguments())
        launch.arguments.push_back(toChildText(argument, command, L"an argument"));
    for (std::string& argument : launch.arguments)
        launch.argv.push_back(argument.data());
    launch.argv.push_back(nullptr);
    for (std::string& entry : launch.environment)
        launch.envp.push_back(entry.data());
    launch.envp.push_back(nullptr);

    const long openMax = ::sysconf(_SC_OPEN_MAX);
    launch.maxFD = openMax > 0 && openMax < INT_MAX ? int(openMax) : 65536;
    return launch;
}

void reportToParent(int errorFD, int error)
{
    // Nothing to do if the parent is gone; the write is all-or-nothing for 4 bytes.
    ssize_t written;
    do {
        written = ::write(errorFD, &error, sizeof error);
    } while (written < 0 && errno == EINTR);
}

// Runs in the forked child: async-signal-safe calls only.
[[noreturn]] void execChild(const CLaunch& launch, int errorFD)
{
    struct sigaction defaultAction;
    std::memset(&defaultAction, 0, sizeof defaultAction);
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    // SIGKILL, SIGSTOP and the C library's own signals refuse; that is fine.
    for (int sig = 1; sig < NSIG; ++sig)
        ::sigaction(sig, &defaultAction, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    if (!launch.workingFolder.empty() && ::chdir(launch.workingFolder.c_str()) != 0) {
        reportToParent(errorFD, errno);
        ::_exit(127);
    }
    if ((launch.inputFD >= 0 && ::dup2(launch.inputFD, 0) < 0) ||
        (launch.errorFD >= 0 && ::dup2(launch.errorFD, 2) < 0)) {
        reportToParent(errorFD, errno);
        ::_exit(127);
    }
    // Close-on-exec rather than close, so that errorFD survives until execve succeeds.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < launch.maxFD; ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::execve(launch.executable.c_str(), launch.argv.data(), launch.envp.data());
    reportToParent(errorFD, errno);
    ::_exit(127);
}

// Blocks every signal of the calling thread for the lifetime of the object, so that a
// child does not run our handlers between fork and resetting them.
class CAllSignalsBlocked {
public:
    CAllSignalsBlocked()
    {
        sigset_t all;
        sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &m_old);
    }
    ~CAllSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    CAllSignalsBlocked(const CAllSignalsBlocked&) = delete;
    CAllSignalsBlocked& operator=(const CAllSignalsBlocked&) = delete;

private:
    sigset_t m_old;
};

pid_t waitForPid(pid_t pid, int* status)
{
    pid_t result;
    do {
        result = ::waitpid(pid, status, 0);
    } while (result < 0 && errno == EINTR);
    return result;
}

// The errno a child reported through the pipe, or 0 when exec succeeded (the pipe closed
// without data).
int readChildError(int readFD)
{
    int error = 0;
    ssize_t got;
    do {
        got = ::read(readFD, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    return got == ssize_t(sizeof error) ? error : 0;
}

struct CPipe {
    int fds[2] = {-1, -1};
    ~CPipe()
    {
        closeEnd(0);
        closeEnd(1);
    }
    void closeEnd(int end)
    {
        if (fds[end] >= 0)
            ::close(fds[end]);
        fds[end] = -1;
    }
};

// Forks and execs; `detached` goes through an intermediate child in a new session. Returns
// the child's pid (0 for a detached one) or -1 with `error` set; a child that failed to
// exec is reaped here.
pid_t startChild(const CLaunch& launch, bool detached, int& error)
{
    CPipe pipe;
    if (::pipe2(pipe.fds, O_CLOEXEC) != 0) {
        error = errno;
        return -1;
    }
    pid_t pid;
    {
        CAllSignalsBlocked blocked;
        pid = ::fork();
        if (pid == 0) {
            ::close(pipe.fds[0]);
            if (!detached)
                execChild(launch, pipe.fds[1]);
            ::setsid();
            const pid_t grandchild = ::fork();
            if (grandchild == 0)
                execChild(launch, pipe.fds[1]);
            if (grandchild < 0)
                reportToParent(pipe.fds[1], errno);
            ::_exit(0);
        }
        error = errno;
    }
    if (pid < 0)
        return -1;
    pipe.closeEnd(1);
    if (detached) {
        // The intermediate exits at once; its grandchild keeps the pipe until exec.
        int status = 0;
        waitForPid(pid, &status);
        pid = 0;
    }
    error = readChildError(pipe.fds[0]);
    if (error != 0) {
        if (pid > 0) {
            int status = 0;
            waitForPid(pid, &status);
        }
        return -1;
    }
    return pid;
}

int decodeStatus(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

// ---------------------------------------------------------------------------------------
// CProcess

struct CProcess::CState {
    std::mutex mutex;
    std::condition_variable changed;
    pid_t pid = 0;
    bool started = false;
    // The start failed; the waiter thread has nothing to wait for.
    bool cancelled = false;
    bool ended = false;
    int exitCode = -1;
};

namespace {

void runWaiter(const std::shared_ptr<CProcess::CState>& state)
{
    sigset_t all;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, nullptr);

    pid_t pid;
    {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->changed.wait(lock, [&] { return state->started || state->cancelled; });
        if (state->cancelled)
            return;
        pid = state->pid;
    }
    // Wait without reaping first, so that the pid stays ours while kill() holds the mutex.
    siginfo_t info;
    int result;
    do {
        std::memset(&info, 0, sizeof info);
        result = ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT);
    } while (result < 0 && errno == EINTR);

    std::lock_guard<std::mutex> lock(state->mutex);
    int status = 0;
    if (result == 0 && waitForPid(pid, &status) == pid)
        state->exitCode = decodeStatus(status);
    state->ended = true;
    state->changed.notify_all();
}

} // namespace

CProcess::CProcess(std::shared_ptr<CState> state) : m_state(std::move(state)) {}

CProcess::~CProcess() = default;

int64_t CProcess::getID() const
{
    return m_state->pid;
}

bool CProcess::wait(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    const auto ended = [this] { return m_state->ended; };
    if (timeoutMs < 0)
        m_state->changed.wait(lock, ended);
    else
        m_state->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended);
    return m_state->ended;
}

int CProcess::getExitCode()
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (!m_state->ended) {
        CError e(L"Process still running", L"CProcess::getExitCode");
        e.setProp(L"pid", toString(int64_t(m_state->pid)));
        throw e;
    }
    return m_state->exitCode;
}

void CProcess::kill(int signal)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (m_state->ended)
        return;
    if (::kill(m_state->pid, signal) != 0) {
        CProps props;
        props.set(L"pid", toString(int64_t(m_state->pid)));
        props.set(L"signal", toString(int64_t(signal)));
        throwSysError(L"CProcess::kill",
                      CStringFormat(L"Cannot send signal %1 to process %2").arg(signal).arg(m_state->pid),
                      props);
    }
}

String CProcess::getOwnExecutablePath()
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            CProps props;
            props.set(L"path", L"/proc/self/exe");
            throwSysError(L"CProcess::getOwnExecutablePath", L"Cannot read '/proc/self/exe'", props);
        }
        if (size_t(length) < buffer.size())
            return String::fromUTF8(std::string_view(buffer.data(), size_t(length)));
        buffer.resize(buffer.size() * 2);
    }
}

int64_t CProcess::getOwnID()
{
    return ::getpid();
}

P<CProcess> execAsync(const CExecCommand& command)
{
    return execAsyncRedirected(command, -1, -1);
}

String findExecutable(const CExecCommand& command)
{
    std::string path = prepareLaunch(command, L"findExecutable").executable;
    if (path[0] != '/') {
        std::vector<char> cwd(PATH_MAX);
        if (::getcwd(cwd.data(), cwd.size()))
            path = std::string(cwd.data()) + "/" + path;
    }
    bool sawNoPermission = false;
    if (!isExecutableFile(path, sawNoPermission))
        throwStartError(L"findExecutable", command, sawNoPermission ? EACCES : ENOENT);
    return String::fromUTF8(path);
}

P<CProcess> execAsyncRedirected(const CExecCommand& command, int inputFD, int errorFD)
{
    CLaunch launch = prepareLaunch(command, L"execAsync");
    launch.inputFD = inputFD;
    launch.errorFD = errorFD;

    // The waiter thread exists before the child does, so that a child can never be left
    // without anyone to reap it.
    auto state = std::make_shared<CProcess::CState>();
    try {
        std::thread(runWaiter, state).detach();
    } catch (const std::system_error& e) {
        throwStartError(L"execAsync", command, e.code().value());
    }

    int error = 0;
    const pid_t pid = startChild(launch, false, error);
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (pid > 0) {
            state->pid = pid;
            state->started = true;
        } else {
            state->cancelled = true;
        }
    }
    state->changed.notify_all();
    if (pid <= 0)
        throwStartError(L"execAsync", command, error);
    return P<CProcess>(new CProcess(std::move(state)));
}

void execDisconnected(const CExecCommand& command)
{
    const CLaunch launch = prepareLaunch(command, L"execDisconnected");
    int error = 0;
    if (startChild(launch, true, error) < 0)
        throwStartError(L"execDisconnected", command, error);
}

void openWithDefaultApp(const String& fileOrURI)
{
    if (fileOrURI.isEmpty())
        throw CInvalidArgError(L"Nothing to open: the file or URI is empty", L"openWithDefaultApp");
    int error = 0;
    const std::string opener = findInPath("xdg-open", getProcessSearchPath(), error);
    if (opener.empty()) {
        CError e(L"No program to open '" + fileOrURI + L"' with (xdg-open not found)",
                 L"openWithDefaultApp");
        e.setProp(L"func", L"openWithDefaultApp");
        e.setProp(L"path", fileOrURI);
        throw e;
    }
    const String argument = fileOrURI.StartsWith(L"-") ? L"./" + fileOrURI : fileOrURI;
    execDisconnected(CExecCommand(String::fromUTF8(opener)).addArgument(argument));
}

} // namespace zil
