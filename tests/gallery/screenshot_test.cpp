// SPDX-License-Identifier: MIT
// The gallery's --screenshot. Of its skinned page, taken on X11 and on Wayland: given the same
// font settings, the library draws the same page on both displays. Their defaults differ (GTK's
// "Sans 10" with medium hinting on an X server without a settings daemon, GNOME's "Cantarell
// 11" with slight hinting on Wayland), which moves every text and with it a third of the page.
// Of the Welcome page and of the windows --open opens, on the display the suite runs on.
#include "app/apptestutil.h"
#include "support/compositor.h"
#include "zil/temp_folder.h"

#include <gtest/gtest.h>

#include <wx/image.h>

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace zilui::test {
namespace {

// Font settings as the two displays read them: GTK's settings file on X11, the desktop's
// settings (through GIO's key file back end) on Wayland.
void writeFontSettings(zil::test::CTempFolder& folder, const std::string& font, const std::string& hinting)
{
    for (const wchar_t* dir : {L"config/glib-2.0/settings", L"config/gtk-3.0"})
        g_mkdir_with_parents(folder.api(dir).c_str(), 0755);
    folder.writeFile(L"config/glib-2.0/settings/keyfile",
                     "[org/gnome/desktop/interface]\nfont-name='" + font + "'\nfont-hinting='" + hinting +
                         "'\nfont-antialiasing='grayscale'\nfont-rgba-order='rgb'\n");
    folder.writeFile(L"config/gtk-3.0/settings.ini", "[Settings]\ngtk-font-name=" + font +
                                                         "\ngtk-xft-hintstyle=hint" + hinting +
                                                         "\ngtk-xft-antialias=1\ngtk-xft-hinting=1\ngtk-xft-rgba=none\n");
}

#ifdef ZILUI_GALLERY_PATH
const char* const kGalleryPath = ZILUI_GALLERY_PATH;
#else
const char* const kGalleryPath = ""; // a build without the gallery (the sanitizer build)
#endif

// What a run of the gallery left: its picture (invalid without one), whether it ended well,
// and what it wrote to its error output.
struct GalleryRun {
    wxImage shot;
    bool succeeded = false;
    std::string errors;
};

// Runs the gallery with `args` and --screenshot on one display with the settings of `home`: a
// private X server of its own, or the Wayland compositor the suite runs in. `error` says why
// no run or no picture could be had.
GalleryRun runGallery(const std::string& home, bool x11, const std::vector<std::string>& options,
                      const std::string& shotName, std::string& error)
{
    const std::string shot = home + "/" + shotName;
    std::vector<std::string> args = {"timeout", "120"};
    if (x11)
        args.insert(args.end(), {"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"});
    args.insert(args.end(), {"env", "HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config",
                             "XDG_STATE_HOME=" + home + "/state", "XDG_CACHE_HOME=" + home + "/cache",
                             "GSETTINGS_BACKEND=keyfile", "NO_AT_BRIDGE=1", "GTK_MODULES=",
                             std::string("GDK_BACKEND=") + (x11 ? "x11" : "wayland"), kGalleryPath});
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"--screenshot", shot});
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    gchar* err = nullptr;
    gint status = 0;
    GError* spawnError = nullptr;
    GalleryRun run;
    if (!g_spawn_sync(home.c_str(), argv.data(), nullptr, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL), nullptr,
                      nullptr, nullptr, &err, &status, &spawnError)) {
        error = spawnError->message;
        g_clear_error(&spawnError);
        return run;
    }
    run.succeeded = g_spawn_check_wait_status(status, nullptr);
    run.errors = err ? err : "";
    g_free(err);
    error = run.succeeded ? "" : "the gallery failed: " + run.errors;
    if (run.succeeded && !run.shot.LoadFile(wxString::FromUTF8(shot), wxBITMAP_TYPE_PNG))
        error = "no screenshot at " + shot;
    return run;
}

wxImage galleryScreenshot(const std::string& home, bool x11, std::string& error)
{
    return runGallery(home, x11, {"--page=skinned"}, x11 ? "x11.png" : "wayland.png", error).shot;
}

// Pixels that differ by more than text antialiasing could make them, in per mille.
int differingPerMille(const wxImage& a, const wxImage& b)
{
    int differing = 0;
    const unsigned char* p = a.GetData();
    const unsigned char* q = b.GetData();
    const int pixels = a.GetWidth() * a.GetHeight();
    for (int i = 0; i < pixels; ++i, p += 3, q += 3)
        differing += std::abs(p[0] - q[0]) > 48 || std::abs(p[1] - q[1]) > 48 || std::abs(p[2] - q[2]) > 48;
    return pixels ? differing * 1000 / pixels : 0;
}

TEST(GalleryScreenshot, SkinnedPageLooksTheSameOnX11AndOnWayland)
{
    if (!*kGalleryPath)
        GTEST_SKIP() << "the gallery is not built";
    if (!onWayland())
        GTEST_SKIP() << "needs a Wayland compositor beside an X server of its own (the Wayland stage)";
    gchar* xvfb = g_find_program_in_path("xvfb-run");
    g_free(xvfb);
    if (!xvfb)
        GTEST_SKIP() << "xvfb-run is not installed (package xvfb): it gives the X11 side its server";
    // The same settings on both, and then a Wayland side whose font is a size larger: the
    // comparison must see that.
    const struct {
        const char* name;
        const char* waylandFont;
        bool same;
    } cases[] = {
        {"same settings", "Sans 10", true},
        {"a larger font on Wayland", "Sans 12", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zil::test::CTempFolder x11Home, waylandHome;
        writeFontSettings(x11Home, "Sans 10", "medium");
        writeFontSettings(waylandHome, c.waylandFont, "medium");
        std::string error;
        const wxImage x11 = galleryScreenshot(x11Home.path().toAPIPath(), true, error);
        ASSERT_TRUE(x11.IsOk()) << error;
        const wxImage wayland = galleryScreenshot(waylandHome.path().toAPIPath(), false, error);
        ASSERT_TRUE(wayland.IsOk()) << error;
        const bool same = x11.GetSize() == wayland.GetSize() && differingPerMille(x11, wayland) <= 5;
        EXPECT_EQ(same, c.same) << x11.GetWidth() << "x" << x11.GetHeight() << " on X11, " << wayland.GetWidth()
                                << "x" << wayland.GetHeight() << " on Wayland, "
                                << (x11.GetSize() == wayland.GetSize() ? differingPerMille(x11, wayland) : -1)
                                << " per mille differ";
    }
}

// ---- The Welcome page and the windows --open opens ----

// Runs the gallery on the suite's display kind: on Wayland in the compositor, on X11 in a
// private X server (xvfb-run), so that no desktop's window manager or settings take part.
class GalleryOnThisDisplay {
public:
    GalleryOnThisDisplay() { writeFontSettings(m_home, "Sans 10", "medium"); }

    // Why the gallery cannot run here; empty when it can.
    static std::string missing()
    {
        if (!*kGalleryPath)
            return "the gallery is not built";
        if (onWayland())
            return "";
        gchar* xvfb = g_find_program_in_path("xvfb-run");
        g_free(xvfb);
        return xvfb ? "" : "xvfb-run is not installed (package xvfb)";
    }

    GalleryRun run(const std::vector<std::string>& options, const std::string& shotName, std::string& error)
    {
        return runGallery(m_home.path().toAPIPath(), !onWayland(), options, shotName, error);
    }

private:
    zil::test::CTempFolder m_home;
};

// Blank is the picture's background: its most common colour, and whatever lies within 6 per
// channel of it (a shade a theme uses beside it, the steps of a gentle gradient).
constexpr int kBlankTolerance = 6;

bool isNear(const unsigned char* p, const unsigned char* q, int tolerance)
{
    return std::abs(p[0] - q[0]) <= tolerance && std::abs(p[1] - q[1]) <= tolerance &&
           std::abs(p[2] - q[2]) <= tolerance;
}

// The most common colour of `image`, as three bytes.
std::vector<unsigned char> backgroundOf(const wxImage& image)
{
    std::unordered_map<uint32_t, int> counts;
    const unsigned char* p = image.GetData();
    const int pixels = image.GetWidth() * image.GetHeight();
    for (int i = 0; i < pixels; ++i, p += 3)
        ++counts[uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]];
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    const uint32_t c = most == counts.end() ? 0 : most->first;
    return {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8), static_cast<unsigned char>(c)};
}

// Per mille of `area` within `tolerance` of `colour`.
int perMilleNear(const wxImage& image, const wxRect& area, const unsigned char* colour, int tolerance)
{
    int count = 0;
    for (int y = area.y; y < area.GetBottom() + 1; ++y)
        for (int x = area.x; x < area.GetRight() + 1; ++x)
            count += isNear(image.GetData() + 3 * (static_cast<size_t>(y) * image.GetWidth() + x), colour, tolerance);
    const int pixels = area.width * area.height;
    return pixels ? static_cast<int>(int64_t(count) * 1000 / pixels) : 0;
}

int blankPerMille(const wxImage& image, const wxRect& area)
{
    return perMilleNear(image, area, backgroundOf(image).data(), kBlankTolerance);
}

int blankPerMille(const wxImage& image)
{
    return blankPerMille(image, wxRect(image.GetSize()));
}

// What a window leaves undrawn comes out black.
int blackPerMille(const wxImage& image)
{
    const unsigned char black[3] = {0, 0, 0};
    return perMilleNear(image, wxRect(image.GetSize()), black, 2);
}

// The smallest rectangle holding every pixel that differs between two pictures of one size by
// more than antialiasing could make it; empty when none does.
wxRect differingArea(const wxImage& a, const wxImage& b)
{
    wxRect area;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x) {
            const size_t i = 3 * (static_cast<size_t>(y) * a.GetWidth() + x);
            if (!isNear(a.GetData() + i, b.GetData() + i, 48))
                area.Union(wxRect(x, y, 1, 1)); // an empty rectangle becomes the one added
        }
    return area;
}

// Lines of text in `area`: runs of rows with many sharp steps in brightness (glyph stems),
// apart by at least two rows without. A frame or a flat surface has few such steps a row.
int textLines(const wxImage& image, const wxRect& area)
{
    const auto luma = [&](int x, int y) {
        const unsigned char* p = image.GetData() + 3 * (static_cast<size_t>(y) * image.GetWidth() + x);
        return (p[0] * 3 + p[1] * 6 + p[2]) / 10;
    };
    int lines = 0, quiet = 2;
    for (int y = area.y; y <= area.GetBottom(); ++y) {
        int steps = 0;
        for (int x = area.x + 1; x <= area.GetRight(); ++x)
            steps += std::abs(luma(x, y) - luma(x - 1, y)) > 80;
        if (steps >= 10) {
            lines += quiet >= 2;
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return lines;
}

// The Welcome page shows the library at work: no more than 40 % of it is blank. The wizard's
// page, a text and a button, shows that the measure sees an empty page as one.
TEST(GalleryScreenshot, WelcomePageIsMostlyContent)
{
    if (const std::string why = GalleryOnThisDisplay::missing(); !why.empty())
        GTEST_SKIP() << why;
    const struct {
        const char* page;
        bool mostlyContent;
    } cases[] = {
        {"welcome", true},
        {"wizard", false},
    };
    GalleryOnThisDisplay gallery;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        std::string error;
        const GalleryRun run = gallery.run({std::string("--page=") + c.page}, std::string(c.page) + ".png", error);
        ASSERT_TRUE(run.shot.IsOk()) << error;
        const int blank = blankPerMille(run.shot);
        EXPECT_EQ(blank <= 400, c.mostlyContent) << blank << " per mille blank";
        EXPECT_LE(blackPerMille(run.shot), 10) << "undrawn parts";
    }
}

// --open pictures the window it opens: a dialog alone, drawn all over, with its buttons at the
// bottom right; the popup menu over the main window, each of its four entries legible.
TEST(GalleryScreenshot, OpenPicturesTheWindowItOpens)
{
    if (const std::string why = GalleryOnThisDisplay::missing(); !why.empty())
        GTEST_SKIP() << why;
    GalleryOnThisDisplay gallery;
    std::string error;
    // The menu's page without the menu.
    const GalleryRun page = gallery.run({"--page=overlays"}, "overlays.png", error);
    ASSERT_TRUE(page.shot.IsOk()) << error;
    const wxSize frame = page.shot.GetSize();

    const struct {
        const char* target;
        bool dialog;
    } cases[] = {
        {"wizard", true},
        {"xrc", true},
        {"menu", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        const GalleryRun run = gallery.run({std::string("--open=") + c.target}, std::string(c.target) + ".png", error);
        ASSERT_TRUE(run.shot.IsOk()) << error;
        const wxImage& shot = run.shot;
        EXPECT_LE(blackPerMille(shot), 10) << "undrawn parts";
        if (c.dialog) {
            // Not the main window, and its Next or Close button where a dialog has it.
            EXPECT_TRUE(shot.GetWidth() < frame.x && shot.GetHeight() < frame.y)
                << shot.GetWidth() << "x" << shot.GetHeight() << " against the main window's " << frame.x << "x"
                << frame.y;
            const wxRect buttons(shot.GetWidth() * 7 / 10, shot.GetHeight() * 3 / 4, shot.GetWidth() * 3 / 10,
                                 shot.GetHeight() / 4);
            EXPECT_LT(blankPerMille(shot, buttons), 950) << "nothing at the bottom right";
            continue;
        }
        ASSERT_EQ(shot.GetSize(), frame);
        const wxRect menu = differingArea(page.shot, shot);
        ASSERT_FALSE(menu.IsEmpty()) << "the picture shows no menu";
        EXPECT_EQ(textLines(shot, menu), 4) << "menu at " << menu.x << "," << menu.y << " " << menu.width << "x"
                                            << menu.height;
        EXPECT_EQ(textLines(page.shot, menu), 0) << "text under the menu: the area is not the menu's";
    }
}

// A mistyped --open ends the gallery at once with a non-zero status and a message that
// names the value and what it could have been; no picture is written.
TEST(GalleryScreenshot, UnknownOpenTargetIsAnError)
{
    if (const std::string why = GalleryOnThisDisplay::missing(); !why.empty())
        GTEST_SKIP() << why;
    const char* const values[] = {"dialog", "", "wizard,menu", "menus"};
    GalleryOnThisDisplay gallery;
    for (const char* value : values) {
        SCOPED_TRACE(value);
        std::string error;
        const GalleryRun run = gallery.run({std::string("--open=") + value}, "unknown.png", error);
        EXPECT_FALSE(run.succeeded);
        EXPECT_FALSE(run.shot.IsOk());
        EXPECT_NE(run.errors.find(std::string("unknown window \"") + value + "\""), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find("wizard, xrc, menu"), std::string::npos) << run.errors;
    }
}

} // namespace
} // namespace zilui::test
