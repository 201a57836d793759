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
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
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

// Extents by text, open addressing over one array, the texts one after another in one string:
// a lookup of a known word touches a slot and its characters, and copies nothing. Prose asks
// for tens of thousands of words per paragraph.
class ExtentTable {
public:
    // wxDefaultSize where `text` is not known. `hash`: hashOf(text).
    wxSize find(std::wstring_view text, uint32_t hash) const
    {
        if (m_slots.empty())
            return wxDefaultSize;
        const Slot& slot = m_slots[probe(text, hash)];
        return slot.hash ? wxSize(slot.width, slot.height) : wxDefaultSize;
    }
    wxSize find(std::wstring_view text) const { return find(text, hashOf(text)); }

    // For lookups in a row: a large table misses the cache on the slot and on the text, so the
    // slot of a text some lookups ahead is fetched first, then, nearer, the text it names.
    void prefetchSlot(uint32_t hash) const
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
    }
    void prefetchText(uint32_t hash) const
    {
        if (!m_slots.empty()) {
            const Slot& slot = m_slots[hash & (m_slots.size() - 1)];
            if (slot.hash)
                __builtin_prefetch(m_texts.data() + slot.offset);
        }
    }

    static uint32_t hashOf(std::wstring_view text)
    {
        const size_t hash = std::hash<std::wstring_view>()(text);
        return uint32_t(hash ^ (hash >> 32)) | 1;
    }
    // The extent known for `text`, or `extent` from now on.
    wxSize emplace(std::wstring_view text, const wxSize& extent)
    {
        if (text.size() > std::numeric_limits<uint32_t>::max())
            return extent;
        // At most half full: probes stay short.
        if (2 * (m_count + 1) > m_slots.size())
            grow();
        const uint32_t hash = hashOf(text);
        Slot& slot = m_slots[probe(text, hash)];
        if (slot.hash)
            return wxSize(slot.width, slot.height);
        slot = Slot{hash, uint32_t(text.size()), extent.x, extent.y, m_texts.size()};
        m_texts.append(text);
        ++m_count;
        return extent;
    }
    size_t size() const { return m_count; }
    void clear()
    {
        m_slots.clear();
        m_texts.clear();
        m_count = 0;
    }

private:
    struct Slot {
        uint32_t hash; // 0: empty
        uint32_t length;
        int32_t width;
        int32_t height;
        size_t offset; // of the text in m_texts
    };

    // The slot holding `text`, or the empty one where it belongs.
    size_t probe(std::wstring_view text, uint32_t hash) const
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (!slot.hash || (slot.hash == hash && slot.length == text.size() &&
                               std::wstring_view(m_texts).substr(slot.offset, slot.length) == text))
                return i;
        }
    }
    void grow()
    {
        std::vector<Slot> old(std::max<size_t>(64, 2 * m_slots.size()));
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old)
            if (slot.hash) {
                size_t i = slot.hash & mask;
                while (m_slots[i].hash)
                    i = (i + 1) & mask;
                m_slots[i] = slot;
            }
    }

    std::vector<Slot> m_slots;
    std::wstring m_texts;
    size_t m_count = 0;
};

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

// Only printable ASCII, at least one letter among it.
bool isAsciiWithLetter(std::wstring_view text)
{
    bool letter = false;
    for (const wchar_t c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
        letter = letter || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    }
    return letter;
}

// Measures `texts` (none empty, none holding a line break) as the DC's GetTextExtent would with
// `font`. On GTK 3 a DC measures with a fresh Pango layout per call, and most of a layout's
// cost on a word is not the shaping but what a layout adds around it (line-break analysis,
// line building): here each text is itemized and shaped on its own, on one context made from
// the DC's Cairo context, and its extent summed as a layout of one line sums it.
enum class Shaped { Measured, Failed, Unsupported };
Shaped measureShaped(wxDC& dc, const wxFont& font, const std::vector<std::wstring_view>& texts, std::vector<wxSize>& out)
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
    std::string utf8;
    // Itemizing (direction, script, font per character) costs about half of the shaping. Where
    // the font holds every printable ASCII character in one left-to-right Latin item, any such
    // text with a letter in it is that same item over its own length: itemized once, here.
    PangoItem* asciiItem = nullptr;
    bool asciiTried = false;
    const auto itemize = [&](const std::string& text) {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        // A layout takes its direction from the text's first strong character, with this call
        // (deprecated for new code, kept for that).
        PangoDirection direction = pango_find_base_dir(text.data(), int(text.size()));
        G_GNUC_END_IGNORE_DEPRECATIONS
        if (direction == PANGO_DIRECTION_NEUTRAL)
            direction = pango_context_get_base_dir(context);
        return pango_itemize_with_base_dir(context, direction, text.data(), 0, int(text.size()), attrs, nullptr);
    };
    for (const std::wstring_view text : texts) {
        // A DC measures a text that does not convert as empty: left to it.
        if (!zil::toUTF8Strict(text, utf8)) {
            measured = false;
            break;
        }
        const int length = static_cast<int>(utf8.length());
        GList* items = nullptr;
        if (isAsciiWithLetter(text)) {
            if (!asciiTried) {
                asciiTried = true;
                static const std::string all = [] {
                    std::string text("a");
                    for (char c = ' '; c < 0x7F; ++c)
                        text += c;
                    return text;
                }();
                GList* probe = itemize(all);
                auto* item = probe && !probe->next ? static_cast<PangoItem*>(probe->data) : nullptr;
                if (item && item->length == int(all.size()) && item->analysis.level == 0 &&
                    item->analysis.script == PANGO_SCRIPT_LATIN && item->analysis.font)
                    asciiItem = pango_item_copy(item);
                g_list_free_full(probe, [](gpointer item) { pango_item_free(static_cast<PangoItem*>(item)); });
            }
            if (asciiItem) {
                PangoItem* item = pango_item_copy(asciiItem);
                item->offset = 0;
                item->length = length;
                item->num_chars = length;
                items = g_list_prepend(nullptr, item);
            }
        }
        if (!items)
            items = itemize(utf8);
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
    if (asciiItem)
        pango_item_free(asciiItem);
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
bool breaksLayoutLine(std::wstring_view text)
{
    static constexpr std::wstring_view kBreaks(L"\0\n\r\v\f\x85\x2028\x2029", 8);
    return text.find_first_of(kBreaks) != std::wstring_view::npos;
}

// The extents of `texts` with `font`, one lookup each: known ones from the table of `dc`, those
// it lacks measured together where the DC allows; wxDefaultSize where a text is left to be
// measured alone (empty, holding a line break, or the DC measures differently).
ExtentTable& lookUpExtents(wxDC& dc, const wxFont& font, const std::vector<std::wstring_view>& texts,
                           std::vector<wxSize>& out)
{
    CTextExtents& cache = textExtents();
    ExtentTable& extents = cache.forFont(dc, font);
    out.assign(texts.size(), wxDefaultSize);
    // Each text missing, with the index of its measurement; repeats are measured once.
    std::unordered_map<std::wstring_view, size_t> missing;
    std::vector<std::wstring_view> unknown;
    std::vector<uint32_t> hashes(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        hashes[i] = ExtentTable::hashOf(texts[i]);
    constexpr size_t kSlotsAhead = 16, kTextsAhead = 8;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i + kSlotsAhead < texts.size())
            extents.prefetchSlot(hashes[i + kSlotsAhead]);
        if (i + kTextsAhead < texts.size())
            extents.prefetchText(hashes[i + kTextsAhead]);
        if (texts[i].empty())
            continue;
        out[i] = extents.find(texts[i], hashes[i]);
        if (out[i] == wxDefaultSize && !breaksLayoutLine(texts[i]) && missing.emplace(texts[i], unknown.size()).second)
            unknown.push_back(texts[i]);
    }
    // One text alone is worth the batch only once the batch is known to agree with the DC.
    CTextExtents::Batch& batch = cache.batchState();
    if (unknown.empty() || batch == CTextExtents::Batch::Refused ||
        (unknown.size() < 2 && batch == CTextExtents::Batch::Unknown))
        return extents;
    std::vector<wxSize> sizes;
    switch (measureShaped(dc, font, unknown, sizes)) {
    case Shaped::Measured:
        break;
    case Shaped::Unsupported:
        batch = CTextExtents::Batch::Refused;
        return extents;
    case Shaped::Failed:
        return extents;
    }
    if (batch == CTextExtents::Batch::Unknown) {
        // Hinting or a transformation the DC applies differently shows on a few texts already.
        for (size_t i = 0; i < std::min<size_t>(unknown.size(), 4); ++i) {
            wxCoord width = 0;
            wxCoord height = 0;
            dc.GetTextExtent(wxString(unknown[i].data(), unknown[i].size()), &width, &height, nullptr, nullptr, &font);
            if (wxSize(width, height) != sizes[i]) {
                batch = CTextExtents::Batch::Refused;
                return extents;
            }
        }
        batch = CTextExtents::Batch::Trusted;
    }
    for (size_t i = 0; i < texts.size(); ++i)
        if (out[i] == wxDefaultSize && !texts[i].empty()) {
            const auto found = missing.find(texts[i]);
            if (found != missing.end())
                out[i] = extents.emplace(texts[i], sizes[found->second]);
        }
    return extents;
}

// The next word of `text` from `pos`: up to a tab, space or hyphen, with the hyphen; the
// delimiter is passed over.
bool nextWord(std::wstring_view text, size_t& pos, std::wstring_view& word)
{
    if (pos >= text.size())
        return false;
    size_t end = pos;
    while (end < text.size() && text[end] != L' ' && text[end] != L'\t' && text[end] != L'-')
        ++end;
    const size_t start = pos;
    pos = end;
    if (pos < text.size()) {
        if (text[pos] == L'-')
            ++end;
        ++pos;
    }
    word = text.substr(start, end - start);
    return true;
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
    ExtentTable& extents = textExtents().forFont(dc, useFont ? *useFont : dc.GetFont());
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
    out.clear();
    if (maxWidth < 1) {
        out.push_back(line);
        return;
    }
    wxDCFontChanger fontChanger(dc);
    if (font && font->IsOk())
        fontChanger.Set(*font);
    // Words are views of `line`, measured in one go before the breaking.
    std::vector<std::wstring_view> words;
    {
        std::wstring_view word;
        size_t pos = 0;
        while (nextWord(line, pos, word))
            if (!word.empty())
                words.push_back(word);
    }
    std::vector<wxSize> extents;
    ExtentTable& widths = lookUpExtents(dc, dc.GetFont(), words, extents);
    wxSize space = widths.find(L" ");
    if (space == wxDefaultSize)
        space = widths.emplace(L" ", dc.GetTextExtent(wxS(" ")));
    const wxCoord spaceWidth = space.x;

    zil::String current;
    wxCoord w = 0;
    wxArrayInt prefixWidths;
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
                // Piece widths come from the prefix extents as differences; kerning across
                // the cut can make a piece measured alone a pixel wider, so each emitted piece
                // is measured once more and gives back characters until it fits.
                const wxString wxWord(word.data(), word.size());
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
                    zil::String piece(word.substr(start, end - start));
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
            lookUpExtents(dc, font, std::vector<std::wstring_view>(pieces.begin(), pieces.end()), known);
        for (size_t i = 0; i < pieces.size(); ++i) {
            const wxSize extent = known[i] != wxDefaultSize ? known[i] : getLineExtent(dc, pieces[i], &font);
            lines.push_back(CLaidOutLine{style, font, std::move(pieces[i]), extent});
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
