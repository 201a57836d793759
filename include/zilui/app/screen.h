// SPDX-License-Identifier: MIT
#pragma once

#include <wx/gdicmn.h>
#include <wx/image.h>

namespace zilui {

// What the display shows now in `rect` (screen coordinates, in the windows' own logical
// pixels), read back from the display server at its physical resolution: on a 200 % screen
// the image has twice the pixels of `rect` each way. wxScreenDC can't serve here: on wxGTK it
// keeps returning the first snapshot it took. An invalid image when nothing can be read (an
// empty rectangle, one outside the screen, no display).
wxImage readScreen(const wxRect& rect);

} // namespace zilui
