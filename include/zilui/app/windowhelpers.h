// SPDX-License-Identifier: MIT
#pragma once

#include <zil/margins.h>
#include <zil/string.h>

#include <wx/gdicmn.h>

class wxBitmap;
class wxBoxSizer;
class wxSizer;
class wxSizerItem;
class wxWindow;

namespace zilui {

// Helpers for walking window and sizer trees. GUI thread only.
//
// A sizer's tree is its items in order; an item leads further down through its own sizer or,
// when it holds a window, through that window's own sizer (wxWindow::GetSizer()).

// The window itself when it is top-level, else its nearest top-level ancestor, else its
// outermost ancestor; null for null.
wxWindow* getTopLevelParentWindow(wxWindow* window);

// Gives every wxStaticBox at or below `window` its parent's background colour; null does nothing.
void fixStaticBoxBackgroundColors(wxWindow* window);

// Two valid bitmaps are the same when they share their native data (a copy does, a bitmap
// drawn alike does not); two invalid ones are the same; a valid and an invalid one are not.
bool isSameBitmap(const wxBitmap& a, const wxBitmap& b);

// The item of the window's containing sizer that holds `window`, its position among that
// sizer's items in `*index` (-1 and null when not found). `index` may be null.
wxSizerItem* findSizerItemForWindow(wxWindow* window, int* index = nullptr);

// The sizer in `root`'s tree one of whose items leads directly to `target` (that item in
// `*item`, which is cleared first and may be null); null when `target` is not below `root`.
wxSizer* findParentSizer(wxSizer* root, wxSizer* target, wxSizerItem** item = nullptr);
// The sizer in `root`'s tree that owns `target`: `root` itself for a direct item, null when
// not found.
wxSizer* findParentSizer(wxSizer* root, wxSizerItem* target);
// The item in `root`'s tree that leads directly to `target`, or null.
wxSizerItem* findItemForSizer(wxSizer* root, wxSizer* target);

// Show(show) on every window in the sizer's tree, windows' own sizers included.
void showAllWindowsInSizer(wxSizer* sizer, bool show);

// Hides every window in `sizer`'s tree and removes (deletes) `sizer` from the sizer in
// `root`'s tree that holds it as an item; the windows stay children of their parents.
// Throws zil::CInvalidArgError, before changing anything, when `sizer` is not such an item
// below `root` (a window's own sizer is not). Null `sizer` does nothing.
void removeSizerAndHideWindows(wxSizer* root, wxSizer* sizer);

// Reparent(newParent) on every window item of `sizer` and its sub-sizers; windows' own
// sizers are left alone, their content moves with the window. Throws zil::CInvalidArgError
// for a null `newParent`; null `sizer` does nothing.
void reparentControlsInSizer(wxSizer* sizer, wxWindow* newParent);

// Sets or clears wxRESERVE_SPACE_EVEN_IF_HIDDEN, leaving the item's other flags; null or a
// window outside any sizer does nothing.
void setReserveSpaceIfHiddenFlag(wxSizerItem* item, bool on);
void setReserveSpaceIfHiddenFlag(wxWindow* window, bool on);
void setReserveSpaceIfHiddenFlagForDirectChildren(wxSizer* sizer, bool on);

// Geometry for log texts: "(x,y)", "(width,height)" and "(x,y,width,height)".
zil::String toString(wxPoint p);
zil::String toString(wxSize s);
zil::String toString(wxRect r);

// `content` expanded between spaces of `margins` pixels: a horizontal box holds the left space,
// a vertical box (top space, `content`, bottom space) and the right space. Returns the
// horizontal box, owning the rest; `inner`, when given, receives the vertical one.
wxSizer* wrapInMargins(wxSizer* content, const zil::CMargins& margins, wxBoxSizer** inner = nullptr);

} // namespace zilui
