// SPDX-License-Identifier: MIT
#include "nativeradio.h"

#include <wx/radiobut.h>

#include <gtk/gtk.h>

namespace zilui {

// GTK keeps one member of a radio group active. A hidden member takes the selection and then
// leaves the group by being destroyed, which activates no other member. The button going
// inactive is no selection, so wxWidgets sends no event for it.
void clearNativeRadioSelection(wxRadioButton& button)
{
    GtkWidget* widget = button.GetHandle();
    if (!widget || !GTK_IS_RADIO_BUTTON(widget) || !gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)))
        return;
    GtkWidget* placeholder = gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(widget));
    g_object_ref_sink(placeholder);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(placeholder), TRUE);
    gtk_widget_destroy(placeholder);
    g_object_unref(placeholder);
}

} // namespace zilui
