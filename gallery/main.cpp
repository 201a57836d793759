// SPDX-License-Identifier: MIT
// The gallery: one window that shows what zilui offers, a page per capability.
//
//   zilui-gallery [--language=NAME] [--page=NAME] [--open=NAME] [--screenshot FILE.png]
//
// With --screenshot the gallery saves its main window as PNG once it has been shown and
// painted, prints the file's path and exits; that is how it runs without a person.
// --language stores the language for this and later starts, as the language dialog does;
// an empty name goes back to the system's language. --page opens the gallery on the named page
// (the names in kPageNames), so a screenshot can show any of them. --open opens a window
// that a page's button opens (the names in kOpenTargets) on that page; with --screenshot the
// picture shows that window: a dialog alone, a popup menu over the main window.

#include "desktoppage.h"
#include "filespage.h"
#include "imagespage.h"
#include "notebook.h"
#include "overlayspage.h"
#include "resourcespage.h"
#include "screenshot.h"
#include "slickpage.h"
#include "systempage.h"
#include "textpage.h"
#include "welcomepage.h"
#include "wizardpage.h"

#include <zilui/app/appbase.h>
#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/slick/skin.h>

#include <wx/cmdline.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <vector>

namespace {

using zilui::fromWX;
using zilui::toWX;

// Names that --page accepts, in the notebook's order.
const char* const kPageNames[] = {"welcome", "application", "images", "text", "skinned", "wizard", "resources",
                                   "overlays", "system", "desktop", "files"};

// Names that --open accepts, the page whose button opens each, and whether it is a dialog
// (a picture of its own) or a popup (a picture of the main window with the popup over it).
const struct {
    const char* name;
    const char* page;
    bool dialog;
} kOpenTargets[] = {{"wizard", "wizard", true}, {"xrc", "resources", true}, {"menu", "overlays", false}};

// The dialog whose modal loop runs now, if any.
wxDialog* findModalDialog()
{
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal() && dialog->IsShown())
            return dialog;
    return nullptr;
}

// "welcome, application, ..." for the command line's help: the names `name` gives `table`.
template <class Table, class Name>
wxString nameList(const Table& table, Name name)
{
    wxString list;
    for (const auto& entry : table)
        list += (list.empty() ? "" : ", ") + wxString(name(entry));
    return list;
}

// Index into kPageNames, or -1.
int findPage(const wxString& name)
{
    for (size_t i = 0; i < std::size(kPageNames); ++i)
        if (name.IsSameAs(kPageNames[i], false))
            return static_cast<int>(i);
    return -1;
}

// Index into kOpenTargets, or -1.
int findOpenTarget(const wxString& name)
{
    for (size_t i = 0; i < std::size(kOpenTargets); ++i)
        if (name.IsSameAs(kOpenTargets[i].name, false))
            return static_cast<int>(i);
    return -1;
}

// "German (Germany) / Deutsch (Deutschland)": wxWidgets' English name, which has no
// translation here, and the language's name for itself.
wxString describeLanguage(int languageID)
{
    const wxLanguageInfo* info = wxLocale::GetLanguageInfo(languageID);
    if (!info)
        return wxString();
    if (info->DescriptionNative.empty() || info->DescriptionNative == info->Description)
        return info->Description;
    return info->Description + " / " + info->DescriptionNative;
}

class GalleryFrame : public wxFrame {
public:
    // `page` indexes kPageNames.
    GalleryFrame(zilui::CAppBase& app, int page)
        : wxFrame(nullptr, wxID_ANY, toWX(ZILUI_TR("zilui gallery")), wxDefaultPosition, wxSize(760, 720)),
          m_app(app)
    {
        // Windows take their parent's direction when they are made, so the pages made below are
        // right to left in Hebrew or Arabic also where the system lacks that language's locale.
        if (const wxLanguageInfo* info = wxLocale::GetLanguageInfo(app.getLocale().GetLanguage()))
            SetLayoutDirection(info->LayoutDirection);
        makeMenuBar();
        auto* book = gallery::makeNotebook(this);
        const auto showPage = [book](const char* name) {
            const int index = findPage(name);
            if (index >= 0)
                book->SetSelection(static_cast<size_t>(index));
        };
        book->AddPage(gallery::makeWelcomePage(book, showPage), toWX(ZILUI_TR("Welcome")));
        book->AddPage(makeApplicationPage(book), toWX(ZILUI_TR("Application")));
        book->AddPage(gallery::makeImagesPage(book), toWX(ZILUI_TR("Images")));
        book->AddPage(gallery::makeTextPage(book), toWX(ZILUI_TR("Text and gradients")));
        book->AddPage(gallery::makeSlickPage(book), toWX(ZILUI_TR("Skinned controls")));
        book->AddPage(gallery::makeWizardPage(book, &m_openers[0]), toWX(ZILUI_TR("Wizard")));
        book->AddPage(gallery::makeResourcesPage(book, &m_openers[1]), toWX(ZILUI_TR("Resources")));
        book->AddPage(gallery::makeOverlaysPage(book, &m_openers[2]), toWX(ZILUI_TR("Overlays and menus")));
        book->AddPage(gallery::makeSystemPage(book), toWX(ZILUI_TR("System")));
        book->AddPage(gallery::makeDesktopPage(book), toWX(ZILUI_TR("Desktop")));
        book->AddPage(gallery::makeFilesPage(book), toWX(ZILUI_TR("Files")));
        book->SetSelection(static_cast<size_t>(page));
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(book, 1, wxEXPAND);
        SetSizer(sizer);
    }

    // Opens the window of kOpenTargets[target] as its page's button does; returns when a dialog
    // has been closed, at once for a menu.
    void open(int target) { m_openers[target](); }

private:
    void makeMenuBar()
    {
        auto* fileMenu = new wxMenu();
        fileMenu->Append(wxID_EXIT, toWX(ZILUI_TR("&Quit\tCtrl+Q")));
        auto* settingsMenu = new wxMenu();
        const int languageID = wxWindow::NewControlId();
        settingsMenu->Append(languageID, toWX(ZILUI_TR("&Language...")));
        auto* bar = new wxMenuBar();
        bar->Append(fileMenu, toWX(ZILUI_TR("&File")));
        bar->Append(settingsMenu, toWX(ZILUI_TR("&Settings")));
        SetMenuBar(bar);
        Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_app.scheduleExit(false); }, wxID_EXIT);
        Bind(wxEVT_MENU, [this](wxCommandEvent&) { m_app.doLanguageDialog(this); }, languageID);
    }

    // What the application base worked out at start-up, one row per item.
    wxWindow* makeApplicationPage(wxWindow* parent)
    {
        auto* page = new wxPanel(parent);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(new wxStaticText(page, wxID_ANY,
                                    toWX(ZILUI_TR("What the application base found when the gallery started:"))),
                   0, wxALL, 8);
        auto* list = new wxListCtrl(page, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                    wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_HRULES | wxLC_VRULES);
        list->AppendColumn(toWX(ZILUI_TR("Item")));
        list->AppendColumn(toWX(ZILUI_TR("Value")));

        zil::String language = m_app.getLocaleISOLangID();
        if (language.isEmpty())
            language = ZILUI_TR("(none)");
        else
            language += fromWX(", " + describeLanguage(m_app.getLocale().GetLanguage()));
        const zil::String rows[][2] = {
            {ZILUI_TR("Executable"), m_app.getAppExecuteablePath().str()},
            {ZILUI_TR("Shared files folder"), m_app.getSharedAppFilesPath().str()},
            {ZILUI_TR("Resources folder"), m_app.getResourcesPath().str()},
            {ZILUI_TR("Translations folder"), m_app.getLangPath().str()},
            {ZILUI_TR("Log file"), m_app.getLogFilePath().str()},
            {ZILUI_TR("Current language"), language},
        };
        auto addRow = [list](const wxString& item, const wxString& value) {
            const long index = list->InsertItem(list->GetItemCount(), item);
            list->SetItem(index, 1, value);
        };
        for (const auto& row : rows)
            addRow(toWX(row[0]), toWX(row[1]));
        std::vector<int> supported;
        m_app.getSupportedLanguages(supported);
        wxString item = toWX(ZILUI_TR("Supported languages"));
        for (const int id : supported) {
            addRow(item, describeLanguage(id));
            item.clear();
        }
        list->SetColumnWidth(0, wxLIST_AUTOSIZE);
        list->SetColumnWidth(1, wxLIST_AUTOSIZE);
        sizer->Add(list, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
        page->SetSizer(sizer);
        return page;
    }

    zilui::CAppBase& m_app;
    std::function<void()> m_openers[std::size(kOpenTargets)]; // in its order, set by the pages
};

class GalleryApp : public zilui::CAppBase {
public:
    GalleryApp() : CAppBase(errorReportingGUI)
    {
        SetAppName("zilui-gallery");
        m_logFileName = zil::Path(L"zilui-gallery.log");
        addRequiredTranslationDomain(L"zilui-gallery");
        addOptionalTranslationDomain(L"zilui");
        zilui::CSlickLiveSkins::setLiveReload(true);
    }

    // Runs inside wxApp::OnInit, before the locale is set up, so these texts stay English.
    void OnInitCmdLine(wxCmdLineParser& parser) override
    {
        CAppBase::OnInitCmdLine(parser);
        parser.AddOption("", "screenshot", toWX(ZILUI_TR("save the main window as PNG to this file and exit")));
        parser.AddOption("", "page",
                         toWX(ZILUI_TR("open on this page:")) + " " +
                             nameList(kPageNames, [](const char* name) { return name; }));
        parser.AddOption("", "open",
                         toWX(ZILUI_TR("open this window on its page:")) + " " +
                             nameList(kOpenTargets, [](const auto& target) { return target.name; }));
        parser.AddOption("", "language",
                         toWX(ZILUI_TR("use this language from now on, e.g. \"de\"; empty for the system's")));
    }

    bool OnCmdLineParsed(wxCmdLineParser& parser) override
    {
        wxString path;
        if (parser.Found("screenshot", &path)) {
            m_screenshotPath = path;
            // Nobody is there to close a message box.
            setErrorReporting(errorReportingConsole);
        }
        wxString page;
        if (parser.Found("page", &page)) {
            m_page = findPage(page);
            if (m_page < 0) {
                // Before the locale exists, so English.
                zil::String message = ZILUI_TR("unknown page \"%NAME%\"");
                message.Replace(L"%NAME%", fromWX(page));
                std::fprintf(stderr, "zilui-gallery: %s\n", message.toUTF8().c_str());
                return false;
            }
        }
        wxString target;
        if (parser.Found("open", &target)) {
            m_open = findOpenTarget(target);
            if (m_open < 0) {
                zil::String message = ZILUI_TR("unknown window \"%NAME%\" for --open; known: %LIST%");
                message.Replace(L"%NAME%", fromWX(target));
                message.Replace(L"%LIST%",
                                fromWX(nameList(kOpenTargets, [](const auto& entry) { return entry.name; })));
                std::fprintf(stderr, "zilui-gallery: %s\n", message.toUTF8().c_str());
                return false;
            }
            m_page = findPage(kOpenTargets[m_open].page);
        }
        wxString language;
        if (parser.Found("language", &language) && !storeLanguage(language))
            return false;
        return CAppBase::OnCmdLineParsed(parser);
    }

protected:
    void initResources() override { gallery::redirectGalleryBitmaps(); }

    void onStarted() override
    {
        auto* frame = new GalleryFrame(*this, m_page);
        SetTopWindow(frame);
        frame->Show();
        if (m_open >= 0)
            scheduleOpen(frame);
        else if (!m_screenshotPath.empty())
            scheduleScreenshot(frame);
    }

    zil::P<zil::CXMLLog> createGlobalXMLLog() override
    {
        // Tells the gallery's sessions apart from other programs' in a shared log reader.
        zil::P<zil::CXMLLog::CDefaultSessionHeaderFactory> header(
            new zil::CXMLLog::CDefaultSessionHeaderFactory(fromWX(GetAppName()),
                                                            zil::String(zilui::getVersionString()),
                                                            zil::String()));
        return zil::P<zil::CXMLLog>(
            new zil::CXMLLog(getLogFilePath().str(), header.get(), true, kLogMaxSize, false, true, nullptr));
    }

private:
    static constexpr int64_t kLogMaxSize = 0xA00000; // 10 MiB, as the library's default

    // Stored where the language dialog stores its choice; initLocale reads it afterwards.
    bool storeLanguage(const wxString& name)
    {
        if (name.empty()) {
            setStartupLocaleID(wxLANGUAGE_DEFAULT);
            return true;
        }
        wxString canonical = name;
        canonical.Replace("-", "_");
        const wxLanguageInfo* info = wxLocale::FindLanguageInfo(canonical);
        if (!info) {
            // Before the locale exists, so English.
            zil::String message = ZILUI_TR("unknown language \"%NAME%\"");
            message.Replace(L"%NAME%", fromWX(name));
            std::fprintf(stderr, "zilui-gallery: %s\n", message.toUTF8().c_str());
            return false;
        }
        setStartupLocaleID(info->Language);
        return true;
    }

    // A popup needs its owner on the display first. A dialog's modal loop runs inside open(),
    // and the screenshot is taken from within it; the frame closes only after open() has
    // returned, never under a dialog it owns.
    void scheduleOpen(GalleryFrame* frame)
    {
        m_openTimer.Bind(wxEVT_TIMER, [this, frame](wxTimerEvent&) {
            CallAfter([this, frame] {
                if (!m_screenshotPath.empty())
                    scheduleScreenshot(frame);
                m_opening = true;
                try {
                    frame->open(m_open);
                } catch (...) {
                    m_opening = false;
                    throw;
                }
                m_opening = false;
                if (m_screenshotDone)
                    frame->Close(true);
            });
        });
        m_openTimer.StartOnce(300);
    }

    // Without a window manager the frame is mapped at once, but GTK paints in idle time;
    // waiting a little after the first idle lets every page control draw itself.
    void scheduleScreenshot(wxFrame* frame)
    {
        m_screenshotTimer.Bind(wxEVT_TIMER, [this, frame](wxTimerEvent&) { takeScreenshot(frame); });
        m_screenshotTimer.StartOnce(800);
    }

    void takeScreenshot(wxFrame* frame)
    {
        // Not an error when it never comes: the picture shows what there is.
        if (!gallery::smallBrowsersListed() && ++m_listingWaits < kScreenshotAttempts) {
            m_screenshotTimer.StartOnce(100);
            return;
        }
        wxDialog* dialog = findModalDialog();
        wxString error;
        bool notReady = false;
        bool saved = false;
        if (m_open >= 0 && kOpenTargets[m_open].dialog && !dialog) {
            error = toWX(ZILUI_TR("the window to open did not appear"));
            notReady = true;
        } else {
            saved = gallery::saveWindowScreenshot(dialog ? *static_cast<wxWindow*>(dialog) : *frame,
                                                  m_screenshotPath, error, &notReady);
        }
        // A display server may take its time to map a window or confirm its size.
        if (!saved && notReady && ++m_screenshotAttempts < kScreenshotAttempts) {
            m_screenshotTimer.StartOnce(100);
            return;
        }
        if (saved) {
            std::printf("%s\n", static_cast<const char*>(m_screenshotPath.utf8_str()));
        } else {
            std::fprintf(stderr, "zilui-gallery: %s\n", static_cast<const char*>(error.utf8_str()));
            setOverrideExitCode(1);
        }
        std::fflush(stdout);
        m_screenshotDone = true;
        if (dialog)
            dialog->EndModal(wxID_CANCEL);
        else if (!m_opening)
            frame->Close(true);
    }

    static constexpr int kScreenshotAttempts = 50; // 100 ms apart

    wxString m_screenshotPath;
    int m_page = 0;  // into kPageNames
    int m_open = -1; // into kOpenTargets
    bool m_opening = false;
    bool m_screenshotDone = false;
    int m_screenshotAttempts = 0;
    int m_listingWaits = 0;
    wxTimer m_openTimer;
    wxTimer m_screenshotTimer;
};

} // namespace

wxIMPLEMENT_APP(GalleryApp);
