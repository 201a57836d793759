// SPDX-License-Identifier: MIT
#include "zil/temp_folder.h"

#include <zilui/app/strings.h>
#include <zilui/graphics/resourcemanager.h>
#include <zilui/slick/skin.h>

#include <gtest/gtest.h>

#include <wx/image.h>

#include <algorithm>
#include <cmath>
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

std::string utf16LeWithBom(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text)
        bytes += {char(c & 0xFF), char((c >> 8) & 0xFF)};
    return bytes;
}

} // namespace

// Skin files live in one temporary folder that the process-wide resource manager searches
// while the suite runs; the manager skips the folder once it is gone.
class SlickSkin : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new CTempFolder();
        // Pictures first: the manager lists a folder once it looks for a title in it.
        for (const wchar_t* name : {L"frame.png", L"frame@2.png", L"bild-\u00e4.png"})
            ASSERT_TRUE(wxImage(8, 4).SaveFile(toWX((*s_folder / name).str()), wxBITMAP_TYPE_PNG));
        s_folder->writeFile(L"damaged.png", "\x89PNG\r\n\x1a\nnot a picture");
        // 8x4 units, red left half, blue right half.
        s_folder->writeFile(L"vector.svg", R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="4">)svg"
                                           R"svg(<rect width="4" height="4" fill="#f00"/>)svg"
                                           R"svg(<rect x="4" width="4" height="4" fill="#00f"/></svg>)svg");
        CResourceManager::get()->addResourceFolder(s_folder->path());
    }
    static void TearDownTestSuite()
    {
        CResourceManager::disposeGlobalInstance();
        delete s_folder;
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

    static inline CTempFolder* s_folder = nullptr;
};

TEST_F(SlickSkin, EmptyFileGivesDefaultsAndMissingOneChangesNothing)
{
    const zil::P<CSlickRadioButtonSkin> skin = load<CSlickRadioButtonSkin>("");
    EXPECT_TRUE(skin->getLoadSuccessful());
    EXPECT_EQ(skin->getImagePos(), CSlickRadioButtonSkin::ImageLeft);
    EXPECT_EQ(skin->getBorderType(), CSlickRadioButtonSkin::BorderFlat);
    EXPECT_EQ(skin->getBorderColor(), wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW));
    EXPECT_EQ(skin->getContentMargins().toString() + L" " + skin->getBorderWidths().toString(), L"3 1");
    EXPECT_TRUE(skin->getDrawFocusRect() && skin->hasBorder());
    for (int s = 0; s < CSlickRadioButtonSkin::StateCount; ++s) {
        const CSlickStateSkin& state = skin->getStateSkin(CSlickRadioButtonSkin::State(s));
        EXPECT_EQ(state.getTextColor(), wxColour(0, 0, 0, 255)) << s;
        EXPECT_FALSE(state.getBackgroundColor().IsOk() || !state.getUnderlayImage().isNull()) << s;
        EXPECT_TRUE(state.getBackgroundGradient().isNull() && state.getTextLineStyles().empty()) << s;
    }

    zil::P<CSlickButtonSkin> untouched(new CSlickButtonSkin());
    untouched->setImageTextSpace(9);
    EXPECT_FALSE(untouched->loadResource(L"no-such-skin.ini"));
    EXPECT_FALSE(untouched->getLoadSuccessful());
    EXPECT_EQ(untouched->getImageTextSpace(), 9);
}

TEST_F(SlickSkin, StateKeysOverrideAllAndTextStylesAppend)
{
    using B = CSlickButtonIntermediate;
    const char* colors = "all.textColor=#ff0000\nhover.textColor=#0000ff\n";
    const char* styles = "all.textStyle=font-weight: bold\nnormal.textStyle=font-style: italic\n";
    const char* gap = "all.textStyle=font-weight: bold\nall.textStyle3=font-style: italic\n";
    // backTopColor alone makes no gradient.
    const char* halfGradient = "all.backTopColor=#102030\nall.backColor=red\nhover.backBottomColor=#405060\n";
    const char* gradient = "all.backTopColor=#102030\nall.backBottomColor=#405060\nnormal.backColor=nonsense\n";
    const struct {
        const char* file;
        B::State state;
        const char *textColor, *backColor, *gradient; // gradient: "top bottom" or "none"
        size_t lineStyles;
    } cases[] = {
        {colors, B::Normal, "#FF0000", "none", "none", 0},   {colors, B::Hover, "#0000FF", "none", "none", 0},
        {styles, B::Normal, "#000000", "none", "none", 2},   {styles, B::Disabled, "#000000", "none", "none", 1},
        {gap, B::Hover, "#000000", "none", "none", 1},       {halfGradient, B::Hover, "#000000", "#FF0000", "none", 0},
        {gradient, B::Normal, "#000000", "none", "#102030 #405060", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + "state " + std::to_string(c.state));
        const zil::P<CSlickButtonSkin> skin = load<CSlickButtonSkin>(c.file);
        const CSlickStateSkin& state = skin->getStateSkin(c.state);
        EXPECT_EQ(colorText(state.getTextColor()), c.textColor);
        EXPECT_EQ(colorText(state.getBackgroundColor()), c.backColor);
        ASSERT_EQ(state.getTextLineStyles().size(), c.lineStyles);
        if (c.lineStyles == 2) {
            EXPECT_TRUE(state.getTextLineStyles()[0]->getBold() && state.getTextLineStyles()[1]->getItalic());
        }
        const auto linear = state.getBackgroundGradient().dynamicCast<CLinearGradient>();
        EXPECT_EQ(linear ? colorText(linear->getTopColor()) + " " + colorText(linear->getBottomColor()) : "none",
                  c.gradient);
    }

    // Check box states by name; the other scalar keys of a state skin.
    using C = CSlickCheckBoxIntermediate;
    const zil::P<CSlickCheckBoxSkin> box = load<CSlickCheckBoxSkin>(
        "all.seeThrough=1\ncheckedDisabled.imageOpacity= 0.5 \nuncheckedHover.textHaloColor=rgb(1, 2, 3)\n");
    EXPECT_TRUE(box->getStateSkin(C::UncheckedNormal).getSeeThrough());
    EXPECT_EQ(box->getStateSkin(C::CheckedDisabled).getImageOpacity(), 0.5);
    CSlickStateSkin state; // set in code, opacity is clamped; NaN leaves the image opaque
    for (const auto& [set, got] : {std::pair{2.0, 1.0}, {-1.0, 0.0}, {std::nan(""), 1.0}}) {
        state.setImageOpacity(set);
        EXPECT_EQ(state.getImageOpacity(), got);
    }
    EXPECT_EQ(colorText(box->getStateSkin(C::UncheckedHover).getTextHaloColor()), "#010203");
    EXPECT_FALSE(box->getStateSkin(C::CheckedHover).getTextHaloColor().IsOk());
}

TEST_F(SlickSkin, BorderForms)
{
    using S = CSlickOverlaySkin;
    const struct {
        const char* border;
        S::Border type;
        zil::CMargins widths;
        wxPenStyle style;
        const char* color; // nullptr: the system dark shadow
    } cases[] = {
        // Each file starts from a red dashed 4-pixel border of its own.
        {"None;", S::BorderNone, zil::CMargins(4), wxPENSTYLE_SHORT_DASH, "#FF0000"},
        {"FLAT;", S::BorderFlat, zil::CMargins(1), wxPENSTYLE_SOLID, nullptr},
        {"border-width: 2px;", S::BorderCss, zil::CMargins(2), wxPENSTYLE_SOLID, "#FF0000"},
        {"border-width: 1px 2px;", S::BorderCss, zil::CMargins(1, 2, 0, 0), wxPENSTYLE_SOLID, "#FF0000"},
        {"border-width: thin  medium THICK 7PX;", S::BorderCss, zil::CMargins(1, 3, 5, 7), wxPENSTYLE_SOLID,
         "#FF0000"},
        {"border-width: 1px 2px 3px 4px 5px;", S::BorderCss, zil::CMargins(1), wxPENSTYLE_SOLID, "#FF0000"},
        {"border-width: 2;", S::BorderCss, zil::CMargins(0), wxPENSTYLE_SOLID, "#FF0000"},
        {"border-style: none;", S::BorderCss, zil::CMargins(0), wxPENSTYLE_SOLID, "#FF0000"},
        {";border-style: dotted;; junk; border-color: #00FF00;", S::BorderCss, zil::CMargins(1),
         wxPENSTYLE_DOT, "#00FF00"},
        {"border-style: dashed; border-color: blue; color: #00ff00", S::BorderCss, zil::CMargins(1),
         wxPENSTYLE_SHORT_DASH, "#FF0000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.border);
        zil::P<S> skin(new S());
        skin->setBorderWidths(zil::CMargins(4));
        skin->setBorderStyle(wxPENSTYLE_SHORT_DASH);
        skin->setBorderColor(*wxRED);
        ASSERT_TRUE(skin->loadResource(writeSkin(std::string("border=") + c.border + "\n")));
        EXPECT_EQ(skin->getBorderType(), c.type);
        EXPECT_EQ(skin->getBorderWidths().toString(), c.widths.toString());
        EXPECT_EQ(skin->getBorderStyle(), c.style);
        EXPECT_EQ(colorText(skin->getBorderColor()),
                  c.color ? c.color : colorText(wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW)));
        EXPECT_EQ(skin->hasBorder(), c.type != S::BorderNone && c.widths.toString() != L"0");
    }

    const struct {
        const wchar_t* text;
        int width;
    } widths[] = {{L"Medium", 3}, {L" thin", 0}, {L" 12PX ", 12}, {L"2pt", 0}, {L"99999999999px", 0}};
    for (const auto& w : widths)
        EXPECT_EQ(parseCssBorderWidth(w.text), w.width) << zil::String(w.text).toUTF8();
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
    good->loadResource(writeSkin("imagePos=bottom\n"));
    EXPECT_TRUE(good->getDrawFocusRect());

    const struct {
        const char* file;
        const char* message; // nullptr: a parse error of another layer
    } cases[] = {
        {"imagePos=Centre\n", "Invalid value for 'imagePos': 'centre'."},
        {"border=2px\n", "Invalid value for 'border': '2px'."},
        {"border=\n", "Invalid value for 'border': ''."},
        {"focusRect=Dashed\n", "Invalid value for 'focusRect': 'dashed'."},
        {"contentHorzAlign=left\n", nullptr},
        {"hover.imageOpacity=1e3\n", nullptr},
        {"clientMargins=1;2\n", nullptr},
        {"imageTextSpace=99999999999\n", nullptr},
        {"hover.imageOpacity=1.5\n",
         "Invalid value for 'hover.imageOpacity' in '%s': '1.5' (a number from 0 to 1)."},
        {"contentMargins=2147483647\n",
         "Invalid value for 'contentMargins' in '%s': '2147483647' (each side from -100000 to 100000)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        // Values read before the bad one stay; the skin is not marked as loaded.
        const Path path = writeSkin(std::string("hover.textColor=#00ff00\n") + c.file);
        zil::P<S> skin(new S());
        try {
            skin->loadResource(path);
            ADD_FAILURE() << "no error";
        } catch (const zil::CParseError& e) {
            EXPECT_EQ(c.message, nullptr) << e.getMessage().toUTF8();
        } catch (const zil::CError& e) {
            ASSERT_NE(c.message, nullptr) << e.getMessage().toUTF8();
            std::string expected = c.message;
            if (expected.find("%s") != std::string::npos)
                expected.replace(expected.find("%s"), 2, (*s_folder / path).str().toUTF8());
            EXPECT_EQ(e.getMessage().toUTF8(), expected);
        }
        EXPECT_FALSE(skin->getLoadSuccessful());
        EXPECT_EQ(colorText(skin->getStateSkin(CSlickButtonIntermediate::Hover).getTextColor()), "#00FF00");
        // The cache lets the error pass and keeps nothing, so a second call fails again.
        zil::P<CSlickButtonSkinCache> cache(new CSlickButtonSkinCache());
        EXPECT_THROW(cache->getOrLoadSkin(path), zil::CError);
        EXPECT_THROW(cache->getOrLoadSkin(path), zil::CError);
    }
}

TEST_F(SlickSkin, ImagesComeFromTheResourceFoldersAndTheFileMayBeUtf16)
{
    const zil::P<IScalingImage> frame = CResourceManager::get()->loadScalingImageByTitle(L"frame", -1.0);
    const zil::P<IScalingImage> umlaut = CResourceManager::get()->loadScalingImageByTitle(L"bild-\u00e4", -1.0);
    ASSERT_FALSE(frame.isNull() || umlaut.isNull());
    using B = CSlickButtonIntermediate;
    const zil::P<CSlickButtonSkin> skin =
        load<CSlickButtonSkin>("all.underlay=frame\nall.overlay=frame\nhover.overlay=missing\n"
                               "disabled.overlay2=frame\n");
    EXPECT_EQ(skin->getStateSkin(B::Normal).getUnderlayImage(), frame);
    EXPECT_TRUE(skin->getStateSkin(B::Normal).getOverlay2Image().isNull());
    // A present key replaces the image even when its title finds nothing.
    EXPECT_TRUE(skin->getStateSkin(B::Hover).getOverlayImage().isNull());
    EXPECT_EQ(skin->getStateSkin(B::Disabled).getOverlay2Image(), frame);

    // A damaged picture leaves its layer empty; the rest of the skin still loads.
    const zil::P<CSlickButtonSkin> damaged = load<CSlickButtonSkin>("all.underlay=damaged\nall.overlay=frame\n");
    EXPECT_TRUE(damaged->getLoadSuccessful());
    EXPECT_TRUE(damaged->getStateSkin(B::Normal).getUnderlayImage().isNull());
    EXPECT_EQ(damaged->getStateSkin(B::Normal).getOverlayImage(), frame);

    const zil::P<CSlickButtonSkin> utf16 = load<CSlickButtonSkin>(
        utf16LeWithBom(L"all.textColor=#00ff00\r\nhover.underlay=bild-\u00e4\r\nimagePos=bottom\r\n"));
    EXPECT_EQ(colorText(utf16->getStateSkin(B::Normal).getTextColor()), "#00FF00");
    EXPECT_EQ(utf16->getImagePos(), CSlickButtonSkin::ImageBottom);
    EXPECT_EQ(utf16->getStateSkin(B::Hover).getUnderlayImage(), umlaut);
    // Without a mark, text that is no UTF-8 is read as Latin-1.
    EXPECT_EQ(load<CSlickButtonSkin>("normal.underlay=bild-\xe4\n")->getStateSkin(B::Normal).getUnderlayImage(),
              umlaut);
    // An odd number of bytes after a UTF-16 mark cannot be text.
    zil::P<CSlickButtonSkin> broken(new CSlickButtonSkin());
    EXPECT_THROW(broken->loadResource(writeSkin(utf16LeWithBom(L"imagePos=top") + "x")), zil::CParseError);
    EXPECT_FALSE(broken->getLoadSuccessful());
}

// A skin's SVG picture is rendered for the factor the skin is loaded at, not resampled from a
// picture made for another one.
TEST_F(SlickSkin, VectorPicturesAtTheSkinsFactor)
{
    using B = CSlickButtonIntermediate;
    for (const double factor : {1.0, 1.75, 3.0}) {
        SCOPED_TRACE(factor);
        zil::P<CSlickButtonSkin> skin(new CSlickButtonSkin());
        ASSERT_TRUE(skin->loadResource(writeSkin("all.underlay=vector\n"), factor));
        const zil::P<IScalingImage> underlay = skin->getStateSkin(B::Normal).getUnderlayImage();
        ASSERT_FALSE(underlay.isNull());
        const wxSize size(int(std::ceil(8 * factor)), int(std::ceil(4 * factor)));
        ASSERT_EQ(underlay->getBaseSize(), size);
        const wxImage picture = underlay->getScaledVersion(size)->getBitmap().ConvertToImage();
        // The halves meet at 4 units: whole pixels at whole factors, one mixed column at 1.75.
        const int left = int(std::floor(4 * factor)) - 1, right = int(std::ceil(4 * factor));
        EXPECT_EQ(picture.GetRed(left, 1), 255);
        EXPECT_EQ(picture.GetBlue(left, 1), 0);
        EXPECT_EQ(picture.GetRed(right, 1), 0);
        EXPECT_EQ(picture.GetBlue(right, 1), 255);
    }
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
}

namespace {

template <class I> zil::String stateName(int s)
{
    return I::getStateName(typename I::State(s));
}

} // namespace

TEST(SlickSkinStates, NamesAndOutOfRangeValues)
{
    const struct {
        zil::String (*name)(int);
        int count;
        const wchar_t* source;
        const wchar_t* last;
    } cases[] = {
        {stateName<CSlickButtonIntermediate>, 3, L"CSlickButtonIntermediate::getStateName", L"disabled"},
        {stateName<CSlickCheckBoxIntermediate>, 6, L"CSlickCheckBoxIntermediate::getStateName",
         L"checkedDisabled"},
        {stateName<CSlickRadioButtonIntermediate>, 6, L"CSlickRadioButtonIntermediate::getStateName",
         L"selectedDisabled"},
        {[](int s) {
             zil::P<CSlickRadioButtonSkin> skin(new CSlickRadioButtonSkin());
             const CSlickStateSkin& first = skin->getStateSkin(CSlickRadioButtonIntermediate::UnselectedNormal);
             return zil::toString(int64_t(&skin->getStateSkin(CSlickRadioButtonSkin::State(s)) - &first));
         },
         6, L"TSlickSkinBase::getStateSkin", L"5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(zil::String(c.source).toUTF8());
        EXPECT_EQ(c.name(c.count - 1), c.last);
        for (int bad : {-1, c.count}) {
            const zil::CInvalidArgError e = zil::test::thrown<zil::CInvalidArgError>([&] { c.name(bad); });
            EXPECT_EQ(e.getMessage(), L"Invalid state value: " + zil::toString(int64_t(bad)));
            EXPECT_EQ(e.getSource(), c.source);
        }
    }
}

// The skins that the build draws into res/skins, read as the gallery reads them: every state
// has a picture of its own.
template <class Skin> void checkGeneratedSkin(const zil::String& path)
{
    SCOPED_TRACE(path.toUTF8());
    const zil::P<Skin> skin = zil::P<TSlickSkinCache<Skin>>(new TSlickSkinCache<Skin>())->getOrLoadSkin(path);
    ASSERT_TRUE(skin->getLoadSuccessful()) << "not found below the resource base folder";
    EXPECT_FALSE(skin->hasBorder());
    std::vector<wxImage> pictures;
    for (int s = 0; s < Skin::StateCount; ++s) {
        const zil::P<IScalingImage> underlay = skin->getStateSkin(typename Skin::State(s)).getUnderlayImage();
        ASSERT_FALSE(underlay.isNull()) << s;
        const wxImage picture = underlay->getScaledVersion(wxSize(90, 30))->getBitmap().ConvertToImage();
        ASSERT_TRUE(picture.HasAlpha());
        for (size_t other = 0; other < pictures.size(); ++other)
            EXPECT_FALSE(std::equal(picture.GetData(), picture.GetData() + 90 * 30 * 3, pictures[other].GetData()))
                << "states " << other << " and " << s;
        pictures.push_back(picture);
    }
}

TEST(SlickSkinSamples, EveryStateHasItsOwnPicture)
{
    for (const wchar_t* look : {L"glossy", L"flat"}) {
        const zil::String folder = zil::String(L"skins/") + look + L"/";
        checkGeneratedSkin<CSlickButtonSkin>(folder + L"button.ini");
        checkGeneratedSkin<CSlickCheckBoxSkin>(folder + L"checkbox.ini");
        checkGeneratedSkin<CSlickRadioButtonSkin>(folder + L"radiobutton.ini");
    }
}
