// SPDX-License-Identifier: MIT
// Helpers for tests that need the event loop, the global log or a dialog answered unseen.
#pragma once

#include "zil/temp_folder.h"

#include <zilui/app/action.h>
#include <zilui/app/appbase.h>
#include <zilui/app/eventconnection.h>

#include <zil/log.h>

#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/timer.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace zilui::test {

// How long a test waits for a child application; only there to turn a hang into a failure.
// A sanitized child starts GTK under the sanitizer and checks its heap at exit.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZILUI_TEST_SANITIZED 1
#endif
#endif
#ifdef ZILUI_TEST_SANITIZED
constexpr int kChildHangMs = 120000;
#else
constexpr int kChildHangMs = 20000;
#endif

// Runs a nested event loop until `done` holds or `timeoutMs` has passed; returns done().
inline bool runLoopUntil(const std::function<bool()>& done, int timeoutMs = 30000)
{
    if (done())
        return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    wxGUIEventLoop loop;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (done() || std::chrono::steady_clock::now() > deadline)
            loop.Exit();
    });
    timer.Start(1);
    loop.Run();
    timer.Stop();
    return done();
}

// Runs the loop until an action posted now has been performed. Actions and wxWidgets' queued
// calls run in the order they were queued, so whatever any thread queued before has run too:
// how a test sees that nothing more arrives, without waiting for a while.
inline bool drainActions()
{
    auto done = std::make_shared<bool>(false);
    zil::P<CAction>(new CLambdaAction([done] { *done = true; }))->post();
    return runLoopUntil([done] { return *done; });
}

using zil::test::readFile;
using zil::test::thrown;

// The active wxWidgets log target while it lives, keeping what reaches it; the previous one
// comes back after.
struct CRecordingLog : wxLog {
    wxLog* saved = wxLog::SetActiveTarget(this);
    std::vector<wxString> messages;
    ~CRecordingLog() override { wxLog::SetActiveTarget(saved); }
    void DoLogRecord(wxLogLevel, const wxString& text, const wxLogRecordInfo&) override
    {
        messages.push_back(text);
    }
};

// Sends the global log (zil::logError and friends) to a file of its own while it lives.
class CGlobalLogCapture {
public:
    CGlobalLogCapture()
    {
        zil::CXMLLog::setGlobalCreateFunc([path = m_path.str()] {
            return zil::P<zil::CXMLLog>(new zil::CXMLLog(path, nullptr, false, 0, false, false));
        });
        zil::CXMLLog::disposeGlobal();
    }
    ~CGlobalLogCapture()
    {
        zil::CXMLLog::setGlobalCreateFunc(nullptr);
        zil::CXMLLog::disposeGlobal();
    }
    std::string text() const { return readFile(m_path); }

private:
    zil::test::CTempFolder m_folder;
    zil::Path m_path = m_folder / zil::Path(L"global.log");
};

// Answers every dialog that goes through showModal() with `function` while it lives.
class CShowModalHook {
public:
    explicit CShowModalHook(std::function<void(ShowModalEvent&)> function)
        : m_handler(new TEventSourceFunctionHandler<ShowModalEvent>(std::move(function)))
    {
        g_ShowModalEvent.addHandler(m_handler.get());
    }
    ~CShowModalHook() { g_ShowModalEvent.removeHandler(m_handler.get()); }

private:
    zil::P<TEventSourceFunctionHandler<ShowModalEvent>> m_handler;
};

// Counts close requests and vetoes them when told to; an accepted close does not destroy it.
class CCountingFrame : public wxFrame {
public:
    explicit CCountingFrame(bool veto) : wxFrame(nullptr, wxID_ANY, "counting")
    {
        Bind(wxEVT_CLOSE_WINDOW, [this, veto](wxCloseEvent& event) {
            ++closeRequests;
            if (veto && event.CanVeto())
                event.Veto();
        });
    }
    int closeRequests = 0;
};

// Makes `window` the application's top window while it lives.
class CTopWindowScope {
public:
    explicit CTopWindowScope(wxWindow* window) : m_previous(wxTheApp->GetTopWindow())
    {
        wxTheApp->SetTopWindow(window);
    }
    ~CTopWindowScope() { wxTheApp->SetTopWindow(m_previous); }

private:
    wxWindow* m_previous;
};

} // namespace zilui::test
