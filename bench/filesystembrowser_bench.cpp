// SPDX-License-Identifier: MIT
// The browser must stay fluid on a folder of 100,000 files: the GUI thread may be busy for at
// most 50 ms in one go from setActiveFolder to the full list, where wxGenericDirCtrl reads the
// folder on the GUI thread in one piece. The time of a run is the GUI thread's own CPU time in
// its longest stretch; the wall time of that stretch, which grows with whatever else the
// machine runs, is printed beside it; and a rebuild of the list may not grow with rows
// that are not visible (100,000 loaded rows at most 10 times the cost of 1,000).
#include "benchapp.h"
#include "ratio.h"

#include <zilui/system/filesystembrowser.h>
#include <zilui/xrc/xmlresourcehandler.h>

#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/dirctrl.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/timer.h>

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <malloc.h>
#include <map>
#include <thread>
#include <vector>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <time.h>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Control = zilui::CFileSystemBrowserControl;
constexpr int kFiles = 100000;

// A folder of `count` empty files, made once per run in /tmp and removed at exit.
const std::string& folderOf(int count)
{
    static std::map<int, std::string> made;
    std::string& path = made[count];
    if (!path.empty())
        return path;
    std::string pattern = "/tmp/zilui-bench-files-XXXXXX";
    if (!::mkdtemp(&pattern[0]))
        return path;
    for (int i = 0; i < count; ++i) {
        const std::string file = pattern + "/file" + std::to_string(i) + ".txt";
        const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    if (made.size() == 1)
        std::atexit([] {
            for (const auto& [n, folder] : made)
                if (!folder.empty())
                    ::nftw(
                        folder.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p), 0; },
                        16, FTW_DEPTH | FTW_PHYS);
        });
    path = pattern;
    return path;
}

const std::string& bigFolder()
{
    return folderOf(kFiles);
}

// wxWidgets and the XRC handlers of a CAppBase program, which read the browser's bitmaps.
bool ensureBrowserApp()
{
    if (!bench::ensureWX())
        return false;
    static const bool handlers = [] {
        wxXmlResource::Get()->AddHandler(new zilui::CZilXMLResourceHandler());
        wxXmlResource::Get()->InitAllHandlers();
        return true;
    }();
    return handlers;
}

double threadCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Busy {
    double wallMs = 0; // includes time the scheduler gave to other processes
    double cpuMs = 0;  // what this thread itself spent
};

// The longest stretch in which the GUI thread handled no timer tick and no idle event while
// `start` runs and the loop goes on until `done`.
template <class Start, class Done>
Busy longestBusy(Start start, Done done)
{
    wxGUIEventLoop loop;
    Clock::time_point last = Clock::now();
    double lastCpu = threadCpuMs();
    Busy longest;
    const auto tick = [&] {
        const Clock::time_point now = Clock::now();
        const double cpu = threadCpuMs();
        longest.wallMs = std::max(longest.wallMs, std::chrono::duration<double, std::milli>(now - last).count());
        longest.cpuMs = std::max(longest.cpuMs, cpu - lastCpu);
        last = now;
        lastCpu = cpu;
        if (done() && loop.IsRunning())
            loop.Exit();
    };
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { tick(); });
    const auto onIdle = [&](wxIdleEvent& event) {
        tick();
        event.RequestMore();
    };
    wxTheApp->Bind(wxEVT_IDLE, onIdle);
    timer.Start(1);
    last = Clock::now();
    lastCpu = threadCpuMs();
    start();
    tick();
    if (!done())
        loop.Run();
    timer.Stop();
    wxTheApp->Unbind(wxEVT_IDLE, onIdle);
    return longest;
}

void BM_BrowserLongestBusy100000Files(benchmark::State& state)
{
    if (!ensureBrowserApp() || bigFolder().empty()) {
        state.SkipWithError("wxWidgets could not be started or the folder not made");
        return;
    }
    const zil::CURI folder = zil::CURI::fromPath(zil::Path(bigFolder()));
    for (auto _ : state) {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(600, 400));
        auto* control = new Control();
        control->Create(frame);
        frame->Show();
        const Busy busy = longestBusy(
            [&] { control->init(zil::CLocalFileSystem::get().get(), folder, folder); },
            [&] { return control->getRowItems().size() == size_t(kFiles); });
        state.SetIterationTime(busy.cpuMs / 1000.0);
        state.counters["busy_cpu_ms"] = busy.cpuMs;
        state.counters["busy_wall_ms"] = busy.wallMs;
        delete frame; // now, not in the next iteration's idle time
    }
}
BENCHMARK(BM_BrowserLongestBusy100000Files)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_BrowserBaselineGenericDirCtrl100000Files(benchmark::State& state)
{
    if (!ensureBrowserApp() || bigFolder().empty()) {
        state.SkipWithError("wxWidgets could not be started or the folder not made");
        return;
    }
    for (auto _ : state) {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(600, 400));
        frame->Show();
        wxGenericDirCtrl* tree = nullptr;
        const Busy busy = longestBusy(
            [&] {
                tree = new wxGenericDirCtrl(frame, wxID_ANY, wxString::FromUTF8(bigFolder()));
                tree->ExpandPath(wxString::FromUTF8(bigFolder()));
            },
            [&] { return tree != nullptr; });
        state.SetIterationTime(busy.cpuMs / 1000.0);
        state.counters["busy_cpu_ms"] = busy.cpuMs;
        state.counters["busy_wall_ms"] = busy.wallMs;
        delete frame; // now, not in the next iteration's idle time
    }
}
// One run: it keeps the GUI thread for many seconds.
BENCHMARK(BM_BrowserBaselineGenericDirCtrl100000Files)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// The two busy figures are read side by side from their counters: a ratio of medians over
// runs of many seconds each would add nothing but run time.

// `count` files in memory, so the rebuild is measured and not the disk.
class CMemoryFileSystem : public zil::CBase, public zil::IFileSystem {
public:
    void listFolder(const zil::CURI& folder, zil::TArray<EntryInfo>& out) override
    {
        const int count = folder.getName() == L"big" ? m_count : 1;
        for (int i = 0; i < count; ++i) {
            const zil::String name = L"file" + zil::toString(static_cast<int64_t>(i)) + L".txt";
            out.push_back({name, folder.join(name), EntryType::file, i});
        }
    }
    EntryInfo getEntryInfo(const zil::CURI& uri) override
    {
        return {uri.getName(), uri, EntryType::file, 1000};
    }
    bool isFolder(const zil::CURI&) override { return true; }
    int m_count = 0;
};

// A browser with a loaded folder of `count` files and one of a single file.
struct RebuildScene {
    explicit RebuildScene(int count)
    {
        frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(600, 400));
        control = new Control();
        control->Create(frame);
        frame->Show();
        fs = new CMemoryFileSystem;
        fs->m_count = count;
        control->init(fs.get(), L"mem://x", small);
        for (const zil::CURI& folder : {small, big}) {
            control->setActiveFolder(folder);
            wxGUIEventLoop loop;
            wxTimer timer;
            timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
                if (control->getCachedItem(folder)->loaded)
                    loop.Exit();
            });
            timer.Start(1);
            loop.Run();
        }
        control->setActiveFolder(small);
    }
    ~RebuildScene()
    {
        frame->Destroy();
        wxTheApp->ProcessPendingEvents();
    }
    // Two rebuilds, painting the visible rows each time; only the big one depends on `count`.
    void run(int64_t n)
    {
        while (n-- > 0) {
            control->setActiveFolder(big);
            control->getList()->Update();
            control->setActiveFolder(small);
            control->getList()->Update();
        }
    }

    const zil::CURI big{L"mem://x/big"}, small{L"mem://x/small"};
    wxFrame* frame;
    Control* control;
    zil::P<CMemoryFileSystem> fs;
};

void BM_BrowserRebuild(benchmark::State& state)
{
    if (!ensureBrowserApp()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    RebuildScene many(100000), few(1000);
    bench::compare(state, {"Browser rebuild 100000 rows", [&](int64_t n) { many.run(n); }},
                   {"Browser rebuild 1000 rows", [&](int64_t n) { few.run(n); }}, 10.0);
}
BENCHMARK(BM_BrowserRebuild)->Iterations(1);

} // namespace

namespace {

// Resident bytes after handing freed heap back, so that what the worker threads' arenas
// still hold free does not count.
double residentBytes()
{
    ::malloc_trim(0);
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(::sysconf(_SC_PAGESIZE));
}

// What a plain program does to show a folder: one thread reads the names and stats each entry.
size_t plainReadAndStat(const std::string& folder)
{
    std::vector<std::pair<std::string, off_t>> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0)
            entries.emplace_back(entry->d_name, st.st_size);
    }
    ::closedir(dir);
    return entries.size();
}

// Waits in the event loop until `done`.
template <class Done>
void runUntil(Done done)
{
    if (done())
        return;
    wxGUIEventLoop loop;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (done())
            loop.Exit();
    });
    timer.Start(1);
    loop.Run();
}

// From a load to every row of the folder in the list and the first page painted, against a
// plain thread reading and stating the same folder; both on the wall clock, since the
// browser's work is split between its worker and the GUI thread. A first listing starts from
// nothing (init() forgets the last one, which is freed meanwhile); a refresh lists a folder
// that is shown already, whose unchanged entries keep their rows.
void listingAgainstPlainThread(benchmark::State& state, int count, bool refresh)
{
    if (!ensureBrowserApp() || folderOf(count).empty()) {
        state.SkipWithError("wxWidgets could not be started or the folder not made");
        return;
    }
    const std::string& path = folderOf(count);
    const zil::CURI folder = zil::CURI::fromPath(zil::Path(path));
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(600, 400));
    auto* control = new Control();
    control->Create(frame);
    frame->Show();
    control->init(zil::CLocalFileSystem::get().get(), folder, folder);
    runUntil([&] { return control->getRowItems().size() == size_t(count); });
    const auto browser = [&](int64_t n) {
        while (n-- > 0) {
            if (refresh)
                control->refreshActiveFolder();
            else
                control->init(zil::CLocalFileSystem::get().get(), folder, folder);
            runUntil([&] { return control->getRowItems().size() == size_t(count); });
            control->getList()->Update();
        }
    };
    const auto plain = [&](int64_t n) {
        while (n-- > 0) {
            size_t read = 0;
            std::thread([&] { read = plainReadAndStat(path); }).join();
            benchmark::DoNotOptimize(read);
        }
    };
    bench::compare(state,
                   {"Browser " + std::string(refresh ? "refreshes " : "lists ") + std::to_string(count) + " entries",
                    browser},
                   {"Plain thread readdir + stat", plain}, 2.0, bench::Clock::wall, 7);
    frame->Destroy();
    wxTheApp->ProcessPendingEvents();
}

// First listings and refreshes, of 20,000 and 100,000 entries.
BENCHMARK_CAPTURE(listingAgainstPlainThread, BrowserListing20000VsPlainThread, 20000, false)->Iterations(1);
BENCHMARK_CAPTURE(listingAgainstPlainThread, BrowserListing100000VsPlainThread, 100000, false)->Iterations(1);
BENCHMARK_CAPTURE(listingAgainstPlainThread, BrowserRefreshListing20000VsPlainThread, 20000, true)->Iterations(1);
BENCHMARK_CAPTURE(listingAgainstPlainThread, BrowserRefreshListing100000VsPlainThread, 100000, true)
    ->Iterations(1);

// A million entries: listed, shown, scrolled to the end and back, refreshed (sorted again),
// left for another folder and the control destroyed. The GUI thread's longest busy stretch
// (its own CPU time) must stay within 50 ms; the heap it takes per entry is printed.
void BM_BrowserMillionEntriesLongestBusy(benchmark::State& state)
{
    constexpr int kMillion = 1000000;
    if (!ensureBrowserApp() || folderOf(kMillion).empty() || folderOf(1).empty()) {
        state.SkipWithError("wxWidgets could not be started or the folder not made");
        return;
    }
    const zil::CURI folder = zil::CURI::fromPath(zil::Path(folderOf(kMillion)));
    const zil::CURI other = zil::CURI::fromPath(zil::Path(folderOf(1)));
    constexpr double kGoalMs = 50;
    for (auto _ : state) {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(600, 400));
        auto* control = new Control();
        control->Create(frame);
        frame->Show();
        wxTheApp->ProcessPendingEvents();
        const double residentBefore = residentBytes();
        double heapPerEntry = 0;
        Busy worst;
        const auto keep = [&worst](const Busy& busy) {
            worst.cpuMs = std::max(worst.cpuMs, busy.cpuMs);
            worst.wallMs = std::max(worst.wallMs, busy.wallMs);
        };
        const auto loaded = [&] { return control->getRowItems().size() == size_t(kMillion); };
        keep(longestBusy([&] { control->init(zil::CLocalFileSystem::get().get(), folder, folder); }, loaded));
        heapPerEntry = (residentBytes() - residentBefore) / kMillion;
        int step = 0;
        keep(longestBusy(
            [&] {},
            [&] {
                // one scroll per turn of the loop, so that each is measured on its own
                wxListView* list = control->getList();
                switch (step++) {
                case 0: list->EnsureVisible(kMillion - 1); list->Update(); return false;
                case 1: list->EnsureVisible(kMillion / 2); list->Update(); return false;
                case 2: list->EnsureVisible(0); list->Update(); return false;
                default: return true;
                }
            }));
        keep(longestBusy([&] { control->refreshActiveFolder(); }, loaded));
        keep(longestBusy([&] { control->setActiveFolder(other); },
                         [&] { return control->getRowItems().size() == 1; }));
        keep(longestBusy([&] { delete frame; }, [] { return true; }));
        state.SetIterationTime(worst.cpuMs / 1000.0);
        state.counters["busy_cpu_ms"] = worst.cpuMs;
        state.counters["busy_wall_ms"] = worst.wallMs;
        state.counters["memory_bytes_per_entry"] = heapPerEntry;
        std::printf("Browser 1,000,000 entries: longest GUI-thread busy slice %.1f ms CPU (%.1f ms wall), goal "
                    "<= %.0f ms%s; memory %.0f bytes per entry (resident)\n",
                    worst.cpuMs, worst.wallMs, kGoalMs, worst.cpuMs <= kGoalMs ? "" : " MISSED", heapPerEntry);
    }
}
BENCHMARK(BM_BrowserMillionEntriesLongestBusy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
