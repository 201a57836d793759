// SPDX-License-Identifier: MIT
#include <zilui/system/externalcommands.h>

#include <zilui/app/action.h>
#include <zilui/app/appbase.h>
#include <zilui/app/strings.h>

#include <zil/error.h>
#include <zil/log.h>
#include <zil/process.h>

#include <wx/thread.h>
#include <wx/utils.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace zilui {

namespace {

const wchar_t* const kOpenFileBrowser = L"openFileBrowser";
const wchar_t* const kOpenFileBrowserAtDiskList = L"openFileBrowserAtDiskList";
const wchar_t* const kOpenWebBrowser = L"openWebBrowser";
const wchar_t* const kOpenPartitionManager = L"openPartitionManager";
const wchar_t* const kOpenCommandPrompt = L"openCommandPrompt";

const wchar_t* const kDesktopOpener = L"xdg-open";
const wchar_t* const kTerminal = L"x-terminal-emulator";
// In order of preference: GNOME's, KDE's, then the one that runs anywhere.
const wchar_t* const kDiskUtilities[] = {L"gnome-disks", L"partitionmanager", L"gparted"};

// What fromUTF8 puts where the bytes were not UTF-8.
constexpr wchar_t kReplacementChar = 0xFFFD;
// Enough digits for any argument count a command line can hold; keeps the parse in range.
constexpr size_t kMaxPlaceholderDigits = 9;

zil::CSafeGlobalSlot<CExternalCommandManager>& commandManagerSlot()
{
    static zil::CSafeGlobalSlot<CExternalCommandManager> slot;
    return slot;
}

zil::String getSearchPath()
{
    const char* path = std::getenv("PATH");
    return zil::String::fromUTF8(path ? path : "");
}

// The first executable regular file `name` in an absolute folder of PATH; empty when none.
// Relative entries (and the empty one, meaning the working folder) are skipped: a desktop
// action must not start whatever happens to lie in the folder the program was started from.
zil::Path findOnSearchPath(const zil::String& name)
{
    const zil::String searchPath = getSearchPath();
    size_t start = 0;
    while (start <= searchPath.size()) {
        size_t end = searchPath.find(L':', start);
        if (end == zil::String::npos)
            end = searchPath.size();
        const zil::Path folder(searchPath.substr(start, end - start));
        start = end + 1;
        if (!folder.isAbsolute())
            continue;
        const zil::Path candidate = folder / zil::Path(name);
        if (zil::fileExists(candidate) && ::access(candidate.toAPIPath().c_str(), X_OK) == 0)
            return candidate;
    }
    return zil::Path();
}

// xdg-open on `target`; a target that starts with '-' is passed so that it cannot be read
// as an option.
zil::CExecCommand makeDesktopOpenerCommand(const zil::String& target, const wchar_t* source)
{
    const zil::Path opener = findOnSearchPath(kDesktopOpener);
    if (opener.isEmpty()) {
        zil::CError e(L"No program to open '" + target + L"' with (xdg-open not found on PATH)", source);
        e.setProp(L"path", target);
        e.setProp(L"searchPath", getSearchPath());
        throw e;
    }
    zil::CExecCommand command(opener.str());
    command.addArgument(target.StartsWith(L"-") ? L"./" + target : target);
    return command;
}

// Where desktops mount removable and extra drives, the nearest thing to a list of drives
// that every file manager can show.
zil::Path findDrivesFolder()
{
    const zil::Path user(fromWX(wxGetUserId()));
    for (const zil::Path& candidate :
         {zil::Path(L"/run/media") / user, zil::Path(L"/media") / user, zil::Path(L"/media")}) {
        if (zil::folderExists(candidate))
            return candidate;
    }
    return zil::Path(L"/");
}

// "$n" (1-based) becomes args[n - 1], in one pass, so that text inserted from an argument is
// never read as a placeholder again. Of the digits after "$", the longest run that names an
// existing argument counts: with fewer than ten arguments "$10" is argument 1 and a "0".
// `maxReferred` is raised to the largest n replaced.
zil::String replacePlaceholders(const zil::String& line, const zil::TArray<zil::String>& args,
                                size_t& maxReferred)
{
    zil::String out;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == L'$') {
            size_t digits = 0;
            while (i + 1 + digits < line.size() && line[i + 1 + digits] >= L'0' &&
                   line[i + 1 + digits] <= L'9')
                ++digits;
            bool replaced = false;
            for (size_t length = std::min(digits, kMaxPlaceholderDigits); length > 0 && !replaced; --length) {
                size_t number = 0;
                for (size_t k = 0; k < length; ++k)
                    number = number * 10 + size_t(line[i + 1 + k] - L'0');
                if (number >= 1 && number <= args.size()) {
                    out += args[number - 1];
                    maxReferred = std::max(maxReferred, number);
                    i += 1 + length;
                    replaced = true;
                }
            }
            if (replaced)
                continue;
        }
        out += line[i];
        ++i;
    }
    return out;
}

// The file manager started on `folder`, as the fallback of `action`, which is logged.
zil::CExecCommand makeFileManagerCommand(const zil::Path& folder, const wchar_t* action)
{
    const zil::Path manager = CExternalCommandManager::getFileManagerPath();
    zil::CExecCommand command(manager.str());
    command.addArgument(folder.str());
    zil::logInfo(L"No external command helper found for '" + zil::String(action) +
                 L"'. Calling the file manager directly (exe: " + manager.str() + L", args: " +
                 command.getCommandLineParams() + L")");
    return command;
}

template <class Call>
bool anyDelegateHandles(const zil::TArray<zil::P<CExternalCommandManager::IDelegate>>& delegates, Call call)
{
    for (const auto& delegate : delegates) {
        if (call(*delegate))
            return true;
    }
    return false;
}

} // namespace

CExternalCommandManager::CExternalCommandManager(const zil::Path& helperFolder) : m_helperFolder(helperFolder)
{
    if (m_helperFolder.isEmpty()) {
        m_helperFolder = CAppBase::findSharedAppFilesPath(zil::CProcess::getOwnExecutablePath()) /
                         zil::Path(L"externalCommands");
    }
}

zil::P<CExternalCommandManager> CExternalCommandManager::get()
{
    return commandManagerSlot().use();
}

void CExternalCommandManager::disposeGlobalInstance()
{
    commandManagerSlot().dispose();
}

void CExternalCommandManager::addDelegate(IDelegate* delegate)
{
    if (!delegate)
        throw zil::CInvalidArgError(L"No delegate given", L"CExternalCommandManager::addDelegate");
    zil::CMutexLock lock(m_lock);
    m_delegates.emplace_back(delegate);
}

zil::TArray<zil::P<CExternalCommandManager::IDelegate>> CExternalCommandManager::getDelegates() const
{
    zil::CMutexLock lock(m_lock);
    return m_delegates;
}

zil::Path CExternalCommandManager::getFileManagerPath()
{
    const zil::Path opener = findOnSearchPath(kDesktopOpener);
    if (opener.isEmpty()) {
        zil::CError e(L"Unable to locate the file manager: xdg-open is not on PATH",
                      L"CExternalCommandManager::getFileManagerPath");
        e.setProp(L"searchPath", getSearchPath());
        throw e;
    }
    return opener;
}

void CExternalCommandManager::openFileBrowser(const zil::String& path, bool asRoot)
{
    if (anyDelegateHandles(getDelegates(), [&](IDelegate& d) { return d.openFileBrowser(path, asRoot); }))
        return;
    if (callExternalCommandHelper1(kOpenFileBrowser, path))
        return;

    const wchar_t* const source = L"CExternalCommandManager::openFileBrowser";
    if (path.isEmpty())
        throw zil::CInvalidArgError(L"No folder given to show in the file manager", source);
    zil::Path target = zil::Path(path).makeAbsolute();
    if (!zil::folderExists(target)) {
        if (!zil::pathExists(target)) {
            zil::CError e(L"Cannot show '" + path + L"' in the file manager: there is no such file or folder",
                          source);
            e.setProp(L"path", path);
            throw e;
        }
        // xdg-open would start the file's own application instead of the file manager.
        target = target.getParent();
    }
    startFallbackCommand(makeFileManagerCommand(target, kOpenFileBrowser));
}

void CExternalCommandManager::openFileBrowserAtDiskList()
{
    if (anyDelegateHandles(getDelegates(), [](IDelegate& d) { return d.openFileBrowserAtDiskList(); }))
        return;
    if (callExternalCommandHelper0(kOpenFileBrowserAtDiskList))
        return;

    startFallbackCommand(makeFileManagerCommand(findDrivesFolder(), kOpenFileBrowserAtDiskList));
}

void CExternalCommandManager::openWebBrowser(const zil::String& url)
{
    if (anyDelegateHandles(getDelegates(), [&](IDelegate& d) { return d.openWebBrowser(url); }))
        return;

    // Any failure to start something, the helper's included, still gets the URL opened.
    auto openInBrowserAfter = [&](const zil::CError& e) {
        zil::logWarning(e, L"Cannot open '" + url +
                               L"' through the helper or xdg-open; trying the browser "
                               L"that wxWidgets finds");
        openURLInDefaultBrowser(url);
    };
    try {
        if (callExternalCommandHelper1(kOpenWebBrowser, url))
            return;
    } catch (const zil::CError& e) {
        openInBrowserAfter(e);
        return;
    }

    const wchar_t* const source = L"CExternalCommandManager::openWebBrowser";
    if (url.isEmpty())
        throw zil::CInvalidArgError(L"No URL given to open in the web browser", source);
    zil::logInfo(L"No external command helper found for 'openWebBrowser'. Opening url with default app: " +
                 url);
    try {
        startFallbackCommand(makeDesktopOpenerCommand(url, source));
    } catch (const zil::CError& e) {
        openInBrowserAfter(e);
    }
}

void CExternalCommandManager::openPartitionManager()
{
    if (anyDelegateHandles(getDelegates(), [](IDelegate& d) { return d.openPartitionManager(); }))
        return;
    if (callExternalCommandHelper0(kOpenPartitionManager))
        return;

    for (const wchar_t* name : kDiskUtilities) {
        const zil::Path utility = findOnSearchPath(name);
        if (!utility.isEmpty()) {
            zil::logInfo(L"No external command helper found for 'openPartitionManager'. Starting " +
                         utility.str());
            startFallbackCommand(zil::CExecCommand(utility.str()));
            return;
        }
    }
    zil::CError e(L"No disk utility found: none of gnome-disks, partitionmanager and gparted is on PATH",
                  L"CExternalCommandManager::openPartitionManager");
    e.setProp(L"searchPath", getSearchPath());
    throw e;
}

void CExternalCommandManager::openCommandPrompt()
{
    if (anyDelegateHandles(getDelegates(), [](IDelegate& d) { return d.openCommandPrompt(); }))
        return;
    if (callExternalCommandHelper0(kOpenCommandPrompt))
        return;

    const zil::Path terminal = findOnSearchPath(kTerminal);
    if (terminal.isEmpty()) {
        zil::CError e(L"No terminal found: x-terminal-emulator is not on PATH",
                      L"CExternalCommandManager::openCommandPrompt");
        e.setProp(L"searchPath", getSearchPath());
        throw e;
    }
    zil::logInfo(L"No external command helper found for 'openCommandPrompt'. Starting " + terminal.str());
    startFallbackCommand(zil::CExecCommand(terminal.str()));
}

zil::Path CExternalCommandManager::findExternalCommandHelper(const zil::String& name) const
{
    for (const wchar_t* extension : {L".zilcall", L".exe"}) {
        const zil::Path candidate = m_helperFolder / zil::Path(name + extension);
        if (zil::fileExists(candidate))
            return candidate;
    }
    return zil::Path();
}

bool CExternalCommandManager::callExternalCommandHelper0(const zil::String& name)
{
    return callExternalCommandHelper(name, {});
}

bool CExternalCommandManager::callExternalCommandHelper1(const zil::String& name, const zil::String& arg)
{
    return callExternalCommandHelper(name, {arg});
}

bool CExternalCommandManager::callExternalCommandHelper(const zil::String& name,
                                                        const zil::TArray<zil::String>& args)
{
    const zil::Path helper = findExternalCommandHelper(name);
    if (helper.isEmpty())
        return false;
    zil::CExecCommand command(helper.str());
    command.setArguments(args);
    finalizeExecCommandForHelper(command);
    zil::logInfo(L"Calling external command helper for '" + name + L"': " + command.getCommandLine());
    try {
        zil::execDisconnected(command);
    } catch (zil::CError& e) {
        e.setProp(L"helper", helper.str());
        throw;
    }
    return true;
}

void CExternalCommandManager::finalizeExecCommandForHelper(zil::CExecCommand& command) const
{
    const zil::Path helper(command.getExecutable());
    const zil::String fileName = helper.getFileName();
    const size_t dot = fileName.find(L'.', 1);
    if (dot == zil::String::npos || fileName.Mid(dot).Lower() != L".zilcall")
        return;

    const wchar_t* const source = L"CExternalCommandManager::finalizeExecCommandForHelper";
    auto parseError = [&](const zil::String& what) {
        zil::CParseError e(L"The external command helper '" + helper.str() + L"' " + what, source);
        e.setProp(L"path", helper.str());
        return e;
    };

    zil::String text = zil::readUTF8TextFile(helper);
    // An argument vector cannot carry NUL, and a replaced byte would start the wrong program
    // or pass the wrong text without anyone noticing.
    if (text.find(L'\0') != zil::String::npos || text.find(kReplacementChar) != zil::String::npos)
        throw parseError(L"is not UTF-8 text");
    text.Replace(L"\r\n", L"\n");

    const zil::TArray<zil::String> callerArgs = command.getArguments();
    command = zil::CExecCommand();
    size_t maxReferred = 0;
    bool haveProgram = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == zil::String::npos)
            end = text.size();
        const zil::String line = text.Mid(start, end - start).Trim();
        start = end + 1;
        if (line.empty())
            continue;
        if (!haveProgram) {
            // A bare name is looked up in PATH when it starts; a relative path is taken from
            // the helper's folder, so an installation can keep its scripts beside the file.
            zil::Path program(line);
            if (!program.isAbsolute() && line.find(L'/') != zil::String::npos)
                program = helper.getParent() / program;
            command.setExecutable(program.normalize().str());
            haveProgram = true;
        } else {
            command.addArgument(replacePlaceholders(line, callerArgs, maxReferred));
        }
    }
    if (!haveProgram)
        throw parseError(L"names no program: its first non-empty line must be the program to run");
    for (size_t i = maxReferred; i < callerArgs.size(); ++i)
        command.addArgument(callerArgs[i]);
}

void CExternalCommandManager::startFallbackCommand(const zil::CExecCommand& command)
{
    zil::execDisconnected(command);
}

void CExternalCommandManager::openURLInDefaultBrowser(const zil::String& url)
{
    // wxWidgets starts the browser with wxExecute, which works on the GUI thread only.
    if (!wxIsMainThread()) {
        postAction([url] {
            if (!wxLaunchDefaultBrowser(toWX(url)))
                zil::logError(L"Cannot open '" + url + L"' in a web browser");
        });
        return;
    }
    if (!wxLaunchDefaultBrowser(toWX(url))) {
        zil::CError e(L"Cannot open '" + url + L"' in a web browser",
                      L"CExternalCommandManager::openURLInDefaultBrowser");
        e.setProp(L"url", url);
        throw e;
    }
}

} // namespace zilui
