// SPDX-License-Identifier: MIT
// Real input and the screen's picture on either display server: XTest and the X server's
// read-back on X11; on a Wayland compositor (sway, as scripts/test.sh starts it) a virtual
// pointer and keyboard that live for the whole run (tests/wayland/vinput.c) and grim for
// pictures. A Wayland
// client cannot place its windows nor learn where they are, so positions come from sway.
#pragma once

#include <wx/gdicmn.h>
#include <wx/image.h>

#include <optional>
#include <string>

class wxWindow;

namespace zilui::test {

// GDK draws on a Wayland compositor, not on an X server.
bool onWayland();

// Why tests cannot drive real input or read the screen here (what is missing), or empty.
// Under Wayland the first call starts the input tool.
std::string screenInputMissing();

// Where the compositor shows `point` of `window`'s client area, in its layout's logical
// pixels; nullopt while the compositor does not list the window's top-level.
std::optional<wxPoint> compositorPoint(const wxWindow* window, const wxPoint& point = wxPoint(0, 0));

// What the compositor shows in `rect` (layout coordinates), from grim, at the output's
// scale; invalid when it cannot be had.
wxImage compositorPicture(const wxRect& rect);

// Real pointer and keys, through XTest or through the compositor. Each returns false when the
// input could not be delivered (no pointer tool, window not mapped).
bool pointerTo(const wxWindow* window, const wxPoint& point);
// `point` on the whole screen: the X screen's, or the compositor's layout, where other
// programs' surfaces (a panel) lie.
bool pointerToScreen(const wxPoint& point);
// Puts the real pointer in the screen's corner farthest from `window`, out of the pictures of
// it: a compositor draws the pointer into the pictures it gives, and a test before may have left
// it anywhere. False when the window's place or the pointer could not be had.
bool pointerAwayFrom(const wxWindow* window);
// `button`: wxMOUSE_BTN_LEFT or wxMOUSE_BTN_RIGHT.
bool pointerClick(int button = wxMOUSE_BTN_LEFT);
bool pointerDoubleClick();
bool typeKey(int keyCode);

// The lock file that test processes sharing one display (X server or compositor) take
// around real input.
std::string inputLockPath();

// What the screen shows under `window`'s client area, from the X server or the compositor.
wxImage screenUnder(const wxWindow* window);
// The same for `rect` in `window`'s client coordinates, which may reach past the window: where
// its popups lie beside it.
wxImage screenUnder(const wxWindow* window, const wxRect& rect);

} // namespace zilui::test

// For a test of real input or of the screen: skips it, saying what is missing, where neither
// the X server nor a reachable compositor can serve.
#define ZILUI_REQUIRE_SCREEN_INPUT()                                                                                   \
    do {                                                                                                               \
        const std::string missing_ = ::zilui::test::screenInputMissing();                                              \
        if (!missing_.empty())                                                                                         \
            GTEST_SKIP() << missing_;                                                                                  \
    } while (false)

// For a test whose means exist on X11 only.
#define ZILUI_REQUIRE_X11(why)                                                                                         \
    do {                                                                                                               \
        if (::zilui::test::onWayland())                                                                                \
            GTEST_SKIP() << "X11 only: " << why;                                                                       \
    } while (false)
