// SPDX-License-Identifier: MIT
#include <zilui/graphics/styledtextpainter.h>

#include "textextents.h"
#include "wordsplitter.h"

#include <zil/error.h>

#include <wx/control.h>
#include <wx/dynarray.h>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

namespace zilui {

// One line as it is drawn; lives only within one layout. The style is one of the painter's.
struct CLineBasedStyledTextPainter::CLaidOutLine {
    CTextStyle* style;
    wxFont font;
    zil::String text;
    wxSize extent;
};

namespace {

// The DC's font and text colour come back however the painting ends.
class CDCStateScope {
public:
    explicit CDCStateScope(wxDC& dc) : m_dc(dc), m_font(dc.GetFont()), m_color(dc.GetTextForeground()) {}
    ~CDCStateScope()
    {
        m_dc.SetFont(m_font);
        m_dc.SetTextForeground(m_color);
    }
    CDCStateScope(const CDCStateScope&) = delete;
    CDCStateScope& operator=(const CDCStateScope&) = delete;

    const wxColour& getColor() const { return m_color; }

private:
    wxDC& m_dc;
    wxFont m_font;
    wxColour m_color;
};

void emitTrimmed(const zil::String& line, zil::TArray<zil::String>& out)
{
    zil::String trimmed = line.TrimRight();
    if (!trimmed.isEmpty())
        out.push_back(std::move(trimmed));
}

int truncToInt(double value)
{
    return static_cast<int>(std::trunc(value));
}

// Starts `out` afresh; where `maxWidth` is below `least` there is nothing to fit, and `line`
// stands in `out` as it is.
bool keepsWhole(const zil::String& line, int maxWidth, int least, zil::TArray<zil::String>& out)
{
    out.clear();
    if (maxWidth >= least)
        return false;
    out.push_back(line);
    return true;
}

// The DC's font is `font`, where it is one, until the scope ends.
class CFontScope {
public:
    CFontScope(wxDC& dc, const wxFont* font) : m_changer(dc)
    {
        if (font && font->IsOk())
            m_changer.Set(*font);
    }

private:
    wxDCFontChanger m_changer;
};

// The words of `line` as views of it; the empty ones between two delimiters are left out.
std::vector<std::wstring_view> splitWords(std::wstring_view line)
{
    std::vector<std::wstring_view> words;
    std::wstring_view word;
    size_t pos = 0;
    while (nextWord(line, pos, word))
        if (!word.empty())
            words.push_back(word);
    return words;
}

// Splits `word`, wider than `maxWidth`, by characters: every piece but the last goes to `out`,
// the last is returned with its width in `width`. Piece widths come from the prefix extents as
// differences; kerning across the cut can make a piece measured alone a pixel wider, so each
// piece is measured once more and gives back characters until it fits.
zil::String breakLongWord(wxDC& dc, std::wstring_view word, int maxWidth, wxCoord& width,
                          zil::TArray<zil::String>& out)
{
    const wxString wxWord(word.data(), word.size());
    wxArrayInt prefixWidths;
    if (!dc.GetPartialTextExtents(wxWord, prefixWidths) || prefixWidths.size() != word.size()) {
        // A DC without prefix extents: sum the characters' widths, so no character is lost.
        prefixWidths.clear();
        wxCoord sum = 0;
        for (const wchar_t c : word)
            prefixWidths.push_back(sum += dc.GetTextExtent(wxString(c)).x);
    }
    const size_t count = word.size();
    for (size_t start = 0;;) {
        const wxCoord before = start > 0 ? prefixWidths[start - 1] : 0;
        size_t end = start + 1;
        while (end < count && prefixWidths[end] - before <= maxWidth)
            ++end;
        zil::String piece(word.substr(start, end - start));
        width = dc.GetTextExtent(wxString(piece)).x;
        while (width > maxWidth && piece.size() > 1) {
            piece.pop_back();
            --end;
            width = dc.GetTextExtent(wxString(piece)).x;
        }
        if (end >= count)
            return piece;
        emitTrimmed(piece, out);
        start = end;
    }
}

} // namespace

CLineBasedStyledTextPainter::CLineBasedStyledTextPainter(const zil::TArray<zil::P<CTextStyle>>& lineStyles,
                                                         CTextStyleFontCache* fontCache)
    : m_lineStyles(lineStyles), m_fontCache(fontCache)
{
    if (!fontCache)
        throw zil::CInvalidArgError(L"A styled text painter needs a font cache",
                                    L"CLineBasedStyledTextPainter::CLineBasedStyledTextPainter");
    // A null entry would be dereferenced on every layout; it stands for the default style.
    for (zil::P<CTextStyle>& style : m_lineStyles)
        if (!style)
            style = new CTextStyle();
    if (m_lineStyles.empty())
        m_lineStyles.push_back(zil::P<CTextStyle>(new CTextStyle()));
}

bool CLineBasedStyledTextPainter::getNextPartOfString(const zil::String& text, const zil::String& delimiters,
                                                      size_t& pos, zil::String& part)
{
    if (pos >= text.size())
        return false;
    size_t end = text.find_first_of(delimiters, pos);
    if (end == zil::String::npos)
        end = text.size();
    part.assign(text, pos, end - pos);
    pos = end;
    return true;
}

bool CLineBasedStyledTextPainter::getNextLineAndStyle(const zil::String& text, size_t& pos, size_t& lineIndex,
                                                      zil::String& line, CTextStyle*& style) const
{
    static const zil::String kBreaks(L"\r\n");
    if (!getNextPartOfString(text, kBreaks, pos, line))
        return false;
    style = m_lineStyles[std::min(lineIndex, m_lineStyles.size() - 1)].get();
    ++lineIndex;
    if (pos < text.size())
        pos += (text[pos] == L'\r' && pos + 1 < text.size() && text[pos + 1] == L'\n') ? 2 : 1;
    return true;
}

bool CLineBasedStyledTextPainter::getNextWord(const zil::String& text, size_t& pos, zil::String& word) const
{
    std::wstring_view view;
    if (!nextWord(text, pos, view))
        return false;
    word.assign(view.data(), view.size());
    return true;
}

wxSize CLineBasedStyledTextPainter::getLineExtent(wxDC& dc, const zil::String& line, wxFont* font) const
{
    const wxFont* useFont = font && font->IsOk() ? font : nullptr;
    CExtentTable& extents = knownTextExtents(dc, useFont ? *useFont : dc.GetFont());
    const wxSize known = extents.find(line);
    if (known != wxDefaultSize)
        return known;
    wxCoord width = 0;
    wxCoord height = 0;
    dc.GetTextExtent(wxString(line), &width, &height, nullptr, nullptr, useFont);
    if (height == 0) {
        width = 0;
        dc.GetTextExtent(wxS("W"), nullptr, &height, nullptr, nullptr, useFont);
    }
    return extents.emplace(line, wxSize(width, height));
}

void CLineBasedStyledTextPainter::wrapText(wxDC& dc, const zil::String& line, int maxWidth, wxFont* font,
                                           zil::TArray<zil::String>& out) const
{
    if (keepsWhole(line, maxWidth, 1, out))
        return;
    const CFontScope fontScope(dc, font);
    // Words are measured in one go before the breaking.
    const std::vector<std::wstring_view> words = splitWords(line);
    std::vector<wxSize> extents;
    CExtentTable& widths = lookUpTextExtents(dc, dc.GetFont(), words, extents);
    wxSize space = widths.find(L" ");
    if (space == wxDefaultSize)
        space = widths.emplace(L" ", dc.GetTextExtent(wxS(" ")));
    const wxCoord spaceWidth = space.x;

    zil::String current;
    wxCoord w = 0;
    for (size_t index = 0; index < words.size(); ++index) {
        const std::wstring_view word = words[index];
        wxSize known = extents[index];
        if (known == wxDefaultSize)
            known = widths.emplace(word, dc.GetTextExtent(wxString(word.data(), word.size())));
        const wxCoord ww = known.x;
        if (!current.isEmpty()) {
            if (w + ww <= maxWidth) {
                current.append(word.data(), word.size());
                w += ww;
            } else {
                emitTrimmed(current, out);
                current.clear();
                w = 0;
            }
        }
        if (current.isEmpty()) {
            if (ww <= maxWidth) {
                current.assign(word.data(), word.size());
                w = ww;
            } else {
                current = breakLongWord(dc, word, maxWidth, w, out);
            }
        }
        if (w >= 1) {
            if (!current.isEmpty() && current.back() == L'-' && w <= maxWidth)
                continue;
            w += spaceWidth;
            if (w >= maxWidth) {
                emitTrimmed(current, out);
                current.clear();
                w = 0;
            } else {
                current += L' ';
            }
        }
    }
    emitTrimmed(current, out);
}

void CLineBasedStyledTextPainter::ellipsisText(wxDC& dc, const zil::String& line, int maxWidth, wxFont* font,
                                               zil::TArray<zil::String>& out) const
{
    if (keepsWhole(line, maxWidth, 0, out))
        return;
    if (maxWidth == 0) {
        out.push_back(L"...");
        return;
    }
    const CFontScope fontScope(dc, font);
    const wxString shortened =
        wxControl::Ellipsize(wxString(line), dc, wxELLIPSIZE_END, maxWidth, wxELLIPSIZE_FLAGS_DEFAULT);
    if (!shortened.empty())
        out.push_back(zil::String(shortened.ToStdWstring()));
}

double CLineBasedStyledTextPainter::layOut(wxDC& dc, const zil::String& text, int maxWidth, int ellipsisWidth,
                                           zil::TArray<CLaidOutLine>& lines) const
{
    double vertAlign = 0.0;
    size_t pos = 0;
    size_t lineIndex = 0;
    zil::String source;
    CTextStyle* style = nullptr;
    zil::TArray<zil::String> pieces;
    // Lines of one style share its font; finding it by the style's key costs more than a line.
    const CTextStyle* fontStyle = nullptr;
    wxFont font;
    while (getNextLineAndStyle(text, pos, lineIndex, source, style)) {
        if (lineIndex == 1)
            vertAlign = style->getVertAlign();
        if (style != fontStyle) {
            font = m_fontCache->getFontWithStyle(*style);
            fontStyle = style;
        }
        if (style->getEllipsis()) {
            ellipsisText(dc, source, ellipsisWidth, &font, pieces);
        } else if (style->getWrapText()) {
            wrapText(dc, source, maxWidth, &font, pieces);
        } else {
            pieces.clear();
            pieces.push_back(source);
        }
        std::vector<wxSize> known(pieces.size(), wxDefaultSize);
        if (font.IsOk())
            lookUpTextExtents(dc, font, std::vector<std::wstring_view>(pieces.begin(), pieces.end()), known);
        for (size_t i = 0; i < pieces.size(); ++i) {
            const wxSize extent = known[i] != wxDefaultSize ? known[i] : getLineExtent(dc, pieces[i], &font);
            lines.push_back(CLaidOutLine{style, font, std::move(pieces[i]), extent});
        }
    }
    return vertAlign;
}

void CLineBasedStyledTextPainter::paintText(wxDC& dc, const wxRect& rect, const zil::String& text,
                                            wxLayoutDirection direction)
{
    const bool mirrored = direction == wxLayout_RightToLeft && dc.GetLayoutDirection() != wxLayout_RightToLeft;
    const CDCStateScope state(dc);
    zil::TArray<CLaidOutLine> lines;
    const double vertAlign = layOut(dc, text, rect.width + 1, rect.width + 1, lines);
    int totalHeight = 0;
    for (const CLaidOutLine& line : lines)
        totalHeight += line.extent.y;

    int y = rect.y + truncToInt((rect.height - totalHeight) * vertAlign);
    for (const CLaidOutLine& line : lines) {
        const double align = line.style->getHorzAlign();
        const int x = rect.x + truncToInt((rect.width - line.extent.x) * (mirrored ? 1 - align : align));
        dc.SetFont(line.font);
        dc.SetTextForeground(line.style->getColor().IsOk() ? line.style->getColor() : state.getColor());
        dc.DrawText(wxString(line.text), x, y);
        y += line.extent.y;
    }
}

wxSize CLineBasedStyledTextPainter::getTextSize(wxDC& dc, const zil::String& text, int maxWidth)
{
    zil::TArray<CLaidOutLine> lines;
    layOut(dc, text, maxWidth, maxWidth == -1 ? 0 : maxWidth, lines);
    wxSize size(0, 0);
    for (const CLaidOutLine& line : lines) {
        size.x = std::max(size.x, line.extent.x);
        size.y += line.extent.y;
    }
    return size;
}

void CLineBasedStyledTextPainter::disposeMeasurementCache()
{
    forgetTextExtents();
}

} // namespace zilui
