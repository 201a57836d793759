// SPDX-License-Identifier: MIT
// What the start-up benchmark starts: an application that shows a frame and ends at its
// first idle event, derived from CAppBase or, with ZILUI_PROBE=plain, from a plain wxApp.
#include <zilui/app/appbase.h>

#include <wx/app.h>
#include <wx/frame.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

template <class Base> class CProbe : public Base {
public:
    template <class... Args> explicit CProbe(Args... args) : Base(args...) { this->SetAppName("zilui-startup-probe"); }

    bool OnInit() override
    {
        if (!Base::OnInit())
            return false;
        (new wxFrame(nullptr, wxID_ANY, "zilui start-up probe"))->Show();
        // Nothing of the shut-down is timed.
        this->Bind(wxEVT_IDLE, [](wxIdleEvent&) {
            std::fflush(nullptr);
            ::_exit(0);
        });
        return true;
    }
};

} // namespace

wxIMPLEMENT_APP_NO_MAIN(wxApp);

int main(int argc, char** argv)
{
    const char* mode = std::getenv("ZILUI_PROBE");
    if (mode && std::strcmp(mode, "plain") == 0)
        wxApp::SetInstance(new CProbe<wxApp>());
    else
        wxApp::SetInstance(new CProbe<zilui::CAppBase>(zilui::CAppBase::errorReportingConsole));
    return wxEntry(argc, argv);
}
