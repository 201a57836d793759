// SPDX-License-Identifier: MIT
#pragma once

class wxWindow;

namespace gallery {

// The page about the desktop: an icon in the notification area with a menu, a notification,
// the progress and state of the taskbar entry and a badge on the window's icon.
wxWindow* makeDesktopPage(wxWindow* parent);

} // namespace gallery
