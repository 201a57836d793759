// SPDX-License-Identifier: MIT
// The only place where skinned native controls touch GTK: their widget's own drawing is
// replaced by ours.
#pragma once

class wxDC;
class wxWindow;

namespace zilui::gtk {

// Gets a DC in the window's client coordinates, already clipped to the widget.
using PaintFunction = void (*)(wxWindow* window, wxDC& dc);

// From now on `window`'s native widget is drawn by `paint` alone: GTK draws neither the
// widget nor its children (label, image). A second call replaces the first.
void connectDrawHook(wxWindow* window, PaintFunction paint);
// Gives the drawing back to GTK; to be called before `window` starts to be destroyed. A
// window without a native widget is left alone.
void disconnectDrawHook(wxWindow* window);

} // namespace zilui::gtk
