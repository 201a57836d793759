// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "zil/syscall_count.h"
#include "zil/temp_folder.h"

#include <zilui/app/strings.h>
#include <zilui/graphics/resourcemanager.h>

#include <zil/folderwatch.h>

#include <gtest/gtest.h>

#include <wx/log.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace zilui;
using zil::Path;
using zil::test::CTempFolder;
using zil::test::countOf;
using zilui::test::CGlobalLogCapture;

namespace {

// 8x4 pixels times `factor`, so the size tells which variant was read.
void writePicture(const Path& path, double factor)
{
    wxImage image(int(std::lround(8 * factor)), int(std::lround(4 * factor)));
    ASSERT_TRUE(image.SaveFile(toWX(path.str()), path.str().EndsWith(L".ico") ? wxBITMAP_TYPE_ICO : wxBITMAP_TYPE_PNG));
}

zil::P<CResourceManager> managerFor(const Path& folder)
{
    zil::P<CResourceManager> manager(new CResourceManager());
    manager->addResourceFolder(folder);
    return manager;
}

} // namespace

TEST(ResourceManager, ChoosesTheBestResolutionVariant)
{
    struct Case { std::vector<const wchar_t*> files; double requested; const wchar_t* best; double found; wxSize size; };
    const Case cases[] = {
        {{L"1", L"1_5", L"2"}, 1.5, L"ok@1_5.png", 1.5, {12, 6}},
        {{L"1", L"2"}, 1.25, L"ok@2.png", 2.0, {10, 5}}, // both off, opposite sides: shrink the larger
        {{L"1", L"2"}, 1.1, L"ok.png", 1.0, {8, 4}},     // 9 % smaller is used as it is
        {{L"1", L"2"}, 1.96, L"ok@2.png", 2.0, {16, 8}},
        {{L"1", L"1_04", L"0_9"}, 1.0, L"ok.png", 1.0, {8, 4}},
        {{L"1_04", L"0_9"}, 1.0, L"ok@0_9.png", 0.9, {}}, // both fine, opposite sides: the smaller
        {{L"2_5", L"3"}, 2.0, L"ok@2_5.png", 2.5, {}},    // both too large: the smaller
        {{L"0_5", L"3"}, 2.0, L"ok@3.png", 3.0, {}},
        {{}, 1.0, L"", -1.0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "requested " << c.requested);
        CTempFolder folder;
        for (zil::String f : c.files) {
            const Path name = f == L"1" ? L"ok.png" : L"ok@" + f + L".png";
            f.Replace(L"_", L".");
            writePicture(folder / name, zil::parseSimpleDouble(f));
        }
        double found = 0;
        const Path best = CResourceManager::findBestResolutionVariantOfFile(folder / L"ok.png", c.requested, &found);
        EXPECT_EQ(best.str(), (*c.best ? folder / c.best : Path()).str());
        EXPECT_EQ(found, c.found);
        if (c.size == wxSize())
            continue;
        Path loaded;
        EXPECT_EQ(managerFor(folder.path())->loadImageByTitle(L"ok", &loaded, c.requested).GetSize(), c.size);
        EXPECT_EQ(loaded.str(), best.str());
    }
    EXPECT_FALSE(CResourceManager::needToScaleImage(0.88, 1.0));
    EXPECT_TRUE(CResourceManager::needToScaleImage(0.87, 1.0));
}

TEST(ResourceManager, NamesAndBadFactorSuffixes)
{
    struct Case { const wchar_t* name; const wchar_t* ext; const wchar_t* base; double factor; };
    for (const Case& c : {Case{L"ok@1_25.png", L".png", L"ok", 1.25}, Case{L".x@2.b.png", L".b.png", L".x", 2.0},
                          Case{L"a@b@2", L"", L"a@b", 2.0}}) {
        SCOPED_TRACE(zil::String(c.name).toUTF8());
        zil::String title, ext;
        double factor = 0;
        CResourceManager::splitFileName(c.name, title, ext);
        EXPECT_EQ(title + ext, c.name);
        EXPECT_EQ(ext, c.ext);
        EXPECT_EQ(CResourceManager::extractResolutionFactorFromFileTitle(title, factor), c.base);
        EXPECT_EQ(factor, c.factor);
    }
    double factor = 0;
    for (const wchar_t* bad : {L"ok@1,5", L"ok@0_", L"ok@0_00001", L"ok@8_01", L"ok@-2"})
        EXPECT_THROW(CResourceManager::extractResolutionFactorFromFileTitle(bad, factor), zil::CParseError);
    EXPECT_EQ(zil::test::thrown([&] {
                  CResourceManager::extractResolutionFactorFromFileTitle(L"ok@0_", factor);
              }).getMessage(),
              L"Resolution factor '0_' of 'ok@0_' is outside 0.25 to 8");
    EXPECT_NO_THROW(CResourceManager::extractResolutionFactorFromFileTitle(L"ok@0_25", factor));

    CTempFolder folder;
    writePicture(folder / L"ok.png", 1.0);
    writePicture(folder / L"ok@x.png", 2.0);
    writePicture(folder / L"z@0_.png", 1.0);
    CGlobalLogCapture log;
    double found = 0;
    EXPECT_EQ(managerFor(folder.path())->findResourceByTitle(L"ok", L"", 2.0, &found), folder / L"ok.png");
    EXPECT_EQ(found, 1.0);
    EXPECT_NE(log.text().find("Invalid resolution factor suffix in file name. Ignoring file: " +
                              (folder / L"ok@x.png").str().toUTF8()),
              std::string::npos)
        << log.text();
    // A lone variant with factor 0 is skipped like any bad suffix, not rescaled.
    EXPECT_EQ(CResourceManager::findBestResolutionVariantOfFile(folder / L"z.png", 1.0, &found), Path());

    const zil::CError e = zil::test::thrown([] { CResourceManager::findBestResolutionVariantOfFile(L"ok.png", 1.0); });
    EXPECT_EQ(e.getMessage(), L"Error: CResourceManager::getBestResolutionVariant called with relative path: ok.png");
    EXPECT_EQ(e.getCode(), -1);
    EXPECT_THROW(managerFor(folder.path())->loadAndScaleImage(L"ok.png", 1.0), zil::CError);
}

TEST(ResourceManager, FolderOrderAndPreferredExtension)
{
    CTempFolder early, late;
    ASSERT_EQ(::mkdir(late.api(L"buttons").c_str(), 0777), 0);
    for (const Path& file : {early / L"ok.png", late / L"ok.png", early / L"pick.png", late / L"pick.gif",
                             late / L"buttons/close.png", late / L"solo@2.png"})
        writePicture(file, 1.0);
    // The base folder comes first, normalised.
    zil::String& baseOverride = CResourceManager::getResourceBaseFolderOverrideRef();
    const zil::String saved = baseOverride;
    baseOverride = (early / L"sub/..").str();
    zil::P<CResourceManager> manager(new CResourceManager());
    baseOverride = saved;
    EXPECT_EQ(manager->getResourceBaseFolder().str(), early.path().str());
    manager->addResourceFolder(late.path());

    struct Case { zil::String title; const wchar_t* preferred; Path expected; };
    const Case cases[] = {
        {L"ok", L"", late / L"ok.png"},          {L"pick", L".png", early / L"pick.png"},
        {L"pick", L"", late / L"pick.gif"},      {L"pick", L".bmp", late / L"pick.gif"},
        {L"buttons/close", L"", late / L"buttons/close.png"}, {L"close", L"", Path()},
        {L"solo", L"", Path()}, // variants are found only beside their base file
        {(early / L"ok").str(), L"", early / L"ok.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toUTF8() + " " + zil::String(c.preferred).toUTF8());
        double found = 0;
        EXPECT_EQ(manager->findResourceByTitle(c.title, c.preferred, 1.0, &found).str(), c.expected.str());
        EXPECT_EQ(found, c.expected.isEmpty() ? -1.0 : 1.0);
    }
    EXPECT_EQ(manager->findResource(L"buttons/close.png"), late / L"buttons/close.png");
    EXPECT_EQ(manager->findResource(L"pick.png"), early / L"pick.png");
    EXPECT_EQ(manager->findResource(L"none.png"), Path());
}

TEST(ResourceManager, CachesPerFileAndFactorAndReadsOnce)
{
    wxLogNull quiet; // the garbage files below make wx report load errors
    CTempFolder folder;
    writePicture(folder / L"ok.png", 1.0);
    writePicture(folder / L"ok@2.png", 2.0);
    folder.writeFile(L"bad.png", "not a picture");
    auto manager = managerFor(folder.path());

    const wxImage first = manager->loadImageByTitle(L"ok", nullptr, 1.0);
    const wxBitmap bitmap = manager->loadBitmapByTitle(L"ok", nullptr, 1.0);
    ASSERT_TRUE(first.IsOk());
    folder.writeFile(L"ok.png", "overwritten");
    EXPECT_TRUE(manager->loadImageByTitle(L"ok", nullptr, 1.0).IsSameAs(first)) << "read again";
    EXPECT_TRUE(manager->loadBitmapByTitle(L"ok", nullptr, 1.0).IsSameAs(bitmap));
    // 1.04 ends on the same file but is another key, so the file is read again.
    EXPECT_FALSE(manager->loadImageByTitle(L"ok", nullptr, 1.04).IsOk());
    EXPECT_EQ(manager->loadImageByTitle(L"ok", nullptr, 1.25).GetSize(), wxSize(10, 5));
    EXPECT_EQ(manager->loadAndScaleImage(folder / L"ok.png", 1.25).GetSize(), wxSize(10, 5));

    EXPECT_FALSE(manager->loadImageByTitle(L"bad", nullptr, 1.0).IsOk());
    writePicture(folder / L"bad.png", 1.0);
    EXPECT_FALSE(manager->loadImageByTitle(L"bad", nullptr, 1.0).IsOk()) << "a failed load is cached too";
    EXPECT_FALSE(manager->loadBitmapByTitle(L"missing").IsOk());
    EXPECT_TRUE(manager->loadScalingImageByTitle(L"missing").isNull());

    manager->dispose();
    EXPECT_TRUE(manager->loadImageByTitle(L"bad", nullptr, 1.0).IsOk());
    EXPECT_FALSE(manager->loadImageByTitle(L"ok", nullptr, 1.0).IsOk());
}

TEST(ResourceManager, IconsAnimationsAndScalingImages)
{
    CTempFolder folder;
    writePicture(folder / L"app.png", 1.0);
    writePicture(folder / L"app.ico", 4.0);
    writePicture(folder / L"ok.png", 1.0);
    writePicture(folder / L"ok@2.png", 2.0);
    static const char gif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x21\xf9\x04\x01\x00\x00"
                              "\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b";
    folder.writeFile(L"spin.gif", std::string(gif, sizeof gif - 1));
    auto manager = managerFor(folder.path());

    Path found;
    const wxIcon small = manager->loadIconByTitle(L"app", 16, 16, &found);
    EXPECT_EQ(found.str(), (folder / L"app.ico").str());
    EXPECT_TRUE(small.IsOk());
    EXPECT_FALSE(manager->loadIconByTitle(L"app", 32, 32).IsSameAs(small));
    EXPECT_TRUE(manager->loadIconByTitle(L"app", 16, 16).IsSameAs(small));

    {
        CGlobalLogCapture log;
        EXPECT_TRUE(manager->loadAnimationByTitle(L"spin", nullptr, 2.0).IsOk());
        EXPECT_TRUE(manager->loadAnimationByTitle(L"spin", nullptr, 1.0).IsOk());
        EXPECT_NE(log.text().find("Would need to scale animation 'spin.gif' by factor 2.000000, but that "
                                  "is not supported. Using animation as is."),
                  std::string::npos)
            << log.text();
        EXPECT_EQ(log.text().find("by factor 1.000000"), std::string::npos);
    }

    struct Case { double factor; wxSize base; };
    for (const Case& c : {Case{1.0, {8, 4}}, Case{1.25, {10, 5}}, Case{1.1, {8, 4}}, Case{2.0, {16, 8}}}) {
        SCOPED_TRACE(c.factor);
        zil::P<IScalingImage> image = manager->loadScalingImageByTitle(L"ok", c.factor);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image->getBaseSize(), c.base);
        EXPECT_EQ(manager->loadScalingImageByTitle(L"ok", c.factor), image);
    }
}

TEST(ResourceManager, ConcurrentLookupsWhileTheFolderChanges)
{
    CTempFolder folder;
    writePicture(folder / L"ok.png", 1.0);
    auto manager = managerFor(folder.path());
    const wxImage first = manager->loadImageByTitle(L"ok", nullptr, 1.0);
    ASSERT_TRUE(first.IsOk());
    std::atomic<int> wrong{0};
    std::thread writer = zil::test::startWritingFiles(folder, 200);
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                // Off the main thread the image is a copy: same pixels, not the cached object.
                const wxImage image = manager->loadImageByTitle(L"ok", nullptr, 1.0);
                wrong += manager->findResourceByTitle(L"ok", L".png", 1.0) != folder / L"ok.png" ||
                         image.IsSameAs(first) || image.GetSize() != first.GetSize() ||
                         memcmp(image.GetData(), first.GetData(), size_t(first.GetWidth()) * first.GetHeight() * 3);
            }
        });
    for (std::thread& reader : readers)
        reader.join();
    writer.join();
    EXPECT_EQ(wrong, 0);
    // Seen once the writer's last notice has arrived.
    EXPECT_TRUE(zil::test::waitUntil([&] { return !manager->findResourceByTitle(L"extra199", L"").isEmpty(); }));
}

TEST(ResourceManager, WatchedFolderChangesSeenAfterTheNotice)
{
    CTempFolder folder;
    writePicture(folder / L"ok.png", 1.0);
    auto manager = managerFor(folder.path());
    std::string reason;
    auto watch = zil::CFolderWatch::watch(folder.path().toAPIPath(), reason);
    ASSERT_TRUE(watch) << reason;
    ASSERT_TRUE(manager->loadBitmapByTitle(L"ok").IsOk());
    EXPECT_FALSE(manager->loadBitmapByTitle(L"new").IsOk());
    EXPECT_FALSE(manager->loadBitmapByTitle(L"sub/deep").IsOk()) << "a missing subfolder, known through its parent";

    struct Step {
        const char* change;
        std::function<void()> make;
        uint64_t notices;
        std::vector<std::pair<const wchar_t*, bool>> found;
    };
    const Step steps[] = {
        {"added", [&] { writePicture(folder / L"new.png", 1.0); }, 1, {{L"new", true}}},
        {"renamed", [&] { std::rename(folder.api(L"new.png").c_str(), folder.api(L"moved.png").c_str()); }, 2,
         {{L"new", false}, {L"moved", true}}},
        {"removed", [&] { ::unlink(folder.api(L"moved.png").c_str()); }, 1, {{L"moved", false}, {L"ok", true}}},
        {"subfolder made", [&] { ::mkdir(folder.api(L"sub").c_str(), 0755), writePicture(folder / L"sub/deep.png", 1.0); },
         1, {{L"sub/deep", true}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.change);
        const uint64_t before = watch->changes.load();
        step.make();
        ASSERT_TRUE(zil::test::waitUntil([&] { return watch->changes.load() >= before + step.notices; }))
            << "no change notice";
        for (const auto& [title, expected] : step.found) {
            Path path;
            EXPECT_EQ(manager->loadBitmapByTitle(title, &path).IsOk(), expected) << zil::String(title).toUTF8();
            EXPECT_EQ(path.isEmpty(), !expected);
        }
    }
}

TEST(ResourceManager, CachedLookupMakesNoSystemCall)
{
    if (zil::test::kUnderSanitizer)
        GTEST_SKIP() << "the sanitizer runtime makes system calls of its own on the counted thread";
    for (const bool watched : {true, false}) {
        SCOPED_TRACE(watched ? "watched" : "modification time");
        CResourceManager::setWatchFolders(watched);
        CTempFolder own;
        writePicture(own / L"ok.png", 1.0);
        auto manager = managerFor(own.path());
        int found = 0;
        const auto lookUp = [&] {
            for (int i = 0; i < 100; ++i)
                found += manager->loadBitmapByTitle(L"ok").IsOk();
        };
        const int calls = zil::test::countSyscalls(lookUp);
        CResourceManager::setWatchFolders(true);
        ASSERT_GE(calls, 0) << "seccomp refused";
        // Without a watch every lookup makes its stat, which the counter must see.
        EXPECT_TRUE(watched ? calls == 0 && found == 200 : calls >= 100) << calls << " calls, " << found << " found";
    }
}

namespace {

// 8x4 units: a 1-unit black line down x = 2 on white, so that the size tells the factor and the
// line shows how the picture was scaled.
const char kLineSvg[] = R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="4" viewBox="0 0 8 4">)svg"
                        R"svg(<rect width="8" height="4" fill="#fff"/><path d="M2.5 0V4" stroke="#000"/></svg>)svg";

} // namespace

// The picture is rendered for the screen, not resampled: the size is what the factor asks, and
// a line drawn on whole units stays solid, exactly `factor` pixels wide, with no blurred
// neighbours, as a resampled raster would show.
TEST(ResourceManager, VectorPicturesRenderAtTheAskedSize)
{
    CTempFolder folder;
    folder.writeFile(L"line.svg", kLineSvg);
    auto manager = managerFor(folder.path());
    struct Case { double factor; wxSize size; };
    for (const Case& c : {Case{1.0, {8, 4}}, Case{1.25, {10, 5}}, Case{1.75, {14, 7}}, Case{2.0, {16, 8}},
                          Case{3.0, {24, 12}}}) {
        SCOPED_TRACE(c.factor);
        Path found;
        const wxImage image = manager->loadImageByTitle(L"line", &found, c.factor);
        EXPECT_EQ(found, folder / L"line.svg");
        ASSERT_EQ(image.GetSize(), c.size);
        const wxBitmap bitmap = manager->loadBitmapByTitle(L"line", nullptr, c.factor);
        EXPECT_EQ(bitmap.GetSize(), c.size);
        EXPECT_EQ(manager->loadScalingImageByTitle(L"line", c.factor)->getBaseSize(), c.size);
        if (c.factor != std::floor(c.factor))
            continue;
        const int factor = int(c.factor);
        for (int x = 0; x < c.size.x; ++x) {
            SCOPED_TRACE(x);
            const bool inLine = x >= 2 * factor && x < 3 * factor;
            EXPECT_EQ(image.GetRed(x, c.size.y / 2), inLine ? 0 : 255);
            EXPECT_EQ(image.GetAlpha(x, c.size.y / 2), 255);
        }
    }
}

TEST(ResourceManager, RasterVariantWinsOnlyAtItsExactFactor)
{
    CTempFolder folder;
    writePicture(folder / L"ok.png", 1.0);
    writePicture(folder / L"ok@2.png", 2.0);
    folder.writeFile(L"ok.svg", kLineSvg);
    folder.writeFile(L"only.svg", kLineSvg);
    writePicture(folder / L"only@2.png", 2.0); // a variant without its base file is not one
    auto manager = managerFor(folder.path());
    // Either way the file found serves the factor exactly.
    struct Case { const wchar_t* title; double factor; const wchar_t* file; };
    const Case cases[] = {
        {L"ok", 1.0, L"ok.png"},   {L"ok", 2.0, L"ok@2.png"}, {L"ok", 1.1, L"ok.svg"},
        {L"ok", 1.96, L"ok.svg"}, {L"ok", 3.0, L"ok.svg"},   {L"only", 2.0, L"only.svg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << zil::String(c.title).toUTF8() << " at " << c.factor);
        double found = 0;
        EXPECT_EQ(manager->findResourceByTitle(c.title, L"", c.factor, &found), folder / c.file);
        EXPECT_EQ(found, c.factor);
        Path used;
        manager->loadBitmapByTitle(c.title, &used, c.factor);
        EXPECT_EQ(used, folder / c.file);
    }
    // Asked for by extension, the raster file is what the caller gets.
    EXPECT_EQ(manager->findResourceByTitle(L"ok", L".png", 1.5), folder / L"ok@2.png");
}

// A picture that is damaged, or that would make the renderer read something else, gives way to
// the raster variants beside it; the reason is logged once per file, not once per paint.
TEST(ResourceManager, RefusedVectorPicturesFallBackToRaster)
{
    struct Case { const char* text; const char* logged; };
    const Case cases[] = {
        {R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="4"><rect width=)svg", "damaged"},
        {R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="4"><image href="/etc/passwd"/></svg>)svg",
         "refused: it contains an"},
        {R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="4"><script>x()</script></svg>)svg",
         "contains a script"},
        {R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="4"><use href="a.svg#b"/></svg>)svg",
         "refers to 'a.svg#b'"},
        {R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="32767" height="32767"/>)svg", "beyond the picture limit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        CTempFolder folder;
        writePicture(folder / L"ok.png", 1.0);
        folder.writeFile(L"ok.svg", c.text);
        folder.writeFile(L"lone.svg", c.text);
        auto manager = managerFor(folder.path());
        CGlobalLogCapture log;

        Path used;
        EXPECT_EQ(manager->loadImageByTitle(L"ok", &used, 1.5).GetSize(), wxSize(12, 6));
        EXPECT_EQ(used, folder / L"ok.png");
        EXPECT_EQ(manager->loadBitmapByTitle(L"ok", &used, 1.25).GetSize(), wxSize(10, 5));
        EXPECT_EQ(used, folder / L"ok.png");
        zil::P<IScalingImage> scaling = manager->loadScalingImageByTitle(L"ok", 3.0);
        ASSERT_FALSE(scaling.isNull());
        EXPECT_EQ(scaling->getBaseSize(), wxSize(24, 12));
        EXPECT_EQ(manager->findResourceByTitle(L"ok", L"", 1.5), folder / L"ok.png");
        // Nothing to fall back to: nothing at all, as for a missing file.
        EXPECT_FALSE(manager->loadImageByTitle(L"lone", &used, 2.0).IsOk());
        EXPECT_TRUE(manager->loadScalingImageByTitle(L"lone", 3.0).isNull());

        const std::string text = log.text();
        EXPECT_NE(text.find(c.logged), std::string::npos) << text;
        EXPECT_EQ(countOf(text, "Using the raster variants of '" + (folder / L"ok.svg").str().toUTF8()), 1) << text;
    }
}

// A nine-part vector picture is rendered whole for the screen and then cut: a 1-unit frame at
// its edge stays exactly `factor` solid pixels in every corner and edge of any version.
TEST(ResourceManager, NinePartVectorPictureKeepsCrispCorners)
{
    CTempFolder folder;
    folder.writeFile(L"frame.svg",
                     R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="30" height="30" viewBox="0 0 30 30">)svg"
                     R"svg(<rect width="30" height="30" fill="#fff"/>)svg"
                     R"svg(<rect x="0.5" y="0.5" width="29" height="29" fill="none" stroke="#000"/></svg>)svg");
    folder.writeFile(L"frame_params.ini", "scaleMargins=10,10,10,10\nscaleFocus=center\n");
    auto manager = managerFor(folder.path());
    for (const int factor : {1, 2, 3}) {
        SCOPED_TRACE(factor);
        zil::P<IScalingImage> image = manager->loadScalingImageByTitle(L"frame", factor);
        ASSERT_FALSE(image.isNull());
        ASSERT_EQ(image->getBaseSize(), wxSize(30 * factor, 30 * factor));
        const wxSize size(100 * factor, 40 * factor);
        const wxImage version = image->getScaledVersion(size)->getBitmap().ConvertToImage();
        ASSERT_EQ(version.GetSize(), size);
        // Across the left edge in the top corner and the middle, and down the top edge.
        const struct { wxPoint start; wxPoint step; } probes[] = {
            {{0, 5 * factor}, {1, 0}}, {{0, size.y / 2}, {1, 0}}, {{size.x / 2, 0}, {0, 1}}, {{5 * factor, 0}, {0, 1}}};
        for (const auto& probe : probes) {
            for (int i = 0; i < factor + 2; ++i) {
                const wxPoint p = probe.start + wxPoint(probe.step.x * i, probe.step.y * i);
                SCOPED_TRACE(::testing::Message() << p.x << "," << p.y);
                EXPECT_EQ(version.GetRed(p.x, p.y), i < factor ? 0 : 255);
            }
        }
    }
}

// Workers ask for pictures too: renders at several factors at once must each get their own
// size, and a refused picture falls back for every thread while being logged once.
TEST(ResourceManager, ConcurrentVectorLoads)
{
    CTempFolder folder;
    folder.writeFile(L"line.svg", kLineSvg);
    folder.writeFile(L"bad.svg", R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="4"><script/></svg>)svg");
    writePicture(folder / L"bad.png", 1.0);
    auto manager = managerFor(folder.path());
    CGlobalLogCapture log;
    const double factors[] = {1.0, 1.25, 1.5, 2.0, 2.5, 3.0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < 60; ++i) {
                const double factor = factors[(i + t) % std::size(factors)];
                const wxSize size(int(std::ceil(8 * factor)), int(std::ceil(4 * factor)));
                const wxImage line = manager->loadImageByTitle(L"line", nullptr, factor);
                const wxImage bad = manager->loadImageByTitle(L"bad", nullptr, factor);
                wrong += line.GetSize() != size || bad.GetSize() != size ||
                         line.GetRed(int(std::floor(2.5 * factor)), 0) >= 128 || bad.HasAlpha();
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(wrong, 0);
    const std::string text = log.text();
    const std::string refused = "Using the raster variants of '" + (folder / L"bad.svg").str().toUTF8();
    EXPECT_EQ(countOf(text, refused), 1) << text;
}
