// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "support/guitest.h"

#include <zilui/app/strings.h>
#include <zilui/system/folderselector.h>

#include <gtest/gtest.h>
#include <wx/dirdlg.h>

using namespace zilui;

// Answered as a user would, with a folder and OK or with Cancel (`chosen` empty).
TEST(FolderSelector, ChoosingCancellingAndPreSelecting)
{
    test::CGlobalLogCapture log;
    zil::test::CTempFolder folder;
    ::mkdir(folder.api(L"old").c_str(), 0755), ::mkdir(folder.api(L"new").c_str(), 0755);
    wxString chosen, shownTitle, shownPath;
    test::CShowModalHook hook([&](ShowModalEvent& event) {
        auto* dialog = dynamic_cast<wxDirDialogBase*>(event.dialog);
        ASSERT_TRUE(dialog);
        shownTitle = dialog->GetMessage(), shownPath = dialog->GetPath();
        dialog->SetPath(chosen);
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
    chosen.clear(), shownTitle.clear();
    selector.setFolderPath(folder / L"gone");
    EXPECT_FALSE(selector.doModal(nullptr));
    EXPECT_EQ(selector.getFolderPath(), folder / L"gone");
    EXPECT_EQ(shownTitle, "Pick the output folder"); // opened all the same
    EXPECT_NE(log.text().find("Error getting IShellItem for pre-selected folder. Not pre-selecting anything.\npath: " +
                              (folder / L"gone").str().toUTF8()),
              std::string::npos);
}
