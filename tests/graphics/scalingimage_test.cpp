// SPDX-License-Identifier: MIT
#include "graphics/graphicstestutil.h"
#include "zil/temp_folder.h"

#include <zilui/app/strings.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace zilui;
using namespace zilui::test;
using CSI = CCompositeScalingImage;

namespace {

// Nine regions of distinct colour, cut by margins of 10 on a 30x30 picture.
wxColour regionColour(int column, int row)
{
    return wxColour(40 + column * 80, 40 + row * 80, 200 - column * 30 - row * 20);
}

wxImage ninePicture()
{
    wxImage image(30, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            wxColour c = regionColour(x / 10, y / 10);
            image.SetRGB(x, y, c.Red(), c.Green(), c.Blue());
        }
    return image;
}

wxImage versionImage(IScalingImage& image, int width, int height)
{
    return image.getScaledVersion(wxSize(width, height))->getBitmap().ConvertToImage();
}

} // namespace

TEST(ScalingImage, LayoutFollowsFocusAndClampsMargins)
{
    struct Case { CSI::ScaleFocus focus; wxSize target; zil::CMargins m; wxSize middle; int cols[3]; int rows[3]; };
    const Case cases[] = {
        {CSI::center, {100, 40}, zil::CMargins(10), {10, 10}, {10, 80, 10}, {10, 20, 10}},
        {CSI::margins, {100, 40}, zil::CMargins(10), {10, 10}, {45, 10, 45}, {15, 10, 15}},
        {CSI::horzCenterVertMargins, {100, 40}, zil::CMargins(10), {10, 10}, {10, 80, 10}, {15, 10, 15}},
        {CSI::horzMarginsVertCenter, {100, 40}, zil::CMargins(10), {10, 10}, {45, 10, 45}, {10, 20, 10}},
        {CSI::margins, {15, 9}, zil::CMargins(3, 0, 1, 0), {5, 4}, {7, 5, 3}, {2, 4, 3}},
        {CSI::margins, {4, 0}, zil::CMargins(10), {10, 10}, {0, 10, 0}, {0, 10, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "focus " << c.focus << " target " << c.target.x << "x" << c.target.y);
        CSI::Layout layout = CSI::computeLayout(c.target, c.m, c.middle, c.focus);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(layout.columns[i], c.cols[i]) << "column " << i;
            EXPECT_EQ(layout.rows[i], c.rows[i]) << "row " << i;
        }
    }
    EXPECT_EQ(CSI::clampMargins(zil::CMargins(40, 0, 40, 0), {50, 50}), zil::CMargins(40, 0, 10, 0));
    EXPECT_EQ(CSI::clampMargins(zil::CMargins(0, 60, 0, 5), {50, 50}), zil::CMargins(0, 50, 0, 0));
    EXPECT_EQ(CSI::clampMargins(zil::CMargins(-3, 5, 2, -1), {50, 50}), zil::CMargins(0, 5, 2, 0));

    zil::P<CSI> image(new CSI(ninePicture(), zil::CMargins(10), CSI::center));
    for (wxSize empty : {wxSize(0, 0), wxSize(0, 20), wxSize(20, -1)})
        EXPECT_FALSE(image->getScaledVersion(empty)->getBitmap().IsOk()) << empty.x << "x" << empty.y;
}

TEST(ScalingImage, PixelsOnBothSidesOfEveryCut)
{
    struct Case { CSI::ScaleFocus focus; int xCuts[2]; int yCuts[2]; };
    const Case cases[] = {{CSI::center, {10, 90}, {10, 30}}, {CSI::margins, {45, 55}, {15, 25}},
                          {CSI::horzMarginsVertCenter, {45, 55}, {10, 30}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "focus " << c.focus);
        zil::P<CSI> image(new CSI(ninePicture(), zil::CMargins(10), c.focus));
        wxImage version = versionImage(*image, 100, 40);
        ASSERT_EQ(version.GetSize(), wxSize(100, 40));
        const int xs[] = {0, c.xCuts[0] - 1, c.xCuts[0], c.xCuts[1] - 1, c.xCuts[1], 99};
        const int ys[] = {0, c.yCuts[0] - 1, c.yCuts[0], c.yCuts[1] - 1, c.yCuts[1], 39};
        for (int y : ys)
            for (int x : xs) {
                const int column = (x >= c.xCuts[0]) + (x >= c.xCuts[1]), row = (y >= c.yCuts[0]) + (y >= c.yCuts[1]);
                EXPECT_EQ(pixelAt(version, x, y), regionColour(column, row)) << "at " << x << "," << y;
            }
    }
}

TEST(ScalingImage, TransparentBackgroundWhenSomethingIsUncovered)
{
    wxImage plain(50, 50, true);
    wxImage withAlpha = plain.Copy();
    withAlpha.InitAlpha();
    wxImage withMask = plain.Copy();
    withMask.SetRGB(0, 0, 255, 0, 255);
    withMask.SetMaskColour(255, 0, 255);
    struct Case { const char* name; wxImage picture; zil::CMargins m; CSI::ScaleFocus focus; bool transparent; };
    const Case cases[] = {
        {"plain", plain, zil::CMargins(10), CSI::center, false},
        {"alpha", withAlpha, zil::CMargins(10), CSI::center, true},
        {"mask", withMask, zil::CMargins(10), CSI::center, true},
        {"no middle column", plain, zil::CMargins(25, 0, 25, 0), CSI::center, true},
        {"no margin rows", plain, zil::CMargins(10, 0, 10, 0), CSI::horzCenterVertMargins, true},
        {"margins to stretch", plain, zil::CMargins(10, 0, 10, 0), CSI::horzMarginsVertCenter, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        zil::P<CSI> image(new CSI(c.picture, c.m, c.focus));
        EXPECT_EQ(image->hasTransparentBackground(), c.transparent);
    }

    zil::P<CSI> masked(new CSI(withMask, zil::CMargins(10), CSI::center));
    ASSERT_TRUE(masked->getPart(0).HasAlpha());
    EXPECT_EQ(masked->getPart(0).GetAlpha(0, 0), 0);
    EXPECT_EQ(masked->getPart(0).GetAlpha(1, 0), 255);

    zil::P<CSI> gap(new CSI(plain, zil::CMargins(25, 0, 25, 0), CSI::center));
    wxImage version = versionImage(*gap, 80, 20);
    ASSERT_TRUE(version.HasAlpha());
    for (int x : {0, 24, 55, 79})
        EXPECT_EQ(version.GetAlpha(x, 10), 255) << "x " << x;
    for (int x : {25, 40, 54})
        EXPECT_EQ(version.GetAlpha(x, 10), 0) << "x " << x;
}

TEST(ScalingImage, VersionsAreSharedAndForgotten)
{
    zil::P<CCountingScalingImage> image(new CCountingScalingImage(wxImage(8, 8, true)));
    zil::P<IImage> a = image->getScaledVersion({16, 16});
    zil::P<IImage> b = image->getScaledVersion({16, 16});
    EXPECT_NE(a.get(), b.get());
    EXPECT_TRUE(a->getBitmap().IsSameAs(b->getBitmap()));
    EXPECT_EQ(image->builds, 1);
    a.reset();
    EXPECT_EQ(image->getVersionCount(), 1u);
    b.reset();
    EXPECT_EQ(image->getVersionCount(), 0u);
    EXPECT_EQ(image->getScaledVersion({16, 16})->getSize(), wxSize(16, 16));
    EXPECT_EQ(image->builds, 2);
}

TEST(ScalingImage, ConcurrentRequestsBuildEachSizeOnce)
{
    constexpr int kThreads = 8, kSizes = 12;
    zil::P<CCountingScalingImage> image(new CCountingScalingImage(wxImage(20, 20, true)));
    std::atomic<int> requested{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::vector<zil::P<IImage>> held;
            for (int i = 0; i < kSizes; ++i)
                held.push_back(image->getScaledVersion({1 + (i + t) % kSizes, 5}));
            ++requested;
            // Hold every version until all threads have asked, so no size may be built twice.
            for (int spins = 0; requested < kThreads && spins < 100000; ++spins)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(requested, kThreads);
    EXPECT_EQ(image->builds, kSizes);
    EXPECT_EQ(image->getVersionCount(), 0u);
}

TEST(ScalingImage, LoadReadsParamsAndReportsBadFiles)
{
    zil::test::CTempFolder folder;
    const zil::Path picture = folder / zil::Path(L"ok@2.png"), params = folder / zil::Path(L"ok_params.ini");
    ASSERT_TRUE(ninePicture().SaveFile(toWX(picture.toString()), wxBITMAP_TYPE_PNG));
    EXPECT_EQ(CSI::getParamsPath(picture), params);

    folder.writeFile(L"ok_params.ini", "scaleMargins=2,3\nscaleFocus=horzMarginsVertCenter\n");
    zil::P<CSI> image = CSI::load(picture, 2.0, 1.0);
    EXPECT_EQ(image->getBaseSize(), wxSize(15, 15));
    EXPECT_EQ(image->getMargins(), zil::CMargins(2, 3, 2, 3));
    EXPECT_EQ(image->getScaleFocus(), CSI::horzMarginsVertCenter);

    // Editors on other systems save UTF-16 with a byte order mark; wx's own stream reading loses it.
    std::string utf16("\xff\xfe");
    for (char c : std::string("scaleMargins=4,1\r\nscaleFocus=margins\r\n"))
        utf16 += std::string{c, '\0'};
    folder.writeFile(L"ok_params.ini", utf16);
    image = CSI::load(picture, 2.0, 1.0);
    EXPECT_EQ(image->getMargins(), zil::CMargins(4, 1, 4, 1));
    EXPECT_EQ(image->getScaleFocus(), CSI::margins);

    for (const char* focus : {"Center", "centre", ""}) {
        SCOPED_TRACE(focus);
        folder.writeFile(L"ok_params.ini", std::string("scaleFocus=") + focus + "\n");
        EXPECT_EQ(zil::test::thrown([&] { CSI::load(picture, 2.0, 2.0); }).getMessage(),
                  L"Invalid value for scaleFocus in '" + params.toString() + L"'");
    }
    folder.writeFile(L"ok_params.ini", "scaleMargins=1;2\n");
    EXPECT_THROW(CSI::load(picture, 2.0, 2.0), zil::CError);

    const zil::Path corrupt = folder.writeFile(L"bad.png", "\x89PNG\r\n\x1a\n-this is not a picture-");
    for (const zil::Path& path : {corrupt, folder / zil::Path(L"missing.png")}) {
        const zil::CError e = zil::test::thrown([&] { CSI::load(path, 1.0, 1.0); });
        EXPECT_EQ(e.getMessage(), L"Error loading composite scaling image: " + path.toString());
        EXPECT_EQ(e.getCode(), -1);
    }
}
