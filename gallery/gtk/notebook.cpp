// SPDX-License-Identifier: MIT
#include "../notebook.h"

#include <wx/notebook.h>

#include <gtk/gtk.h>

namespace gallery {
namespace {

// GTK unlinks a removed page before it tells the notebook's accessible, and the accessible of
// that page, once a screen reader has been given it, asks for its own tab label while it is
// being invalidated: "gtk_notebook_get_tab_label: assertion 'list != NULL' failed", once for
// every page that wxWidgets removes in its destructor. Without tabs the accessible does not ask.
class QuietNotebook : public wxNotebook {
public:
    explicit QuietNotebook(wxWindow* parent) : wxNotebook(parent, wxID_ANY) {}

    ~QuietNotebook() override
    {
        // Runs before wxNotebook's destructor removes the pages.
        if (GtkWidget* widget = GetHandle(); widget && GTK_IS_NOTEBOOK(widget))
            gtk_notebook_set_show_tabs(GTK_NOTEBOOK(widget), FALSE);
    }
};

} // namespace

wxNotebook* makeNotebook(wxWindow* parent)
{
    return new QuietNotebook(parent);
}

} // namespace gallery
