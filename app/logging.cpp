// SPDX-License-Identifier: MIT
#include "zilui/app/logging.h"

#include "zilui/app/action.h"
#include "zilui/app/eventconnection.h"
#include "zilui/app/strings.h"

#include <zil/error.h>

#include <wx/msgdlg.h>

namespace zilui {

CXMLLogWXAdapter::CXMLLogWXAdapter(zil::CXMLLog* log) : m_log(log) {}

zil::LogLevel CXMLLogWXAdapter::logLevelFromWX(unsigned long level)
{
    switch (level) {
    case wxLOG_FatalError:
        return zil::LogLevel::fatal;
    case wxLOG_Error:
        return zil::LogLevel::error;
    case wxLOG_Warning:
        return zil::LogLevel::warning;
    case wxLOG_Debug:
    case wxLOG_Trace:
        return zil::LogLevel::debug;
    default:
        return zil::LogLevel::info;
    }
}

void CXMLLogWXAdapter::DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo& info)
{
    // Whoever logs may still want to read errno afterwards.
    const int savedError = zil::getLastSysError();
    try {
        if (m_log) {
            const time_t timestamp = static_cast<time_t>(info.timestampMS / 1000);
            m_log->writeEntry(logLevelFromWX(level), fromWX(message), &timestamp);
        }
    } catch (...) {
        zil::setLastSysError(savedError);
        throw;
    }
    zil::setLastSysError(savedError);
}

CZILLogHolder::CZILLogHolder(zil::IBase* forwardLog)
{
    if (forwardLog) {
        m_forwardLog = dynamic_cast<wxLog*>(forwardLog);
        if (!m_forwardLog)
            throw zil::CInvalidArgError(L"pForwardLog is not derived from wxLog", L"CZILLogHolder::CZILLogHolder");
        m_forwardLogObject = forwardLog;
        m_forwardLogObject->addRef();
    }
    // The previous target stays in the chain and comes back when we go; it hears nothing
    // meanwhile, since DoLogRecord below never forwards to it.
}

CZILLogHolder::~CZILLogHolder()
{
    if (m_forwardLogObject)
        m_forwardLogObject->release();
}

void CZILLogHolder::DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo& info)
{
    if (!m_forwardLog)
        return;
    m_forwardLog->LogRecord(level, message, info);
}

CExitAppSystemSignalHandler::CExitAppSystemSignalHandler(bool force) : m_force(force) {}

void CExitAppSystemSignalHandler::handleSystemSignal(zil::SysSignal)
{
    zil::P<CAction> action(new CExitAppAction(m_force));
    action->post();
}

zil::String spaceEmptyLines(zil::String text)
{
    while (text.Replace(L"\n\n", L"\n \n") > 0) {
    }
    return text;
}

// What wxMessageBox() does, but through showModal(), so that the library's error boxes can be
// answered by a g_ShowModalEvent handler (tests, automation) like any other dialog.
int messageBox(const zil::String& text, const zil::String& caption, int style, wxWindow* parent, int x, int y)
{
    if (!(style & wxICON_NONE) && !(style & wxICON_MASK))
        style |= (style & wxYES) ? wxICON_QUESTION : wxICON_INFORMATION;
    wxMessageDialog dialog(parent, toWX(spaceEmptyLines(text)), toWX(caption), style, wxPoint(x, y));
    switch (showModal(&dialog)) {
    case wxID_OK:
        return wxOK;
    case wxID_YES:
        return wxYES;
    case wxID_NO:
        return wxNO;
    case wxID_HELP:
        return wxHELP;
    default:
        return wxCANCEL;
    }
}

} // namespace zilui
