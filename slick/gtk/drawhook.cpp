// SPDX-License-Identifier: MIT
#include "drawhook.h"

#include <zil/log.h>

#include <wx/graphics.h>
// After graphics.h, which brings the setup that dcgraph.h tests.
#include <wx/dcgraph.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <memory>

namespace zilui::gtk {

namespace {

constexpr const char* kPaintKey = "zilui-draw-hook";

gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer data)
{
    auto* window = static_cast<wxWindow*>(data);
    auto paint = reinterpret_cast<PaintFunction>(g_object_get_data(G_OBJECT(widget), kPaintKey));
    if (!paint)
        return FALSE;
    // wxGCDC owns the context; the context does not own `cr`.
    std::unique_ptr<wxGraphicsContext> context(wxGraphicsContext::CreateFromNative(cr));
    if (!context)
        return FALSE;
    wxGCDC dc(context.release());
    // Nothing may unwind through GTK's C frames.
    try {
        paint(window, dc);
    } catch (...) {
        zil::logCurrentException(L"Painting a skinned control failed.");
    }
    return TRUE;
}

} // namespace

void connectDrawHook(wxWindow* window, PaintFunction paint)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (!widget)
        return;
    disconnectDrawHook(window);
    g_object_set_data(G_OBJECT(widget), kPaintKey, reinterpret_cast<gpointer>(paint));
    g_signal_connect(widget, "draw", G_CALLBACK(onDraw), window);
    gtk_widget_queue_draw(widget);
}

void disconnectDrawHook(wxWindow* window)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (!widget)
        return;
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(&onDraw), window);
    g_object_set_data(G_OBJECT(widget), kPaintKey, nullptr);
}

} // namespace zilui::gtk
