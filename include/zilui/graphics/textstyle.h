// SPDX-License-Identifier: MIT
#pragma once

#include <zil/containers.h>
#include <zil/object.h>
#include <zil/string.h>

#include <wx/colour.h>
#include <wx/font.h>

namespace zilui {

// How a piece of text is drawn. Holds no font: one is derived from a base font on demand.
// Shared styles are treated as values; callers that want to change one clone it first.
class CTextStyle : public zil::CBase {
public:
    CTextStyle() = default;
    CTextStyle(double heightFactor, bool bold, bool italic, bool underlined, bool antialias,
               const wxColour& color, double horzAlign, bool wrapText, bool ellipsis, double vertAlign);

    // CSS-like declarations separated by ";", e.g. "font-weight: bold; color: #ff0000".
    // Unknown names and values are ignored; only a "font-size" percentage that is not a number
    // throws (zil::CParseError naming the number).
    static zil::P<CTextStyle> fromCSSString(const zil::String& text);

    zil::P<CTextStyle> clone() const;

    bool getBold() const { return m_bold; }
    void setBold(bool bold) { m_bold = bold; }
    bool getItalic() const { return m_italic; }
    void setItalic(bool italic) { m_italic = italic; }
    bool getUnderlined() const { return m_underlined; }
    void setUnderlined(bool underlined) { m_underlined = underlined; }
    bool getAntialias() const { return m_antialias; }
    void setAntialias(bool antialias) { m_antialias = antialias; }
    bool getWrapText() const { return m_wrapText; }
    void setWrapText(bool wrapText) { m_wrapText = wrapText; }
    bool getEllipsis() const { return m_ellipsis; }
    void setEllipsis(bool ellipsis) { m_ellipsis = ellipsis; }
    // Relative to the base font's pixel height; a negative value is an absolute pixel height.
    double getHeightFactor() const { return m_heightFactor; }
    void setHeightFactor(double heightFactor) { m_heightFactor = heightFactor; }
    // 0 left/top, 0.5 centre, 1 right/bottom; values in between place proportionally.
    double getHorzAlign() const { return m_horzAlign; }
    void setHorzAlign(double horzAlign) { m_horzAlign = horzAlign; }
    double getVertAlign() const { return m_vertAlign; }
    void setVertAlign(double vertAlign) { m_vertAlign = vertAlign; }
    // An invalid colour means the caller's own text colour.
    const wxColour& getColor() const { return m_color; }
    void setColor(const wxColour& color) { m_color = color; }
    // An empty name means the base font's face (and family).
    const zil::String& getFontName() const { return m_fontName; }
    wxFontFamily getFontFamily() const { return m_fontFamily; }
    void setFontNameAndFamily(const zil::String& name, wxFontFamily family);

    // Key of the font this style derives: equal keys give equal fonts.
    zil::String getFontString() const;
    wxFont deriveFont(const wxFont& base) const;

    // Forces antialiased output quality where the native description allows it; any other
    // font comes back unchanged.
    static wxFont fixFontAntialias(const wxFont& font);

private:
    bool m_bold = false;
    bool m_italic = false;
    bool m_underlined = false;
    bool m_antialias = false;
    bool m_wrapText = false;
    bool m_ellipsis = false;
    double m_heightFactor = 1.0;
    double m_horzAlign = 0.0;
    double m_vertAlign = 0.0;
    wxColour m_color;
    zil::String m_fontName;
    wxFontFamily m_fontFamily = wxFONTFAMILY_DEFAULT;
};

// Fonts derived from one base font, one per distinct font string. Not locked: GUI thread only.
class CTextStyleFontCache : public zil::CBase {
public:
    explicit CTextStyleFontCache(const wxFont& base);

    wxFont getFontWithStyle(const CTextStyle& style);
    void changeBaseFont(const wxFont& base);
    void dispose();

    // Based on the default GUI font; created on first use and kept until process end.
    static const zil::P<CTextStyleFontCache>& getDefaultGUIFontCache();
    static zil::P<CTextStyleFontCache> createDefaultGUIFontCache();
    static void disposeGlobalInstance();

private:
    wxFont m_baseFont;
    zil::TMap<zil::String, wxFont> m_fonts;
};

} // namespace zilui
