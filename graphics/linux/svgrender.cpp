// SPDX-License-Identifier: MIT
// SVG rendering through librsvg: gradients and CSS classes come out as their author drew them,
// where wxWidgets' built-in renderer ignores <style> and misreads gradients in bounding-box
// units.
#include "../svgpicture.h"

#include <zilui/graphics/scalingimage.h>

#include <zil/error.h>

#include <cairo.h>
#include <gio/gio.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

namespace zilui::svg {

wxImage render(const std::string& text, double factor, const zil::String& source)
{
    const auto fail = [&](const zil::String& why) {
        zil::CError e(L"Cannot render vector picture '" + source + L"': " + why, L"svg::render");
        e.setProp(L"path", source);
        return e;
    };
    if (!(factor > 0.0))
        throw fail(L"no pixels at factor " + zil::toString(factor));

    // No base file: librsvg then resolves no reference to another file even if one slipped
    // past the check.
    GInputStream* stream = g_memory_input_stream_new_from_data(text.data(), gssize(text.size()), nullptr);
    GError* error = nullptr;
    RsvgHandle* raw = rsvg_handle_new_from_stream_sync(stream, nullptr, RSVG_HANDLE_FLAGS_NONE, nullptr, &error);
    g_object_unref(stream);
    if (!raw) {
        const zil::String why = error ? zil::String::fromUTF8(error->message) : zil::String(L"damaged");
        g_clear_error(&error);
        throw fail(L"damaged: " + why);
    }
    const std::unique_ptr<RsvgHandle, void (*)(RsvgHandle*)> handle(raw, [](RsvgHandle* h) { g_object_unref(h); });

    // The pixel size it declares, else that of its viewBox (a length in percent means nothing
    // without a surrounding document).
    double width = 0, height = 0;
    if (!rsvg_handle_get_intrinsic_size_in_pixels(raw, &width, &height)) {
        gboolean hasViewBox = FALSE;
        RsvgRectangle viewBox{};
        rsvg_handle_get_intrinsic_dimensions(raw, nullptr, nullptr, nullptr, nullptr, &hasViewBox, &viewBox);
        if (!hasViewBox)
            throw fail(L"it declares no size in pixels");
        width = viewBox.width;
        height = viewBox.height;
    }
    const auto paintable = [](double w, double h) {
        return w >= 1 && h >= 1 && w <= kMaxBitmapSide && h <= kMaxBitmapSide && w * h <= double(kMaxBitmapPixels);
    };
    if (!paintable(std::ceil(width), std::ceil(height)))
        throw fail(L"refused: its declared size " + zil::toString(width) + L"x" + zil::toString(height) +
                   L" is beyond the picture limit");
    const wxSize size(physicalLength(width, factor), physicalLength(height, factor));
    if (!paintable(size.x, size.y))
        throw fail(L"refused: " + zil::toString(int64_t(size.x)) + L"x" + zil::toString(int64_t(size.y)) +
                   L" pixels at factor " + zil::toString(factor) + L" is beyond the picture limit");

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.x, size.y);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        throw fail(L"no memory for " + zil::toString(int64_t(size.x)) + L"x" + zil::toString(int64_t(size.y)));
    }
    cairo_t* cr = cairo_create(surface);
    const RsvgRectangle viewport{0, 0, double(size.x), double(size.y)};
    const bool rendered = rsvg_handle_render_document(raw, cr, &viewport, &error);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (!rendered) {
        const zil::String why = error ? zil::String::fromUTF8(error->message) : zil::String(L"damaged");
        g_clear_error(&error);
        cairo_surface_destroy(surface);
        throw fail(L"damaged: " + why);
    }

    // Cairo keeps premultiplied native-endian ARGB; wxImage wants RGB and a separate alpha.
    wxImage image(size.x, size.y, false);
    image.SetAlpha();
    unsigned char* rgb = image.GetData();
    unsigned char* alpha = image.GetAlpha();
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < size.y; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < size.x; ++x, rgb += 3, ++alpha) {
            const uint32_t pixel = row[x];
            const unsigned a = pixel >> 24;
            *alpha = static_cast<unsigned char>(a);
            const auto straight = [a](unsigned c) {
                return static_cast<unsigned char>(a == 0 ? 0 : std::min(255u, (c * 255 + a / 2) / a));
            };
            rgb[0] = straight((pixel >> 16) & 0xff);
            rgb[1] = straight((pixel >> 8) & 0xff);
            rgb[2] = straight(pixel & 0xff);
        }
    }
    cairo_surface_destroy(surface);
    return image;
}

} // namespace zilui::svg
