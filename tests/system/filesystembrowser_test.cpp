// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "controls/inputframe.h"
#include "support/guitest.h"
#include "xrc/xrctestutil.h"

#include <zilui/slick/controls.h>
#include <zilui/system/filesystembrowser.h>

#include <zil/thread.h>

#include <gtest/gtest.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>

#include <gtk/gtk.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <wx/weakref.h>

namespace zilui::test {
namespace {

using Control = CFileSystemBrowserControl;

// Folders in memory whose listings wait for the test: each listFolder call takes its
// contents when called and returns once released, so the test decides the order in which
// loads finish. A folder named "denied" fails after listing one entry; an entry named "bad"
// is listed with an unknown kind and has no information.
class CGatedFileSystem : public zil::CBase, public zil::IFileSystem {
public:
    void setFolder(const zil::String& folder, std::map<zil::String, bool> entries)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_folders[folder] = std::move(entries);
    }
    // Lets call `index` (0 = the first listing) return.
    void open(size_t index) { gate(index)->set(); }
    int calls(const zil::String& folder)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls[folder];
    }
    bool finished(size_t index)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_finished.count(index) > 0;
    }

    void listFolder(const zil::CURI& folder, zil::TArray<EntryInfo>& out) override
    {
        std::map<zil::String, bool> entries;
        size_t index;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            entries = m_folders[folder.getPath()];
            index = m_next++;
            ++m_calls[folder.getPath()];
        }
        gate(index)->wait(10000);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished.insert(index);
        }
        for (const auto& [name, isFolder] : entries) {
            // The listing cannot tell what "bad" is: the browser must ask, and fail.
            const EntryType type = name == L"bad" ? EntryType::other
                                   : isFolder     ? EntryType::folder
                                                  : EntryType::file;
            out.push_back({name, folder.join(name), type, type == EntryType::file ? 2048 : 0});
            if (folder.getName() == L"denied")
                throw zil::CIOError(L"Permission denied", L"test", zil::CIOError::codeCannotOpen);
        }
    }
    EntryInfo getEntryInfo(const zil::CURI& uri) override
    {
        if (uri.getName() == L"bad")
            throw zil::CIOError(L"No such file", L"test", zil::CIOError::codeCannotOpen);
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto& folder = m_folders[uri.getParent().getPath()];
        const auto found = folder.find(uri.getName());
        const bool isFolder = found != folder.end() && found->second;
        return {uri.getName(), uri, isFolder ? EntryType::folder : EntryType::file, isFolder ? 0 : 2048};
    }
    bool isFolder(const zil::CURI& uri) override { return m_folders.count(uri.getPath()) > 0; }

private:
    zil::P<zil::CSignal> gate(size_t index)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto& signal = m_gates[index];
        if (!signal)
            signal = new zil::CSignal;
        return signal;
    }

    std::mutex m_mutex;
    std::map<zil::String, std::map<zil::String, bool>> m_folders;
    std::map<zil::String, int> m_calls;
    std::map<size_t, zil::P<zil::CSignal>> m_gates;
    std::set<size_t> m_finished;
    size_t m_next = 0;
};

struct CCountingListener : Control::IListener {
    void onContentsChanged(Control*) override { ++contents; }
    void onActiveFolderChanged(Control*) override { ++folders; }
    int contents = 0, folders = 0;
};

struct FileSystemBrowser : testing::Test {
    FileSystemBrowser()
    {
        // The library's bitmaps come through the handlers a CAppBase program registers.
        resources.AddHandler(new CZilXMLResourceHandler());
        resources.InitAllHandlers();
        previousResources = wxXmlResource::Set(&resources);
        control->Create(&sharedFrame(), wxID_ANY, wxDefaultPosition, wxSize(400, 300));
        control->setListenerWeak(&listener);
        fs->setFolder(L"/r", {{L"sub", true}, {L"b.txt", false}, {L"A.txt", false}});
        fs->setFolder(L"/r/sub", {{L"x", false}});
    }
    ~FileSystemBrowser() override
    {
        for (size_t i = 0; i < 16; ++i)
            fs->open(i);
        if (control)
            control->Destroy();
        wxXmlResource::Set(previousResources);
    }
    // The texts of column 0, row by row.
    std::vector<wxString> rows() const
    {
        std::vector<wxString> result;
        for (long i = 0; i < control->getList()->GetItemCount(); ++i)
            result.push_back(control->getList()->GetItemText(i));
        return result;
    }
    bool shows(const wxString& first) const
    {
        return control->getList()->GetItemCount() > 0 && control->getList()->GetItemText(0) == first;
    }

    wxXmlResource resources{wxXRC_USE_LOCALE};
    wxXmlResource* previousResources = nullptr;
    CGlobalLogCapture log;
    zil::P<CGatedFileSystem> fs{new CGatedFileSystem};
    CCountingListener listener;
    wxWeakRef<Control> control{new Control()};
};

// Sorting, skipped entries and every way a folder can fail to list end in rows, not a hang.
TEST_F(FileSystemBrowser, ListingsThatFailShowWhatCouldBeRead)
{
    zil::test::CTempFolder disk;
    disk.writeFile(L"b.txt", std::string(3000, 'x'));
    disk.writeFile(L"a.txt", "");
    std::ofstream(disk.path().toAPIPath() + "/bad\xff.txt"); // not UTF-8: its name leads nowhere
    ::mkdir(disk.api(L"Zeta").c_str(), 0755);
    fs->setFolder(L"/denied", {{L"a", false}, {L"b", false}});
    fs->setFolder(L"/partial", {{L"bad", false}, {L"good", false}});
    for (size_t i = 0; i < 16; ++i)
        fs->open(i);
    const zil::String gone = (disk / L"gone").str();
    const struct {
        zil::IFileSystem* fileSystem;
        zil::String folder;
        std::vector<wxString> rows;
        const char* logged;
    } cases[] = {
        {zil::CLocalFileSystem::get().get(), disk.path().str(), {"Zeta", "a.txt", "b.txt"},
         "Error initializing item from 'file://"},
        {zil::CLocalFileSystem::get().get(), gone, {"This folder is empty."}, "Error loading the contents of"},
        {zil::CLocalFileSystem::get().get(), L"smb://host/share", {"This folder is empty."},
         "Error loading the contents of 'smb://host/share'. Ignoring."},
        {fs.get(), L"smb://h/denied", {"a"}, "Error loading the contents of 'smb://h/denied'. Ignoring."},
        {fs.get(), L"smb://h/partial", {"good"}, "Error initializing item from 'smb://h/partial/bad'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toUTF8());
        const auto countLogged = [this](const char* what) {
            const std::string logged = log.text();
            size_t count = 0;
            for (size_t at = logged.find(what); at != std::string::npos; at = logged.find(what, at + 1))
                ++count;
            return count;
        };
        const size_t before = countLogged(c.logged);
        control->init(c.fileSystem, c.folder, c.folder);
        EXPECT_TRUE(shows("Loading. Please wait..."));
        ASSERT_TRUE(runLoopUntil([&] { return !shows("Loading. Please wait..."); }, 10000));
        EXPECT_EQ(rows(), c.rows);
        // Once: not again per entry, nor for what was read before the failure.
        EXPECT_EQ(countLogged(c.logged), before + 1) << log.text();
    }
    control->init(zil::CLocalFileSystem::get().get(), disk.path().str(), disk.path().str());
    runLoopUntil([&] { return shows("Zeta"); });
    EXPECT_EQ(control->getList()->GetItemText(2, 1), "2.9 KiB");
    EXPECT_EQ(control->getList()->GetItemText(0, 1), "");
}

// A folder in /dev or /run holds devices, FIFOs and sockets beside its files: only folders
// and files get rows, and each of the others is named in the log once.
TEST_F(FileSystemBrowser, SpecialFilesAndDanglingLinksAreLoggedNotListed)
{
    zil::test::CTempFolder disk;
    ::mkdir(disk.api(L"dir").c_str(), 0755);
    disk.writeFile(L"file", "12");
    ASSERT_EQ(::mkfifo(disk.api(L"fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("nowhere", disk.api(L"dead").c_str()), 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = disk.api(L"sock");
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    socketPath.copy(address.sun_path, socketPath.size());
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(socket);
    std::vector<const wchar_t*> special = {L"fifo", L"sock", L"dead"};
    if (::mknod(disk.api(L"null").c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0)
        special.push_back(L"null");
    else
        std::cerr << "no device node: mknod needs CAP_MKNOD (" << std::strerror(errno) << ")\n";

    control->init(zil::CLocalFileSystem::get().get(), disk.path().str(), disk.path().str());
    ASSERT_TRUE(runLoopUntil([&] { return !shows("Loading. Please wait..."); }, 10000));
    EXPECT_EQ(rows(), (std::vector<wxString>{"dir", "file"}));
    const std::string logged = log.text();
    for (const wchar_t* name : special) {
        SCOPED_TRACE(zil::String(name).toUTF8());
        const std::string uri = "'" + zil::CURI::fromPath(disk / name).toString().toUTF8() + "'";
        size_t count = 0;
        for (size_t at = logged.find(uri); at != std::string::npos; at = logged.find(uri, at + 1))
            ++count;
        EXPECT_EQ(count, 1u) << logged;
    }
}

// A load that finishes after the user went elsewhere fills the cache only; coming back needs
// no second load.
TEST_F(FileSystemBrowser, LateResultIsCachedAndShownOnReturn)
{
    control->init(fs.get(), L"smb://h/r", L"smb://h/r");
    // Calls are numbered as their threads reach the file system: one at a time.
    ASSERT_TRUE(runLoopUntil([&] { return fs->calls(L"/r") == 1; }));
    control->setActiveFolder(L"smb://h/r/sub"); // call 1
    fs->open(0);
    ASSERT_TRUE(runLoopUntil([&] { return control->getCachedItem(L"smb://h/r")->loaded; }, 10000));
    const int rebuilds = listener.contents;
    processPendingEvents();
    EXPECT_EQ(listener.contents, rebuilds);
    EXPECT_TRUE(shows("Loading. Please wait..."));
    fs->open(1);
    ASSERT_TRUE(runLoopUntil([&] { return shows("x"); }, 10000));
    control->setActiveFolder(L"smb://h/r/./");
    EXPECT_EQ(rows(), (std::vector<wxString>{"sub", "A.txt", "b.txt"}));
    EXPECT_EQ(fs->calls(L"/r"), 1);
    // The sub-folder found in the listing is the object that was loaded, not a copy.
    EXPECT_EQ(control->getRowItems()[0].get(), control->getCachedItem(L"smb://h/r/sub").get());
}

// A refresh supersedes the running load: its result, arriving last, must not win. A control
// destroyed with a load still running: the late result finds no control.
TEST_F(FileSystemBrowser, LateResultsOfARefreshedOrDestroyedLoadAreDropped)
{
    // A load's thread posts its result and ends: once the threads are gone and what they
    // posted has run, nothing more can arrive.
    const size_t otherThreads = zil::CThreadList::get()->getCount();
    const auto allArrived = [&] {
        return runLoopUntil([&] { return zil::CThreadList::get()->getCount() <= otherThreads; }) &&
               drainActions();
    };
    control->init(fs.get(), L"smb://h/r", L"smb://h/r");
    ASSERT_TRUE(runLoopUntil([&] { return fs->calls(L"/r") == 1; })); // numbered call 0
    fs->setFolder(L"/r", {{L"new", false}});
    control->refreshActiveFolder(); // call 1
    fs->open(1);
    ASSERT_TRUE(runLoopUntil([&] { return shows("new"); }, 10000));
    fs->open(0);
    ASSERT_TRUE(allArrived());
    EXPECT_EQ(rows(), std::vector<wxString>{"new"});

    control->refreshActiveFolder(); // call 2
    const int rebuilds = listener.contents;
    control->Destroy();
    control = nullptr;
    fs->open(2);
    ASSERT_TRUE(allArrived());
    EXPECT_EQ(listener.contents, rebuilds);
}

// Rows of the local disk come in the list's order whatever the directory's order, and each
// row's URI leads back to its entry, also where the name needs escaping or is not ASCII.
TEST_F(FileSystemBrowser, LocalRowsAreSortedCaseBlindAndLeadBackToTheirEntries)
{
    const struct {
        const char* what;
        std::vector<const char*> files, folders;
        std::vector<wxString> rows;
    } cases[] = {
        {"case and punctuation",
         {"b.txt", "B.txt", "_x", "a b%.txt", "A"},
         {"Zeta", "alpha"},
         {"alpha", "Zeta", "_x", "A", "a b%.txt", "B.txt", "b.txt"}},
        {"beyond ASCII",
         {"\xc3\xa9lan", "\xc3\x89lan", "eclair", "zeta"},
         {},
         {"eclair", "zeta", wxString::FromUTF8("\xc3\x89lan"), wxString::FromUTF8("\xc3\xa9lan")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        zil::test::CTempFolder disk;
        for (const char* name : c.files)
            disk.writeFile(zil::String(name), "1");
        for (const char* name : c.folders)
            ::mkdir(disk.api(zil::String(name)).c_str(), 0755);
        control->init(zil::CLocalFileSystem::get().get(), disk.path().str(), disk.path().str());
        ASSERT_TRUE(runLoopUntil([&] { return !shows("Loading. Please wait..."); }, 10000));
        EXPECT_EQ(rows(), c.rows);
        for (const auto& item : control->getRowItems()) {
            SCOPED_TRACE(item->uri.toString().toUTF8());
            EXPECT_EQ(item->uri.getLocalPath().str(), (disk / item->uri.getName()).str());
            EXPECT_EQ(zil::CLocalFileSystem::get()->getEntryInfo(item->uri).type,
                      item->type == Control::typeFolder ? zil::IFileSystem::EntryType::folder
                                                        : zil::IFileSystem::EntryType::file);
        }
    }
}

// A listing big enough to be made on two threads: every entry becomes one row, in the
// list's order, with its own URI, on the first load and on a refresh that removes one entry
// and adds another, where the two halves meet.
TEST_F(FileSystemBrowser, BigListingsGiveEveryEntryOneRowInOrder)
{
    std::map<zil::String, bool> entries;
    for (int i = 0; i < 6000; ++i)
        entries[(i % 3 == 0 ? L"Entry" : L"entry") + zil::toString(static_cast<int64_t>(i * 7919 % 6000))] =
            i % 10 == 0;
    const auto expectedRows = [&] {
        std::vector<std::pair<bool, zil::String>> sorted;
        for (const auto& [name, isFolder] : entries)
            sorted.emplace_back(isFolder, name);
        std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
            if (a.first != b.first)
                return a.first;
            const int c = a.second.CmpNoCase(b.second);
            return c != 0 ? c < 0 : a.second < b.second;
        });
        std::vector<wxString> rows;
        for (const auto& entry : sorted)
            rows.push_back(toWX(entry.second));
        return rows;
    };
    for (size_t i = 0; i < 16; ++i)
        fs->open(i);
    fs->setFolder(L"/big", entries);
    control->init(fs.get(), L"smb://h/big", L"smb://h/big");
    for (const bool refresh : {false, true}) {
        SCOPED_TRACE(refresh ? "refresh" : "first load");
        if (refresh) {
            entries.erase(expectedRows()[entries.size() / 2].ToStdWstring());
            entries[L"entry3000x"] = false;
            fs->setFolder(L"/big", entries);
            control->refreshActiveFolder();
        }
        ASSERT_TRUE(runLoopUntil([&] { return !shows("Loading. Please wait..."); }, 10000));
        EXPECT_EQ(rows(), expectedRows());
        const auto& items = control->getRowItems();
        std::set<const Control::CItem*> distinct;
        for (size_t row = 0; row < items.size(); ++row) {
            distinct.insert(items[row].get());
            if (toWX(items[row]->uri.getName()) != control->getList()->GetItemText(static_cast<long>(row)))
                ADD_FAILURE() << "row " << row << " has the URI " << items[row]->uri.toString().toUTF8();
        }
        EXPECT_EQ(distinct.size(), entries.size());
    }
}

// A refresh keeps the objects of entries that did not change, and only those: a grown file or
// a file that became a folder must not show what it was, and a visited folder keeps what was
// loaded in it.
TEST_F(FileSystemBrowser, RefreshKeepsTheRowsOfUnchangedEntriesOnly)
{
    zil::test::CTempFolder disk;
    disk.writeFile(L"same.txt", "abc");
    disk.writeFile(L"grows.txt", "a");
    disk.writeFile(L"becomesDir", "a");
    disk.writeFile(L"gone.txt", "a");
    ::mkdir(disk.api(L"sub").c_str(), 0755);
    disk.writeFile(L"sub/x", "");
    const zil::String root = disk.path().str();
    control->init(zil::CLocalFileSystem::get().get(), root, root);
    ASSERT_TRUE(runLoopUntil([&] { return shows("sub"); }, 10000));
    control->setActiveFolder((disk / L"sub").str());
    ASSERT_TRUE(runLoopUntil([&] { return shows("x"); }, 10000));
    control->setActiveFolder(root);
    std::map<wxString, zil::P<Control::CItem>> before;
    for (const auto& item : control->getRowItems())
        before[toWX(item->uri.getName())] = item;

    disk.writeFile(L"grows.txt", std::string(5000, 'x'));
    ::unlink(disk.api(L"becomesDir").c_str());
    ::mkdir(disk.api(L"becomesDir").c_str(), 0755);
    ::unlink(disk.api(L"gone.txt").c_str());
    disk.writeFile(L"new.txt", "");
    control->refreshActiveFolder();
    ASSERT_TRUE(runLoopUntil([&] { return !shows("Loading. Please wait..."); }, 10000));
    EXPECT_EQ(rows(), (std::vector<wxString>{"becomesDir", "sub", "grows.txt", "new.txt", "same.txt"}));

    const struct {
        const char* name;
        bool sameObject;
        const char* size;
    } expected[] = {
        {"becomesDir", false, ""}, {"sub", true, ""}, {"grows.txt", false, "4.9 KiB"},
        {"new.txt", false, "0 bytes"}, {"same.txt", true, "3 bytes"},
    };
    const auto& items = control->getRowItems();
    for (size_t row = 0; row < std::size(expected) && row < items.size(); ++row) {
        const auto& e = expected[row];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(items[row].get() == before[e.name].get(), e.sameObject);
        EXPECT_EQ(control->getList()->GetItemText(static_cast<long>(row), 1), e.size);
    }
    EXPECT_EQ(items[1].get(), control->getCachedItem((disk / L"sub").str()).get());
    // What was loaded in the visited folder is still there: no second load, no placeholder.
    control->setActiveFolder((disk / L"sub").str());
    EXPECT_EQ(rows(), std::vector<wxString>{"x"});
}

// Two refreshes in a row: the first load took the rows over and is superseded. Whichever
// finishes first, the second load's rows are shown and the visited sub-folder stays the
// object that holds its loaded contents.
TEST_F(FileSystemBrowser, RefreshWhileARefreshIsLoadingKeepsTheVisitedFolder)
{
    const size_t otherThreads = zil::CThreadList::get()->getCount();
    size_t next = 0; // the file system numbers its calls
    const auto load = [&](const std::function<void()>& start, const wchar_t* folder) {
        const int before = fs->calls(folder);
        start();
        EXPECT_TRUE(runLoopUntil([&] { return fs->calls(folder) == before + 1; }));
        return next++;
    };
    for (const bool secondFirst : {false, true}) {
        SCOPED_TRACE(secondFirst ? "second load finishes first" : "first load finishes first");
        fs->open(load([&] { control->init(fs.get(), L"smb://h/r", L"smb://h/r"); }, L"/r"));
        ASSERT_TRUE(runLoopUntil([&] { return shows("sub"); }, 10000));
        fs->open(load([&] { control->setActiveFolder(L"smb://h/r/sub"); }, L"/r/sub"));
        ASSERT_TRUE(runLoopUntil([&] { return shows("x"); }, 10000));
        control->setActiveFolder(L"smb://h/r");
        const int subLoads = fs->calls(L"/r/sub");
        const size_t first = load([&] { control->refreshActiveFolder(); }, L"/r");
        const size_t second = load([&] { control->refreshActiveFolder(); }, L"/r");
        fs->open(secondFirst ? second : first);
        if (secondFirst)
            ASSERT_TRUE(runLoopUntil([&] { return shows("sub"); }, 10000));
        else
            ASSERT_TRUE(runLoopUntil([&] { return fs->finished(first); }, 10000));
        fs->open(secondFirst ? first : second);
        // Once the loads' threads are gone and what they posted has run, nothing more comes.
        ASSERT_TRUE(runLoopUntil([&] { return zil::CThreadList::get()->getCount() <= otherThreads; }, 10000));
        ASSERT_TRUE(drainActions());
        EXPECT_EQ(rows(), (std::vector<wxString>{"sub", "A.txt", "b.txt"}));
        const zil::P<Control::CItem> sub = control->getCachedItem(L"smb://h/r/sub");
        EXPECT_EQ(control->getRowItems()[0].get(), sub.get());
        control->setActiveFolder(L"smb://h/r/sub");
        EXPECT_EQ(rows(), std::vector<wxString>{"x"});
        EXPECT_EQ(fs->calls(L"/r/sub"), subLoads);
    }
}

// Up stops at the root; Back and Forward follow activation, by Enter and by double click.
TEST_F(FileSystemBrowser, NavigationByKeyboardMouseAndButtons)
{
    ZILUI_REQUIRE_SCREEN_INPUT();
    CControlsInputFrame input;
    control->Destroy();
    control = new Control();
    control->Create(input.panel, wxID_ANY, wxDefaultPosition, input.panel->GetClientSize());
    for (size_t i = 0; i < 16; ++i)
        fs->open(i);
    control->init(fs.get(), L"smb://h/r", L"smb://h/r");
    ASSERT_TRUE(runLoopUntil([&] { return shows("sub"); }, 10000));
    const auto enabled = [&](int id) { return control->FindWindow(id)->IsEnabled(); };
    EXPECT_FALSE(enabled(Control::kUpId));
    control->goUp();
    EXPECT_EQ(control->getActiveFolder(), zil::CURI(L"smb://h/r"));
    EXPECT_TRUE(control->getBackHistory().empty());

    wxListView* list = control->getList();
    const struct { const char* how; std::function<void()> activate; } ways[] = {
        {"Enter",
         [&] {
             list->SetFocus();
             list->Select(0);
             list->Focus(0);
             processPendingEvents();
             typeKey(WXK_RETURN);
         }},
        {"double click",
         [&] {
             wxRect rect;
             list->GetItemRect(0, rect);
             pointerTo(list, rect.GetPosition() + wxPoint(30, rect.height / 2));
             processPendingEvents();
             pointerDoubleClick();
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        way.activate();
        ASSERT_TRUE(runLoopUntil([&] { return shows("x"); }, 5000));
        EXPECT_EQ(control->getActiveFolder(), zil::CURI(L"smb://h/r/sub"));
        EXPECT_TRUE(enabled(Control::kUpId) && enabled(Control::kBackId) && !enabled(Control::kForwardId));
        wxCommandEvent back(wxEVT_BUTTON, Control::kBackId);
        control->FindWindow(Control::kBackId)->ProcessWindowEvent(back);
        EXPECT_EQ(control->getActiveFolder(), zil::CURI(L"smb://h/r"));
        EXPECT_TRUE(enabled(Control::kForwardId) && !enabled(Control::kBackId));
        ASSERT_TRUE(runLoopUntil([&] { return shows("sub"); }, 5000));
    }
    control->goForward();
    EXPECT_EQ(control->getActiveFolder(), zil::CURI(L"smb://h/r/sub"));
}

bool hasState(AtkObject* object, AtkStateType state)
{
    AtkStateSet* states = atk_object_ref_state_set(object);
    const bool result = atk_state_set_contains_state(states, state);
    g_object_unref(states);
    return result;
}

// What a screen reader finds under `window`, as it walks: the first object of `role`, not looking
// into objects that manage their descendants (a table's rows are asked for one by one).
AtkObject* findAccessible(AtkObject* root, AtkRole role, int depth = 0)
{
    if (!root || depth > 12)
        return nullptr;
    if (atk_object_get_role(root) == role)
        return root;
    const bool manages = hasState(root, ATK_STATE_MANAGES_DESCENDANTS);
    for (gint i = 0, n = manages ? 0 : atk_object_get_n_accessible_children(root); i < n; ++i) {
        AtkObject* child = atk_object_ref_accessible_child(root, i);
        AtkObject* found = findAccessible(child, role, depth + 1);
        if (child)
            g_object_unref(child);
        if (found)
            return found; // owned by its widget or parent, which the test keeps
    }
    return nullptr;
}

AtkObject* accessibleOf(wxWindow* window)
{
    return gtk_widget_get_accessible(static_cast<GtkWidget*>(window->GetHandle()));
}

// A reference that a reader holds, given back at the end of the test.
struct Held {
    explicit Held(AtkObject* o = nullptr) : object(o) {}
    ~Held()
    {
        if (object)
            g_object_unref(object);
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    AtkObject* object;
};

// The list is drawn by wxWidgets, not by GTK: without an object of its own a screen reader
// finds an empty panel. Its rows, cells, selection and focus are read, rows a reader holds
// die with the rows they stood for, and the toolbar's picture buttons say what they do.
TEST_F(FileSystemBrowser, ScreenReaderReadsRowsSelectionAndButtonNames)
{
    control->init(fs.get(), L"smb://h/r", L"smb://h/r");
    // Before the folder is read, the placeholder is the one row.
    AtkObject* table = findAccessible(accessibleOf(control), ATK_ROLE_TABLE);
    ASSERT_TRUE(table);
    EXPECT_TRUE(hasState(table, ATK_STATE_MANAGES_DESCENDANTS));
    EXPECT_TRUE(hasState(table, ATK_STATE_MULTISELECTABLE));
    {
        Held placeholder(atk_object_ref_accessible_child(table, 0));
        ASSERT_TRUE(placeholder.object);
        EXPECT_STREQ(atk_object_get_name(placeholder.object), "Loading. Please wait...");
        for (size_t i = 0; i < 16; ++i)
            fs->open(i);
        ASSERT_TRUE(runLoopUntil([&] { return shows("sub"); }, 10000));
        // Replaced: what the reader held is gone, not a row of the new listing.
        EXPECT_TRUE(hasState(placeholder.object, ATK_STATE_DEFUNCT));
        EXPECT_EQ(atk_object_get_index_in_parent(placeholder.object), -1);
    }
    wxListView* list = control->getList();
    ASSERT_EQ(atk_object_get_n_accessible_children(table), 3);
    EXPECT_EQ(atk_table_get_n_rows(ATK_TABLE(table)), 3);
    EXPECT_EQ(atk_table_get_n_columns(ATK_TABLE(table)), 2);
    EXPECT_STREQ(atk_table_get_column_description(ATK_TABLE(table), 1), "Size");
    list->Select(1);
    for (gint row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        Held read(atk_object_ref_accessible_child(table, row));
        ASSERT_TRUE(read.object);
        EXPECT_EQ(atk_object_get_role(read.object), ATK_ROLE_TABLE_ROW);
        EXPECT_EQ(atk_object_get_name(read.object), list->GetItemText(row).utf8_string());
        EXPECT_EQ(atk_object_get_parent(read.object), table);
        EXPECT_EQ(atk_object_get_index_in_parent(read.object), row);
        EXPECT_EQ(hasState(read.object, ATK_STATE_SELECTED), row == 1);
        ASSERT_EQ(atk_object_get_n_accessible_children(read.object), 2);
        for (gint column = 0; column < 2; ++column) {
            Held cell(atk_table_ref_at(ATK_TABLE(table), row, column));
            ASSERT_TRUE(cell.object);
            EXPECT_EQ(atk_object_get_role(cell.object), ATK_ROLE_TABLE_CELL);
            EXPECT_EQ(atk_object_get_name(cell.object), list->GetItemText(row, column).utf8_string());
            EXPECT_EQ(atk_object_get_parent(cell.object), read.object);
        }
    }
    const struct {
        const char* what;
        AtkObject* object;
    } outside[] = {
        {"row past the end", atk_object_ref_accessible_child(table, 3)},
        {"negative row", atk_object_ref_accessible_child(table, -1)},
        {"cell past the columns", atk_table_ref_at(ATK_TABLE(table), 0, 2)},
        {"cell past the rows", atk_table_ref_at(ATK_TABLE(table), 3, 0)},
        {"second of one selected", atk_selection_ref_selection(ATK_SELECTION(table), 1)},
    };
    for (const auto& o : outside) {
        EXPECT_EQ(o.object, nullptr) << o.what;
        Held given(o.object);
    }

    // Selection asked for by the reader is the list's, and the other way round.
    EXPECT_EQ(atk_selection_get_selection_count(ATK_SELECTION(table)), 1);
    EXPECT_TRUE(atk_selection_is_child_selected(ATK_SELECTION(table), 1));
    EXPECT_TRUE(atk_selection_add_selection(ATK_SELECTION(table), 2));
    EXPECT_TRUE(list->IsSelected(1) && list->IsSelected(2));
    EXPECT_FALSE(atk_selection_add_selection(ATK_SELECTION(table), 3));
    {
        Held second(atk_selection_ref_selection(ATK_SELECTION(table), 1));
        ASSERT_TRUE(second.object);
        EXPECT_EQ(atk_object_get_index_in_parent(second.object), 2);
    }
    gint* selected = nullptr;
    EXPECT_EQ(atk_table_get_selected_rows(ATK_TABLE(table), &selected), 2);
    EXPECT_TRUE(selected && selected[0] == 1 && selected[1] == 2);
    g_free(selected);
    EXPECT_TRUE(atk_selection_clear_selection(ATK_SELECTION(table)));
    EXPECT_EQ(list->GetSelectedItemCount(), 0);

    // The focused row is the table's active descendant: readers follow the keyboard by it.
    struct Moved {
        AtkObject* row = nullptr;
        int count = 0;
    } moved;
    const gulong handler = g_signal_connect(table, "active-descendant-changed",
                                            G_CALLBACK(+[](AtkObject*, gpointer row, gpointer data) {
                                                static_cast<Moved*>(data)->row = ATK_OBJECT(row);
                                                ++static_cast<Moved*>(data)->count;
                                            }),
                                            &moved);
    list->Focus(2);
    g_signal_handler_disconnect(table, handler);
    ASSERT_EQ(moved.count, 1);
    EXPECT_EQ(atk_object_get_index_in_parent(moved.row), 2);

    // Buttons: their names, whether they show pictures or texts, native or skinned.
    zil::P<CSlickButtonCreator> skinned(new CSlickButtonCreator());
    const struct {
        const char* what;
        IButtonCreator* creator;
        wxWindow* browser;
    } browsers[] = {
        {"native buttons with pictures", nullptr, control},
        {"skinned buttons", skinned.get(), nullptr},
    };
    for (const auto& b : browsers) {
        SCOPED_TRACE(b.what);
        Control* browser = b.browser ? control.get() : new Control(&sharedFrame(), b.creator);
        const struct { int id; const char* name; } buttons[] = {
            {Control::kBackId, "Back"}, {Control::kForwardId, "Forward"},
            {Control::kUpId, "Up"}, {Control::kRefreshId, "Refresh"}};
        for (const auto& button : buttons) {
            AtkObject* read = accessibleOf(browser->FindWindow(button.id));
            EXPECT_EQ(atk_object_get_role(read), ATK_ROLE_PUSH_BUTTON) << button.name;
            EXPECT_STREQ(atk_object_get_name(read), button.name);
        }
        if (browser != control)
            browser->Destroy();
    }

    // A row held while the control goes says it is gone, and answers no more than that.
    Held kept(atk_object_ref_accessible_child(table, 0));
    Held cell(atk_object_ref_accessible_child(kept.object, 1));
    control->Destroy();
    processPendingEvents();
    EXPECT_TRUE(hasState(kept.object, ATK_STATE_DEFUNCT));
    EXPECT_TRUE(hasState(cell.object, ATK_STATE_DEFUNCT));
    EXPECT_EQ(atk_object_get_n_accessible_children(kept.object), 0);
    EXPECT_STREQ(atk_object_get_name(kept.object), "sub");
}

// The toolbar of a browser narrower than its buttons: GTK warns of a negative content width
// when a button is given less than its borders need, which a user sees as a run of warnings
// on standard error. Texts stand in for pictures that cannot be loaded, and are wider.
TEST_F(FileSystemBrowser, NarrowBrowserGivesNoToolkitWarning)
{
    zil::test::CTempFolder folder;
    std::string missing = "<?xml version=\"1.0\"?><resource xmlns=\"http://www.wxwidgets.org/wxxrc\">";
    for (const char* name : {"back", "forward", "up", "refresh", "folder", "file", "loading", "folderEmpty"})
        missing += std::string("<object class=\"wxBitmap\" name=\"fileSystemBrowser_") + name +
                   "\">gone/" + name + ".png</object>";
    missing += "</resource>";
    wxXmlResource unloadable{wxXRC_USE_LOCALE};
    unloadable.InitAllHandlers();
    ASSERT_TRUE(unloadable.Load(toWX(folder.writeFile(L"missing.xrc", missing).str())));
    zil::P<CSlickButtonCreator> skinned(new CSlickButtonCreator());
    const struct {
        bool pictures;
        IButtonCreator* creator;
        int width;
    } cases[] = {
        {false, nullptr, 1},   {false, nullptr, 20},  {false, nullptr, 90}, {false, skinned.get(), 20},
        {false, skinned.get(), 90}, {true, nullptr, 1}, {true, nullptr, 30}, {true, skinned.get(), 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pictures ? "pictures" : "texts") + (c.creator ? ", skinned" : "") +
                     ", width " + std::to_string(c.width));
        wxXmlResource::Set(c.pictures ? &resources : &unloadable);
        auto* frame = new wxFrame(&sharedFrame(), wxID_ANY, "narrow");
        auto* browser = new Control(frame, c.creator);
        wxXmlResource::Set(&resources);
        EXPECT_EQ(browser->FindWindow(Control::kBackId)->GetLabel().empty(), c.pictures);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(browser, 1, wxEXPAND);
        frame->SetSizer(sizer);
        frame->SetClientSize(c.width, 200);
        frame->Show();
        runLoopUntil([&] { return frame->IsShownOnScreen(); }, 5000);
        // Narrower still once shown, as a user drags the frame's edge.
        browser->SetSize(c.width, 200);
        frame->Update();
        processPendingEvents();
        frame->Destroy();
        processPendingEvents();
    }
}

// From XRC: buttons from the skinned button creator, pictures from the library's resources.
using FileSystemBrowserXrc = CXrcFixture;
TEST_F(FileSystemBrowserXrc, CreatedWithSkinnedButtonsAndBitmaps)
{
    wxXmlResource* global = wxXmlResource::Set(&resources); // the one the control reads its bitmaps from
    load(panelXrc("<object class=\"zil::CFileSystemBrowserControl\" name=\"browser\"/>"));
    wxXmlResource::Set(global);
    auto* browser = find<Control>("browser");
    ASSERT_TRUE(browser);
    for (int id : {Control::kBackId, Control::kForwardId, Control::kUpId, Control::kRefreshId}) {
        auto* button = dynamic_cast<CSlickButton*>(browser->FindWindow(id));
        ASSERT_TRUE(button) << id;
        EXPECT_TRUE(button->GetBitmap().IsOk()) << id;
    }
    ASSERT_TRUE(browser->getList()->GetImageList(wxIMAGE_LIST_SMALL));
    EXPECT_EQ(browser->getList()->GetImageList(wxIMAGE_LIST_SMALL)->GetImageCount(), 4);
}

} // namespace
} // namespace zilui::test
