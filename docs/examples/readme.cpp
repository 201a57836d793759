// SPDX-License-Identifier: MIT
// README.md
#include <wx/frame.h>

class MyFrame : public wxFrame {
public:
    MyFrame() : wxFrame(nullptr, wxID_ANY, "My application") {}
};

#include <zilui/app/appbase.h>

class MyApp : public zilui::CAppBase {
public:
    MyApp() : CAppBase(errorReportingGUI) { m_logFileName = L"myapp.log"; }

protected:
    void onStarted() override { (new MyFrame())->Show(); }
};

wxIMPLEMENT_APP(MyApp);
