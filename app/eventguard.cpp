// SPDX-License-Identifier: MIT
// The guards around every event handler: exceptions are reported, and a machine fault drops
// the event and ends the process at the next one.
#include "eventguard.h"

#include "zilui/app/action.h"
#include "zilui/app/language.h"
#include "zilui/app/logging.h"
#include "zilui/app/strings.h"

#include <zil/crash.h>
#include <zil/log.h>

#include <wx/msgdlg.h>

#include <functional>
#include <unistd.h>

namespace zilui {

namespace {

constexpr int kCrashExitCode = 121;

} // namespace

bool& CAppBase::getCrashInEventHandlerRef()
{
    static bool crashInEventHandler = false;
    return crashInEventHandler;
}

// Runs in signal context on the faulting thread: nothing here may allocate or lock.
bool CAppBase::handleCrashInEventHandler(int signal)
{
    getCrashInEventHandlerRef() = true;
    // Without a handler of the application's own the fault is handled: the event is dropped
    // and the process ends at the next one. A handler that declines lets the process die.
    return !zil::CCrashManager::hasGlobalHandler() || zil::CCrashManager::globalCrashHook(signal);
}

void CAppBase::showFatalCrashAndExit() const
{
    m_showingFatalCrashBox = true;
    const zil::String text(L"The application experienced a serious problem and has to be closed.\n\n"
                           L"Please contact the support.");
    zil::logError(L"Ending the process after a machine fault in an event handler.");
    if (m_errorReporting != errorReportingConsole)
        wxMessageBox(toWX(text), "Fatal error", wxOK | wxICON_ERROR);
    else
        zil::printErrLine(L"Fatal error: " + text);
    _exit(kCrashExitCode);
}

template <class Call>
void CAppBase::dispatchGuarded(Call&& call, wxEvent&) const
{
    if (getCrashInEventHandlerRef() && !m_showingFatalCrashBox)
        showFatalCrashAndExit();
    // A fault inside the handler jumps back here and the event is dropped; the process ends
    // at the next event, when it is no longer inside a half-run handler.
    // A lambda holding one reference fits in std::function's own storage: no allocation per
    // event.
    if (!zil::CCrashManager::runGuarded(std::function<void()>([&call] { call(); }), &handleCrashInEventHandler)) {
        // Done here rather than in the fault handler, which must not allocate: a second fault
        // now takes the default course.
        zil::CCrashManager::setGlobalHandler(nullptr);
    }
}

void CAppBase::HandleEvent(wxEvtHandler* handler, wxEventFunction func, wxEvent& event) const
{
    dispatchGuarded([&] { handleEventInternal(handler, func, event); }, event);
}

bool CAppBase::TryBefore(wxEvent& event)
{
    // Actions are the busiest event of a program with workers; they skip the handler tables
    // but not the guards.
    if (event.GetEventType() == wxuEVT_ACTION) {
        auto& actionEvent = static_cast<CActionEvent&>(event);
        dispatchGuarded([&] { runReportingExceptions([&] { onActionEvent(actionEvent); }); }, event);
        return true;
    }
    return wxApp::TryBefore(event);
}

void CAppBase::CallEventHandler(wxEvtHandler* handler, wxEventFunctor& functor, wxEvent& event) const
{
    // Handlers connected with a method pointer come through HandleEvent; functors and lambdas
    // bound with Bind() do not, so they are guarded here the same way.
    if (functor.GetEvtMethod()) {
        HandleEvent(handler, functor.GetEvtMethod(), event);
        return;
    }
    dispatchGuarded([&] { runReportingExceptions([&] { functor(handler, event); }); }, event);
}

bool CAppBase::OnExceptionInMainLoop()
{
    try {
        throw;
    } catch (const std::exception& e) {
        reportEventException(e);
        return true;
    } catch (...) {
        return wxApp::OnExceptionInMainLoop();
    }
}

void CAppBase::handleEventInternal(wxEvtHandler* handler, wxEventFunction method, wxEvent& event) const
{
    runReportingExceptions([&] { (handler->*method)(event); });
}

void CAppBase::reportEventException(const std::exception& e) const
{
    if (m_displayingEventError) {
        zil::logError(e, L"Exception thrown from event handler while already displaying error message. Ignoring this one!",
                      zil::String());
        return;
    }
    zil::logError(e, L"Exception thrown from event handler. Displaying error message.", zil::String());
    const auto* error = dynamic_cast<const zil::CError*>(&e);
    const zil::String message = error ? error->getMessage() : zil::String::fromUTF8(e.what());
    m_displayingEventError = true;
    if (m_errorReporting == errorReportingConsole) {
        zil::printErrLine(L"Error: " + message);
    } else {
        try {
            messageBox(message, ZILUI_TR("Error"), wxOK | wxICON_ERROR, nullptr, -1, -1);
        } catch (const std::exception& boxError) {
            zil::logError(boxError, L"wxMessageBox threw exception while displaying event exception. Ignoring.");
        }
    }
    m_displayingEventError = false;
}

void CAppBase::onActionEvent(CActionEvent& event)
{
    try {
        event.performAction();
    } catch (const zil::CError& e) {
        zil::logError(e, L"Exception while performing action event.", zil::String());
        if (m_errorReporting != errorReportingConsole)
            messageBox(ZILUI_TR("Error") + L"\n\n" + e.getMessage(), ZILUI_TR("Error"), wxOK | wxICON_ERROR,
                       nullptr, -1, -1);
        else
            zil::printErrLine(L"Fatal error: " + e.getMessage());
    }
}

} // namespace zilui
