// SPDX-License-Identifier: MIT
#include "support/guitest.h"

#include <zilui/app/eventconnection.h>

#include <gtest/gtest.h>

#include <wx/dialog.h>
#include <wx/frame.h>

#include <cstring>
#include <new>

using namespace zilui;

namespace {

struct Receiver {
    int commands = 0;
    int lastId = 0;
    void onCommand(wxCommandEvent& event)
    {
        ++commands;
        lastId = event.GetId();
    }
};

int g_adapterDeletions = 0;

struct CountingAdapter : TEventHandlerAdapter<Receiver, void (Receiver::*)(wxCommandEvent&)> {
    using TEventHandlerAdapter::TEventHandlerAdapter;
    ~CountingAdapter() override { ++g_adapterDeletions; }
};

void sendCommand(wxEvtHandler& source, int id)
{
    wxCommandEvent event(wxEVT_BUTTON, id);
    source.ProcessEvent(event);
}

} // namespace

TEST(EventConnection, DeliversInRangeAndStopsAfterDisconnect)
{
    wxEvtHandler source;
    Receiver receiver;
    auto connection = connectEvent(&source, &receiver, &Receiver::onCommand, wxEVT_BUTTON, 100, 102);
    const struct {
        int id;
        int expected;
    } cases[] = {{99, 0}, {100, 1}, {102, 1}, {103, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        receiver.commands = 0;
        sendCommand(source, c.id);
        EXPECT_EQ(receiver.commands, c.expected);
    }
    connection = nullptr; // the last reference disconnects
    sendCommand(source, 101);
    EXPECT_EQ(receiver.commands, 0);
}

TEST(EventConnection, DisconnectTwiceDeletesTheAdapterOnce)
{
    wxEvtHandler source;
    Receiver receiver;
    g_adapterDeletions = 0;
    {
        zil::P<CWXEventConnection> connection(new CWXEventConnection(
            &source, new CountingAdapter(&receiver, &Receiver::onCommand), wxEVT_BUTTON, wxID_ANY, wxID_ANY));
        sendCommand(source, 1);
        EXPECT_EQ(receiver.commands, 1);
        connection->disconnect();
        connection->disconnect();
        EXPECT_FALSE(connection->isConnected());
        sendCommand(source, 1);
        EXPECT_EQ(receiver.commands, 1);
    }
    EXPECT_EQ(g_adapterDeletions, 1);
}

// The source's memory is scribbled over after its destruction: a connection that still
// called Disconnect on it would crash here instead of passing quietly.
TEST(EventConnection, ReleasedAfterSourceDestroyedDoesNotTouchSource)
{
    alignas(wxEvtHandler) unsigned char storage[sizeof(wxEvtHandler)];
    auto* source = new (storage) wxEvtHandler();
    Receiver receiver;
    g_adapterDeletions = 0;
    zil::P<CWXEventConnection> connection(new CWXEventConnection(
        source, new CountingAdapter(&receiver, &Receiver::onCommand), wxEVT_BUTTON, wxID_ANY, wxID_ANY));
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
    zil::P<CWXEventConnection> watched;
    {
        TEventConnectorMixin connections;
        connections.connectEventFrom(window, &receiver, &Receiver::onCommand, wxEVT_BUTTON);
        watched = new CWXEventConnection(window, new CountingAdapter(&receiver, &Receiver::onCommand),
                                         wxEVT_BUTTON, wxID_ANY, wxID_ANY);
        connections.addConnection(watched);
        sendCommand(*window, 3); // the first handler takes it and does not skip
        EXPECT_EQ(receiver.commands, 1);
        g_adapterDeletions = 0;
        delete window;
        EXPECT_TRUE(watched->isSourceDeleted());
        EXPECT_TRUE(watched->isConnected());
        connections.disconnectAll();
        EXPECT_FALSE(watched->isConnected());
        EXPECT_EQ(g_adapterDeletions, 1);
    }
}

namespace {

// Ends its own modal loop as soon as it runs, so the test needs no person.
class SelfClosingDialog : public wxDialog {
public:
    explicit SelfClosingDialog(int code) : wxDialog(&zilui::test::sharedFrame(), wxID_ANY, "modal")
    {
        Bind(wxEVT_INIT_DIALOG, [this, code](wxInitDialogEvent& event) {
            m_shown = true;
            CallAfter([this, code] { EndModal(code); });
            event.Skip();
        });
    }
    bool m_shown = false;
};

} // namespace

TEST(ShowModal, WithoutHandlersShowsTheDialogAndWithOneLetsItDecide)
{
    {
        SelfClosingDialog dialog(7);
        EXPECT_EQ(showModal(&dialog), 7);
        EXPECT_TRUE(dialog.m_shown);
    }
    SelfClosingDialog dialog(7);
    wxDialog* seen = nullptr;
    zil::P<TEventSourceFunctionHandler<ShowModalEvent>> handler(
        new TEventSourceFunctionHandler<ShowModalEvent>([&](ShowModalEvent& event) {
            seen = event.dialog;
            event.result = 5;
        }));
    g_ShowModalEvent.addHandler(handler.get());
    const int result = showModal(&dialog);
    g_ShowModalEvent.removeHandler(handler.get());
    EXPECT_EQ(result, 5);
    EXPECT_EQ(seen, &dialog);
    EXPECT_FALSE(dialog.m_shown);
    EXPECT_FALSE(g_ShowModalEvent.hasHandlers());
}

// A handler that removes itself while the event is being delivered must not break the
// delivery to the others.
TEST(ShowModal, HandlerMayRemoveItselfDuringDelivery)
{
    int calls = 0;
    zil::P<TEventSourceFunctionHandler<ShowModalEvent>> second;
    zil::P<TEventSourceFunctionHandler<ShowModalEvent>> first(
        new TEventSourceFunctionHandler<ShowModalEvent>([&](ShowModalEvent& event) {
            ++calls;
            g_ShowModalEvent.removeHandler(first.get());
            event.result += 1;
        }));
    second = new TEventSourceFunctionHandler<ShowModalEvent>([&](ShowModalEvent& event) {
        ++calls;
        event.result += 10;
    });
    g_ShowModalEvent.addHandler(first.get());
    g_ShowModalEvent.addHandler(second.get());
    SelfClosingDialog dialog(0);
    EXPECT_EQ(showModal(&dialog), 11);
    EXPECT_EQ(showModal(&dialog), 10);
    g_ShowModalEvent.removeHandler(second.get());
    EXPECT_EQ(calls, 3);
}
