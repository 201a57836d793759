// SPDX-License-Identifier: MIT
#pragma once

#include "zil/containers.h"
#include "zil/folderwatch.h"
#include "zil/mutex.h"
#include "zil/path.h"
#include "zil/string.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace zil {

// Every name of `sortedNames` (ordered by code point) that starts with `prefix`, in order.
template <class F> void forEachWithPrefix(const TArray<String>& sortedNames, std::wstring_view prefix, F&& visit)
{
    auto it = std::lower_bound(sortedNames.begin(), sortedNames.end(), prefix,
                               [](const String& name, std::wstring_view p) { return std::wstring_view(name) < p; });
    for (; it != sortedNames.end() && it->compare(0, prefix.size(), prefix) == 0; ++it)
        visit(*it);
}

// The names of one folder as read at one modification time (st_mtim, to the nanosecond).
struct CFolderListing {
    timespec modified{};
    // Sorted by code point, the order of CFileSystemIterator.
    TArray<String> names;
    std::string apiPath;
    // Read when the folder had been unchanged for a while, so no change can share its
    // timestamp with one the listing missed.
    bool trusted = false;
    // Whether the folder joined with a name is normalised already, which spares the check.
    bool joinsNormalized = false;

    // `folder` (the one listed) joined with `name`, normalised where that changes it, as the
    // iterator's needsNormalize() would tell.
    Path entryPath(const Path& folder, const String& name) const;
};

// Listings of the folders looked at, keyed by the folder's path as given. Never shrinks: it is
// meant for a bounded set of folders, such as those resources are searched in. Thread-safe.
//
// A watched folder's listing (or, for a missing folder, its absence, through the watch of its
// parent) is reused without asking the file system until a change notice of CFolderWatch
// arrives. Where no watch can be set, the folder's modification time is checked on every use,
// and a listing read within seconds of a change is not reused: another change may share its
// timestamp.
class CFolderListingCache {
public:
    // The wall clock's seconds (as CLOCK_REALTIME) that tell whether a folder changed too
    // recently for its listing to be kept; null reads the system's clock.
    using SettleClock = time_t (*)();
    static constexpr time_t kSettleSeconds = 2;

    // The one the process shares.
    static CFolderListingCache& shared();

    CFolderListingCache() = default;
    CFolderListingCache(const CFolderListingCache&) = delete;
    CFolderListingCache& operator=(const CFolderListingCache&) = delete;

    // Null when `folder` is no folder (nothing there, or a file), unless `required`: then the
    // CIOError of CFileSystemIterator. `watched` turns false when the answer came from the
    // modification-time check, which has to be repeated on the next use.
    std::shared_ptr<const CFolderListing> get(const Path& folder, bool required, bool* watched = nullptr);

    // How many folders have been read from disk; for diagnostics and tests.
    size_t getWalkCount() const { return m_walks.load(std::memory_order_relaxed); }
    // Folders first looked at while this is off are never watched: their modification time
    // is checked on every use.
    void setWatchFolders(bool watch) { m_watchFolders.store(watch); }
    void setSettleClock(SettleClock clock) { m_settleClock.store(clock); }

private:
    struct Entry {
        std::shared_ptr<const CFolderListing> listing;
        // The folder's watch, or its parent's while the folder is missing.
        std::shared_ptr<const CFolderWatch::Watch> watch;
        // watch->changes when the listing was read.
        uint64_t seen = 0;
        // Cleared for good when the kernel refused a watch: modification times from then on.
        std::atomic<bool> watchable{true};
    };

    std::shared_ptr<const CFolderListing> getWatched(const Path& folder, const std::string& apiPath, Entry& entry,
                                                     bool required, bool& done);
    std::shared_ptr<const CFolderListing> read(const Path& folder, const std::string& apiPath,
                                               const timespec& modified);
    bool isSettled(const timespec& modified) const;

    CMutex m_mutex;
    // std::map: entries keep their place, so one found under the lock stays usable after it.
    std::map<String, Entry> m_entries;
    std::atomic<size_t> m_walks{0};
    std::atomic<bool> m_watchFolders{true};
    std::atomic<SettleClock> m_settleClock{nullptr};
};

} // namespace zil
