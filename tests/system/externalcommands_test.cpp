// SPDX-License-Identifier: MIT
#include "zil/temp_folder.h"

#include <zilui/system/externalcommands.h>

#include <zil/error.h>
#include <zil/process.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
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

// A script writing its arguments, each ended by NUL, to `output` (renamed so it appears whole).
Path writeRecorder(const Path& path, const Path& output)
{
    const std::string out = "'" + output.toAPIPath();
    return writeExecutable(path, "#!/bin/sh\nprintf '%s\\0' \"$@\" > " + out + ".tmp' && /bin/mv " + out +
                                     ".tmp' " + out + "'\n");
}

// The arguments the detached recorder wrote (none when it wrote nothing in 30 s); removes the file.
Args takeRecordedArgs(const Path& output)
{
    for (int waited = 0; !zil::fileExists(output) && waited < 3000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string bytes = zil::test::readFile(output);
    std::remove(output.toAPIPath().c_str());
    Args args;
    for (size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
        args.push_back(bytes.substr(start, end - start));
    return args;
}

class CCountingDelegate : public zil::CBase, public CExternalCommandManager::IDelegate {
public:
    explicit CCountingDelegate(bool handles) : m_handles(handles) {}
    bool openFileBrowser(const String&, bool) override { return count(); }
    bool openFileBrowserAtDiskList() override { return count(); }
    bool openWebBrowser(const String&) override { return count(); }
    bool openPartitionManager() override { return count(); }
    bool openCommandPrompt() override { return count(); }
    int calls = 0;
    std::function<void()> onCall;

private:
    bool count() { return ++calls, onCall ? onCall() : void(), m_handles; }
    bool m_handles;
};

} // namespace

// "$n" placeholders, relative programs; a helper file that names no program or is not text is
// an error that names the file.
TEST(ExternalCommandManagerTest, ZilcallArgumentsAndMalformedFiles)
{
    CTempFolder temp;
    const Path helper = temp.writeFile(Path(L"x.ZilCall"), "");
    zil::P<CTestManager> manager(new CTestManager(temp.path()));
    // Lines after the program, the caller's arguments, the resulting arguments.
    const struct { std::string lines; std::vector<String> args, expected; } cases[] = {
        {"-a", {L"p"}, {L"-a", L"p"}},                   // not referred: appended
        {"--path=$1\n-b", {L"p"}, {L"--path=p", L"-b"}}, // inside a word, nothing appended
        {"$2", {L"a", L"b", L"c"}, {L"b", L"c"}},        // only those after the largest referred
        {"$1", {L"$2 $1", L"b"}, {L"$2 $1", L"b"}},      // inserted text is not scanned again
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        temp.writeFile(Path(L"x.ZilCall"), "sub/../bin/prog\n" + c.lines + "\n");
        zil::CExecCommand command(helper.str());
        command.setArguments(c.args);
        manager->finalizeExecCommandForHelper(command);
        EXPECT_EQ(command.getExecutable(), (temp / Path(L"bin/prog")).str()); // relative to the helper
        EXPECT_EQ(command.getArguments(), c.expected);
    }

    const Path bad = temp / Path(L"openPartitionManager.zilcall");
    for (const std::string& content : {std::string(), std::string(" \n\r\n\t\n"),
                                       std::string("/bin/true\n-a\0b\n", 14), std::string("/bin/\xff\n")}) {
        SCOPED_TRACE(testing::PrintToString(content));
        temp.writeFile(bad, content);
        const zil::CParseError e = thrown<zil::CParseError>([&] { manager->openPartitionManager(); });
        EXPECT_NE(e.getMessage().find(bad.str()), String::npos) << e.getMessage().toUTF8();
        EXPECT_EQ(e.getProp(L"path"), bad.str());
    }
    temp.writeFile(bad, "/no/such/program\n");
    EXPECT_EQ(thrown([&] { manager->openPartitionManager(); }).getProp(L"helper"), bad.str());
    EXPECT_TRUE(manager->started.empty());
}

// Through a ".zilcall" (winning over an ".exe" beside it; a trimmed program path with blanks,
// empty line, option, "$1" line; LF or CR LF) and an ".exe" helper, which gets the path only.
TEST(ExternalCommandManagerTest, ArgumentsReachHelperVerbatim)
{
    CTempFolder temp;
    zil::ensureFolderExists(temp / Path(L"my tools"));
    const Path output = temp / Path(L"args");
    const Path recorder = writeRecorder(temp / Path(L"my tools/re cord.sh"), output);
    writeRecorder(temp / Path(L"openWebBrowser.exe"), output);
    writeRecorder(temp / Path(L"openFileBrowser.exe"), output);
    zil::ensureFolderExists(temp / Path(L"openFileBrowser.zilcall")); // a folder is no helper
    zil::P<CTestManager> manager(new CTestManager(temp.path()));
    int round = 0;
    for (const std::string arg : {"/some folder/a b", "line\ntwo", "-rf", "",
                                  "a; rm -rf \"$HOME\" $(touch x) `id` 'q' \\ | & > < * ? ~ $1 %s"}) {
        SCOPED_TRACE(arg);
        const std::string eol = round++ % 2 ? "\r\n" : "\n";
        temp.writeFile(Path(L"openWebBrowser.zilcall"),
                       "  " + recorder.toAPIPath() + " \t" + eol + eol + " --option " + eol + "$1" + eol);
        manager->openWebBrowser(String::fromUTF8(arg));
        EXPECT_EQ(takeRecordedArgs(output), (Args{"--option", arg}));
        manager->openFileBrowser(String::fromUTF8(arg), true);
        EXPECT_EQ(takeRecordedArgs(output), Args{arg});
    }
    EXPECT_TRUE(manager->started.empty() && manager->browserURLs.empty());
}

// Every helper is an empty ".zilcall" that would throw. A delegate registering another while it
// runs must neither deadlock nor disturb the running action.
TEST(ExternalCommandManagerTest, DelegateThatHandlesStopsBeforeHelper)
{
    CTempFolder temp;
    zil::P<CTestManager> manager(new CTestManager(temp.path()));
    CExternalCommandManager& m = *manager;
    const std::pair<const wchar_t*, std::function<void()>> actions[] = {
        {L"openFileBrowser", [&] { m.openFileBrowser(L"/tmp", true); }},
        {L"openFileBrowserAtDiskList", [&] { m.openFileBrowserAtDiskList(); }},
        {L"openWebBrowser", [&] { m.openWebBrowser(L"https://example.org"); }},
        {L"openPartitionManager", [&] { m.openPartitionManager(); }},
        {L"openCommandPrompt", [&] { m.openCommandPrompt(); }}};
    for (const auto& action : actions)
        temp.writeFile(Path(String(action.first) + L".zilcall"), "\n");
    EXPECT_THROW(actions[0].second(), zil::CParseError); // without a delegate the helper is reached

    zil::P<CCountingDelegate> late(new CCountingDelegate(false)), declines(new CCountingDelegate(false)),
        handles(new CCountingDelegate(true));
    handles->onCall = [&] { m.addDelegate(late.get()); };
    m.addDelegate(declines.get());
    m.addDelegate(handles.get());
    for (size_t i = 0; i < std::size(actions); ++i) {
        SCOPED_TRACE(actions[i].first);
        EXPECT_NO_THROW(actions[i].second());
        EXPECT_EQ(declines->calls, int(i) + 1);
        EXPECT_EQ(handles->calls, int(i) + 1);
    }
    EXPECT_EQ(late->calls, 0);
    EXPECT_TRUE(manager->started.empty() && manager->browserURLs.empty());
}

// Without delegate or helper the built-in fallbacks found on PATH are handed to the seam.
TEST(ExternalCommandManagerTest, MissingHelperFallsBack)
{
    CTempFolder temp;
    const Path bin = temp / Path(L"bin"), empty = temp / Path(L"empty");
    zil::ensureFolderExists(bin);
    zil::ensureFolderExists(empty);
    for (const wchar_t* name : {L"xdg-open", L"partitionmanager", L"gparted", L"x-terminal-emulator"})
        writeExecutable(bin / Path(name), "#!/bin/sh\nexit 1\n");
    const String file = temp.writeFile(Path(L"-note.txt"), "x").str();
    zil::P<CTestManager> manager(new CTestManager(temp / Path(L"no helpers")));
    CExternalCommandManager& m = *manager;
    const String url = L"https://example.org/?a=1&b=$(x)";
    auto command = [&](const wchar_t* name, const std::vector<String>& args) {
        return zil::CExecCommand((bin / Path(name)).str()).setArguments(args).getCommandLine();
    };
    {
        CEnvOverride path("PATH", bin.toAPIPath().c_str());
        const std::pair<std::function<void()>, String> cases[] = {
            {[&] { m.openFileBrowser(file, false); }, command(L"xdg-open", {temp.path().str()})},
            {[&] { m.openWebBrowser(url); }, command(L"xdg-open", {url})},
            {[&] { m.openPartitionManager(); }, command(L"partitionmanager", {})},
            {[&] { m.openCommandPrompt(); }, command(L"x-terminal-emulator", {})},
        };
        for (const auto& [action, expected] : cases) {
            SCOPED_TRACE(expected.toUTF8());
            action();
            ASSERT_FALSE(manager->started.empty());
            EXPECT_EQ(manager->started.back().getCommandLine(), expected);
        }
        EXPECT_EQ(thrown([&] { m.openFileBrowser(L"/no/such/place", false); }).getProp(L"path"),
                  L"/no/such/place");
        EXPECT_THROW(m.openWebBrowser(L""), zil::CInvalidArgError);
    }

    CEnvOverride path("PATH", empty.toAPIPath().c_str());
    manager->started.clear();
    m.openWebBrowser(url);
    EXPECT_EQ(manager->browserURLs, std::vector<String>{url});
    EXPECT_EQ(thrown([&] { m.openPartitionManager(); }).getProp(L"searchPath"), empty.str());
    EXPECT_TRUE(manager->started.empty());

    // A helper that cannot start does not keep the URL from opening.
    temp.writeFile(Path(L"openWebBrowser.exe"), "not executable");
    zil::P<CTestManager> broken(new CTestManager(temp.path()));
    broken->openWebBrowser(url);
    EXPECT_EQ(broken->browserURLs, std::vector<String>{url});
}
