// SPDX-License-Identifier: MIT
#pragma once

#include <wx/sizer.h>

namespace zilui {

// Lays its items on top of each other, all at its own position: for pages of which one is
// shown at a time. Hidden items count too, so the size does not jump when pages change.
// An item takes its minimum size, or the whole area with wxEXPAND; wxALIGN_CENTER_HORIZONTAL
// and wxALIGN_CENTER_VERTICAL centre it within the area.
class CStackSizer : public wxSizer {
public:
    // The largest minimum size (with borders) of the items in each direction.
    wxSize CalcMin() override;
    void RepositionChildren(const wxSize& minSize) override;
};

} // namespace zilui
