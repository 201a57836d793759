// SPDX-License-Identifier: MIT
#include "popupsurface.h"

#include <zilui/app/screen.h>

#include <wx/toplevel.h>
#include <wx/window.h>

#include <gtk/gtk.h>

namespace zilui::gtk {

void makePopupSurface(wxTopLevelWindow& window)
{
    // wxTopLevelWindow::Create keeps a widget made beforehand and takes no reference of its
    // own to it then, but drops one when the window is destroyed: this reference is that one.
    window.m_widget = gtk_window_new(GTK_WINDOW_POPUP);
    g_object_ref(window.m_widget);
}

void syncPopupSize(wxTopLevelWindow& window)
{
    if (!GTK_IS_WINDOW(window.m_widget))
        return;
    const wxSize size = window.GetSize();
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(window.m_widget), &width, &height);
    if (width != size.x || height != size.y)
        gtk_window_resize(GTK_WINDOW(window.m_widget), size.x, size.y);
}

void letPointerThrough(wxWindow& window)
{
    if (!window.m_widget)
        return;
    cairo_region_t* none = cairo_region_create();
    gtk_widget_input_shape_combine_region(window.m_widget, none);
    cairo_region_destroy(none);
}

bool isMapped(const wxWindow& window)
{
    if (!window.m_widget || !gtk_widget_get_mapped(window.m_widget))
        return false;
    // GTK maps a top-level window's children before the window itself, and an X server
    // maps it only when it says so (a map event): a popup shown earlier would find no parent
    // on Wayland and lie under the window on X11.
    GdkWindow* top = gtk_widget_get_window(gtk_widget_get_toplevel(window.m_widget));
    return top && gdk_window_is_visible(top);
}

bool canPlacePopupOver(const wxWindow* parent)
{
    if (isX11Display())
        return true;
    const wxWindow* top = parent ? wxGetTopLevelParent(const_cast<wxWindow*>(parent)) : nullptr;
    return top && isMapped(*top);
}

namespace {

void onMappingChanged(GtkWidget*, gpointer data)
{
    (*static_cast<std::function<void()>*>(data))();
}

gboolean onMapEvent(GtkWidget* widget, GdkEvent*, gpointer data)
{
    onMappingChanged(widget, data);
    return FALSE;
}

} // namespace

CMappingWatch::CMappingWatch(wxWindow& window, std::function<void()> changed) : m_changed(std::move(changed))
{
    if (!window.m_widget)
        return;
    m_widget = g_object_ref(window.m_widget);
    // After GTK's own handlers, so that the widget's new state can be read.
    m_mapHandler = g_signal_connect_after(window.m_widget, "map", G_CALLBACK(onMappingChanged), &m_changed);
    m_unmapHandler = g_signal_connect_after(window.m_widget, "unmap", G_CALLBACK(onMappingChanged), &m_changed);
    m_mapEventHandler = g_signal_connect_after(window.m_widget, "map-event", G_CALLBACK(onMapEvent), &m_changed);
}

CMappingWatch::~CMappingWatch()
{
    if (!m_widget)
        return;
    g_signal_handler_disconnect(m_widget, m_mapHandler);
    g_signal_handler_disconnect(m_widget, m_unmapHandler);
    g_signal_handler_disconnect(m_widget, m_mapEventHandler);
    g_object_unref(m_widget);
}

bool readyToDraw(const wxWindow& window)
{
    GtkWidget* widget = window.m_wxwindow ? window.m_wxwindow : window.m_widget;
    if (!widget)
        return false;
    // A size change waits for GTK's next layout phase, and GTK refuses to draw a widget
    // before its allocation: the layout is done now, as that phase would do it.
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    if (GTK_IS_CONTAINER(top))
        gtk_container_check_resize(GTK_CONTAINER(top));
    // wxWidgets has the top-level's new size already, GTK its old allocation until the
    // display server answers.
    const wxWindow* topWindow = wxGetTopLevelParent(const_cast<wxWindow*>(&window));
    if (topWindow && topWindow->m_wxwindow) {
        const wxSize client = topWindow->GetClientSize();
        if (client.x != gtk_widget_get_allocated_width(topWindow->m_wxwindow) ||
            client.y != gtk_widget_get_allocated_height(topWindow->m_wxwindow))
            return false;
    }
    return true;
}


} // namespace zilui::gtk
