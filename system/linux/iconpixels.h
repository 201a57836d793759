// SPDX-License-Identifier: MIT
// Icon pictures as the desktop's D-Bus services want their bytes. The converters work on plain
// buffers (wxImage's own layout: packed RGB, alpha separate), so that they are checked without a
// display or a bus; the wx adapters beside them only unpack an icon.
#pragma once

#include <string>

class wxIcon;
class wxImage;

namespace zilui::desktop {

// Packed RGB rows and, when not null, one alpha byte per pixel (null: opaque).
struct PixelView {
    int width = 0;
    int height = 0;
    const unsigned char* rgb = nullptr;
    const unsigned char* alpha = nullptr;
};

// Like PixelView, with the alpha the blend writes to.
struct MutablePixels {
    int width = 0;
    int height = 0;
    unsigned char* rgb = nullptr;
    unsigned char* alpha = nullptr;
};

// A StatusNotifierItem pixmap: ARGB32 in network byte order (A, R, G, B for each pixel).
std::string toNetworkArgb32(const PixelView& pixels);
// A notification's "image-data" rows: R, G, B, A for each pixel, no padding.
std::string toRgba32(const PixelView& pixels);

// The side of the badge on a picture of that size: half its shorter side, at least one pixel.
int badgeSide(int width, int height);
// Blends `badge` by its alpha over `base` with its top-left corner at (x0, y0); parts outside
// `base` are left out. The base becomes as opaque as the badge covers it.
void blendOver(MutablePixels base, const PixelView& badge, int x0, int y0);

// The icon as an image (not valid for an icon that is not), and an image's buffers as a view.
wxImage iconImage(const wxIcon& icon);
PixelView viewOf(const wxImage& image);

// The badge: `overlay` at badgeSide() in the bottom-right corner of `base`, blended by alpha,
// so the icon keeps its own look around it.
wxIcon compositeBadge(const wxIcon& base, const wxIcon& overlay);

} // namespace zilui::desktop
