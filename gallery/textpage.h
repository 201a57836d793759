// SPDX-License-Identifier: MIT
#pragma once

class wxWindow;

namespace zil {
class String;
}

namespace gallery {

// The page that shows text and gradients: styled multi-line labels in a box that follows the
// window's size, a gradient panel with an image overlay and text overlays, and a picture that
// the user drags with the mouse as a drag image.
wxWindow* makeTextPage(wxWindow* parent);

// A title line over a description that wraps at the panel's width, as on the page.
wxWindow* makeStyledParagraph(wxWindow* parent, const zil::String& text);

} // namespace gallery
