// SPDX-License-Identifier: MIT
// Skins and controls ask the resource manager for their pictures by title on every layout,
// so a title that was loaded before must come back in about a microsecond even from a
// folder of many files: far below what one walk of that folder costs.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/app/strings.h>
#include <zilui/graphics/resourcemanager.h>

#include <benchmark/benchmark.h>

#include <wx/image.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {

constexpr int kFileCount = 10000;

// A folder of kFileCount files beside one real picture "ok.png", made once per process and
// removed at exit. Empty path when it could not be made.
const zil::Path& resourceFolder()
{
    static const zil::Path folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zilui-bench-res-XXXXXX";
        if (!::mkdtemp(&pattern[0]))
            return zil::Path();
        for (int i = 0; i < kFileCount; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/icon%05d.png", i);
            if (std::FILE* file = std::fopen((pattern + name).c_str(), "wb"))
                std::fclose(file);
        }
        wxImage picture(16, 16);
        picture.SetRGB(wxRect(0, 0, 16, 16), 30, 120, 200);
        picture.SaveFile(pattern + "/ok.png", wxBITMAP_TYPE_PNG);
        // Kept apart from `folder`, which static destruction ends before this handler runs.
        static char made[4096];
        std::snprintf(made, sizeof made, "%s", pattern.c_str());
        std::atexit([] {
            auto remove = [](const char* path, const struct stat*, int, struct FTW*) {
                return std::remove(path), 0;
            };
            ::nftw(made, remove, 16, FTW_DEPTH | FTW_PHYS);
        });
        // The manager reads a folder modified within the last two seconds anew each time;
        // a resource folder of a running program is older than that.
        std::this_thread::sleep_for(std::chrono::milliseconds(3100));
        return zil::Path(zil::String(pattern));
    }();
    return folder;
}

bool prepare(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return false;
    }
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler());
    if (resourceFolder().isEmpty()) {
        state.SkipWithError("cannot create the resource folder");
        return false;
    }
    return true;
}

// `title` looked up again and again in `folder` against one walk of the 10,000-file folder.
void compareCachedLookup(benchmark::State& state, const char* name, const zil::Path& folder, const zil::String& title)
{
    if (!prepare(state))
        return;
    zil::P<zilui::CResourceManager> manager(new zilui::CResourceManager());
    manager->addResourceFolder(folder);
    if (!manager->loadBitmapByTitle(title).IsOk()) {
        state.SkipWithError("the picture did not load");
        return;
    }
    bench::compare(state,
                   {name, [&](int64_t n) {
                        while (n-- > 0) {
                            wxBitmap bitmap = manager->loadBitmapByTitle(title);
                            benchmark::DoNotOptimize(bitmap.GetRefData());
                        }
                    }},
                   {"walk of the 10,000-file folder", [&](int64_t n) {
                        while (n-- > 0) {
                            size_t count = 0;
                            for (zil::CFileSystemIterator it(resourceFolder()); it.next();)
                                count += it.getName().size();
                            benchmark::DoNotOptimize(count);
                        }
                    }},
                   0.001, bench::Clock::threadCpu, 9, 0.2e-6);
}

void BM_ResourceCachedBitmapByTitle(benchmark::State& state)
{
    if (!prepare(state)) // before the folder is made: it writes a PNG
        return;
    compareCachedLookup(state, "cached lookup, 10,000-file folder", resourceFolder(), L"ok");
}
BENCHMARK(BM_ResourceCachedBitmapByTitle)->Iterations(1);

// The installed icon theme: a real folder of a few hundred pictures.
void BM_ResourceCachedBitmapIconTheme(benchmark::State& state)
{
    const zil::Path theme(L"/usr/share/icons/Adwaita/48x48");
    zil::String title;
    for (zil::CFileSystemIterator it(theme / zil::Path(L"legacy")); title.isEmpty() && it.next();)
        if (it.getName().EndsWith(L".png"))
            title = L"legacy/" + it.getName().substr(0, it.getName().size() - 4);
    if (title.isEmpty()) {
        state.SkipWithError("no icon theme at /usr/share/icons/Adwaita/48x48");
        return;
    }
    compareCachedLookup(state, "cached lookup, Adwaita 48x48 theme", theme, title);
}
BENCHMARK(BM_ResourceCachedBitmapIconTheme)->Iterations(1);

} // namespace
