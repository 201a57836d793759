// SPDX-License-Identifier: MIT
#include <zilui/system/folderselector.h>

#include <zilui/app/eventconnection.h>
#include <zilui/app/strings.h>

#include <zil/log.h>

#include <wx/dirdlg.h>
#include <wx/dirctrl.h>
#include <wx/sizer.h>

#include <unistd.h>

namespace zilui {

// Both dialogs always open the pre-selected folder itself, so there is nothing to choose.
CFolderSelector::CFolderSelector(const zil::String& title, const zil::Path& folder, bool /*expandPreSelected*/)
    : m_title(title), m_folder(folder)
{
}

namespace {

// What wxGenericDirDialog is, which wxWidgets' GTK build leaves out: a folder tree with OK and
// Cancel. SetPath/GetPath go to the tree, so the modal hook can answer it like the GTK one.
class CGenericFolderDialog : public wxDirDialogBase {
public:
    CGenericFolderDialog(wxWindow* parent, const wxString& title, const wxString& path)
        : wxDirDialogBase(parent, title, path, wxDD_DEFAULT_STYLE)
    {
        m_tree = new wxGenericDirCtrl(this, wxID_ANY, path, wxDefaultPosition, FromDIP(wxSize(360, 420)),
                                      wxDIRCTRL_DIR_ONLY | wxDIRCTRL_3D_INTERNAL);
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

// The folder to open the dialog in, or empty: a missing or unreadable folder is only warned
// about, the dialog opens anyway.
wxString getPreSelection(const zil::Path& folder)
{
    if (folder.isEmpty())
        return wxString();
    if (!zil::pathExists(folder)) {
        zil::logWarning(L"CFolderSelector: Error getting IShellItem for pre-selected folder. Not pre-selecting "
                        L"anything.",
                        L"path: " + folder.str());
        return wxString();
    }
    if (!zil::folderExists(folder) || ::access(folder.toAPIPath().c_str(), R_OK | X_OK) != 0) {
        zil::logWarning(L"CFolderSelector: Error pre-selecting folder. Not pre-selecting anything.",
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
    if (dialog.Create(parent, title, preSelection, style)) {
        if (showModal(&dialog) != wxID_OK)
            return false;
        chosen = dialog.GetPath();
    } else {
        zil::logError(L"Error displaying IFileOpenDialog in folder selector. Falling back to SHBrowseForFolder.");
        CGenericFolderDialog fallback(parent, title, preSelection);
        if (showModal(&fallback) != wxID_OK)
            return false;
        chosen = fallback.GetPath();
    }
    if (chosen.empty()) {
        zil::logError(L"Unable to retrieve path from result item ID list. Treating like 'Cancel'.");
        return false;
    }
    m_folder = toPath(chosen);
    return true;
}

} // namespace zilui
