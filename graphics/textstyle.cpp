// SPDX-License-Identifier: MIT
#include <zilui/graphics/textstyle.h>

#include <wx/settings.h>

#include <algorithm>
#include <memory>

namespace zilui {

namespace {

// Far beyond any screen; keeps the pixel height within int.
constexpr double kMaxPixelHeight = 10000.0;

zil::TArray<zil::String> splitAt(const zil::String& text, wchar_t separator)
{
    zil::TArray<zil::String> pieces;
    zil::String::size_type start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        pieces.push_back(text.Mid(start, end == zil::String::npos ? zil::String::npos : end - start));
        if (end == zil::String::npos)
            return pieces;
        start = end + 1;
    }
}

// Generic CSS family word (already lower-cased) to wxWidgets family; wxFONTFAMILY_DEFAULT
// when it is none.
wxFontFamily genericFamily(const zil::String& word)
{
    if (word == L"sans-serif")
        return wxFONTFAMILY_SWISS;
    if (word == L"monospace")
        return wxFONTFAMILY_TELETYPE;
    if (word == L"serif")
        return wxFONTFAMILY_ROMAN;
    if (word == L"cursive")
        return wxFONTFAMILY_SCRIPT;
    if (word == L"fantasy")
        return wxFONTFAMILY_DECORATIVE;
    return wxFONTFAMILY_DEFAULT;
}

void applyFontFamily(CTextStyle& style, const zil::String& value)
{
    zil::String face;
    bool faceFound = false;
    wxFontFamily family = wxFONTFAMILY_DEFAULT;
    for (const zil::String& raw : splitAt(value, L',')) {
        const zil::String piece = raw.Trim();
        if (piece.isEmpty())
            continue;
        if (piece.size() >= 3 && piece.front() == L'"' && piece.back() == L'"') {
            if (!faceFound) {
                face = piece.Mid(1, piece.size() - 2);
                faceFound = true;
            }
        } else if (family == wxFONTFAMILY_DEFAULT) {
            family = genericFamily(piece.Lower());
        }
    }
    if (!faceFound && family == wxFONTFAMILY_DEFAULT)
        return;
    style.setFontNameAndFamily(face, family == wxFONTFAMILY_DEFAULT ? wxFONTFAMILY_SWISS : family);
}

void applyDeclaration(CTextStyle& style, const zil::String& name, const zil::String& value)
{
    if (name == L"font-style") {
        if (value == L"normal")
            style.setItalic(false);
        else if (value == L"italic")
            style.setItalic(true);
    } else if (name == L"font-weight") {
        if (value == L"normal")
            style.setBold(false);
        else if (value == L"bold")
            style.setBold(true);
    } else if (name == L"text-decoration") {
        if (value == L"none")
            style.setUnderlined(false);
        else if (value == L"underline")
            style.setUnderlined(true);
    } else if (name == L"font-smoothing") {
        if (value == L"none")
            style.setAntialias(false);
        else if (value == L"antialiased")
            style.setAntialias(true);
    } else if (name == L"font-size") {
        if (value.EndsWith(L"%"))
            style.setHeightFactor(zil::parseSimpleDouble(value.Left(value.size() - 1).Trim()) / 100.0);
    } else if (name == L"text-align") {
        if (value == L"left")
            style.setHorzAlign(0.0);
        else if (value == L"center")
            style.setHorzAlign(0.5);
        else if (value == L"right")
            style.setHorzAlign(1.0);
    } else if (name == L"vertical-align") {
        if (value == L"top")
            style.setVertAlign(0.0);
        else if (value == L"middle")
            style.setVertAlign(0.5);
        else if (value == L"bottom")
            style.setVertAlign(1.0);
    } else if (name == L"color") {
        // A text wxColour rejects leaves an invalid colour, which stands for "no colour".
        if (value.StartsWith(L"#"))
            style.setColor(wxColour(wxString(value)));
    } else if (name == L"font-family") {
        applyFontFamily(style, value);
    } else if (name == L"word-wrap") {
        style.setWrapText(value == L"normal" || value == L"break-words");
    } else if (name == L"text-overflow") {
        style.setEllipsis(value.Contains(L"ellipsis"));
    }
}

} // namespace

CTextStyle::CTextStyle(double heightFactor, bool bold, bool italic, bool underlined, bool antialias,
                       const wxColour& color, double horzAlign, bool wrapText, bool ellipsis, double vertAlign)
    : m_bold(bold), m_italic(italic), m_underlined(underlined), m_antialias(antialias), m_wrapText(wrapText),
      m_ellipsis(ellipsis), m_heightFactor(heightFactor), m_horzAlign(horzAlign), m_vertAlign(vertAlign),
      m_color(color)
{
}

zil::P<CTextStyle> CTextStyle::fromCSSString(const zil::String& text)
{
    zil::P<CTextStyle> style(new CTextStyle());
    for (const zil::String& raw : splitAt(text, L';')) {
        const zil::String piece = raw.Trim();
        const auto colon = piece.find(L':');
        if (piece.isEmpty() || colon == zil::String::npos)
            continue;
        applyDeclaration(*style, piece.Left(colon).Trim(), piece.Mid(colon + 1).Trim());
    }
    return style;
}

zil::P<CTextStyle> CTextStyle::clone() const
{
    return zil::P<CTextStyle>(new CTextStyle(*this));
}

void CTextStyle::setFontNameAndFamily(const zil::String& name, wxFontFamily family)
{
    m_fontName = name;
    m_fontFamily = family;
}

zil::String CTextStyle::getFontString() const
{
    zil::String key = zil::toString(m_heightFactor, 6);
    if (m_bold)
        key += L'b';
    if (m_italic)
        key += L'i';
    if (m_underlined)
        key += L'u';
    if (m_antialias)
        key += L'a';
    return key + L';' + zil::toString(static_cast<int64_t>(m_fontFamily)) + L';' + m_fontName;
}

wxFont CTextStyle::deriveFont(const wxFont& base) const
{
    // A disposed cache hands an empty font; the default GUI font stands in for it.
    const wxFont& from = base.IsOk() ? base : wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    double pixels = m_heightFactor >= 0 ? m_heightFactor * from.GetPixelSize().GetHeight() + 0.5 : -m_heightFactor;
    // wxWidgets asserts on a zero pixel height (e.g. "font-size: 0%"), and a huge factor from a
    // skin file must not overflow the conversion; NaN falls to the least as well.
    if (!(pixels >= 1.0))
        pixels = 1.0;
    const int height = static_cast<int>(std::min(pixels, kMaxPixelHeight));
    int flags = 0;
    if (m_italic)
        flags |= wxFONTFLAG_ITALIC;
    if (m_bold)
        flags |= wxFONTFLAG_BOLD;
    if (m_underlined)
        flags |= wxFONTFLAG_UNDERLINED;
    if (m_antialias)
        flags |= wxFONTFLAG_ANTIALIASED;
    const bool ownFace = !m_fontName.isEmpty();
    const std::unique_ptr<wxFont> created(wxFont::New(wxSize(0, height), ownFace ? m_fontFamily : from.GetFamily(),
                                                      flags, ownFace ? wxString(m_fontName) : from.GetFaceName(),
                                                      from.GetEncoding()));
    const wxFont font = *created;
    return m_antialias ? fixFontAntialias(font) : font;
}

wxFont CTextStyle::fixFontAntialias(const wxFont& font)
{
    // Description format "0": version;height;width;escapement;orientation;weight;italic;
    // underline;strikeout;charset;out precision;clip precision;quality;... (quality is 12th
    // after the version). Other formats (e.g. Pango's) carry no quality field.
    const zil::TArray<zil::String> fields = splitAt(zil::String(font.GetNativeFontInfoDesc().ToStdWstring()), L';');
    constexpr size_t kQualityField = 12;
    if (fields.front() != L"0" || fields.size() <= kQualityField)
        return font;
    zil::String desc;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            desc += L';';
        desc += i == kQualityField ? zil::String(L"4") : fields[i];
    }
    wxFont fixed;
    return fixed.SetNativeFontInfo(wxString(desc)) ? fixed : font;
}

namespace {

zil::CSafeGlobalSlot<CTextStyleFontCache>& cacheSlot()
{
    static zil::CSafeGlobalSlot<CTextStyleFontCache> slot;
    return slot;
}

} // namespace

CTextStyleFontCache::CTextStyleFontCache(const wxFont& base) : m_baseFont(base) {}

wxFont CTextStyleFontCache::getFontWithStyle(const CTextStyle& style)
{
    const zil::String key = style.getFontString();
    auto found = m_fonts.find(key);
    if (found == m_fonts.end())
        found = m_fonts.emplace(key, style.deriveFont(m_baseFont)).first;
    return found->second;
}

void CTextStyleFontCache::changeBaseFont(const wxFont& base)
{
    m_baseFont = base;
    m_fonts.clear();
}

void CTextStyleFontCache::dispose()
{
    m_fonts.clear();
    m_baseFont = wxFont();
}

const zil::P<CTextStyleFontCache>& CTextStyleFontCache::getDefaultGUIFontCache()
{
    return cacheSlot().use(&CTextStyleFontCache::createDefaultGUIFontCache);
}

zil::P<CTextStyleFontCache> CTextStyleFontCache::createDefaultGUIFontCache()
{
    return zil::P<CTextStyleFontCache>(new CTextStyleFontCache(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT)));
}

void CTextStyleFontCache::disposeGlobalInstance()
{
    if (zil::P<CTextStyleFontCache> cache = cacheSlot().peek())
        cache->dispose();
}

} // namespace zilui
