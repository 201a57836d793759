// SPDX-License-Identifier: MIT
#pragma once

class wxWindow;

namespace gallery {

// The page with the system's facts, a go link built from sample settings and "Run as
// administrator...", which starts `id -u` elevated and shows what it printed.
wxWindow* makeSystemPage(wxWindow* parent);

} // namespace gallery
