// SPDX-License-Identifier: MIT
#pragma once

#include "zil/mutex.h"
#include "zil/object.h"
#include "zil/string.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <functional>

namespace zil {

// The numbers are fixed: adapters of other logging systems map their levels onto them.
enum class LogLevel { fatal = 0, error = 1, warning = 2, info = 3, debug = 4 };

// "fatal", "error", "warning", "info", "debug"; "unknown" for a value outside the enum.
String toString(LogLevel level);

// Writers to the global log (CXMLLog::getGlobal()). They never throw and leave errno as it
// was, so they are safe in error paths and destructors. `text2` is a detail that goes on a
// line of its own when not empty; the exception's text (CError::getFullText() for the
// library's errors, what() read as UTF-8 otherwise) follows on the next line.
void logError(const String& text, const String& text2 = String());
void logError(const std::exception& e, const String& text, const String& text2 = String());
void logWarning(const String& text, const String& text2 = String());
// Logs, as an error, the exception that the enclosing catch block handles; one that is not a
// std::exception is named as such. Only valid inside a catch block.
void logCurrentException(const String& text);
void logWarning(const std::exception& e, const String& text, const String& text2 = String());
void logInfo(const String& text, const String& text2 = String());
void logDebug(const String& text, const String& text2 = String());

// `line` and "\n" to standard error as UTF-8 in one write(2), so that lines of different
// threads never mix. Never throws; errno is kept.
void printErrLine(const String& line);

// A log file made of XML elements, one per line: a <session> element each time a file is
// started, then one <entry> per call of writeEntry(). The format is described in
// zil/README.md ("XML log format").
class CXMLLog : public CBase {
public:
    // Writes the <session> element that opens every file of the log, rollovers included.
    class ISessionHeaderFactory : public virtual IBase {
    public:
        // The whole element, e.g. `<session app="x" .../>`, on one line without the "\n".
        // Attribute values must be escaped (CXMLLog::escapeAttribute).
        virtual String createSessionHeader() = 0;
    };

    // <session app=".." version=".." [extra=".."] pid=".." host=".." user=".." start=".."/>.
    // The start time is when the factory was made, so a rolled-over file names the same
    // session as the one it continues.
    class CDefaultSessionHeaderFactory : public CBase, public ISessionHeaderFactory {
    public:
        CDefaultSessionHeaderFactory(const String& appName, const String& appVersion,
                                     const String& extra);
        String createSessionHeader() override;

    private:
        String m_appName;
        String m_appVersion;
        String m_extra;
        time_t m_start;
    };

    // `path` empty: a log that accepts entries and writes nowhere.
    // `headerFactory` null: no session header; otherwise the log keeps a reference to it.
    // `appendToExisting` keeps the content of an existing file; false truncates it.
    // `maxSize` in bytes: an entry that would take the file past it first moves the file to
    //   "<path>.1" (replacing an older one) and starts a new one; <= 0 never rolls over.
    // `flushEachEntry` fsyncs after each entry; entries are written with write(2) at once
    //   either way, so a crash of the process loses nothing, only a crash of the system can.
    // `lockFile` holds an exclusive flock on "<path>.lock" for the log's lifetime: a second
    //   log on the same path, in this process or another, throws CLockFileError.
    // `errorOutput` receives a line for each run of failed writes (the first failure after
    //   a success); null reports nothing and only counts (getWriteErrorCount()).
    // Throws CIOError (codeCannotOpen) with "path", "func" and "lastSysError" when the file
    // or its lock file cannot be opened; the folder is not created.
    CXMLLog(const String& path, ISessionHeaderFactory* headerFactory, bool appendToExisting,
            int64_t maxSize, bool flushEachEntry, bool lockFile, std::FILE* errorOutput = nullptr);
    ~CXMLLog() override;
    CXMLLog(const CXMLLog&) = delete;
    CXMLLog& operator=(const CXMLLog&) = delete;

    // One line per entry, written with a single write(2) under the log's mutex, so entries
    // of many threads never mix. `time` null means now; else that time is written. Failures
    // are counted and reported to the error output, never thrown.
    void writeEntry(LogLevel level, const String& text, const time_t* time = nullptr);

    const String& getPath() const { return m_path; }
    // Entries (or rollovers, syncs, headers) that could not be written, since construction.
    int64_t getWriteErrorCount() const;
    // Releases the file and its lock; later entries are counted as write errors. Idempotent.
    void close();

    // Text content and attribute values as XML: &, <, >, " as entities; in attributes tab,
    // newline and CR as character references so they survive attribute normalisation; CR
    // in text as "&#13;"; U+007F..U+009F as character references; other control characters
    // (which XML 1.0 cannot carry at all) dropped; lone surrogates, U+FFFE, U+FFFF and
    // values above U+10FFFF as U+FFFD; a valid UTF-16 surrogate pair as its code point.
    static String escapeText(const String& text);
    static String escapeAttribute(const String& value);
    // "2026-12-05T16:49:27Z".
    static String formatTime(time_t time);

    // The process-wide log, created on first use by the create function if one was set,
    // else a log that writes nowhere. A create function that throws or returns null is
    // reported once on standard error and replaced by a log that writes nowhere. Log calls
    // the create function makes (on its own thread) go nowhere; other threads wait for it.
    static P<CXMLLog> getGlobal();
    // Used by the next creation: set it before the first log call, or call disposeGlobal().
    static void setGlobalCreateFunc(std::function<P<CXMLLog>()> createFunc);
    static bool haveGlobalCreateFunc();
    // Drops the global log (it closes once its last user lets go); the next getGlobal()
    // creates one again.
    static void disposeGlobal();

private:
    void openFile(bool truncate);
    void closeFileLocked();
    void writeHeaderLocked();
    // False when the file could not be moved or replaced; writing goes on in the old one.
    bool rollOverLocked();
    bool writeLocked(const std::string& bytes);
    void reportFailureLocked(const String& what, int sysError);

    String m_path;
    std::string m_pathUTF8;
    P<ISessionHeaderFactory> m_headerFactory;
    int64_t m_maxSize;
    bool m_flushEachEntry;
    std::FILE* m_errorOutput;

    mutable CMutex m_mutex;
    int m_fd = -1;
    int m_lockFd = -1;
    // Bytes in the current file, and how many of them are the header: a file that holds
    // nothing but its header is never rolled over.
    int64_t m_size = 0;
    int64_t m_headerSize = 0;
    // A file that is not a regular one (a FIFO, /dev/stderr) has no size to roll over at.
    bool m_canRollOver = false;
    // A write that failed part way left an unfinished line; the next entry starts a new one.
    bool m_lineOpen = false;
    bool m_lastWriteFailed = false;
    // Atomic so that a failure can be counted where the mutex is not held.
    std::atomic<int64_t> m_writeErrors{0};
};

} // namespace zil
