// SPDX-License-Identifier: MIT
#include "support/guitest.h"

#include <zilui/app/eventconnection.h>

#include <gtest/gtest.h>

#include <wx/dialog.h>
#include <wx/frame.h>

#include <cstring>
#include <new>
#include <utility>

using namespace zilui;

namespace {

struct Receiver {
    int commands = 0;
    void onCommand(wxCommandEvent&) { ++commands; }
};

int g_adapterDeletions = 0;

struct CountingAdapter : TEventHandlerAdapter<Receiver, void (Receiver::*)(wxCommandEvent&)> {
    explicit CountingAdapter(Receiver* receiver) : TEventHandlerAdapter(receiver, &Receiver::onCommand) {}
    ~CountingAdapter() override { ++g_adapterDeletions; }
};

zil::P<CWXEventConnection> connectCounting(wxEvtHandler* source, Receiver* receiver, int id = wxID_ANY,
                                           int lastId = wxID_ANY)
{
    g_adapterDeletions = 0;
    return new CWXEventConnection(source, new CountingAdapter(receiver), wxEVT_BUTTON, id, lastId);
}

void sendCommand(wxEvtHandler& source, int id)
{
    wxCommandEvent event(wxEVT_BUTTON, id);
    source.ProcessEvent(event);
}

} // namespace

TEST(EventConnection, DeliversInRangeUntilDisconnectedAndDeletesTheAdapterOnce)
{
    wxEvtHandler source;
    Receiver receiver;
    zil::P<CWXEventConnection> connection = connectCounting(&source, &receiver, 100, 102);
    const std::pair<int, int> cases[] = {{99, 0}, {100, 1}, {102, 2}, {103, 2}}; // id, commands so far
    for (const auto& [id, commands] : cases) {
        SCOPED_TRACE(id);
        sendCommand(source, id);
        EXPECT_EQ(receiver.commands, commands);
    }
    connection = nullptr; // the last reference disconnects
    sendCommand(source, 101);
    EXPECT_EQ(receiver.commands, 2);
    EXPECT_EQ(g_adapterDeletions, 1);

    connection = connectCounting(&source, &receiver);
    connection->disconnect();
    connection->disconnect();
    sendCommand(source, 1);
    EXPECT_EQ(receiver.commands, 2);
    connection = nullptr;
    EXPECT_EQ(g_adapterDeletions, 1);
}

// The source's memory is scribbled over after its destruction: a connection that still
// called Disconnect on it would crash here instead of passing quietly.
TEST(EventConnection, ReleasedAfterSourceDestroyedDoesNotTouchSource)
{
    alignas(wxEvtHandler) unsigned char storage[sizeof(wxEvtHandler)];
    auto* source = new (storage) wxEvtHandler();
    Receiver receiver;
    zil::P<CWXEventConnection> connection = connectCounting(source, &receiver);
    source->~wxEvtHandler();
    std::memset(storage, 0xAB, sizeof storage);
    EXPECT_TRUE(connection->isSourceDeleted());
    connection = nullptr;
    EXPECT_EQ(g_adapterDeletions, 1);
}

TEST(EventConnection, WindowDestroyedBeforeMixinReleasesItsConnections)
{
    Receiver receiver;
    auto* window = new wxWindow(&zilui::test::sharedFrame(), wxID_ANY);
    TEventConnectorMixin connections;
    connections.connectEventFrom(window, &receiver, &Receiver::onCommand, wxEVT_BUTTON);
    zil::P<CWXEventConnection> watched = connectCounting(window, &receiver);
    connections.addConnection(watched);
    sendCommand(*window, 3); // the first handler takes it and does not skip
    EXPECT_EQ(receiver.commands, 1);
    delete window;
    connections.disconnectAll();
    EXPECT_EQ(g_adapterDeletions, 1);
}

// Handlers decide in the dialog's place; one that removes itself during the delivery must
// not break the delivery to the others.
TEST(ShowModal, WithoutHandlersShowsTheDialogElseTheHandlersDecide)
{
    wxDialog dialog(&zilui::test::sharedFrame(), wxID_ANY, "modal");
    bool shown = false;
    dialog.Bind(wxEVT_INIT_DIALOG, [&](wxInitDialogEvent& event) {
        shown = true;
        dialog.CallAfter([&] { dialog.EndModal(7); }); // so the test needs no person
        event.Skip();
    });
    EXPECT_EQ(showModal(&dialog), 7);
    EXPECT_TRUE(shown);

    shown = false;
    wxDialog* seen = nullptr;
    using Handler = TEventSourceFunctionHandler<ShowModalEvent>;
    zil::P<Handler> first(new Handler([&](ShowModalEvent& event) {
        g_ShowModalEvent.removeHandler(first.get());
        event.result += 1;
    }));
    zil::P<Handler> second(new Handler([&](ShowModalEvent& event) {
        seen = event.dialog;
        event.result += 10;
    }));
    g_ShowModalEvent.addHandler(first.get());
    g_ShowModalEvent.addHandler(second.get());
    EXPECT_EQ(showModal(&dialog), 11);
    EXPECT_EQ(showModal(&dialog), 10);
    g_ShowModalEvent.removeHandler(second.get());
    EXPECT_EQ(seen, &dialog);
    EXPECT_FALSE(shown);
    EXPECT_FALSE(g_ShowModalEvent.hasHandlers());
}
