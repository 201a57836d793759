// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class wxSize;
class wxWindow;

namespace gallery {

// The page of skinned surfaces: an overlay with a see-through skin that floats over a panel
// and follows it, a non-overlay holding child controls, and buttons that open the skinned
// popup menu sliding in from each side and hiding when the pointer leaves it.
// `openMenu`, when given, is set to show the menu open under its first button.
wxWindow* makeOverlaysPage(wxWindow* parent, std::function<void()>* openMenu = nullptr);

// A gradient panel of `size` with an overlay over it, inside the notebook page `page`.
wxWindow* makeOverlaySample(wxWindow* parent, wxWindow* page, const wxSize& size);

} // namespace gallery
