// SPDX-License-Identifier: MIT
#include <zilui/graphics/resourcemanager.h>

#include <zilui/app/datafolder.h>
#include <zilui/app/strings.h>

#include <zil/error.h>
#include <zil/folderwatch.h>
#include <zil/log.h>
#include <zil/process.h>

#include <wx/dcscreen.h>
#include <wx/display.h>
#include <wx/thread.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <sys/stat.h>

namespace zilui {

struct CResourceManager::FolderListing {
    timespec modified{};
    // Sorted by code point, the order of zil::CFileSystemIterator.
    zil::TArray<zil::String> names;
    std::string apiPath;
    // Read when the folder had been unchanged for a while, so no change can share its
    // timestamp with one the listing missed.
    bool trusted = false;
    // Whether the folder joined with a name is normalised already, which spares the check.
    bool joinsNormalized = false;
};

namespace {

using Listing = CResourceManager::FolderListing;

// A folder modified this recently may change again within the same timestamp tick, so a
// listing read then is not reused.
constexpr time_t kSettleSeconds = 2;
std::atomic<CResourceManager::SettleClock> g_settleClock{nullptr};

struct CBaseFolderOverride : public zil::CBase {
    zil::String path;
};

zil::CSafeGlobalSlot<CBaseFolderOverride>& overrideSlot()
{
    static zil::CSafeGlobalSlot<CBaseFolderOverride> slot;
    return slot;
}

zil::CSafeGlobalSlot<CResourceManager>& instanceSlot()
{
    static zil::CSafeGlobalSlot<CResourceManager> slot;
    return slot;
}

// Whether new folders are watched; switched off only to exercise the modification-time check.
std::atomic<bool> g_watchFolders{true};

// Listings of the folders looked at, keyed by the folder's path as given. Never shrinks: it
// holds only the folders resources are searched in.
//
// A watched folder's listing (or, for a missing folder, its absence, through the watch of
// its parent) is reused without asking the file system until a change notice arrives. Where
// no watch can be set, the folder's modification time is checked on every use.
class CFolderListingCache {
public:
    // Null when `folder` is no folder (nothing there, or a file), unless `required`: then
    // the CIOError of zil::CFileSystemIterator. `watched` turns false when the answer came
    // from the modification-time check, which has to be repeated on the next use.
    std::shared_ptr<const Listing> get(const zil::Path& folder, bool required, bool* watched = nullptr)
    {
        Entry* entry;
        std::shared_ptr<const Listing> cached;
        {
            zil::CMutexLock lock(m_mutex);
            entry = &m_entries[folder.str()];
            if (entry->watch && entry->watch->alive.load(std::memory_order_acquire) &&
                entry->watch->changes.load(std::memory_order_acquire) == entry->seen &&
                (entry->listing || !required))
                return entry->listing;
            cached = entry->listing;
        }
        std::string fresh;
        const std::string& apiPath = cached ? cached->apiPath : (fresh = folder.toAPIPath());
        if (entry->watchable.load() && g_watchFolders.load()) {
            bool done = false;
            std::shared_ptr<const Listing> listing = getWatched(folder, apiPath, *entry, required, done);
            if (done)
                return listing;
        }
        if (watched)
            *watched = false;
        struct stat info;
        if (::stat(apiPath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            if (!required)
                return nullptr;
            // The iterator tells why; should the folder have appeared meanwhile, it is
            // listed without being kept.
            return read(folder, apiPath, timespec{});
        }
        if (cached && cached->trusted && isSame(cached->modified, info.st_mtim))
            return cached;
        // Read outside the lock: a slow folder must not hold up lookups in others. A change
        // after the stat above leaves a newer time on the folder, so the next call reads again.
        std::shared_ptr<const Listing> listing = read(folder, apiPath, info.st_mtim);
        zil::CMutexLock lock(m_mutex);
        entry->listing = listing;
        return listing;
    }

    size_t getWalkCount() const { return m_walks.load(std::memory_order_relaxed); }

private:
    struct Entry {
        std::shared_ptr<const Listing> listing;
        // The folder's watch, or its parent's while the folder is missing.
        std::shared_ptr<const zil::CFolderWatch::Watch> watch;
        // watch->changes when the listing was read.
        uint64_t seen = 0;
        // Cleared for good when the kernel refused a watch: modification times from then on.
        std::atomic<bool> watchable{true};
    };

    // Sets a watch (on the parent while the folder is missing) before reading, so that no
    // change can fall between the listing and the notices. `done` false: use the
    // modification time instead.
    std::shared_ptr<const Listing> getWatched(const zil::Path& folder, const std::string& apiPath, Entry& entry,
                                              bool required, bool& done)
    {
        struct stat info;
        const bool exists = ::stat(apiPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (!exists && required)
            return nullptr;
        const zil::Path watchedFolder = exists ? folder : folder.getParent();
        if (watchedFolder.isEmpty())
            return nullptr;
        std::string reason;
        std::shared_ptr<const zil::CFolderWatch::Watch> watch =
            zil::CFolderWatch::watch(exists ? apiPath : watchedFolder.toAPIPath(), reason);
        if (!watch) {
            // A missing parent is no reason to give up watching: it may appear later.
            if (exists || zil::folderExists(watchedFolder)) {
                entry.watchable.store(false);
                zil::logWarning(L"Cannot watch resource folder '" + watchedFolder.str() + L"' for changes (" +
                                zil::String::fromUTF8(reason) +
                                L"); its modification time is checked on every lookup instead.");
            }
            return nullptr;
        }
        static std::once_flag announced;
        std::call_once(announced, [] { zil::logInfo(L"Resource folders are watched for changes through inotify."); });
        const uint64_t seen = watch->changes.load(std::memory_order_acquire);
        std::shared_ptr<const Listing> listing;
        if (exists) {
            try {
                listing = read(folder, apiPath, info.st_mtim);
            } catch (const zil::CError&) {
                // Gone since the stat: the watch has noticed, so the next lookup looks again.
                if (required)
                    throw;
            }
        } else if (::stat(apiPath.c_str(), &info) == 0) {
            return nullptr; // appeared meanwhile: not known to be missing
        }
        zil::CMutexLock lock(m_mutex);
        entry.listing = listing;
        entry.watch = watch;
        entry.seen = seen;
        done = true;
        return listing;
    }

    std::shared_ptr<const Listing> read(const zil::Path& folder, const std::string& apiPath, const timespec& modified)
    {
        auto listing = std::make_shared<Listing>();
        listing->modified = modified;
        listing->trusted = isSettled(modified);
        listing->apiPath = apiPath;
        listing->joinsNormalized = !(folder / zil::Path(L"x")).needsNormalize();
        for (zil::CFileSystemIterator it(folder); it.next();)
            listing->names.push_back(it.getName());
        m_walks.fetch_add(1, std::memory_order_relaxed);
        return listing;
    }
    static bool isSame(const timespec& a, const timespec& b)
    {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
    static bool isSettled(const timespec& modified)
    {
        timespec now;
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (const CResourceManager::SettleClock clock = g_settleClock.load())
            now.tv_sec = clock();
        return now.tv_sec - modified.tv_sec > kSettleSeconds;
    }

    zil::CMutex m_mutex;
    // std::map: entries keep their place, so one found under the lock stays usable after it.
    std::map<zil::String, Entry> m_entries;
    std::atomic<size_t> m_walks{0};
};

CFolderListingCache& folderListings()
{
    static CFolderListingCache cache;
    return cache;
}

// Every name of the listing that starts with `prefix`, in listing order.
template <class F>
void forEachWithPrefix(const Listing& listing, std::wstring_view prefix, F&& visit)
{
    auto it = std::lower_bound(listing.names.begin(), listing.names.end(), prefix,
                               [](const zil::String& name, std::wstring_view p) { return std::wstring_view(name) < p; });
    for (; it != listing.names.end() && it->compare(0, prefix.size(), prefix) == 0; ++it)
        visit(*it);
}

// `folder` joined with an entry name, normalised when that changes it, as the iterator's
// needsNormalize() would tell.
zil::Path entryPath(const Listing& listing, const zil::Path& folder, const zil::String& name)
{
    zil::Path path = folder / zil::Path(name);
    return listing.joinsNormalized || !path.needsNormalize() ? path : path.normalize();
}

// Length of the title of a file name: up to the first "." that is not its first character.
size_t titleLength(const zil::String& name)
{
    const size_t dot = name.size() > 1 ? name.find(L'.', 1) : zil::String::npos;
    return dot == zil::String::npos ? name.size() : dot;
}

// The cache's entry for `key`, made by `load` on a miss; called with the manager's mutex held.
template <class Map, class Load>
const typename Map::mapped_type& cachedEntry(Map& cache, typename Map::key_type key, Load&& load)
{
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    return cache.emplace(std::move(key), load()).first->second;
}

wxString formatFactor(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return wxString(text);
}

} // namespace

CResourceManager::CResourceManager()
{
    const wxSize ppi = wxScreenDC().GetPPI();
    if (ppi.y > 0)
        m_defaultResolutionFactor = ppi.y / 96.0;
    if (wxDisplay::GetCount() > 0 && wxDisplay(0u).GetScaleFactor() > 0)
        m_displayScaleFactor = wxDisplay(0u).GetScaleFactor();

    const zil::String override = getResourceBaseFolderOverrideRef();
    if (!override.isEmpty()) {
        m_resourceBaseFolder = zil::Path(override);
    } else {
        zil::Path exeFolder;
        try {
            exeFolder = zil::Path(zil::CProcess::getOwnExecutablePath()).getParent();
        } catch (const zil::CError& e) {
            zil::logError(e, L"Cannot locate the resource folder beside the executable.");
        }
        // bin/app -> bin/../res, or one level further up for builds that nest the binaries.
        if (!exeFolder.isEmpty()) {
            const zil::Path res(L"res");
            const zil::Path up = exeFolder.getParent();
            if (zil::folderExists(up / res))
                m_resourceBaseFolder = up / res;
            else if (zil::folderExists(up.getParent() / res))
                m_resourceBaseFolder = up.getParent() / res;
        }
    }
    if (!m_resourceBaseFolder.isEmpty()) {
        m_resourceBaseFolder = m_resourceBaseFolder.normalize();
        m_resourceFolders.push_back(m_resourceBaseFolder);
    }
    // The library's own resources and sample skins, searched after everything else; not a
    // base folder, which is the program's.
    const zil::Path library = getLibraryDataPath();
    if (!library.isEmpty()) {
        const zil::Path libraryResources = (library / zil::Path(L"res")).normalize();
        if (libraryResources != m_resourceBaseFolder && zil::folderExists(libraryResources))
            m_resourceFolders.insert(m_resourceFolders.begin(), libraryResources);
    }
}

CResourceManager::~CResourceManager() = default;

const zil::P<CResourceManager>& CResourceManager::get()
{
    return instanceSlot().use();
}

void CResourceManager::setResourceBaseFolder(const zil::Path& path)
{
    getResourceBaseFolderOverrideRef() = path.str();
}

zil::String& CResourceManager::getResourceBaseFolderOverrideRef()
{
    return overrideSlot().use()->path;
}

void CResourceManager::disposeResourceBaseFolderOverride()
{
    // The override is read only at construction and is small: nothing to give back early.
}

void CResourceManager::disposeGlobalInstance()
{
    if (zil::P<CResourceManager> instance = instanceSlot().peek())
        instance->dispose();
}

size_t CResourceManager::getFolderWalkCount()
{
    return folderListings().getWalkCount();
}

bool CResourceManager::needToScaleImage(double available, double requested)
{
    const double deviation = (available - requested) / requested;
    return deviation < -0.125 || deviation > 0.05;
}

int CResourceManager::compareResolutionVariants(double a, double b, double requested)
{
    if (a == b)
        return 0;
    if (a == requested)
        return 1;
    if (b == requested)
        return -1;
    const bool aAcceptable = !needToScaleImage(a, requested);
    const bool bAcceptable = !needToScaleImage(b, requested);
    if (aAcceptable != bAcceptable)
        return aAcceptable ? 1 : -1;
    const bool aAbove = a > requested;
    const bool bAbove = b > requested;
    if (aAbove && bAbove)
        return a < b ? 1 : -1;
    if (!aAbove && !bAbove)
        return a > b ? 1 : -1;
    // Opposite sides: without scaling the smaller one is closer to the intended look; with
    // scaling, shrinking a larger picture loses less than enlarging a smaller one.
    if (aAcceptable)
        return aAbove ? -1 : 1;
    return aAbove ? 1 : -1;
}

void CResourceManager::splitFileName(const zil::String& name, zil::String& title, zil::String& extension)
{
    const size_t length = titleLength(name);
    title = name.substr(0, length);
    extension = name.substr(length);
}

zil::String CResourceManager::extractResolutionFactorFromFileTitle(const zil::String& title, double& factor)
{
    const size_t at = title.rfind(L'@');
    if (at == zil::String::npos) {
        factor = 1.0;
        return title;
    }
    zil::String suffix = title.substr(at + 1);
    suffix.Replace(L"_", L".");
    factor = zil::parseSimpleDouble(suffix);
    // A picture for another factor is rescaled by the ratio of the two: a factor near 0 would
    // ask for a picture thousands of times its size, 0 for an infinite one.
    if (!(factor >= kMinResolutionFactor && factor <= kMaxResolutionFactor)) {
        zil::CParseError e(L"Resolution factor '" + zil::String(title.substr(at + 1)) + L"' of '" + title +
                               L"' is outside 0.25 to 8",
                           L"CResourceManager::extractResolutionFactorFromFileTitle");
        e.setProp(L"text", title);
        throw e;
    }
    return title.substr(0, at);
}

zil::Path CResourceManager::findBestVariantIn(const FolderListing& listing, const zil::Path& folder,
                                              std::wstring_view title, std::wstring_view extension,
                                              double requestedFactor, double* foundFactor)
{
    zil::Path best;
    double bestFactor = -1.0;
    // Every name in the range starts with `title`; a candidate's title is `title` itself or
    // `title` + "@" + suffix.
    forEachWithPrefix(listing, title, [&](const zil::String& name) {
        const size_t length = titleLength(name);
        if (name.compare(length, zil::String::npos, extension) != 0 ||
            (length != title.size() && name[title.size()] != L'@'))
            return;
        double factor = 1.0;
        if (name.find(L'@') < length) {
            try {
                extractResolutionFactorFromFileTitle(name.substr(0, length), factor);
            } catch (const std::exception& e) {
                zil::logError(e, L"Invalid resolution factor suffix in file name. Ignoring file: " +
                                     entryPath(listing, folder, name).str());
                return;
            }
        }
        if (best.isEmpty() || compareResolutionVariants(factor, bestFactor, requestedFactor) == 1) {
            best = entryPath(listing, folder, name);
            bestFactor = factor;
        }
    });
    if (foundFactor)
        *foundFactor = bestFactor;
    return best;
}

zil::Path CResourceManager::findBestResolutionVariantOfFile(const zil::Path& path, double requestedFactor,
                                                            double* foundFactor)
{
    const zil::Path folder = path.getParent();
    if (folder.isEmpty())
        throw zil::CError(L"Error: CResourceManager::getBestResolutionVariant called with relative path: " +
                              path.str(),
                          zil::String(), -1);
    zil::String title, extension;
    splitFileName(path.getFileName(), title, extension);
    std::shared_ptr<const FolderListing> listing = folderListings().get(folder, true);
    return findBestVariantIn(*listing, folder, title, extension, requestedFactor, foundFactor);
}

void CResourceManager::addResourceFolder(const zil::Path& path)
{
    zil::CMutexLock lock(m_mutex);
    m_resourceFolders.push_back(path);
    m_bitmapsByTitle.clear();
}

zil::Path CResourceManager::getResourceBaseFolder()
{
    if (m_resourceBaseFolder.isEmpty())
        throw zil::CError(L"Resource base folder not found.", L"CResourceManager::getResourceBaseFolder");
    return m_resourceBaseFolder;
}

zil::Path CResourceManager::findResource(const zil::Path& relativePath)
{
    zil::CMutexLock lock(m_mutex);
    // Even an absolute path is looked at only when there is a resource folder.
    const bool asItIs = relativePath.isEmpty() || relativePath.isAbsolute();
    for (auto folder = m_resourceFolders.rbegin(); folder != m_resourceFolders.rend(); ++folder) {
        const zil::Path candidate =
            asItIs ? relativePath
                   : (folder->isEmpty() ? zil::Path(zil::getCurrentWorkDirectoryAsString()) : *folder) / relativePath;
        if (zil::pathExists(candidate))
            return candidate;
    }
    return zil::Path();
}

zil::Path CResourceManager::findResourceByTitle(const zil::String& title, const zil::String& preferredExtension,
                                                double factor, double* foundFactor)
{
    return findResourceByTitle(title, preferredExtension, factor, foundFactor, nullptr);
}

zil::Path CResourceManager::findResourceByTitle(const zil::String& title, const zil::String& preferredExtension,
                                                double factor, double* foundFactor, bool* watched)
{
    zil::CMutexLock lock(m_mutex);
    factor = resolveFactor(factor);
    const size_t slash = title.rfind(L'/');
    const zil::Path subfolder(slash == zil::String::npos ? zil::String() : title.substr(0, slash));
    const std::wstring_view name =
        slash == zil::String::npos ? std::wstring_view(title) : std::wstring_view(title).substr(slash + 1);

    // The match so far: a name in `resultListing`, which keeps it alive.
    const zil::String* result = nullptr;
    std::wstring_view resultExtension;
    std::shared_ptr<const FolderListing> resultListing;
    zil::Path resultFolder;
    zil::Path joined;
    for (auto it = m_resourceFolders.rbegin(); it != m_resourceFolders.rend(); ++it) {
        const zil::Path& folder = subfolder.isEmpty() ? *it : (joined = *it / subfolder);
        std::shared_ptr<const FolderListing> listing = folderListings().get(folder, false, watched);
        if (!listing)
            continue;
        bool matchedHere = false;
        forEachWithPrefix(*listing, name, [&](const zil::String& entry) {
            const size_t length = titleLength(entry);
            if (length != name.size())
                return;
            const std::wstring_view extension = std::wstring_view(entry).substr(length);
            if (!result || (extension == preferredExtension && resultExtension != preferredExtension)) {
                result = &entry;
                resultExtension = extension;
                matchedHere = true;
            }
        });
        if (matchedHere) {
            resultListing = listing;
            resultFolder = folder;
        }
        if (result && (preferredExtension.isEmpty() || resultExtension == preferredExtension))
            break;
    }
    if (!result) {
        if (foundFactor)
            *foundFactor = -1.0;
        return zil::Path();
    }
    // The folder was listed just now; its listing serves the variant search as well.
    return findBestVariantIn(*resultListing, resultFolder, name, resultExtension, factor, foundFactor);
}

wxImage CResourceManager::loadImageFile(const zil::Path& path, double foundFactor, double factor)
{
    wxImage image;
    if (!path.isEmpty() && image.LoadFile(toWX(path.str()), wxBITMAP_TYPE_ANY, -1) &&
        needToScaleImage(foundFactor, factor)) {
        const double scale = factor / foundFactor;
        image.Rescale(int(std::ceil(image.GetWidth() * scale)), int(std::ceil(image.GetHeight() * scale)),
                      wxIMAGE_QUALITY_HIGH);
    }
    return image;
}

// Paths from the find operations are normalised already (every entry path is), so the load
// operations use them as they are.

// wxWidgets counts an image's references without atomics: a copy sharing the cached pixels
// would be released outside the mutex, racing with the next lookup's copy. Only the main
// thread shares them; another thread gets pixels of its own.
static wxImage handOut(const wxImage& cached)
{
    return wxThread::IsMain() ? cached : cached.Copy();
}

const wxImage& CResourceManager::cachedImageLocked(const zil::Path& path, double foundFactor, double factor)
{
    return cachedEntry(m_imageCache, CachedImageKey(path.str(), factor),
                       [&] { return loadImageFile(path, foundFactor, factor); });
}

zil::Path CResourceManager::findForLoad(const zil::String& title, double& factor, double& foundFactor,
                                        zil::Path* foundPath)
{
    factor = resolveFactor(factor);
    foundFactor = -1.0;
    zil::Path path = findResourceByTitle(title, zil::String(), factor, &foundFactor);
    if (foundPath)
        *foundPath = path;
    return path;
}

wxImage CResourceManager::loadImageByTitle(const zil::String& title, zil::Path* foundPath, double factor)
{
    double found;
    const zil::Path path = findForLoad(title, factor, found, foundPath);
    zil::CMutexLock lock(m_mutex);
    return handOut(cachedImageLocked(path, found, factor));
}

// A title asked for before, while no change notice has arrived for the folders searched, is
// answered from one map: the common case of every paint makes no system call.
wxBitmap CResourceManager::loadBitmapByTitle(const zil::String& title, zil::Path* foundPath, double factor)
{
    factor = resolveFactor(factor);
    zil::CMutexLock lock(m_mutex);
    const auto hit = m_bitmapsByTitle.find(TitleKey{title, factor});
    if (hit != m_bitmapsByTitle.end() && hit->second.generation == zil::CFolderWatch::getNoticeCount()) {
        if (foundPath)
            *foundPath = hit->second.path;
        return hit->second.bitmap;
    }
    // Read before the search, so that a notice arriving during it makes the result stale.
    const uint64_t generation = zil::CFolderWatch::getNoticeCount();
    bool watched = true;
    double found = -1.0;
    const zil::Path path = findResourceByTitle(title, zil::String(), factor, &found, &watched);
    if (foundPath)
        *foundPath = path;
    const wxBitmap bitmap = cachedEntry(m_bitmapCache, CachedImageKey(path.str(), factor), [&] {
        const wxImage& image = cachedImageLocked(path, found, factor);
        return image.IsOk() ? wxBitmap(image, -1, getBitmapScaleFactor(factor)) : wxBitmap();
    });
    if (watched)
        m_bitmapsByTitle[TitleKey{title, factor}] = TitledBitmap{generation, path, bitmap};
    else if (hit != m_bitmapsByTitle.end())
        m_bitmapsByTitle.erase(hit);
    return bitmap;
}

wxIcon CResourceManager::loadIconByTitle(const zil::String& title, int width, int height, zil::Path* foundPath)
{
    const zil::Path path = findResourceByTitle(title, L".ico", m_defaultResolutionFactor);
    if (foundPath)
        *foundPath = path;
    const zil::String key = path.str() + L"-" + zil::toString(int64_t(width)) + L"x" + zil::toString(int64_t(height));
    zil::CMutexLock lock(m_mutex);
    return cachedEntry(m_iconCache, key, [&] {
        wxIcon icon;
        if (!path.isEmpty())
            icon.LoadFile(toWX(path.str()), wxBITMAP_TYPE_ICO, width, height);
        return icon;
    });
}

wxAnimation CResourceManager::loadAnimationByTitle(const zil::String& title, zil::Path* foundPath, double factor)
{
    double found;
    const zil::Path path = findForLoad(title, factor, found, foundPath);
    zil::CMutexLock lock(m_mutex);
    return cachedEntry(m_animationCache, CachedImageKey(path.str(), factor), [&] {
        wxAnimation animation;
        if (!path.isEmpty()) {
            animation.LoadFile(toWX(path.str()), wxANIMATION_TYPE_ANY);
            if (needToScaleImage(found, factor))
                zil::logWarning(fromWX(wxString(L"Would need to scale animation '") + toWX(path.getFileName()) +
                                       L"' by factor " + formatFactor(factor / found) +
                                       L", but that is not supported. Using animation as is."));
        }
        return animation;
    });
}

zil::P<IScalingImage> CResourceManager::loadScalingImageByTitle(const zil::String& title, double factor)
{
    double found;
    const zil::Path path = findForLoad(title, factor, found, nullptr);
    if (path.isEmpty())
        return nullptr;
    zil::CMutexLock lock(m_mutex);
    return cachedEntry(m_scalingImageCache, CachedImageKey(path.str(), factor), [&] {
        const double target = needToScaleImage(found, factor) ? factor : found;
        zil::P<IScalingImage> image;
        try {
            image = CCompositeScalingImage::load(path, found, target);
        } catch (const zil::CError& e) {
            // Like the other loads, a damaged file gives an empty result that is cached, so a
            // skin layer naming it stays empty instead of the whole skin failing.
            zil::logError(e, L"Cannot load scaling image '" + path.str() + L"'. Ignoring.");
        }
        return image;
    });
}

wxImage CResourceManager::loadAndScaleImage(const zil::Path& path, double factor)
{
    factor = resolveFactor(factor);
    double found = 1.0;
    const zil::Path variant = findBestResolutionVariantOfFile(path, factor, &found).normalize();
    zil::CMutexLock lock(m_mutex);
    return handOut(cachedImageLocked(variant, found, factor));
}

void CResourceManager::dispose()
{
    zil::CMutexLock lock(m_mutex);
    m_scalingImageCache.clear();
    m_animationCache.clear();
    m_bitmapCache.clear();
    m_bitmapsByTitle.clear();
    m_imageCache.clear();
    m_iconCache.clear();
}

void CResourceManager::setWatchFolders(bool watch)
{
    g_watchFolders.store(watch);
}

void CResourceManager::setSettleClock(SettleClock clock)
{
    g_settleClock.store(clock);
}

} // namespace zilui
