// SPDX-License-Identifier: MIT
// libFuzzer's entry points around the one harness of a fuzzer executable.
#include "fuzzsupport.h"

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/settings.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Abort, so that libFuzzer keeps the input: a wx assertion is a crash for a user.
void abortOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg)
{
    std::fprintf(stderr, "wxWidgets assertion %s (%s) in %s at %s:%d\n", cond.utf8_str().data(),
                 msg.utf8_str().data(), func.utf8_str().data(), file.utf8_str().data(), line);
    std::abort();
}

zilui::fuzz::Target g_target;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv)
{
    if (zilui::fuzz::targets().size() != 1)
        std::abort();
    g_target = zilui::fuzz::targets().begin()->second;
    wxSetAssertHandler(&abortOnAssert);
    wxApp::SetInstance(new wxApp());
    // libFuzzer's options are not wxWidgets'.
    int wxArgc = 1;
    if (!wxEntryStart(wxArgc, *argv)) {
        std::fprintf(stderr, "cannot start wxWidgets (is there a display?)\n");
        std::exit(2);
    }
    wxTheApp->CallOnInit();
    wxInitAllImageHandlers();
    // GTK loads its theme at the first question; not the first input's time.
    wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    // Parsers log what they skip; the log only costs time here.
    wxLog::EnableLogging(false);
    zilui::fuzz::folder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        g_target(data, size);
    } catch (const zil::CError&) {
    }
    return 0;
}
