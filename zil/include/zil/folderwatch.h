// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zil {

// Learns from the kernel (inotify) when the names in a folder change, so that a cache of a
// folder's contents can be trusted without asking the file system on every use. One thread
// per process reads the notices of every watch. Thread-safe.
class CFolderWatch {
public:
    // One watched folder. `changes` grows by one for every notice about a name in the folder
    // (created, deleted, moved in or out) and about the folder itself; `alive` turns false
    // for good when the folder is deleted or moved, or when notices were lost: whoever reads
    // it then needs a new watch.
    struct Watch {
        std::atomic<uint64_t> changes{0};
        std::atomic<bool> alive{true};
    };

    // Starts watching the folder at `apiPath` (or shares the watch already set on it). Null,
    // with `reason` saying why, when the kernel will not watch it: no inotify on the file
    // system, too many watches, no such folder.
    static std::shared_ptr<const Watch> watch(const std::string& apiPath, std::string& reason);
    // Notices handled since process start, for every watch.
    static uint64_t getNoticeCount();

    // Hears every notice about a name in one folder, also about a file written and closed
    // there (which changes no name, so it leaves `changes` and getNoticeCount() alone): `name`
    // is the name in the folder, empty when the notice is about the folder itself or when
    // notices were lost and anything may have changed. Runs on the watch thread, so it must
    // only hand the news on, and it may still run once while its handle is being released.
    using Listener = std::function<void(const std::string& name)>;
    // `listener` hears the folder at `apiPath` until the handle is released; null, with
    // `reason`, when the folder cannot be watched.
    static std::shared_ptr<void> listen(const std::string& apiPath, Listener listener, std::string& reason);
};

} // namespace zil
