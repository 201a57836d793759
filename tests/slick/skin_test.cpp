// SPDX-License-Identifier: MIT
#include "zil/temp_folder.h"

#include <zilui/app/strings.h>
#include <zilui/graphics/resourcemanager.h>
#include <zilui/slick/skin.h>

#include <gtest/gtest.h>

#include <wx/image.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace zilui;
using zil::Path;
using zil::test::CTempFolder;

namespace {

std::string colorText(const wxColour& color)
{
    return color.IsOk() ? fromWX(color.GetAsString(wxC2S_HTML_SYNTAX)).toUTF8() : "none";
}

// UTF-16LE with a byte order mark.
std::string utf16WithBom(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += char(c & 0xFF);
        bytes += char((c >> 8) & 0xFF);
    }
    return bytes;
}

void writePicture(const Path& path, int width, int height)
{
    wxImage image(width, height);
    ASSERT_TRUE(image.SaveFile(toWX(path.str()), wxBITMAP_TYPE_PNG));
}

} // namespace

// Skin files live in one temporary folder that the process-wide resource manager searches
// while the suite runs. The manager cannot forget a folder; once the folder is gone its
// lookups skip it, and the suite empties the manager's caches of what it loaded.
class SlickSkin : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new CTempFolder();
        // Pictures first: the manager lists a folder once it looks for a title in it.
        writePicture(*s_folder / L"frame.png", 8, 4);
        writePicture(*s_folder / L"frame@2.png", 16, 8);
        writePicture(*s_folder / L"bild-\u00e4.png", 6, 6);
        s_folder->writeFile(L"damaged.png", "\x89PNG\r\n\x1a\nnot a picture");
        CResourceManager::get()->addResourceFolder(s_folder->path());
    }
    static void TearDownTestSuite()
    {
        CResourceManager::disposeGlobalInstance();
        delete s_folder;
        s_folder = nullptr;
    }

    // A new skin file with `bytes`; its path relative to the resource folder.
    static Path writeSkin(const std::string& bytes)
    {
        static int counter = 0;
        const Path name(L"skin" + zil::toString(int64_t(++counter)) + L".ini");
        s_folder->writeFile(name, bytes);
        return name;
    }
    template <class Skin> static zil::P<Skin> load(const std::string& text)
    {
        zil::P<Skin> skin(new Skin());
        EXPECT_TRUE(skin->loadResource(writeSkin(text)));
        return skin;
    }

    static CTempFolder* s_folder;
};

CTempFolder* SlickSkin::s_folder = nullptr;

TEST_F(SlickSkin, EmptyResourceGivesDefaultsAndMissingOneChangesNothing)
{
    // Absent keys change nothing, so an empty file leaves a fresh skin as it is.
    const zil::P<CSlickRadioButtonSkin> skin = load<CSlickRadioButtonSkin>("");
    EXPECT_TRUE(skin->getLoadSuccessful());
    EXPECT_EQ(skin->getImagePos(), CSlickRadioButtonSkin::ImageLeft);
    EXPECT_EQ(skin->getBorderType(), CSlickRadioButtonSkin::BorderFlat);
    EXPECT_EQ(skin->getBorderColor(), wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW));
    EXPECT_EQ(skin->getContentMargins().toString() + L" " + skin->getBorderWidths().toString(), L"3 1");
    EXPECT_TRUE(skin->getDrawFocusRect() && skin->hasBorder());
    for (int s = 0; s < CSlickRadioButtonSkin::StateCount; ++s) {
        SCOPED_TRACE(s);
        const CSlickStateSkin& state = skin->getStateSkin(CSlickRadioButtonSkin::State(s));
        EXPECT_EQ(state.getTextColor(), wxColour(0, 0, 0, 255));
        EXPECT_FALSE(state.getTextHaloColor().IsOk() || state.getBackgroundColor().IsOk());
        EXPECT_TRUE(state.getBackgroundGradient().isNull() && state.getUnderlayImage().isNull());
        EXPECT_TRUE(state.getTextLineStyles().empty());
    }

    zil::P<CSlickButtonSkin> untouched(new CSlickButtonSkin());
    untouched->setImageTextSpace(9);
    EXPECT_FALSE(untouched->loadResource(L"no-such-skin.ini"));
    EXPECT_FALSE(untouched->getLoadSuccessful());
    EXPECT_EQ(untouched->getImageTextSpace(), 9);

    // Loading again applies the file over the present values and appends its styles again.
    const Path twice = writeSkin("all.textStyle=font-weight: bold\nimageTextSpace=7\n");
    untouched->loadResource(twice);
    untouched->loadResource(twice);
    EXPECT_EQ(untouched->getImageTextSpace(), 7);
    EXPECT_EQ(untouched->getStateSkin(CSlickButtonIntermediate::Hover).getTextLineStyles().size(), 2u);
}

TEST_F(SlickSkin, StateKeysOverrideAllAndTextStylesAppend)
{
    using B = CSlickButtonIntermediate;
    struct Case {
        const char* file;
        B::State state;
        const char* textColor;
        size_t lineStyles;
        const char* backColor;
        const char* gradient; // "top bottom" or "none"
    };
    const char* colors = "all.textColor=#ff0000\nhover.textColor=#0000ff\n";
    const char* styles = "all.textStyle=font-weight: bold\nnormal.textStyle=font-style: italic\n";
    const char* gap = "all.textStyle=font-weight: bold\nall.textStyle3=font-style: italic\n";
    const char* halfGradient = "all.backTopColor=#102030\nall.backColor=red\nhover.backBottomColor=#405060\n";
    const char* gradient =
        "all.backTopColor=#102030\nall.backBottomColor=#405060\nnormal.backColor=nonsense\n";
    const Case cases[] = {
        {colors, B::Normal, "#FF0000", 0, "none", "none"},
        {colors, B::Hover, "#0000FF", 0, "none", "none"},
        {colors, B::Disabled, "#FF0000", 0, "none", "none"},
        {styles, B::Normal, "#000000", 2, "none", "none"},
        {styles, B::Disabled, "#000000", 1, "none", "none"},
        {gap, B::Hover, "#000000", 1, "none", "none"},
        {halfGradient, B::Hover, "#000000", 0, "#FF0000", "none"},
        {gradient, B::Normal, "#000000", 0, "none", "#102030 #405060"},
        {gradient, B::Hover, "#000000", 0, "none", "#102030 #405060"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + "state " + std::to_string(c.state));
        const zil::P<CSlickButtonSkin> skin = load<CSlickButtonSkin>(c.file);
        const CSlickStateSkin& state = skin->getStateSkin(c.state);
        EXPECT_EQ(colorText(state.getTextColor()), c.textColor);
        EXPECT_EQ(colorText(state.getBackgroundColor()), c.backColor);
        ASSERT_EQ(state.getTextLineStyles().size(), c.lineStyles);
        if (c.lineStyles == 2) {
            EXPECT_TRUE(state.getTextLineStyles()[0]->getBold());
            EXPECT_TRUE(state.getTextLineStyles()[1]->getItalic());
        }
        const auto linear = state.getBackgroundGradient().dynamicCast<CLinearGradient>();
        EXPECT_EQ(linear ? colorText(linear->getTopColor()) + " " + colorText(linear->getBottomColor())
                         : "none",
                  c.gradient);
    }

    // Check box states by name; the other scalar keys of a state skin.
    const zil::P<CSlickCheckBoxSkin> box = load<CSlickCheckBoxSkin>(
        "all.seeThrough=1\nall.imageOpacity= 0.25 \ncheckedDisabled.imageOpacity=0.5\n"
        "uncheckedHover.textHaloColor=rgb(1, 2, 3)\n");
    using C = CSlickCheckBoxIntermediate;
    EXPECT_TRUE(box->getStateSkin(C::UncheckedNormal).getSeeThrough());
    EXPECT_EQ(box->getStateSkin(C::CheckedNormal).getImageOpacity(), 0.25);
    EXPECT_EQ(box->getStateSkin(C::CheckedDisabled).getImageOpacity(), 0.5);
    EXPECT_EQ(colorText(box->getStateSkin(C::UncheckedHover).getTextHaloColor()), "#010203");
    EXPECT_FALSE(box->getStateSkin(C::CheckedHover).getTextHaloColor().IsOk());
}

TEST_F(SlickSkin, BorderForms)
{
    using S = CSlickOverlaySkin;
    const wxColour dark = wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW);
    struct Case {
        const char* border;
        S::Border type;
        zil::CMargins widths;
        wxPenStyle style;
        const char* color; // nullptr: the system dark shadow
        bool hasBorder;
    };
    // Each file starts from a red dashed 4-pixel border of its own.
    const Case cases[] = {
        {"none", S::BorderNone, zil::CMargins(4), wxPENSTYLE_SHORT_DASH, "#FF0000", false},
        {"None;", S::BorderNone, zil::CMargins(4), wxPENSTYLE_SHORT_DASH, "#FF0000", false},
        {"flat", S::BorderFlat, zil::CMargins(1), wxPENSTYLE_SOLID, nullptr, true},
        {"FLAT;", S::BorderFlat, zil::CMargins(1), wxPENSTYLE_SOLID, nullptr, true},
        {"border-width: 2px;", S::BorderCss, zil::CMargins(2), wxPENSTYLE_SOLID, "#FF0000", true},
        {"border-width: 1px 2px;", S::BorderCss, zil::CMargins(1, 2, 0, 0), wxPENSTYLE_SOLID, "#FF0000",
         true},
        {"border-width: thin  medium THICK 7PX;", S::BorderCss, zil::CMargins(1, 3, 5, 7), wxPENSTYLE_SOLID,
         "#FF0000", true},
        {"border-width: 1px 2px 3px 4px 5px;", S::BorderCss, zil::CMargins(1), wxPENSTYLE_SOLID, "#FF0000",
         true},
        {"border-width: 2;", S::BorderCss, zil::CMargins(0), wxPENSTYLE_SOLID, "#FF0000", false},
        {"border-style: none;", S::BorderCss, zil::CMargins(0), wxPENSTYLE_SOLID, "#FF0000", false},
        {"border-width:3px; border-style: hidden", S::BorderCss, zil::CMargins(0), wxPENSTYLE_SOLID,
         "#FF0000", false},
        {";border-style: dotted;; junk; border-color: #00FF00;", S::BorderCss, zil::CMargins(1),
         wxPENSTYLE_DOT, "#00FF00", true},
        {"border-style: dashed; border-color: blue; color: #00ff00", S::BorderCss, zil::CMargins(1),
         wxPENSTYLE_SHORT_DASH, "#FF0000", true},
        {"border-style: wavy; unknown: 1px;", S::BorderCss, zil::CMargins(1), wxPENSTYLE_SOLID, "#FF0000",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.border);
        zil::P<S> skin(new S());
        skin->setBorderWidths(zil::CMargins(4));
        skin->setBorderStyle(wxPENSTYLE_SHORT_DASH);
        skin->setBorderColor(*wxRED);
        ASSERT_TRUE(skin->loadResource(writeSkin(std::string("border=") + c.border + "\n")));
        EXPECT_EQ(skin->getBorderType(), c.type);
        EXPECT_EQ(skin->getBorderWidths().toString(), c.widths.toString());
        EXPECT_EQ(skin->getBorderStyle(), c.style);
        EXPECT_EQ(colorText(skin->getBorderColor()), c.color ? c.color : colorText(dark));
        EXPECT_EQ(skin->hasBorder(), c.hasBorder);
    }
}

TEST_F(SlickSkin, GlobalKeysAndBadValues)
{
    using S = CSlickButtonSkin;
    const zil::P<S> good = load<S>("imagePos=Top\ncontentHorzAlign= 0.25\ncontentVertAlign=1\n"
                                   "contentMargins=2,4\nclientMargins=1 2 3 4\nfocusMargins=5\n"
                                   "imageTextSpace= -2 \nfocusRect=None\n");
    EXPECT_EQ(good->getImagePos(), S::ImageTop);
    EXPECT_EQ(good->getContentHorzAlign(), 0.25);
    EXPECT_EQ(good->getContentVertAlign(), 1.0);
    EXPECT_EQ(good->getContentMargins(), zil::CMargins(2, 4, 2, 4));
    EXPECT_EQ(good->getClientMargins(), zil::CMargins(1, 2, 3, 4));
    EXPECT_EQ(good->getFocusMargins(), zil::CMargins(5));
    EXPECT_EQ(good->getImageTextSpace(), -2);
    EXPECT_FALSE(good->getDrawFocusRect());

    // A file without focusRect turns the focus rectangle back on.
    good->setDrawFocusRect(false);
    good->loadResource(writeSkin("focusRect=SIMPLE\n"));
    EXPECT_TRUE(good->getDrawFocusRect());
    good->setDrawFocusRect(false);
    good->loadResource(writeSkin("imagePos=bottom\n"));
    EXPECT_TRUE(good->getDrawFocusRect());

    struct Case {
        const char* file;
        const char* message; // nullptr: a parse error of another layer
    };
    const Case cases[] = {
        {"imagePos=Centre\n", "Invalid value for 'imagePos': 'centre'."},
        {"imagePos=\n", "Invalid value for 'imagePos': ''."},
        {"border=2px\n", "Invalid value for 'border': '2px'."},
        {"border=\n", "Invalid value for 'border': ''."},
        {"border=Dotted\n", "Invalid value for 'border': 'dotted'."},
        {"focusRect=Dashed\n", "Invalid value for 'focusRect': 'dashed'."},
        {"contentHorzAlign=left\n", nullptr},
        {"hover.imageOpacity=1e3\n", nullptr},
        {"clientMargins=1;2\n", nullptr},
        {"imageTextSpace=wide\n", nullptr},
        {"imageTextSpace=99999999999\n", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        // Values read before the bad one stay; the skin is not marked as loaded.
        const std::string text = std::string("hover.textColor=#00ff00\n") + c.file;
        zil::P<S> skin(new S());
        const Path path = writeSkin(text);
        try {
            skin->loadResource(path);
            ADD_FAILURE() << "no error";
        } catch (const zil::CParseError& e) {
            EXPECT_EQ(c.message, nullptr) << e.getMessage().toUTF8();
        } catch (const zil::CError& e) {
            ASSERT_NE(c.message, nullptr) << e.getMessage().toUTF8();
            EXPECT_EQ(e.getMessage().toUTF8(), c.message);
            EXPECT_EQ(e.getSource(), L"");
            EXPECT_EQ(e.getCode(), -1);
        }
        EXPECT_FALSE(skin->getLoadSuccessful());
        EXPECT_EQ(colorText(skin->getStateSkin(CSlickButtonIntermediate::Hover).getTextColor()), "#00FF00");

        // The cache lets the error pass and keeps nothing, so a second call fails again.
        zil::P<CSlickButtonSkinCache> cache(new CSlickButtonSkinCache());
        EXPECT_THROW(cache->getOrLoadSkin(path), zil::CError);
        EXPECT_THROW(cache->getOrLoadSkin(path), zil::CError);
    }
}

TEST_F(SlickSkin, ImagesComeFromTheResourceFolders)
{
    zil::P<IScalingImage> expected = CResourceManager::get()->loadScalingImageByTitle(L"frame", -1.0);
    ASSERT_FALSE(expected.isNull());
    const zil::P<CSlickButtonSkin> skin =
        load<CSlickButtonSkin>("all.underlay=frame\nall.overlay=frame\nhover.overlay=missing\n"
                               "disabled.overlay2=frame\n");
    const CSlickStateSkin& normal = skin->getStateSkin(CSlickButtonIntermediate::Normal);
    EXPECT_EQ(normal.getUnderlayImage(), expected);
    EXPECT_EQ(normal.getOverlayImage(), expected);
    EXPECT_TRUE(normal.getOverlay2Image().isNull());
    // A present key replaces the image even when its title finds nothing.
    EXPECT_TRUE(skin->getStateSkin(CSlickButtonIntermediate::Hover).getOverlayImage().isNull());
    EXPECT_EQ(skin->getStateSkin(CSlickButtonIntermediate::Disabled).getOverlay2Image(), expected);

    // A damaged picture leaves its layer empty; the rest of the skin still loads.
    const zil::P<CSlickButtonSkin> damaged =
        load<CSlickButtonSkin>("all.underlay=damaged\nall.overlay=frame\n");
    EXPECT_TRUE(damaged->getLoadSuccessful());
    EXPECT_TRUE(damaged->getStateSkin(CSlickButtonIntermediate::Normal).getUnderlayImage().isNull());
    EXPECT_EQ(damaged->getStateSkin(CSlickButtonIntermediate::Normal).getOverlayImage(), expected);
}

TEST_F(SlickSkin, ReadsUtf16WithByteOrderMark)
{
    const zil::P<CSlickButtonSkin> skin = load<CSlickButtonSkin>(
        utf16WithBom(L"all.textColor=#00ff00\r\nhover.underlay=bild-\u00e4\r\nimagePos=bottom\r\n"));
    EXPECT_EQ(colorText(skin->getStateSkin(CSlickButtonIntermediate::Normal).getTextColor()), "#00FF00");
    EXPECT_EQ(skin->getImagePos(), CSlickButtonSkin::ImageBottom);
    const zil::P<IScalingImage> image =
        skin->getStateSkin(CSlickButtonIntermediate::Hover).getUnderlayImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image, CResourceManager::get()->loadScalingImageByTitle(L"bild-\u00e4", -1.0));

    // Without a mark, text that is no UTF-8 is read as Latin-1.
    const zil::P<CSlickButtonSkin> latin1 = load<CSlickButtonSkin>("normal.underlay=bild-\xe4\n");
    EXPECT_EQ(latin1->getStateSkin(CSlickButtonIntermediate::Normal).getUnderlayImage(), image);

    // An odd number of bytes after a UTF-16 mark cannot be text.
    zil::P<CSlickButtonSkin> broken(new CSlickButtonSkin());
    const Path path = writeSkin(utf16WithBom(L"imagePos=top") + "x");
    try {
        broken->loadResource(path);
        ADD_FAILURE() << "no error";
    } catch (const zil::CParseError& e) {
        EXPECT_EQ(e.getProp(L"path"), (s_folder->path() / path).str());
    }
    EXPECT_FALSE(broken->getLoadSuccessful());
}

TEST_F(SlickSkin, CacheKeysByThePathTextAsWritten)
{
    const Path path = writeSkin("imageTextSpace=11\n");
    zil::P<CSlickCheckBoxSkinCache> cache(new CSlickCheckBoxSkinCache());
    const zil::P<CSlickCheckBoxSkin> first = cache->getOrLoadSkin(path);
    EXPECT_EQ(first->getImageTextSpace(), 11);
    EXPECT_EQ(cache->getOrLoadSkin(path), first);
    const zil::P<CSlickCheckBoxSkin> other = cache->getOrLoadSkin(L"./" + path.str());
    EXPECT_NE(other, first);
    EXPECT_EQ(other->getImageTextSpace(), 11);

    const zil::P<CSlickCheckBoxSkin> missing = cache->getOrLoadSkin(L"missing.ini");
    EXPECT_FALSE(missing->getLoadSuccessful());
    EXPECT_EQ(cache->getOrLoadSkin(L"missing.ini"), missing);

    cache->clear();
    EXPECT_NE(cache->getOrLoadSkin(path), first);
    EXPECT_EQ(first->getImageTextSpace(), 11);

    // The process-wide cache: one instance, emptied but kept by disposeGlobalInstance().
    const zil::P<CSlickOverlaySkinCache> global = CSlickOverlaySkinCache::get();
    EXPECT_EQ(CSlickOverlaySkinCache::get(), global);
    const zil::P<CSlickOverlaySkin> held = global->getOrLoadSkin(path);
    CSlickOverlaySkinCache::disposeGlobalInstance();
    EXPECT_EQ(CSlickOverlaySkinCache::get(), global);
    EXPECT_EQ(held->getImageTextSpace(), 11);
    EXPECT_NE(global->getOrLoadSkin(path), held);
    CSlickOverlaySkinCache::disposeGlobalInstance();
}

TEST(SlickSkinStates, NamesAndOutOfRangeValues)
{
    struct Case {
        std::function<zil::String(int)> name;
        int count;
        const wchar_t* source;
        const wchar_t* last;
    };
    const Case cases[] = {
        {[](int s) { return CSlickButtonIntermediate::getStateName(CSlickButtonIntermediate::State(s)); }, 3,
         L"CSlickButtonIntermediate::getStateName", L"disabled"},
        {[](int s) { return CSlickCheckBoxIntermediate::getStateName(CSlickCheckBoxIntermediate::State(s)); },
         6, L"CSlickCheckBoxIntermediate::getStateName", L"checkedDisabled"},
        {[](int s) {
             return CSlickRadioButtonIntermediate::getStateName(CSlickRadioButtonIntermediate::State(s));
         },
         6, L"CSlickRadioButtonIntermediate::getStateName", L"selectedDisabled"},
        {[](int s) { return CSlickOverlayIntermediate::getStateName(CSlickOverlayIntermediate::State(s)); },
         1, L"CSlickOverlayIntermediate::getStateName", L"normal"},
        {[](int s) {
             return CSlickNonOverlayIntermediate::getStateName(CSlickNonOverlayIntermediate::State(s));
         },
         1, L"CSlickNonOverlayIntermediate::getStateName", L"normal"},
        {[](int s) {
             zil::P<CSlickRadioButtonSkin> skin(new CSlickRadioButtonSkin());
             const CSlickStateSkin& first =
                 skin->getStateSkin(CSlickRadioButtonIntermediate::UnselectedNormal);
             return zil::toString(int64_t(&skin->getStateSkin(CSlickRadioButtonSkin::State(s)) - &first));
         },
         6, L"TSlickSkinBase::getStateSkin", L"5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(zil::String(c.source).toUTF8());
        EXPECT_EQ(c.name(c.count - 1), c.last);
        for (int bad : {-1, c.count}) {
            try {
                c.name(bad);
                ADD_FAILURE() << bad << " accepted";
            } catch (const zil::CInvalidArgError& e) {
                EXPECT_EQ(e.getMessage(), L"Invalid state value: " + zil::toString(int64_t(bad)));
                EXPECT_EQ(e.getSource(), c.source);
            }
        }
    }
}

TEST(SlickSkinBorder, CssWidths)
{
    struct Case {
        const wchar_t* text;
        int width;
    };
    const Case cases[] = {
        {L"thin", 1}, {L"Medium", 3}, {L"THICK", 5},         {L" thin", 0},   {L" 12PX ", 12},
        {L"0px", 0},  {L"2", 0},      {L"2pt", 0},           {L"1px2px", 12}, {L"wide px", 0},
        {L"px", 0},   {L"-3px", -3},  {L"99999999999px", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(zil::String(c.text).toUTF8());
        EXPECT_EQ(parseCssBorderWidth(c.text), c.width);
    }
}

namespace {

// Every state of a generated skin has its own picture; all pictures differ at one size.
template <class Skin> void checkGeneratedSkin(const zil::String& path)
{
    SCOPED_TRACE(path.toUTF8());
    zil::P<TSlickSkinCache<Skin>> cache(new TSlickSkinCache<Skin>());
    const zil::P<Skin> skin = cache->getOrLoadSkin(path);
    ASSERT_TRUE(skin->getLoadSuccessful()) << "not found below the resource base folder";
    EXPECT_FALSE(skin->hasBorder());
    std::vector<wxImage> pictures;
    for (int s = 0; s < Skin::StateCount; ++s) {
        const zil::P<IScalingImage> underlay = skin->getStateSkin(typename Skin::State(s)).getUnderlayImage();
        ASSERT_FALSE(underlay.isNull()) << s;
        const wxImage picture = underlay->getScaledVersion(wxSize(90, 30))->getBitmap().ConvertToImage();
        ASSERT_TRUE(picture.HasAlpha());
        for (size_t other = 0; other < pictures.size(); ++other) {
            const bool sameColors =
                std::equal(picture.GetData(), picture.GetData() + 90 * 30 * 3, pictures[other].GetData());
            EXPECT_FALSE(sameColors) << "states " << other << " and " << s;
        }
        pictures.push_back(picture);
    }
}

} // namespace

// The skins that the build draws into res/skins, read as the gallery reads them.
TEST(SlickSkinSamples, EveryStateHasItsOwnPicture)
{
    for (const wchar_t* look : {L"glossy", L"flat"}) {
        const zil::String folder = zil::String(L"skins/") + look + L"/";
        checkGeneratedSkin<CSlickButtonSkin>(folder + L"button.ini");
        checkGeneratedSkin<CSlickCheckBoxSkin>(folder + L"checkbox.ini");
        checkGeneratedSkin<CSlickRadioButtonSkin>(folder + L"radiobutton.ini");
    }
}
