// SPDX-License-Identifier: MIT
#include <zilui/graphics/styledtextpainter.h>

#include <zil/error.h>

#include <wx/control.h>
#include <wx/dcmemory.h>
#include <wx/dynarray.h>
#include <wx/fontutil.h>
#include <wx/graphics.h>

#ifdef __WXGTK3__
#include <pango/pangocairo.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <unordered_map>
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

using ExtentTable = std::unordered_map<std::wstring, wxSize>;

// Pixel extents of the words and lines measured so far, per font and kind of DC: prose repeats
// its words, and a label its lines on every repaint, so a text is measured once and looked up
// after that. GUI thread only.
class CTextExtents {
public:
    // The table of `dc` with `font`.
    ExtentTable& forFont(wxDC& dc, const wxFont& font)
    {
        // A window's DC may use other font options (hinting) than a bitmap's; the content
        // scale and the DC's own user and logical scales change how text is hinted and laid
        // out, and the units its extents come in.
        Scales scales{dc.GetContentScaleFactor(), 0, 0, 0, 0};
        dc.GetUserScale(&scales[1], &scales[2]);
        dc.GetLogicalScale(&scales[3], &scales[4]);
        const bool memory = dynamic_cast<wxMemoryDC*>(&dc) != nullptr;
        if (!m_last || !font.IsSameAs(m_lastFont) || scales != m_lastScales || memory != m_lastMemory) {
            wxString key = font.GetNativeFontInfoDesc();
            for (const double scale : scales)
                key << '|' << wxString::FromCDouble(scale, 17);
            key << '|' << (memory ? 'm' : 'w');
            CTable& table = m_fonts[key.ToStdWstring()];
            m_last = &table.extents;
            m_lastBatch = &table.batch;
            m_lastFont = font;
            m_lastScales = scales;
            m_lastMemory = memory;
        }
        if (m_last->size() > kMaxWords)
            m_last->clear();
        return *m_last;
    }
    // Whether the table returned last may be filled by one batch layout: unknown until it has
    // been compared with the DC's own measurement once.
    enum class Batch { Unknown, Trusted, Refused };
    Batch& batchState() { return *m_lastBatch; }

    void clear()
    {
        m_fonts.clear();
        m_last = nullptr;
        m_lastBatch = nullptr;
    }

private:
    // Beyond this a table starts afresh, which bounds the memory a stream of ever new words takes.
    static constexpr size_t kMaxWords = 1 << 18;
    using Scales = std::array<double, 5>;
    struct CTable {
        ExtentTable extents;
        Batch batch = Batch::Unknown;
    };
    std::unordered_map<std::wstring, CTable> m_fonts;
    // The table asked for last, for the next paragraph in the same font.
    ExtentTable* m_last = nullptr;
    Batch* m_lastBatch = nullptr;
    wxFont m_lastFont;
    Scales m_lastScales{};
    bool m_lastMemory = false;
};

CTextExtents& textExtents()
{
    static CTextExtents widths;
    return widths;
}

// Measures `texts` (none empty, none holding a line break) as the DC's GetTextExtent would with
// `font`. On GTK 3 a DC measures with a fresh Pango layout per call, and most of a layout's
// cost on a word is not the shaping but what a layout adds around it (line-break analysis,
// line building): here each text is itemized and shaped on its own, on one context made from
// the DC's Cairo context, and its extent summed as a layout of one line sums it.
enum class Shaped { Measured, Failed, Unsupported };
Shaped measureShaped(wxDC& dc, const wxFont& font, const std::vector<const std::wstring*>& texts,
                             std::vector<wxSize>& out)
{
#ifdef __WXGTK3__
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    if (!gc || gc->GetRenderer() != wxGraphicsRenderer::GetCairoRenderer() || !font.IsOk() ||
        !font.GetNativeFontInfo())
        return Shaped::Unsupported;
    auto* cr = static_cast<cairo_t*>(gc->GetNativeContext());
    if (!cr)
        return Shaped::Unsupported;
    PangoContext* context = pango_cairo_create_context(cr);
    pango_context_set_font_description(context, font.GetNativeFontInfo()->description);
    const PangoShapeFlags flags =
        pango_context_get_round_glyph_positions(context) ? PANGO_SHAPE_ROUND_POSITIONS : PANGO_SHAPE_NONE;
    PangoAttrList* attrs = pango_attr_list_new();
    PangoGlyphString* glyphs = pango_glyph_string_new();
    bool measured = true;
    out.clear();
    for (const std::wstring* text : texts) {
        // The buffer lives in the string's conversion cache: the string must outlive it.
        const wxString wide(*text);
        const wxScopedCharBuffer utf8 = wide.utf8_str();
        const int length = static_cast<int>(utf8.length());
        // A layout takes its direction from the text's first strong character, with this call
        // (deprecated for new code, kept for that).
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        PangoDirection direction = pango_find_base_dir(utf8.data(), length);
        G_GNUC_END_IGNORE_DEPRECATIONS
        if (direction == PANGO_DIRECTION_NEUTRAL)
            direction = pango_context_get_base_dir(context);
        GList* items = pango_itemize_with_base_dir(context, direction, utf8.data(), 0, length, attrs, nullptr);
        int width = 0;
        int top = 0;
        int bottom = 0;
        for (GList* item = items; item; item = item->next) {
            auto* pangoItem = static_cast<PangoItem*>(item->data);
            pango_shape_item(pangoItem, utf8.data(), length, nullptr, glyphs, flags);
            PangoRectangle logical;
            pango_glyph_string_extents(glyphs, pangoItem->analysis.font, nullptr, &logical);
            top = item == items ? logical.y : std::min(top, logical.y);
            bottom = item == items ? logical.y + logical.height : std::max(bottom, logical.y + logical.height);
            width += logical.width;
        }
        if (!items)
            measured = false;
        g_list_free_full(items, [](gpointer item) { pango_item_free(static_cast<PangoItem*>(item)); });
        if (!measured)
            break;
        // Rounded outwards as a layout rounds its logical extent to pixels.
        PangoRectangle extent{0, 0, width, bottom - top};
        pango_extents_to_pixels(&extent, nullptr);
        out.emplace_back(extent.width, extent.height);
    }
    pango_glyph_string_free(glyphs);
    pango_attr_list_unref(attrs);
    g_object_unref(context);
    return measured ? Shaped::Measured : Shaped::Failed;
#else
    wxUnusedVar(dc);
    wxUnusedVar(font);
    wxUnusedVar(texts);
    wxUnusedVar(out);
    return Shaped::Unsupported;
#endif
}

// Characters that end a line in a layout of their own accord (or the text, for NUL); a text
// holding one is measured alone.
bool breaksLayoutLine(const std::wstring& text)
{
    static const std::wstring kBreaks(L"\0\n\r\v\f\x85\x2028\x2029", 8);
    return text.find_first_of(kBreaks) != std::wstring::npos;
}

// Fills the table of `dc` and `font` with the extents of those `texts` it lacks, together
// where the DC allows; what is left is measured one by one as it is needed.
void measureMissing(wxDC& dc, const wxFont& font, const std::vector<zil::String>& texts)
{
    CTextExtents& cache = textExtents();
    ExtentTable& extents = cache.forFont(dc, font);
    CTextExtents::Batch& batch = cache.batchState();
    if (batch == CTextExtents::Batch::Refused)
        return;
    std::vector<const std::wstring*> missing;
    for (const zil::String& text : texts)
        if (!text.empty() && !breaksLayoutLine(text) && extents.find(text) == extents.end() &&
            std::find_if(missing.begin(), missing.end(), [&](const std::wstring* m) { return *m == text; }) ==
                missing.end())
            missing.push_back(&text);
    if (missing.size() < 2)
        return;
    std::vector<wxSize> sizes;
    switch (measureShaped(dc, font, missing, sizes)) {
    case Shaped::Measured:
        break;
    case Shaped::Unsupported:
        batch = CTextExtents::Batch::Refused;
        return;
    case Shaped::Failed:
        return;
    }
    if (batch == CTextExtents::Batch::Unknown) {
        // Hinting or a transformation the DC applies differently shows on a few texts already.
        for (size_t i = 0; i < std::min<size_t>(missing.size(), 4); ++i) {
            wxCoord width = 0;
            wxCoord height = 0;
            dc.GetTextExtent(wxString(*missing[i]), &width, &height, nullptr, nullptr, &font);
            if (wxSize(width, height) != sizes[i]) {
                batch = CTextExtents::Batch::Refused;
                return;
            }
        }
        batch = CTextExtents::Batch::Trusted;
    }
    for (size_t i = 0; i < missing.size(); ++i)
        extents.emplace(*missing[i], sizes[i]);
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
    static const zil::String kDelimiters(L"\t -");
    if (!getNextPartOfString(text, kDelimiters, pos, word))
        return false;
    if (pos < text.size()) {
        if (text[pos] == L'-')
            word += L'-';
        ++pos;
    }
    return true;
}

wxSize CLineBasedStyledTextPainter::getLineExtent(wxDC& dc, const zil::String& line, wxFont* font) const
{
    const wxFont* useFont = font && font->IsOk() ? font : nullptr;
    ExtentTable& extents = textExtents().forFont(dc, useFont ? *useFont : dc.GetFont());
    auto known = extents.find(line);
    if (known != extents.end())
        return known->second;
    wxCoord width = 0;
    wxCoord height = 0;
    dc.GetTextExtent(wxString(line), &width, &height, nullptr, nullptr, useFont);
    if (height == 0) {
        width = 0;
        dc.GetTextExtent(wxS("W"), nullptr, &height, nullptr, nullptr, useFont);
    }
    return extents.emplace(line, wxSize(width, height)).first->second;
}

void CLineBasedStyledTextPainter::wrapText(wxDC& dc, const zil::String& line, int maxWidth, wxFont* font,
                                           zil::TArray<zil::String>& out) const
{
    out.clear();
    if (maxWidth < 1) {
        out.push_back(line);
        return;
    }
    wxDCFontChanger fontChanger(dc);
    if (font && font->IsOk())
        fontChanger.Set(*font);
    {
        std::vector<zil::String> words;
        zil::String word;
        size_t pos = 0;
        while (getNextWord(line, pos, word))
            words.push_back(word);
        measureMissing(dc, dc.GetFont(), words);
    }
    ExtentTable& widths = textExtents().forFont(dc, dc.GetFont());
    auto space = widths.find(L" ");
    if (space == widths.end())
        space = widths.emplace(L" ", dc.GetTextExtent(wxS(" "))).first;
    const wxCoord spaceWidth = space->second.x;

    zil::String current;
    wxCoord w = 0;
    zil::String word;
    wxArrayInt prefixWidths;
    size_t pos = 0;
    while (getNextWord(line, pos, word)) {
        if (word.isEmpty())
            continue;
        auto known = widths.find(word);
        if (known == widths.end())
            known = widths.emplace(word, dc.GetTextExtent(wxString(word))).first;
        const wxCoord ww = known->second.x;
        if (!current.isEmpty()) {
            if (w + ww <= maxWidth) {
                current += word;
                w += ww;
            } else {
                emitTrimmed(current, out);
                current.clear();
                w = 0;
            }
        }
        if (current.isEmpty()) {
            if (ww <= maxWidth) {
                current = word;
                w = ww;
            } else {
                // Piece widths come from the prefix extents as differences; kerning across
                // the cut can make a piece measured alone a pixel wider, so each emitted piece
                // is measured once more and gives back characters until it fits.
                const wxString wxWord(word);
                if (!dc.GetPartialTextExtents(wxWord, prefixWidths) || prefixWidths.size() != word.size()) {
                    // A DC without prefix extents: sum the characters' widths, so no character is lost.
                    prefixWidths.clear();
                    wxCoord sum = 0;
                    for (const wchar_t c : word)
                        prefixWidths.push_back(sum += dc.GetTextExtent(wxString(c)).x);
                }
                const size_t count = word.size();
                size_t start = 0;
                while (start < count) {
                    const wxCoord before = start > 0 ? prefixWidths[start - 1] : 0;
                    size_t end = start + 1;
                    while (end < count && prefixWidths[end] - before <= maxWidth)
                        ++end;
                    zil::String piece = word.substr(start, end - start);
                    wxCoord pieceWidth = dc.GetTextExtent(wxString(piece)).x;
                    while (pieceWidth > maxWidth && piece.size() > 1) {
                        piece.pop_back();
                        --end;
                        pieceWidth = dc.GetTextExtent(wxString(piece)).x;
                    }
                    if (end < count) {
                        emitTrimmed(piece, out);
                    } else {
                        current = piece;
                        w = pieceWidth;
                    }
                    start = end;
                }
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
    out.clear();
    if (maxWidth < 0) {
        out.push_back(line);
        return;
    }
    if (maxWidth == 0) {
        out.push_back(L"...");
        return;
    }
    wxDCFontChanger fontChanger(dc);
    if (font && font->IsOk())
        fontChanger.Set(*font);
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
    while (getNextLineAndStyle(text, pos, lineIndex, source, style)) {
        if (lineIndex == 1)
            vertAlign = style->getVertAlign();
        wxFont font = m_fontCache->getFontWithStyle(*style);
        if (style->getEllipsis()) {
            ellipsisText(dc, source, ellipsisWidth, &font, pieces);
        } else if (style->getWrapText()) {
            wrapText(dc, source, maxWidth, &font, pieces);
        } else {
            pieces.clear();
            pieces.push_back(source);
        }
        if (font.IsOk())
            measureMissing(dc, font, pieces);
        for (zil::String& piece : pieces) {
            const wxSize extent = getLineExtent(dc, piece, &font);
            lines.push_back(CLaidOutLine{style, font, std::move(piece), extent});
        }
    }
    return vertAlign;
}

void CLineBasedStyledTextPainter::paintText(wxDC& dc, const wxRect& rect, const zil::String& text)
{
    const CDCStateScope state(dc);
    zil::TArray<CLaidOutLine> lines;
    const double vertAlign = layOut(dc, text, rect.width + 1, rect.width + 1, lines);
    int totalHeight = 0;
    for (const CLaidOutLine& line : lines)
        totalHeight += line.extent.y;

    int y = rect.y + truncToInt((rect.height - totalHeight) * vertAlign);
    for (const CLaidOutLine& line : lines) {
        const int x = rect.x + truncToInt((rect.width - line.extent.x) * line.style->getHorzAlign());
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
    textExtents().clear();
}

} // namespace zilui
