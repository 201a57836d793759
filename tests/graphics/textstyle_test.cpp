// SPDX-License-Identifier: MIT
#include "zil/temp_folder.h"

#include <zilui/graphics/textstyle.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include <wx/settings.h>

using namespace zilui;

TEST(TextStyle, ParsesDeclarations)
{
    // flags: b bold, i italic, u underlined, a antialias, w wrap, e ellipsis; rgb -1: no colour.
    struct Case { const wchar_t* css; const char* flags; double height, horz, vert; long rgb; const wchar_t* name;
                  wxFontFamily family; };
    const wxFontFamily def = wxFONTFAMILY_DEFAULT;
    const Case cases[] = {
        {L"", "", 1.0, 0, 0, -1, L"", def},
        {L" ;; ; \t;", "", 1.0, 0, 0, -1, L"", def},
        {L"font-weight:bold; text-align : center;color:#ff0000", "b", 1.0, 0.5, 0, 0x0000ff, L"", def},
        {L"font-style: italic; text-decoration: underline; font-smoothing: antialiased; vertical-align: bottom",
         "iua", 1.0, 0, 1.0, -1, L"", def},
        {L"font-weight:bold;font-weight:normal;text-align:right;text-align:middle", "", 1.0, 1.0, 0, -1, L"", def},
        {L"font-size: 120%", "", 1.2, 0, 0, -1, L"", def},
        {L"font-size: 12px", "", 1.0, 0, 0, -1, L"", def},
        {L"font-size: 50 %;font-size:-14", "", 0.5, 0, 0, -1, L"", def},
        {L"Font-Weight: bold; text-align: Center; bold; color: red", "", 1.0, 0, 0, -1, L"", def},
        {L"color: #nothex", "", 1.0, 0, 0, -1, L"", def},
        {L"font-family: SERIF", "", 1.0, 0, 0, -1, L"", wxFONTFAMILY_ROMAN},
        {L"font-family: \"Liberation Sans\", \"Arial\", serif", "", 1.0, 0, 0, -1, L"Liberation Sans",
         wxFONTFAMILY_ROMAN},
        {L"font-family: Arial, , \"\"", "", 1.0, 0, 0, -1, L"", def},
        {L"font-family: \"a:b\"", "", 1.0, 0, 0, -1, L"a:b", wxFONTFAMILY_SWISS},
        {L"font-family: fantasy, monospace; font-family: nothing", "", 1.0, 0, 0, -1, L"", wxFONTFAMILY_DECORATIVE},
        {L"word-wrap: normal", "w", 1.0, 0, 0, -1, L"", def},
        {L"word-wrap: break-words; word-wrap: none", "", 1.0, 0, 0, -1, L"", def},
        {L"text-overflow: clip ellipsis", "e", 1.0, 0, 0, -1, L"", def},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(wxString(c.css).utf8_string());
        const zil::P<CTextStyle> s = CTextStyle::fromCSSString(c.css);
        ASSERT_TRUE(s);
        std::string flags;
        for (auto [on, letter] : {std::pair{s->getBold(), 'b'}, {s->getItalic(), 'i'}, {s->getUnderlined(), 'u'},
                                  {s->getAntialias(), 'a'}, {s->getWrapText(), 'w'}, {s->getEllipsis(), 'e'}})
            if (on)
                flags += letter;
        EXPECT_EQ(c.flags, flags);
        EXPECT_DOUBLE_EQ(c.height, s->getHeightFactor());
        EXPECT_DOUBLE_EQ(c.horz, s->getHorzAlign());
        EXPECT_DOUBLE_EQ(c.vert, s->getVertAlign());
        EXPECT_EQ(c.rgb, s->getColor().IsOk() ? static_cast<long>(s->getColor().GetRGB()) : -1L);
        EXPECT_EQ(zil::String(c.name), s->getFontName());
        EXPECT_EQ(c.family, s->getFontFamily());
    }
}

TEST(TextStyle, BadFontSizeNamesTheNumber)
{
    for (const wchar_t* number : {L"abc", L"", L"1e2", L"12,5", L"1 2"}) {
        SCOPED_TRACE(wxString(number).utf8_string());
        const zil::CParseError e = zil::test::thrown<zil::CParseError>(
            [&] { CTextStyle::fromCSSString(zil::String(L"font-weight: bold; font-size: ") + number + L"%"); });
        EXPECT_TRUE(!*number || e.getFullText().Contains(number)) << e.what();
    }
}

TEST(TextStyle, FontStringAndClone)
{
    CTextStyle style(1.2, true, true, false, false, *wxBLUE, 0.5, true, true, 1.0);
    style.setFontNameAndFamily(L"Arial", wxFONTFAMILY_SWISS);
    EXPECT_EQ(zil::String(L"1.000000;70;"), CTextStyle::fromCSSString(L"")->getFontString());
    EXPECT_EQ(zil::String(L"1.200000bi;74;Arial"), style.getFontString());
    EXPECT_EQ(zil::String(L"-14.000000biua;70;"), CTextStyle(-14, true, true, true, true, wxNullColour, 0, false,
                                                             false, 0).getFontString());

    const zil::P<CTextStyle> copy = style.clone();
    ASSERT_NE(&style, copy.get());
    EXPECT_EQ(style.getFontString(), copy->getFontString());
    EXPECT_EQ(wxColour(*wxBLUE), copy->getColor());
    EXPECT_TRUE(copy->getWrapText() && copy->getEllipsis());
    EXPECT_DOUBLE_EQ(0.5, copy->getHorzAlign());
    EXPECT_DOUBLE_EQ(1.0, copy->getVertAlign());
}

namespace {

// What the toolkit reports for a font asked for at `pixels`: its measure need not give back
// the pixel height asked for.
int measuredHeight(int pixels)
{
    return wxFont(wxFontInfo(wxSize(0, pixels)).FaceName("DejaVu Sans")).GetPixelSize().y;
}

} // namespace

TEST(TextStyle, DerivedFontFollowsStyleAndBase)
{
    const wxFont small(wxFontInfo(wxSize(0, 10)).FaceName("DejaVu Sans"));
    const wxFont large(wxFontInfo(wxSize(0, 30)).FaceName("DejaVu Sans"));
    const CTextStyle absolute(-14.7, false, false, false, false, wxNullColour, 0, false, false, 0);
    EXPECT_EQ(measuredHeight(14), absolute.deriveFont(small).GetPixelSize().y);
    EXPECT_EQ(measuredHeight(14), absolute.deriveFont(large).GetPixelSize().y);
    // Half of the base's height, a half pixel up: odd heights tell rounding from cutting off.
    const CTextStyle half(0.5, true, true, true, true, wxNullColour, 0, false, false, 0);
    bool oddBase = false;
    for (int pixels = 26; pixels <= 31; ++pixels) {
        const int base = measuredHeight(pixels);
        SCOPED_TRACE(base);
        oddBase |= base % 2 == 1;
        EXPECT_EQ(measuredHeight((base + 1) / 2),
                  half.deriveFont(wxFont(wxFontInfo(wxSize(0, pixels)).FaceName("DejaVu Sans"))).GetPixelSize().y);
    }
    EXPECT_TRUE(oddBase);
    const wxFont derived = half.deriveFont(large);
    EXPECT_EQ(wxFONTWEIGHT_BOLD, derived.GetWeight());
    EXPECT_EQ(wxFONTSTYLE_ITALIC, derived.GetStyle());
    EXPECT_TRUE(derived.GetUnderlined());
    EXPECT_EQ(large.GetFaceName(), derived.GetFaceName());

    // Heights no font can have still give a usable font, not a toolkit assertion.
    for (const wchar_t* size : {L"font-size: 0%", L"font-size: 1%", L"font-size: 99999999999999%",
                                L"font-size: -99999999999999%"}) {
        SCOPED_TRACE(wxString(size).utf8_string());
        EXPECT_TRUE(CTextStyle::fromCSSString(size)->deriveFont(small).IsOk());
    }

    zil::P<CTextStyle> serif = CTextStyle::fromCSSString(L"font-family: \"DejaVu Serif\", serif");
    EXPECT_EQ(wxString("DejaVu Serif"), serif->deriveFont(small).GetFaceName());
}

TEST(TextStyleFontCache, SharesFontsOfEqualStyles)
{
    const wxFont base(wxFontInfo(wxSize(0, 20)).FaceName("DejaVu Sans"));
    CTextStyleFontCache cache(base);
    const zil::P<CTextStyle> red = CTextStyle::fromCSSString(L"font-size: 150%; color: #ff0000");
    const zil::P<CTextStyle> other = CTextStyle::fromCSSString(
        L"font-size:150%;color:#0000ff;text-align:right;word-wrap:normal;text-overflow:ellipsis");
    const zil::P<CTextStyle> bold = CTextStyle::fromCSSString(L"font-size: 150%; font-weight: bold");
    const wxFont first = cache.getFontWithStyle(*red);
    // One and a half times the base's height, a half pixel up.
    EXPECT_EQ(measuredHeight((3 * base.GetPixelSize().y + 1) / 2), first.GetPixelSize().y);
    EXPECT_EQ(first.GetRefData(), cache.getFontWithStyle(*other).GetRefData());
    EXPECT_NE(first.GetRefData(), cache.getFontWithStyle(*bold).GetRefData());

    const wxFont smaller(wxFontInfo(wxSize(0, 10)).FaceName("DejaVu Sans"));
    cache.changeBaseFont(smaller);
    EXPECT_EQ(measuredHeight((3 * smaller.GetPixelSize().y + 1) / 2), cache.getFontWithStyle(*red).GetPixelSize().y);
    cache.dispose();
    EXPECT_TRUE(cache.getFontWithStyle(*red).IsOk());
}

TEST(TextStyleFontCache, DefaultCacheRefillsAfterDispose)
{
    const zil::P<CTextStyleFontCache> cache = CTextStyleFontCache::getDefaultGUIFontCache();
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache, CTextStyleFontCache::getDefaultGUIFontCache());
    const zil::P<CTextStyle> plain = CTextStyle::fromCSSString(L"");
    const wxFont before = cache->getFontWithStyle(*plain);
    EXPECT_EQ(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetPixelSize().y, before.GetPixelSize().y);
    CTextStyleFontCache::disposeGlobalInstance();
    const wxFont after = CTextStyleFontCache::getDefaultGUIFontCache()->getFontWithStyle(*plain);
    EXPECT_TRUE(after.IsOk());
    EXPECT_NE(before.GetRefData(), after.GetRefData());
}
