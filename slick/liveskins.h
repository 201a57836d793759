// SPDX-License-Identifier: MIT
#pragma once

#include <zil/string.h>

#include <functional>

namespace zilui::live {

// Called by the skin reader for every picture title a skin names, so that a skin link loading
// it learns which files to follow; does nothing outside a link's load.
void notePicture(const zil::String& title, double factor);

} // namespace zilui::live

namespace zilui {

// The desktop's preference for dark windows, followed without blocking the GUI thread: the
// first call reads what is at hand at once and starts asking the rest (the desktop portal)
// in the background. `changed` runs on the GUI thread whenever the preference flips, until
// the end of the process; a later call replaces it.
bool followDarkPreference(std::function<void(bool dark)> changed);

} // namespace zilui
