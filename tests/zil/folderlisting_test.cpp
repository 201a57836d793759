// SPDX-License-Identifier: MIT
#include "syscall_count.h"
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/folderlisting.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <vector>

using zil::CFolderListing;
using zil::CFolderListingCache;
using zil::Path;
using zil::test::CTempFolder;

namespace {

bool lists(const std::shared_ptr<const CFolderListing>& listing, const wchar_t* name)
{
    return listing && std::find(listing->names.begin(), listing->names.end(), zil::String(name)) != listing->names.end();
}

// Dates the folder a minute back, old enough to be trusted, plus `nanoseconds`.
void setFolderTime(const Path& folder, long nanoseconds)
{
    static const time_t base = std::time(nullptr) - 60;
    const timespec times[2] = {{base, 0}, {base, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.toAPIPath().c_str(), times, 0), 0);
}

// A clock for the settle window that moves only when the test says so.
time_t g_now = 0;
time_t testClock()
{
    return g_now;
}

} // namespace

TEST(FolderListing, PrefixRangesAndJoinedPaths)
{
    const zil::TArray<zil::String> names = {L"a", L"ok.png", L"ok@2.png", L"okay.png", L"p"};
    struct Case { const wchar_t* prefix; std::vector<const wchar_t*> expected; };
    const Case cases[] = {
        {L"ok", {L"ok.png", L"ok@2.png", L"okay.png"}},
        {L"", {L"a", L"ok.png", L"ok@2.png", L"okay.png", L"p"}},
        {L"p", {L"p"}},
        {L"pz", {}}, // past the last name
        {L"0", {}},  // before the first
        {L"ok.png", {L"ok.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(zil::String(c.prefix).toUTF8());
        std::vector<zil::String> seen;
        zil::forEachWithPrefix(names, c.prefix, [&](const zil::String& name) { seen.push_back(name); });
        EXPECT_EQ(seen, std::vector<zil::String>(c.expected.begin(), c.expected.end()));
    }

    struct Join { const wchar_t* folder; bool joinsNormalized; const wchar_t* expected; };
    for (const Join& j : {Join{L"/res", true, L"/res/ok.png"}, Join{L"/res/./sub/..", false, L"/res/ok.png"},
                          Join{L"/res/sub/..", false, L"/res/ok.png"}}) {
        SCOPED_TRACE(zil::String(j.folder).toUTF8());
        CFolderListing listing;
        listing.joinsNormalized = j.joinsNormalized;
        EXPECT_EQ(listing.entryPath(Path(j.folder), L"ok.png").str(), j.expected);
    }
}

TEST(FolderListing, MissingFoldersFilesAndRequiredLookups)
{
    CTempFolder folder;
    folder.writeFile(L"file", "x");
    for (const bool watch : {true, false}) {
        SCOPED_TRACE(watch ? "watched" : "modification time");
        CFolderListingCache cache;
        cache.setWatchFolders(watch);
        struct Case { Path path; bool listed; };
        const Case cases[] = {
            {folder.path(), true}, {folder / L"missing", false}, {folder / L"file", false},
            {folder / L"missing/deeper", false}, // its parent is missing too: nothing to watch
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.path.str().toUTF8());
            EXPECT_EQ(cache.get(c.path, false) != nullptr, c.listed);
            if (c.listed)
                EXPECT_NE(cache.get(c.path, true), nullptr);
            else
                EXPECT_THROW(cache.get(c.path, true), zil::CError);
        }
        bool watched = true;
        cache.get(folder.path(), false, &watched);
        EXPECT_EQ(watched, watch);
    }
}

TEST(FolderListing, ModificationTimeListingReusedOnlyWhileUnchanged)
{
    CTempFolder folder;
    folder.writeFile(L"ok.png", "x");
    setFolderTime(folder.path(), 0);
    CFolderListingCache cache;
    cache.setWatchFolders(false);
    ASSERT_TRUE(lists(cache.get(folder.path(), false), L"ok.png"));
    const size_t walks = cache.getWalkCount();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(lists(cache.get(folder.path(), false), L"ok.png"));
    EXPECT_EQ(cache.getWalkCount(), walks);

    // Changes within the same second differ only in nanoseconds.
    struct Step { const char* change; std::function<void()> make; long nanoseconds; const wchar_t* name; bool listed; };
    const Step steps[] = {
        {"added", [&] { folder.writeFile(L"new.png", "x"); }, 1, L"new.png", true},
        {"removed", [&] { ::unlink(folder.api(L"new.png").c_str()); }, 2, L"new.png", false},
        {"renamed", [&] { std::rename(folder.api(L"ok.png").c_str(), folder.api(L"moved.png").c_str()); }, 3,
         L"moved.png", true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.change);
        step.make();
        setFolderTime(folder.path(), step.nanoseconds);
        EXPECT_EQ(lists(cache.get(folder.path(), false), step.name), step.listed);
    }
}

TEST(FolderListing, ListingOfAFreshFolderIsNotKept)
{
    CTempFolder folder;
    CFolderListingCache cache;
    cache.setWatchFolders(false);
    cache.setSettleClock(&testClock);
    folder.writeFile(L"fresh.png", "x");
    struct stat written;
    ASSERT_EQ(::stat(folder.path().toAPIPath().c_str(), &written), 0);
    // "Now" is the folder's own time, then the edge of the window, then past it.
    struct Case { time_t after; bool kept; };
    for (const Case& c : {Case{0, false}, Case{CFolderListingCache::kSettleSeconds, false},
                          Case{CFolderListingCache::kSettleSeconds + 1, true}}) {
        SCOPED_TRACE(c.after);
        CFolderListingCache fresh;
        fresh.setWatchFolders(false);
        fresh.setSettleClock(&testClock);
        g_now = written.st_mtim.tv_sec + c.after;
        ASSERT_TRUE(lists(fresh.get(folder.path(), false), L"fresh.png"));
        fresh.get(folder.path(), false);
        EXPECT_EQ(fresh.getWalkCount(), c.kept ? 1u : 2u);
    }

    // A listing read in the folder's own tick stays untrusted: a change within the same tick
    // may be missing from it, and must be found once the folder has settled.
    g_now = written.st_mtim.tv_sec;
    ASSERT_TRUE(lists(cache.get(folder.path(), false), L"fresh.png"));
    folder.writeFile(L"late.png", "x");
    const timespec sameTick[2] = {written.st_atim, written.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.path().toAPIPath().c_str(), sameTick, 0), 0);
    g_now += CFolderListingCache::kSettleSeconds + 1;
    EXPECT_TRUE(lists(cache.get(folder.path(), false), L"late.png"));
}

TEST(FolderListing, WatchedFolderChangesSeenAfterTheNotice)
{
    CTempFolder folder;
    folder.writeFile(L"ok.png", "x");
    CFolderListingCache cache;
    std::string reason;
    auto watch = zil::CFolderWatch::watch(folder.path().toAPIPath(), reason);
    ASSERT_TRUE(watch) << reason;
    const Path sub = folder / L"sub";
    ASSERT_TRUE(lists(cache.get(folder.path(), false), L"ok.png"));
    EXPECT_EQ(cache.get(sub, false), nullptr) << "a missing subfolder, known through its parent";
    const size_t walks = cache.getWalkCount();
    for (int i = 0; i < 3; ++i)
        cache.get(folder.path(), false), cache.get(sub, false);
    EXPECT_EQ(cache.getWalkCount(), walks) << "read again without a notice";

    struct Step {
        const char* change;
        std::function<void()> make;
        uint64_t notices;
        Path folder;
        std::vector<std::pair<const wchar_t*, bool>> listed;
    };
    const Step steps[] = {
        {"added", [&] { folder.writeFile(L"new.png", "x"); }, 1, folder.path(), {{L"new.png", true}}},
        {"renamed", [&] { std::rename(folder.api(L"new.png").c_str(), folder.api(L"moved.png").c_str()); }, 2,
         folder.path(), {{L"new.png", false}, {L"moved.png", true}}},
        {"removed", [&] { ::unlink(folder.api(L"moved.png").c_str()); }, 1, folder.path(),
         {{L"moved.png", false}, {L"ok.png", true}}},
        {"subfolder made", [&] { ::mkdir(folder.api(L"sub").c_str(), 0755), folder.writeFile(L"sub/deep.png", "x"); },
         1, sub, {{L"deep.png", true}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.change);
        const uint64_t before = watch->changes.load();
        step.make();
        ASSERT_TRUE(zil::test::waitUntil([&] { return watch->changes.load() >= before + step.notices; }))
            << "no change notice";
        const auto listing = cache.get(step.folder, false);
        for (const auto& [name, expected] : step.listed)
            EXPECT_EQ(lists(listing, name), expected) << zil::String(name).toUTF8();
    }
}

TEST(FolderListing, ConcurrentLookupsWhileTheFolderChanges)
{
    for (const bool watch : {true, false}) {
        SCOPED_TRACE(watch ? "watched" : "modification time");
        CTempFolder folder;
        folder.writeFile(L"ok.png", "x");
        CFolderListingCache cache;
        cache.setWatchFolders(watch);
        std::atomic<int> wrong{0};
        std::thread writer = zil::test::startWritingFiles(folder, 200);
        std::vector<std::thread> readers;
        for (int t = 0; t < 4; ++t)
            readers.emplace_back([&] {
                for (int i = 0; i < 300; ++i) {
                    const auto listing = cache.get(folder.path(), true);
                    wrong += !lists(listing, L"ok.png") || !std::is_sorted(listing->names.begin(), listing->names.end());
                }
            });
        for (std::thread& reader : readers)
            reader.join();
        writer.join();
        EXPECT_EQ(wrong, 0);
        // Seen once the writer's last notice has arrived (or, unwatched, at once).
        EXPECT_TRUE(zil::test::waitUntil([&] { return lists(cache.get(folder.path(), false), L"extra199.png"); }));
    }
}

// The point of the watch: a listing asked for again is answered from memory. Without one,
// every lookup must stat the folder, which the counter has to see.
TEST(FolderListing, WatchedLookupMakesNoSystemCall)
{
    if (zil::test::kUnderSanitizer)
        GTEST_SKIP() << "the sanitizer runtime makes system calls of its own on the counted thread";
    // Unwatched, the trapped stat fails, so only the unfiltered first round finds the folder.
    struct Case { bool watch; int atLeast; int atMost; int listed; };
    for (const Case& c : {Case{true, 0, 0, 200}, Case{false, 100, 1000000, 100}}) {
        SCOPED_TRACE(c.watch ? "watched" : "modification time");
        CTempFolder folder;
        folder.writeFile(L"ok.png", "x");
        setFolderTime(folder.path(), 0);
        CFolderListingCache cache;
        cache.setWatchFolders(c.watch);
        int listed = 0;
        const int calls = zil::test::countSyscalls([&] {
            for (int i = 0; i < 100; ++i)
                listed += lists(cache.get(folder.path(), false), L"ok.png");
        });
        ASSERT_GE(calls, 0) << "seccomp refused";
        EXPECT_EQ(listed, c.listed);
        EXPECT_GE(calls, c.atLeast);
        EXPECT_LE(calls, c.atMost);
    }
}
