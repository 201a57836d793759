// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"

#include <zilui/app/strings.h>
#include <zilui/system/folderselector.h>

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/dirdlg.h>
#include <wx/msgdlg.h>

using namespace zilui;

namespace {

// What the chooser shows (`current`) or would return on OK; GTK fills both asynchronously.
wxString chooserFolder(wxDirDialog& dialog, bool current)
{
    auto* chooser = GTK_FILE_CHOOSER(dialog.GetHandle());
    gchar* name = current ? gtk_file_chooser_get_current_folder(chooser) : gtk_file_chooser_get_filename(chooser);
    const wxString result = name ? wxString::FromUTF8(name) : wxString();
    g_free(name);
    return result;
}

// Picks `folder` in the GTK chooser and presses OK the way its response handler does, so
// GetPath() is what GTK reports, not what the test stored.
void acceptInChooser(wxDirDialog& dialog, const wxString& folder)
{
    auto* chooser = GTK_FILE_CHOOSER(dialog.GetHandle());
    gtk_file_chooser_set_current_folder(chooser, folder.utf8_str());
    ASSERT_TRUE(test::runLoopUntil([&] { return chooserFolder(dialog, false) == folder; }, 10000));
    dialog.GTKOnAccept();
}

} // namespace

// Answered as a user would, with a folder and OK or with Cancel (`chosen` empty).
TEST(FolderSelector, ChoosingCancellingAndPreSelecting)
{
    test::CGlobalLogCapture log;
    zil::test::CTempFolder folder;
    ::mkdir(folder.api(L"old").c_str(), 0755), ::mkdir(folder.api(L"new").c_str(), 0755);
    wxString chosen, shownTitle, shownPath, expectedShown = toWX((folder / L"old").str());
    test::CShowModalHook hook([&](ShowModalEvent& event) {
        auto* dialog = dynamic_cast<wxDirDialog*>(event.dialog);
        ASSERT_TRUE(dialog);
        shownTitle = dialog->GetMessage();
        test::runLoopUntil([&] { return chooserFolder(*dialog, true) == expectedShown; }, 5000);
        shownPath = chooserFolder(*dialog, true);
        if (!chosen.empty())
            acceptInChooser(*dialog, chosen);
        event.result = chosen.empty() ? wxID_CANCEL : wxID_OK;
    });
    CFolderSelector selector(L"", folder / L"old");
    EXPECT_FALSE(selector.doModal(&test::sharedFrame()));
    EXPECT_EQ(selector.getFolderPath(), folder / L"old");
    EXPECT_EQ(shownTitle, wxString(wxDirSelectorPromptStr));
    EXPECT_EQ(shownPath, toWX((folder / L"old").str()));
    chosen = toWX((folder / L"new").str());
    selector.setWindowTitle(L"Pick the output folder");
    EXPECT_TRUE(selector.doModal(&test::sharedFrame()));
    EXPECT_EQ(selector.getFolderPath(), folder / L"new");
    EXPECT_EQ(shownTitle, "Pick the output folder");
    chosen.clear(), shownTitle.clear(), expectedShown.clear();
    selector.setFolderPath(folder / L"gone");
    EXPECT_FALSE(selector.doModal(nullptr));
    EXPECT_EQ(selector.getFolderPath(), folder / L"gone");
    EXPECT_EQ(shownTitle, "Pick the output folder"); // opened all the same
    EXPECT_NE(log.text().find("The pre-selected folder does not exist. Not pre-selecting anything.\npath: " +
                              (folder / L"gone").str().toUTF8()),
              std::string::npos);
    // The log speaks of what runs here, not of another platform's dialogs.
    for (const char* foreign : {"IShellItem", "IFileOpenDialog", "SHBrowseForFolder", "item ID list"})
        EXPECT_EQ(log.text().find(foreign), std::string::npos) << foreign;
}

// Not expanded, the chooser shows the parent with the folder selected; expanded, the folder's
// own contents. OK at once chooses the pre-selected folder both ways.
TEST(FolderSelector, ExpandingThePreSelectedFolderOrOnlySelectingIt)
{
    zil::test::CTempFolder folder;
    ::mkdir(folder.api(L"pick").c_str(), 0755);
    const wxString pick = toWX((folder / L"pick").str());
    wxString shownFolder, selected;
    test::CShowModalHook hook([&](ShowModalEvent& event) {
        auto* dialog = dynamic_cast<wxDirDialog*>(event.dialog);
        ASSERT_TRUE(dialog);
        const bool ready = test::runLoopUntil([&] { return chooserFolder(*dialog, false) == pick; }, 5000);
        shownFolder = chooserFolder(*dialog, true);
        selected = chooserFolder(*dialog, false);
        // Accepting a chooser that reports no folder would trip wxWidgets' own assertion.
        if (ready)
            dialog->GTKOnAccept();
        event.result = ready ? wxID_OK : wxID_CANCEL;
    });
    const struct {
        bool expand;
        wxString shown;
    } cases[] = {{true, pick}, {false, toWX(folder.path().str())}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expand);
        CFolderSelector selector(L"", folder / L"pick", c.expand);
        EXPECT_TRUE(selector.doModal(&test::sharedFrame()));
        EXPECT_EQ(shownFolder, c.shown);
        EXPECT_EQ(selected, pick);
        EXPECT_EQ(selector.getFolderPath(), folder / L"pick");
    }
}

// OK that brings no path (GTK gives none for a place without a local path): the user is
// told, nothing is chosen. The hook answers OK without accepting a folder in the chooser,
// which leaves the dialog's path empty as such a place does.
TEST(FolderSelector, OkWithoutAPathShowsAnErrorBox)
{
    test::CGlobalLogCapture log;
    wxString boxTitle, boxText;
    long boxStyle = 0;
    int dirDialogs = 0;
    test::CShowModalHook hook([&](ShowModalEvent& event) {
        if (auto* box = dynamic_cast<wxMessageDialog*>(event.dialog)) {
            boxTitle = box->GetTitle(), boxText = box->GetMessage(), boxStyle = box->GetMessageDialogStyle();
            event.result = wxID_OK;
            return;
        }
        ASSERT_TRUE(dynamic_cast<wxDirDialog*>(event.dialog));
        ++dirDialogs;
        event.result = wxID_OK;
    });
    CFolderSelector selector(L"");
    EXPECT_FALSE(selector.doModal(&test::sharedFrame()));
    EXPECT_EQ(dirDialogs, 1);
    EXPECT_TRUE(selector.getFolderPath().isEmpty());
    EXPECT_EQ(boxTitle, "Error");
    EXPECT_EQ(boxText, "The chosen location is not a folder on this computer.");
    EXPECT_TRUE(boxStyle & wxICON_ERROR);
    EXPECT_NE(
        log.text().find("Error retrieving result path from the folder chooser. Showing error message box."),
        std::string::npos);
}
