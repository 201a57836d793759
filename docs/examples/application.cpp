// SPDX-License-Identifier: MIT
// docs/application.md
#include <wx/frame.h>
#include <wx/stattext.h>

class MyFrame : public wxFrame {
public:
    MyFrame() : wxFrame(nullptr, wxID_ANY, "My application") {}
};

#include <zilui/app/appbase.h>
#include <zilui/app/language.h>

class MyApp : public zilui::CAppBase {
public:
    MyApp() : CAppBase(errorReportingGUI)
    {
        SetAppName("myapp");
        m_logFileName = L"myapp.log";          // in $XDG_STATE_HOME/myapp/
        addRequiredTranslationDomain(L"myapp"); // decides which languages are offered
        addOptionalTranslationDomain(L"zilui"); // the library's own texts
    }

protected:
    void initResources() override { addResource(L"main.xrc"); } // from <root>/res
    void onStarted() override { (new MyFrame())->Show(); }       // inside the main loop
};

wxIMPLEMENT_APP(MyApp);

// The log names the program and its version in each session's header.
#include <zil/log.h>

class MyLoggedApp : public zilui::CAppBase {
protected:
    zil::P<zil::CXMLLog> createGlobalXMLLog() override
    {
        zil::P<zil::CXMLLog::CDefaultSessionHeaderFactory> header(
            new zil::CXMLLog::CDefaultSessionHeaderFactory(L"myapp", L"1.4.2", zil::String()));
        return zil::P<zil::CXMLLog>(new zil::CXMLLog(getLogFilePath().str(), header.get(), true,
                                                     10 * 1024 * 1024, false, true, nullptr));
    }
};

// onStarted runs as the first action of the main loop.
#include <zilui/app/logging.h>

#include <wx/filefn.h>

class MyCheckingApp : public zilui::CAppBase {
protected:
    void onStarted() override
    {
        if (!wxFileExists("/etc/myapp.conf")) {
            zilui::messageBox(L"myapp is not configured.", L"myapp", wxOK | wxICON_ERROR);
            scheduleExit(true); // no window was opened: nothing else would end the program
            return;
        }
        (new MyFrame())->Show();
    }
};

#include <zilui/app/action.h>

class CResultFrame : public wxFrame {
public:
    // Called on a worker thread; the label changes on the GUI thread.
    void onWorkerDone(const wxString& result);

private:
    wxStaticText* m_label = nullptr;
};

void CResultFrame::onWorkerDone(const wxString& result)
{
    zilui::postAction([this, result] { m_label->SetLabel(result); });
}
