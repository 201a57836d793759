// SPDX-License-Identifier: MIT
// The gallery: one window that shows what zilui offers, a page per capability.
//
//   zilui-gallery [--screenshot FILE.png]
//
// With --screenshot the gallery saves its main window as PNG once it has been shown and
// painted, prints the file's path and exits; that is how it runs without a person.

#include "screenshot.h"

#include <zilui/app/strings.h>

#include <wx/app.h>
#include <wx/cmdline.h>
#include <wx/frame.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include <cstdio>

namespace {

class GalleryFrame : public wxFrame {
public:
    GalleryFrame() : wxFrame(nullptr, wxID_ANY, "zilui gallery", wxDefaultPosition, wxSize(720, 480))
    {
        auto* book = new wxNotebook(this, wxID_ANY);
        book->AddPage(makeWelcomePage(book), "Welcome");
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(book, 1, wxEXPAND);
        SetSizer(sizer);
    }

private:
    wxWindow* makeWelcomePage(wxWindow* parent)
    {
        auto* page = new wxPanel(parent);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        auto* title = new wxStaticText(page, wxID_ANY, "zilui " + wxString(zilui::getVersionString()));
        title->SetFont(title->GetFont().Scaled(2.0f).Bold());
        sizer->Add(title, 0, wxALL, 16);
        sizer->Add(new wxStaticText(page, wxID_ANY,
                                    "User-interface building blocks for wxWidgets applications.\n"
                                    "Each page of this gallery shows one capability of the library."),
                   0, wxLEFT | wxRIGHT, 16);
        page->SetSizer(sizer);
        return page;
    }
};

class GalleryApp : public wxApp {
public:
    bool OnInit() override
    {
        if (!wxApp::OnInit())
            return false;
        auto* frame = new GalleryFrame();
        frame->Show();
        if (!m_screenshotPath.empty())
            scheduleScreenshot(frame);
        return true;
    }

    void OnInitCmdLine(wxCmdLineParser& parser) override
    {
        wxApp::OnInitCmdLine(parser);
        parser.AddOption("", "screenshot", "save the main window as PNG to this file and exit");
    }

    bool OnCmdLineParsed(wxCmdLineParser& parser) override
    {
        wxString path;
        if (parser.Found("screenshot", &path))
            m_screenshotPath = path;
        return wxApp::OnCmdLineParsed(parser);
    }

    int OnRun() override
    {
        const int loopResult = wxApp::OnRun();
        return m_exitCode != 0 ? m_exitCode : loopResult;
    }

private:
    // The window manager-less Xvfb maps the frame at once, but GTK paints in idle time;
    // waiting a little after the first idle lets every page control draw itself.
    void scheduleScreenshot(wxFrame* frame)
    {
        m_timer.Bind(wxEVT_TIMER, [this, frame](wxTimerEvent&) {
            wxString error;
            if (gallery::saveWindowScreenshot(*frame, m_screenshotPath, error)) {
                std::printf("%s\n", static_cast<const char*>(m_screenshotPath.utf8_str()));
            } else {
                std::fprintf(stderr, "zilui-gallery: %s\n", static_cast<const char*>(error.utf8_str()));
                m_exitCode = 1;
            }
            std::fflush(stdout);
            frame->Close(true);
        });
        m_timer.StartOnce(800);
    }

    wxString m_screenshotPath;
    wxTimer m_timer;
    int m_exitCode = 0;
};

} // namespace

wxIMPLEMENT_APP(GalleryApp);
