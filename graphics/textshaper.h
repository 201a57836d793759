// SPDX-License-Identifier: MIT
#pragma once

#include <wx/dc.h>
#include <wx/font.h>

#include <string_view>
#include <vector>

namespace zilui {

enum class Shaped { Measured, Failed, Unsupported };

// Measures `texts` (none empty, none holding a line break) into `out` as the DC's GetTextExtent
// would with `font`, all in one go: far cheaper per word than a layout per call. Unsupported
// where the DC draws through no toolkit context this can shape on; Failed where a text could
// not be measured this way (the DC's own measurement then decides).
Shaped measureShaped(wxDC& dc, const wxFont& font, const std::vector<std::wstring_view>& texts,
                     std::vector<wxSize>& out);

} // namespace zilui
