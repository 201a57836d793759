// SPDX-License-Identifier: MIT
// Painting skinned controls into bitmaps and reading the pixels back.
#pragma once

#include "support/guitest.h"

#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/colour.h>
#include <wx/dcmemory.h>
#include <wx/image.h>

#include <cstdlib>

namespace zilui::test {

// A panel in the shared frame for the controls of one test; they go with it.
struct CTestPanel {
    CTestPanel()
    {
        panel = new wxPanel(&sharedFrame(), wxID_ANY, wxPoint(0, 0), wxSize(400, 300));
        processPendingEvents();
    }
    ~CTestPanel()
    {
        panel->Destroy();
        processPendingEvents();
    }
    wxPanel* panel;
};

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
