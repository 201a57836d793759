// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/log.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zil;

namespace {

class CTempDir {
public:
    CTempDir()
    {
        char pattern[] = "/tmp/zil-log-test-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made)
            throw std::runtime_error("mkdtemp failed");
        m_path = made;
    }
    ~CTempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    String file(const char* name) const { return String::fromUTF8(m_path + "/" + name); }

private:
    std::string m_path;
};

std::string readFile(const String& path)
{
    std::ifstream in(path.toUTF8(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

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

bool isXMLChar(unsigned long c)
{
    return c == 9 || c == 10 || c == 13 || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// A strict reader of exactly what the log may write: elements separated by newlines, each
// empty or holding text. Whatever an XML parser would reject (raw "<" or "&", an unknown
// entity, a reference to a character XML cannot hold, a control character, raw white space
// in an attribute, which normalisation would change, broken UTF-8) throws.
std::vector<SElement> parseLog(const std::string& s)
{
    size_t pos = 0;
    auto fail = [&](const std::string& why) {
        throw std::runtime_error(why + " at byte " + std::to_string(pos));
    };
    if (String::fromUTF8(s).toUTF8() != s)
        fail("invalid UTF-8");
    auto expect = [&](const std::string& literal) {
        if (s.compare(pos, literal.size(), literal) != 0)
            fail("expected " + literal);
        pos += literal.size();
    };
    auto name = [&] {
        const size_t start = pos;
        while (pos < s.size() && std::isalpha(static_cast<unsigned char>(s[pos])))
            ++pos;
        if (pos == start)
            fail("expected a name");
        return s.substr(start, pos - start);
    };
    auto chars = [&](char end, bool attribute) {
        static const std::map<std::string, wchar_t> named = {
            {"amp", L'&'}, {"lt", L'<'}, {"gt", L'>'}, {"quot", L'"'}, {"apos", L'\''}};
        String out;
        std::string raw;
        while (pos < s.size() && s[pos] != end) {
            const auto c = static_cast<unsigned char>(s[pos]);
            if (c == '<' || c == '\r' || (c < 0x20 && (attribute || (c != '\t' && c != '\n'))))
                fail("raw markup or control character");
            if (c != '&') {
                raw += s[pos++];
                continue;
            }
            out += String::fromUTF8(raw);
            raw.clear();
            const size_t semi = s.find(';', pos);
            if (semi == std::string::npos)
                fail("unterminated reference");
            const std::string ref = s.substr(pos + 1, semi - pos - 1);
            if (named.count(ref)) {
                out += named.at(ref);
            } else if (ref.size() > 1 && ref[0] == '#' &&
                       ref.find_first_not_of("0123456789", 1) == std::string::npos &&
                       isXMLChar(std::stoul(ref.substr(1)))) {
                out += static_cast<wchar_t>(std::stoul(ref.substr(1)));
            } else {
                fail("bad reference &" + ref + ";");
            }
            pos = semi + 1;
        }
        return out + String::fromUTF8(raw);
    };

    std::vector<SElement> elements;
    while (pos < s.size()) {
        if (s[pos] == '\n') {
            ++pos;
            continue;
        }
        SElement e;
        expect("<");
        e.name = name();
        while (pos < s.size() && s[pos] == ' ') {
            ++pos;
            const std::string key = name();
            expect("=\"");
            if (!e.attrs.emplace(key, chars('"', true)).second)
                fail("duplicate attribute " + key);
            expect("\"");
        }
        if (s.compare(pos, 2, "/>") == 0) {
            pos += 2;
        } else {
            expect(">");
            e.text = chars('<', false);
            expect("</");
            if (name() != e.name)
                fail("mismatched end tag");
            expect(">");
        }
        elements.push_back(std::move(e));
    }
    return elements;
}

std::vector<SElement> readLog(const String& path)
{
    return parseLog(readFile(path));
}

std::vector<SElement> entriesOf(const std::vector<SElement>& elements)
{
    std::vector<SElement> entries;
    for (const auto& e : elements)
        if (e.name == "entry")
            entries.push_back(e);
    return entries;
}

P<CXMLLog::ISessionHeaderFactory> testHeader()
{
    return P<CXMLLog::ISessionHeaderFactory>(
        new CXMLLog::CDefaultSessionHeaderFactory(L"logtest", L"1.0", String()));
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
    CTempDir dir;
    const String path = dir.file("threads.log");
    {
        P<CXMLLog> log(new CXMLLog(path, testHeader().get(), false, 0, false, true));
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&log, t] {
                for (int i = 0; i < kPerThread; ++i) {
                    // every 7th entry spans lines and carries markup, so a torn write shows
                    String text = toString(static_cast<int64_t>(t)) + L" " +
                                  toString(static_cast<int64_t>(i));
                    if (i % 7 == 0)
                        text += L"\n<second & \"line\">";
                    log->writeEntry(i % 2 ? LogLevel::info : LogLevel::warning, text);
                }
            });
        }
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ(log->getWriteErrorCount(), 0);
    }

    const auto elements = readLog(path);
    ASSERT_FALSE(elements.empty());
    EXPECT_EQ(elements.front().name, "session");
    const auto entries = entriesOf(elements);
    ASSERT_EQ(entries.size(), static_cast<size_t>(kThreads * kPerThread));

    std::vector<int> next(kThreads, 0);
    std::map<int, String> threadIds;
    for (const auto& entry : entries) {
        std::wistringstream in(entry.text);
        int t = -1;
        int i = -1;
        in >> t >> i;
        ASSERT_TRUE(t >= 0 && t < kThreads) << String(entry.text).toUTF8();
        ASSERT_EQ(i, next[t]) << "writer " << t << " out of order";
        ++next[t];
        EXPECT_EQ(entry.text.find(L"\n<second") != String::npos, i % 7 == 0);
        EXPECT_EQ(entry.attrs.at("level"), String(i % 2 ? L"info" : L"warning"));
        auto [it, inserted] = threadIds.emplace(t, entry.attrs.at("thread"));
        EXPECT_EQ(it->second, entry.attrs.at("thread"));
    }
    std::set<String> distinct;
    for (const auto& [t, id] : threadIds)
        distinct.insert(id);
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads)) << "each writer has its own thread id";
}

TEST(XMLLog, HostileTextStaysWellFormedAndReadsBack)
{
    const struct {
        const char* name;
        String text;
        String readBack;
    } cases[] = {
        {"markup", L"<&>\"'", L"<&>\"'"},
        {"end of CDATA", L"]]>", L"]]>"},
        {"tab, newline, CR", L"a\tb\nc\r\nd", L"a\tb\nc\r\nd"},
        {"C0 controls are dropped", String(L"x\x01y\x1Fz\x0B") + String(1, L'\0') + L"!",
         L"xyz!"},
        {"C1 controls", L"\x7F\x85", L"\x7F\x85"},
        {"lone surrogates", String(1, wchar_t(0xD800)) + L"x" + String(1, wchar_t(0xDC00)),
         L"\uFFFDx\uFFFD"},
        {"surrogate pair", String(1, wchar_t(0xD83D)) + String(1, wchar_t(0xDE00)),
         L"\U0001F600"},
        {"non-characters and beyond Unicode", String(1, wchar_t(0xFFFE)) + String(1, wchar_t(0x110000)),
         L"\uFFFD\uFFFD"},
        {"plain non-ASCII", L"Grüße €", L"Grüße €"},
    };
    CTempDir dir;
    const String path = dir.file("escape.log");
    P<CXMLLog::ISessionHeaderFactory> header(new CXMLLog::CDefaultSessionHeaderFactory(
        L"a\"b<c>&", L"1\n2\t3\r", String(L"x") + String(1, wchar_t(0xD800))));
    {
        CXMLLog log(path, header.get(), false, 0, true, false);
        for (const auto& c : cases)
            log.writeEntry(LogLevel::error, c.text);
    }

    std::vector<SElement> elements;
    ASSERT_NO_THROW(elements = readLog(path)) << readFile(path);
    ASSERT_EQ(elements.size(), std::size(cases) + 1);
    const auto& session = elements[0];
    EXPECT_EQ(session.name, "session");
    EXPECT_EQ(session.attrs.at("app"), String(L"a\"b<c>&"));
    EXPECT_EQ(session.attrs.at("version"), String(L"1\n2\t3\r"));
    EXPECT_EQ(session.attrs.at("extra"), String(L"x\uFFFD"));
    EXPECT_EQ(session.attrs.at("pid"), toString(static_cast<int64_t>(::getpid())));
    for (const char* key : {"host", "user", "start"})
        EXPECT_FALSE(session.attrs.at(key).isEmpty()) << key;
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(elements[i + 1].text, cases[i].readBack);
    }
}

TEST(XMLLog, WritesTheGivenTimeAndTheLevelName)
{
    const struct {
        time_t time;
        LogLevel level;
        const wchar_t* expectedTime;
        const wchar_t* expectedLevel;
    } cases[] = {
        {0, LogLevel::fatal, L"1970-01-01T00:00:00Z", L"fatal"},
        {-1, LogLevel::error, L"1969-12-31T23:59:59Z", L"error"},
        {951782400, LogLevel::warning, L"2000-02-29T00:00:00Z", L"warning"},
        {1796489367, LogLevel::debug, L"2026-12-05T16:49:27Z", L"debug"},
    };
    CTempDir dir;
    const String path = dir.file("time.log");
    const time_t before = std::time(nullptr);
    {
        CXMLLog log(path, nullptr, false, 0, false, false);
        for (const auto& c : cases)
            log.writeEntry(c.level, L"x", &c.time);
        log.writeEntry(LogLevel::info, L"now");
    }
    const time_t after = std::time(nullptr);

    const auto elements = readLog(path);
    ASSERT_EQ(elements.size(), std::size(cases) + 1) << "no session header without a factory";
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(elements[i].attrs.at("time"), String(cases[i].expectedTime));
        EXPECT_EQ(elements[i].attrs.at("level"), String(cases[i].expectedLevel));
    }
    const String now = elements.back().attrs.at("time");
    EXPECT_TRUE(now == CXMLLog::formatTime(before) || now == CXMLLog::formatTime(after))
        << now.toUTF8();
}

TEST(XMLLog, RollsOverAtTheLimitAndKeepsOversizedEntriesWhole)
{
    constexpr int64_t kMax = 1000;
    constexpr int kCount = 40;
    CTempDir dir;
    const String path = dir.file("roll.log");
    const String older = path + L".1";
    CXMLLog log(path, testHeader().get(), false, kMax, false, true);
    // a file holding only its header has nothing to keep: no rollover, however big the entry
    log.writeEntry(LogLevel::info, String(2 * kMax, L'A'));
    EXPECT_EQ(fileSize(older), -1);
    for (int i = 0; i < kCount; ++i) {
        log.writeEntry(LogLevel::info, L"entry " + toString(static_cast<int64_t>(i)) + String(40, L'.'));
        ASSERT_LE(fileSize(path), kMax) << "after entry " << i;
    }
    ASSERT_LE(fileSize(older), kMax);

    // The current file and the one before it are fresh files: each starts with the session,
    // and together they hold the latest entries without a gap.
    std::vector<int> numbers;
    for (const String& file : {older, path}) {
        const auto elements = readLog(file);
        ASSERT_FALSE(elements.empty());
        EXPECT_EQ(elements.front().name, "session");
        for (const auto& entry : entriesOf(elements))
            numbers.push_back(static_cast<int>(parseInt64(entry.text.substr(6, entry.text.find(L'.') - 6))));
    }
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(numbers.back(), kCount - 1);
    for (size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1);

    const String big(3 * kMax, L'B');
    log.writeEntry(LogLevel::error, big);
    auto current = readLog(path);
    ASSERT_EQ(current.size(), 2u);
    EXPECT_EQ(current[0].name, "session");
    EXPECT_EQ(current[1].text, big);
    auto previous = entriesOf(readLog(older));
    ASSERT_FALSE(previous.empty());
    EXPECT_EQ(previous.back().text.substr(0, 9), String(L"entry 39."));

    log.writeEntry(LogLevel::info, L"after");
    current = readLog(path);
    ASSERT_EQ(current.size(), 2u);
    EXPECT_EQ(current[1].text, String(L"after"));
    previous = entriesOf(readLog(older));
    ASSERT_EQ(previous.size(), 1u);
    EXPECT_EQ(previous[0].text, big);
    EXPECT_EQ(log.getWriteErrorCount(), 0);
}

TEST(XMLLog, AppendingStartsANewLineAndRollsOverAFullFile)
{
    CTempDir dir;
    const String path = dir.file("reopen.log");
    {
        std::ofstream out(path.toUTF8());
        out << "<entry time=\"x\" level=\"error\" thread=\"1\">old</entry>\n<entry time=\"x\" le";
    }
    {
        CXMLLog log(path, testHeader().get(), true, 0, false, true);
        log.writeEntry(LogLevel::info, L"new");
    }
    std::string content = readFile(path);
    EXPECT_EQ(content.rfind("<entry time=\"x\" level=\"error\" thread=\"1\">old</entry>\n", 0), 0u);
    // the torn line stays torn, but the new session starts on a line of its own
    const size_t session = content.find("<session ");
    ASSERT_NE(session, std::string::npos);
    EXPECT_EQ(content[session - 1], '\n');
    EXPECT_EQ(entriesOf(parseLog(content.substr(session))).size(), 1u);

    // appending to a file already past the limit moves it aside before the session starts
    {
        CXMLLog log(path, testHeader().get(), true, 50, false, true);
        log.writeEntry(LogLevel::info, L"fresh");
    }
    EXPECT_EQ(readFile(path + L".1"), content);
    const auto elements = readLog(path);
    ASSERT_EQ(elements.size(), 2u);
    EXPECT_EQ(elements[0].name, "session");
    EXPECT_EQ(elements[1].text, String(L"fresh"));
}

TEST(XMLLog, SecondWriterIsLockedOutInThisAndOtherProcesses)
{
    CTempDir dir;
    const String path = dir.file("locked.log");
    // 0: opened, 1: CLockFileError naming the path, 2: anything else.
    auto tryInChild = [&path]() {
        const pid_t pid = ::fork();
        if (pid == 0) {
            int code = 2;
            try {
                CXMLLog log(path, nullptr, true, 0, false, true);
                code = 0;
            } catch (const CLockFileError& e) {
                code = e.getProp(L"path") == path ? 1 : 2;
            } catch (...) {
            }
            ::_exit(code);
        }
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
            return -1;
        return WEXITSTATUS(status);
    };

    P<CXMLLog> first(new CXMLLog(path, testHeader().get(), true, 200, false, true));
    // rollovers rename the log file, never the lock
    for (int i = 0; i < 5; ++i)
        first->writeEntry(LogLevel::info, String(100, L'x'));
    ASSERT_GE(fileSize(path + L".1"), 100);
    try {
        CXMLLog second(path, nullptr, true, 0, false, true);
        ADD_FAILURE() << "a second log opened a locked file";
    } catch (const CLockFileError& e) {
        EXPECT_EQ(e.getProp(L"path"), path);
        EXPECT_NE(e.getMessage().find(path), String::npos) << e.what();
    }
    EXPECT_EQ(tryInChild(), 1);

    first->close();
    first->close();
    EXPECT_EQ(tryInChild(), 0);
    EXPECT_NO_THROW(CXMLLog(path, nullptr, true, 0, false, true));
}

TEST(XMLLog, OpenFailuresNameThePath)
{
    CTempDir dir;
    const struct {
        const char* name;
        String path;
        bool lockFile;
        int sysError;
    } cases[] = {
        {"missing folder", dir.file("no/such/folder/x.log"), false, ENOENT},
        {"missing folder, locked", dir.file("no/such/folder/x.log"), true, ENOENT},
        {"a folder", dir.file(""), false, EISDIR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            CXMLLog log(c.path, nullptr, true, 0, false, c.lockFile);
            ADD_FAILURE() << "opened";
        } catch (const CIOError& e) {
            EXPECT_EQ(e.getCode(), CIOError::codeCannotOpen);
            EXPECT_EQ(e.getProp(L"path"), c.path);
            EXPECT_NE(e.getMessage().find(c.path), String::npos) << e.what();
            EXPECT_EQ(e.getProp(L"lastSysError"), toString(static_cast<int64_t>(c.sysError)));
            EXPECT_FALSE(e.getProp(L"func").isEmpty());
        }
    }
}

TEST(XMLLog, WriteFailuresAreCountedAndReportedOncePerRun)
{
    std::FILE* report = std::tmpfile();
    ASSERT_NE(report, nullptr);
    {
        // /dev/full takes the open and refuses every write with ENOSPC
        CXMLLog log(L"/dev/full", testHeader().get(), true, 100, true, false, report);
        for (int i = 0; i < 3; ++i)
            log.writeEntry(LogLevel::error, L"lost");
        EXPECT_EQ(log.getWriteErrorCount(), 4) << "the header and three entries";
        log.close();
        log.writeEntry(LogLevel::error, L"after close");
        EXPECT_EQ(log.getWriteErrorCount(), 5);
    }
    std::rewind(report);
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, report))
        text += buffer;
    std::fclose(report);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find("/dev/full"), std::string::npos) << text;

    CXMLLog nowhere(String(), testHeader().get(), true, 1, true, true);
    nowhere.writeEntry(LogLevel::error, L"gone");
    nowhere.close();
    nowhere.writeEntry(LogLevel::error, L"gone too");
    EXPECT_EQ(nowhere.getWriteErrorCount(), 0);
}

TEST_F(GlobalLog, LogCallsKeepErrnoEvenWhenTheWriteFails)
{
    P<CXMLLog> made;
    CXMLLog::setGlobalCreateFunc([&made] {
        made = new CXMLLog(L"/dev/full", nullptr, true, 0, false, false);
        return made;
    });
    CXMLLog::disposeGlobal();
    const CIOError error(L"disk gone", L"test", CIOError::codeWriteError);
    const std::runtime_error plain("plain");

    const std::function<void()> calls[] = {
        [] { logError(L"a"); },
        [&] { logError(error, L"a", L"b"); },
        [] { logWarning(L"a", L"b"); },
        [&] { logWarning(plain, L"a"); },
        [] { logInfo(L"a"); },
        [] { logDebug(L"a"); },
        [] { printErrLine(L"printErrLine keeps errno"); },
    };
    int i = 0;
    for (const auto& call : calls) {
        SCOPED_TRACE(i++);
        errno = EDOM;
        call();
        EXPECT_EQ(errno, EDOM);
    }
    ASSERT_TRUE(made);
    EXPECT_EQ(made->getWriteErrorCount(), 6) << "every log call really tried to write";
}

TEST_F(GlobalLog, EntriesOfTheLogFunctionsCarryTheExceptionText)
{
    CTempDir dir;
    const String path = dir.file("global.log");
    CXMLLog::setGlobalCreateFunc(
        [&path] { return P<CXMLLog>(new CXMLLog(path, nullptr, false, 0, false, true)); });
    CXMLLog::disposeGlobal();
    ASSERT_TRUE(CXMLLog::haveGlobalCreateFunc());

    CIOError error(L"disk gone", L"CFile::write", CIOError::codeWriteError);
    error.setProp(L"path", L"/x");
    logError(error, L"Saving failed", L"second");
    logWarning(std::runtime_error("caf\xC3\xA9"), L"Odd");
    testing::internal::CaptureStderr();
    onExceptionInDestructorIgnored(error, L"zilui::CThing");
    const std::string stderrText = testing::internal::GetCapturedStderr();
    CXMLLog::disposeGlobal(); // closes the file, releasing its lock

    const auto entries = entriesOf(readLog(path));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].attrs.at("level"), String(L"error"));
    EXPECT_EQ(entries[0].text, String(L"Saving failed\nsecond\n") + error.getFullText());
    EXPECT_EQ(entries[1].attrs.at("level"), String(L"warning"));
    EXPECT_EQ(entries[1].text, String(L"Odd\ncafé"));
    EXPECT_EQ(entries[2].text.rfind(L"Exception in destructor of zilui::CThing. Ignoring.\n", 0), 0u);
    EXPECT_NE(entries[2].text.find(L"path: /x"), String::npos);
    EXPECT_NE(stderrText.find("Exception in destructor of zilui::CThing. Ignoring."), std::string::npos);
    EXPECT_NE(stderrText.find("disk gone"), std::string::npos);
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
    const P<CXMLLog> log = CXMLLog::getGlobal();
    logWarning(L"second");
    ASSERT_TRUE(log);
    EXPECT_TRUE(log->getPath().isEmpty());
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(calls.load(), 1);
    const size_t first = stderrText.find("cannot open the configured log");
    ASSERT_NE(first, std::string::npos) << stderrText;
    EXPECT_EQ(stderrText.find("cannot open the configured log", first + 1), std::string::npos)
        << "reported once";

    // A new create function takes effect once the old log is disposed of.
    CXMLLog::setGlobalCreateFunc(nullptr);
    EXPECT_FALSE(CXMLLog::haveGlobalCreateFunc());
    CXMLLog::disposeGlobal();
    EXPECT_TRUE(CXMLLog::getGlobal()->getPath().isEmpty());
    EXPECT_EQ(calls.load(), 1);
}
