// SPDX-License-Identifier: MIT
#include <zilui/slick/skin.h>

#include "liveskins.h"

#include <zilui/graphics/resourcemanager.h>

#include <zil/filesystem.h>
#include <zil/folderwatch.h>
#include <zil/log.h>

#include <wx/app.h>
#include <wx/module.h>
#include <wx/timer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace zilui {

namespace {

// The watch thread hands news to the application, which goes away in wxWidgets' clean-up while
// the thread may still be inside a listener (releasing a listener does not wait for it).
// Modules end before the application object is deleted; from then on news is dropped.
std::mutex g_postMutex;
bool g_appEnded = false;

void postToApp(std::function<void()> news)
{
    std::lock_guard<std::mutex> lock(g_postMutex);
    if (!g_appEnded && wxTheApp)
        wxTheApp->CallAfter(std::move(news));
}

class CLiveSkinsModule : public wxModule {
public:
    bool OnInit() override
    {
        std::lock_guard<std::mutex> lock(g_postMutex);
        g_appEnded = false;
        return true;
    }
    void OnExit() override
    {
        std::lock_guard<std::mutex> lock(g_postMutex);
        g_appEnded = true;
    }

private:
    wxDECLARE_DYNAMIC_CLASS(CLiveSkinsModule);
};

wxIMPLEMENT_DYNAMIC_CLASS(CLiveSkinsModule, wxModule);

} // namespace

namespace live {

struct PictureNote {
    zil::String title;
    double factor;
};

// The notes of the link loading on this thread; a skin is only read on the GUI thread, but a
// thread-local keeps a stray read elsewhere out of them.
thread_local std::vector<PictureNote>* t_notes = nullptr;

void notePicture(const zil::String& title, double factor)
{
    if (t_notes)
        t_notes->push_back({title, factor});
}

// Collects the picture notes of the loads run while it lives.
class CNoteScope {
public:
    CNoteScope() : m_outer(t_notes) { t_notes = &notes; }
    ~CNoteScope() { t_notes = m_outer; }
    CNoteScope(const CNoteScope&) = delete;
    CNoteScope& operator=(const CNoteScope&) = delete;
    std::vector<PictureNote> notes;

private:
    std::vector<PictureNote>* m_outer;
};

} // namespace live

namespace {

int64_t systemMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool environmentAsksForLiveSkins()
{
    const char* value = std::getenv("ZILUI_LIVE_SKINS");
    return value && *value && std::strcmp(value, "0") != 0;
}

} // namespace

class CSlickSkinLink::CImpl {
public:
    CImpl(const zil::Path& path, Reload reload);
    ~CImpl();

    void loadFirst(const std::function<void()>& load);
    // A notice about `name` in `folder` (empty: anything there may have changed).
    void heard(const zil::String& folder, const zil::String& name);
    void darkChanged();
    // Folders of the skin's files, for the registry to listen to.
    std::set<zil::String> folders() const;

private:
    void learnFiles(const std::vector<live::PictureNote>& notes);
    bool darkWanted() const;
    void schedule();
    void onTimer(wxTimerEvent&);
    void read();

    zil::Path m_path;
    Reload m_reload;
    // The skin file found for m_path and its dark variant beside it (which may not exist).
    zil::Path m_file;
    zil::Path m_darkFile;
    // Per folder, the stems of the pictures the skin has named there (CResourceManager::
    // getPictureStem), also those since deleted, so that their return is noticed.
    std::map<zil::String, std::set<zil::String>> m_pictureStems;
    bool m_darkApplied = false;
    int64_t m_lastRead = 0;
    bool m_hasRead = false;
    // The message of the fault last logged, so that a file that keeps failing alike logs once.
    std::string m_lastFault;
    wxTimer m_timer;
};

namespace {

// Every link of the process, the folders listened to for them and the dark preference. Lives
// to the end of the process: the watch thread may still post to it. GUI thread only, but for
// the clock and the counters.
class CRegistry {
public:
    static CRegistry& get()
    {
        static CRegistry* instance = new CRegistry();
        return *instance;
    }

    void add(CSlickSkinLink::CImpl* link)
    {
        startFollowingDark();
        m_links.insert(link);
        listenFor(*link);
    }
    void remove(CSlickSkinLink::CImpl* link) { m_links.erase(link); }

    bool live()
    {
        if (!m_liveKnown) {
            m_liveKnown = true;
            m_live = environmentAsksForLiveSkins();
        }
        return m_live;
    }

    void setLive(bool live)
    {
        m_liveKnown = true;
        if (m_live == live)
            return;
        m_live = live;
        if (!live) {
            m_listeners.clear();
            return;
        }
        for (CSlickSkinLink::CImpl* link : m_links)
            listenFor(*link);
    }

    // Listens to the folders of `link`'s files while live reloading is on.
    void listenFor(const CSlickSkinLink::CImpl& link)
    {
        if (!live())
            return;
        for (const zil::String& folder : link.folders()) {
            if (folder.empty() || m_listeners.count(folder))
                continue;
            std::string reason;
            std::shared_ptr<void> handle = zil::CFolderWatch::listen(
                zil::Path(folder).toAPIPath(), [folder](const std::string& name) {
                    // On the watch thread: only hand the news to the GUI thread.
                    postToApp([folder, name] { CRegistry::get().heard(folder, zil::String::fromUTF8(name)); });
                },
                reason);
            if (!handle)
                zil::logWarning(L"Cannot follow changes of the skin folder '" + folder +
                                L"': " + zil::String::fromUTF8(reason) + L". Ignoring.");
            // Kept also when null, so that the failure is logged once.
            m_listeners[folder] = handle;
        }
    }

    void heard(const zil::String& folder, const zil::String& name)
    {
        if (!live())
            return;
        m_notices.fetch_add(1, std::memory_order_relaxed);
        // A copy: a reload may make or drop skins of a cache.
        const std::vector<CSlickSkinLink::CImpl*> links(m_links.begin(), m_links.end());
        for (CSlickSkinLink::CImpl* link : links)
            if (m_links.count(link))
                link->heard(folder, name);
    }

    bool dark()
    {
        startFollowingDark();
        return m_dark;
    }

    int64_t now() const
    {
        const CSlickLiveSkins::Clock clock = m_clock.load();
        return clock ? clock() : systemMilliseconds();
    }
    void setClock(CSlickLiveSkins::Clock clock) { m_clock.store(clock); }

    std::atomic<uint64_t> m_reads{0};
    std::atomic<uint64_t> m_notices{0};

private:
    void startFollowingDark()
    {
        if (m_followingDark)
            return;
        m_followingDark = true;
        m_dark = followDarkPreference([this](bool dark) {
            m_dark = dark;
            const std::vector<CSlickSkinLink::CImpl*> links(m_links.begin(), m_links.end());
            for (CSlickSkinLink::CImpl* link : links)
                if (m_links.count(link))
                    link->darkChanged();
        });
    }

    std::set<CSlickSkinLink::CImpl*> m_links;
    std::map<zil::String, std::shared_ptr<void>> m_listeners;
    bool m_live = false;
    bool m_liveKnown = false;
    bool m_dark = false;
    bool m_followingDark = false;
    std::atomic<CSlickLiveSkins::Clock> m_clock{nullptr};
};

} // namespace

CSlickSkinLink::CImpl::CImpl(const zil::Path& path, Reload reload) : m_path(path), m_reload(std::move(reload))
{
    m_timer.Bind(wxEVT_TIMER, &CImpl::onTimer, this);
}

CSlickSkinLink::CImpl::~CImpl()
{
    CRegistry::get().remove(this);
}

void CSlickSkinLink::CImpl::loadFirst(const std::function<void()>& load)
{
    {
        live::CNoteScope scope;
        load();
        learnFiles(scope.notes);
    }
    m_lastRead = CRegistry::get().now();
    m_hasRead = true;
    CRegistry::get().add(this);
    if (darkWanted())
        read();
}

std::set<zil::String> CSlickSkinLink::CImpl::folders() const
{
    std::set<zil::String> result;
    if (!m_file.isEmpty())
        result.insert(m_file.getParent().str());
    for (const auto& [folder, stems] : m_pictureStems)
        result.insert(folder);
    return result;
}

void CSlickSkinLink::CImpl::learnFiles(const std::vector<live::PictureNote>& notes)
{
    const zil::P<CResourceManager>& resources = CResourceManager::get();
    const zil::Path file = resources->findResource(m_path);
    if (!file.isEmpty()) {
        m_file = file.makeAbsolute().normalize();
        m_darkFile = CSlickLiveSkins::getDarkVariantPath(m_file);
    }
    for (const live::PictureNote& note : notes) {
        const zil::Path picture = resources->findResourceByTitle(note.title, zil::String(), note.factor);
        if (!picture.isEmpty())
            m_pictureStems[picture.getParent().str()].insert(CResourceManager::getPictureStem(picture.getFileName()));
    }
}

bool CSlickSkinLink::CImpl::darkWanted() const
{
    return !m_darkFile.isEmpty() && CRegistry::get().dark() && zil::fileExists(m_darkFile);
}

void CSlickSkinLink::CImpl::heard(const zil::String& folder, const zil::String& name)
{
    bool relevant = name.empty();
    if (!m_file.isEmpty() && folder == m_file.getParent().str() &&
        (name == m_file.getFileName() || name == m_darkFile.getFileName()))
        relevant = true;
    const auto stems = m_pictureStems.find(folder);
    if (stems != m_pictureStems.end() && (name.empty() || stems->second.count(CResourceManager::getPictureStem(name)))) {
        // The next read must find the picture on disk, not in the resource manager's caches.
        if (name.empty())
            for (const zil::String& stem : stems->second)
                CResourceManager::get()->forgetFile(zil::Path(folder) / zil::Path(stem));
        else
            CResourceManager::get()->forgetFile(zil::Path(folder) / zil::Path(name));
        relevant = true;
    }
    if (relevant)
        schedule();
}

void CSlickSkinLink::CImpl::darkChanged()
{
    if (darkWanted() != m_darkApplied)
        read();
}

void CSlickSkinLink::CImpl::schedule()
{
    if (m_timer.IsRunning())
        return;
    const int64_t wait = m_lastRead + CSlickLiveSkins::kMinReadIntervalMs - CRegistry::get().now();
    if (!m_hasRead || wait <= 0)
        read();
    else
        m_timer.StartOnce(int(std::min<int64_t>(wait, CSlickLiveSkins::kMinReadIntervalMs)));
}

void CSlickSkinLink::CImpl::onTimer(wxTimerEvent&)
{
    schedule();
}

void CSlickSkinLink::CImpl::read()
{
    CRegistry& registry = CRegistry::get();
    m_lastRead = registry.now();
    m_hasRead = true;
    registry.m_reads.fetch_add(1, std::memory_order_relaxed);
    const bool dark = darkWanted();
    try {
        live::CNoteScope scope;
        const zil::Path file = CResourceManager::get()->findResource(m_path);
        if (file.isEmpty())
            throw zil::CError(L"No skin file is found for '" + m_path.str() + L"'.", zil::String(), -1);
        m_reload(file, dark ? m_darkFile : zil::Path());
        m_darkApplied = dark;
        learnFiles(scope.notes);
        m_lastFault.clear();
    } catch (const std::exception& e) {
        if (e.what() != m_lastFault) {
            m_lastFault = e.what();
            zil::logError(e, L"Cannot read the skin '" + m_path.str() +
                                 L"' again; its controls keep the last good look. Ignoring.");
        }
    }
    registry.listenFor(*this);
}

CSlickSkinLink::CSlickSkinLink(const zil::Path& path, Reload reload) : m_impl(new CImpl(path, std::move(reload))) {}

CSlickSkinLink::~CSlickSkinLink() = default;

void CSlickSkinLink::loadFirst(const std::function<void()>& load)
{
    m_impl->loadFirst(load);
}

void CSlickLiveSkins::setLiveReload(bool live)
{
    CRegistry::get().setLive(live);
}

bool CSlickLiveSkins::getLiveReload()
{
    return CRegistry::get().live();
}

bool CSlickLiveSkins::getDesktopPrefersDark()
{
    return CRegistry::get().dark();
}

zil::Path CSlickLiveSkins::getDarkVariantPath(const zil::Path& path)
{
    const zil::String name = path.getFileName();
    const size_t dot = name.rfind(L'.');
    const zil::String dark = dot == zil::String::npos || dot == 0 ? name + L".dark"
                                                                  : name.substr(0, dot) + L".dark" + name.substr(dot);
    const zil::Path folder = path.getParent();
    return folder.isEmpty() ? zil::Path(dark) : folder / zil::Path(dark);
}

uint64_t CSlickLiveSkins::getReadCount()
{
    return CRegistry::get().m_reads.load(std::memory_order_relaxed);
}

uint64_t CSlickLiveSkins::getNoticeCount()
{
    return CRegistry::get().m_notices.load(std::memory_order_relaxed);
}

void CSlickLiveSkins::setClock(Clock clock)
{
    CRegistry::get().setClock(clock);
}

} // namespace zilui
