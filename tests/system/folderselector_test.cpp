// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"

#include <zilui/app/strings.h>
#include <zilui/system/folderselector.h>

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/dirdlg.h>

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
    EXPECT_NE(log.text().find("Error getting IShellItem for pre-selected folder. Not pre-selecting anything.\npath: " +
                              (folder / L"gone").str().toUTF8()),
              std::string::npos);
}
