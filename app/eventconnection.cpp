// SPDX-License-Identifier: MIT
#include "zilui/app/eventconnection.h"

#include <zil/error.h>

#include <wx/dialog.h>

namespace zilui {

TEventSource<ShowModalEvent> g_ShowModalEvent;

namespace {

// The global hook is a static object, not one made with new: keep one reference for the
// process so that a P<> taken on it can never free it.
struct KeepShowModalEventAlive {
    KeepShowModalEventAlive() { g_ShowModalEvent.addRef(); }
} g_keepShowModalEventAlive;

} // namespace

CWXEventConnection::CWXEventConnection(wxEvtHandler* source, CEventHandlerWXAdapterBase* adapter, int eventType,
                                       int id, int lastId)
    : m_source(source), m_adapter(adapter), m_eventType(eventType), m_id(id), m_lastId(lastId)
{
    if (!source || !adapter) {
        delete adapter;
        throw zil::CInvalidArgError(L"Cannot connect an event without source or handler.",
                                    L"CWXEventConnection::CWXEventConnection");
    }
    m_signalDelete = new CSignalDelete(&m_sourceDeleted);
    m_source->Connect(m_id, m_lastId, m_eventType,
                      wxEventHandler(CEventHandlerWXAdapterBase::onWXEvent), m_signalDelete, m_adapter);
    m_connected = true;
}

CWXEventConnection::~CWXEventConnection()
{
    try {
        disconnect();
    } catch (const std::exception& e) {
        zil::onExceptionInDestructorIgnored(e, L"zilui::CWXEventConnection");
    }
}

void CWXEventConnection::disconnect()
{
    if (!m_connected)
        return;
    if (!m_sourceDeleted)
        m_source->Disconnect(m_id, m_lastId, m_eventType,
                             wxEventHandler(CEventHandlerWXAdapterBase::onWXEvent), m_signalDelete, m_adapter);
    delete m_adapter;
    m_adapter = nullptr;
    m_connected = false;
}

TEventConnectorMixin::~TEventConnectorMixin() = default;

void TEventConnectorMixin::disconnectAll()
{
    // Moved out first: a disconnect may run code that adds connections again.
    zil::TList<zil::P<IEventConnection>> connections;
    connections.swap(m_connections);
    for (const auto& connection : connections)
        connection->disconnect();
}

int showModal(wxDialog* dialog)
{
    if (!g_ShowModalEvent.hasHandlers())
        return dialog->ShowModal();
    ShowModalEvent event;
    event.dialog = dialog;
    g_ShowModalEvent.fire(event);
    return event.result;
}

} // namespace zilui
