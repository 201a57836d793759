// SPDX-License-Identifier: MIT
#include "textextents.h"

#include "textshaper.h"

#include <wx/dcmemory.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace zilui {

namespace {

class CTextExtents {
public:
    // The table of `dc` with `font`.
    CExtentTable& forFont(wxDC& dc, const wxFont& font)
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
        CExtentTable extents;
        Batch batch = Batch::Unknown;
    };
    std::unordered_map<std::wstring, CTable> m_fonts;
    // The table asked for last, for the next paragraph in the same font.
    CExtentTable* m_last = nullptr;
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

// Characters that end a line in a layout of their own accord (or the text, for NUL); a text
// holding one is measured alone.
bool breaksLayoutLine(std::wstring_view text)
{
    static constexpr std::wstring_view kBreaks(L"\0\n\r\v\f\x85\x2028\x2029", 8);
    return text.find_first_of(kBreaks) != std::wstring_view::npos;
}

// Hinting or a transformation the DC applies differently shows on a few texts already.
bool agreesWithDC(wxDC& dc, const wxFont& font, const std::vector<std::wstring_view>& texts,
                  const std::vector<wxSize>& sizes)
{
    for (size_t i = 0; i < std::min<size_t>(texts.size(), 4); ++i) {
        wxCoord width = 0;
        wxCoord height = 0;
        dc.GetTextExtent(wxString(texts[i].data(), texts[i].size()), &width, &height, nullptr, nullptr,
                         &font);
        if (wxSize(width, height) != sizes[i])
            return false;
    }
    return true;
}

// Measures `unknown` in one batch into `sizes` where the batch is, or turns out to be, trusted
// for the table asked for last; false where they are left to the DC.
bool measureTrusted(wxDC& dc, const wxFont& font, const std::vector<std::wstring_view>& unknown,
                    std::vector<wxSize>& sizes)
{
    // One text alone is worth the batch only once the batch is known to agree with the DC.
    CTextExtents::Batch& batch = textExtents().batchState();
    if (unknown.empty() || batch == CTextExtents::Batch::Refused ||
        (unknown.size() < 2 && batch == CTextExtents::Batch::Unknown))
        return false;
    switch (measureShaped(dc, font, unknown, sizes)) {
    case Shaped::Measured:
        break;
    case Shaped::Unsupported:
        batch = CTextExtents::Batch::Refused;
        return false;
    case Shaped::Failed:
        return false;
    }
    if (batch == CTextExtents::Batch::Unknown)
        batch = agreesWithDC(dc, font, unknown, sizes) ? CTextExtents::Batch::Trusted
                                                       : CTextExtents::Batch::Refused;
    return batch == CTextExtents::Batch::Trusted;
}

} // namespace

CExtentTable& knownTextExtents(wxDC& dc, const wxFont& font)
{
    return textExtents().forFont(dc, font);
}

CExtentTable& lookUpTextExtents(wxDC& dc, const wxFont& font, const std::vector<std::wstring_view>& texts,
                                std::vector<wxSize>& out)
{
    CExtentTable& extents = textExtents().forFont(dc, font);
    out.assign(texts.size(), wxDefaultSize);
    // Each text missing, with the index of its measurement; repeats are measured once.
    std::unordered_map<std::wstring_view, size_t> missing;
    std::vector<std::wstring_view> unknown;
    std::vector<uint32_t> hashes(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        hashes[i] = CExtentTable::hashOf(texts[i]);
    constexpr size_t kSlotsAhead = 16, kTextsAhead = 8;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i + kSlotsAhead < texts.size())
            extents.prefetchSlot(hashes[i + kSlotsAhead]);
        if (i + kTextsAhead < texts.size())
            extents.prefetchText(hashes[i + kTextsAhead]);
        if (texts[i].empty())
            continue;
        out[i] = extents.find(texts[i], hashes[i]);
        if (out[i] == wxDefaultSize && !breaksLayoutLine(texts[i]) &&
            missing.emplace(texts[i], unknown.size()).second)
            unknown.push_back(texts[i]);
    }
    std::vector<wxSize> sizes;
    if (!measureTrusted(dc, font, unknown, sizes))
        return extents;
    for (size_t i = 0; i < texts.size(); ++i)
        if (out[i] == wxDefaultSize && !texts[i].empty()) {
            const auto found = missing.find(texts[i]);
            if (found != missing.end())
                out[i] = extents.emplace(texts[i], sizes[found->second]);
        }
    return extents;
}

void forgetTextExtents()
{
    textExtents().clear();
}

} // namespace zilui
