// SPDX-License-Identifier: MIT
// The fair slice of CAppBase::ProcessPendingEvents and the drop at exit read wxWidgets'
// protected pending-event bookkeeping. Should an update of wxWidgets rename, move or change
// the meaning of what they read, these checks fail instead of the slice silently starving
// handlers or the exit leaking actions.
#include "../../app/pendingevents.h"

#include <gtest/gtest.h>

#include <wx/event.h>

#include <functional>

namespace {

const char* const kChanged = "wxWidgets' pending-event bookkeeping changed: review app/pendingevents.cpp";

struct Listed {
    bool handlers;
    bool delayed;
};

Listed where(const zilui::CPendingEventQueues& queues, wxEvtHandler* handler)
{
    wxCriticalSectionLocker lock(queues.handlersLock);
    return {queues.handlers.Index(handler) != wxNOT_FOUND, queues.delayedHandlers.Index(handler) != wxNOT_FOUND};
}

} // namespace

TEST(PendingEventQueues, MeanWhatWxWidgetsPublicCallsSay)
{
    zilui::CAppBase* app = zilui::CAppBase::get();
    ASSERT_NE(app, nullptr);
    const zilui::CPendingEventQueues queues = zilui::CPendingEventQueues::of(*app);
    wxEvtHandler handler;
    int handled = 0;
    handler.Bind(wxEVT_THREAD, [&](wxThreadEvent&) { ++handled; });

    struct Step {
        const char* what;
        std::function<void()> make;
        Listed expected;
    };
    const Step steps[] = {
        {"queued", [&] { handler.QueueEvent(new wxThreadEvent()); }, {true, false}},
        {"passed over by a selective yield", [&] { app->DelayPendingEventHandler(&handler); }, {false, true}},
        // A turn whose slice ends in other handlers' events leaves the delayed ones for later.
        {"back for the next turn",
         [&] {
             for (int i = 0; i < 1000 && !where(queues, &handler).handlers; ++i)
                 app->ProcessPendingEvents();
         },
         {true, false}},
        {"its last event handled", [&] { handler.ProcessPendingEvents(); }, {false, false}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.make();
        const Listed listed = where(queues, &handler);
        EXPECT_EQ(listed.handlers, step.expected.handlers) << kChanged;
        EXPECT_EQ(listed.delayed, step.expected.delayed) << kChanged;
    }
    EXPECT_EQ(handled, 1);

    app->SuspendProcessingOfPendingEvents();
    EXPECT_FALSE(queues.processing) << kChanged;
    app->ResumeProcessingOfPendingEvents();
    EXPECT_TRUE(queues.processing) << kChanged;

    // The application's own queue: what the drop at exit empties.
    size_t before;
    {
        wxCriticalSectionLocker lock(queues.ownLock);
        before = queues.ownQueue ? queues.ownQueue->GetCount() : 0;
    }
    app->QueueEvent(new wxThreadEvent(wxEVT_THREAD, wxID_NONE));
    {
        wxCriticalSectionLocker lock(queues.ownLock);
        ASSERT_NE(queues.ownQueue, nullptr) << kChanged;
        EXPECT_EQ(queues.ownQueue->GetCount(), before + 1) << kChanged;
    }
    EXPECT_EQ(where(queues, app).handlers, true) << kChanged;
    app->ProcessPendingEvents();
}
