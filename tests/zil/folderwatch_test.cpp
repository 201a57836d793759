// SPDX-License-Identifier: MIT
// Listeners of a watched folder hear written files as well as name changes; only name changes
// make listings stale; a released listener hears nothing more.
#include "temp_folder.h"

#include <zil/folderwatch.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using zil::CFolderWatch;
using zil::test::CTempFolder;

namespace {

// What a listener heard, in order, from the watch thread.
struct CHeard {
    std::mutex mutex;
    std::vector<std::string> names;
    bool has(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& heard : names)
            if (heard == name)
                return true;
        return false;
    }
    CFolderWatch::Listener listener()
    {
        return [this](const std::string& name) {
            std::lock_guard<std::mutex> lock(mutex);
            names.push_back(name);
        };
    }
};

} // namespace

TEST(FolderWatch, ListenersHearWritesWithoutStalingListings)
{
    CTempFolder folder;
    folder.writeFile(L"old.ini", "x");
    std::string reason;
    const auto watch = CFolderWatch::watch(folder.path().toAPIPath(), reason);
    ASSERT_TRUE(watch) << reason;
    CHeard heard;
    const std::shared_ptr<void> handle = CFolderWatch::listen(folder.path().toAPIPath(), heard.listener(), reason);
    ASSERT_TRUE(handle) << reason;

    const struct {
        const char* change;
        std::function<void()> make;
        const char* name;
        uint64_t nameChanges; // what makes a listing stale
    } steps[] = {
        {"written in place", [&] { folder.writeFile(L"old.ini", "y"); }, "old.ini", 0},
        {"created", [&] { folder.writeFile(L"new.ini", "x"); }, "new.ini", 1},
        {"renamed over", [&] { std::rename(folder.api(L"new.ini").c_str(), folder.api(L"old.ini").c_str()); },
         "old.ini", 2},
        {"deleted", [&] { ::unlink(folder.api(L"old.ini").c_str()); }, "old.ini", 1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.change);
        {
            std::lock_guard<std::mutex> lock(heard.mutex);
            heard.names.clear();
        }
        const uint64_t changes = watch->changes.load();
        step.make();
        // A file of its own after the step: once it is heard, the step's notices were too.
        folder.writeFile(L"end", "");
        ASSERT_TRUE(zil::test::waitUntil([&] { return heard.has("end"); }));
        EXPECT_TRUE(heard.has(step.name));
        // Creating "end" changes one name.
        EXPECT_EQ(watch->changes.load() - changes, step.nameChanges + 1);
        ::unlink(folder.api(L"end").c_str());
        ASSERT_TRUE(zil::test::waitUntil([&] { return watch->changes.load() == changes + step.nameChanges + 2; }));
    }
}

TEST(FolderWatch, ReleasedListenerHearsNothingMore)
{
    CTempFolder folder;
    std::string reason;
    CHeard released, kept;
    std::shared_ptr<void> first = CFolderWatch::listen(folder.path().toAPIPath(), released.listener(), reason);
    const std::shared_ptr<void> second = CFolderWatch::listen(folder.path().toAPIPath(), kept.listener(), reason);
    ASSERT_TRUE(first && second) << reason;
    first.reset();
    folder.writeFile(L"after.ini", "x");
    ASSERT_TRUE(zil::test::waitUntil([&] { return kept.has("after.ini"); }));
    EXPECT_FALSE(released.has("after.ini"));

    const auto missing = CFolderWatch::listen(folder.api(L"no-such-folder"), kept.listener(), reason);
    EXPECT_FALSE(missing);
    EXPECT_FALSE(reason.empty());
}
