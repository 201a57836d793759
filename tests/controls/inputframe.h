// SPDX-License-Identifier: MIT
// A frame of its own for tests of real input, holding the per-display input lock that test
// processes sharing the display take.
#pragma once

#include "app/apptestutil.h"
#include "support/compositor.h"
#include "support/guitest.h"

#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zilui::test {

struct CInputLock {
    CInputLock()
    {
        if ((fd = ::open(inputLockPath().c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666)) >= 0)
            ::flock(fd, LOCK_EX);
    }
    ~CInputLock() { ::close(fd); } // -1 when the lock file could not be opened: harmless
    int fd = -1;
};

struct CControlsInputFrame {
    CControlsInputFrame()
    {
        frame->Show();
        frame->Raise();
        runLoopUntil([&] { return frame->IsShownOnScreen(); }, 5000);
        pointerTo(panel, wxPoint(390, 290));
    }
    ~CControlsInputFrame()
    {
        frame->Destroy();
        processPendingEvents();
    }
    CInputLock lock; // taken before the frame shows, released after it went
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "input", wxPoint(860, 620), wxSize(400, 300));
    wxPanel* panel = new wxPanel(frame);
};

} // namespace zilui::test
