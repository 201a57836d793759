// SPDX-License-Identifier: MIT
#include <zilui/app/screen.h>

#include "popupsurface.h"

#include <wx/toplevel.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <cstring>
#include <memory>

namespace zilui {

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// The window's drawing in its client area's logical coordinates, with the top-level children
// that lie over it painted on top in creation order (as they were shown). Null when nothing
// can be drawn. `withBackground`: the background of a managed top-level window first.
Surface drawWindow(const wxWindow& window, int scale, bool withBackground = false);

void drawTopLevelChildren(const wxWindow& origin, const wxWindow& window, cairo_t* cr, int scale)
{
    for (const wxWindow* child : window.GetChildren()) {
        if (!child->IsShown())
            continue;
        if (!child->IsTopLevel()) {
            drawTopLevelChildren(origin, *child, cr, scale);
            continue;
        }
        // Only popups lie where the program put them; a window manager or a compositor places
        // other top-level windows (dialogs, frames) as it likes.
        if (!GTK_IS_WINDOW(child->m_widget) ||
            gtk_window_get_window_type(GTK_WINDOW(child->m_widget)) != GTK_WINDOW_POPUP)
            continue;
        Surface surface = drawWindow(*child, scale);
        if (!surface)
            continue;
        // Both positions are in the coordinates in which the display server placed the
        // children: the screen's on X11, the owner's top-level surface's on Wayland.
        const wxPoint at = child->ClientToScreen(wxPoint(0, 0)) - origin.ClientToScreen(wxPoint(0, 0));
        cairo_save(cr);
        cairo_set_source_surface(cr, surface.get(), at.x, at.y);
        cairo_paint(cr);
        cairo_restore(cr);
    }
}

Surface drawWindow(const wxWindow& window, int scale, bool withBackground)
{
    GtkWidget* widget = window.m_wxwindow ? window.m_wxwindow : window.m_widget;
    if (!widget || !window.IsShown() || !gtk_widget_get_mapped(widget))
        return nullptr;
    // What the window has still to paint on the display is painted there first: drawn
    // elsewhere before its first picture, a window can stay black on the display.
    if (wxWindow* topWindow = wxGetTopLevelParent(const_cast<wxWindow*>(&window)))
        topWindow->Update();
    if (!gtk::readyToDraw(window))
        return nullptr;
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    if (width <= 0 || height <= 0)
        return nullptr;
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scale, height * scale));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    cairo_surface_set_device_scale(surface.get(), scale, scale);
    cairo_t* cr = cairo_create(surface.get());
    // The client widget draws only its children: the theme's background under them is the
    // GTK window's, which a dialog shows wherever no child covers it. Not for popups, whose
    // see-through parts must stay so.
    if (withBackground && widget != window.m_widget && GTK_IS_WINDOW(window.m_widget) &&
        gtk_window_get_window_type(GTK_WINDOW(window.m_widget)) != GTK_WINDOW_POPUP)
        gtk_render_background(gtk_widget_get_style_context(window.m_widget), cr, 0, 0, width, height);
    gtk_widget_draw(widget, cr);
    drawTopLevelChildren(window, window, cr, scale);
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    return surface;
}

} // namespace

bool isX11Display()
{
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display);
#else
    return false;
#endif
}

wxImage readScreen(const wxRect& rect)
{
    if (rect.IsEmpty() || !isX11Display())
        return wxImage();
    GdkWindow* root = gdk_get_default_root_window();
    if (!root)
        return wxImage();
    // On X11 this is an XGetImage of the root window, which includes what its children show.
    GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(root, rect.x, rect.y, rect.width, rect.height);
    if (!pixbuf)
        return wxImage();
    const int width = gdk_pixbuf_get_width(pixbuf);
    const int height = gdk_pixbuf_get_height(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    wxImage image(width, height, false);
    unsigned char* out = image.GetData();
    for (int y = 0; y < height; ++y) {
        const guchar* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x, out += 3)
            std::memcpy(out, row + static_cast<size_t>(x) * channels, 3);
    }
    g_object_unref(pixbuf);
    return image;
}

wxImage renderWindow(const wxWindow& window)
{
    GtkWidget* widget = window.m_wxwindow ? window.m_wxwindow : window.m_widget;
    if (!widget)
        return wxImage();
    const int scale = gtk_widget_get_scale_factor(widget);
    Surface surface = drawWindow(window, scale, true);
    if (!surface)
        return wxImage();
    // A window paints its whole client area; what little stays transparent (a corner the
    // theme rounds) reads as black, as on the screen.
    const int width = cairo_image_surface_get_width(surface.get());
    const int height = cairo_image_surface_get_height(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    wxImage image(width, height, false);
    unsigned char* out = image.GetData();
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            // Premultiplied 0xAARRGGBB over black is the colour channels as they are.
            *out++ = static_cast<unsigned char>(row[x] >> 16);
            *out++ = static_cast<unsigned char>(row[x] >> 8);
            *out++ = static_cast<unsigned char>(row[x]);
        }
    }
    return image;
}

static GdkDevice* seatPointer()
{
    GdkDisplay* display = gdk_display_get_default();
    GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
    return seat ? gdk_seat_get_pointer(seat) : nullptr;
}

bool hasPointer()
{
    return seatPointer() != nullptr;
}

bool getPointerPosition(wxPoint& position)
{
    GdkDevice* pointer = seatPointer();
    if (!pointer)
        return false;
    // An X server tells where the pointer is anywhere on the screen; a Wayland compositor
    // only while it is over one of our surfaces, and the last position seen goes stale.
    if (!isX11Display() && !gdk_device_get_window_at_position(pointer, nullptr, nullptr))
        return false;
    position = wxGetMousePosition();
    return true;
}

} // namespace zilui
