// SPDX-License-Identifier: MIT
#include "zil/temp_folder.h"

#include <zilui/app/strings.h>
#include <zilui/graphics/resourcemanager.h>

#include <zil/log.h>

#include <gtest/gtest.h>

#include <wx/dcscreen.h>
#include <wx/log.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace zilui;
using zil::Path;
using zil::test::CTempFolder;

namespace {

// A picture of 8x4 pixels times `factor`, so its size tells which variant was read.
void writePicture(const Path& path, double factor)
{
    wxImage image(int(std::lround(8 * factor)), int(std::lround(4 * factor)));
    image.SetRGB(wxRect(image.GetSize()), 200, 40, 40);
    ASSERT_TRUE(image.SaveFile(toWX(path.str()), path.str().EndsWith(L".ico") ? wxBITMAP_TYPE_ICO : wxBITMAP_TYPE_PNG));
}

// Sets the folder's modification time `seconds` + `nanoseconds` past a minute ago: old
// enough to be trusted, and exact to the nanosecond.
void setFolderTime(const Path& folder, long nanoseconds)
{
    static const time_t base = std::time(nullptr) - 60;
    const timespec times[2] = {{base, 0}, {base, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.toAPIPath().c_str(), times, 0), 0);
}

// "ok.png" for 1.0, else "ok@1_5.png" and the like.
zil::String variantName(double factor)
{
    if (factor == 1.0)
        return L"ok.png";
    char text[32];
    std::snprintf(text, sizeof text, "%g", factor);
    zil::String suffix(text);
    suffix.Replace(L".", L"_");
    return L"ok@" + suffix + L".png";
}

zil::P<CResourceManager> managerFor(std::initializer_list<Path> folders)
{
    zil::P<CResourceManager> manager(new CResourceManager());
    for (const Path& folder : folders)
        manager->addResourceFolder(folder);
    return manager;
}

// Routes the global log into a file for the life of the object.
class CLogCapture {
public:
    CLogCapture()
    {
        zil::P<zil::CXMLLog> log(new zil::CXMLLog((m_folder / L"log").str(), nullptr, false, 0, false, false));
        zil::CXMLLog::setGlobalCreateFunc([log] { return log; });
        zil::CXMLLog::disposeGlobal();
    }
    ~CLogCapture()
    {
        zil::CXMLLog::setGlobalCreateFunc(nullptr);
        zil::CXMLLog::disposeGlobal();
    }
    zil::String text() const { return zil::String(m_folder.read(L"log")); }

private:
    CTempFolder m_folder;
};

} // namespace

TEST(ResourceManager, ChoosesTheBestResolutionVariant)
{
    struct Case { std::vector<double> files; double requested; const wchar_t* expected; double found; wxSize size; };
    const Case cases[] = {
        {{1.0, 1.5, 2.0}, 1.5, L"ok@1_5.png", 1.5, {12, 6}},
        {{1.0, 2.0}, 1.25, L"ok@2.png", 2.0, {10, 5}}, // both off, opposite sides: shrink the larger
        {{1.0, 2.0}, 1.1, L"ok.png", 1.0, {8, 4}},     // 9 % smaller is used as it is
        {{1.0, 2.0}, 1.96, L"ok@2.png", 2.0, {16, 8}},
        {{1.0, 1.04, 0.9}, 1.0, L"ok.png", 1.0, {8, 4}},
        {{1.04, 0.9}, 1.0, L"ok@0_9.png", 0.9, {}}, // both fine, opposite sides: the smaller
        {{2.5, 3.0}, 2.0, L"ok@2_5.png", 2.5, {}},  // both too large: the smaller
        {{0.5, 3.0}, 2.0, L"ok@3.png", 3.0, {}},
        {{}, 1.0, L"", -1.0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "requested " << c.requested << " expected " << c.expected);
        CTempFolder folder;
        for (double f : c.files)
            writePicture(folder / variantName(f), f);
        double found = 0;
        const Path best = CResourceManager::findBestResolutionVariantOfFile(folder / L"ok.png", c.requested, &found);
        EXPECT_EQ(best.str(), (*c.expected ? folder / c.expected : Path()).str());
        EXPECT_EQ(found, c.found);
        if (c.size == wxSize())
            continue;
        Path loaded;
        wxImage image = managerFor({folder.path()})->loadImageByTitle(L"ok", &loaded, c.requested);
        EXPECT_EQ(loaded.str(), best.str());
        EXPECT_EQ(image.GetSize(), c.size);
    }
    EXPECT_FALSE(CResourceManager::needToScaleImage(0.88, 1.0));
    EXPECT_TRUE(CResourceManager::needToScaleImage(0.87, 1.0));
    EXPECT_FALSE(CResourceManager::needToScaleImage(2.08, 2.0));
    EXPECT_TRUE(CResourceManager::needToScaleImage(2.12, 2.0));
    EXPECT_EQ(CResourceManager::compareResolutionVariants(1.5, 1.5, 1.0), 0);
}

TEST(ResourceManager, NamesAndBadFactorSuffixes)
{
    struct Case { const wchar_t* name; const wchar_t* title; const wchar_t* ext; const wchar_t* base; double factor; };
    const Case cases[] = {{L"ok@1_25.png", L"ok@1_25", L".png", L"ok", 1.25}, {L"a.b.png", L"a", L".b.png", L"a", 1.0},
                          {L".x.png", L".x", L".png", L".x", 1.0},           {L"plain", L"plain", L"", L"plain", 1.0},
                          {L"a@b@2.gif", L"a@b@2", L".gif", L"a@b", 2.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(zil::String(c.name).toUTF8());
        zil::String title, ext;
        CResourceManager::splitFileName(c.name, title, ext);
        EXPECT_EQ(title, c.title);
        EXPECT_EQ(ext, c.ext);
        double factor = 0;
        EXPECT_EQ(CResourceManager::extractResolutionFactorFromFileTitle(title, factor), c.base);
        EXPECT_EQ(factor, c.factor);
    }
    double factor = 0;
    EXPECT_THROW(CResourceManager::extractResolutionFactorFromFileTitle(L"ok@1,5", factor), zil::CParseError);

    CTempFolder folder;
    writePicture(folder / L"ok.png", 1.0);
    writePicture(folder / L"ok@x.png", 2.0);
    CLogCapture log;
    double found = 0;
    EXPECT_EQ(managerFor({folder.path()})->findResourceByTitle(L"ok", L"", 2.0, &found), folder / L"ok.png");
    EXPECT_EQ(found, 1.0);
    const zil::String text = log.text();
    EXPECT_TRUE(text.Contains(L"Invalid resolution factor suffix in file name. Ignoring file: " +
                              (folder / L"ok@x.png").str()))
        << text.toUTF8();

    const zil::CError e = zil::test::thrown([] { CResourceManager::findBestResolutionVariantOfFile(L"ok.png", 1.0); });
    EXPECT_EQ(e.getMessage(), L"Error: CResourceManager::getBestResolutionVariant called with relative path: ok.png");
    EXPECT_EQ(e.getCode(), -1);
    EXPECT_THROW(managerFor({})->loadAndScaleImage(L"ok.png", 1.0), zil::CError);
}

TEST(ResourceManager, FolderOrderAndPreferredExtension)
{
    CTempFolder early, late;
    ASSERT_EQ(::mkdir(late.api(L"buttons").c_str(), 0777), 0);
    writePicture(early / L"ok.png", 1.0);
    writePicture(late / L"ok.png", 1.0);
    writePicture(early / L"pick.png", 1.0);
    writePicture(late / L"pick.gif", 1.0);
    writePicture(late / L"buttons/close.png", 1.0);
    writePicture(late / L"solo@2.png", 2.0); // variants are found only beside their base file
    auto manager = managerFor({early.path(), late.path()});
    struct Case { zil::String title; const wchar_t* preferred; Path expected; double found; };
    const Case cases[] = {
        {L"ok", L"", late / L"ok.png", 1.0},          {L"pick", L".png", early / L"pick.png", 1.0},
        {L"pick", L"", late / L"pick.gif", 1.0},      {L"pick", L".bmp", late / L"pick.gif", 1.0},
        {L"buttons/close", L"", late / L"buttons/close.png", 1.0}, {L"close", L"", Path(), -1.0},
        {L"solo", L"", Path(), -1.0},                 {(early / L"ok").str(), L"", early / L"ok.png", 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toUTF8() + " " + zil::String(c.preferred).toUTF8());
        double found = 0;
        EXPECT_EQ(manager->findResourceByTitle(c.title, c.preferred, 1.0, &found).str(), c.expected.str());
        EXPECT_EQ(found, c.found);
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
    auto manager = managerFor({folder.path()});

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

TEST(ResourceManager, FolderListingReusedOnlyWhileUnchanged)
{
    CTempFolder folder;
    writePicture(folder / L"ok.png", 1.0);
    setFolderTime(folder.path(), 0);
    auto manager = managerFor({folder.path()});
    ASSERT_FALSE(manager->findResourceByTitle(L"ok", L"").isEmpty());
    const size_t walks = CResourceManager::getFolderWalkCount();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(manager->findResourceByTitle(L"ok", L"", 1.0).isEmpty());
    EXPECT_EQ(CResourceManager::getFolderWalkCount(), walks);

    // Changes within the same second differ only in nanoseconds.
    writePicture(folder / L"new.png", 1.0);
    writePicture(folder / L"ok@2.png", 2.0);
    setFolderTime(folder.path(), 1);
    EXPECT_EQ(manager->findResourceByTitle(L"new", L"").str(), (folder / L"new.png").str());
    EXPECT_EQ(manager->findResourceByTitle(L"ok", L"", 2.0).str(), (folder / L"ok@2.png").str());
    ASSERT_EQ(::unlink(folder.api(L"new.png").c_str()), 0);
    setFolderTime(folder.path(), 2);
    EXPECT_TRUE(manager->findResourceByTitle(L"new", L"").isEmpty());

    // A folder modified just now is read on every lookup.
    writePicture(folder / L"fresh.png", 1.0);
    EXPECT_FALSE(manager->findResourceByTitle(L"fresh", L"").isEmpty());
    const size_t before = CResourceManager::getFolderWalkCount();
    manager->findResourceByTitle(L"fresh", L"");
    EXPECT_EQ(CResourceManager::getFolderWalkCount(), before + 1);
}

TEST(ResourceManager, IconsAnimationsAndScalingImages)
{
    CTempFolder folder;
    writePicture(folder / L"app.png", 1.0);
    writePicture(folder / L"app.ico", 4.0);
    Path found;
    auto manager = managerFor({folder.path()});
    const wxIcon small = manager->loadIconByTitle(L"app", 16, 16, &found);
    EXPECT_EQ(found.str(), (folder / L"app.ico").str());
    EXPECT_TRUE(small.IsOk());
    EXPECT_FALSE(manager->loadIconByTitle(L"app", 32, 32).IsSameAs(small));
    EXPECT_TRUE(manager->loadIconByTitle(L"app", 16, 16).IsSameAs(small));

    // The smallest GIF: one transparent pixel.
    static const char gif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x21\xf9\x04\x01\x00\x00"
                              "\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b";
    folder.writeFile(L"spin.gif", std::string(gif, sizeof gif - 1));
    {
        CLogCapture log;
        EXPECT_TRUE(manager->loadAnimationByTitle(L"spin", nullptr, 2.0).IsOk());
        EXPECT_TRUE(manager->loadAnimationByTitle(L"spin", nullptr, 1.0).IsOk());
        const zil::String text = log.text();
        EXPECT_TRUE(text.Contains(L"Would need to scale animation 'spin.gif' by factor 2.000000, but that is not "
                                  L"supported. Using animation as is."))
            << text.toUTF8();
        EXPECT_FALSE(text.Contains(L"by factor 1.000000"));
    }

    writePicture(folder / L"ok.png", 1.0);
    writePicture(folder / L"ok@2.png", 2.0);
    struct Case { double factor; wxSize base; };
    for (const Case& c : {Case{1.0, {8, 4}}, Case{1.25, {10, 5}}, Case{1.1, {8, 4}}, Case{2.0, {16, 8}}}) {
        SCOPED_TRACE(c.factor);
        zil::P<IScalingImage> image = manager->loadScalingImageByTitle(L"ok", c.factor);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image->getBaseSize(), c.base);
        EXPECT_EQ(manager->loadScalingImageByTitle(L"ok", c.factor), image);
    }
}

TEST(ResourceManager, BaseFolderOverrideComesFirst)
{
    CTempFolder base, other;
    writePicture(base / L"ok.png", 1.0);
    writePicture(other / L"ok.png", 1.0);
    zil::String& override = CResourceManager::getResourceBaseFolderOverrideRef();
    const zil::String saved = override;
    override = (base / L"sub/..").str();
    zil::P<CResourceManager> manager(new CResourceManager());
    override = saved;
    EXPECT_EQ(manager->getResourceBaseFolder().str(), base.path().str());
    EXPECT_EQ(manager->findResource(L"ok.png").str(), (base / L"ok.png").str());
    manager->addResourceFolder(other.path());
    EXPECT_EQ(manager->findResource(L"ok.png").str(), (other / L"ok.png").str());
    EXPECT_EQ(manager->getDefaultResolutionFactor(), wxScreenDC().GetPPI().y / 96.0);
    EXPECT_EQ(manager->loadImageByTitle(L"ok").GetSize(),
              manager->loadImageByTitle(L"ok", nullptr, manager->getDefaultResolutionFactor()).GetSize());
}

TEST(ResourceManager, ConcurrentLookupsWhileTheFolderChanges)
{
    CTempFolder folder;
    writePicture(folder / L"ok.png", 1.0);
    auto manager = managerFor({folder.path()});
    const wxImage first = manager->loadImageByTitle(L"ok", nullptr, 1.0);
    ASSERT_TRUE(first.IsOk());
    std::atomic<int> wrong{0};
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i)
            folder.writeFile(L"extra" + zil::toString(int64_t(i)) + L".png", "x");
    });
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                if (manager->findResourceByTitle(L"ok", L".png", 1.0).str() != (folder / L"ok.png").str() ||
                    !manager->loadImageByTitle(L"ok", nullptr, 1.0).IsSameAs(first))
                    ++wrong;
            }
        });
    for (std::thread& reader : readers)
        reader.join();
    writer.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(manager->findResourceByTitle(L"extra199", L"").isEmpty());
}
