// SPDX-License-Identifier: MIT
#include "graphics/graphicstestutil.h"
#include "support/compositor.h"
#include "support/guitest.h"

#include <zilui/app/strings.h>
#include <zilui/graphics/styledtextpainter.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/textwrapper.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using namespace zilui;

namespace {

class CTestPainter : public CLineBasedStyledTextPainter {
public:
    using CLineBasedStyledTextPainter::CLineBasedStyledTextPainter;
    using CLineBasedStyledTextPainter::ellipsisText, CLineBasedStyledTextPainter::getLineExtent,
        CLineBasedStyledTextPainter::getNextLineAndStyle, CLineBasedStyledTextPainter::wrapText;
};

zil::P<CTextStyleFontCache> makeCache()
{
    return new CTextStyleFontCache(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
}

zil::P<CTextStyle> style(const wchar_t* css) { return CTextStyle::fromCSSString(css); }

// A white 200x120 bitmap with the DC's text colour blue; `paint` draws into it.
wxImage paintImage(const std::function<void(wxMemoryDC&)>& paint)
{
    return zilui::test::paintInto({200, 120}, [&](wxMemoryDC& dc) { dc.SetTextForeground(*wxBLUE), paint(dc); },
                                  *wxWHITE);
}

// Leftmost inked (not white) column and topmost inked row; -1 when nothing is inked.
wxPoint firstInk(const wxImage& image)
{
    wxPoint first(-1, -1);
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (zilui::test::isInk(image, x, y, 200)) {
                first.x = first.x < 0 ? x : std::min(first.x, x);
                first.y = first.y < 0 ? y : first.y;
            }
    return first;
}

} // namespace

TEST(StyledTextPainter, SplitsLinesAndRefusesNullFontCache)
{
    const zil::P<CTextStyle> first = style(L""), second = style(L"font-weight: bold");
    // Expected: each line with the index of its style, "|" between lines.
    const std::tuple<const wchar_t*, bool, const wchar_t*> cases[] = {
        {L"a\r\nb", true, L"a0|b1"},      {L"a\r\nb", false, L"a0|b0"}, {L"a\n\nb", true, L"a0|1|b1"},
        {L"a\r\rb\n", false, L"a0|0|b0"}, {L"a\n\r\n", true, L"a0|1"},  {L"\r\n", true, L"0"},
        {L"", true, L""},
    };
    for (const auto& [text, twoStyles, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        CTestPainter painter(twoStyles ? zil::TArray<zil::P<CTextStyle>>{first, second}
                                       : zil::TArray<zil::P<CTextStyle>>{first}, makeCache().get());
        zil::String lines, line;
        size_t pos = 0, index = 0;
        CTextStyle* lineStyle = nullptr;
        while (painter.getNextLineAndStyle(text, pos, index, line, lineStyle))
            lines += (lines.isEmpty() ? L"" : L"|") + line + (lineStyle == first.get() ? L"0" : L"1");
        EXPECT_EQ(zil::String(expected), lines);
    }
    EXPECT_THROW(CLineBasedStyledTextPainter({}, nullptr), zil::CInvalidArgError); // null font cache
}

TEST(StyledTextPainter, MeasuresAndWrapsAtWordsAndSplitsLongWords)
{
    CTestPainter painter({}, makeCache().get());
    wxBitmap bitmap(10, 10, 24);
    wxMemoryDC dc(bitmap);
    wxFont font = makeCache()->getFontWithStyle(CTextStyle());
    dc.SetFont(font);
    auto width = [&](const zil::String& text) { return dc.GetTextExtent(text.c_str()).x; };
    // An empty line keeps the height of a letter.
    EXPECT_EQ(wxSize(0, painter.getLineExtent(dc, L"W", nullptr).y), painter.getLineExtent(dc, L"", nullptr));
    EXPECT_EQ(painter.getTextSize(dc, L"W", -1).y * 3, painter.getTextSize(dc, L"a\n\nb", -1).y);
    const wchar_t* longWord = L"abcdefghijklmnopqrstuvwxyz";
    const std::tuple<const wchar_t*, int, zil::TArray<zil::String>> cases[] = {
        {L"one two three", width(L"one two") + 2, {L"one two", L"three"}},
        {L"well-known", width(L"well-known") * 3 / 4, {L"well-", L"known"}},
        {L"  one   ", 1000, {L"one"}},
        {L" \t ", 1000, {}},
        {L" one  two ", 0, {L" one  two "}}, // no limit
        {L" one  two ", -1, {L" one  two "}},
        {L"ab", 1, {L"a", L"b"}},
        {longWord, width(L"abcdef"), {}},
    };
    for (const auto& [line, maxWidth, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(line)) + " at " + std::to_string(maxWidth));
        zil::TArray<zil::String> out{L"stale"};
        painter.wrapText(dc, line, maxWidth, &font, out);
        if (line != longWord) {
            EXPECT_EQ(expected, out);
            continue;
        }
        // Split by characters into pieces, each as long as fits.
        ASSERT_GT(out.size(), 1u);
        zil::String joined;
        for (size_t i = 0; i < out.size(); joined += out[i++]) {
            EXPECT_LE(width(out[i]), maxWidth) << out[i];
            EXPECT_TRUE(i + 1 == out.size() || width(out[i] + out[i + 1].front()) > maxWidth) << out[i];
        }
        EXPECT_EQ(zil::String(longWord), joined);
    }

    // Measuring follows the wrapping: two lines, as wide as the wider.
    CTestPainter wrapping({style(L"word-wrap: normal")}, makeCache().get());
    EXPECT_EQ(wxSize(width(L"one two"), 2 * painter.getLineExtent(dc, L"one", &font).y),
              wrapping.getTextSize(dc, L"one two three", width(L"one two") + 2));
}

TEST(StyledTextPainter, EllipsisAndEmptyText)
{
    CTestPainter painter({style(L"text-overflow: ellipsis")}, makeCache().get());
    wxFont font = makeCache()->getFontWithStyle(*style(L"text-overflow: ellipsis"));
    const zil::String line = L"An ellipsised line of some length";
    const wxImage image = paintImage([&](wxMemoryDC& dc) {
        EXPECT_EQ(painter.getLineExtent(dc, L"...", &font), painter.getTextSize(dc, line, -1));
        EXPECT_EQ(wxSize(0, 0), painter.getTextSize(dc, L"", -1));
        painter.paintText(dc, wxRect(0, 0, 200, 120), L""); // draws nothing
        zil::TArray<zil::String> out;
        painter.ellipsisText(dc, line, -1, &font, out);
        EXPECT_EQ(zil::TArray<zil::String>{line}, out);
        painter.ellipsisText(dc, line, 0, &font, out);
        EXPECT_EQ(zil::TArray<zil::String>{L"..."}, out);
        painter.ellipsisText(dc, line, painter.getLineExtent(dc, line, &font).x / 2, &font, out);
        ASSERT_EQ(1u, out.size());
        EXPECT_LT(out[0].size(), line.size());
        EXPECT_TRUE(out[0].EndsWith(L"...")) << out[0];
    });
    EXPECT_EQ(wxPoint(-1, -1), firstInk(image));
}

TEST(StyledTextPainter, LineWithoutColourUsesTheDCColour)
{
    CTestPainter painter({style(L"color: #ff0000"), style(L"")}, makeCache().get());
    int height = 0;
    const wxImage image = paintImage([&](wxMemoryDC& dc) {
        dc.SetFont(*wxITALIC_FONT);
        height = painter.getTextSize(dc, L"WWW", -1).y;
        painter.paintText(dc, wxRect(0, 0, 200, 120), L"WWW\nWWW");
        EXPECT_EQ(*wxBLUE, dc.GetTextForeground());
        EXPECT_EQ(*wxITALIC_FONT, dc.GetFont());
    });
    // Antialiased edges blend with white, so a pixel counts by its dominant channel.
    int counts[2][2] = {}; // [in the second line][blue]
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (const int redness = image.GetRed(x, y) - image.GetBlue(x, y); std::abs(redness) > 60)
                ++counts[y >= height][redness < 0];
    EXPECT_GT(counts[0][0], 20);
    EXPECT_GT(counts[1][1], 20);
    EXPECT_EQ(0, counts[0][1] + counts[1][0]);
}

TEST(StyledTextPainter, Alignment)
{
    CTestPainter topLeft({}, makeCache().get());
    wxSize size;
    paintImage([&](wxMemoryDC& dc) { size = topLeft.getTextSize(dc, L"Wq\nWq", -1); });
    const wxPoint origin(7, 20);
    auto inkAt = [&](CTestPainter& painter, const wxSize& rect) {
        const auto paint = [&](wxMemoryDC& dc) { painter.paintText(dc, wxRect(origin, rect), L"Wq\nWq"); };
        return firstInk(paintImage(paint));
    };
    const wxPoint reference = inkAt(topLeft, size);
    ASSERT_NE(wxPoint(-1, -1), reference);
    // Styles of the two lines, rectangle, offset of the ink against the text drawn top left.
    const std::tuple<const wchar_t*, const wchar_t*, wxSize, wxPoint> cases[] = {
        {L"text-align: center", L"text-align: center", wxSize(2 * size.x + 1, size.y),
         wxPoint((size.x + 1) / 2, 0)},
        {L"text-align: right", L"text-align: right", wxSize(size.x + 5, size.y), wxPoint(5, 0)},
        {L"vertical-align: bottom", L"", wxSize(size.x, size.y + 9), wxPoint(0, 9)},
        {L"", L"vertical-align: bottom", wxSize(size.x, size.y + 9), wxPoint(0, 0)}, // the first line decides
        {L"vertical-align: middle", L"", wxSize(size.x, size.y - 3), wxPoint(0, -1)}, // -1.5 truncates to -1
    };
    for (const auto& [firstCss, secondCss, rect, offset] : cases) {
        SCOPED_TRACE(wxString(firstCss).utf8_string() + " / " + wxString(secondCss).utf8_string());
        CTestPainter painter({style(firstCss), style(secondCss)}, makeCache().get());
        EXPECT_EQ(offset, inkAt(painter, rect) - reference);
    }
}

namespace {

// wxWidgets' own word wrapping (wxStaticText::Wrap): breaks at the last space that fits. It
// keeps lines narrower than its width, the painter as wide as its width at most; and it sums
// the widths of single characters, which can come to a few pixels more than the line's own
// measure that the painter takes, so now and then it breaks a word earlier.
struct CWxWrapping : wxTextWrapper {
    std::vector<zil::String> lines;
    CWxWrapping(wxWindow* window, const zil::String& text, int width) { Wrap(window, toWX(text), width + 1); }
    void OnOutputLine(const wxString& line) override { lines.push_back(fromWX(line)); }
};



} // namespace

// The licence text every Debian system ships, its paragraphs (blank-line separated) joined into
// single lines with single spaces, wrapped at several widths, twice (the second time from the
// cached word widths): no line is wider than asked where its words allow, none could have
// taken the next word, no character is lost or added, and the lines are those of wxWidgets'
// own wrapping but where its measure differs (see CWxWrapping).
TEST(StyledTextPainter, WrapsARealLicenceTextAsWxWidgetsDoes)
{
    // GDK on Wayland takes hinting and antialiasing from the desktop's settings, which measure
    // the same font a little differently.
    ZILUI_REQUIRE_X11("the recorded line breaks are measured with the X server's default font options");
    std::ifstream file("/usr/share/common-licenses/GPL-3");
    ASSERT_TRUE(file) << "base-files ships /usr/share/common-licenses/GPL-3";
    std::vector<zil::String> paragraphs(1);
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        for (std::string word; words >> word;)
            paragraphs.back() += (paragraphs.back().empty() ? L"" : L" ") + zil::String::fromUTF8(word);
        if (line.find_first_not_of(' ') == std::string::npos && !paragraphs.back().empty())
            paragraphs.emplace_back();
    }
    ASSERT_GT(paragraphs.size(), 100u);
    wxBitmap bitmap(10, 10, 24);
    wxMemoryDC dc(bitmap);
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    dc.SetFont(font);
    const auto widthOf = [&](const zil::String& text) { return dc.GetTextExtent(toWX(text)).x; };
    const test::Owned<wxWindow> window(new wxWindow(&test::sharedFrame(), wxID_ANY));
    window->SetFont(font);
    CTestPainter painter({}, makeCache().get());
    const auto squeezed = [](zil::String text) {
        text.erase(std::remove(text.begin(), text.end(), L' '), text.end());
        return text;
    };
    for (const int width : {400, 237, 150, 111}) {
        for (int pass = 0; pass < 2; ++pass) {
            SCOPED_TRACE(std::to_string(width) + " pass " + std::to_string(pass));
            size_t compared = 0, same = 0;
            for (const zil::String& paragraph : paragraphs) {
                zil::TArray<zil::String> lines;
                painter.wrapText(dc, paragraph, width, &font, lines);
                zil::String all;
                for (size_t i = 0; i < lines.size(); ++i) {
                    const zil::String& line = lines[i];
                    all += line;
                    SCOPED_TRACE(line.toUTF8());
                    // A single character wider than the width is the one exception.
                    if (line.size() > 1) {
                        EXPECT_LE(widthOf(line), width);
                    }
                    if (i + 1 == lines.size())
                        continue;
                    const zil::String next = lines[i + 1].substr(0, lines[i + 1].find(L' '));
                    const zil::String longer = line + (line.EndsWith(L"-") ? L"" : L" ") + next;
                    if (widthOf(next) <= width) {
                        EXPECT_GT(widthOf(longer), width) << "room for " << next.toUTF8();
                    }
                }
                EXPECT_EQ(squeezed(all), squeezed(paragraph));
                if (paragraph.find(L'-') != zil::String::npos)
                    continue;
                const CWxWrapping wx(window.get(), paragraph, width);
                if (std::any_of(wx.lines.begin(), wx.lines.end(),
                                [&](const zil::String& line) { return widthOf(line) > width; }))
                    continue;
                ++compared;
                same += std::vector<zil::String>(lines.begin(), lines.end()) == wx.lines ? 1 : 0;
            }
            EXPECT_GT(compared, paragraphs.size() / 2);
            EXPECT_GE(same * 4, compared * 3) << same << " of " << compared;
        }
    }
}

// The words and lines of a paragraph are measured together where the DC allows; each must
// still measure as the DC measures it alone, whatever the script or the glyphs around it.
TEST(StyledTextPainter, MeasuresTextsTogetherAsTheDCDoesAlone)
{
    const zil::String text = L"one two three four AVAV To. office ffl Wq\tx e\u0301 \u4e2d\u6587\u5b57 "
                             L"\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645 \U0001F600 end-";
    wxBitmap bitmap(10, 10, 24);
    wxMemoryDC dc(bitmap);
    CTestPainter painter({style(L"word-wrap: normal")}, makeCache().get());
    wxFont font = makeCache()->getFontWithStyle(*style(L"word-wrap: normal"));
    for (const int width : {-1, 60}) {
        CLineBasedStyledTextPainter::disposeMeasurementCache();
        painter.getTextSize(dc, text, width);
        zil::TArray<zil::String> texts;
        painter.wrapText(dc, text, width, &font, texts);
        for (size_t pos = 0, end = 0; pos < text.size(); pos = end + 1) {
            end = std::min(text.find_first_of(L" \t-", pos), text.size());
            texts.push_back(text.substr(pos, end - pos + (end < text.size() && text[end] == L'-')));
        }
        for (const zil::String& piece : texts) {
            wxCoord w = 0, h = 0;
            dc.GetTextExtent(wxString(piece), &w, &h, nullptr, nullptr, &font);
            EXPECT_EQ(wxSize(w, h), painter.getLineExtent(dc, piece, &font)) << piece << " at " << width;
        }
    }
}

// A DC with a user scale hints and measures text in its own way: measurements of an unscaled
// DC, cached first, must not be handed to it.
TEST(StyledTextPainter, MeasuresPerUserScale)
{
    CTestPainter painter({}, makeCache().get());
    wxFont font = makeCache()->getFontWithStyle(CTextStyle());
    wxBitmap bitmap(10, 10, 24);
    wxMemoryDC plain(bitmap);
    CLineBasedStyledTextPainter::disposeMeasurementCache();
    const zil::String texts[] = {L"Wq", L"one two three", L"illuminate", L"A wider line of text"};
    for (const zil::String& text : texts)
        painter.getLineExtent(plain, text, &font);
    wxBitmap other(10, 10, 24);
    wxMemoryDC scaled(other);
    for (const double scale : {0.5, 1.37}) {
        scaled.SetUserScale(scale, scale);
        for (const zil::String& text : texts) {
            wxCoord w = 0, h = 0;
            scaled.GetTextExtent(wxString(text), &w, &h, nullptr, nullptr, &font);
            EXPECT_EQ(wxSize(w, h), painter.getLineExtent(scaled, text, &font)) << text << " at " << scale;
        }
    }
}
