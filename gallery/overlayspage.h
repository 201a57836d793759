// SPDX-License-Identifier: MIT
#pragma once

class wxWindow;

namespace gallery {

// The page of skinned surfaces: an overlay with a see-through skin that floats over a panel
// and follows it, a non-overlay holding child controls, and buttons that open the skinned
// popup menu sliding in from each side and hiding when the pointer leaves it.
wxWindow* makeOverlaysPage(wxWindow* parent);

} // namespace gallery
