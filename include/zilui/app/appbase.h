// SPDX-License-Identifier: MIT
#pragma once

#include <zil/containers.h>
#include <zil/error.h>
#include <zil/log.h>
#include <zil/object.h>
#include <zil/path.h>
#include <zil/string.h>

#include <wx/app.h>
#include <wx/apptrait.h>

#include <cstdint>
#include <vector>

class wxLocale;

namespace zilui {

class CActionEvent;
class CAction;
class CZilXMLResourceHandler;
struct CPendingEventQueues;

// Keeps the base layer, and on request wxWidgets, initialised while it lives; for programs
// that do not derive from CAppBase.
class CZiluiInit : public zil::CBase {
public:
    explicit CZiluiInit(bool initWX);
    ~CZiluiInit() override;
    CZiluiInit(const CZiluiInit&) = delete;
    CZiluiInit& operator=(const CZiluiInit&) = delete;

    // One per process, created on first use: wxInitialize() must run once, however many
    // CZiluiInit objects want it.
    class CWXInitHelper : public zil::CBase {
    public:
        CWXInitHelper();
        ~CWXInitHelper() override;
        bool isInitialized() const { return m_initialized; }
        // Undoes wxInitialize() once; later calls do nothing.
        void uninitialize();

    private:
        bool m_initialized = false;
    };

private:
    zil::P<zil::CBase> m_zilInit;
    bool m_initWX;
    zil::P<CWXInitHelper> m_wxInitHelper;
};

// Base of a client's application class: owns start-up (paths, logging, language, resources),
// guards every event handler, performs posted actions and stops all threads at exit.
class CAppBase : public wxApp {
public:
    enum ErrorReporting {
        errorReportingConsole = 0, // errors go to standard error
        errorReportingGUI = 1,     // errors are shown in message boxes
    };

    class CAppTraits : public wxGUIAppTraits {
    public:
        explicit CAppTraits(ErrorReporting errorReporting) : m_errorReporting(errorReporting) {}
        wxLog* CreateLogTarget() override;

    private:
        ErrorReporting m_errorReporting;
    };

    explicit CAppBase(ErrorReporting errorReporting = errorReportingGUI);
    ~CAppBase() override;

    // The running application object if it is a CAppBase, else null.
    static CAppBase* get();

    const wxLocale& getLocale() const;
    zil::Path getAppExecuteablePath() const { return m_appExecutablePath; }
    zil::Path getSharedAppFilesPath() const { return m_sharedAppFilesPath; }
    zil::Path getResourcesPath() const { return m_resourcesPath; }
    zil::Path getLangPath() const { return m_langPath; }
    // For applications that keep their catalogues elsewhere; initPaths() sets the usual one.
    void setLangPath(const zil::Path& path) { m_langPath = path; }
    zil::Path getLogFilePath() const { return m_logFilePath; }
    ErrorReporting getErrorReporting() const { return m_errorReporting; }
    // A program may switch, e.g. to the console when it runs without a person.
    void setErrorReporting(ErrorReporting errorReporting) { m_errorReporting = errorReporting; }
    zil::String getLocaleISOLangID();
    // The library's XRC handler, e.g. for initTryRedirectBitmaps(); null before OnInit.
    CZilXMLResourceHandler* getResourceHandler() const { return m_resourceHandler; }

    // Asks every top-level window once to close; false as soon as one refuses.
    bool closeAllTopLevelWindows(bool force);
    bool isExitScheduled() const { return m_exitScheduled; }
    // -1 clears the override, so the main loop's own result is the exit code again.
    void setOverrideExitCode(int code) { m_overrideExitCode = code; }
    int getOverrideExitCode() const { return m_overrideExitCode; }

    // Dispatches one pending event of the active loop, if there is one.
    static void doEventLoopOnce();
    // Dispatches until the active loop has nothing pending, then performs one slice of the
    // pending events.
    static void doEventLoopUntilEmpty();
    // The folder that holds "res" and "lang": two levels above the executable, or three when
    // the first candidate has neither.
    static zil::Path findSharedAppFilesPath(const zil::Path& executable);

    virtual bool scheduleExit(bool force);
    virtual int64_t getMainThreadID();
    virtual int getStartupLocaleID();
    virtual void setStartupLocaleID(int languageID);
    virtual void changeLocale(wxWindow* parent, int languageID);
    virtual bool doLanguageDialog(wxWindow* parent);
    virtual void getSupportedLanguages(std::vector<int>& languages);
    virtual void addRequiredTranslationDomain(const zil::String& domain);
    virtual void addOptionalTranslationDomain(const zil::String& domain);
    virtual zil::Path findLocalizedFileOrFolder(const zil::Path& relative, zil::String languageCode);

    // wxApp
    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;
    void CleanUp() override;
    void HandleEvent(wxEvtHandler* handler, wxEventFunction func, wxEvent& event) const override;
    void CallEventHandler(wxEvtHandler* handler, wxEventFunctor& functor, wxEvent& event) const override;
    // Performs pending events (actions among them) in wx's order, but only for a few
    // milliseconds per call, so that timers, paint, input and the exit still get their turn.
    void ProcessPendingEvents() override;
    wxAppTraits* CreateTraits() override;
    // A last net for exceptions that reach the main loop some other way.
    bool OnExceptionInMainLoop() override;

protected:
    // wxEvtHandler: performs action events (wxuEVT_ACTION) through onActionEvent.
    bool TryBefore(wxEvent& event) override;

public:

protected:
    virtual void initCustomGlobalConfig() {}
    virtual void onStarted() {}
    virtual void initPaths();
    virtual void initResources() {}
    virtual void initLogging();
    virtual void deinitLogging();
    virtual void onLoggingInitialized() {}
    virtual void initCrashHandler() {}
    virtual void initCustomAppFramework() {}
    virtual wxLocale* createAndInitLocaleObject(int languageID);
    virtual void initLocale(int languageID);
    virtual void initResourceHandlers();
    virtual void onInitError(const zil::String& message);
    virtual bool haveTranslation(const zil::String& languageCode, const zil::String& domain,
                                 const std::vector<zil::String>* searchFolders);
    virtual void initSystemSignalHandlers();
    virtual void handleEventInternal(wxEvtHandler* handler, wxEventFunction method, wxEvent& event) const;
    virtual zil::P<zil::CXMLLog> createGlobalXMLLog();
    // -1: go on with a log that writes nowhere; 0: give up (rethrow); other: try again.
    virtual int handleLogLockingError(const zil::CLockFileError& error, int attempt);
    virtual zil::P<zil::CXMLLog> outerCreateGlobalXMLLog();

    // Loads an XRC file; relative paths are taken from the resources folder.
    void addResource(const zil::Path& file);
    void onActionEvent(CActionEvent& event);
    static zil::P<zil::CXMLLog> staticCreateGlobalXMLLog();
    static bool handleCrashInEventHandler(int signal);
    static bool& getCrashInEventHandlerRef();

    zil::Path m_logFileName; // set by the derived class before OnInit; usually a bare name
    // How long OnExit waits for all zil threads together before it goes on without them.
    int m_stopThreadsTimeoutMs = 30000;

    // For applications that keep their files elsewhere; initPaths() sets the usual ones.
    void setResourcesPath(const zil::Path& path) { m_resourcesPath = path; }

    class CStartedAction;

private:
    friend struct CPendingEventQueues;

    // Runs one handler with the exception and machine-fault guards around it.
    template <class Call>
    void dispatchGuarded(Call&& call, wxEvent& event) const;
    // Reports an exception of `call` instead of letting it reach wxWidgets.
    template <class Call> void runReportingExceptions(Call&& call) const;
    void reportEventException(const std::exception& e) const;
    // Deletes the application's queued events (and so releases their actions) unperformed.
    void dropPendingEvents();
    void showFatalCrashAndExit() const;

    zil::Path m_logFilePath;
    zil::P<CZiluiInit> m_ziluiInit;
    ErrorReporting m_errorReporting;
    wxLocale* m_locale = nullptr;
    zil::TArray<zil::String> m_requiredTranslationDomains;
    zil::TArray<zil::String> m_optionalTranslationDomains;
    zil::Path m_resourcesPath;
    zil::Path m_sharedAppFilesPath;
    zil::Path m_appExecutablePath;
    zil::Path m_langPath;
    zil::String m_pathsWarning; // found by initPaths, logged once the log is open
    int m_overrideExitCode = -1;
    bool m_exitScheduled = false;
    bool m_loggingInitialized = false;
    int64_t m_mainThreadID;
    mutable bool m_displayingEventError = false;
    mutable bool m_showingFatalCrashBox = false;
    CZilXMLResourceHandler* m_resourceHandler = nullptr; // owned by wxXmlResource once added
};

} // namespace zilui
