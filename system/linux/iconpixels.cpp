// SPDX-License-Identifier: MIT
#include "iconpixels.h"

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/image.h>

#include <algorithm>

namespace zilui::desktop {

namespace {

// Four bytes per pixel in the order `order` names: 0..2 red, green, blue; 3 alpha.
std::string interleave(const PixelView& pixels, const int (&order)[4])
{
    const size_t count = pixels.width > 0 && pixels.height > 0
                             ? static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height)
                             : 0;
    std::string bytes(count * 4, '\0');
    for (size_t i = 0; i < count; ++i) {
        for (int k = 0; k < 4; ++k) {
            const int channel = order[k];
            const unsigned char value =
                channel == 3 ? (pixels.alpha ? pixels.alpha[i] : 255) : pixels.rgb[i * 3 + channel];
            bytes[i * 4 + k] = static_cast<char>(value);
        }
    }
    return bytes;
}

} // namespace

std::string toNetworkArgb32(const PixelView& pixels)
{
    return interleave(pixels, {3, 0, 1, 2});
}

std::string toRgba32(const PixelView& pixels)
{
    return interleave(pixels, {0, 1, 2, 3});
}

int badgeSide(int width, int height)
{
    return std::max(1, std::min(width, height) / 2);
}

void blendOver(MutablePixels base, const PixelView& badge, int x0, int y0)
{
    for (int y = 0; y < badge.height; ++y) {
        for (int x = 0; x < badge.width; ++x) {
            const int tx = x0 + x, ty = y0 + y;
            if (tx < 0 || ty < 0 || tx >= base.width || ty >= base.height)
                continue;
            const size_t from = static_cast<size_t>(y) * badge.width + x;
            const size_t to = static_cast<size_t>(ty) * base.width + tx;
            const double a = badge.alpha ? badge.alpha[from] / 255.0 : 1.0;
            auto blend = [a](unsigned char over, unsigned char under) {
                return static_cast<unsigned char>(over * a + under * (1 - a) + 0.5);
            };
            for (int c = 0; c < 3; ++c)
                base.rgb[to * 3 + c] = blend(badge.rgb[from * 3 + c], base.rgb[to * 3 + c]);
            base.alpha[to] = blend(255, base.alpha[to]);
        }
    }
}

wxImage iconImage(const wxIcon& icon)
{
    if (!icon.IsOk())
        return wxImage();
    wxBitmap bitmap;
    bitmap.CopyFromIcon(icon);
    return bitmap.ConvertToImage();
}

PixelView viewOf(const wxImage& image)
{
    if (!image.IsOk())
        return {};
    return {image.GetWidth(), image.GetHeight(), image.GetData(), image.HasAlpha() ? image.GetAlpha() : nullptr};
}

wxIcon compositeBadge(const wxIcon& base, const wxIcon& overlay)
{
    wxImage image = iconImage(base);
    if (!image.HasAlpha())
        image.InitAlpha();
    const int side = badgeSide(image.GetWidth(), image.GetHeight());
    const wxImage badge = iconImage(overlay).Scale(side, side, wxIMAGE_QUALITY_HIGH);
    blendOver({image.GetWidth(), image.GetHeight(), image.GetData(), image.GetAlpha()}, viewOf(badge),
              image.GetWidth() - side, image.GetHeight() - side);
    wxIcon result;
    result.CopyFromBitmap(wxBitmap(image));
    return result;
}

} // namespace zilui::desktop
