// SPDX-License-Identifier: MIT
#pragma once

#include "zilui/app/appbase.h"

#include <wx/thread.h>

namespace zilui {

// wxWidgets' bookkeeping of pending events, which it keeps protected and offers no public
// call for: the application's list of handlers with queued events (and those a selective
// yield passed over), and an event handler's own queue. The fair slice of
// CAppBase::ProcessPendingEvents and the drop at exit need them. Written against wxWidgets
// 3.2; tests/app/pendingevents_test.cpp fails when an update changes what they mean.
struct CPendingEventQueues {
    // False while wxAppConsoleBase::SuspendProcessingOfPendingEvents() holds.
    bool& processing;
    // Guards `handlers` and `delayedHandlers`.
    wxCriticalSection& handlersLock;
    // In the order their first event was queued; a handler leaves with its last event.
    wxEvtHandlerArray& handlers;
    wxEvtHandlerArray& delayedHandlers;
    // The application object's own queue (null when empty) and its lock.
    wxCriticalSection& ownLock;
    wxList*& ownQueue;

    // The one place that names wxWidgets' protected members.
    static CPendingEventQueues of(CAppBase& app);
};

} // namespace zilui
