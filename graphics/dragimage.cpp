// SPDX-License-Identifier: MIT
#include "zilui/graphics/dragimage.h"

#include <zil/error.h>

#include <wx/dragimag.h>
#include <wx/panel.h>
#include <wx/statbmp.h>

namespace zilui {

// ---- CWXDragImage ----

CWXDragImage::CWXDragImage(const wxBitmap& bitmap, const wxCursor& cursor)
    : m_dragImage(new wxDragImage(bitmap, cursor))
{
}

CWXDragImage::~CWXDragImage() = default;

void CWXDragImage::beginDrag(const wxPoint& hotspot, wxWindow* window, wxWindow* container)
{
    m_dragImage->BeginDrag(hotspot, window, container);
}

void CWXDragImage::move(const wxPoint& point)
{
    m_dragImage->Move(point);
}

void CWXDragImage::show()
{
    m_dragImage->Show();
}

void CWXDragImage::hide()
{
    m_dragImage->Hide();
}

void CWXDragImage::endDrag()
{
    m_dragImage->EndDrag();
}

// ---- CWindowDragImage ----

CWindowDragImage::CWindowDragImage(const wxBitmap& bitmap, const wxCursor& cursor)
    : m_bitmap(bitmap), m_cursor(cursor)
{
}

CWindowDragImage::~CWindowDragImage()
{
    endDrag();
}

void CWindowDragImage::beginDrag(const wxPoint& hotspot, wxWindow* window, wxWindow* container)
{
    endDrag();
    if (!container)
        throw zil::CInvalidArgError(L"A containing window cmust be specified.",
                                    L"CWindowDragImage::beginDrag");

    m_hotspot = hotspot;
    auto* panel = new wxPanel(container, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxTAB_TRAVERSAL | wxNO_BORDER, wxPanelNameStr);
    auto* picture = new wxStaticBitmap(panel, wxID_ANY, m_bitmap, wxDefaultPosition, wxDefaultSize, 0);
    if (m_bitmap.IsOk()) {
        panel->SetBackgroundColour(wxColour(255, 255, 255, 255));
        panel->SetSize(m_bitmap.GetSize());
        picture->SetSize(m_bitmap.GetSize());
    } else {
        panel->SetSize(0, 0);
    }
    m_panel = panel;

    m_window = window;
    m_offset = wxPoint(0, 0);
    for (wxWindow* w = window; w && w != container; w = w->GetParent())
        m_offset += w->GetPosition();

    if (window) {
        window->CaptureMouse();
        m_cursorSet = m_cursor.IsOk();
        m_previousCursor = m_cursorSet ? window->GetCursor() : wxCursor();
        if (m_cursorSet)
            window->SetCursor(m_cursor);
    }
}

void CWindowDragImage::move(const wxPoint& point)
{
    if (m_panel)
        m_panel->Move(point - m_hotspot + m_offset);
}

void CWindowDragImage::show()
{
    if (!m_panel)
        return;
    m_panel->Show();
    m_panel->Raise();
}

void CWindowDragImage::hide()
{
    if (m_panel)
        m_panel->Hide();
}

void CWindowDragImage::endDrag()
{
    if (wxPanel* panel = m_panel) {
        m_panel = nullptr;
        panel->Destroy();
    }
    if (wxWindow* window = m_window) {
        m_window = nullptr;
        if (window->HasCapture())
            window->ReleaseMouse();
        if (m_cursorSet)
            window->SetCursor(m_previousCursor);
        m_cursorSet = false;
    }
}

} // namespace zilui
