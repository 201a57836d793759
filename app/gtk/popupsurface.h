// SPDX-License-Identifier: MIT
// Windows that lie over another one (overlays, popup menus, drag images) as the display server
// places them: popup surfaces with a transient parent, positioned relative to that parent on
// X11 and on Wayland alike. No GTK type here.
#pragma once

#include <functional>

class wxTopLevelWindow;
class wxWindow;

namespace zilui::gtk {

// To be called before window.Create(): the native window becomes a GTK popup instead of a
// managed top-level window. Its transient parent (given by wxFRAME_FLOAT_ON_PARENT) places
// it: an override-redirect window at screen coordinates on X11, a sub-surface of the parent
// at the parent's coordinates on Wayland, where no client may place a top-level window.
void makePopupSurface(wxTopLevelWindow& window);

// Pointer events over `window` go to the windows beneath it, of this program or others.
void letPointerThrough(wxWindow& window);

// Whether `window` is on the display now: its native widget and thereby every ancestor are
// mapped, and the display server has mapped its top-level window.
bool isMapped(const wxWindow& window);

// Whether a popup whose parent is `parent` (may be null) can be shown where it belongs. On
// Wayland a popup surface needs a mapped parent: GDK would map it as a top-level window
// otherwise, which the compositor places anywhere.
bool canPlacePopupOver(const wxWindow* parent);

// Lays `window`'s top-level window out now, as GTK's next layout phase would, so that it can be
// drawn outside a paint. False while the top-level's new size waits for the display server:
// GTK keeps the old allocation until it comes and refuses to draw (a critical, no pixels).
bool readyToDraw(const wxWindow& window);

// Gives the native popup of `window` the size wxWidgets has for it. wxWidgets resizes the
// native window only when its own idea of the size changes, so a resize that GTK did not carry
// out never comes again: seen about once in twenty runs on X11, a popup following an owner
// whose frame had been resized, hidden and shown kept its earlier size in GTK.
void syncPopupSize(wxTopLevelWindow& window);

// Calls `changed` right after `window`'s native widget is mapped or unmapped (when the window
// or any ancestor is shown or hidden, and when a notebook shows another page), and when the
// display server reports a top-level `window` mapped. The watch ends
// when it is destroyed; it keeps the widget alive until then.
class CMappingWatch {
public:
    CMappingWatch(wxWindow& window, std::function<void()> changed);
    ~CMappingWatch();
    CMappingWatch(const CMappingWatch&) = delete;
    CMappingWatch& operator=(const CMappingWatch&) = delete;

private:
    void* m_widget = nullptr;
    unsigned long m_mapHandler = 0;
    unsigned long m_unmapHandler = 0;
    unsigned long m_mapEventHandler = 0;
    std::function<void()> m_changed;
};

} // namespace zilui::gtk
