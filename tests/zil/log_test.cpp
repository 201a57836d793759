// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/log.h>

#include <expat.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <thread>
#include <tuple>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zil;
using zil::test::CTempFolder;
using zil::test::thrown;

namespace {

using zil::test::readFile;

int64_t fileSize(const String& path)
{
    struct stat info {};
    return ::stat(path.toUTF8().c_str(), &info) == 0 ? info.st_size : -1;
}

struct SElement {
    std::string name;
    std::map<std::string, String> attrs;
    String text;
};

// Parses strictly, as any XML reader would (raw markup, bad references, characters XML cannot
// hold, invalid UTF-8 all fail); raw white space in an attribute would come back normalised.
// The log is elements side by side, one a line, each empty or with text.
std::vector<SElement> parseLog(const std::string& s)
{
    struct SState {
        std::vector<SElement> elements;
        std::string text, error;
        int depth = 0;
    } state;
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate("UTF-8"), XML_ParserFree);
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const char* name, const char** attrs) {
            auto& st = *static_cast<SState*>(data);
            if (++st.depth > 2)
                st.error = std::string("nested <") + name + ">";
            if (st.depth != 2)
                return;
            st.elements.push_back({name, {}, {}});
            for (st.text.clear(); *attrs; attrs += 2)
                st.elements.back().attrs[attrs[0]] = String::fromUTF8(attrs[1]);
        },
        [](void* data, const char*) {
            auto& st = *static_cast<SState*>(data);
            if (st.depth-- == 2)
                st.elements.back().text = String::fromUTF8(st.text);
            st.text.clear();
        });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const char* text, int length) {
        auto& st = *static_cast<SState*>(data);
        st.text.append(text, size_t(length));
        if (st.depth == 1 && st.text.find_first_not_of('\n') != std::string::npos)
            st.error = "text between elements: " + st.text;
    });
    const std::string document = "<log>" + s + "</log>";
    if (!XML_Parse(parser.get(), document.data(), int(document.size()), 1))
        throw std::runtime_error(std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at byte " +
                                 std::to_string(XML_GetCurrentByteIndex(parser.get()) - 5));
    if (!state.error.empty())
        throw std::runtime_error(state.error);
    return state.elements;
}

std::vector<SElement> readLog(const String& path)
{
    return parseLog(readFile(path));
}

std::vector<SElement> entriesOf(const std::vector<SElement>& elements)
{
    std::vector<SElement> entries;
    std::copy_if(elements.begin(), elements.end(), std::back_inserter(entries),
                 [](const SElement& e) { return e.name == "entry"; });
    return entries;
}

P<CXMLLog::ISessionHeaderFactory> testHeader()
{
    return P<CXMLLog::ISessionHeaderFactory>(
        new CXMLLog::CDefaultSessionHeaderFactory(L"logtest", L"1.0", String()));
}

// Logs what a catch (...) block sees of `exception`.
template <class E>
void logCaught(const E& exception)
{
    try {
        throw exception;
    } catch (...) {
        logCurrentException(L"Caught");
    }
}

// Restores the process-wide log for the next test.
class GlobalLog : public testing::Test {
protected:
    void TearDown() override
    {
        CXMLLog::setGlobalCreateFunc(nullptr);
        CXMLLog::disposeGlobal();
    }
};

} // namespace

TEST(XMLLog, ConcurrentWritersLeaveWholeEntriesInOrder)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 2000;
    CTempFolder dir;
    const String path = (dir / L"threads.log").str();
    {
        CXMLLog log(path, testHeader().get(), false, 0, false, true);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&log, t] {
                for (int i = 0; i < kPerThread; ++i) {
                    // every 7th entry spans lines and carries markup, so a torn write shows
                    String text = toString(int64_t(t)) + L" " + toString(int64_t(i));
                    log.writeEntry(i % 2 ? LogLevel::info : LogLevel::warning,
                                   i % 7 ? text : text + L"\n<second & \"line\">");
                }
            });
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ(log.getWriteErrorCount(), 0);
    }

    const auto elements = readLog(path);
    ASSERT_EQ(elements.at(0).name, "session");
    const auto entries = entriesOf(elements);
    ASSERT_EQ(entries.size(), size_t(kThreads * kPerThread));
    std::vector<int> next(kThreads, 0);
    for (const auto& entry : entries) {
        std::wistringstream in(entry.text);
        int t = -1, i = -1;
        in >> t >> i;
        ASSERT_TRUE(t >= 0 && t < kThreads) << entry.text.toUTF8();
        ASSERT_EQ(i, next[t]++) << "writer " << t << " out of order";
        EXPECT_EQ(entry.text.find(L"\n<second & \"line\">") != String::npos, i % 7 == 0);
        EXPECT_EQ(entry.attrs.at("level"), String(i % 2 ? L"info" : L"warning"));
    }
}

TEST(XMLLog, HostileTextStaysWellFormedAndTheGivenTimeIsWritten)
{
    const struct {
        const char* name;
        String text;
        String readBack;
    } cases[] = {
        {"markup", L"<&>\"' ]]>", L"<&>\"' ]]>"},
        {"tab, newline, CR", L"a\tb\nc\r\nd", L"a\tb\nc\r\nd"},
        {"C0 controls are dropped", String(L"x\x01y\x1Fz\x0B") + String(1, L'\0') + L"!", L"xyz!"},
        {"C1 controls", L"\x7F\x85", L"\x7F\x85"},
        {"lone surrogates", String(1, wchar_t(0xD800)) + L"x" + String(1, wchar_t(0xDC00)), L"\uFFFDx\uFFFD"},
        {"surrogate pair", String(1, wchar_t(0xD83D)) + String(1, wchar_t(0xDE00)), L"\U0001F600"},
        {"non-characters, beyond Unicode", String(1, wchar_t(0xFFFE)) + String(1, wchar_t(0x110000)),
         L"\uFFFD\uFFFD"},
        {"plain non-ASCII", L"Grüße €", L"Grüße €"},
    };
    const std::pair<time_t, const wchar_t*> times[] = {
        {0, L"1970-01-01T00:00:00Z"}, {-1, L"1969-12-31T23:59:59Z"}, {951782400, L"2000-02-29T00:00:00Z"}};
    CTempFolder dir;
    const String path = (dir / L"escape.log").str();
    P<CXMLLog::ISessionHeaderFactory> header(new CXMLLog::CDefaultSessionHeaderFactory(
        L"a\"b<c>&", L"1\n2\t3\r", String(L"x") + String(1, wchar_t(0xD800))));
    const time_t before = std::time(nullptr);
    {
        CXMLLog log(path, header.get(), false, 0, true, false);
        for (const auto& c : cases)
            log.writeEntry(LogLevel::fatal, c.text);
        for (const auto& [time, expected] : times)
            log.writeEntry(LogLevel::fatal, L"x", &time);
    }
    const time_t after = std::time(nullptr);

    std::vector<SElement> elements;
    ASSERT_NO_THROW(elements = readLog(path)) << readFile(path);
    ASSERT_EQ(elements.size(), std::size(cases) + std::size(times) + 1);
    EXPECT_EQ(elements[0].attrs.at("app"), String(L"a\"b<c>&"));
    EXPECT_EQ(elements[0].attrs.at("version"), String(L"1\n2\t3\r"));
    EXPECT_EQ(elements[0].attrs.at("extra"), String(L"x\uFFFD"));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(elements[i + 1].text, cases[i].readBack);
        EXPECT_EQ(elements[i + 1].attrs.at("level"), String(L"fatal"));
        const String now = elements[i + 1].attrs.at("time");
        EXPECT_TRUE(now == CXMLLog::formatTime(before) || now == CXMLLog::formatTime(after)) << now.toUTF8();
    }
    for (size_t i = 0; i < std::size(times); ++i)
        EXPECT_EQ(elements[std::size(cases) + 1 + i].attrs.at("time"), String(times[i].second));
}

TEST(XMLLog, RollsOverAtTheLimitKeepsOversizedEntriesWholeAndAppendsOnANewLine)
{
    constexpr int64_t kMax = 1000;
    CTempFolder dir;
    const String path = (dir / L"roll.log").str(), older = path + L".1";
    CXMLLog log(path, testHeader().get(), false, kMax, false, true);
    // a file holding only its header has nothing to keep: no rollover, however big the entry
    log.writeEntry(LogLevel::info, String(2 * kMax, L'A'));
    EXPECT_EQ(fileSize(older), -1);
    for (int i = 0; i < 40; ++i) {
        log.writeEntry(LogLevel::info, toString(int64_t(i)) + L" " + String(40, L'.'));
        ASSERT_LE(fileSize(path), kMax) << "after entry " << i;
    }
    // Both files start with the session and together hold the latest entries without a gap.
    std::vector<int64_t> numbers;
    for (const String& file : {older, path}) {
        const auto elements = readLog(file);
        ASSERT_EQ(elements.at(0).name, "session");
        for (const auto& entry : entriesOf(elements))
            numbers.push_back(parseInt64(entry.text.substr(0, entry.text.find(L' '))));
    }
    ASSERT_LE(fileSize(older), kMax);
    ASSERT_EQ(numbers.back(), 39);
    for (size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1);

    // an oversized entry goes whole into a file of its own, then is rolled over whole
    const String big(3 * kMax, L'B');
    for (const String& text : {big, String(L"after")}) {
        log.writeEntry(LogLevel::error, text);
        const auto current = readLog(path);
        ASSERT_EQ(current.size(), 2u);
        EXPECT_EQ(current[0].name, "session");
        EXPECT_EQ(current[1].text, text);
    }
    const auto previous = entriesOf(readLog(older));
    ASSERT_EQ(previous.size(), 1u);
    EXPECT_EQ(previous[0].text, big);

    // appending to a file already past the limit moves it aside before the session starts
    log.close();
    const std::string full = readFile(path);
    CXMLLog(path, testHeader().get(), true, 50, false, true).writeEntry(LogLevel::info, L"fresh");
    EXPECT_EQ(readFile(older), full);
    EXPECT_EQ(readLog(path).size(), 2u);

    // appending after a torn line starts the session on a new line
    const String torn = dir.writeFile(L"torn.log", "<entry level=\"error\">old</entry>\n<entry le").str();
    CXMLLog(torn, testHeader().get(), true, 0, false, true).writeEntry(LogLevel::info, L"new");
    const std::string content = readFile(torn);
    const size_t session = content.find("<session ");
    ASSERT_NE(session, std::string::npos);
    EXPECT_EQ(content.substr(0, session), "<entry level=\"error\">old</entry>\n<entry le\n");
    EXPECT_EQ(entriesOf(parseLog(content.substr(session))).at(0).text, String(L"new"));
}

TEST(XMLLog, SecondWriterIsLockedOutInThisAndOtherProcessesAndOpenFailuresNameThePath)
{
    CTempFolder dir;
    const String path = (dir / L"locked.log").str();
    auto openInChild = [&path] { // 0: opened, 1: CLockFileError naming the path
        const pid_t pid = ::fork();
        if (pid == 0) {
            try {
                CXMLLog log(path, nullptr, true, 0, false, true);
                ::_exit(0);
            } catch (const CLockFileError& e) {
                ::_exit(e.getProp(L"path") == path ? 1 : 2);
            } catch (...) {
                ::_exit(3);
            }
        }
        int status = 0;
        return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    P<CXMLLog> first(new CXMLLog(path, testHeader().get(), true, 200, false, true));
    // rollovers rename the log file, never the lock
    for (int i = 0; i < 5; ++i)
        first->writeEntry(LogLevel::info, String(100, L'x'));
    ASSERT_GE(fileSize(path + L".1"), 100);
    EXPECT_EQ(thrown<CLockFileError>([&] { CXMLLog second(path, nullptr, true, 0, false, true); }).getProp(L"path"),
              path);
    EXPECT_EQ(openInChild(), 1);

    first->close();
    EXPECT_EQ(openInChild(), 0);
    EXPECT_NO_THROW(CXMLLog(path, nullptr, true, 0, false, true));

    const std::tuple<String, bool, int> failures[] = {
        {(dir / L"no/such/x.log").str(), false, ENOENT}, {(dir / L"no/such/x.log").str(), true, ENOENT},
        {dir.path().str(), false, EISDIR}};
    for (const auto& [bad, lockFile, sysError] : failures) {
        SCOPED_TRACE(bad.toUTF8() + (lockFile ? " locked" : ""));
        const auto e = thrown<CIOError>([&, p = bad, l = lockFile] { CXMLLog log(p, nullptr, true, 0, false, l); });
        EXPECT_EQ(e.getCode(), CIOError::codeCannotOpen);
        EXPECT_EQ(e.getProp(L"path"), bad);
        EXPECT_NE(e.getMessage().find(bad), String::npos) << e.what();
        EXPECT_EQ(e.getProp(L"lastSysError"), toString(int64_t(sysError)));
    }
}

// Each log call writes its entry, and keeps errno even when the write fails (/dev/full takes
// the open and refuses every write); a run of failed writes is reported once.
TEST_F(GlobalLog, LogCallsWriteTheirTextAndKeepErrnoEvenWhenTheWriteFails)
{
    CIOError error(L"disk gone", L"CFile::write", CIOError::codeWriteError);
    error.setProp(L"path", L"/x");
    const struct {
        std::function<void()> call;
        const wchar_t* level;
        String text;
    } cases[] = {
        {[&] { logError(error, L"Saving failed", L"second"); }, L"error",
         L"Saving failed\nsecond\n" + error.getFullText()},
        {[] { logWarning(std::runtime_error("caf\xC3\xA9"), L"Odd"); }, L"warning", L"Odd\ncafé"},
        {[] { logError(L"a"); }, L"error", L"a"},
        {[] { logWarning(L"a", L"b"); }, L"warning", L"a\nb"},
        {[] { logInfo(L"a"); }, L"info", L"a"},
        {[] { logDebug(L"a"); }, L"debug", L"a"},
        {[&] { onExceptionInDestructorIgnored(error, L"zilui::CThing"); }, L"error",
         L"Exception in destructor of zilui::CThing. Ignoring.\n" + error.getFullText()},
        {[] { logCaught(std::runtime_error("boom")); }, L"error", L"Caught\nboom"},
        {[] { logCaught(7); }, L"error", L"Caught\nunknown exception type"},
        {[] { printErrLine(L"printErrLine keeps errno"); }, nullptr, String()},
    };
    CTempFolder dir;
    const String path = (dir / L"global.log").str();
    std::FILE* report = std::fopen(dir.api(L"report").c_str(), "w");
    ASSERT_NE(report, nullptr);
    for (const String& file : {path, String(L"/dev/full")}) {
        SCOPED_TRACE(file.toUTF8());
        P<CXMLLog> log(new CXMLLog(file, nullptr, true, 0, false, false, report));
        CXMLLog::setGlobalCreateFunc([log] { return log; });
        CXMLLog::disposeGlobal();
        testing::internal::CaptureStderr();
        for (size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(i);
            errno = EDOM;
            cases[i].call();
            EXPECT_EQ(errno, EDOM);
        }
        const std::string stderrText = testing::internal::GetCapturedStderr();
        EXPECT_NE(stderrText.find("zilui::CThing. Ignoring.\ndisk gone"), std::string::npos) << stderrText;
        EXPECT_EQ(log->getWriteErrorCount(), file == path ? 0 : 9) << "every log call tried to write";
        CXMLLog::setGlobalCreateFunc(nullptr);
        CXMLLog::disposeGlobal();
    }

    const auto entries = entriesOf(readLog(path));
    ASSERT_EQ(entries.size(), std::size(cases) - 1);
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].attrs.at("level"), String(cases[i].level));
        EXPECT_EQ(entries[i].text, cases[i].text);
    }
    std::fclose(report);
    const std::string text = dir.read(L"report");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find("/dev/full"), std::string::npos) << text;
}

TEST_F(GlobalLog, FailingOrRecursiveCreationNeitherThrowsNorHangs)
{
    std::atomic<int> calls{0};
    CXMLLog::setGlobalCreateFunc([&calls]() -> P<CXMLLog> {
        ++calls;
        // logs while the global log is being made: must go nowhere, not recurse or block
        logError(L"from inside the create function");
        EXPECT_TRUE(CXMLLog::getGlobal()->getPath().isEmpty());
        throw CIOError(L"cannot open the configured log", L"test", CIOError::codeCannotOpen);
    });
    CXMLLog::disposeGlobal();

    // a deadlock or endless recursion here ends in the test runner's timeout or a crash
    testing::internal::CaptureStderr();
    logError(L"first");
    logWarning(L"second");
    EXPECT_TRUE(CXMLLog::getGlobal()->getPath().isEmpty());
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(calls.load(), 1);
    const size_t first = stderrText.find("cannot open the configured log");
    ASSERT_NE(first, std::string::npos) << stderrText;
    EXPECT_EQ(stderrText.find("cannot open the configured log", first + 1), std::string::npos)
        << "reported once";
}
