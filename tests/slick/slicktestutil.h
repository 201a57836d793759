// SPDX-License-Identifier: MIT
// Painting skinned controls into bitmaps and reading the pixels back.
#pragma once

#include "support/guitest.h"

#include <zilui/slick/controls.h>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/panel.h>

#include <cstdlib>
#include <cstring>

namespace zilui::test {

// A panel in the shared frame for the controls of one test; they go with it.
struct CTestPanel {
    CTestPanel() : panel(new wxPanel(&sharedFrame(), wxID_ANY, wxPoint(0, 0), wxSize(400, 300)))
    {
        processPendingEvents();
    }
    ~CTestPanel()
    {
        panel->Destroy();
        processPendingEvents();
    }
    wxPanel* panel;
};

// A button skin without border whose states have these background colours.
inline zil::P<CSlickButtonSkin> buttonSkin(const wxColour& normal = *wxWHITE, wxColour hover = wxNullColour,
                                           wxColour disabled = wxNullColour)
{
    zil::P<CSlickButtonSkin> skin(new CSlickButtonSkin());
    skin->setBorderType(CSlickButtonSkin::BorderNone);
    skin->getStateSkin(CSlickButton::Normal).setBackgroundColor(normal);
    skin->getStateSkin(CSlickButton::Hover).setBackgroundColor(hover.IsOk() ? hover : normal);
    skin->getStateSkin(CSlickButton::Disabled).setBackgroundColor(disabled.IsOk() ? disabled : normal);
    return skin;
}

inline wxImage solidImage(int width, int height, const wxColour& colour, unsigned char alpha = 255)
{
    wxImage image(width, height);
    image.SetRGB(wxRect(0, 0, width, height), colour.Red(), colour.Green(), colour.Blue());
    image.InitAlpha();
    std::memset(image.GetAlpha(), alpha, size_t(width) * height);
    return image;
}

// Paints the control as its paint handler would, onto `fill`, and returns the pixels.
template <class Control> wxImage paintToImage(Control& control, const wxColour& fill = *wxWHITE)
{
    const wxSize size = control.GetClientSize();
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
    for (int y = rect.y; y <= rect.GetBottom(); ++y)
        for (int x = rect.x; x <= rect.GetRight(); ++x)
            count += isNear(pixelAt(image, x, y), colour, tolerance);
    return count;
}

} // namespace zilui::test
