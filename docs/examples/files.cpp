// SPDX-License-Identifier: MIT
// docs/files.md
#include <zilui/slick/controls.h>
#include <zilui/system/filesystembrowser.h>
#include <zilui/system/folderselector.h>

#include <zil/filesystem.h>

#include <cstdlib>

zilui::CFileSystemBrowserControl* addBrowser(wxWindow* parent, zilui::CSlickButtonSkin* buttonSkin)
{
    auto* browser = new zilui::CFileSystemBrowserControl(parent, new zilui::CSlickButtonCreator(buttonSkin));
    const zil::CURI home = zil::CURI::fromPath(zil::Path(std::getenv("HOME")));
    // Up stops at the root; the list starts in the home folder.
    browser->init(zil::CLocalFileSystem::get().get(), L"file:///", home);
    return browser;
}

zil::TList<zil::CURI> chosenFiles(zilui::CFileSystemBrowserControl* browser)
{
    zil::TList<zil::CURI> uris;
    browser->getSelectedItemURIs(uris); // the loading and empty rows give nothing
    return uris;
}

bool askForOutputFolder(wxWindow* parent, zil::Path& folder)
{
    zil::P<zilui::CFolderSelector> selector(new zilui::CFolderSelector(L"Choose the output folder", folder));
    if (!selector->doModal(parent))
        return false; // cancelled: `folder` keeps its value
    folder = selector->getFolderPath();
    return true;
}
