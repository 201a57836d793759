// SPDX-License-Identifier: MIT
#pragma once

#include <zil/containers.h>
#include <zil/mutex.h>
#include <zil/object.h>

#include <wx/event.h>

#include <functional>

class wxDialog;

namespace zilui {

// A subscription to a wxWidgets event. Releasing the last reference unsubscribes.
class IEventConnection : public virtual zil::IBase {
public:
    virtual void disconnect() = 0;
};

// The wxEvtHandler that wxWidgets calls; it forwards to a member function of any object.
class CEventHandlerWXAdapterBase : public wxEvtHandler {
public:
    virtual void dispatchEvent(wxEvent& event) = 0;

    // The one function wxWidgets is given for every connection.
    void onWXEvent(wxEvent& event) { dispatchEvent(event); }
};

template <class C, class M, class Base = CEventHandlerWXAdapterBase>
class TEventHandlerAdapter;

template <class C, class E, class Base>
class TEventHandlerAdapter<C, void (C::*)(E&), Base> : public Base {
public:
    using Method = void (C::*)(E&);
    TEventHandlerAdapter(C* object, Method method) : m_object(object), m_method(method) {}

    void dispatchEvent(wxEvent& event) override { (m_object->*m_method)(static_cast<E&>(event)); }

private:
    C* m_object;
    Method m_method;
};

class CWXEventConnection : public zil::CBase, public IEventConnection {
public:
    // Takes ownership of `adapter` and connects it to `source` for the given event type and
    // identifier range.
    CWXEventConnection(wxEvtHandler* source, CEventHandlerWXAdapterBase* adapter, int eventType, int id,
                       int lastId);
    ~CWXEventConnection() override;
    CWXEventConnection(const CWXEventConnection&) = delete;
    CWXEventConnection& operator=(const CWXEventConnection&) = delete;

    // Unsubscribes once; touches the source only while it is alive.
    void disconnect() override;
    bool isConnected() const { return m_connected; }
    bool isSourceDeleted() const { return m_sourceDeleted; }

    // wxWidgets deletes the user data of a connection when the connection goes, which
    // includes the destruction of the source; the flag it sets is how we learn of it.
    class CSignalDelete : public wxObject {
    public:
        explicit CSignalDelete(bool* flag) : m_flag(flag) { *m_flag = false; }
        ~CSignalDelete() override { *m_flag = true; }

    private:
        bool* m_flag;
    };

private:
    CSignalDelete* m_signalDelete = nullptr;
    bool m_sourceDeleted = false;
    wxEvtHandler* m_source;
    CEventHandlerWXAdapterBase* m_adapter;
    int m_eventType;
    int m_id;
    int m_lastId;
    bool m_connected = false;
};

// Subscribes `method` of `object` to events of `eventType` from `source`. Keep the result for
// as long as the subscription should last.
template <class C, class E>
zil::P<IEventConnection> connectEvent(wxEvtHandler* source, C* object, void (C::*method)(E&), int eventType,
                                      int id = wxID_ANY, int lastId = wxID_ANY)
{
    auto* adapter = new TEventHandlerAdapter<C, void (C::*)(E&)>(object, method);
    return zil::P<IEventConnection>(new CWXEventConnection(source, adapter, eventType, id, lastId));
}

template <class C, class E>
zil::P<IEventConnection> connectEvent(wxEvtHandler* source, C* object, void (C::*method)(E&),
                                      const wxEventTypeTag<E>& eventType, int id = wxID_ANY,
                                      int lastId = wxID_ANY)
{
    return connectEvent(source, object, method, static_cast<int>(static_cast<wxEventType>(eventType)), id,
                        lastId);
}

// Keeps its owner's connections and drops them all with itself.
class TEventConnectorMixin : public zil::CBase {
public:
    TEventConnectorMixin() = default;
    TEventConnectorMixin(const TEventConnectorMixin&) : zil::CBase() {}
    TEventConnectorMixin& operator=(const TEventConnectorMixin&) { return *this; }
    ~TEventConnectorMixin() override;

    template <class C, class E, class Tag>
    void connectEventFrom(wxEvtHandler* source, C* object, void (C::*method)(E&), const Tag& eventType,
                          int id = wxID_ANY, int lastId = wxID_ANY)
    {
        m_connections.push_back(connectEvent(source, object, method, eventType, id, lastId));
    }
    void addConnection(const zil::P<IEventConnection>& connection) { m_connections.push_back(connection); }
    void disconnectAll();
    size_t getConnectionCount() const { return m_connections.size(); }

private:
    zil::TList<zil::P<IEventConnection>> m_connections;
};

struct ShowModalEvent {
    wxDialog* dialog = nullptr;
    int result = 0;
};

// A process-wide list of handlers of one kind of event. Handlers run on a copy of the list,
// without the lock, so a handler may add or remove handlers.
template <class T>
class TEventSource : public zil::CBase {
public:
    class IHandler : public virtual zil::IBase {
    public:
        virtual void handleEvent(T& event) = 0;
    };

    void addHandler(IHandler* handler)
    {
        zil::CMutexLock lock(m_mutex);
        m_handlers.push_back(zil::P<IHandler>(handler));
    }
    void removeHandler(IHandler* handler)
    {
        zil::CMutexLock lock(m_mutex);
        m_handlers.remove_if([handler](const zil::P<IHandler>& h) { return h.get() == handler; });
    }
    bool hasHandlers() const
    {
        zil::CMutexLock lock(m_mutex);
        return !m_handlers.empty();
    }
    void fire(T& event)
    {
        zil::TList<zil::P<IHandler>> copy;
        {
            zil::CMutexLock lock(m_mutex);
            copy = m_handlers;
        }
        for (const auto& handler : copy)
            handler->handleEvent(event);
    }

private:
    mutable zil::CMutex m_mutex;
    zil::TList<zil::P<IHandler>> m_handlers;
};

// Adapts a function to a handler of TEventSource.
template <class T>
class TEventSourceFunctionHandler : public zil::CBase, public TEventSource<T>::IHandler {
public:
    explicit TEventSourceFunctionHandler(std::function<void(T&)> function) : m_function(std::move(function)) {}
    void handleEvent(T& event) override { m_function(event); }

private:
    std::function<void(T&)> m_function;
};

// Every modal dialog of the library passes here, so a test or an automation layer can answer
// dialogs without showing them.
extern TEventSource<ShowModalEvent> g_ShowModalEvent;

// dialog->ShowModal(), unless g_ShowModalEvent has handlers: then they decide the result and
// the dialog is not shown.
int showModal(wxDialog* dialog);

} // namespace zilui
