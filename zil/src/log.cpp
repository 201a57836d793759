// SPDX-License-Identifier: MIT
#include "zil/log.h"

#include "zil/error.h"

#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <type_traits>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zil {

namespace {

// Keeps errno across a call that must not disturb its caller's error handling.
class CErrnoKeeper {
public:
    CErrnoKeeper() : m_saved(errno) {}
    ~CErrnoKeeper() { errno = m_saved; }
    CErrnoKeeper(const CErrnoKeeper&) = delete;
    CErrnoKeeper& operator=(const CErrnoKeeper&) = delete;

private:
    int m_saved;
};

// Writes all of `bytes`, going on after short writes and EINTR. False with errno set when
// the descriptor refuses; `written` tells how much got through before.
bool writeAll(int fd, const char* bytes, size_t size, size_t& written)
{
    written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, bytes + written, size - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

String exceptionText(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const CError*>(&e))
        return error->getFullText();
    const char* what = e.what();
    return String::fromUTF8(what ? what : "");
}

String joinText(const String& text, const String& text2)
{
    return text2.isEmpty() ? text : text + L"\n" + text2;
}

// The text is built inside the guard too: the log functions are called from error paths and
// destructors, where even a failed allocation must not escape.
void writeGlobal(LogLevel level, const String& text, const String& text2 = String(),
                 const std::exception* e = nullptr) noexcept
{
    CErrnoKeeper keepErrno;
    try {
        const P<CXMLLog> log = CXMLLog::getGlobal();
        if (log)
            log->writeEntry(level, e ? joinText(text, text2) + L"\n" + exceptionText(*e) : joinText(text, text2));
    } catch (...) {
        // The log is the last resort; there is nowhere left to report to.
    }
}

void appendDecimalRef(String& out, uint32_t c)
{
    out += L"&#";
    out += toString(static_cast<int64_t>(c));
    out += L';';
}

void appendCodePoint(String& out, uint32_t c)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}

String escapeXML(const String& in, bool attribute)
{
    using UChar = std::make_unsigned_t<wchar_t>;
    String out;
    out.reserve(in.size() + in.size() / 8);
    const size_t n = in.size();
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = static_cast<UChar>(in[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n) {
            const uint32_t low = static_cast<UChar>(in[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF || c > 0x10FFFF)
            c = 0xFFFD;
        switch (c) {
        case L'&': out += L"&amp;"; continue;
        case L'<': out += L"&lt;"; continue;
        case L'>': out += L"&gt;"; continue;
        case L'"': out += L"&quot;"; continue;
        case L'\r': appendDecimalRef(out, c); continue;
        case L'\t':
        case L'\n':
            if (attribute)
                appendDecimalRef(out, c);
            else
                out += static_cast<wchar_t>(c);
            continue;
        default: break;
        }
        if (c < 0x20)
            continue; // not even a character reference can carry these in XML 1.0
        if (c >= 0x7F && c <= 0x9F)
            appendDecimalRef(out, c);
        else
            appendCodePoint(out, c);
    }
    return out;
}

String threadIdText()
{
    return toString(static_cast<int64_t>(::gettid()));
}

String hostName()
{
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return String();
    return String::fromUTF8(buffer);
}

String userName()
{
    const uid_t uid = ::geteuid();
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        return String::fromUTF8(found->pw_name);
    if (const char* user = std::getenv("USER"); user && *user)
        return String::fromUTF8(user);
    return toString(static_cast<int64_t>(uid));
}

[[noreturn]] void throwCannotOpen(const String& message, const String& path, int error,
                                  const CProps& extra = CProps())
{
    const String func = L"CXMLLog::CXMLLog";
    CIOError e(message + L": " + getSysErrorText(error), func, CIOError::codeCannotOpen);
    e.setProp(L"path", path);
    for (const auto& [key, value] : extra)
        e.setProp(key, value);
    e.setProp(L"func", func);
    e.setProp(L"lastSysError", toString(static_cast<int64_t>(error)));
    throw e;
}

int openRetrying(const char* path, int flags, mode_t mode)
{
    int fd;
    do
        fd = ::open(path, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Read access only serves to look at the last byte of an existing file; a file we may only
// write to is opened write-only.
int openLogFile(const std::string& path, bool truncate)
{
    const int flags = O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    int fd = openRetrying(path.c_str(), flags | O_RDWR, 0644);
    if (fd < 0 && errno == EACCES)
        fd = openRetrying(path.c_str(), flags | O_WRONLY, 0644);
    return fd;
}

} // namespace

String toString(LogLevel level)
{
    switch (level) {
    case LogLevel::fatal: return L"fatal";
    case LogLevel::error: return L"error";
    case LogLevel::warning: return L"warning";
    case LogLevel::info: return L"info";
    case LogLevel::debug: return L"debug";
    }
    return L"unknown";
}

void logError(const String& text, const String& text2)
{
    writeGlobal(LogLevel::error, text, text2);
}

void logError(const std::exception& e, const String& text, const String& text2)
{
    writeGlobal(LogLevel::error, text, text2, &e);
}

void logWarning(const String& text, const String& text2)
{
    writeGlobal(LogLevel::warning, text, text2);
}

void logWarning(const std::exception& e, const String& text, const String& text2)
{
    writeGlobal(LogLevel::warning, text, text2, &e);
}

void logInfo(const String& text, const String& text2)
{
    writeGlobal(LogLevel::info, text, text2);
}

void logDebug(const String& text, const String& text2)
{
    writeGlobal(LogLevel::debug, text, text2);
}

void printErrLine(const String& line)
{
    CErrnoKeeper keepErrno;
    try {
        std::string bytes = line.toUTF8();
        bytes += '\n';
        size_t written = 0;
        writeAll(STDERR_FILENO, bytes.data(), bytes.size(), written);
    } catch (...) {
    }
}

void onExceptionInDestructorIgnored(const std::exception& e, const String& className) noexcept
{
    try {
        const String text = L"Exception in destructor of " + className + L". Ignoring.";
        logError(e, text);
        printErrLine(text + L"\n" + exceptionText(e));
    } catch (...) {
    }
}

// ---- CXMLLog::CDefaultSessionHeaderFactory ----

CXMLLog::CDefaultSessionHeaderFactory::CDefaultSessionHeaderFactory(const String& appName,
                                                                    const String& appVersion,
                                                                    const String& extra)
    : m_appName(appName), m_appVersion(appVersion), m_extra(extra), m_start(std::time(nullptr))
{
}

String CXMLLog::CDefaultSessionHeaderFactory::createSessionHeader()
{
    String header = L"<session app=\"" + escapeAttribute(m_appName) + L"\" version=\"" +
                    escapeAttribute(m_appVersion) + L"\"";
    if (!m_extra.isEmpty())
        header += L" extra=\"" + escapeAttribute(m_extra) + L"\"";
    header += L" pid=\"" + toString(static_cast<int64_t>(::getpid())) + L"\"";
    header += L" host=\"" + escapeAttribute(hostName()) + L"\"";
    header += L" user=\"" + escapeAttribute(userName()) + L"\"";
    header += L" start=\"" + formatTime(m_start) + L"\"/>";
    return header;
}

// ---- CXMLLog ----

String CXMLLog::escapeText(const String& text)
{
    return escapeXML(text, false);
}

String CXMLLog::escapeAttribute(const String& value)
{
    return escapeXML(value, true);
}

String CXMLLog::formatTime(time_t time)
{
    struct tm parts {};
    char buffer[64];
    if (!::gmtime_r(&time, &parts))
        return toString(static_cast<int64_t>(time)); // beyond what struct tm can hold
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02dT%02d:%02d:%02dZ",
                  static_cast<long long>(parts.tm_year) + 1900, parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_hour, parts.tm_min, parts.tm_sec);
    return String::fromASCII(buffer);
}

CXMLLog::CXMLLog(const String& path, ISessionHeaderFactory* headerFactory, bool appendToExisting,
                 int64_t maxSize, bool flushEachEntry, bool lockFile, std::FILE* errorOutput)
    : m_path(path),
      m_pathUTF8(path.toUTF8()),
      m_headerFactory(headerFactory),
      m_maxSize(maxSize),
      m_flushEachEntry(flushEachEntry),
      m_errorOutput(errorOutput)
{
    if (m_path.isEmpty())
        return;
    if (m_path.find(L'\0') != String::npos)
        throwCannotOpen(L"Cannot open the log file '" + m_path + L"'", m_path, EINVAL);

    if (lockFile) {
        const std::string lockPath = m_pathUTF8 + ".lock";
        const String lockPathText = String::fromUTF8(lockPath);
        CProps lockProps;
        lockProps.set(L"lockPath", lockPathText);
        m_lockFd = openRetrying(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_lockFd < 0)
            throwCannotOpen(L"Cannot open the lock file of the log '" + m_path + L"'", m_path,
                            errno, lockProps);
        int rc;
        do
            rc = ::flock(m_lockFd, LOCK_EX | LOCK_NB);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            const int error = errno;
            ::close(m_lockFd);
            m_lockFd = -1;
            const String func = L"CXMLLog::CXMLLog";
            CLockFileError e(error == EWOULDBLOCK
                                 ? L"The log file '" + m_path + L"' is in use by another log ('" +
                                       lockPathText + L"' is locked)"
                                 : L"Cannot lock the log file '" + m_path + L"': " +
                                       getSysErrorText(error),
                             func);
            e.setProp(L"path", m_path);
            e.setProp(L"lockPath", lockPathText);
            e.setProp(L"func", func);
            e.setProp(L"lastSysError", toString(static_cast<int64_t>(error)));
            throw e;
        }
    }

    try {
        openFile(!appendToExisting);
    } catch (...) {
        closeFileLocked();
        throw;
    }
}

CXMLLog::~CXMLLog()
{
    try {
        close();
    } catch (...) {
    }
}

void CXMLLog::openFile(bool truncate)
{
    m_fd = openLogFile(m_pathUTF8, truncate);
    if (m_fd < 0)
        throwCannotOpen(L"Cannot open the log file '" + m_path + L"'", m_path, errno);

    struct stat info {};
    if (::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode)) {
        m_canRollOver = true;
        m_size = info.st_size;
        // A crash in the middle of a line must not glue our header to its remains.
        char last = '\n';
        if (m_size > 0 && ::pread(m_fd, &last, 1, m_size - 1) == 1 && last != '\n')
            m_lineOpen = true;
    }
    CMutexLock lock(m_mutex);
    const bool full = m_canRollOver && m_maxSize > 0 && m_size > 0 && m_size >= m_maxSize;
    if (!full || !rollOverLocked())
        writeHeaderLocked();
}

void CXMLLog::closeFileLocked()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd); // releases the flock
        m_lockFd = -1;
    }
}

void CXMLLog::writeHeaderLocked()
{
    m_headerSize = 0;
    if (!m_headerFactory)
        return;
    String header;
    try {
        header = m_headerFactory->createSessionHeader();
    } catch (const std::exception& e) {
        header = L"<session headerError=\"" + escapeAttribute(exceptionText(e)) + L"\"/>";
    } catch (...) {
        header = L"<session headerError=\"unknown exception\"/>";
    }
    const int64_t before = m_size;
    if (writeLocked(header.toUTF8() + "\n"))
        m_lastWriteFailed = false;
    else
        reportFailureLocked(L"cannot write the session header", errno);
    m_headerSize = m_size - before;
}

bool CXMLLog::rollOverLocked()
{
    const std::string oldPath = m_pathUTF8 + ".1";
    if (::rename(m_pathUTF8.c_str(), oldPath.c_str()) != 0) {
        reportFailureLocked(L"cannot roll over to '" + String::fromUTF8(oldPath) + L"'", errno);
        return false; // keep writing to the full file rather than lose entries
    }
    const int fd = openLogFile(m_pathUTF8, true);
    if (fd < 0) {
        const int error = errno;
        ::rename(oldPath.c_str(), m_pathUTF8.c_str());
        reportFailureLocked(L"cannot start a new file after rolling over", error);
        return false;
    }
    ::close(m_fd);
    m_fd = fd;
    m_size = 0;
    m_lineOpen = false;
    writeHeaderLocked();
    return true;
}

bool CXMLLog::writeLocked(const std::string& bytes)
{
    std::string_view data(bytes);
    std::string withNewline;
    if (m_lineOpen) {
        withNewline = "\n" + bytes;
        data = withNewline;
    }
    size_t written = 0;
    const bool ok = writeAll(m_fd, data.data(), data.size(), written);
    m_size += static_cast<int64_t>(written);
    if (written > 0)
        m_lineOpen = data[written - 1] != '\n';
    return ok;
}

void CXMLLog::reportFailureLocked(const String& what, int sysError)
{
    m_writeErrors.fetch_add(1, std::memory_order_relaxed);
    if (m_lastWriteFailed)
        return;
    m_lastWriteFailed = true;
    if (!m_errorOutput)
        return;
    String line = L"zil::CXMLLog '" + m_path + L"': " + what;
    if (sysError != 0)
        line += L": " + getSysErrorText(sysError);
    line += L"\n";
    std::fputs(line.toUTF8().c_str(), m_errorOutput);
    std::fflush(m_errorOutput);
}

void CXMLLog::writeEntry(LogLevel level, const String& text, const time_t* time)
{
    if (m_path.isEmpty())
        return;
    CErrnoKeeper keepErrno;
    try {
        const time_t when = time ? *time : std::time(nullptr);
        const std::string line =
            (L"<entry time=\"" + formatTime(when) + L"\" level=\"" + toString(level) +
             L"\" thread=\"" + threadIdText() + L"\">" + escapeText(text) + L"</entry>\n")
                .toUTF8();

        CMutexLock lock(m_mutex);
        if (m_fd < 0) {
            reportFailureLocked(L"entry written after close()", 0);
            return;
        }
        if (m_canRollOver && m_maxSize > 0 && m_size > m_headerSize &&
            m_size + static_cast<int64_t>(line.size()) > m_maxSize)
            rollOverLocked();
        if (!writeLocked(line)) {
            reportFailureLocked(L"cannot write an entry", errno);
            return;
        }
        if (m_flushEachEntry && ::fsync(m_fd) != 0 && errno != EINVAL) {
            // EINVAL: a FIFO or terminal, which has nothing to sync
            reportFailureLocked(L"cannot sync an entry to disk", errno);
            return;
        }
        m_lastWriteFailed = false;
    } catch (...) {
        m_writeErrors.fetch_add(1, std::memory_order_relaxed);
    }
}

int64_t CXMLLog::getWriteErrorCount() const
{
    return m_writeErrors.load(std::memory_order_relaxed);
}

void CXMLLog::close()
{
    CMutexLock lock(m_mutex);
    closeFileLocked();
}

// ---- the global log ----

namespace {

struct CGlobalLogState {
    std::mutex mutex;
    std::condition_variable created;
    std::function<P<CXMLLog>()> createFunc;
    P<CXMLLog> log;
    bool creating = false;
};

// Never destroyed: destructors of other statics may still log at process end.
CGlobalLogState& globalLogState()
{
    static CGlobalLogState* state = new CGlobalLogState();
    return *state;
}

const P<CXMLLog>& nowhereLog()
{
    static const P<CXMLLog>* log =
        new P<CXMLLog>(new CXMLLog(String(), nullptr, false, 0, false, false));
    return *log;
}

// Set while this thread runs the create function, whose own log calls must not recurse.
thread_local bool tl_creatingGlobalLog = false;

} // namespace

P<CXMLLog> CXMLLog::getGlobal()
{
    if (tl_creatingGlobalLog)
        return nowhereLog();
    CGlobalLogState& state = globalLogState();
    std::unique_lock<std::mutex> lock(state.mutex);
    state.created.wait(lock, [&] { return !state.creating; });
    if (state.log)
        return state.log;
    state.creating = true;
    const auto createFunc = state.createFunc;
    lock.unlock();

    // Whatever happens below, the waiting threads must be let go and this thread's log
    // calls must reach a log again.
    P<CXMLLog> log;
    struct CFinish {
        CGlobalLogState& state;
        std::unique_lock<std::mutex>& lock;
        P<CXMLLog>& log;
        ~CFinish()
        {
            tl_creatingGlobalLog = false;
            if (!lock.owns_lock())
                lock.lock();
            state.log = log ? log : nowhereLog();
            state.creating = false;
            state.created.notify_all();
        }
    } finish{state, lock, log};

    String failure;
    tl_creatingGlobalLog = true;
    try {
        if (createFunc) {
            log = createFunc();
            if (!log)
                failure = L"the create function returned no log";
        }
    } catch (const std::exception& e) {
        failure = exceptionText(e);
    } catch (...) {
        failure = L"unknown exception";
    }
    tl_creatingGlobalLog = false;
    if (!failure.isEmpty())
        printErrLine(L"Cannot create the log, logging nowhere: " + failure);

    lock.lock();
    return log ? log : nowhereLog();
}

void CXMLLog::setGlobalCreateFunc(std::function<P<CXMLLog>()> createFunc)
{
    CGlobalLogState& state = globalLogState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.createFunc = std::move(createFunc);
}

bool CXMLLog::haveGlobalCreateFunc()
{
    CGlobalLogState& state = globalLogState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return static_cast<bool>(state.createFunc);
}

void CXMLLog::disposeGlobal()
{
    CGlobalLogState& state = globalLogState();
    P<CXMLLog> old;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        old.swap(state.log);
    }
    // released outside the lock: closing may report, and reporting may log
}

void logCurrentException(const String& text)
{
    try {
        throw;
    } catch (const std::exception& e) {
        logError(e, text);
    } catch (...) {
        logError(text, L"unknown exception type");
    }
}

} // namespace zil
