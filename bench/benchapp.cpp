// SPDX-License-Identifier: MIT
#include "benchapp.h"

#include <zilui/app/appbase.h>

#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>

namespace bench {

namespace {

class BenchApplication : public zilui::CAppBase {
public:
    BenchApplication() : CAppBase(errorReportingConsole) { SetAppName("zilui-bench"); }
    bool OnInit() override { return true; }
};

} // namespace

bool ensureWX()
{
    // Left running to the end of the process: benchmarks run one after another on this thread.
    static const bool started = [] {
        static char name[] = "zilui-bench";
        static char* argv[] = {name, nullptr};
        int argc = 1;
        wxApp::SetInstance(new BenchApplication());
        if (!wxEntryStart(argc, argv)) {
            std::fprintf(stderr, "zilui-bench: cannot start wxWidgets (is there a display?)\n");
            return false;
        }
        return wxTheApp->CallOnInit();
    }();
    return started;
}

} // namespace bench
