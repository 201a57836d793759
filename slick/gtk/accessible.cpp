// SPDX-License-Identifier: MIT
#include "accessible.h"

#include <wx/window.h>

#include <gtk/gtk.h>

namespace zilui::gtk {

namespace {

AtkObject* accessibleOf(wxWindow* window)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    return widget ? gtk_widget_get_accessible(widget) : nullptr;
}

} // namespace

void setAccessibleName(wxWindow* window, const wxString& name)
{
    if (AtkObject* accessible = accessibleOf(window))
        atk_object_set_name(accessible, name.utf8_str());
}

void setAccessibleRoleLink(wxWindow* window)
{
    if (AtkObject* accessible = accessibleOf(window))
        atk_object_set_role(accessible, ATK_ROLE_LINK);
}

} // namespace zilui::gtk
