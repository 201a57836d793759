// SPDX-License-Identifier: MIT
// Hebrew, Arabic and mixed paragraphs through the styled text painter: its own line breaking
// keeps logical order and breaks where the toolkit's layout breaks, the ellipsis comes at the
// logical end (the left of a right-to-left line), and a right-to-left window mirrors alignment.
#include "graphics/graphicstestutil.h"
#include "support/guitest.h"

#include <zilui/app/strings.h>
#include <zilui/graphics/styledtextpainter.h>

#include <gtest/gtest.h>

#include <wx/dcmemory.h>
#include <wx/fontutil.h>
#include <wx/graphics.h>
#include <wx/settings.h>

#include <pango/pangocairo.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace zilui;
using zilui::test::isInk;

namespace {

class CBidiPainter : public CLineBasedStyledTextPainter {
public:
    using CLineBasedStyledTextPainter::CLineBasedStyledTextPainter;
    using CLineBasedStyledTextPainter::ellipsisText, CLineBasedStyledTextPainter::wrapText;
};

zil::P<CTextStyleFontCache> guiFontCache()
{
    return new CTextStyleFontCache(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
}

// The lines a Pango layout of `width` pixels makes of `text` in `font`, on the DC's own Cairo
// context, trailing spaces dropped; `width` -1 for one line. Empty where the DC has no Cairo
// context.
std::vector<zil::String> pangoLines(wxDC& dc, const wxFont& font, const zil::String& text, int width,
                                    int* widest = nullptr)
{
    std::vector<zil::String> lines;
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    auto* cr = gc ? static_cast<cairo_t*>(gc->GetNativeContext()) : nullptr;
    if (!cr)
        return lines;
    PangoLayout* layout = pango_cairo_create_layout(cr);
    pango_layout_set_font_description(layout, font.GetNativeFontInfo()->description);
    const std::string utf8 = text.toUTF8();
    pango_layout_set_text(layout, utf8.c_str(), int(utf8.size()));
    pango_layout_set_width(layout, width < 0 ? -1 : width * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next) {
        const auto* line = static_cast<PangoLayoutLine*>(l->data);
        zil::String piece = zil::String::fromUTF8(utf8.substr(size_t(line->start_index), size_t(line->length)));
        lines.push_back(piece.TrimRight());
    }
    if (widest) {
        PangoRectangle logical;
        pango_layout_get_pixel_extents(layout, nullptr, &logical);
        *widest = logical.width;
    }
    g_object_unref(layout);
    return lines;
}

std::string joined(const std::vector<zil::String>& lines)
{
    std::string all;
    for (const zil::String& line : lines)
        all += "[" + line.toUTF8() + "]";
    return all;
}

// The first and last inked columns, and the topmost inked row within columns [from, to].
struct CInk {
    int left = -1, right = -1;
    int topIn(const wxImage& image, int from, int to) const
    {
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = std::max(from, 0); x <= to && x < image.GetWidth(); ++x)
                if (isInk(image, x, y))
                    return y;
        return -1;
    }
};

CInk inkColumns(const wxImage& image)
{
    CInk ink;
    for (int x = 0; x < image.GetWidth(); ++x)
        for (int y = 0; y < image.GetHeight(); ++y)
            if (isInk(image, x, y)) {
                ink.left = ink.left < 0 ? x : ink.left;
                ink.right = x;
                break;
            }
    return ink;
}

wxImage painted(CLineBasedStyledTextPainter& painter, const wxRect& rect, const zil::String& text,
                wxLayoutDirection direction = wxLayout_LeftToRight)
{
    return test::paintInto({320, 40}, [&](wxMemoryDC& dc) {
        dc.SetTextForeground(*wxBLACK);
        painter.paintText(dc, rect, text, direction);
    }, *wxWHITE);
}

} // namespace

// Paragraphs of right-to-left and mixed scripts, each at the width midway between Pango's
// extent of its first `firstLine` words and of one word more: the painter's lines, in logical
// order, are Pango's. Arabic letters join, so a word measured in the wrong direction or apart
// from its letters' forms comes out at another width and breaks elsewhere.
TEST(BidiText, WrapsWhereAPangoLayoutBreaks)
{
    const struct {
        const char* name;
        const wchar_t* text;
        size_t firstLine;
    } cases[] = {
        {"Hebrew", L"שלום לכולם וברוכים הבאים לתוכנית החדשה", 3},
        {"Arabic", L"مرحبا بكم في البرنامج الجديد", 3},
        {"Hebrew with English", L"הקובץ report.pdf נשמר בתיקייה Documents של המשתמש", 4},
        {"English with Arabic", L"Open the file ملف جديد from the menu", 5},
        {"Arabic with digits", L"تم حفظ 125 ملفا في 3 مجلدات", 4},
    };
    CBidiPainter painter({}, guiFontCache().get());
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    test::paintInto({10, 10}, [&](wxMemoryDC& dc) {
        dc.SetFont(font);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            const zil::String text(c.text);
            std::vector<zil::String> words;
            for (size_t pos = 0; pos < text.size();) {
                const size_t end = std::min(text.find(L' ', pos), text.size());
                words.emplace_back(text.substr(pos, end - pos));
                pos = end + 1;
            }
            ASSERT_GT(words.size(), c.firstLine + 1);
            const auto prefixWidth = [&](size_t count) {
                zil::String prefix;
                for (size_t i = 0; i < count; ++i)
                    prefix += (i ? L" " : L"") + words[i];
                int width = 0;
                pangoLines(dc, font, prefix, -1, &width);
                return width;
            };
            const int width = (prefixWidth(c.firstLine) + prefixWidth(c.firstLine + 1)) / 2;
            const std::vector<zil::String> expected = pangoLines(dc, font, text, width);
            ASSERT_FALSE(expected.empty()) << "a memory DC draws through Cairo here";
            // Two lines here; a font of other widths may make three, compared all the same.
            ASSERT_GE(expected.size(), 2u) << joined(expected) << " at " << width;
            for (int pass = 0; pass < 2; ++pass) { // the second from measured words
                zil::TArray<zil::String> lines;
                painter.wrapText(dc, text, width, &font, lines);
                EXPECT_EQ(joined(std::vector<zil::String>(lines.begin(), lines.end())), joined(expected))
                    << "at " << width << " pass " << pass;
            }
        }
    });
}

// A shortened line keeps its logical start and ends in "..." after it: for a line that starts
// right to left the dots stand at its left end, otherwise at its right. The columns the dots
// take at that end hold nothing taller than the dots; at the other end letters stand.
TEST(BidiText, EllipsisAtTheLogicalEnd)
{
    const struct {
        const char* name;
        const wchar_t* text;
        bool dotsLeft;
    } cases[] = {
        {"English", L"Nothing to see here today", false},
        {"Hebrew", L"שלום לכולם וברוכים הבאים", true},
        {"Hebrew, then English", L"שלום לכולם report ready today", true},
        {"English, then Hebrew", L"Hello there שלום לכולם וברוכים", false},
    };
    CBidiPainter painter({CTextStyle::fromCSSString(L"text-overflow: ellipsis")}, guiFontCache().get());
    wxFont font = guiFontCache()->getFontWithStyle(*CTextStyle::fromCSSString(L"text-overflow: ellipsis"));
    const wxImage dotsAlone = painted(painter, wxRect(10, 5, 300, 30), L"...");
    const CInk dots = inkColumns(dotsAlone);
    ASSERT_GE(dots.left, 0);
    const int dotsWidth = dots.right - dots.left + 1, dotsTop = dots.topIn(dotsAlone, 0, 319);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const zil::String line(c.text);
        int fullWidth = 0;
        zil::TArray<zil::String> out;
        test::paintInto({10, 10}, [&](wxMemoryDC& dc) {
            dc.SetFont(font);
            fullWidth = dc.GetTextExtent(toWX(line)).x;
            painter.ellipsisText(dc, line, fullWidth * 2 / 3, &font, out);
        });
        ASSERT_EQ(out.size(), 1u);
        const zil::String& shortened = out[0];
        ASSERT_TRUE(shortened.EndsWith(L"...")) << shortened.toUTF8();
        EXPECT_TRUE(line.StartsWith(shortened.substr(0, shortened.size() - 3))) << shortened.toUTF8();

        const wxImage image = painted(painter, wxRect(10, 5, fullWidth * 2 / 3, 30), line);
        const CInk ink = inkColumns(image);
        ASSERT_GE(ink.left, 0);
        const int dotsFrom = c.dotsLeft ? ink.left : ink.right - dotsWidth + 1;
        const int lettersFrom = c.dotsLeft ? ink.right - dotsWidth + 1 : ink.left;
        EXPECT_GE(ink.topIn(image, dotsFrom, dotsFrom + dotsWidth - 1), dotsTop - 1) << "dots at the logical end";
        EXPECT_LT(ink.topIn(image, lettersFrom, lettersFrom + dotsWidth - 1), dotsTop - 3) << "letters at the start";
    }
}

// Under a right-to-left window a line's alignment is mirrored within its rectangle: the start
// (left) goes right, the end left, the middle stays; left to right nothing moves. The line is
// Hebrew either way: the script does not decide, the window does.
TEST(BidiText, RightToLeftWindowMirrorsAlignment)
{
    const zil::String text = L"שלום";
    CBidiPainter plain({}, guiFontCache().get());
    int width = 0;
    test::paintInto({10, 10}, [&](wxMemoryDC& dc) { width = plain.getTextSize(dc, text, -1).x; });
    const wxRect rect(10, 5, width + 100, 30);
    const int atLeft = inkColumns(painted(plain, wxRect(10, 5, width, 30), text)).left;
    ASSERT_GE(atLeft, 10);
    const struct {
        const wchar_t* css;
        wxLayoutDirection direction;
        int shift;
    } cases[] = {
        {L"text-align: left", wxLayout_LeftToRight, 0},
        {L"text-align: left", wxLayout_RightToLeft, 100},
        {L"text-align: right", wxLayout_RightToLeft, 0},
        {L"text-align: right", wxLayout_LeftToRight, 100},
        {L"text-align: center", wxLayout_RightToLeft, 50},
        {L"text-align: left", wxLayout_Default, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(wxString(c.css).utf8_string() + " direction " + std::to_string(int(c.direction)));
        CBidiPainter painter({CTextStyle::fromCSSString(c.css)}, guiFontCache().get());
        EXPECT_EQ(inkColumns(painted(painter, rect, text, c.direction)).left - atLeft, c.shift);
    }
}
