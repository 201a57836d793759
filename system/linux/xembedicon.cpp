// SPDX-License-Identifier: MIT
#include "xembedicon.h"

#include <wx/bitmap.h>
#include <wx/image.h>

#include <algorithm>

namespace zilui::desktop {

CXEmbedIcon::CXEmbedIcon(std::function<void(TaskBarEvent)> report) : m_report(std::move(report))
{
    const struct {
        wxEventType type;
        TaskBarEvent event;
        bool withRelease;
    } map[] = {
        {wxEVT_TASKBAR_LEFT_DOWN, TaskBarLeftButtonDown, true},
        {wxEVT_TASKBAR_LEFT_DCLICK, TaskBarLeftDoubleClick, false},
        {wxEVT_TASKBAR_RIGHT_DOWN, TaskBarRightButtonDown, true},
        {wxEVT_TASKBAR_RIGHT_DCLICK, TaskBarRightDoubleClick, false},
    };
    for (const auto& m : map) {
        const TaskBarEvent event = m.event;
        const bool withRelease = m.withRelease;
        Bind(wxEventTypeTag<wxTaskBarIconEvent>(m.type), [this, event, withRelease](wxTaskBarIconEvent&) {
            if (m_report)
                m_report(event);
            // The report may have hidden the icon, which clears m_report.
            if (withRelease && m_report)
                m_report(TaskBarEvent(event + 1));
        });
    }
}

void CXEmbedIcon::Deleter::operator()(CXEmbedIcon* icon) const
{
    icon->m_report = nullptr;
    icon->RemoveIcon();
    icon->Destroy();
}

wxIcon trayPicture(const wxIcon& icon)
{
    if (icon.IsOk())
        return icon;
    wxImage clear(16, 16);
    clear.InitAlpha();
    std::fill_n(clear.GetAlpha(), 16 * 16, 0);
    wxIcon picture;
    picture.CopyFromBitmap(wxBitmap(clear));
    return picture;
}

} // namespace zilui::desktop
