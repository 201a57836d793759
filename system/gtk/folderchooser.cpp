// SPDX-License-Identifier: MIT
#include "folderchooser.h"

#include <wx/dirdlg.h>

#include <gtk/gtk.h>

namespace zilui {

void selectFolderInChooser(wxDirDialog& dialog, const wxString& folder)
{
    if (GtkWidget* chooser = dialog.GetHandle())
        gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(chooser), folder.utf8_str());
}

} // namespace zilui
