// SPDX-License-Identifier: MIT
// docs/text.md
#include <zilui/graphics/gradients.h>
#include <zilui/graphics/panels.h>
#include <zilui/graphics/styledtextpainter.h>
#include <zilui/graphics/textstyle.h>

#include <wx/dc.h>
#include <wx/settings.h>

void paintHeading(wxDC& dc, const wxRect& area)
{
    zil::TArray<zil::P<zilui::CTextStyle>> lines;
    lines.push_back(zilui::CTextStyle::fromCSSString(L"font-size: 160%; font-weight: bold; color: #1d4f91"));
    lines.push_back(zilui::CTextStyle::fromCSSString(L"color: #505050; word-wrap: normal"));
    zilui::CLineBasedStyledTextPainter painter(
        lines, zilui::CTextStyleFontCache::getDefaultGUIFontCache().get());

    const zil::String text = L"Backup finished\nAll 1,204 files were copied to the external disk.";
    const wxSize needed = painter.getTextSize(dc, text, area.width);
    painter.paintText(dc, wxRect(area.GetTopLeft(), needed), text);
}

wxPanel* makeHeader(wxWindow* parent)
{
    auto* header = new zilui::CGradientPanel(parent, wxID_ANY);
    zil::P<zilui::IGradient> gradient(new zilui::CLinearGradient(wxColour(250, 250, 255), wxColour(200, 210, 235)));
    header->setGradient(gradient.get());
    header->addTextOverlay(L"Settings", wxPoint(12, 8),
                           wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).Bold(), *wxBLACK);
    return header;
}
