// SPDX-License-Identifier: MIT
// Text styles from CSS text, then a font derived from each and text drawn with it.
#include "fuzzsupport.h"

#include <zilui/graphics/textstyle.h>

#include <wx/dcmemory.h>
#include <wx/settings.h>

ZILUI_FUZZ_TARGET(textstyle)
{
    const zil::P<zilui::CTextStyle> style = zilui::CTextStyle::fromCSSString(zilui::fuzz::text(data, size));
    const wxFont font = style->deriveFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    wxBitmap bitmap(16, 16, 24);
    wxMemoryDC dc(bitmap);
    if (font.IsOk())
        dc.SetFont(font);
    if (style->getColor().IsOk())
        dc.SetTextForeground(style->getColor());
    dc.DrawText("Ag", 0, 0);
    zilui::CTextStyle::fixFontAntialias(font);
}
