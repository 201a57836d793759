// SPDX-License-Identifier: MIT
// The only place where skinned native controls touch GTK: their widget's own drawing is
// replaced by ours.
#pragma once

#include <wx/gdicmn.h>

class wxDC;
class wxWindow;

namespace zilui::gtk {

// Gets a DC in the window's client coordinates, already clipped to the widget.
using PaintFunction = void (*)(wxWindow* window, wxDC& dc);

// From now on `window`'s native widget is drawn by `paint` alone: GTK draws neither the
// widget nor its children (label, image), and the theme's padding, borders and indicators no
// longer count towards its minimum size. A second call replaces the first.
// `styleChanged` runs whenever GTK has restyled the widget (its minimum size may have changed:
// GTK applies styles at its next frame, after the window has been sized).
using StyleFunction = void (*)(wxWindow* window);
void connectDrawHook(wxWindow* window, PaintFunction paint, StyleFunction styleChanged);
// Gives the drawing back to GTK; to be called before `window` starts to be destroyed. A
// window without a native widget is left alone.
void disconnectDrawHook(wxWindow* window);

// Paints `window`'s client area through `paint` into a memory bitmap at the screen's scale and
// puts it on `dc`, the window's paint DC, pixel for pixel. For right-to-left windows: their
// paint DC mirrors positions, and then places pictures and borders wrongly at 200 %; the
// bitmap, which the layout mirrors itself, goes to the screen with that mirroring undone.
// False, having painted nothing, when `dc` gives no cairo context or the area is too large
// for one picture.
bool paintThroughBitmap(wxWindow* window, wxDC& dc, PaintFunction paint);

// The smallest size GTK accepts for `window`'s native widget (logical pixels); an allocation
// below it makes GTK print criticals. (0, 0) without a native widget.
wxSize getNativeMinSize(wxWindow* window);

} // namespace zilui::gtk
