// SPDX-License-Identifier: MIT
#pragma once

#include <zil/object.h>

#include <wx/bitmap.h>
#include <wx/cursor.h>
#include <wx/gdicmn.h>
#include <wx/panel.h>
#include <wx/weakref.h>
#include <wx/window.h>

#include <memory>

class wxGenericDragImage;

namespace zilui {

// The picture that follows the mouse while the user drags something inside a window. Points
// are in the client coordinates of the window given to beginDrag. The window captures the
// mouse during the drag, so its owner handles wxEVT_MOUSE_CAPTURE_LOST.
class IDragImage : public virtual zil::IBase {
public:
    // `hotspot`: where in the picture the mouse point sits. `container`: the window the
    // picture may move over.
    virtual void beginDrag(const wxPoint& hotspot, wxWindow* window, wxWindow* container) = 0;
    virtual void move(const wxPoint& point) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void endDrag() = 0;
};

// The toolkit's own drag image, drawn over the screen on X11. Where no program may draw over
// the screen (Wayland), the picture is a popup over the window's top-level window instead,
// which the compositor places relative to it and which lets the pointer through; it shows
// only while that window is on the display.
class CWXDragImage : public zil::CBase, public virtual IDragImage {
public:
    CWXDragImage(const wxBitmap& bitmap, const wxCursor& cursor);
    ~CWXDragImage() override;

    void beginDrag(const wxPoint& hotspot, wxWindow* window, wxWindow* container) override;
    void move(const wxPoint& point) override;
    void show() override;
    void hide() override;
    void endDrag() override;

    // The popup that shows the picture while a drag runs where the screen cannot be drawn on;
    // null on X11 and while no drag runs.
    wxWindow* getPopup() const { return m_popup; }

private:
    std::unique_ptr<wxGenericDragImage> m_dragImage;
    wxBitmap m_bitmap;
    wxCursor m_cursor;
    wxPoint m_hotspot;
    wxWeakRef<wxWindow> m_window;
    wxWeakRef<wxWindow> m_popup;
    wxCursor m_previousCursor;
    bool m_cursorSet = false;
};

// A borderless child panel of the container that is moved with the mouse; unlike drawing over
// the screen, it stays correct over child controls that repaint themselves. Ends a running
// drag when destroyed.
class CWindowDragImage : public zil::CBase, public virtual IDragImage {
public:
    // An invalid cursor leaves the window's cursor as it is.
    CWindowDragImage(const wxBitmap& bitmap, const wxCursor& cursor);
    ~CWindowDragImage() override;

    // Ends any running drag first. Throws zil::CInvalidArgError for a null container.
    void beginDrag(const wxPoint& hotspot, wxWindow* window, wxWindow* container) override;
    void move(const wxPoint& point) override;
    // Also raises the panel above the container's other children.
    void show() override;
    void hide() override;
    void endDrag() override;

    // The moving panel, null while no drag runs.
    wxPanel* getPanel() const { return m_panel; }
    // Origin of the dragging window in the container's client area.
    const wxPoint& getOffset() const { return m_offset; }

private:
    wxBitmap m_bitmap;
    wxCursor m_cursor;
    wxPoint m_hotspot;
    wxPoint m_offset;
    // Weak, so that windows destroyed during a drag are not touched again.
    wxWeakRef<wxWindow> m_window;
    wxCursor m_previousCursor;
    // Whether the drag cursor was set, so that a window without a cursor of its own gets the
    // default back too.
    bool m_cursorSet = false;
    wxWeakRef<wxPanel> m_panel;
};

} // namespace zilui
