// SPDX-License-Identifier: MIT
#include "zilui/controls/stacksizer.h"

namespace zilui {

wxSize CStackSizer::CalcMin()
{
    wxSize result(0, 0);
    for (wxSizerItem* item : m_children) {
        item->CalcMin();
        result.IncTo(item->GetMinSizeWithBorder());
    }
    return result;
}

void CStackSizer::RepositionChildren(const wxSize&)
{
    for (wxSizerItem* item : m_children) {
        const int flags = item->GetFlag();
        const wxSize size = (flags & wxEXPAND) ? m_size : item->GetMinSizeWithBorder();
        wxPoint pos = m_position;
        if (flags & wxALIGN_CENTER_HORIZONTAL)
            pos.x += (m_size.x - size.x) / 2;
        if (flags & wxALIGN_CENTER_VERTICAL)
            pos.y += (m_size.y - size.y) / 2;
        item->SetDimension(pos, size);
    }
}

} // namespace zilui
