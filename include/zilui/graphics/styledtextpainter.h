// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/graphics/textstyle.h>

#include <zil/containers.h>
#include <zil/object.h>
#include <zil/string.h>

#include <wx/dc.h>
#include <wx/font.h>
#include <wx/gdicmn.h>

#include <cstddef>

namespace zilui {

// Lays out and draws a multi-line label: source line i (split at CR LF, CR or LF) is drawn in
// line style i, lines past the last style in the last one. Long lines are wrapped at words or
// ellipsised as their style says. GUI thread only, like the font cache it uses.
class CLineBasedStyledTextPainter : public zil::CBase {
public:
    // An empty `lineStyles` gets one default style. Holds a reference to `fontCache`; a null
    // cache throws zil::CInvalidArgError.
    CLineBasedStyledTextPainter(const zil::TArray<zil::P<CTextStyle>>& lineStyles, CTextStyleFontCache* fontCache);
    CLineBasedStyledTextPainter(const CLineBasedStyledTextPainter& other) = default;
    CLineBasedStyledTextPainter& operator=(const CLineBasedStyledTextPainter& other) = default;
    // Moving copies, so that a moved-from painter still holds a style and a cache.
    CLineBasedStyledTextPainter(CLineBasedStyledTextPainter&& other) : CLineBasedStyledTextPainter(other) {}
    CLineBasedStyledTextPainter& operator=(CLineBasedStyledTextPainter&& other) { return *this = other; }

    // Aligns the block vertically by the first line's style and each line horizontally by its
    // own; nothing is clipped to `rect`. The DC's font and text colour are restored afterwards.
    // For a right-to-left `direction` (the window's) the horizontal alignments are mirrored
    // within `rect`, unless the DC mirrors by itself. Each line keeps its logical order; the
    // toolkit orders its runs for display.
    void paintText(wxDC& dc, const wxRect& rect, const zil::String& text,
                   wxLayoutDirection direction = wxLayout_LeftToRight);
    // Widest laid-out line by the sum of the line heights; `maxWidth` -1 means no limit (an
    // ellipsised line then measures as "...").
    wxSize getTextSize(wxDC& dc, const zil::String& text, int maxWidth);

    // Word widths are kept per font across painters and calls; this forgets them all (they are
    // measured again on demand).
    static void disposeMeasurementCache();

    const zil::TArray<zil::P<CTextStyle>>& getLineStyles() const { return m_lineStyles; }
    const zil::P<CTextStyleFontCache>& getFontCache() const { return m_fontCache; }

protected:
    // Next source line from `pos` and its style (not owned: one of the line styles); advances
    // `pos` past the line break and `lineIndex` by one. False when `pos` is at the end.
    bool getNextLineAndStyle(const zil::String& text, size_t& pos, size_t& lineIndex, zil::String& line,
                             CTextStyle*& style) const;
    // Next word from `pos`, ending at a tab, space or hyphen; a hyphen stays with the word,
    // the others are dropped. `pos` skips the delimiter. False when `pos` is at the end.
    bool getNextWord(const zil::String& text, size_t& pos, zil::String& word) const;
    // Text from `pos` up to the next of `delimiters` (or the end); `pos` stops on the
    // delimiter. False when `pos` is at the end.
    static bool getNextPartOfString(const zil::String& text, const zil::String& delimiters, size_t& pos,
                                    zil::String& part);
    // Pixel extent in `font` (the DC's own when null); an empty line is as high as "W".
    wxSize getLineExtent(wxDC& dc, const zil::String& line, wxFont* font) const;
    // Breaks `line` into lines no wider than `maxWidth` pixels where words allow (a word
    // wider than that is split by characters); `maxWidth` below 1 keeps the line whole.
    void wrapText(wxDC& dc, const zil::String& line, int maxWidth, wxFont* font,
                  zil::TArray<zil::String>& out) const;
    // Shortens `line` to `maxWidth` pixels with a trailing "..." as the toolkit does; a
    // negative `maxWidth` keeps the line, 0 gives "..." alone.
    void ellipsisText(wxDC& dc, const zil::String& line, int maxWidth, wxFont* font,
                      zil::TArray<zil::String>& out) const;

private:
    struct CLaidOutLine;

    // Lines as drawn, for the width limit `maxWidth` (wrapping) and `ellipsisWidth`; returns
    // the vertical alignment of the first source line (0 for none).
    double layOut(wxDC& dc, const zil::String& text, int maxWidth, int ellipsisWidth,
                  zil::TArray<CLaidOutLine>& lines) const;

    zil::TArray<zil::P<CTextStyle>> m_lineStyles;
    zil::P<CTextStyleFontCache> m_fontCache;
};

} // namespace zilui
