// SPDX-License-Identifier: MIT
#pragma once

#include <wx/gdicmn.h>
#include <wx/image.h>

class wxWindow;

namespace zilui {

// Whether the windows of this program are shown by an X server (GDK's X11 backend), where
// X11-only means such as readScreen() work; false under Wayland.
bool isX11Display();

// What the display shows now in `rect` (screen coordinates, in the windows' own logical
// pixels), read back from the X server at its physical resolution: on a 200 % screen the
// image has twice the pixels of `rect` each way. wxScreenDC can't serve here: on wxGTK it
// keeps returning the first snapshot it took. An invalid image when nothing can be read (an
// empty rectangle, one outside the screen, no display, a Wayland display, which lets no
// client read the screen).
wxImage readScreen(const wxRect& rect);

// `window`'s client area as it looks now, drawn by the toolkit into an image at the window's
// physical resolution, on X11 and on Wayland alike: its own painting, its native children,
// and the shown overlays, popup menus and drag images that belong to it (its top-level
// children that are popups), each where it lies over the client area. Its dialogs and other
// programs' windows never appear; a hidden window or one not yet realised gives an invalid
// image.
wxImage renderWindow(const wxWindow& window);

// Where the pointer is, in screen coordinates (those of ClientToScreen). False when the
// display server does not tell: under Wayland while the pointer is over none of this
// program's windows.
bool getPointerPosition(wxPoint& position);

// Whether the display has a pointer at all. A seat without one (keyboard or touch only) never
// tells a position, which is not the same as a pointer away from this program's windows.
bool hasPointer();

} // namespace zilui
