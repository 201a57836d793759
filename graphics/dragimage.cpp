// SPDX-License-Identifier: MIT
#include "zilui/graphics/dragimage.h"

#include "../app/gtk/popupsurface.h"

#include <zilui/app/screen.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/dcclient.h>
#include <wx/dragimag.h>
#include <wx/panel.h>
#include <wx/popupwin.h>
#include <wx/statbmp.h>

namespace zilui {

namespace {

// Gives back the pointer the drag captured and the cursor it replaced.
void releaseWindow(wxWeakRef<wxWindow>& weak, bool& cursorSet, const wxCursor& previousCursor)
{
    wxWindow* window = weak;
    if (!window)
        return;
    weak = nullptr;
    if (window->HasCapture())
        window->ReleaseMouse();
    if (cursorSet)
        window->SetCursor(previousCursor);
    cursorSet = false;
}

} // namespace

// ---- CWXDragImage ----

CWXDragImage::CWXDragImage(const wxBitmap& bitmap, const wxCursor& cursor)
    : m_dragImage(new wxDragImage(bitmap, cursor)), m_bitmap(bitmap), m_cursor(cursor)
{
}

CWXDragImage::~CWXDragImage()
{
    // The toolkit's image ends its own drag when deleted; the popup is ours.
    if (m_popup || m_window)
        endDrag();
}

void CWXDragImage::beginDrag(const wxPoint& hotspot, wxWindow* window, wxWindow* container)
{
    if (isX11Display()) {
        m_dragImage->BeginDrag(hotspot, window, container);
        return;
    }
    endDrag();
    if (!window)
        throw zil::CInvalidArgError(L"A dragging window must be specified.", L"CWXDragImage::beginDrag");
    m_hotspot = hotspot;
    auto* popup = new wxPopupWindow(window, wxBORDER_NONE);
    popup->SetBackgroundStyle(wxBG_STYLE_PAINT);
    popup->SetSize(m_bitmap.IsOk() ? m_bitmap.GetLogicalSize() : wxSize(0, 0));
    popup->Bind(wxEVT_PAINT, [popup, bitmap = m_bitmap](wxPaintEvent&) {
        wxPaintDC dc(popup);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        if (bitmap.IsOk())
            dc.DrawBitmap(bitmap, 0, 0, true);
    });
    // The pointer goes on to the windows beneath, which follow the drag.
    gtk::letPointerThrough(*popup);
    m_popup = popup;
    m_window = window;
    // GTK has nothing to grab the pointer with before the window is on the display.
    if (gtk::isMapped(*window))
        window->CaptureMouse();
    m_cursorSet = m_cursor.IsOk();
    m_previousCursor = m_cursorSet ? window->GetCursor() : wxCursor();
    if (m_cursorSet)
        window->SetCursor(m_cursor);
}

void CWXDragImage::move(const wxPoint& point)
{
    if (isX11Display()) {
        m_dragImage->Move(point);
        return;
    }
    if (m_popup && m_window)
        m_popup->Move(m_window->ClientToScreen(point) - m_hotspot);
}

void CWXDragImage::show()
{
    if (isX11Display()) {
        m_dragImage->Show();
        return;
    }
    if (!m_popup)
        return;
    if (!gtk::canPlacePopupOver(m_window)) {
        zil::logWarning(L"The drag image cannot be placed: the dragging window is not on the display. Leaving "
                        L"it hidden.");
        return;
    }
    m_popup->Show();
    m_popup->Raise();
}

void CWXDragImage::hide()
{
    if (isX11Display())
        m_dragImage->Hide();
    else if (m_popup)
        m_popup->Hide();
}

void CWXDragImage::endDrag()
{
    if (isX11Display()) {
        m_dragImage->EndDrag();
        return;
    }
    if (wxWindow* popup = m_popup) {
        m_popup = nullptr;
        popup->Destroy();
    }
    releaseWindow(m_window, m_cursorSet, m_previousCursor);
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
    releaseWindow(m_window, m_cursorSet, m_previousCursor);
}

} // namespace zilui
