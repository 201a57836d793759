// SPDX-License-Identifier: MIT
#pragma once

class wxSizer;
class wxWindow;

namespace gallery {

// The page that shows the skinned controls: buttons, a link button, check boxes and a radio
// group in the two sample skins drawn by the build into res/skins, a hover group, disabled
// states, and a choice of the factor at which the skins' pictures are looked up.
wxWindow* makeSlickPage(wxWindow* parent);

// A button, a checked check box and a chosen radio button in each sample skin, one skin under
// the other.
wxSizer* makeSkinSamples(wxWindow* parent);

} // namespace gallery
