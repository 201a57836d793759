// SPDX-License-Identifier: MIT
#include "zil/temp_folder.h"

#include <zilui/system/externalcommands.h>

#include <zil/error.h>
#include <zil/process.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace zilui;
using zil::Path;
using zil::String;
using zil::test::CEnvOverride;
using zil::test::CTempFolder;
using zil::test::thrown;
using Args = std::vector<std::string>;

namespace {

// Records what the fallbacks would start instead of starting a file manager or browser.
class CTestManager : public CExternalCommandManager {
public:
    using CExternalCommandManager::CExternalCommandManager;
    using CExternalCommandManager::finalizeExecCommandForHelper;

    std::vector<zil::CExecCommand> started;
    std::vector<String> browserURLs;

protected:
    void startFallbackCommand(const zil::CExecCommand& command) override { started.push_back(command); }
    void openURLInDefaultBrowser(const String& url) override { browserURLs.push_back(url); }
};

Path writeExecutable(const Path& path, const std::string& content)
{
    std::ofstream(path.toAPIPath(), std::ios::binary) << content;
    ::chmod(path.toAPIPath().c_str(), 0755);
    return path;
}

// A script that writes its arguments, each ended by NUL, to `output`; the rename makes the
// file appear complete or not at all.
Path writeRecorder(const Path& path, const Path& output)
{
    const std::string out = output.toAPIPath();
    return writeExecutable(path, "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + out + ".tmp' && /bin/mv '" + out +
                                     ".tmp' '" + out + "'\n");
}

// The arguments the recorder wrote, waiting for the detached helper; removes the file.
Args takeRecordedArgs(const Path& output)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!zil::fileExists(output)) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the helper wrote nothing to " << output.toAPIPath();
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string bytes = zil::test::readFile(output);
    std::remove(output.toAPIPath().c_str());
    Args args;
    for (size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
        args.push_back(bytes.substr(start, end - start));
    return args;
}

} // namespace

// The program line is trimmed and may hold blanks; "$1" passes a path with a space as one
// argument, with LF and CR LF line ends alike.
TEST(ExternalCommandManagerTest, ZilcallRunsTrimmedProgramWithWholeArguments)
{
    CTempFolder temp;
    zil::ensureFolderExists(temp / Path(L"my tools"));
    const Path output = temp / Path(L"args");
    const Path recorder = writeRecorder(temp / Path(L"my tools/re cord.sh"), output);
    zil::P<CTestManager> manager(new CTestManager(temp.path()));
    for (const std::string eol : {"\n", "\r\n"}) {
        SCOPED_TRACE(eol.size());
        temp.writeFile(Path(L"openFileBrowser.zilcall"),
                       "  " + recorder.toAPIPath() + " \t" + eol + eol + " --option " + eol + "$1" + eol);
        manager->openFileBrowser(L"/some folder/a b", false);
        EXPECT_EQ(takeRecordedArgs(output), (Args{"--option", "/some folder/a b"}));
    }
    EXPECT_TRUE(manager->started.empty());
}

TEST(ExternalCommandManagerTest, ZilcallPlaceholdersAndAppendedArguments)
{
    CTempFolder temp;
    const Path helper = temp.writeFile(Path(L"x.ZilCall"), "");
    zil::P<CTestManager> manager(new CTestManager(temp.path()));
    const struct {
        std::string lines;
        std::vector<String> callerArgs;
        std::vector<String> expected;
    } cases[] = {
        {"-a", {L"p"}, {L"-a", L"p"}},                   // not referred: appended
        {"--path=$1\n-b", {L"p"}, {L"--path=p", L"-b"}}, // inside a word, nothing appended
        {"$1\n$1", {L"p"}, {L"p", L"p"}},
        {"$2", {L"p"}, {L"$2", L"p"}}, // no such argument: stays as written
        {"$$1", {L"p"}, {L"$p"}},
        {"$10", {L"p"}, {L"p0"}},
        {"$2", {L"a", L"b", L"c"}, {L"b", L"c"}},   // only those after the largest referred
        {"$1", {L"$2 $1", L"b"}, {L"$2 $1", L"b"}}, // inserted text is not scanned again
        {"$1", {}, {L"$1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        temp.writeFile(Path(L"x.ZilCall"), "/bin/prog\n" + c.lines + "\n");
        zil::CExecCommand command(helper.str());
        command.setArguments(c.callerArgs);
        manager->finalizeExecCommandForHelper(command);
        EXPECT_EQ(command.getExecutable(), L"/bin/prog");
        EXPECT_EQ(command.getArguments(), c.expected);
    }

    // Bare names stay for the PATH lookup; relative paths are taken from the helper's folder.
    const struct {
        std::string line;
        String expected;
    } programs[] = {
        {"prog", L"prog"},
        {"sub/../bin/prog", (temp / Path(L"bin/prog")).str()},
        {"/usr/./bin//env", L"/usr/bin/env"},
    };
    for (const auto& p : programs) {
        SCOPED_TRACE(p.line);
        temp.writeFile(Path(L"x.ZilCall"), p.line);
        zil::CExecCommand command(helper.str());
        manager->finalizeExecCommandForHelper(command);
        EXPECT_EQ(command.getExecutable(), p.expected);
    }
}

// Shell characters, quotes, a new line and the empty text reach the helper as they were,
// through a ".zilcall" file (which wins over an ".exe" beside it) and an ".exe" helper.
TEST(ExternalCommandManagerTest, ArgumentsReachHelperVerbatim)
{
    CTempFolder temp;
    const Path output = temp / Path(L"args");
    const Path recorder = writeRecorder(temp / Path(L"record.sh"), output);
    temp.writeFile(Path(L"openWebBrowser.zilcall"), recorder.toAPIPath() + "\n$1\n--from-zilcall\n");
    writeRecorder(temp / Path(L"openWebBrowser.exe"), output);
    writeRecorder(temp / Path(L"openFileBrowser.exe"), output);
    zil::ensureFolderExists(temp / Path(L"openFileBrowser.zilcall")); // a folder is no helper
    zil::P<CTestManager> manager(new CTestManager(temp.path()));
    for (const std::string arg : {"a; rm -rf \"$HOME\" $(touch x) `id` 'q' \\ | & > < * ? ~ $1 %s",
                                  "line one\nline two", "-rf", ""}) {
        SCOPED_TRACE(arg);
        manager->openWebBrowser(String::fromUTF8(arg));
        EXPECT_EQ(takeRecordedArgs(output), (Args{arg, "--from-zilcall"}));
        manager->openFileBrowser(String::fromUTF8(arg), true);
        EXPECT_EQ(takeRecordedArgs(output), Args{arg});
    }
    EXPECT_TRUE(manager->started.empty());
    EXPECT_TRUE(manager->browserURLs.empty());
}

namespace {
class CCountingDelegate : public zil::CBase, public CExternalCommandManager::IDelegate {
public:
    CCountingDelegate(bool handles, std::function<void()> onCall = {}) : m_handles(handles), m_onCall(onCall)
    {
    }
    bool openFileBrowser(const String&, bool) override { return count(); }
    bool openFileBrowserAtDiskList() override { return count(); }
    bool openWebBrowser(const String&) override { return count(); }
    bool openPartitionManager() override { return count(); }
    bool openCommandPrompt() override { return count(); }
    int calls = 0;

private:
    bool count()
    {
        ++calls;
        if (m_onCall)
            m_onCall();
        return m_handles;
    }
    bool m_handles;
    std::function<void()> m_onCall;
};
} // namespace

// A delegate that handles an action ends it before the helper folder is looked at: every
// helper here is an empty ".zilcall" that would throw. One delegate registers another while
// it runs, which must neither deadlock nor disturb the running action.
TEST(ExternalCommandManagerTest, DelegateThatHandlesStopsBeforeHelper)
{
    CTempFolder temp;
    const wchar_t* names[] = {L"openFileBrowser", L"openFileBrowserAtDiskList", L"openWebBrowser",
                              L"openPartitionManager", L"openCommandPrompt"};
    for (const wchar_t* name : names)
        temp.writeFile(Path(String(name) + L".zilcall"), "\n");
    zil::P<CTestManager> manager(new CTestManager(temp.path()));
    const std::function<void(CExternalCommandManager&)> actions[] = {
        [](CExternalCommandManager& m) { m.openFileBrowser(L"/tmp", true); },
        [](CExternalCommandManager& m) { m.openFileBrowserAtDiskList(); },
        [](CExternalCommandManager& m) { m.openWebBrowser(L"https://example.org"); },
        [](CExternalCommandManager& m) { m.openPartitionManager(); },
        [](CExternalCommandManager& m) { m.openCommandPrompt(); },
    };

    // Without a delegate the empty helper is reached (the web browser falls back further).
    EXPECT_THROW(actions[0](*manager), zil::CParseError);

    zil::P<CCountingDelegate> late(new CCountingDelegate(false));
    zil::P<CCountingDelegate> declines(new CCountingDelegate(false));
    zil::P<CCountingDelegate> handles(new CCountingDelegate(true, [&] { manager->addDelegate(late.get()); }));
    manager->addDelegate(declines.get());
    manager->addDelegate(handles.get());
    for (size_t i = 0; i < std::size(actions); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_NO_THROW(actions[i](*manager));
        EXPECT_EQ(declines->calls, int(i) + 1);
        EXPECT_EQ(handles->calls, int(i) + 1);
    }
    EXPECT_EQ(late->calls, 0);
    EXPECT_TRUE(manager->started.empty());
    EXPECT_TRUE(manager->browserURLs.empty());
}

// Without delegate or helper the built-in fallbacks run, found on PATH (fakes here, never
// started: the test manager only records what would start).
TEST(ExternalCommandManagerTest, MissingHelperFallsBack)
{
    CTempFolder temp;
    const Path bin = temp / Path(L"bin"), empty = temp / Path(L"empty"), docs = temp / Path(L"my docs");
    for (const Path& folder : {bin, empty, docs})
        zil::ensureFolderExists(folder);
    for (const wchar_t* name : {L"xdg-open", L"partitionmanager", L"gparted", L"x-terminal-emulator"})
        writeExecutable(bin / Path(name), "#!/bin/sh\nexit 1\n");
    const String file = temp.writeFile(Path(L"my docs/-note.txt"), "x").str();
    zil::P<CTestManager> manager(new CTestManager(temp / Path(L"no helpers")));
    CExternalCommandManager& m = *manager;
    const String url = L"https://example.org/?a=1&b=$(x)";
    const String xdgOpen = (bin / Path(L"xdg-open")).str();
    {
        CEnvOverride path("PATH", bin.toAPIPath().c_str());
        const struct {
            std::function<void()> action;
            zil::CExecCommand expected;
        } cases[] = {
            {[&] { m.openFileBrowser(docs.str(), true); },
             zil::CExecCommand(xdgOpen).addArgument(docs.str())},
            {[&] { m.openFileBrowser(file, false); }, zil::CExecCommand(xdgOpen).addArgument(docs.str())},
            {[&] { m.openWebBrowser(url); }, zil::CExecCommand(xdgOpen).addArgument(url)},
            {[&] { m.openPartitionManager(); }, zil::CExecCommand((bin / Path(L"partitionmanager")).str())},
            {[&] { m.openCommandPrompt(); }, zil::CExecCommand((bin / Path(L"x-terminal-emulator")).str())},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.expected.getCommandLine().toUTF8());
            c.action();
            ASSERT_FALSE(manager->started.empty());
            EXPECT_EQ(manager->started.back().getCommandLine(), c.expected.getCommandLine());
        }
        m.openFileBrowserAtDiskList();
        ASSERT_EQ(manager->started.back().getArguments().size(), 1u);
        EXPECT_TRUE(zil::folderExists(manager->started.back().getArguments()[0]));
        EXPECT_EQ(manager->started.size(), std::size(cases) + 1);

        EXPECT_EQ(thrown([&] { m.openFileBrowser(L"/no/such/place", false); }).getProp(L"path"),
                  L"/no/such/place");
        EXPECT_THROW(m.openWebBrowser(L""), zil::CInvalidArgError);
        EXPECT_TRUE(manager->browserURLs.empty());
    }

    CEnvOverride path("PATH", empty.toAPIPath().c_str());
    manager->started.clear();
    m.openWebBrowser(url);
    EXPECT_EQ(manager->browserURLs, std::vector<String>{url});
    const std::function<void()> failing[] = {[&] { m.openPartitionManager(); },
                                             [&] { m.openCommandPrompt(); },
                                             [&] { m.openFileBrowser(docs.str(), false); }};
    for (const auto& action : failing) {
        const zil::CError e = thrown(action);
        EXPECT_EQ(e.getProp(L"searchPath"), empty.str()) << e.getMessage().toUTF8();
    }
    EXPECT_TRUE(manager->started.empty());

    // A helper that cannot start does not keep the URL from opening.
    temp.writeFile(Path(L"openWebBrowser.exe"), "not executable");
    zil::P<CTestManager> broken(new CTestManager(temp.path()));
    broken->openWebBrowser(url);
    EXPECT_EQ(broken->browserURLs, std::vector<String>{url});
}

// A helper file that names no program or is not text is an error that names the file.
TEST(ExternalCommandManagerTest, MalformedZilcallNamesFile)
{
    CTempFolder temp;
    zil::P<CTestManager> manager(new CTestManager(temp.path()));
    const Path helper = temp / Path(L"openPartitionManager.zilcall");
    const std::string contents[] = {"", " \n\r\n\t\n", std::string("/bin/true\n-a\0b\n", 14),
                                    "/bin/\xff\xfe\n"};
    for (const std::string& content : contents) {
        SCOPED_TRACE(testing::PrintToString(content));
        temp.writeFile(helper, content);
        const zil::CParseError e = thrown<zil::CParseError>([&] { manager->openPartitionManager(); });
        EXPECT_NE(e.getMessage().find(helper.str()), String::npos) << e.getMessage().toUTF8();
        EXPECT_EQ(e.getProp(L"path"), helper.str());
    }

    temp.writeFile(helper, "/no/such/program\n");
    const zil::CError e = thrown([&] { manager->openPartitionManager(); });
    EXPECT_EQ(e.getProp(L"helper"), helper.str()) << e.getFullText().toUTF8();
    EXPECT_TRUE(manager->started.empty());
}
