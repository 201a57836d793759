// SPDX-License-Identifier: MIT
#include <zilui/system/folderselector.h>

#include "gtk/folderchooser.h"

#include <zilui/app/eventconnection.h>
#include <zilui/app/language.h>
#include <zilui/app/logging.h>
#include <zilui/app/strings.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/dirdlg.h>
#include <wx/dirctrl.h>
#include <wx/sizer.h>

#include <unistd.h>

namespace zilui {

CFolderSelector::CFolderSelector(const zil::String& title, const zil::Path& folder, bool expandPreSelected)
    : m_title(title), m_folder(folder), m_expandPreSelected(expandPreSelected)
{
}

namespace {

// What wxGenericDirDialog is, which wxWidgets' GTK build leaves out: a folder tree with OK and
// Cancel. SetPath/GetPath go to the tree, so the modal hook can answer it like the GTK one.
class CGenericFolderDialog : public wxDirDialogBase {
public:
    CGenericFolderDialog(wxWindow* parent, const wxString& title, const wxString& path, bool expand)
        : wxDirDialogBase(parent, title, path, wxDD_DEFAULT_STYLE)
    {
        m_tree = new wxGenericDirCtrl(this, wxID_ANY, path, wxDefaultPosition, FromDIP(wxSize(360, 420)),
                                      wxDIRCTRL_DIR_ONLY | wxDIRCTRL_3D_INTERNAL);
        // Expanded, the pre-selected folder shows its sub-folders; otherwise only its row.
        const wxTreeItemId selected = m_tree->GetTreeCtrl()->GetSelection();
        if (!path.empty() && selected.IsOk()) {
            if (expand)
                m_tree->GetTreeCtrl()->Expand(selected);
            else
                m_tree->GetTreeCtrl()->Collapse(selected);
        }
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(m_tree, wxSizerFlags(1).Expand().Border());
        sizer->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), wxSizerFlags().Expand().Border());
        SetSizerAndFit(sizer);
    }
    void SetPath(const wxString& path) override { m_tree->SetPath(path); }
    wxString GetPath() const override { return m_tree->GetPath(); }

private:
    wxGenericDirCtrl* m_tree;
};

// The folder to pre-select, or empty: a missing or unreadable folder is only warned about,
// the dialog opens anyway.
wxString getPreSelection(const zil::Path& folder)
{
    if (folder.isEmpty())
        return wxString();
    if (!zil::pathExists(folder)) {
        zil::logWarning(
            L"CFolderSelector: The pre-selected folder does not exist. Not pre-selecting anything.",
            L"path: " + folder.str());
        return wxString();
    }
    if (!zil::folderExists(folder) || ::access(folder.toAPIPath().c_str(), R_OK | X_OK) != 0) {
        zil::logWarning(
            L"CFolderSelector: The pre-selected folder cannot be opened. Not pre-selecting anything.",
            L"path: " + folder.str());
        return wxString();
    }
    return toWX(folder.str());
}

} // namespace

bool CFolderSelector::doModal(wxWindow* parent)
{
    const wxString title = m_title.isEmpty() ? wxString(wxDirSelectorPromptStr) : toWX(m_title);
    const wxString preSelection = getPreSelection(m_folder);
    const long style = wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST;

    wxString chosen;
    wxDirDialog dialog;
    if (dialog.Create(parent, title, m_expandPreSelected ? preSelection : wxString(), style)) {
        if (!preSelection.empty() && !m_expandPreSelected)
            selectFolderInChooser(dialog, preSelection);
        if (showModal(&dialog) != wxID_OK)
            return false;
        chosen = dialog.GetPath();
        // OK that brings no local path (GTK names no file) has nothing to return.
        if (chosen.empty()) {
            zil::CError e(ZILUI_TR("The chosen location is not a folder on this computer."),
                          L"CFolderSelector::doModal");
            e.setProp(L"func", L"wxDirDialog::GetPath");
            e.setProp(L"action", L"CFolderSelector::doModal");
            zil::logError(
                e, L"Error retrieving result path from the folder chooser. Showing error message box.");
            messageBox(e.getMessage(), ZILUI_TR("Error"), wxOK | wxICON_ERROR, parent);
            return false;
        }
    } else {
        zil::logError(
            L"Error creating the GTK folder chooser in folder selector. Falling back to the generic "
            L"folder dialog.");
        CGenericFolderDialog fallback(parent, title, preSelection, m_expandPreSelected);
        if (showModal(&fallback) != wxID_OK)
            return false;
        chosen = fallback.GetPath();
        if (chosen.empty()) {
            zil::logError(L"Unable to retrieve path from the generic folder dialog. Treating like 'Cancel'.");
            return false;
        }
    }
    m_folder = toPath(chosen);
    return true;
}

} // namespace zilui
