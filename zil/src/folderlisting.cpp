// SPDX-License-Identifier: MIT
#include "zil/folderlisting.h"

#include "zil/error.h"
#include "zil/filesystem.h"
#include "zil/log.h"

#include <mutex>
#include <sys/stat.h>

namespace zil {

namespace {

bool isSame(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

Path CFolderListing::entryPath(const Path& folder, const String& name) const
{
    Path path = folder / Path(name);
    return joinsNormalized || !path.needsNormalize() ? path : path.normalize();
}

CFolderListingCache& CFolderListingCache::shared()
{
    // Never destroyed: lookups may still run in threads that outlive static destruction.
    static CFolderListingCache* cache = new CFolderListingCache();
    return *cache;
}

std::shared_ptr<const CFolderListing> CFolderListingCache::get(const Path& folder, bool required, bool* watched)
{
    Entry* entry;
    std::shared_ptr<const CFolderListing> cached;
    {
        CMutexLock lock(m_mutex);
        entry = &m_entries[folder.str()];
        if (entry->watch && entry->watch->alive.load(std::memory_order_acquire) &&
            entry->watch->changes.load(std::memory_order_acquire) == entry->seen && (entry->listing || !required))
            return entry->listing;
        cached = entry->listing;
    }
    std::string fresh;
    const std::string& apiPath = cached ? cached->apiPath : (fresh = folder.toAPIPath());
    if (entry->watchable.load() && m_watchFolders.load()) {
        bool done = false;
        std::shared_ptr<const CFolderListing> listing = getWatched(folder, apiPath, *entry, required, done);
        if (done)
            return listing;
    }
    if (watched)
        *watched = false;
    struct stat info;
    if (::stat(apiPath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        if (!required)
            return nullptr;
        // The iterator tells why; should the folder have appeared meanwhile, it is listed
        // without being kept.
        return read(folder, apiPath, timespec{});
    }
    if (cached && cached->trusted && isSame(cached->modified, info.st_mtim))
        return cached;
    // Read outside the lock: a slow folder must not hold up lookups in others. A change after
    // the stat above leaves a newer time on the folder, so the next call reads again.
    std::shared_ptr<const CFolderListing> listing = read(folder, apiPath, info.st_mtim);
    CMutexLock lock(m_mutex);
    entry->listing = listing;
    return listing;
}

// Sets a watch (on the parent while the folder is missing) before reading, so that no change
// can fall between the listing and the notices. `done` false: use the modification time
// instead.
std::shared_ptr<const CFolderListing> CFolderListingCache::getWatched(const Path& folder, const std::string& apiPath,
                                                                      Entry& entry, bool required, bool& done)
{
    struct stat info;
    const bool exists = ::stat(apiPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    if (!exists && required)
        return nullptr;
    const Path watchedFolder = exists ? folder : folder.getParent();
    if (watchedFolder.isEmpty())
        return nullptr;
    std::string reason;
    std::shared_ptr<const CFolderWatch::Watch> watch =
        CFolderWatch::watch(exists ? apiPath : watchedFolder.toAPIPath(), reason);
    if (!watch) {
        // A missing parent is no reason to give up watching: it may appear later.
        if (exists || folderExists(watchedFolder)) {
            entry.watchable.store(false);
            logWarning(L"Cannot watch resource folder '" + watchedFolder.str() + L"' for changes (" +
                       String::fromUTF8(reason) + L"); its modification time is checked on every lookup instead.");
        }
        return nullptr;
    }
    static std::once_flag announced;
    std::call_once(announced, [] { logInfo(L"Resource folders are watched for changes through inotify."); });
    const uint64_t seen = watch->changes.load(std::memory_order_acquire);
    std::shared_ptr<const CFolderListing> listing;
    if (exists) {
        try {
            listing = read(folder, apiPath, info.st_mtim);
        } catch (const CError&) {
            // Gone since the stat: the watch has noticed, so the next lookup looks again.
            if (required)
                throw;
        }
    } else if (::stat(apiPath.c_str(), &info) == 0) {
        return nullptr; // appeared meanwhile: not known to be missing
    }
    CMutexLock lock(m_mutex);
    entry.listing = listing;
    entry.watch = watch;
    entry.seen = seen;
    done = true;
    return listing;
}

std::shared_ptr<const CFolderListing> CFolderListingCache::read(const Path& folder, const std::string& apiPath,
                                                                const timespec& modified)
{
    auto listing = std::make_shared<CFolderListing>();
    listing->modified = modified;
    listing->trusted = isSettled(modified);
    listing->apiPath = apiPath;
    listing->joinsNormalized = !(folder / Path(L"x")).needsNormalize();
    for (CFileSystemIterator it(folder); it.next();)
        listing->names.push_back(it.getName());
    m_walks.fetch_add(1, std::memory_order_relaxed);
    return listing;
}

bool CFolderListingCache::isSettled(const timespec& modified) const
{
    timespec now;
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    if (const SettleClock clock = m_settleClock.load())
        now.tv_sec = clock();
    return now.tv_sec - modified.tv_sec > kSettleSeconds;
}

} // namespace zil
