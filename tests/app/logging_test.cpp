// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"

#include <zilui/app/logging.h>
#include <zilui/app/strings.h>

#include <zil/error.h>
#include <zil/thread.h>

#include <gtest/gtest.h>

#include <wx/log.h>
#include <wx/msgdlg.h>

#include <cerrno>
#include <memory>
#include <thread>
#include <vector>

using namespace zilui;

namespace {

// A wxLog target that keeps what reaches it.
class CRecordingLog : public wxLog {
public:
    std::vector<wxString> messages;

protected:
    void DoLogRecord(wxLogLevel, const wxString& message, const wxLogRecordInfo&) override
    {
        messages.push_back(message);
    }
};

// Puts a recording target in place of whatever is active and puts that back afterwards.
class CRecordingTargetScope {
public:
    CRecordingTargetScope() : m_recorder(new CRecordingLog()), m_saved(wxLog::SetActiveTarget(m_recorder)) {}
    ~CRecordingTargetScope()
    {
        wxLog::SetActiveTarget(m_saved);
        delete m_recorder;
    }
    CRecordingTargetScope(const CRecordingTargetScope&) = delete;
    CRecordingTargetScope& operator=(const CRecordingTargetScope&) = delete;

    CRecordingLog* recorder() const { return m_recorder; }

private:
    CRecordingLog* m_recorder;
    wxLog* m_saved;
};

// The file's line for the entry with `text`, empty if there is none.
std::string entryLine(const std::string& file, const std::string& text)
{
    const size_t at = file.find(">" + text + "</entry>");
    if (at == std::string::npos)
        return std::string();
    const size_t begin = file.rfind('\n', at);
    return file.substr(begin == std::string::npos ? 0 : begin + 1, at - (begin == std::string::npos ? 0 : begin + 1));
}

} // namespace

TEST(Logging, LevelsFromWX)
{
    const struct {
        unsigned long wxLevel;
        zil::LogLevel expected;
    } cases[] = {
        {wxLOG_FatalError, zil::LogLevel::fatal}, {wxLOG_Error, zil::LogLevel::error},
        {wxLOG_Warning, zil::LogLevel::warning},  {wxLOG_Message, zil::LogLevel::info},
        {wxLOG_Status, zil::LogLevel::info},      {wxLOG_Info, zil::LogLevel::info},
        {wxLOG_Debug, zil::LogLevel::debug},      {wxLOG_Trace, zil::LogLevel::debug},
        {wxLOG_Progress, zil::LogLevel::info},    {wxLOG_User, zil::LogLevel::info},
        {wxLOG_User + 7, zil::LogLevel::info},    {wxLOG_Max, zil::LogLevel::info},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wxLevel);
        EXPECT_EQ(CXMLLogWXAdapter::logLevelFromWX(c.wxLevel), c.expected);
    }
}

TEST(Logging, WXRecordsReachTheXMLLogAndThePreviousTargetComesBack)
{
    zil::test::CTempFolder folder;
    const zil::Path path = folder / zil::Path(L"wx.xml");
    zil::P<zil::CXMLLog> xml(new zil::CXMLLog(path.str(), nullptr, false, 0, false, false));
    zil::P<CXMLLogWXAdapter> adapter(new CXMLLogWXAdapter(xml.get()));
    CRecordingTargetScope previous;

    auto* holder = new CZILLogHolder(adapter.get());
    EXPECT_EQ(wxLog::GetActiveTarget(), holder);
    EXPECT_EQ(holder->getForwardLog(), adapter.get());
    EXPECT_EQ(adapter->getRefCount(), 2);

    // Time stamps in the past, with milliseconds, so that neither "now" nor rounding up passes.
    const struct {
        wxLogLevel level;
        const char* text;
        long long timestampMS;
    } records[] = {
        {wxLOG_Error, "an error", 1000000000LL * 1000 + 999},
        {wxLOG_Warning, "a warning", 1100000000LL * 1000 + 1},
        {wxLOG_Message, "a message", 1200000000LL * 1000},
        {wxLOG_Debug, "a debug line", 1300000000LL * 1000 + 500},
        {wxLOG_User + 1, "a user level", 1400000000LL * 1000},
    };
    for (const auto& r : records) {
        wxLogRecordInfo info(__FILE__, __LINE__, __func__, "test");
        info.timestampMS = r.timestampMS;
        errno = EACCES;
        wxLog::OnLog(r.level, r.text, info);
        EXPECT_EQ(errno, EACCES) << r.text;
    }
    // wxWidgets' own formatting in the logging macros clears errno before a target is reached,
    // so errno is only checked from OnLog on.
    wxLogWarning("through the %s", "macro");

    const std::string file = zilui::test::readFile(path);
    for (const auto& r : records) {
        SCOPED_TRACE(r.text);
        const std::string expected =
            (L"time=\"" + zil::CXMLLog::formatTime(static_cast<time_t>(r.timestampMS / 1000)) + L"\" level=\"" +
             zil::toString(CXMLLogWXAdapter::logLevelFromWX(r.level)) + L"\"")
                .toUTF8();
        EXPECT_NE(entryLine(file, r.text).find(expected), std::string::npos) << file;
    }
    EXPECT_NE(entryLine(file, "through the macro").find("level=\"warning\""), std::string::npos) << file;
    EXPECT_TRUE(previous.recorder()->messages.empty());

    delete holder;
    EXPECT_EQ(adapter->getRefCount(), 1);
    EXPECT_EQ(wxLog::GetActiveTarget(), previous.recorder());
    wxLogMessage("after the holder");
    EXPECT_EQ(previous.recorder()->messages, std::vector<wxString>{"after the holder"});
    EXPECT_EQ(entryLine(zilui::test::readFile(path), "after the holder"), std::string());
}

TEST(Logging, HolderAcceptsOnlyWXLogsOrNull)
{
    CRecordingTargetScope previous;
    zil::P<zil::CBase> plain(new zil::CBase());
    try {
        std::unique_ptr<CZILLogHolder> holder(new CZILLogHolder(plain.get()));
        FAIL() << "no error for an object that is not a wxLog";
    } catch (const zil::CInvalidArgError& e) {
        EXPECT_EQ(e.getMessage(), L"pForwardLog is not derived from wxLog");
    }
    // The half-built holder has put the previous target back and keeps no reference.
    EXPECT_EQ(wxLog::GetActiveTarget(), previous.recorder());
    EXPECT_EQ(plain->getRefCount(), 1);

    auto* holder = new CZILLogHolder(nullptr);
    EXPECT_EQ(holder->getForwardLog(), nullptr);
    wxLogMessage("dropped");
    delete holder;
    EXPECT_TRUE(previous.recorder()->messages.empty());
}

TEST(Logging, MessageBoxSpacesEmptyLinesAndMapsTheAnswer)
{
    wxString shown;
    int answer = wxID_OK;
    zilui::test::CShowModalHook hook([&](ShowModalEvent& event) {
        auto* dialog = dynamic_cast<wxMessageDialogBase*>(event.dialog);
        shown = dialog ? dialog->GetMessage() : wxString("not a message dialog");
        event.result = answer;
    });

    const struct {
        const wchar_t* text;
        const wchar_t* expected;
    } texts[] = {
        {L"a\n\n\nb", L"a\n \n \nb"}, {L"\n\n", L"\n \n"},   {L"a\nb\nc", L"a\nb\nc"},
        {L"a \n b\n", L"a \n b\n"},   {L"\r\n\r\n", L"\r\n\r\n"}, {L"", L""},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(zil::String(t.text).toUTF8());
        EXPECT_EQ(messageBox(t.text, L"caption"), wxOK);
        EXPECT_EQ(shown, toWX(t.expected));
        EXPECT_EQ(spaceEmptyLines(t.text), zil::String(t.expected));
    }

    const struct {
        int dialogResult;
        int expected;
    } answers[] = {{wxID_OK, wxOK}, {wxID_YES, wxYES}, {wxID_NO, wxNO}, {wxID_CANCEL, wxCANCEL}};
    for (const auto& a : answers) {
        SCOPED_TRACE(a.dialogResult);
        answer = a.dialogResult;
        EXPECT_EQ(messageBox(L"question", L"caption", wxYES_NO | wxCANCEL), a.expected);
    }
}

TEST(Logging, SystemSignalHandlerExitsOnTheGuiThread)
{
    auto frame = std::make_unique<zilui::test::CCountingFrame>(true);
    std::vector<bool> askedOnMainThread;
    frame->Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& event) {
        askedOnMainThread.push_back(zil::CThread::getCurrentID() == CAppBase::get()->getMainThreadID());
        event.Skip();
    });
    zilui::test::CTopWindowScope top(frame.get());

    zil::P<CExitAppSystemSignalHandler> handler(new CExitAppSystemSignalHandler(false));
    std::thread worker([&] { handler->handleSystemSignal(zil::SysSignal::terminate); });
    worker.join();
    EXPECT_TRUE(zilui::test::runLoopUntil([&] { return frame->closeRequests > 0; }));
    EXPECT_EQ(frame->closeRequests, 1);
    EXPECT_EQ(askedOnMainThread, std::vector<bool>{true});
    EXPECT_FALSE(CAppBase::get()->isExitScheduled());
}
