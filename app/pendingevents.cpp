// SPDX-License-Identifier: MIT
// Pending events in slices: threads that keep the queue full must not starve timers, paint,
// input or the exit.
#include "pendingevents.h"

#include "eventguard.h"

#include <chrono>
#include <utility>

namespace zilui {

namespace {

// Pending events are performed for this long per turn of the main loop: long enough that the
// turn's own cost stays small, short enough that a timer, a repaint or input waits at most
// this long behind threads that keep the queue full.
constexpr auto kPendingEventsSlice = std::chrono::milliseconds(2);

} // namespace

CPendingEventQueues CPendingEventQueues::of(CAppBase& app)
{
    return CPendingEventQueues{app.m_bDoPendingEventProcessing,
                               app.m_handlersWithPendingEventsLocker,
                               app.m_handlersWithPendingEvents,
                               app.m_handlersWithPendingDelayedEvents,
                               app.m_pendingEventsLock,
                               app.m_pendingEvents};
}

void CAppBase::ProcessPendingEvents()
{
    // wxWidgets' own version returns only once no handler has events left, which never happens
    // while threads keep posting: timers, paint, input and the exit would starve. The events
    // are taken in the same order, but for one slice per turn; the rest wait for the next.
    const CPendingEventQueues queues = CPendingEventQueues::of(*this);
    if (queues.processing) {
        const auto end = std::chrono::steady_clock::now() + kPendingEventsSlice;
        for (;;) {
            wxEvtHandler* handler = nullptr;
            {
                wxCriticalSectionLocker lock(queues.handlersLock);
                if (queues.handlers.IsEmpty()) {
                    // Handlers that a selective yield passed over get their turn next time.
                    WX_APPEND_ARRAY(queues.handlers, queues.delayedHandlers);
                    queues.delayedHandlers.Clear();
                    break;
                }
                handler = queues.handlers[0];
            }
            // One event of the first handler; a handler leaves the list with its last event.
            // Calls queued with CallAfter() come here without passing HandleEvent.
            runReportingExceptions([handler] { handler->ProcessPendingEvents(); });
            if (m_exitScheduled || std::chrono::steady_clock::now() >= end) {
                // GTK drops its idle source when it asks whether anything is pending; without
                // a new one the rest would wait for the next input event.
                if (HasPendingEvents())
                    WakeUpIdle();
                break;
            }
        }
    }
    DeletePendingObjects();
}

void CAppBase::dropPendingEvents()
{
    const CPendingEventQueues queues = CPendingEventQueues::of(*this);
    wxList* dropped = nullptr;
    {
        wxCriticalSectionLocker lock(queues.ownLock);
        std::swap(dropped, queues.ownQueue);
        RemovePendingEventHandler(this);
    }
    // Outside the lock: releasing an action may run any destructor, one that posts included.
    if (dropped) {
        dropped->DeleteContents(true);
        delete dropped;
    }
}

} // namespace zilui
