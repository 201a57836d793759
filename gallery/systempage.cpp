// SPDX-License-Identifier: MIT
#include "systempage.h"

#include <zilui/app/language.h>
#include <zilui/app/logging.h>
#include <zilui/app/strings.h>
#include <zilui/system/elevation.h>
#include <zilui/system/gourlbuilder.h>

#include <zil/accounts.h>
#include <zil/error.h>
#include <zil/process.h>
#include <zil/systeminfo.h>

#include <wx/button.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace gallery {

namespace {

using zilui::toWX;

// A documentation host: the library has no endpoint of its own.
const wchar_t* const kSampleGoURL = L"https://go.example.org/";
const wchar_t* const kSampleSecureGoURL = L"https://secure.example.org/go/";

wxString yesNo(bool value)
{
    return toWX(value ? ZILUI_TR("yes") : ZILUI_TR("no"));
}

wxString describeSystem()
{
    const zil::CSystemInfo::Version version = zil::CSystemInfo::getOSVersion();
    wxString currency;
    try {
        currency = toWX(zil::CSystemInfo::getUserDefaultCurrencyISO4217());
    } catch (const zil::CError& e) {
        currency = toWX(e.getMessage());
    }
    if (currency.empty())
        currency = toWX(ZILUI_TR("(none)"));
    wxString text;
    text << toWX(ZILUI_TR("System:")) << " " << toWX(zil::CSystemInfo::getOSType()) << " "
         << wxString::Format("%d.%d.%d", version.major, version.minor, version.build) << " ("
         << toWX(zil::CSystemInfo::getOSDistribution()) << ")\n"
         << toWX(ZILUI_TR("64-bit:")) << " " << yesNo(zil::CSystemInfo::is64BitSystem()) << "\n"
         << toWX(ZILUI_TR("Currency:")) << " " << currency << "\n"
         << toWX(ZILUI_TR("Running as root:")) << " "
         << yesNo(zil::CSystemAccountManager::isProcessUserAdmin()) << "\n"
         << toWX(ZILUI_TR("Elevation service (pkexec):")) << " "
         << yesNo(zil::CSystemAccountManager::isElevationServiceUsable()) << "\n"
         << toWX(ZILUI_TR("Administrator accounts:")) << " ";
    bool first = true;
    for (const zil::String& account : zil::CSystemAccountManager::getAdministratorAccounts()) {
        text << (first ? "" : ", ") << toWX(account);
        first = false;
    }
    return text;
}

wxString sampleGoURL()
{
    zil::P<zilui::CGoURLBuilder> builder(new zilui::CGoURLBuilder(kSampleGoURL, kSampleSecureGoURL,
                                                                  L"gallery", L"1.0", L"demo",
                                                                  zil::CSoftwareReleaseStage::stageBeta));
    builder->addCustomParam(L"src", L"system page");
    return toWX(builder->getURL(L"help", {{L"topic", L"run as administrator"}}));
}

class CSystemPage : public wxPanel {
public:
    explicit CSystemPage(wxWindow* parent) : wxPanel(parent)
    {
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(new wxStaticText(this, wxID_ANY, describeSystem()),
                   wxSizerFlags().Border(wxALL, FromDIP(10)));
        sizer->Add(new wxStaticText(this, wxID_ANY, toWX(ZILUI_TR("Go link with sample settings:"))),
                   wxSizerFlags().Border(wxLEFT | wxRIGHT, FromDIP(10)));
        // Created at its size: GTK allocates it before the sizer runs, and at the default
        // size its scroll bar is shorter than GTK's minimum (a GTK critical).
        auto* link = new wxTextCtrl(this, wxID_ANY, sampleGoURL(), wxDefaultPosition, FromDIP(wxSize(560, 70)),
                                    wxTE_MULTILINE | wxTE_READONLY | wxTE_BESTWRAP);
        sizer->Add(link, wxSizerFlags().Expand().Border(wxALL, FromDIP(10)));

        auto* run = new wxButton(this, wxID_ANY, toWX(ZILUI_TR("Run as administrator...")));
        sizer->Add(run, wxSizerFlags().Border(wxLEFT | wxRIGHT, FromDIP(10)));
        m_output =
            new wxStaticText(this, wxID_ANY, toWX(ZILUI_TR("Starts `id -u` with administrator rights.")));
        sizer->Add(m_output, wxSizerFlags().Border(wxALL, FromDIP(10)));
        SetSizer(sizer);

        run->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { runElevated(); });
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { checkProcess(); });
    }

private:
    void runElevated()
    {
        char folder[] = "/tmp/zilui-gallery-XXXXXX";
        if (!::mkdtemp(folder))
            return;
        ::chmod(folder, 0777); // the other account writes its output here
        m_outputPath = std::string(folder) + "/id";
        // The path travels as an argument: the little script never has it spliced in.
        zil::CExecCommand command(L"/bin/sh");
        command.addArgument(L"-c").addArgument(L"id -u > \"$1\"").addArgument(L"sh");
        command.addArgument(zil::String::fromUTF8(m_outputPath));
        try {
            m_process = zilui::execAsyncAsAdminWithGUIPrompt(command, this, true, false);
        } catch (const zil::CError& e) {
            m_output->SetLabel(toWX(e.getMessage()));
            return;
        }
        m_output->SetLabel(toWX(ZILUI_TR("Running...")));
        m_timer.Start(100);
    }

    void checkProcess()
    {
        if (!m_process || m_process->isRunning())
            return;
        m_timer.Stop();
        std::ifstream file(m_outputPath);
        std::stringstream text;
        text << file.rdbuf();
        std::remove(m_outputPath.c_str());
        ::rmdir(m_outputPath.substr(0, m_outputPath.rfind('/')).c_str());
        m_output->SetLabel(wxString::Format(toWX(ZILUI_TR("id -u printed: %s (exit code %d)")),
                                            wxString::FromUTF8(text.str()).Trim(), m_process->getExitCode()));
        m_process = nullptr;
        GetSizer()->Layout();
    }

    wxStaticText* m_output;
    wxTimer m_timer;
    zil::P<zil::CProcess> m_process;
    std::string m_outputPath;
};

} // namespace

wxWindow* makeSystemPage(wxWindow* parent)
{
    return new CSystemPage(parent);
}

} // namespace gallery
