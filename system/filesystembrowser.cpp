// SPDX-License-Identifier: MIT
#include <zilui/system/filesystembrowser.h>

#include "browserlisting.h"
#include "gtk/listaccessible.h"

#include "../slick/gtk/accessible.h"

#include <zilui/app/datafolder.h>
#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/slick/buttoncreator.h>

#include <zil/error.h>
#include <zil/log.h>

#include <wx/button.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <typeinfo>
#include <utility>

namespace zilui {

// Virtual, so that a rebuild costs the visible rows: texts and images are asked for per row
// as the list paints them.
class CFileSystemBrowserList : public wxListView {
public:
    explicit CFileSystemBrowserList(CFileSystemBrowserControl* owner) : m_owner(owner) {}

    // Rows of the active item's list order, or one placeholder row when `rows` is null.
    void show(const zil::TArray<zil::P<CFileSystemBrowserControl::CItem>>* rows, const wxString& placeholder,
              int placeholderImage)
    {
        DeleteAllItems();
        m_rows = rows;
        m_placeholder = placeholder;
        m_placeholderImage = placeholderImage;
        SetItemCount(rows ? static_cast<long>(rows->size()) : 1);
        gtk::listRowsReplaced(*this);
        Refresh();
    }
    const zil::TArray<zil::P<CFileSystemBrowserControl::CItem>>* rows() const { return m_rows; }

    // What wxLIST_AUTOSIZE gives, from the rows on the first page only: wxWidgets measures
    // every row of a virtual list, which is most of a rebuild at 100,000 rows.
    int autoWidth(long column) const
    {
        const long count = GetItemCount();
        const long first = std::clamp(GetTopItem(), 0L, std::max(count - 1, 0L));
        const long last = std::min(count, first + std::max(GetCountPerPage(), 1) + 1);
        int width = 0;
        for (long row = first; row < last; ++row)
            width = std::max(width, GetTextExtent(OnGetItemText(row, column)).x);
        const wxImageList* images = GetImageList(wxIMAGE_LIST_SMALL);
        if (column == 0 && images && images->GetImageCount() > 0)
            width += images->GetSize().x + FromDIP(5);
        return width + FromDIP(10);
    }

    wxString OnGetItemText(long row, long column) const override
    {
        if (!m_rows)
            return column == 0 ? m_placeholder : wxString();
        if (row < 0 || static_cast<size_t>(row) >= m_rows->size())
            return wxString();
        const auto& item = (*m_rows)[static_cast<size_t>(row)];
        if (column == 0)
            return toWX(item->uri.getName());
        if (item->type != CFileSystemBrowserControl::typeFile)
            return wxString();
        try {
            return toWX(zil::getHumanReadableFileSize(item->size, 1, -1, 1024.0));
        } catch (const zil::CError&) {
            return wxString(); // a negative size from a foreign file system
        }
    }
    int OnGetItemImage(long row) const override
    {
        if (!m_rows)
            return m_placeholderImage;
        if (row < 0 || static_cast<size_t>(row) >= m_rows->size())
            return -1;
        return (*m_rows)[static_cast<size_t>(row)]->type == CFileSystemBrowserControl::typeFolder
                   ? m_owner->m_folderImage
                   : m_owner->m_fileImage;
    }

private:
    CFileSystemBrowserControl* m_owner;
    const zil::TArray<zil::P<CFileSystemBrowserControl::CItem>>* m_rows = nullptr; // the active item's
    wxString m_placeholder;
    int m_placeholderImage = -1;
};

namespace {

const zil::TArray<zil::P<CFileSystemBrowserControl::CItem>> kNoRows;

// Freeing a million rows takes longer than the GUI thread may be busy in one go: what is
// big goes to a thread of its own to die there.
class CDisposalThread : public zil::CThread {
public:
    explicit CDisposalThread(std::shared_ptr<void> what) : m_what(std::move(what)) { setName(L"zilui-fsdispose"); }

protected:
    void run() override { m_what.reset(); }

private:
    std::shared_ptr<void> m_what;
};

constexpr size_t kDisposeInline = 4096; // rows; fewer are freed where they are
constexpr int kListMinLength = 60;        // logical pixels

void dispose(std::shared_ptr<void> what, size_t rows)
{
    if (!what || rows < kDisposeInline)
        return;
    try {
        zil::P<CDisposalThread> thread(new CDisposalThread(std::move(what)));
        thread->start();
        thread->detach();
    } catch (const zil::CError& e) {
        zil::logError(e, L"CFileSystemBrowserControl: Cannot free rows on a thread. Freeing them here.");
    }
}

// Empties the contents of `item`, freeing them elsewhere when big.
void disposeContents(CFileSystemBrowserControl::CItem& item)
{
    struct Contents {
        zil::TMap<zil::String, zil::P<CFileSystemBrowserControl::CItem>> subItems;
        zil::TArray<zil::P<CFileSystemBrowserControl::CItem>> listOrder;
    };
    const size_t rows = std::max(item.subItems.size(), item.listOrder.size());
    auto contents = std::make_shared<Contents>(Contents{std::move(item.subItems), std::move(item.listOrder)});
    item.subItems.clear();
    item.listOrder.clear();
    dispose(std::move(contents), rows);
}

// The library ships the browser's bitmaps in its own XRC file; a program that loaded its own
// (with the same names) keeps those.
wxBitmap loadBrowserBitmap(const char* name)
{
    wxXmlResource* resources = wxXmlResource::Get();
    if (!resources->GetResourceNode(name)) {
        const zil::Path library = getLibraryDataPath();
        const zil::Path file = library / zil::Path(L"res/FileSystemBrowser.xrc");
        if (!library.isEmpty() && zil::fileExists(file))
            resources->Load(toWX(file.str()));
        if (!resources->GetResourceNode(name)) {
            zil::logError(L"CFileSystemBrowserControl: bitmap resource '" + zil::String(name) +
                          L"' not found. Ignoring.");
            return wxBitmap();
        }
    }
    return resources->LoadBitmap(name);
}

} // namespace

// CUpdateForwarder

void CFileSystemBrowserControl::CUpdateForwarder::unlink()
{
    zil::CMutexLock lock(m_mutex);
    m_control = nullptr;
}

CFileSystemBrowserControl::CUpdateForwarder::CUpdateSubItemsAction::CUpdateSubItemsAction(
    CUpdateForwarder* forwarder, const zil::CURI& folder, int64_t loadId, CResult&& result)
    : m_forwarder(forwarder), m_folder(folder), m_loadId(loadId), m_result(std::move(result))
{
}

void CFileSystemBrowserControl::CUpdateForwarder::CUpdateSubItemsAction::performAction()
{
    {
        zil::CMutexLock lock(m_forwarder->m_mutex);
        if (m_forwarder->m_control)
            m_forwarder->m_control->updateSubItems(m_folder, m_loadId, m_result);
    }
    // A result that was dropped (superseded, or the control gone) is freed elsewhere when big.
    const size_t rows = std::max(m_result.items.size(), m_result.listOrder.size());
    dispose(std::make_shared<CResult>(std::move(m_result)), rows);
}

// CSubItemLoadThread

CFileSystemBrowserControl::CSubItemLoadThread::CSubItemLoadThread(
    zil::IFileSystem* fileSystem, CUpdateForwarder* forwarder, const zil::CURI& folder, int64_t loadId,
    zil::TMap<zil::String, zil::P<CItem>> previous)
    : m_fileSystem(fileSystem), m_forwarder(forwarder), m_folder(folder), m_loadId(loadId),
      m_previous(std::move(previous))
{
    setName(L"zilui-fsbrowser");
}

void CFileSystemBrowserControl::CSubItemLoadThread::run()
{
    CUpdateForwarder::CResult result;
    try {
        CBrowserListing listing;
        zil::TArray<zil::IFileSystem::EntryInfo> entries;
        try {
            // The local disk is read straight into the listing, without an entry record and
            // URI per name on the way. Only the process's own instance: a class derived from
            // it may list differently.
            const zil::IFileSystem& fileSystem = *m_fileSystem;
            if (m_folder.isLocal() && typeid(fileSystem) == typeid(zil::CLocalFileSystem))
                readLocalFolder(m_folder, listing);
            else
                m_fileSystem->listFolder(m_folder, entries);
        } catch (const std::exception& e) {
            // What was read before the failure is still shown.
            zil::logError(e, L"CFileSystemBrowserControl: Error loading the contents of '" + m_folder.toString() +
                                 L"'. Ignoring.");
        }
        for (auto& entry : entries) {
            try {
                if (entry.uri.isEmpty())
                    entry.uri = m_folder.join(entry.name);
                // Only what the listing could not tell (a link, an odd name) costs a second look.
                if (entry.type == zil::IFileSystem::EntryType::other) {
                    const zil::IFileSystem::EntryInfo info = m_fileSystem->getEntryInfo(entry.uri);
                    entry.type = info.type;
                    entry.size = info.size;
                }
                listing.add(entry.name, static_cast<int>(entry.type), entry.size, std::move(entry.uri));
            } catch (const std::exception& e) {
                zil::logError(e, L"Error initializing item from '" +
                                     (entry.uri.isEmpty() ? m_folder.toString() + L"/" + entry.name
                                                          : entry.uri.toString()) +
                                     L"' in CFileSystemBrowserControl. Ignoring.");
            }
        }
        entries = {};
        listing.finish(m_folder, m_previous, result);
    } catch (const std::exception& e) {
        // Out of memory and the like: deliver what there is, so the folder does not stay
        // "Loading" for ever.
        zil::logError(e, L"CFileSystemBrowserControl: Error loading the contents of '" + m_folder.toString() +
                             L"'. Ignoring.");
    }
    try {
        zil::P<CAction>(new CUpdateForwarder::CUpdateSubItemsAction(m_forwarder.get(), m_folder, m_loadId,
                                                                     std::move(result)))
            ->post();
    } catch (const std::exception& e) {
        zil::logError(e, L"CFileSystemBrowserControl: Cannot deliver the contents of '" + m_folder.toString() +
                             L"'. Ignoring.");
    }
    // Entries gone since the last load, and what the control dropped: freed here, after the
    // result is on its way, not on the GUI thread.
    m_previous.clear();
    m_garbage.reset();
}

// CFileSystemBrowserControl

wxIMPLEMENT_DYNAMIC_CLASS(CFileSystemBrowserControl, wxPanel);

CFileSystemBrowserControl::CFileSystemBrowserControl() = default;

CFileSystemBrowserControl::CFileSystemBrowserControl(wxWindow* parent, IButtonCreator* buttonCreator)
    : m_buttonCreator(buttonCreator)
{
    if (parent)
        Create(parent);
}

CFileSystemBrowserControl::~CFileSystemBrowserControl()
{
    // A plain `delete` sends the destroy event only after this object is gone.
    Unbind(wxEVT_DESTROY, &CFileSystemBrowserControl::onDestroy, this);
    try {
        deinit();
    } catch (const std::exception& e) {
        zil::onExceptionInDestructorIgnored(e, L"zilui::CFileSystemBrowserControl");
    }
}

void CFileSystemBrowserControl::setButtonCreator(IButtonCreator* creator)
{
    m_buttonCreator = creator;
}

bool CFileSystemBrowserControl::Create(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size, long style,
                                       const wxString& name)
{
    if (!wxPanel::Create(parent, id, pos, size, style, name))
        return false;
    createChildren();
    Bind(wxEVT_DESTROY, &CFileSystemBrowserControl::onDestroy, this);
    updateButtons();
    return true;
}

void CFileSystemBrowserControl::createChildren()
{
    const double s = GetContentScaleFactor();
    const auto scaled = [s](double length) { return static_cast<int>(std::lround(length * s)); };
    const struct {
        int id;
        const char* bitmap;
        zil::String tip;
        wxButton** button;
    } buttons[] = {
        {kBackId, "fileSystemBrowser_back", ZILUI_TR("Back"), &m_backButton},
        {kForwardId, "fileSystemBrowser_forward", ZILUI_TR("Forward"), &m_forwardButton},
        {kUpId, "fileSystemBrowser_up", ZILUI_TR("Up"), &m_upButton},
        {kRefreshId, "fileSystemBrowser_refresh", ZILUI_TR("Refresh"), &m_refreshButton},
    };
    for (const auto& b : buttons) {
        const wxBitmap bitmap = loadBrowserBitmap(b.bitmap);
        // Without its picture a button says what it does.
        const zil::String label = bitmap.IsOk() ? zil::String() : b.tip;
        wxButton* button = m_buttonCreator ? m_buttonCreator->createButton(this, b.id, label)
                                           : new wxButton(this, b.id, toWX(label), wxDefaultPosition,
                                                          wxDefaultSize, label.isEmpty() ? wxBU_EXACTFIT : 0);
        if (bitmap.IsOk()) {
            button->SetBitmap(bitmap);
            // Skinned buttons paint the disabled state's own bitmap, and Back starts disabled.
            button->SetBitmapDisabled(bitmap.ConvertToDisabled());
        }
        button->SetToolTip(toWX(b.tip));
        // A picture has no name a screen reader could say.
        gtk::setAccessibleName(button, toWX(b.tip));
        button->Bind(wxEVT_BUTTON, &CFileSystemBrowserControl::onButton, this);
        *b.button = button;
    }
    m_folderText = new wxStaticText(this, kFolderTextId, wxString(), wxDefaultPosition, wxDefaultSize,
                                    wxST_ELLIPSIZE_MIDDLE);
    // Shortened to what is left beside the buttons, down to nothing; never what widens the toolbar.
    m_folderText->SetMinSize(wxSize(0, -1));

    auto* toolbar = new wxBoxSizer(wxHORIZONTAL);
    toolbar->Add(m_backButton);
    toolbar->AddSpacer(scaled(2));
    toolbar->Add(m_forwardButton);
    toolbar->AddSpacer(scaled(10));
    toolbar->Add(m_upButton);
    toolbar->AddSpacer(scaled(10));
    toolbar->Add(m_refreshButton);
    toolbar->AddSpacer(scaled(10));
    toolbar->Add(m_folderText, 1, wxALIGN_CENTER_VERTICAL);

    m_list = new CFileSystemBrowserList(this);
    m_list->Create(this, kListId, wxDefaultPosition, wxDefaultSize,
                   wxLC_REPORT | wxLC_VIRTUAL | (m_singleSelection ? wxLC_SINGLE_SEL : 0));
    m_list->AppendColumn(toWX(ZILUI_TR("Name")), wxLIST_FORMAT_LEFT);
    m_list->AppendColumn(toWX(ZILUI_TR("Size")), wxLIST_FORMAT_RIGHT);
    gtk::installListAccessible(*m_list);
    const wxBitmap images[] = {loadBrowserBitmap("fileSystemBrowser_folder"),
                               loadBrowserBitmap("fileSystemBrowser_file"),
                               loadBrowserBitmap("fileSystemBrowser_loading"),
                               loadBrowserBitmap("fileSystemBrowser_folderEmpty")};
    if (images[0].IsOk()) {
        m_imageList = new wxImageList(images[0].GetWidth(), images[0].GetHeight(), true, 4);
        int* indices[] = {&m_folderImage, &m_fileImage, &m_loadingImage, &m_emptyImage};
        for (int i = 0; i < 4; ++i) {
            wxBitmap image = images[i];
            if (image.IsOk() && image.GetSize() != images[0].GetSize())
                image = wxBitmap(image.ConvertToImage().Rescale(images[0].GetWidth(), images[0].GetHeight(),
                                                                wxIMAGE_QUALITY_HIGH));
            *indices[i] = image.IsOk() ? m_imageList->Add(image) : -1;
        }
        m_list->AssignImageList(m_imageList, wxIMAGE_LIST_SMALL);
    }
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, &CFileSystemBrowserControl::onItemActivated, this);
    // Room for its scroll bars: less is what GTK refuses.
    m_list->SetMinSize(FromDIP(wxSize(kListMinLength, kListMinLength)));

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(toolbar, 0, wxEXPAND);
    sizer->Add(m_list, 1, wxEXPAND);
    SetSizer(sizer);
}

// A sizer squeezes its items below their minimum when the window is smaller than they are
// together, and GTK warns of every widget given less than its borders or scroll bars need (a
// browser narrower than its toolbar, more so with texts for pictures that did not load). The
// toolbar and the list keep their minimum and are cut off at the edge instead; the list still
// fits the window when the window is wide enough for it alone.
bool CFileSystemBrowserControl::Layout()
{
    wxSizer* sizer = GetSizer();
    if (!sizer || sizer->GetItemCount() < 2 || !sizer->GetItem(size_t(0))->IsSizer())
        return wxPanel::Layout();
    const wxSize client = GetClientSize();
    const wxSize min = sizer->CalcMin();
    wxSizer* toolbar = sizer->GetItem(size_t(0))->GetSizer();
    const wxSize toolbarMin = toolbar->CalcMin();
    const int listWidth = std::max(client.x, m_list ? m_list->GetMinSize().x : 0);
    sizer->SetDimension(wxPoint(0, 0), wxSize(listWidth, std::max(client.y, min.y)));
    if (toolbarMin.x > listWidth)
        toolbar->SetDimension(toolbar->GetPosition(), wxSize(toolbarMin.x, toolbar->GetSize().y));
    return true;
}

void CFileSystemBrowserControl::deinit(bool forNextLoad)
{
    if (m_forwarder) {
        m_forwarder->unlink();
        m_forwarder.reset();
    }
    if (m_list)
        m_list->show(nullptr, wxString(), -1);
    m_fileSystem.reset();
    m_activeItem.reset();
    m_activeFolder = zil::CURI();
    size_t rows = 0;
    for (const auto& [key, cached] : m_itemCache)
        rows += cached->subItems.size();
    auto cache = std::make_shared<decltype(m_itemCache)>(std::move(m_itemCache));
    m_itemCache.clear();
    dispose(std::move(m_garbage), kDisposeInline);
    if (forNextLoad && rows >= kDisposeInline)
        m_garbage = std::move(cache);
    else
        dispose(std::move(cache), rows);
    m_backHistory.clear();
    m_forwardHistory.clear();
}

void CFileSystemBrowserControl::onDestroy(wxWindowDestroyEvent& event)
{
    event.Skip();
    if (event.GetEventObject() == this) {
        deinit();
        m_list = nullptr; // being destroyed with us
    }
}

void CFileSystemBrowserControl::init(zil::IFileSystem* fileSystem, const zil::CURI& root,
                                     const zil::CURI& initialFolder)
{
    deinit(true);
    m_fileSystem = fileSystem;
    m_forwarder = new CUpdateForwarder(this);
    m_root = root.normalize();
    zil::P<CItem> rootItem(new CItem);
    rootItem->uri = m_root;
    rootItem->type = typeFolder;
    m_itemCache[m_root.toString()] = rootItem;
    setActiveFolder(initialFolder);
    updateButtons();
    dispose(std::move(m_garbage), kDisposeInline); // no load took it
}

void CFileSystemBrowserControl::setActiveFolder(const zil::CURI& folder)
{
    const zil::CURI uri = folder.normalize();
    if (uri == m_activeFolder)
        return;
    m_activeFolder = uri;
    if (m_folderText)
        m_folderText->SetLabel(toWX(getActiveFolderText(uri)));
    zil::P<CItem>& cached = m_itemCache[uri.toString()];
    if (!cached)
        cached = findListedItem(uri); // the row's object, so that row and folder are one
    if (!cached) {
        cached = new CItem;
        cached->uri = uri;
        cached->type = typeFolder;
    }
    m_activeItem = cached;
    updateButtons();
    updateListItems();
    if (m_listener)
        m_listener->onActiveFolderChanged(this);
}

zil::String CFileSystemBrowserControl::getActiveFolderText(const zil::CURI& folder)
{
    if (folder.isLocal())
        return folder.getLocalPath().str();
    const zil::String& path = folder.getPath();
    const zil::String& rootPath = m_root.getPath();
    // Relative to the root when inside it; otherwise the whole path.
    if (!m_root.isEmpty() && folder.getScheme() == m_root.getScheme() && path.StartsWith(rootPath) &&
        (path.size() == rootPath.size() || rootPath.EndsWith(L"/") || path[rootPath.size()] == L'/')) {
        const zil::String rest = path.substr(rootPath.size());
        return rest.StartsWith(L"/") ? rest : L"/" + rest;
    }
    return path;
}

zil::CURI CFileSystemBrowserControl::getParentURI(const zil::CURI& folder)
{
    return folder.getParent();
}

void CFileSystemBrowserControl::updateListItems(zil::TMap<zil::String, zil::P<CItem>>* previous)
{
    if (!m_list)
        return;
    if (!m_activeItem) {
        m_list->show(nullptr, wxString(), -1);
    } else if (!m_activeItem->loaded) {
        m_list->show(nullptr, toWX(ZILUI_TR("Loading. Please wait...")), m_loadingImage);
        if (m_activeItem->loadId == -1 && m_fileSystem && m_forwarder) {
            const int64_t id = m_nextLoadId++;
            m_activeItem->loadId = id;
            try {
                zil::P<CSubItemLoadThread> thread(new CSubItemLoadThread(
                    m_fileSystem.get(), m_forwarder.get(), m_activeItem->uri, id,
                    previous ? std::move(*previous) : zil::TMap<zil::String, zil::P<CItem>>()));
                thread->freeAfterDelivery(std::move(m_garbage));
                thread->start();
                thread->detach();
            } catch (const zil::CError& e) {
                // No thread: the folder shows as empty rather than loading for ever.
                zil::logError(e, L"CFileSystemBrowserControl: Cannot start loading '" +
                                     m_activeItem->uri.toString() + L"'. Ignoring.");
                m_activeItem->loadId = -1;
                m_activeItem->loaded = true;
            }
        }
    }
    if (m_activeItem && m_activeItem->loaded) {
        if (m_activeItem->listOrder.empty())
            m_list->show(nullptr, toWX(ZILUI_TR("This folder is empty.")), m_emptyImage);
        else
            m_list->show(&m_activeItem->listOrder, wxString(), -1);
    }

    const double s = GetContentScaleFactor();
    m_list->SetColumnWidth(0, std::max(m_list->autoWidth(0), static_cast<int>(std::lround(100 * s))) +
                                  static_cast<int>(std::lround(10 * s)));
    m_list->SetColumnWidth(1, std::max(m_list->autoWidth(1), static_cast<int>(std::lround(75 * s))));
    if (m_listener)
        m_listener->onContentsChanged(this);
}

void CFileSystemBrowserControl::updateSubItems(const zil::CURI& folder, int64_t loadId,
                                               CUpdateForwarder::CResult& result)
{
    const zil::String key = folder.normalize().toString();
    const auto found = m_itemCache.find(key);
    if (found == m_itemCache.end() || found->second->loadId != loadId)
        return; // superseded, or forgotten by init()
    CItem& item = *found->second;
    // Folders visited below this one keep their objects, and with them a load pending or done
    // below them. Only those in the cache are looked at, not every entry: the cache holds
    // visited folders, the entries live in their folder's subItems.
    for (auto cached = m_itemCache.upper_bound(key); cached != m_itemCache.end() && cached->first.StartsWith(key);
         ++cached) {
        if (cached->second->uri.getParent() != item.uri)
            continue;
        const auto child = result.items.find(cached->second->uri.getName());
        if (child == result.items.end() || child->second == cached->second)
            continue;
        // Kind and size of an item are never written once it is shared: a load running for a
        // refresh reads them. What changed kind or size is a new row.
        if (child->second->type != cached->second->type ||
            (child->second->type == typeFile && child->second->size != cached->second->size))
            continue;
        std::replace(result.listOrder.begin(), result.listOrder.end(), child->second, cached->second);
        child->second = cached->second;
    }
    disposeContents(item);
    item.subItems = std::move(result.items);
    item.listOrder = std::move(result.listOrder);
    item.loaded = true;
    item.loadId = -1;
    if (found->second == m_activeItem) {
        updateButtons();
        updateListItems();
    }
}

void CFileSystemBrowserControl::refreshActiveFolder()
{
    if (!m_activeItem)
        return;
    if (m_list)
        m_list->show(nullptr, wxString(), -1); // no row may point into what goes
    // The load takes the entries over, so that those still there keep their objects.
    zil::TMap<zil::String, zil::P<CItem>> previous = std::move(m_activeItem->subItems);
    disposeContents(*m_activeItem);
    m_activeItem->loaded = false;
    m_activeItem->loadId = -1;
    updateListItems(&previous);
    const size_t rows = previous.size();
    dispose(std::make_shared<decltype(previous)>(std::move(previous)), rows); // no load took them
}

void CFileSystemBrowserControl::pushBack(const zil::CURI& uri)
{
    if (!uri.isEmpty())
        m_backHistory.push_front(uri);
}

void CFileSystemBrowserControl::goBack()
{
    if (m_backHistory.empty())
        return;
    const zil::CURI target = m_backHistory.front();
    m_backHistory.pop_front();
    if (!m_activeFolder.isEmpty())
        m_forwardHistory.push_front(m_activeFolder);
    setActiveFolder(target);
    updateButtons();
}

void CFileSystemBrowserControl::goForward()
{
    if (m_forwardHistory.empty())
        return;
    const zil::CURI target = m_forwardHistory.front();
    m_forwardHistory.pop_front();
    pushBack(m_activeFolder);
    setActiveFolder(target);
    updateButtons();
}

void CFileSystemBrowserControl::goUp()
{
    if (m_activeFolder.isEmpty() || m_activeFolder == m_root)
        return;
    const zil::CURI parent = getParentURI(m_activeFolder);
    if (parent.isEmpty())
        return;
    pushBack(m_activeFolder);
    setActiveFolder(parent);
    updateButtons();
}

void CFileSystemBrowserControl::activateRow(long row)
{
    const auto& rows = getRowItems();
    if (row < 0 || static_cast<size_t>(row) >= rows.size())
        return;
    const zil::P<CItem> item = rows[static_cast<size_t>(row)];
    if (item->type != typeFolder)
        return;
    pushBack(m_activeFolder);
    m_forwardHistory.clear();
    setActiveFolder(item->uri);
    updateButtons();
}

void CFileSystemBrowserControl::updateButtons()
{
    if (!m_backButton)
        return;
    bool canGoUp = false;
    if (!m_activeFolder.isEmpty() && m_activeFolder != m_root) {
        try {
            canGoUp = !getParentURI(m_activeFolder).isEmpty();
        } catch (const zil::CError& e) {
            zil::logError(e, L"CFileSystemBrowserControl: Cannot find the parent of '" + m_activeFolder.toString() +
                                 L"'. Ignoring.");
        }
    }
    m_upButton->Enable(canGoUp);
    m_backButton->Enable(!m_backHistory.empty());
    m_forwardButton->Enable(!m_forwardHistory.empty());
    m_refreshButton->Enable(static_cast<bool>(m_activeItem));
}

void CFileSystemBrowserControl::onButton(wxCommandEvent& event)
{
    switch (event.GetId()) {
    case kBackId:
        goBack();
        break;
    case kForwardId:
        goForward();
        break;
    case kUpId:
        goUp();
        break;
    case kRefreshId:
        refreshActiveFolder();
        break;
    default:
        event.Skip();
    }
}

void CFileSystemBrowserControl::onItemActivated(wxListEvent& event)
{
    activateRow(event.GetIndex());
}

const zil::TArray<zil::P<CFileSystemBrowserControl::CItem>>& CFileSystemBrowserControl::getRowItems() const
{
    return m_list && m_list->rows() ? *m_list->rows() : kNoRows;
}

wxListView* CFileSystemBrowserControl::getList() const
{
    return m_list;
}

zil::P<CFileSystemBrowserControl::CItem> CFileSystemBrowserControl::getCachedItem(const zil::CURI& uri) const
{
    const zil::CURI normalized = uri.normalize();
    const auto found = m_itemCache.find(normalized.toString());
    return found == m_itemCache.end() ? findListedItem(normalized) : found->second;
}

zil::P<CFileSystemBrowserControl::CItem> CFileSystemBrowserControl::findListedItem(const zil::CURI& uri) const
{
    const zil::CURI parent = uri.getParent();
    if (parent.isEmpty() || parent == uri)
        return zil::P<CItem>();
    const auto folder = m_itemCache.find(parent.toString());
    if (folder == m_itemCache.end())
        return zil::P<CItem>();
    const auto found = folder->second->subItems.find(uri.getName());
    return found == folder->second->subItems.end() ? zil::P<CItem>() : found->second;
}

void CFileSystemBrowserControl::getSelectedItems(zil::TList<zil::P<CItem>>& items)
{
    const auto& rows = getRowItems();
    if (!m_list)
        return;
    for (long row = m_list->GetFirstSelected(); row != -1; row = m_list->GetNextSelected(row))
        if (static_cast<size_t>(row) < rows.size())
            items.push_back(rows[static_cast<size_t>(row)]);
}

void CFileSystemBrowserControl::getSelectedItemURIs(zil::TList<zil::CURI>& uris)
{
    zil::TList<zil::P<CItem>> items;
    getSelectedItems(items);
    for (const auto& item : items)
        uris.push_back(item->uri);
}

void CFileSystemBrowserControl::setSingleSelection(bool single)
{
    m_singleSelection = single;
    if (m_list)
        m_list->SetSingleStyle(wxLC_SINGLE_SEL, single);
}

} // namespace zilui
