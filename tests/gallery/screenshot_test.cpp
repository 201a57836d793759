// SPDX-License-Identifier: MIT
// The gallery's --screenshot of its skinned page, taken on X11 and on Wayland: given the same
// font settings, the library draws the same page on both displays. Their defaults differ (GTK's
// "Sans 10" with medium hinting on an X server without a settings daemon, GNOME's "Cantarell
// 11" with slight hinting on Wayland), which moves every text and with it a third of the page.
#include "app/apptestutil.h"
#include "support/compositor.h"
#include "zil/temp_folder.h"

#include <gtest/gtest.h>

#include <wx/image.h>

#include <glib.h>

#include <cstdlib>
#include <string>
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

// Runs the gallery on one display with the settings of `home` and returns its screenshot;
// invalid, with `error` set, when it could not be had.
wxImage galleryScreenshot(const std::string& home, bool x11, std::string& error)
{
    const std::string shot = home + (x11 ? "/x11.png" : "/wayland.png");
    std::vector<std::string> args = {"timeout", "120"};
    if (x11)
        args.insert(args.end(), {"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"});
    args.insert(args.end(), {"env", "HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config",
                             "XDG_STATE_HOME=" + home + "/state", "XDG_CACHE_HOME=" + home + "/cache",
                             "GSETTINGS_BACKEND=keyfile", "NO_AT_BRIDGE=1", "GTK_MODULES=",
                             std::string("GDK_BACKEND=") + (x11 ? "x11" : "wayland"), kGalleryPath,
                             "--page=skinned", "--screenshot", shot});
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    gchar* err = nullptr;
    gint status = 0;
    GError* spawnError = nullptr;
    if (!g_spawn_sync(home.c_str(), argv.data(), nullptr, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL), nullptr,
                      nullptr, nullptr, &err, &status, &spawnError)) {
        error = spawnError->message;
        g_clear_error(&spawnError);
        return wxImage();
    }
    const bool ok = g_spawn_check_wait_status(status, nullptr);
    error = ok ? "" : std::string("the gallery failed: ") + (err ? err : "");
    g_free(err);
    wxImage image;
    if (ok && !image.LoadFile(wxString::FromUTF8(shot), wxBITMAP_TYPE_PNG))
        error = "no screenshot at " + shot;
    return image;
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

} // namespace
} // namespace zilui::test
