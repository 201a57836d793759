// SPDX-License-Identifier: MIT
// The pieces behind the styled text painter that can be checked on their own: the word
// splitter, the extent table and the batch shaper's refusals.
#include "../../graphics/extenttable.h"
#include "../../graphics/textshaper.h"
#include "../../graphics/wordsplitter.h"

#include <zilui/graphics/styledtextpainter.h>

#include <gtest/gtest.h>

#include <wx/dcmemory.h>
#include <wx/settings.h>

#include <string>
#include <vector>

using namespace zilui;

namespace {

class CWordPainter : public CLineBasedStyledTextPainter {
public:
    CWordPainter() : CLineBasedStyledTextPainter({}, CTextStyleFontCache::getDefaultGUIFontCache().get()) {}
    using CLineBasedStyledTextPainter::getNextWord;
};

std::vector<std::wstring> allWords(std::wstring_view text)
{
    std::vector<std::wstring> words;
    std::wstring_view word;
    for (size_t pos = 0; nextWord(text, pos, word);)
        words.emplace_back(word);
    return words;
}

} // namespace

TEST(TextPieces, SplitsWords)
{
    const struct {
        const wchar_t* text;
        std::vector<std::wstring> words;
    } cases[] = {
        {L"", {}},
        {L"one", {L"one"}},
        {L"one two\tthree", {L"one", L"two", L"three"}},
        // A run of delimiters leaves empty words, which the wrapping skips.
        {L"a  b", {L"a", L"", L"b"}},
        {L" lead", {L"", L"lead"}},
        // A delimiter at the very end ends the text: no empty word after it.
        {L"trail ", {L"trail"}},
        {L"well-known", {L"well-", L"known"}},
        {L"a--b", {L"a-", L"-", L"b"}},
        {L"end-", {L"end-"}},
        {L"-", {L"-"}},
        // The hyphen stays with its word, so the space after it stands alone.
        {L"- x", {L"-", L"", L"x"}},
        // Line breaks and other spaces are no word delimiters.
        {L"x\ny\u00a0z", {L"x\ny\u00a0z"}},
    };
    CWordPainter painter;
    for (const auto& c : cases) {
        EXPECT_EQ(c.words, allWords(c.text)) << '"' << c.text << '"';
        std::vector<std::wstring> copied;
        zil::String word;
        for (size_t pos = 0; painter.getNextWord(c.text, pos, word);)
            copied.push_back(word);
        EXPECT_EQ(c.words, copied) << '"' << c.text << '"';
    }
}

TEST(TextPieces, WordSplitterStopsAtOrPastTheEnd)
{
    for (const size_t start : {size_t(3), size_t(4), std::wstring_view::npos}) {
        size_t pos = start;
        std::wstring_view word = L"untouched";
        EXPECT_FALSE(nextWord(L"abc", pos, word)) << start;
        EXPECT_EQ(start, pos);
        EXPECT_EQ(L"untouched", word);
    }
}

TEST(TextPieces, ExtentTableKeepsTheFirstExtentOfEachText)
{
    const struct {
        const char* name;
        std::vector<std::wstring> texts; // emplaced in this order, text i with extent (i, i + 1)
        size_t distinct;
    } cases[] = {
        {"empty text", {L""}, 1},
        {"prefixes of each other", {L"a", L"ab", L"abc", L"ab"}, 3},
        {"repeat keeps the first", {L"word", L"other", L"word", L"word"}, 2},
        {"same letters, other order", {L"ab", L"ba"}, 2},
    };
    for (const auto& c : cases) {
        CExtentTable table;
        EXPECT_EQ(wxDefaultSize, table.find(L"a")) << c.name;
        for (size_t i = 0; i < c.texts.size(); ++i)
            table.emplace(c.texts[i], wxSize(int(i), int(i) + 1));
        EXPECT_EQ(c.distinct, table.size()) << c.name;
        for (const std::wstring& text : c.texts) {
            const size_t first = size_t(std::find(c.texts.begin(), c.texts.end(), text) - c.texts.begin());
            EXPECT_EQ(wxSize(int(first), int(first) + 1), table.find(text)) << c.name << ": " << text;
        }
        EXPECT_EQ(wxDefaultSize, table.find(L"missing")) << c.name;
    }
}

// Growing moves every slot: a text must be found, with its own extent, however often the table
// grew after it went in, and again after a clear.
TEST(TextPieces, ExtentTableFindsEveryTextAcrossGrowthAndClear)
{
    CExtentTable table;
    for (int round = 0; round < 2; ++round) {
        constexpr int kTexts = 5000;
        for (int i = 0; i < kTexts; ++i)
            EXPECT_EQ(wxSize(i, round), table.emplace(std::to_wstring(i), wxSize(i, round)));
        EXPECT_EQ(size_t(kTexts), table.size());
        int wrong = 0;
        for (int i = 0; i < kTexts; ++i)
            wrong += table.find(std::to_wstring(i)) != wxSize(i, round);
        EXPECT_EQ(0, wrong) << "round " << round;
        EXPECT_EQ(wxDefaultSize, table.find(std::to_wstring(kTexts)));
        table.clear();
        EXPECT_EQ(0u, table.size());
        EXPECT_EQ(wxDefaultSize, table.find(L"0"));
    }
}

// What the batch cannot measure it must say so, so that the DC measures it instead.
TEST(TextPieces, ShaperRefusesWhatItCannotMeasure)
{
    wxBitmap bitmap(10, 10, 24);
    wxMemoryDC dc(bitmap);
    const wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    const std::wstring unpaired(1, wchar_t(0xD800));
    const struct {
        const char* name;
        wxFont font;
        std::vector<std::wstring_view> texts;
        Shaped expected;
        size_t measured;
    } cases[] = {
        {"no font", wxFont(), {L"word"}, Shaped::Unsupported, 0},
        {"no text", font, {}, Shaped::Measured, 0},
        {"ascii and beyond", font, {L"word", L"\u4e2d\u6587", L"e\u0301", L"42"}, Shaped::Measured, 4},
        {"a text that does not convert", font, {L"word", unpaired}, Shaped::Failed, 1},
    };
    for (const auto& c : cases) {
        std::vector<wxSize> out{wxSize(7, 7), wxSize(7, 7), wxSize(7, 7), wxSize(7, 7), wxSize(7, 7)};
        EXPECT_EQ(c.expected, measureShaped(dc, c.font, c.texts, out)) << c.name;
        if (c.expected == Shaped::Unsupported)
            continue;
        ASSERT_EQ(c.measured, out.size()) << c.name;
        for (size_t i = 0; i < out.size(); ++i) {
            wxCoord w = 0, h = 0;
            dc.GetTextExtent(wxString(c.texts[i].data(), c.texts[i].size()), &w, &h, nullptr, nullptr,
                             &c.font);
            EXPECT_EQ(wxSize(w, h), out[i]) << c.name << ": " << i;
        }
    }
}
