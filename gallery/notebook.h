// SPDX-License-Identifier: MIT
#pragma once

class wxNotebook;
class wxWindow;

namespace gallery {

// The gallery's page book: a wxNotebook that a screen reader can have read without GTK
// printing a critical per page when the book goes away.
wxNotebook* makeNotebook(wxWindow* parent);

} // namespace gallery
