// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/action.h>

#include <zil/containers.h>
#include <zil/filesystem.h>
#include <zil/mutex.h>
#include <zil/thread.h>
#include <zil/uri.h>

#include <wx/panel.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class wxButton;
class wxImageList;
class wxListEvent;
class wxListView;
class wxStaticText;
class wxWindowDestroyEvent;

namespace zilui {

class IButtonCreator;
class CFileSystemBrowserList;

// Browses the folders of a zil::IFileSystem: Back, Forward, Up and Refresh above a list of the
// active folder, folders first. Folders are read on a worker thread, one per load; the GUI
// thread only merges finished results, and the list is virtual, so a folder of 100,000
// entries costs what the visible rows cost. Results of a load that was superseded, or that
// arrive after the control is gone, are dropped.
class CFileSystemBrowserControl : public wxPanel {
public:
    // typeOther: a device, FIFO or socket; kept among the sub-items, never listed.
    enum ItemType { typeOther = 0, typeFile = 1, typeFolder = 2 };

    class CItem : public zil::CBase {
    public:
        zil::CURI uri;
        int type = typeFile;
        int64_t size = 0;
        zil::TMap<zil::String, zil::P<CItem>> subItems; // by entry name
        bool loaded = false;
        int64_t loadId = -1; // -1: no load pending
        // The folders and files of subItems as the list shows them (folders, then files,
        // case-blind by name); kept by the control together with subItems, so a rebuild
        // needs no sorting.
        zil::TArray<zil::P<CItem>> listOrder;
    };

    class IListener {
    public:
        virtual ~IListener() = default;
        // After every rebuild of the list.
        virtual void onContentsChanged(CFileSystemBrowserControl* control) = 0;
        // After the active folder changed, and after the rebuild that caused.
        virtual void onActiveFolderChanged(CFileSystemBrowserControl* control) = 0;
    };

    // Links load results to the control; unlinked (under the mutex) when the control goes,
    // so that actions still queued and threads still running deliver nothing.
    class CUpdateForwarder : public zil::CBase {
    public:
        // What a load thread hands to the GUI thread.
        struct CResult {
            zil::TMap<zil::String, zil::P<CItem>> items;
            zil::TArray<zil::P<CItem>> listOrder;
        };

        class CUpdateSubItemsAction : public CAction {
        public:
            CUpdateSubItemsAction(CUpdateForwarder* forwarder, const zil::CURI& folder, int64_t loadId,
                                  CResult&& result);
            void performAction() override;

        private:
            zil::P<CUpdateForwarder> m_forwarder;
            zil::CURI m_folder;
            int64_t m_loadId;
            CResult m_result;
        };

        explicit CUpdateForwarder(CFileSystemBrowserControl* control) : m_control(control) {}
        void unlink();

    private:
        zil::CMutex m_mutex;
        CFileSystemBrowserControl* m_control; // weak, cleared by unlink()
    };

    // Lists one folder, reads each entry's information and posts the result. Never joined
    // or stopped: when the control is gone, the result is simply dropped.
    class CSubItemLoadThread : public zil::CThread {
    public:
        // `previous`: the folder's items before a refresh; those unchanged are taken over.
        CSubItemLoadThread(zil::IFileSystem* fileSystem, CUpdateForwarder* forwarder, const zil::CURI& folder,
                           int64_t loadId, zil::TMap<zil::String, zil::P<CItem>> previous = {});
        // Released by the thread once its result is posted: freed on another thread meanwhile,
        // it would compete with the load for the processor and the heap.
        void freeAfterDelivery(std::shared_ptr<void> garbage) { m_garbage = std::move(garbage); }

    protected:
        void run() override;

    private:
        zil::P<zil::IFileSystem> m_fileSystem;
        zil::P<CUpdateForwarder> m_forwarder;
        zil::CURI m_folder;
        int64_t m_loadId;
        zil::TMap<zil::String, zil::P<CItem>> m_previous;
        std::shared_ptr<void> m_garbage;
    };

    static constexpr int kBackId = 13776;
    static constexpr int kForwardId = 13777;
    static constexpr int kUpId = 13778;
    static constexpr int kRefreshId = 13779;
    static constexpr int kFolderTextId = 13780;
    static constexpr int kListId = 13781;

    CFileSystemBrowserControl();
    // Creates the window with the default position, size and style when `parent` is set.
    CFileSystemBrowserControl(wxWindow* parent, IButtonCreator* buttonCreator);
    ~CFileSystemBrowserControl() override;

    bool Create(wxWindow* parent, int id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = wxTAB_TRAVERSAL | wxNO_BORDER,
                const wxString& name = wxASCII_STR(wxPanelNameStr));

    // wxWindow
    bool Layout() override;

    // Forgets every cache and history, then shows `initialFolder`; Up stops at `root`.
    void init(zil::IFileSystem* fileSystem, const zil::CURI& root, const zil::CURI& initialFolder);
    void setActiveFolder(const zil::CURI& folder);
    const zil::CURI& getActiveFolder() const { return m_activeFolder; }
    // Reads the active folder again; a load still running for it is superseded.
    void refreshActiveFolder();

    // In row order; the loading and empty rows have no item.
    void getSelectedItems(zil::TList<zil::P<CItem>>& items);
    void getSelectedItemURIs(zil::TList<zil::CURI>& uris);
    void setSingleSelection(bool single);

    void setListenerWeak(IListener* listener) { m_listener = listener; }
    // Used by Create(); set it before.
    void setButtonCreator(IButtonCreator* creator);

    // The navigation of the toolbar and of row activation, callable from code.
    void goBack();
    void goForward();
    void goUp();
    // Opens the folder of `row`; other rows do nothing.
    void activateRow(long row);

    const zil::TList<zil::CURI>& getBackHistory() const { return m_backHistory; }
    const zil::TList<zil::CURI>& getForwardHistory() const { return m_forwardHistory; }
    zil::P<CItem> getCachedItem(const zil::CURI& uri) const;
    // The items of the rows; empty while a placeholder row is shown.
    const zil::TArray<zil::P<CItem>>& getRowItems() const;
    wxListView* getList() const;

protected:
    virtual zil::String getActiveFolderText(const zil::CURI& folder);
    virtual zil::CURI getParentURI(const zil::CURI& folder);

private:
    friend class CFileSystemBrowserList;

    // `forNextLoad`: what is dropped is freed by the next load rather than at once.
    void deinit(bool forNextLoad = false);
    void createChildren();
    // `previous` goes to the load that the rebuild starts, if it starts one.
    void updateListItems(zil::TMap<zil::String, zil::P<CItem>>* previous = nullptr);
    void updateButtons();
    void updateSubItems(const zil::CURI& folder, int64_t loadId, CUpdateForwarder::CResult& result);
    void pushBack(const zil::CURI& uri);
    // The entry for `uri` (normalised) in its folder's listing, or null.
    zil::P<CItem> findListedItem(const zil::CURI& uri) const;
    void onButton(wxCommandEvent& event);
    void onItemActivated(wxListEvent& event);
    void onDestroy(wxWindowDestroyEvent& event);

    zil::P<zil::IFileSystem> m_fileSystem;
    zil::CURI m_root;
    zil::CURI m_activeFolder;
    zil::P<CItem> m_activeItem;
    // Folders shown so far, by normalised URI; their entries live in their subItems only.
    zil::TMap<zil::String, zil::P<CItem>> m_itemCache;
    zil::TList<zil::CURI> m_backHistory; // most recent first
    zil::TList<zil::CURI> m_forwardHistory;
    int64_t m_nextLoadId = 0;
    bool m_singleSelection = false;
    IListener* m_listener = nullptr;
    zil::P<IButtonCreator> m_buttonCreator;
    zil::P<CUpdateForwarder> m_forwarder;
    std::shared_ptr<void> m_garbage; // for the next load to free; see deinit()

    wxButton* m_backButton = nullptr;
    wxButton* m_forwardButton = nullptr;
    wxButton* m_upButton = nullptr;
    wxButton* m_refreshButton = nullptr;
    wxStaticText* m_folderText = nullptr;
    CFileSystemBrowserList* m_list = nullptr;
    wxImageList* m_imageList = nullptr; // owned by the list
    int m_folderImage = -1, m_fileImage = -1, m_loadingImage = -1, m_emptyImage = -1;

    wxDECLARE_DYNAMIC_CLASS(CFileSystemBrowserControl);
};

} // namespace zilui
