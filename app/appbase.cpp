// SPDX-License-Identifier: MIT
#include "zilui/app/appbase.h"
#include "zilui/app/datafolder.h"

#include "zilui/app/action.h"
#include "zilui/app/eventconnection.h"
#include "zilui/app/language.h"
#include "zilui/app/logging.h"
#include "zilui/app/strings.h"
#include "zilui/xrc/xmlresourcehandler.h"

#include <zil/init.h>
#include <zil/process.h>
#include <zil/signals.h>
#include <zil/thread.h>

#include <wx/config.h>
#include <wx/evtloop.h>
#include <wx/fs_inet.h>
#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/toplevel.h>
#include <wx/xrc/xmlres.h>

#include <atomic>
#include <set>

namespace zilui {

namespace {

zil::CSafeGlobalSlot<CZiluiInit::CWXInitHelper>& wxInitHelperSlot()
{
    static zil::CSafeGlobalSlot<CZiluiInit::CWXInitHelper> slot;
    return slot;
}

// The CAppBase constructed last and not destroyed yet; lets get() skip the dynamic_cast, which
// costs as much as the rest of posting an action.
std::atomic<CAppBase*> g_liveApp{nullptr};

constexpr int64_t kLogMaxSize = 0xA00000; // 10 MiB

} // namespace

// ---------------------------------------------------------------------------------------------
// CZiluiInit

CZiluiInit::CWXInitHelper::CWXInitHelper()
{
    m_initialized = wxInitialize();
}

CZiluiInit::CWXInitHelper::~CWXInitHelper()
{
    try {
        uninitialize();
    } catch (const std::exception& e) {
        zil::onExceptionInDestructorIgnored(e, L"zil::CZiluiInit::CWXInitHelper");
    }
}

void CZiluiInit::CWXInitHelper::uninitialize()
{
    if (!m_initialized)
        return;
    m_initialized = false;
    wxStockGDI::DeleteAll();
    delete wxConfigBase::Set(nullptr);
    wxUninitialize();
}

CZiluiInit::CZiluiInit(bool initWX) : m_zilInit(new zil::CZilInit()), m_initWX(initWX)
{
    if (m_initWX)
        m_wxInitHelper = wxInitHelperSlot().use();
}

CZiluiInit::~CZiluiInit()
{
    try {
        if (m_initWX && m_wxInitHelper && m_wxInitHelper->isInitialized()) {
            m_wxInitHelper->uninitialize();
            // A later CZiluiInit(true) starts wxWidgets afresh.
            wxInitHelperSlot().dispose();
        }
        m_wxInitHelper.reset();
        m_zilInit.reset();
    } catch (const std::exception& e) {
        zil::onExceptionInDestructorIgnored(e, L"zil::CZiluiInit");
    }
}

// ---------------------------------------------------------------------------------------------
// CAppBase

class CAppBase::CStartedAction : public CAction {
public:
    void performAction() override
    {
        if (CAppBase* app = CAppBase::get())
            app->onStarted();
    }
};

wxLog* CAppBase::CAppTraits::CreateLogTarget()
{
    if (m_errorReporting != errorReportingConsole)
        return wxGUIAppTraits::CreateLogTarget();
    return new wxLogStderr();
}

CAppBase::CAppBase(ErrorReporting errorReporting)
    : m_ziluiInit(new CZiluiInit(false)),
      m_errorReporting(errorReporting),
      m_mainThreadID(zil::CThread::getCurrentID())
{
    g_liveApp.store(this, std::memory_order_release);
}

CAppBase::~CAppBase()
{
    CAppBase* self = this;
    g_liveApp.compare_exchange_strong(self, nullptr);
    delete m_locale;
}

CAppBase* CAppBase::get()
{
    wxAppConsole* instance = wxApp::GetInstance();
    CAppBase* live = g_liveApp.load(std::memory_order_acquire);
    if (live && static_cast<wxAppConsole*>(live) == instance)
        return live;
    return dynamic_cast<CAppBase*>(instance);
}

const wxLocale& CAppBase::getLocale() const
{
    if (!m_locale)
        throw zil::CError(L"Internal error: the locale is not initialised yet.", L"CAppBase::getLocale");
    return *m_locale;
}

bool CAppBase::OnInit()
{
    delete wxLog::SetActiveTarget(new wxLogStderr());
    if (!wxApp::OnInit())
        return false;
    initSystemSignalHandlers();
    if (m_exitScheduled)
        return true;
    initCustomGlobalConfig();
    initResourceHandlers();
    initPaths();
    initLogging();
    if (!m_pathsWarning.isEmpty())
        zil::logWarning(m_pathsWarning);
    initCrashHandler();
    initCustomAppFramework();
    initLocale(-1);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler());
    wxFileSystem::AddHandler(new wxInternetFSHandler());

    try {
        initResources();
    } catch (const zil::CError& e) {
        zil::logError(e, L"Error during initResources", zil::String());
        if (m_errorReporting != errorReportingConsole) {
            zil::String text = ZILUI_TR("Error loading application files from folder '%PATH%'.\n"
                                        "Please reinstall the application to ensure that all necessary "
                                        "files are inplace.");
            text.Replace(L"%PATH%", m_resourcesPath.str());
            wxMessageDialog dialog(nullptr, toWX(text), toWX(ZILUI_TR("Error Loading Application")),
                                   wxOK | wxCENTRE | wxICON_ERROR);
            showModal(&dialog);
        } else {
            zil::printErrLine(L"CAppBase::initResources failed (path: " + m_resourcesPath.str() +
                              L"): " + e.getMessage());
        }
        return false;
    }

    zil::P<CAction> started(new CStartedAction());
    started->post();
    return true;
}

void CAppBase::initPaths()
{
    m_appExecutablePath = zil::Path(zil::CProcess::getOwnExecutablePath());
    m_sharedAppFilesPath = findSharedAppFilesPath(m_appExecutablePath);
    const auto hasResOrLang = [](const zil::Path& folder) {
        return zil::folderExists(folder / zil::Path(L"res")) || zil::folderExists(folder / zil::Path(L"lang"));
    };
    if (!hasResOrLang(m_sharedAppFilesPath)) {
        // Neither candidate had them; say so instead of quietly using a folder that is
        // probably unrelated, and fall back to the library's own files.
        const zil::Path first = m_appExecutablePath.makeAbsolute().normalize().getParent().getParent();
        m_pathsWarning = L"No 'res' or 'lang' folder in '" + first.str() + L"' or '" +
                         first.getParent().str() + L"'. ";
        const zil::Path library = getLibraryDataPath();
        if (!library.isEmpty()) {
            m_sharedAppFilesPath = library;
            m_pathsWarning += L"Using the library's folder '" + library.str() + L"'.";
        } else {
            m_pathsWarning += L"Going on without resources and catalogues.";
        }
    }
    m_resourcesPath = m_sharedAppFilesPath / zil::Path(L"res");
    m_langPath = m_sharedAppFilesPath / zil::Path(L"lang");
}

zil::Path CAppBase::findSharedAppFilesPath(const zil::Path& executable)
{
    // Normalised first: the parent of "x64/./app" is "x64/.", whose parent is "x64" again.
    zil::Path folder = executable.makeAbsolute().normalize().getParent().getParent();
    if (!zil::folderExists(folder / zil::Path(L"res")) && !zil::folderExists(folder / zil::Path(L"lang")))
        folder = folder.getParent();
    return folder;
}

void CAppBase::initLogging()
{
    if (m_loggingInitialized)
        return;
    zil::String errorMessage;
    try {
        if (!m_logFileName.isEmpty() && m_logFilePath.isEmpty()) {
            const zil::Path folder = zil::CSystemPaths(fromWX(GetAppName())).getUserAppLogFolder(true);
            m_logFilePath = m_logFileName.isAbsolute() ? m_logFileName : folder / m_logFileName;
        }
        const zil::Path logFolder = m_logFilePath.getParent();
        if (!logFolder.isEmpty())
            zil::ensureFolderExists(logFolder, 0777);
        if (!zil::CXMLLog::haveGlobalCreateFunc())
            zil::CXMLLog::setGlobalCreateFunc(&CAppBase::staticCreateGlobalXMLLog);
    } catch (const std::exception& e) {
        errorMessage = ZILUI_TR("Error initializing logging.") + L"\n\n" + zil::String::fromUTF8(e.what());
    }
    zil::P<CXMLLogWXAdapter> adapter(new CXMLLogWXAdapter(zil::CXMLLog::getGlobal().get()));
    // The holder makes itself the active target; wxWidgets owns it from now on.
    new CZILLogHolder(adapter.get());
    m_loggingInitialized = true;
    onLoggingInitialized();
    if (!errorMessage.isEmpty())
        onInitError(errorMessage);
}

void CAppBase::deinitLogging()
{
    delete wxLog::SetActiveTarget(nullptr);
}

zil::P<zil::CXMLLog> CAppBase::createGlobalXMLLog()
{
    zil::P<zil::CXMLLog::CDefaultSessionHeaderFactory> header(
        new zil::CXMLLog::CDefaultSessionHeaderFactory(L"unknownApp", zil::String(), zil::String()));
    return zil::P<zil::CXMLLog>(
        new zil::CXMLLog(m_logFilePath.str(), header.get(), true, kLogMaxSize, false, true, nullptr));
}

int CAppBase::handleLogLockingError(const zil::CLockFileError&, int)
{
    return 0;
}

zil::P<zil::CXMLLog> CAppBase::outerCreateGlobalXMLLog()
{
    for (int attempt = 0;; ++attempt) {
        try {
            return createGlobalXMLLog();
        } catch (const zil::CLockFileError& e) {
            const int decision = handleLogLockingError(e, attempt);
            if (decision == -1)
                return zil::P<zil::CXMLLog>(
                    new zil::CXMLLog(zil::String(), nullptr, true, kLogMaxSize, false, true, nullptr));
            if (decision == 0)
                throw;
        }
    }
}

zil::P<zil::CXMLLog> CAppBase::staticCreateGlobalXMLLog()
{
    CAppBase* app = get();
    return app ? app->outerCreateGlobalXMLLog() : zil::P<zil::CXMLLog>();
}

void CAppBase::initResourceHandlers()
{
    // Ahead of the standard handlers, which would otherwise claim the plain class names.
    wxXmlResource* resources = wxXmlResource::Get();
    m_resourceHandler = new CZilXMLResourceHandler();
    resources->AddHandler(m_resourceHandler);
    resources->AddHandler(new CZilXMLResourceHandler_ListCtrl());
    resources->AddHandler(new CZilXMLResourceHandler_Sizer());
    resources->InitAllHandlers();
}

void CAppBase::initSystemSignalHandlers()
{
    zil::P<CExitAppSystemSignalHandler> handler(new CExitAppSystemSignalHandler(true));
    zil::CSystemSignalReceiver::get()->setHandler(zil::SysSignal::terminate, handler.get());
}

void CAppBase::onInitError(const zil::String& message)
{
    if (m_errorReporting != errorReportingConsole)
        messageBox(message, ZILUI_TR("Error"), wxOK | wxICON_ERROR, nullptr, -1, -1);
    else
        zil::printErrLine(L"Fatal init error: " + message);
}

void CAppBase::addResource(const zil::Path& file)
{
    zil::Path absolute = file.makeAbsolute(m_resourcesPath);
    // The library's own resources (ProgressDialog.xrc) serve programs that ship none.
    const zil::Path library = getLibraryDataPath();
    if (!file.isAbsolute() && !zil::fileExists(absolute) && !library.isEmpty()) {
        const zil::Path fallback = file.makeAbsolute(library / zil::Path(L"res"));
        if (zil::fileExists(fallback))
            absolute = fallback;
    }
    // wxXmlResource::Load() takes a file mask and fails an assertion, which opens a dialog,
    // when the mask's folder is missing.
    if (!zil::fileExists(absolute) || !wxXmlResource::Get()->Load(toWX(absolute.str()))) {
        zil::CError error(L"Cannot load resource", L"app", 1);
        error.setProp(L"PATH", absolute.str());
        throw error;
    }
}

int CAppBase::OnRun()
{
    int result = 0;
    if (!m_exitScheduled) {
        try {
            result = wxApp::OnRun();
        } catch (const std::exception& e) {
            zil::logError(e, L"Caught exception in main loop", zil::String());
            throw;
        }
    }
    return m_overrideExitCode != -1 ? m_overrideExitCode : result;
}

int CAppBase::OnExit()
{
    const int result = wxApp::OnExit();
    // What the loop did not reach is dropped, before the threads stop (they may take a while)
    // and after, for what they posted meanwhile.
    dropPendingEvents();
    try {
        zil::logInfo(L"App exiting. Stopping all threads.");
        if (zil::CThreadList::get()->stopAllThreads(m_stopThreadsTimeoutMs, true)) {
            zil::logInfo(L"All threads stopped.");
        } else {
            zil::printErrLine(L"\n\nWARNING, WARNING, WARNING: not all threads could be stopped in ~CApp. "
                              L"Deadlocks, crashes and memory leaks may occur.\n\n");
            zil::logWarning(L"Not all threads could be stopped.");
        }
    } catch (const std::exception& e) {
        zil::logError(e, L"Exception in CApp::OnExit. Ignoring.");
    }
    dropPendingEvents();
    try {
        zil::logInfo(L"Disposing global objects. This includes the log, so this is likely the last entry.");
        deinitLogging();
    } catch (const std::exception& e) {
        zil::logError(e, L"Exception in CApp::OnExit. Ignoring.");
    }
    return result;
}

void CAppBase::CleanUp()
{
    deinitLogging();
    wxApp::CleanUp();
}

wxAppTraits* CAppBase::CreateTraits()
{
    return new CAppTraits(m_errorReporting);
}

int64_t CAppBase::getMainThreadID()
{
    return m_mainThreadID;
}

bool CAppBase::closeAllTopLevelWindows(bool force)
{
    std::set<wxWindow*> visited;
    auto closeOnce = [&](wxWindow* window) {
        wxWindow* top = wxGetTopLevelParent(window);
        if (!top || !visited.insert(top).second)
            return true;
        return top->IsBeingDeleted() || top->Close(force);
    };
    if (wxWindow* top = GetTopWindow()) {
        if (!closeOnce(top))
            return false;
    }
    // A copy: closing may delete windows or open new ones.
    const std::vector<wxWindow*> windows(wxTopLevelWindows.begin(), wxTopLevelWindows.end());
    for (wxWindow* window : windows) {
        if (!closeOnce(window))
            return false;
    }
    return true;
}

bool CAppBase::scheduleExit(bool force)
{
    if (!closeAllTopLevelWindows(force))
        return false;
    m_exitScheduled = true;
    // The loop ends by itself when the last top-level window goes; with none left to go it
    // would wait for ever.
    if (wxTopLevelWindows.empty() && IsMainLoopRunning())
        ExitMainLoop();
    return true;
}

void CAppBase::doEventLoopOnce()
{
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop && loop->Pending())
        loop->Dispatch();
}

void CAppBase::doEventLoopUntilEmpty()
{
    for (wxEventLoopBase* loop = wxEventLoopBase::GetActive(); loop && loop->Pending();
         loop = wxEventLoopBase::GetActive())
        loop->Dispatch();
    if (CAppBase* app = get())
        app->ProcessPendingEvents();
}

} // namespace zilui
