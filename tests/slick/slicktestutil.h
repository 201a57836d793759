// SPDX-License-Identifier: MIT
// Painting skinned controls into bitmaps and reading the pixels back.
#pragma once

#include "app/apptestutil.h"
#include "graphics/graphicstestutil.h"
#include "support/compositor.h"
#include "support/guitest.h"

#include <zilui/app/screen.h>

#include <zilui/slick/controls.h>

#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include <chrono>
#include <cstdlib>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

// Paints the control as its paint handler would, onto `fill`, and returns the pixels; at
// `scale` 2 the image has twice the pixels each way, as a 200 % screen shows them.
template <class Control> wxImage paintToImage(Control& control, const wxColour& fill = *wxWHITE, double scale = 1)
{
    const wxSize size = control.GetClientSize();
    wxBitmap bitmap;
    bitmap.CreateWithDIPSize(std::max(size.x, 1), std::max(size.y, 1), scale, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(fill));
        dc.Clear();
        control.paintCurrent(dc);
    }
    return bitmap.ConvertToImage();
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

// Pixels off by more than a rounding step.
inline int pixelsOff(const wxImage& shot, const wxImage& expected)
{
    int count = 0;
    for (int y = 0; y < expected.GetHeight(); ++y)
        for (int x = 0; x < expected.GetWidth(); ++x)
            count += !isNear(pixelAt(shot, x, y), pixelAt(expected, x, y), 2);
    return count;
}

// Moves the real pointer to `point` of `window`'s client area.
inline void moveMouseTo(wxWindow* window, const wxPoint& point)
{
    pointerTo(window, point);
}

// A frame of its own, away from other test windows, for tests of real input or the screen.
// Test processes share the display, so it holds a lock per display; the pointer starts in
// its empty corner.
struct CInputFrame {
    CInputFrame()
    {
        const std::string path = inputLockPath();
        lock = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
        if (lock >= 0)
            ::flock(lock, LOCK_EX);
        // The screen's bottom-right corner, in logical pixels also on a 200 % screen.
        const wxSize screen = wxGetDisplaySize();
        frame = new wxFrame(nullptr, wxID_ANY, "input", wxPoint(screen.x - 420, screen.y - 404), wxSize(400, 300));
        panel = new wxPanel(frame);
        frame->Show();
        frame->Raise();
        runLoopUntil([&] { return frame->IsShownOnScreen(); }, 5000);
        moveMouseTo(panel, wxPoint(390, 290));
        processPendingEvents();
    }
    ~CInputFrame()
    {
        frame->Destroy();
        processPendingEvents();
        if (lock >= 0)
            ::close(lock);
    }
    int lock = -1;
    wxFrame* frame;
    wxPanel* panel;
};

// Reads the screen under `rect` of `window`'s client area (all of it by default) until `check`
// accepts it, spaced out so that the timer of runLoopUntil does not starve GTK's redraw.
inline bool screenShows(wxWindow* window, const wxRect& rect, const std::function<bool(const wxImage&)>& check,
                        int timeoutMs = 5000)
{
    auto last = std::chrono::steady_clock::now() - std::chrono::milliseconds(50);
    bool shown = false;
    return runLoopUntil([&] {
        const auto now = std::chrono::steady_clock::now();
        if (!shown && now - last >= std::chrono::milliseconds(50)) {
            last = now;
            const wxImage shot = screenUnder(window, rect);
            shown = shot.IsOk() && check(shot);
        }
        return shown;
    }, timeoutMs);
}

inline bool screenShows(wxWindow* window, const std::function<bool(const wxImage&)>& check, int timeoutMs = 5000)
{
    return screenShows(window, wxRect(window->GetClientSize()), check, timeoutMs);
}

} // namespace zilui::test
