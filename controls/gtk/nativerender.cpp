// SPDX-License-Identifier: MIT
#include "zilui/controls/wrappers.h"

#include "../../app/gtk/popupsurface.h"

#include <wx/dc.h>
#include <wx/image.h>

#include <gtk/gtk.h>

#include <memory>

namespace zilui {

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

// Cairo keeps premultiplied 0xAARRGGBB words; wxImage wants straight RGB and a separate alpha.
wxImage toImage(cairo_surface_t* surface)
{
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    wxImage image(width, height, false);
    image.InitAlpha();
    unsigned char* rgb = image.GetData();
    unsigned char* alpha = image.GetAlpha();
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = row[x];
            const unsigned a = pixel >> 24;
            const auto straight = [a](unsigned c) { return a ? static_cast<unsigned char>((c * 255 + a / 2) / a) : 0; };
            *rgb++ = straight((pixel >> 16) & 0xff);
            *rgb++ = straight((pixel >> 8) & 0xff);
            *rgb++ = straight(pixel & 0xff);
            *alpha++ = static_cast<unsigned char>(a);
        }
    }
    return image;
}

} // namespace

bool renderControlInto(wxWindow& control, wxDC& dc, const wxPoint& at)
{
    GtkWidget* widget = control.GetHandle();
    if (!widget)
        return false;
    if (!control.IsShown())
        return true;
    if (!gtk_widget_get_realized(widget) || !gtk::readyToDraw(control))
        return false;
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    if (width <= 0 || height <= 0)
        return true;
    const int scale = gtk_widget_get_scale_factor(widget);
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scale, height * scale));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return false;
    cairo_surface_set_device_scale(surface.get(), scale, scale);
    cairo_t* cr = cairo_create(surface.get());
    gtk_widget_draw(widget, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    dc.DrawBitmap(wxBitmap(toImage(surface.get()), -1, scale), at, true);
    return true;
}

} // namespace zilui
