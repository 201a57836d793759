// SPDX-License-Identifier: MIT
#pragma once

// Pixel extents of the words and lines measured so far, per font and kind of DC: prose repeats
// its words, and a label its lines on every repaint, so a text is measured once and looked up
// after that. GUI thread only.

#include "extenttable.h"

#include <wx/dc.h>
#include <wx/font.h>

#include <string_view>
#include <vector>

namespace zilui {

// The table of `dc` with `font`.
CExtentTable& knownTextExtents(wxDC& dc, const wxFont& font);

// The extents of `texts` with `font`, one lookup each: known ones from the table of `dc`, those
// it lacks measured together where the DC allows; wxDefaultSize where a text is left to be
// measured alone (empty, holding a line break, or the DC measures differently).
CExtentTable& lookUpTextExtents(wxDC& dc, const wxFont& font, const std::vector<std::wstring_view>& texts,
                                std::vector<wxSize>& out);

// Forgets every table; texts are measured again on demand.
void forgetTextExtents();

} // namespace zilui
