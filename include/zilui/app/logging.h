// SPDX-License-Identifier: MIT
#pragma once

#include <zil/log.h>
#include <zil/object.h>
#include <zil/signals.h>
#include <zil/string.h>

#include <wx/log.h>

class wxWindow;

namespace zilui {

// Writes wxWidgets' log records into a base-layer XML log, each with its own time stamp.
class CXMLLogWXAdapter : public wxLog, public zil::CBase {
public:
    explicit CXMLLogWXAdapter(zil::CXMLLog* log);

    static zil::LogLevel logLevelFromWX(unsigned long level);
    zil::CXMLLog* getLog() const { return m_log.get(); }

protected:
    // wxLog
    void DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo& info) override;

private:
    zil::P<zil::CXMLLog> m_log;
};

// Becomes wxWidgets' active log target while it lives and hands every record to a counted
// log object; the previous target is kept (and restored by wxWidgets when the holder goes)
// but receives nothing meanwhile.
class CZILLogHolder : public wxLogInterposer {
public:
    // `forwardLog` must also be a CXMLLogWXAdapter or another wxLog that is a zil::IBase;
    // null is accepted and drops records.
    explicit CZILLogHolder(zil::IBase* forwardLog);
    ~CZILLogHolder() override;
    CZILLogHolder(const CZILLogHolder&) = delete;
    CZILLogHolder& operator=(const CZILLogHolder&) = delete;

    wxLog* getForwardLog() const { return m_forwardLog; }

protected:
    // wxLog
    void DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo& info) override;

private:
    zil::IBase* m_forwardLogObject = nullptr; // one reference held
    wxLog* m_forwardLog = nullptr;
};

// Turns an operating-system request to end the process into an orderly exit on the GUI
// thread. Runs on the signal receiver's thread, so it only posts an action.
class CExitAppSystemSignalHandler : public zil::CBase, public zil::ISystemSignalHandler {
public:
    explicit CExitAppSystemSignalHandler(bool force);
    void handleSystemSignal(zil::SysSignal signal) override;

private:
    bool m_force;
};

// Every message box of the library goes through here. Empty lines get one space, which some
// message box implementations otherwise collapse.
int messageBox(const zil::String& text, const zil::String& caption, int style = wxOK | wxCENTRE,
               wxWindow* parent = nullptr, int x = -1, int y = -1);

// The text messageBox shows for `text`.
zil::String spaceEmptyLines(zil::String text);

} // namespace zilui
