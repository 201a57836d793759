// SPDX-License-Identifier: MIT
#include <zilui/app/screen.h>

#include <gtk/gtk.h>

#include <cstring>

namespace zilui {

wxImage readScreen(const wxRect& rect)
{
    if (rect.IsEmpty())
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

} // namespace zilui
