// SPDX-License-Identifier: MIT
#include "drawhook.h"

#include <zil/log.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <memory>

namespace zilui::gtk {

namespace {

constexpr const char* kPaintKey = "zilui-draw-hook";
constexpr const char* kFlatKey = "zilui-flat-style";
constexpr const char* kStyleKey = "zilui-style-changed";
// Values of kFlatKey: a shown widget takes a new style only at GTK's next frame.
constexpr int kFlatRequested = 1;
constexpr int kFlatApplied = 2;

// The screen's cairo surface renders glyphs with the display's hinting, and a wxGCDC on it
// strokes thin lines on pixel edges; both differ from a wxMemoryDC. So the control paints into
// a memory bitmap at the screen's scale, exactly as paintContents paints in tests, and that
// bitmap goes to the screen pixel for pixel. One bitmap, kept selected into one DC (making a
// DC costs about as much as the painting), serves every control; GUI thread only.
struct CPaintBuffer {
    wxBitmap bitmap;
    std::unique_ptr<wxMemoryDC> dc;
};

CPaintBuffer& paintBuffer(const wxSize& size, double scale)
{
    // Never destroyed: a DC must not outlive wxWidgets, which ends before static objects do.
    static CPaintBuffer& buffer = *new CPaintBuffer();
    wxBitmap& bitmap = buffer.bitmap;
    if (!buffer.dc || bitmap.GetScaleFactor() != scale || bitmap.GetLogicalWidth() < size.x ||
        bitmap.GetLogicalHeight() < size.y) {
        const wxSize grown(std::max(size.x, buffer.dc ? int(bitmap.GetLogicalWidth()) : 0),
                           std::max(size.y, buffer.dc ? int(bitmap.GetLogicalHeight()) : 0));
        buffer.dc.reset();
        bitmap = wxBitmap();
        bitmap.CreateWithDIPSize(grown, scale, 24);
        buffer.dc = std::make_unique<wxMemoryDC>(bitmap);
    }
    return buffer;
}

gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer data)
{
    auto* window = static_cast<wxWindow*>(data);
    auto paint = reinterpret_cast<PaintFunction>(g_object_get_data(G_OBJECT(widget), kPaintKey));
    if (!paint)
        return FALSE;
    const wxSize size = window->GetClientSize();
    if (size.x < 1 || size.y < 1)
        return TRUE;
    const double scale = window->GetContentScaleFactor();
    CPaintBuffer& buffer = paintBuffer(size, scale);
    wxMemoryDC& dc = *buffer.dc;
    // Nothing may unwind through GTK's C frames.
    try {
        // A clip costs; only a buffer grown for a larger control needs one.
        dc.DestroyClippingRegion();
        if (wxSize(int(buffer.bitmap.GetLogicalWidth()), int(buffer.bitmap.GetLogicalHeight())) != size)
            dc.SetClippingRegion(wxRect(size));
        paint(window, dc);
    } catch (...) {
        zil::logCurrentException(L"Painting a skinned control failed.");
    }
    // The bitmap carries the screen's scale: its pixels land on the device pixels as they are.
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, size.x, size.y);
    cairo_clip(cr);
    buffer.bitmap.Draw(cr, 0, 0, false);
    cairo_restore(cr);
    return TRUE;
}

void onStyleUpdated(GtkWidget* widget, gpointer data)
{
    // From now on the flat style is in effect.
    g_object_set_data(G_OBJECT(widget), kFlatKey, GINT_TO_POINTER(kFlatApplied));
    auto changed = reinterpret_cast<StyleFunction>(g_object_get_data(G_OBJECT(widget), kStyleKey));
    if (!changed)
        return;
    try {
        changed(static_cast<wxWindow*>(data));
    } catch (...) {
        zil::logCurrentException(L"Updating a skinned control after a style change failed. Ignoring.");
    }
}

// The theme's boxes around what we paint ourselves: without them the native minimum is the
// label's, which the skin's best size always covers.
GtkCssProvider* flatStyle()
{
    static GtkCssProvider* provider = [] {
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css,
                                        "* { min-width: 0; min-height: 0; padding: 0; margin: 0; border-width: 0; "
                                        "outline-width: 0; box-shadow: none; -gtk-outline-radius: 0; }",
                                        -1, nullptr);
        return css;
    }();
    return provider;
}

// Also for children added later (a button's image), once per widget.
void applyFlatStyle(GtkWidget* widget, gpointer)
{
    if (!g_object_get_data(G_OBJECT(widget), kFlatKey)) {
        gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(flatStyle()),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
        g_object_set_data(G_OBJECT(widget), kFlatKey, GINT_TO_POINTER(kFlatRequested));
    }
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), &applyFlatStyle, nullptr);
}

} // namespace

wxSize getNativeMinSize(wxWindow* window)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (!widget)
        return wxSize(0, 0);
    // The class's own measure: gtk_widget_get_preferred_size() would also count the size
    // request that wxWidgets sets to the window's present size.
    applyFlatStyle(widget, nullptr);
    // Until then GTK would still measure the theme's padding; the restyle reports the real
    // minimum, and GTK restyles before it lays out.
    if (GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), kFlatKey)) != kFlatApplied)
        return wxSize(0, 0);
    GtkWidgetClass* type = GTK_WIDGET_GET_CLASS(widget);
    int width = 0, height = 0, natural = 0;
    type->get_preferred_width(widget, &width, &natural);
    type->get_preferred_height(widget, &height, &natural);
    return wxSize(width, height);
}

void connectDrawHook(wxWindow* window, PaintFunction paint, StyleFunction styleChanged)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (!widget)
        return;
    disconnectDrawHook(window);
    g_object_set_data(G_OBJECT(widget), kPaintKey, reinterpret_cast<gpointer>(paint));
    g_signal_connect(widget, "draw", G_CALLBACK(onDraw), window);
    g_object_set_data(G_OBJECT(widget), kStyleKey, reinterpret_cast<gpointer>(styleChanged));
    g_signal_connect(widget, "style-updated", G_CALLBACK(onStyleUpdated), window);
    applyFlatStyle(widget, nullptr);
    gtk_widget_queue_draw(widget);
}

void disconnectDrawHook(wxWindow* window)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (!widget)
        return;
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(&onDraw), window);
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(&onStyleUpdated), window);
    g_object_set_data(G_OBJECT(widget), kStyleKey, nullptr);
    g_object_set_data(G_OBJECT(widget), kPaintKey, nullptr);
}

} // namespace zilui::gtk
