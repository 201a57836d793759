// SPDX-License-Identifier: MIT
// Skins of a cache follow their files on disk while live reloading is on, and the desktop's
// dark preference always: a live button repaints from the edited file, a broken edit or a lost
// picture keeps the last good look, a file rewritten in a burst is read at most twice a second.
#include "slick/slicktestutil.h"

#include "zil/temp_folder.h"

#include <zilui/graphics/resourcemanager.h>
#include <zilui/slick/skin.h>

#include <zil/folderwatch.h>

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/log.h>

#include <gtk/gtk.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

using namespace zilui;
using namespace zilui::test;
using zil::Path;
using zil::test::CTempFolder;
using zil::test::countOf;

namespace {

std::atomic<int64_t> g_now{0};
int64_t fakeNow()
{
    return g_now.load();
}

std::string hexOf(const wxColour& colour)
{
    return fromWX(colour.GetAsString(wxC2S_HTML_SYNTAX)).toUTF8();
}

} // namespace

class SlickLiveSkins : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_wasLive = CSlickLiveSkins::getLiveReload();
        CSlickLiveSkins::setLiveReload(true);
        // Frozen unless a test moves it: reads are spaced by this clock, not by the wall's.
        g_now = 1000000;
        CSlickLiveSkins::setClock(&fakeNow);
    }
    void TearDown() override
    {
        m_cache->clear();
        CSlickLiveSkins::setLiveReload(m_wasLive);
        CSlickLiveSkins::setClock(nullptr);
    }

    Path file(const wchar_t* name) const { return m_folder / Path(name); }

    // Writes `text` over `name` as a program would: in place, or into a new file renamed over
    // the old one, as editors save.
    void write(const wchar_t* name, const std::string& text, bool rename = false) const
    {
        const std::string target = file(name).toAPIPath();
        // A name of another stem, so that writing it concerns no picture of the skin.
        const std::string written = rename ? (m_folder / Path(zil::String(L"~") + name)).toAPIPath() : target;
        std::ofstream(written, std::ios::binary | std::ios::trunc) << text;
        if (rename) {
            ASSERT_EQ(std::rename(written.c_str(), target.c_str()), 0);
        }
    }
    void writePicture(const wchar_t* name, const wxColour& colour) const
    {
        wxImage image(8, 8);
        image.SetRGB(wxRect(0, 0, 8, 8), colour.Red(), colour.Green(), colour.Blue());
        // Saved elsewhere and renamed in, so that no notice comes for a half-written file.
        const Path temporary = m_folder / Path(zil::String(L"tmp-") + name);
        ASSERT_TRUE(image.SaveFile(toWX(temporary.str()), wxBITMAP_TYPE_PNG));
        ASSERT_EQ(std::rename(temporary.toAPIPath().c_str(), file(name).toAPIPath().c_str()), 0);
    }

    // A listener of the test's own, set after the library's, so that it hears a notice after it:
    // `heard` turns true on the GUI thread once a file named `name` (any, when empty) is announced.
    std::shared_ptr<void> listen(const std::string& name, const std::shared_ptr<std::atomic<bool>>& heard) const
    {
        std::string reason;
        std::shared_ptr<void> listener = zil::CFolderWatch::listen(
            m_folder.path().toAPIPath(),
            [name, heard](const std::string& announced) {
                if (name.empty() || announced == name)
                    wxTheApp->CallAfter([heard] { *heard = true; });
            },
            reason);
        EXPECT_TRUE(listener) << reason;
        return listener;
    }

    // Runs the event loop until the library has heard every notice of what was written so far.
    void settle()
    {
        auto heard = std::make_shared<std::atomic<bool>>(false);
        const std::shared_ptr<void> listener = listen("settled", heard);
        write(L"settled", "");
        ASSERT_TRUE(runLoopUntil([&] { return heard->load(); }));
    }

    // Runs `change`, then the event loop until the skin has been read again for it; notices of
    // earlier writes (the skin file's own, just before it was loaded) are heard first.
    void readAfter(const std::function<void()>& change)
    {
        settle();
        const uint64_t before = CSlickLiveSkins::getReadCount();
        g_now += CSlickLiveSkins::kMinReadIntervalMs;
        change();
        ASSERT_TRUE(runLoopUntil([&] { return CSlickLiveSkins::getReadCount() > before; }));
        processPendingEvents();
    }

    zil::P<CSlickButtonSkin> load(const wchar_t* name) { return m_cache->getOrLoadSkin(file(name)); }

    CSlickButton* liveButton(const zil::P<CSlickButtonSkin>& skin, int y = 0)
    {
        auto* made = new CSlickButton(m_panel.panel, wxID_ANY, "", wxPoint(0, y), wxSize(40, 20));
        made->setSkin(skin.get());
        return made;
    }
    // A live button's top-left pixel shows its skin's background or picture.
    std::string cornerOf(CSlickButton& live) { return hexOf(pixelAt(paintToImage(live), 2, 2)); }

    CTempFolder m_folder;
    CTestPanel m_panel;
    zil::P<CSlickButtonSkinCache> m_cache{new CSlickButtonSkinCache()};
    bool m_wasLive = false;
};

// Every file a skin is made of counts: the skin file, saved either way, and its picture.
TEST_F(SlickLiveSkins, EditOnDiskRepaintsALiveButton)
{
    const struct {
        const char* what;
        bool rename;
        bool picture;
    } cases[] = {{"skin file written in place", false, false},
                 {"skin file saved by rename", true, false},
                 {"picture replaced", true, true}};
    // Pictures first: a folder listed already learns of a new file only with its notice.
    for (int round = 1; round <= int(std::size(cases)); ++round)
        writePicture((L"back" + std::to_wstring(round) + L".png").c_str(), *wxRED);
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring skinName = L"button" + std::to_wstring(++round) + L".ini";
        const std::wstring pictureName = L"back" + std::to_wstring(round) + L".png";
        const std::string underlay =
            c.picture ? "all.underlay=" + (m_folder / Path(L"back" + std::to_wstring(round))).toAPIPath() + "\n" : "";
        write(skinName.c_str(), "border=none\nall.backColor=#ff0000\n" + underlay);
        zil::P<CSlickButtonSkin> skin = load(skinName.c_str());
        auto* button = liveButton(skin);
        ASSERT_EQ(cornerOf(*button), "#FF0000");

        readAfter([&] {
            if (c.picture)
                writePicture(pictureName.c_str(), *wxBLUE);
            else
                write(skinName.c_str(), "border=none\nall.backColor=#0000ff\n", c.rename);
        });
        EXPECT_EQ(cornerOf(*button), "#0000FF");
        EXPECT_EQ(m_cache->getOrLoadSkin(file(skinName.c_str())).get(), skin.get()) << "one skin object stays";
        button->Destroy();
    }
}

// A params file belongs to its picture: editing it loads the picture again.
TEST_F(SlickLiveSkins, ParamsFileEditLoadsThePictureAgain)
{
    writePicture(L"frame.png", *wxGREEN);
    write(L"frame_params.ini", "");
    write(L"framed.ini", "all.underlay=" + file(L"frame").toAPIPath() + "\n");
    zil::P<CSlickButtonSkin> skin = load(L"framed.ini");
    const zil::P<IScalingImage> before = skin->getStateSkin(CSlickButton::Normal).getUnderlayImage();
    ASSERT_FALSE(before.isNull());
    readAfter([&] { write(L"frame_params.ini", "; edited\n"); });
    const zil::P<IScalingImage> after = skin->getStateSkin(CSlickButton::Normal).getUnderlayImage();
    EXPECT_FALSE(after.isNull());
    EXPECT_NE(after.get(), before.get()) << "the cached picture was used again";
}

// A broken edit keeps the look and is logged once, however often it is saved; a good edit
// after it applies, and the next fault is logged again.
TEST_F(SlickLiveSkins, BrokenEditKeepsTheLookAndLogsOnce)
{
    CGlobalLogCapture log;
    write(L"broken.ini", "border=none\nall.backColor=#ff0000\n");
    zil::P<CSlickButtonSkin> skin = load(L"broken.ini");
    auto* button = liveButton(skin);
    const std::string marker = "Cannot read the skin '" + file(L"broken.ini").toAPIPath();

    const struct {
        const char* text;
        const char* expected;
        int logged;
    } steps[] = {
        {"border=none\nall.backColor=#00ff00\nimagePos=sideways\n", "#FF0000", 1},
        {"border=none\nall.backColor=#00ff00\nimagePos=sideways\n", "#FF0000", 1},
        {"border=none\nall.backColor=#0000ff\n", "#0000FF", 1},
        {"border=none\nall.backColor=#00ff00\nfocusRect=wobbly\n", "#0000FF", 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.text);
        readAfter([&] { write(L"broken.ini", step.text); });
        EXPECT_EQ(cornerOf(*button), step.expected);
        EXPECT_EQ(countOf(log.text(), marker), step.logged);
    }
    // The skin file deleted: the last good look stays too.
    readAfter([&] { std::remove(file(L"broken.ini").toAPIPath().c_str()); });
    EXPECT_EQ(cornerOf(*button), "#0000FF");
    button->Destroy();
}

// A picture deleted or damaged while the skin file still names it keeps the old picture.
TEST_F(SlickLiveSkins, LostPictureKeepsTheOldOne)
{
    const struct {
        const char* what;
        bool remove;
    } cases[] = {{"deleted", true}, {"damaged", false}};
    // Pictures first: a folder listed already learns of a new file only with its notice.
    for (int round = 1; round <= int(std::size(cases)); ++round)
        writePicture((L"pic" + std::to_wstring(round) + L".png").c_str(), *wxRED);
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring title = L"pic" + std::to_wstring(++round);
        // Not the picture's title, which would find the skin file too.
        const std::wstring skinName = L"skin-" + title + L".ini";
        write(skinName.c_str(), "border=none\nall.underlay=" + file(title.c_str()).toAPIPath() + "\n");
        zil::P<CSlickButtonSkin> skin = load(skinName.c_str());
        auto* button = liveButton(skin);
        ASSERT_EQ(cornerOf(*button), "#FF0000");
        {
            wxLogNull quiet; // the picture loader complains of the damaged file
            readAfter([&] {
                if (c.remove)
                    std::remove(file((title + L".png").c_str()).toAPIPath().c_str());
                else
                    write((title + L".png").c_str(), "\x89PNG\r\n\x1a\nbroken", true);
            });
        }
        EXPECT_EQ(cornerOf(*button), "#FF0000");
        EXPECT_FALSE(skin->getStateSkin(CSlickButton::Normal).getUnderlayImage().isNull());
        button->Destroy();
    }
}

// A file rewritten in a burst is read once at once, then once more when the interval has
// passed, with what was written last.
TEST_F(SlickLiveSkins, BurstOfWritesIsReadAtMostTwiceASecond)
{
    write(L"burst.ini", "border=none\nall.backColor=#000000\n");
    zil::P<CSlickButtonSkin> skin = load(L"burst.ini");
    auto* button = liveButton(skin);

    auto markerSeen = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<void> listener = listen("marker", markerSeen);
    ASSERT_TRUE(listener);

    g_now += CSlickLiveSkins::kMinReadIntervalMs;
    const uint64_t before = CSlickLiveSkins::getReadCount();
    for (int i = 1; i <= 20; ++i) {
        char text[64];
        std::snprintf(text, sizeof text, "border=none\nall.backColor=#%02x0000\n", i * 10);
        write(L"burst.ini", text);
    }
    write(L"marker", "");
    ASSERT_TRUE(runLoopUntil([&] { return markerSeen->load(); }));
    processPendingEvents();
    EXPECT_EQ(CSlickLiveSkins::getReadCount(), before + 1);

    // Half the interval: still no second read.
    g_now += CSlickLiveSkins::kMinReadIntervalMs / 2;
    *markerSeen = false;
    write(L"marker", "");
    ASSERT_TRUE(runLoopUntil([&] { return markerSeen->load(); }));
    EXPECT_EQ(CSlickLiveSkins::getReadCount(), before + 1);

    g_now += CSlickLiveSkins::kMinReadIntervalMs / 2;
    ASSERT_TRUE(runLoopUntil([&] { return CSlickLiveSkins::getReadCount() > before + 1; }));
    processPendingEvents();
    EXPECT_EQ(CSlickLiveSkins::getReadCount(), before + 2);
    EXPECT_EQ(cornerOf(*button), "#C80000");
    button->Destroy();
}

// Off, nothing on disk reaches the skin.
TEST_F(SlickLiveSkins, OffKeepsTheSkinAsLoaded)
{
    CSlickLiveSkins::setLiveReload(false);
    write(L"off.ini", "border=none\nall.backColor=#ff0000\n");
    zil::P<CSlickButtonSkin> skin = load(L"off.ini");
    auto seen = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<void> listener = listen("", seen);
    ASSERT_TRUE(listener);
    const uint64_t before = CSlickLiveSkins::getReadCount();
    write(L"off.ini", "border=none\nall.backColor=#0000ff\n");
    ASSERT_TRUE(runLoopUntil([&] { return seen->load(); }));
    processPendingEvents();
    EXPECT_EQ(CSlickLiveSkins::getReadCount(), before);
    EXPECT_EQ(hexOf(skin->getStateSkin(CSlickButton::Normal).getBackgroundColor()), "#FF0000");
}

// GTK's dark preference, set in this process as the desktop would: a button shown before and
// one whose skin is loaded after both draw the dark variant, which holds only what differs;
// a skin without a dark variant stays; back to light restores the light look. In a process of
// its own: GTK redraws differently once a program has changed its theme settings.
TEST_F(SlickLiveSkins, DarkPreferenceSwitchesToTheDarkVariantAndBack)
{
    if (!inChildProcess())
        return;
    GtkSettings* settings = gtk_settings_get_default();
    ASSERT_NE(settings, nullptr);
    // Back to the desktop's value, not one set by the program: GTK treats the two apart.
    struct CRestore {
        GtkSettings* settings;
        ~CRestore() { gtk_settings_reset_property(settings, "gtk-application-prefer-dark-theme"); }
    } restore{settings};
    g_object_set(settings, "gtk-application-prefer-dark-theme", FALSE, nullptr);
    processPendingEvents();
    ASSERT_FALSE(CSlickLiveSkins::getDesktopPrefersDark());
    // Switching does not depend on following the files.
    CSlickLiveSkins::setLiveReload(false);

    write(L"shown.ini", "border=none\nall.backColor=#ff0000\nall.textColor=#123456\n");
    write(L"shown.dark.ini", "all.backColor=#000080\n");
    write(L"later.ini", "border=none\nall.backColor=#ffff00\n");
    write(L"later.dark.ini", "all.backColor=#202020\n");
    write(L"plain.ini", "border=none\nall.backColor=#00ff00\n");
    zil::P<CSlickButtonSkin> shownSkin = load(L"shown.ini");
    zil::P<CSlickButtonSkin> plainSkin = load(L"plain.ini");
    auto* shown = liveButton(shownSkin);
    auto* plain = liveButton(plainSkin, 30);
    ASSERT_EQ(cornerOf(*shown), "#FF0000");

    g_object_set(settings, "gtk-application-prefer-dark-theme", TRUE, nullptr);
    ASSERT_TRUE(runLoopUntil([&] { return CSlickLiveSkins::getDesktopPrefersDark(); }));
    processPendingEvents();
    auto* later = liveButton(load(L"later.ini"), 60);

    const struct {
        bool dark;
        const char *shown, *later, *plain;
    } looks[] = {{true, "#000080", "#202020", "#00FF00"}, {false, "#FF0000", "#FFFF00", "#00FF00"}};
    for (const auto& look : looks) {
        SCOPED_TRACE(look.dark ? "dark" : "light");
        if (!look.dark) {
            g_object_set(settings, "gtk-application-prefer-dark-theme", FALSE, nullptr);
            ASSERT_TRUE(runLoopUntil([&] { return !CSlickLiveSkins::getDesktopPrefersDark(); }));
            processPendingEvents();
        }
        EXPECT_EQ(cornerOf(*shown), look.shown);
        EXPECT_EQ(cornerOf(*later), look.later);
        EXPECT_EQ(cornerOf(*plain), look.plain);
        // Keys the dark variant does not hold come from the light file.
        EXPECT_EQ(hexOf(shownSkin->getStateSkin(CSlickButton::Normal).getTextColor()), "#123456");
    }
}

namespace {

// The desktop portal's settings on the test's session bus, as far as the dark preference goes:
// Read answers the colour scheme (wrapped twice, as older portals do), and a change is sent as
// SettingChanged. Served from the GUI thread's main loop.
class CStandInPortal {
public:
    explicit CStandInPortal(guint32 scheme) : m_scheme(scheme)
    {
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        m_bus = address ? g_dbus_connection_new_for_address_sync(
                              address,
                              GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                   G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                              nullptr, nullptr, nullptr)
                        : nullptr;
        g_free(address);
        if (!m_bus)
            return;
        static const GDBusInterfaceVTable vtable = {&onMethod, nullptr, nullptr, {}};
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
            "<node><interface name='org.freedesktop.portal.Settings'><method name='Read'>"
            "<arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='v' direction='out'/>"
            "</method><signal name='SettingChanged'><arg type='s'/><arg type='s'/><arg type='v'/></signal>"
            "</interface></node>",
            nullptr);
        g_dbus_connection_register_object(m_bus, "/org/freedesktop/portal/desktop", node->interfaces[0], &vtable,
                                          this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        GVariant* reply = g_dbus_connection_call_sync(
            m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
            g_variant_new("(su)", "org.freedesktop.portal.Desktop", 4u), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (reply) {
            guint32 result = 0;
            g_variant_get(reply, "(u)", &result);
            m_owned = result == 1;
            g_variant_unref(reply);
        }
    }
    ~CStandInPortal()
    {
        if (m_bus) {
            g_dbus_connection_close_sync(m_bus, nullptr, nullptr);
            g_object_unref(m_bus);
        }
    }
    CStandInPortal(const CStandInPortal&) = delete;
    CStandInPortal& operator=(const CStandInPortal&) = delete;

    bool owned() const { return m_owned; }
    void setScheme(guint32 scheme)
    {
        m_scheme = scheme;
        g_dbus_connection_emit_signal(m_bus, nullptr, "/org/freedesktop/portal/desktop",
                                      "org.freedesktop.portal.Settings", "SettingChanged",
                                      g_variant_new("(ssv)", "org.freedesktop.appearance", "color-scheme",
                                                    g_variant_new_uint32(scheme)),
                                      nullptr);
        g_dbus_connection_flush_sync(m_bus, nullptr, nullptr);
    }

private:
    static void onMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* args,
                         GDBusMethodInvocation* invocation, gpointer data)
    {
        const gchar* ns = nullptr;
        const gchar* key = nullptr;
        g_variant_get(args, "(&s&s)", &ns, &key);
        if (g_strcmp0(ns, "org.freedesktop.appearance") != 0 || g_strcmp0(key, "color-scheme") != 0) {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.portal.Error.NotFound", key);
            return;
        }
        const guint32 scheme = static_cast<CStandInPortal*>(data)->m_scheme;
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(v)", g_variant_new_variant(g_variant_new_uint32(scheme))));
    }

    GDBusConnection* m_bus = nullptr;
    bool m_owned = false;
    guint32 m_scheme;
};

} // namespace

// A portal's preference overrules GTK's setting both ways, "no preference" leaves it to GTK,
// and the portal's later changes arrive without asking. In a process of its own, so that the
// library first meets the portal when it starts following the preference.
TEST_F(SlickLiveSkins, PortalPreferenceOverrulesGtkAndFollowsItsChanges)
{
    if (!inChildProcess())
        return;
    GtkSettings* settings = gtk_settings_get_default();
    ASSERT_NE(settings, nullptr);
    g_object_set(settings, "gtk-application-prefer-dark-theme", FALSE, nullptr);
    CStandInPortal portal(1);
    ASSERT_TRUE(portal.owned());

    write(L"portal.ini", "border=none\nall.backColor=#ff0000\n");
    write(L"portal.dark.ini", "all.backColor=#000080\n");
    zil::P<CSlickButtonSkin> skin = load(L"portal.ini");
    auto* button = liveButton(skin);
    // The portal is asked in the background; its answer turns the skin dark.
    ASSERT_TRUE(runLoopUntil([&] { return CSlickLiveSkins::getDesktopPrefersDark(); }));
    processPendingEvents();
    EXPECT_EQ(cornerOf(*button), "#000080");

    const struct {
        gboolean gtkDark;
        guint32 scheme;
        bool dark;
    } steps[] = {{TRUE, 2, false}, {TRUE, 0, true}, {FALSE, 0, false}, {FALSE, 1, true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(std::to_string(step.gtkDark) + " " + std::to_string(step.scheme));
        g_object_set(settings, "gtk-application-prefer-dark-theme", step.gtkDark, nullptr);
        portal.setScheme(step.scheme);
        ASSERT_TRUE(runLoopUntil([&] { return CSlickLiveSkins::getDesktopPrefersDark() == step.dark; }));
        processPendingEvents();
        EXPECT_EQ(cornerOf(*button), step.dark ? "#000080" : "#FF0000");
    }
}

TEST(SlickLiveSkinNames, DarkVariantAndPictureStems)
{
    const struct {
        const wchar_t *path, *dark;
    } darks[] = {{L"skins/glossy/button.ini", L"skins/glossy/button.dark.ini"},
                 {L"/abs/a.b.ini", L"/abs/a.b.dark.ini"},
                 {L"noext", L"noext.dark"},
                 {L"dir/.hidden", L"dir/.hidden.dark"}};
    for (const auto& d : darks)
        EXPECT_EQ(CSlickLiveSkins::getDarkVariantPath(Path(d.path)).str(), zil::String(d.dark)) << d.path;

    const struct {
        const wchar_t *name, *stem;
    } stems[] = {{L"ok.png", L"ok"},          {L"ok@1_5.png", L"ok"},       {L"ok_params.ini", L"ok"},
                 {L"ok@2.svg", L"ok"},        {L"_params.ini", L"_params"}, {L"a_params_x.png", L"a_params_x"},
                 {L"e-mail@x.png", L"e-mail"}};
    for (const auto& s : stems)
        EXPECT_EQ(CResourceManager::getPictureStem(s.name), zil::String(s.stem)) << s.name;
}
