// SPDX-License-Identifier: MIT
#include "sessionbus.h"

#include <zil/log.h>

#include <wx/app.h>

namespace zilui::desktop {

zil::String errorText(const GError* error)
{
    return error ? zil::String::fromUTF8(error->message) : zil::String(L"unknown error");
}

std::string utf8(const zil::String& text)
{
    return text.toUTF8();
}

void callAfter(std::function<void()> work)
{
    if (wxTheApp)
        wxTheApp->CallAfter(std::move(work));
}

CSessionBus::CSessionBus(std::function<void(const GError* error)> connected)
    : m_connected(std::move(connected)), m_cancellable(g_cancellable_new())
{
    struct Request {
        CSessionBus* self;
        GCancellable* cancellable;
    };
    // Not cancelled with the link: every caller shares the one connection being made, and a
    // cancellation would fail it for all of them. The callback checks instead.
    g_bus_get(
        G_BUS_TYPE_SESSION, nullptr,
        [](GObject*, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Request> request(static_cast<Request*>(data));
            GError* e = nullptr;
            GDBusConnection* bus = g_bus_get_finish(result, &e);
            ErrorPtr error(e);
            if (!g_cancellable_is_cancelled(request->cancellable))
                request->self->onConnected(bus, e);
            else if (bus)
                g_object_unref(bus);
            g_object_unref(request->cancellable);
        },
        new Request{this, G_CANCELLABLE(g_object_ref(m_cancellable))});
}

CSessionBus::~CSessionBus()
{
    g_cancellable_cancel(m_cancellable);
    g_object_unref(m_cancellable);
    if (m_bus)
        g_object_unref(m_bus);
}

void CSessionBus::onConnected(GDBusConnection* bus, const GError* error)
{
    m_bus = bus;
    if (!m_bus) {
        m_failed = true;
    } else {
        // The shared connection would end the process when the bus goes.
        g_dbus_connection_set_exit_on_close(m_bus, FALSE);
    }
    m_connected(error);
}

bool CSessionBus::usable()
{
    if (!m_bus)
        return false;
    if (g_dbus_connection_is_closed(m_bus)) {
        logOnce("bus",
                L"The session bus has gone: the notification area, notifications and the launcher entry do "
                L"nothing from now on. Ignoring.");
        return false;
    }
    return true;
}

void CSessionBus::logOnce(const std::string& key, const zil::String& text)
{
    if (m_logged.insert(key).second)
        zil::logWarning(text);
}

void CSessionBus::call(const char* name, const char* path, const char* interface, const char* method,
                       GVariant* parameters, const GVariantType* replyType, GCancellable* cancellable, Done done)
{
    struct Call {
        Done done;
        GCancellable* cancellable;
    };
    auto* call = new Call{std::move(done), G_CANCELLABLE(g_object_ref(cancellable))};
    // GIO runs the callback in the caller's thread-default context: the GUI thread's.
    g_dbus_connection_call(
        m_bus, name, path, interface, method, parameters, replyType, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
        cancellable,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Call> call(static_cast<Call*>(data));
            GError* e = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &e);
            ErrorPtr error(e);
            // An answer that arrives just after the cancellation still counts as cancelled.
            if (!g_cancellable_is_cancelled(call->cancellable))
                call->done(reply, e);
            if (reply)
                g_variant_unref(reply);
            g_object_unref(call->cancellable);
        },
        call);
}

} // namespace zilui::desktop
