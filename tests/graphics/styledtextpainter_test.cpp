// SPDX-License-Identifier: MIT
#include <zilui/graphics/styledtextpainter.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <wx/dcmemory.h>
#include <wx/settings.h>

#include <algorithm>
#include <functional>
#include <string>

using namespace zilui;

namespace {

class CTestPainter : public CLineBasedStyledTextPainter {
public:
    using CLineBasedStyledTextPainter::CLineBasedStyledTextPainter;
    using CLineBasedStyledTextPainter::ellipsisText;
    using CLineBasedStyledTextPainter::getLineExtent;
    using CLineBasedStyledTextPainter::getNextLineAndStyle;
    using CLineBasedStyledTextPainter::getNextWord;
    using CLineBasedStyledTextPainter::wrapText;
};

zil::P<CTextStyleFontCache> makeCache()
{
    return new CTextStyleFontCache(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
}

zil::P<CTextStyle> style(const wchar_t* css) { return CTextStyle::fromCSSString(css); }

// A white 200x120 bitmap with the DC's text colour blue; `paint` draws into it.
wxImage paintImage(const std::function<void(wxMemoryDC&)>& paint)
{
    wxBitmap bitmap(200, 120, 24);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.SetTextForeground(*wxBLUE);
    paint(dc);
    dc.SelectObject(wxNullBitmap);
    return bitmap.ConvertToImage();
}

// Leftmost inked (not white) column and topmost inked row; -1 when nothing is inked.
wxPoint firstInk(const wxImage& image)
{
    wxPoint first(-1, -1);
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetRed(x, y) < 200 || image.GetGreen(x, y) < 200 || image.GetBlue(x, y) < 200) {
                first.x = first.x < 0 ? x : std::min(first.x, x);
                first.y = first.y < 0 ? y : first.y;
            }
    return first;
}

} // namespace

TEST(StyledTextPainter, SplitsLinesAndWords)
{
    const zil::P<CTextStyle> first = style(L""), second = style(L"font-weight: bold");
    // Expected: each line with the index of its style, "|" between lines.
    struct Case { const wchar_t* text; bool twoStyles; const wchar_t* expected; };
    const Case cases[] = {
        {L"a\r\nb", true, L"a0|b1"},    {L"a\r\nb", false, L"a0|b0"}, {L"a\n\nb", true, L"a0|1|b1"},
        {L"a\r\rb\n", false, L"a0|0|b0"}, {L"a\n\r\n", true, L"a0|1"},  {L"\r\n", true, L"0"},
        {L"", true, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        CTestPainter painter(c.twoStyles ? zil::TArray<zil::P<CTextStyle>>{first, second}
                                         : zil::TArray<zil::P<CTextStyle>>{first}, makeCache().get());
        zil::String lines, line;
        size_t pos = 0, index = 0;
        CTextStyle* lineStyle = nullptr;
        while (painter.getNextLineAndStyle(c.text, pos, index, line, lineStyle))
            lines += (lines.isEmpty() ? L"" : L"|") + line + (lineStyle == first.get() ? L"0" : L"1");
        EXPECT_EQ(zil::String(c.expected), lines);
    }

    CTestPainter painter({}, makeCache().get());
    wxBitmap bitmap(10, 10, 24);
    wxMemoryDC dc(bitmap);
    // An empty line keeps the height of a letter.
    EXPECT_EQ(wxSize(0, painter.getLineExtent(dc, L"W", nullptr).y), painter.getLineExtent(dc, L"", nullptr));
    EXPECT_EQ(painter.getTextSize(dc, L"W", -1).y * 3, painter.getTextSize(dc, L"a\n\nb", -1).y);
    zil::TArray<zil::String> words;
    size_t pos = 0;
    for (zil::String word; painter.getNextWord(L"well-known  a\tb-", pos, word);)
        words.push_back(word);
    EXPECT_EQ((zil::TArray<zil::String>{L"well-", L"known", L"", L"a", L"b-"}), words);
}

TEST(StyledTextPainter, WrapsAtWordsAndSplitsLongWords)
{
    CTestPainter painter({}, makeCache().get());
    wxBitmap bitmap(10, 10, 24);
    wxMemoryDC dc(bitmap);
    wxFont font = makeCache()->getFontWithStyle(CTextStyle());
    dc.SetFont(font);
    auto width = [&](const wchar_t* text) { return dc.GetTextExtent(text).x; };
    const wchar_t* longWord = L"abcdefghijklmnopqrstuvwxyz";
    struct Case { const wchar_t* line; int maxWidth; zil::TArray<zil::String> expected; };
    const Case cases[] = {
        {L"one two three", width(L"one two") + 2, {L"one two", L"three"}},
        {L"well-known", width(L"well-known") * 3 / 4, {L"well-", L"known"}},
        {L"well-known", width(L"well-known") + 10, {L"well-known"}},
        {L"  one   ", 1000, {L"one"}},
        {L" \t ", 1000, {}},
        {L" one  two ", 0, {L" one  two "}},
        {L" one  two ", -1, {L" one  two "}},
        {L"ab", 1, {L"a", L"b"}},
        {longWord, width(L"abcdef"), {}},
        {longWord, width(L"abcdefghijklmnopqrstuvwxy"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.line)) + " at " + std::to_string(c.maxWidth));
        zil::TArray<zil::String> out{L"stale"};
        painter.wrapText(dc, c.line, c.maxWidth, &font, out);
        if (c.line != longWord) {
            EXPECT_EQ(c.expected, out);
            continue;
        }
        ASSERT_GT(out.size(), 1u);
        zil::String joined;
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_LE(width(out[i].c_str()), c.maxWidth) << out[i];
            // Each piece is as long as fits.
            if (i + 1 < out.size()) {
                EXPECT_GT(width((out[i] + out[i + 1].front()).c_str()), c.maxWidth) << out[i];
            }
            joined += out[i];
        }
        EXPECT_EQ(zil::String(longWord), joined);
    }

    // Measuring follows the wrapping: two lines, as wide as the wider.
    CTestPainter wrapping({style(L"word-wrap: normal")}, makeCache().get());
    const int lineHeight = painter.getLineExtent(dc, L"one", &font).y;
    EXPECT_EQ(wxSize(width(L"one two"), 2 * lineHeight),
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
        painter.paintText(dc, wxRect(0, 0, 200, 120), L"");

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
    int firstHeight = 0;
    const wxImage image = paintImage([&](wxMemoryDC& dc) {
        const wxFont font = *wxITALIC_FONT;
        dc.SetFont(font);
        firstHeight = painter.getTextSize(dc, L"WWW", -1).y;
        painter.paintText(dc, wxRect(0, 0, 200, 120), L"WWW\nWWW");
        EXPECT_EQ(*wxBLUE, dc.GetTextForeground());
        EXPECT_EQ(font, dc.GetFont());
    });
    // Antialiased edges blend with white, so a pixel counts by its dominant channel.
    int red = 0, blue = 0, wrong = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) {
            const int r = image.GetRed(x, y), b = image.GetBlue(x, y);
            const bool isRed = r - b > 60, isBlue = b - r > 60;
            red += isRed && y < firstHeight;
            blue += isBlue && y >= firstHeight;
            wrong += (isRed && y >= firstHeight) || (isBlue && y < firstHeight);
        }
    EXPECT_GT(red, 20);
    EXPECT_GT(blue, 20);
    EXPECT_EQ(0, wrong);
}

TEST(StyledTextPainter, Alignment)
{
    CTestPainter topLeft({}, makeCache().get());
    wxSize size;
    paintImage([&](wxMemoryDC& dc) { size = topLeft.getTextSize(dc, L"Wq\nWq", -1); });
    const wxPoint origin(7, 20);
    // Offsets of the ink against the same text drawn top left at `origin`.
    struct Case { const wchar_t* firstCss; const wchar_t* secondCss; wxSize rect; wxPoint offset; };
    const Case cases[] = {
        {L"text-align: center", L"text-align: center", wxSize(size.x + 1 + size.x, size.y), wxPoint((size.x + 1) / 2, 0)},
        {L"text-align: right", L"text-align: right", wxSize(size.x + 5, size.y), wxPoint(5, 0)},
        {L"vertical-align: bottom", L"", wxSize(size.x, size.y + 9), wxPoint(0, 9)},
        {L"", L"vertical-align: bottom", wxSize(size.x, size.y + 9), wxPoint(0, 0)},
        {L"vertical-align: middle", L"", wxSize(size.x, size.y + 9), wxPoint(0, 4)},
        // Taller than the rectangle: -1.5 truncates towards zero.
        {L"vertical-align: middle", L"", wxSize(size.x, size.y - 3), wxPoint(0, -1)},
    };
    const wxPoint reference = firstInk(paintImage([&](wxMemoryDC& dc) {
        topLeft.paintText(dc, wxRect(origin, size), L"Wq\nWq");
    }));
    ASSERT_NE(wxPoint(-1, -1), reference);
    for (const Case& c : cases) {
        SCOPED_TRACE(wxString(c.firstCss).utf8_string() + " / " + wxString(c.secondCss).utf8_string());
        CTestPainter painter({style(c.firstCss), style(c.secondCss)}, makeCache().get());
        const wxPoint ink = firstInk(paintImage([&](wxMemoryDC& dc) {
            painter.paintText(dc, wxRect(origin, c.rect), L"Wq\nWq");
        }));
        EXPECT_EQ(c.offset, ink - reference);
    }
}

TEST(StyledTextPainter, RefusesNullFontCache)
{
    EXPECT_THROW(CLineBasedStyledTextPainter({}, nullptr), zil::CInvalidArgError);
}
