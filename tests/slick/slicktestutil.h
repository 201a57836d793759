// SPDX-License-Identifier: MIT
// Painting skinned controls into bitmaps and reading the pixels back.
#pragma once

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/dcmemory.h>
#include <wx/image.h>

#include <cstdlib>

namespace zilui::test {

// Paints the control as its paint handler would, onto `fill`, and returns the pixels.
template <class Control>
wxImage paintToImage(Control& control, const wxColour& fill = *wxWHITE)
{
    wxSize size = control.GetClientSize();
    wxBitmap bitmap(std::max(size.x, 1), std::max(size.y, 1), 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(fill));
        dc.Clear();
        control.paintCurrent(dc);
    }
    return bitmap.ConvertToImage();
}

inline wxColour pixelAt(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

inline bool isNear(const wxColour& a, const wxColour& b, int tolerance = 8)
{
    return std::abs(a.Red() - b.Red()) <= tolerance && std::abs(a.Green() - b.Green()) <= tolerance &&
           std::abs(a.Blue() - b.Blue()) <= tolerance;
}

// Pixels in `rect` within `tolerance` of `colour` on every channel.
inline int countNear(const wxImage& image, const wxRect& rect, const wxColour& colour, int tolerance = 8)
{
    int count = 0;
    for (int y = rect.y; y < rect.GetBottom() + 1; ++y)
        for (int x = rect.x; x < rect.GetRight() + 1; ++x)
            if (isNear(pixelAt(image, x, y), colour, tolerance))
                ++count;
    return count;
}

} // namespace zilui::test
