// SPDX-License-Identifier: MIT
#include "filespage.h"

#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/slick/controls.h>
#include <zilui/slick/skin.h>
#include <zilui/system/filesystembrowser.h>
#include <zilui/system/folderselector.h>

#include <zil/filesystem.h>
#include <zil/log.h>

#include <wx/busyinfo.h>
#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <vector>
#include <unistd.h>

namespace gallery {

namespace {

using zilui::toWX;

zil::Path homeFolder()
{
    const char* home = std::getenv("HOME");
    return zil::Path(home && *home ? std::string(home) : std::string("/"));
}

// Lists the browser's selection in `text` whenever the rows or the folder change.
class CSelectionListener : public zilui::CFileSystemBrowserControl::IListener {
public:
    explicit CSelectionListener(wxTextCtrl* text) : m_text(text) {}
    void onContentsChanged(zilui::CFileSystemBrowserControl* control) override { show(control); }
    void onActiveFolderChanged(zilui::CFileSystemBrowserControl* control) override { show(control); }
    void show(zilui::CFileSystemBrowserControl* control)
    {
        zil::TList<zil::CURI> uris;
        control->getSelectedItemURIs(uris);
        wxString text;
        for (const zil::CURI& uri : uris)
            text << toWX(uri.toString()) << "\n";
        m_text->ChangeValue(text);
    }

private:
    wxTextCtrl* m_text;
};

// A folder in /tmp with `count` empty files; empty on failure.
zil::Path makeManyFiles(int count)
{
    std::string pattern = "/tmp/zilui-gallery-files-XXXXXX";
    if (!::mkdtemp(&pattern[0]))
        return zil::Path();
    for (int i = 0; i < count; ++i) {
        const std::string file = pattern + "/file" + std::to_string(i) + ".txt";
        const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0)
            return zil::Path();
        ::close(fd);
    }
    return zil::Path(pattern);
}

// GUI thread only.
std::vector<wxWeakRef<zilui::CFileSystemBrowserControl>>& smallBrowsers()
{
    static std::vector<wxWeakRef<zilui::CFileSystemBrowserControl>> browsers;
    return browsers;
}

zilui::CFileSystemBrowserControl* makeBrowser(wxWindow* parent, const wxSize& size)
{
    zil::P<zilui::CSlickButtonSkin> skin(new zilui::CSlickButtonSkin());
    skin->loadResource(zil::Path(L"skins/glossy/button.ini"), -1.0);
    auto* browser = new zilui::CFileSystemBrowserControl();
    browser->setButtonCreator(new zilui::CSlickButtonCreator(skin.get()));
    browser->Create(parent, wxID_ANY, wxDefaultPosition, size);
    return browser;
}

} // namespace

wxWindow* makeSmallBrowser(wxWindow* parent, const zil::Path& folder, const wxSize& size)
{
    zilui::CFileSystemBrowserControl* browser = makeBrowser(parent, size);
    browser->init(zil::CLocalFileSystem::get().get(), zil::CURI::fromPath(zil::Path(L"/")), zil::CURI::fromPath(folder));
    smallBrowsers().emplace_back(browser);
    return browser;
}

bool smallBrowsersListed()
{
    return std::all_of(smallBrowsers().begin(), smallBrowsers().end(),
                       [](const auto& browser) { return !browser || browser->getList()->GetItemCount() > 1; });
}

wxWindow* makeFilesPage(wxWindow* parent)
{
    auto* page = new wxPanel(parent);
    zilui::CFileSystemBrowserControl* browser = makeBrowser(page, page->FromDIP(wxSize(560, 300)));

    auto* selection = new wxTextCtrl(page, wxID_ANY, wxString(), wxDefaultPosition, page->FromDIP(wxSize(-1, 70)),
                                     wxTE_MULTILINE | wxTE_READONLY);
    auto* listener = new CSelectionListener(selection);
    browser->setListenerWeak(listener);
    browser->getList()->Bind(wxEVT_LIST_ITEM_SELECTED, [=](wxListEvent&) { listener->show(browser); });
    browser->getList()->Bind(wxEVT_LIST_ITEM_DESELECTED, [=](wxListEvent&) { listener->show(browser); });
    page->Bind(wxEVT_DESTROY, [=](wxWindowDestroyEvent& event) {
        event.Skip();
        if (event.GetEventObject() == page) {
            browser->setListenerWeak(nullptr);
            delete listener;
        }
    });
    const zil::CURI home = zil::CURI::fromPath(homeFolder());
    browser->init(zil::CLocalFileSystem::get().get(), zil::CURI::fromPath(zil::Path(L"/")), home);

    auto* chosen = new wxStaticText(page, wxID_ANY, wxString());
    auto* choose = new wxButton(page, wxID_ANY, toWX(ZILUI_TR("Choose folder...")));
    choose->Bind(wxEVT_BUTTON, [=](wxCommandEvent&) {
        zil::P<zilui::CFolderSelector> selector(
            new zilui::CFolderSelector(ZILUI_TR("Choose a folder to browse"), browser->getActiveFolder().isLocal()
                                                                                   ? browser->getActiveFolder().getLocalPath()
                                                                                   : homeFolder()));
        if (selector->doModal(page)) {
            chosen->SetLabel(toWX(selector->getFolderPath().str()));
            browser->setActiveFolder(zil::CURI::fromPath(selector->getFolderPath()));
        }
    });
    auto* many = new wxButton(page, wxID_ANY, toWX(ZILUI_TR("Browse 100,000 files")));
    many->Bind(wxEVT_BUTTON, [=](wxCommandEvent&) {
        zil::Path folder;
        {
            wxBusyInfo busy(toWX(ZILUI_TR("Creating 100,000 files...")), page);
            folder = makeManyFiles(100000);
        }
        if (folder.isEmpty()) {
            zil::logError(L"Gallery: cannot create the temporary folder of files. Ignoring.");
            return;
        }
        chosen->SetLabel(toWX(folder.str()));
        browser->setActiveFolder(zil::CURI::fromPath(folder));
    });

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(choose, wxSizerFlags().Border(wxRIGHT));
    buttons->Add(many, wxSizerFlags().Border(wxRIGHT));
    buttons->Add(chosen, wxSizerFlags(1).CenterVertical());
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(browser, wxSizerFlags(1).Expand().Border());
    sizer->Add(new wxStaticText(page, wxID_ANY, toWX(ZILUI_TR("Selected:"))), wxSizerFlags().Border(wxLEFT | wxRIGHT));
    sizer->Add(selection, wxSizerFlags().Expand().Border());
    sizer->Add(buttons, wxSizerFlags().Expand().Border());
    page->SetSizer(sizer);
    return page;
}

} // namespace gallery
