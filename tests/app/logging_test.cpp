// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"

#include <zilui/app/logging.h>
#include <zilui/app/strings.h>

#include <zil/error.h>
#include <zil/thread.h>

#include <gtest/gtest.h>

#include <wx/msgdlg.h>

#include <cerrno>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

using namespace zilui;

namespace {

// The start of the file's line for the entry with `text`, empty if there is none.
std::string entryLine(const std::string& file, const std::string& text)
{
    const size_t at = file.find(">" + text + "</entry>");
    const size_t begin = at == std::string::npos ? at : file.rfind('\n', at) + 1; // npos + 1 is 0
    return at == std::string::npos ? std::string() : file.substr(begin, at - begin);
}

} // namespace

TEST(Logging, LevelsFromWX)
{
    using L = zil::LogLevel;
    const std::pair<unsigned long, L> cases[] = {
        {wxLOG_FatalError, L::fatal}, {wxLOG_Error, L::error}, {wxLOG_Warning, L::warning},
        {wxLOG_Message, L::info},     {wxLOG_Status, L::info}, {wxLOG_Info, L::info},
        {wxLOG_Debug, L::debug},      {wxLOG_Trace, L::debug}, {wxLOG_Progress, L::info},
        {wxLOG_User + 7, L::info},    {wxLOG_Max, L::info},
    };
    for (const auto& [wxLevel, expected] : cases) {
        SCOPED_TRACE(wxLevel);
        EXPECT_EQ(CXMLLogWXAdapter::logLevelFromWX(wxLevel), expected);
    }
}

TEST(Logging, WXRecordsReachTheXMLLogWhileTheHolderLives)
{
    zil::test::CTempFolder folder;
    const zil::Path path = folder / zil::Path(L"wx.xml");
    zil::P<CXMLLogWXAdapter> adapter(
        new CXMLLogWXAdapter(new zil::CXMLLog(path.str(), nullptr, false, 0, false, false)));
    zilui::test::CRecordingLog previous;
    auto* holder = new CZILLogHolder(adapter.get());
    EXPECT_EQ(adapter->getRefCount(), 2);

    // A time stamp in the past, with milliseconds, so that neither "now" nor rounding up passes.
    wxLogRecordInfo info(__FILE__, __LINE__, __func__, "test");
    info.timestampMS = 1000000000LL * 1000 + 999;
    errno = EACCES; // the logging macros clear it themselves, so it is checked from OnLog on
    wxLog::OnLog(wxLOG_Error, "an error", info);
    EXPECT_EQ(errno, EACCES);
    wxLogWarning("through the %s", "macro");

    const std::string file = zilui::test::readFile(path);
    const zil::String stamp = L"time=\"" + zil::CXMLLog::formatTime(1000000000) + L"\" level=\"error\"";
    EXPECT_NE(entryLine(file, "an error").find(stamp.toUTF8()), std::string::npos) << file;
    EXPECT_NE(entryLine(file, "through the macro").find("level=\"warning\""), std::string::npos) << file;
    EXPECT_TRUE(previous.messages.empty());

    delete holder;
    EXPECT_EQ(adapter->getRefCount(), 1);
    wxLogMessage("after the holder");
    EXPECT_EQ(previous.messages, std::vector<wxString>{"after the holder"});
    EXPECT_EQ(entryLine(zilui::test::readFile(path), "after the holder"), std::string());

    zil::P<zil::CBase> plain(new zil::CBase());
    const auto notALog = [&] { delete new CZILLogHolder(plain.get()); };
    EXPECT_EQ(test::thrown<zil::CInvalidArgError>(notALog).getMessage(),
              L"pForwardLog is not derived from wxLog");
    // The half-built holder has put the previous target back and keeps no reference.
    EXPECT_EQ(wxLog::GetActiveTarget(), &previous);
    EXPECT_EQ(plain->getRefCount(), 1);
    auto* silent = new CZILLogHolder(nullptr);
    wxLogMessage("dropped");
    delete silent;
    EXPECT_EQ(previous.messages.size(), 1u);
}

TEST(Logging, MessageBoxSpacesEmptyLinesAndMapsTheAnswer)
{
    wxString shown;
    int answer = 0;
    zilui::test::CShowModalHook hook([&](ShowModalEvent& event) {
        auto* dialog = dynamic_cast<wxMessageDialogBase*>(event.dialog);
        shown = dialog ? dialog->GetMessage() : wxString("not a message dialog");
        event.result = answer;
    });

    // GTK drops empty lines; a line break that ends the text makes none.
    const struct {
        const wchar_t* text;
        const wchar_t* shown;
        int answer;
        int expected;
    } cases[] = {
        {L"a\n\n\nb", L"a\n \n \nb", wxID_OK, wxOK},
        {L"\n\n", L"\n \n", wxID_YES, wxYES},
        {L"a \n b\n", L"a \n b\n", wxID_NO, wxNO},
        {L"x", L"x", wxID_CANCEL, wxCANCEL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(zil::String(c.text).toUTF8());
        answer = c.answer;
        EXPECT_EQ(messageBox(c.text, L"caption", wxYES_NO | wxCANCEL), c.expected);
        EXPECT_EQ(shown, toWX(c.shown));
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
    std::thread([&] { handler->handleSystemSignal(zil::SysSignal::terminate); }).join();
    EXPECT_TRUE(zilui::test::runLoopUntil([&] { return frame->closeRequests > 0; }));
    EXPECT_EQ(askedOnMainThread, std::vector<bool>{true});
    EXPECT_FALSE(CAppBase::get()->isExitScheduled());
}
