// SPDX-License-Identifier: MIT
// On GTK 3 a DC measures with a fresh Pango layout per call, and most of a layout's cost on a
// word is not the shaping but what a layout adds around it (line-break analysis, line
// building): here each text is itemized and shaped on its own, on one context made from the
// DC's Cairo context, and its extent summed as a layout of one line sums it.
#include "../textshaper.h"

#include <zil/string.h>

#include <wx/fontutil.h>
#include <wx/graphics.h>

#include <pango/pangocairo.h>

#include <algorithm>
#include <optional>
#include <string>

namespace zilui {

namespace {

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

void freeItems(GList* items)
{
    g_list_free_full(items, [](gpointer item) { pango_item_free(static_cast<PangoItem*>(item)); });
}

// One context, attribute list and glyph string for a batch of texts in one font.
class CPangoShaper {
public:
    CPangoShaper(cairo_t* cr, const PangoFontDescription* description)
        : m_context(pango_cairo_create_context(cr)), m_attrs(pango_attr_list_new()),
          m_glyphs(pango_glyph_string_new())
    {
        pango_context_set_font_description(m_context, description);
        m_flags = pango_context_get_round_glyph_positions(m_context) ? PANGO_SHAPE_ROUND_POSITIONS
                                                                     : PANGO_SHAPE_NONE;
    }
    ~CPangoShaper()
    {
        if (m_asciiItem)
            pango_item_free(m_asciiItem);
        pango_glyph_string_free(m_glyphs);
        pango_attr_list_unref(m_attrs);
        g_object_unref(m_context);
    }
    CPangoShaper(const CPangoShaper&) = delete;
    CPangoShaper& operator=(const CPangoShaper&) = delete;

    // Nothing where the text does not convert (a DC measures it as empty) or yields no item.
    std::optional<wxSize> measure(std::wstring_view text)
    {
        if (!zil::toUTF8Strict(text, m_utf8))
            return std::nullopt;
        GList* items = isAsciiWithLetter(text) ? asciiItems(int(m_utf8.length())) : nullptr;
        if (!items)
            items = itemize(m_utf8);
        if (!items)
            return std::nullopt;
        const wxSize size = shape(items);
        freeItems(items);
        return size;
    }

private:
    GList* itemize(const std::string& text) const
    {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        // A layout takes its direction from the text's first strong character, with this call
        // (deprecated for new code, kept for that).
        PangoDirection direction = pango_find_base_dir(text.data(), int(text.size()));
        G_GNUC_END_IGNORE_DEPRECATIONS
        if (direction == PANGO_DIRECTION_NEUTRAL)
            direction = pango_context_get_base_dir(m_context);
        return pango_itemize_with_base_dir(m_context, direction, text.data(), 0, int(text.size()), m_attrs,
                                           nullptr);
    }

    // Itemizing (direction, script, font per character) costs about half of the shaping. Where
    // the font holds every printable ASCII character in one left-to-right Latin item, any such
    // text with a letter in it is that same item over its own length: itemized once, here.
    GList* asciiItems(int length)
    {
        if (!m_asciiTried) {
            m_asciiTried = true;
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
                m_asciiItem = pango_item_copy(item);
            freeItems(probe);
        }
        if (!m_asciiItem)
            return nullptr;
        PangoItem* item = pango_item_copy(m_asciiItem);
        item->offset = 0;
        item->length = length;
        item->num_chars = length;
        return g_list_prepend(nullptr, item);
    }

    // The logical extent of `items` over m_utf8, rounded outwards as a layout rounds its
    // logical extent to pixels.
    wxSize shape(GList* items)
    {
        int width = 0;
        int top = 0;
        int bottom = 0;
        for (GList* item = items; item; item = item->next) {
            auto* pangoItem = static_cast<PangoItem*>(item->data);
            pango_shape_item(pangoItem, m_utf8.data(), int(m_utf8.length()), nullptr, m_glyphs, m_flags);
            PangoRectangle logical;
            pango_glyph_string_extents(m_glyphs, pangoItem->analysis.font, nullptr, &logical);
            top = item == items ? logical.y : std::min(top, logical.y);
            bottom =
                item == items ? logical.y + logical.height : std::max(bottom, logical.y + logical.height);
            width += logical.width;
        }
        PangoRectangle extent{0, 0, width, bottom - top};
        pango_extents_to_pixels(&extent, nullptr);
        return wxSize(extent.width, extent.height);
    }

    PangoContext* m_context;
    PangoAttrList* m_attrs;
    PangoGlyphString* m_glyphs;
    PangoShapeFlags m_flags;
    PangoItem* m_asciiItem = nullptr;
    bool m_asciiTried = false;
    std::string m_utf8;
};

} // namespace

Shaped measureShaped(wxDC& dc, const wxFont& font, const std::vector<std::wstring_view>& texts,
                     std::vector<wxSize>& out)
{
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    if (!gc || gc->GetRenderer() != wxGraphicsRenderer::GetCairoRenderer() || !font.IsOk() ||
        !font.GetNativeFontInfo())
        return Shaped::Unsupported;
    auto* cr = static_cast<cairo_t*>(gc->GetNativeContext());
    if (!cr)
        return Shaped::Unsupported;
    CPangoShaper shaper(cr, font.GetNativeFontInfo()->description);
    out.clear();
    for (const std::wstring_view text : texts) {
        const std::optional<wxSize> size = shaper.measure(text);
        if (!size)
            return Shaped::Failed;
        out.push_back(*size);
    }
    return Shaped::Measured;
}

} // namespace zilui
