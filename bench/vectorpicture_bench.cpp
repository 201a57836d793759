// SPDX-License-Identifier: MIT
// A vector picture is rendered once per factor and then cached like a raster variant: the first
// paint at a new factor costs a render, every later one must cost what a cached PNG costs.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/app/strings.h>
#include <zilui/graphics/resourcemanager.h>

#include <benchmark/benchmark.h>

#include <wx/image.h>

#include <chrono>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {

// A 48-pixel application icon of the usual make: gradients, a stroked outline, a path.
const char kIconSvg[] =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">)svg"
    R"svg(<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#7ab"/>)svg"
    R"svg(<stop offset="1" stop-color="#246"/></linearGradient>)svg"
    R"svg(<radialGradient id="h" cx="0.3" cy="0.3" r="0.7"><stop offset="0" stop-color="#fff" stop-opacity=".6"/>)svg"
    R"svg(<stop offset="1" stop-color="#fff" stop-opacity="0"/></radialGradient></defs>)svg"
    R"svg(<rect x="4.5" y="4.5" width="39" height="39" rx="6" fill="url(#g)" stroke="#123"/>)svg"
    R"svg(<circle cx="24" cy="24" r="14" fill="url(#h)"/>)svg"
    R"svg(<path d="M14 25l7 7 13-15" fill="none" stroke="#fff" stroke-width="4" stroke-linecap="round"/></svg>)svg";

// "icon.svg" and "photo.png" with "photo@2.png", the SVG rendered at 1 and 2, made once per
// process and removed at exit; empty when it could not be made.
const zil::Path& pictureFolder()
{
    static const zil::Path folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zilui-bench-svg-XXXXXX";
        if (!::mkdtemp(&pattern[0]))
            return zil::Path();
        if (std::FILE* file = std::fopen((pattern + "/icon.svg").c_str(), "wb")) {
            std::fputs(kIconSvg, file);
            std::fclose(file);
        }
        static char made[4096];
        std::snprintf(made, sizeof made, "%s", pattern.c_str());
        std::atexit([] {
            auto remove = [](const char* path, const struct stat*, int, struct FTW*) {
                return std::remove(path), 0;
            };
            ::nftw(made, remove, 16, FTW_DEPTH | FTW_PHYS);
        });
        const zil::Path path{zil::String(pattern)};
        zil::P<zilui::CResourceManager> manager(new zilui::CResourceManager());
        manager->addResourceFolder(path);
        if (!manager->loadImageByTitle(L"icon", nullptr, 1.0).SaveFile(pattern + "/photo.png", wxBITMAP_TYPE_PNG) ||
            !manager->loadImageByTitle(L"icon", nullptr, 2.0).SaveFile(pattern + "/photo@2.png", wxBITMAP_TYPE_PNG))
            return zil::Path();
        // The manager reads a folder modified within the last two seconds anew each time; a
        // resource folder of a running program is older than that.
        std::this_thread::sleep_for(std::chrono::milliseconds(3100));
        return path;
    }();
    return folder;
}

zil::P<zilui::CResourceManager> prepareManager(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return nullptr;
    }
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler());
    if (pictureFolder().isEmpty()) {
        state.SkipWithError("cannot create the picture folder");
        return nullptr;
    }
    zil::P<zilui::CResourceManager> manager(new zilui::CResourceManager());
    manager->addResourceFolder(pictureFolder());
    return manager;
}

// Loads `title` at 175 % n times; `fresh` empties the caches before each load.
std::function<void(int64_t)> loadAt175(const zil::P<zilui::CResourceManager>& manager, const wchar_t* title,
                                       bool fresh)
{
    return [&manager, title, fresh](int64_t n) {
        while (n-- > 0) {
            if (fresh)
                manager->dispose();
            wxBitmap bitmap = manager->loadBitmapByTitle(title, nullptr, 1.75);
            benchmark::DoNotOptimize(bitmap.GetRefData());
        }
    };
}

// Both load a picture at a factor no variant is made for (175 %): the SVG renders it, the PNG
// is read and resampled from its @2 variant. Emptying the caches makes each repetition a first
// paint at that factor.
void BM_VectorPictureAtNewFactor(benchmark::State& state)
{
    zil::P<zilui::CResourceManager> manager = prepareManager(state);
    if (!manager)
        return;
    const auto loadFresh = [&](const wchar_t* title) { return loadAt175(manager, title, true); };
    if (manager->loadBitmapByTitle(L"icon", nullptr, 1.75).GetWidth() != 84 ||
        manager->loadBitmapByTitle(L"photo", nullptr, 1.75).GetWidth() != 84) {
        state.SkipWithError("the pictures did not load at 84 pixels");
        return;
    }
    // No goal: the render costs more than the resample; what matters is that it happens once.
    bench::compare(state, {"SVG rendered at 1.75", loadFresh(L"icon")},
                   {"PNG @2 read and resampled to 1.75", loadFresh(L"photo")}, 0.0);
}
BENCHMARK(BM_VectorPictureAtNewFactor)->Iterations(1);

// Cached, a vector picture is a bitmap like any other.
void BM_VectorPictureCached(benchmark::State& state)
{
    zil::P<zilui::CResourceManager> manager = prepareManager(state);
    if (!manager)
        return;
    const auto lookup = [&](const wchar_t* title) { return loadAt175(manager, title, false); };
    if (!manager->loadBitmapByTitle(L"icon", nullptr, 1.75).IsOk() ||
        !manager->loadBitmapByTitle(L"photo", nullptr, 1.75).IsOk()) {
        state.SkipWithError("the pictures did not load");
        return;
    }
    bench::compare(state, {"cached SVG version", lookup(L"icon")}, {"cached PNG version", lookup(L"photo")}, 1.1);
}
BENCHMARK(BM_VectorPictureCached)->Iterations(1);

} // namespace
