// SPDX-License-Identifier: MIT
#include "welcomepage.h"

#include "filespage.h"
#include "imagespage.h"
#include "overlayspage.h"
#include "slickpage.h"
#include "textpage.h"

#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/controls/timectrl.h>
#include <zilui/graphics/gradients.h>
#include <zilui/graphics/panels.h>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace gallery {

namespace {

using zilui::toWX;

constexpr int kGap = 8;         // pixels between tiles and inside them
constexpr int kTileWidth = 232; // pixels; three across the gallery's window

// A framed box with a heading, a button beside it that shows the sample's page, and the
// sample; a click anywhere on the box shows the page as well.
class CTile : public wxPanel {
public:
    CTile(wxWindow* parent, const zil::String& heading, std::function<void()> show)
        : wxPanel(parent, wxID_ANY), m_show(std::move(show)), m_content(new wxBoxSizer(wxVERTICAL))
    {
        auto* title = new wxStaticText(this, wxID_ANY, toWX(heading));
        title->SetFont(title->GetFont().Bold());
        auto* button = new wxButton(this, wxID_ANY, toWX(ZILUI_TR("Show")), wxDefaultPosition, wxDefaultSize,
                                    wxBU_EXACTFIT);
        auto* top = new wxBoxSizer(wxHORIZONTAL);
        top->Add(title, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, kGap);
        top->Add(button, 0, wxALIGN_CENTER_VERTICAL);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(top, 0, wxEXPAND | wxALL, kGap / 2);
        sizer->Add(m_content, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, kGap / 2);
        SetSizer(sizer);
        SetMinSize(wxSize(kTileWidth, -1));
        button->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { m_show(); });
        Bind(wxEVT_LEFT_UP, [this](wxMouseEvent&) { m_show(); });
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) { onPaint(); });
        Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
            Refresh(false);
            event.Skip();
        });
    }

    // The sample's children are created with the tile as their parent.
    void add(wxWindow* sample, int proportion = 0, int flags = wxEXPAND)
    {
        m_content->Add(sample, proportion, flags | wxBOTTOM, kGap / 2);
        // Keeps the sizer's idea in step with the sample, or a wide sample widens the column.
        sample->SetMinSize(wxSize(std::min(sample->GetMinSize().x, kTileWidth - kGap), sample->GetMinSize().y));
    }
    void add(wxSizer* sample, int proportion = 0) { m_content->Add(sample, proportion, wxEXPAND); }

private:
    void onPaint()
    {
        wxPaintDC dc(this);
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_3DSHADOW)));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRoundedRectangle(wxRect(GetClientSize()), 6);
    }

    std::function<void()> m_show;
    wxBoxSizer* m_content;
};

} // namespace

wxWindow* makeWelcomePage(wxWindow* parent, std::function<void(const char* page)> showPage)
{
    auto* page = new wxPanel(parent);
    const auto tile = [page, showPage](const zil::String& heading, const char* target) {
        return new CTile(page, heading, [showPage, target] { showPage(target); });
    };

    // The title on a gradient, drawn by the library's panel with its text overlays.
    auto* banner = new zilui::CGradientPanel(page, wxID_ANY);
    banner->setGradient(new zilui::CLinearGradient(wxColour(24, 52, 110), wxColour(60, 170, 160)));
    const wxFont titleFont = banner->GetFont().Scaled(1.6f).Bold();
    int titleHeight = 0;
    banner->GetTextExtent("Ag", nullptr, &titleHeight, nullptr, nullptr, &titleFont);
    const int introHeight = banner->GetTextExtent("Ag").y;
    banner->addTextOverlay(zil::String::fromUTF8(std::string("zilui ") + zilui::getVersionString()),
                           wxPoint(2 * kGap, kGap + 2), titleFont, *wxWHITE);
    banner->addTextOverlay(ZILUI_TR("User-interface building blocks for wxWidgets programs. Each tile is live; "
                                    "Show opens its page."),
                           wxPoint(2 * kGap, kGap + 2 + titleHeight + 4), banner->GetFont(), wxColour(220, 236, 240));
    banner->SetMinSize(wxSize(-1, 2 * kGap + 4 + titleHeight + 4 + introHeight + 4));

    CTile* skins = tile(ZILUI_TR("Skinned controls"), "skinned");
    skins->add(makeSkinSamples(skins));

    CTile* time = tile(ZILUI_TR("Time control"), "resources");
    time->add(new zilui::CTimeCtrl(time, wxID_ANY, 9 * 60 + 30), 0, 0);

    CTile* overlay = tile(ZILUI_TR("Overlay"), "overlays");
    overlay->add(makeOverlaySample(overlay, page, wxSize(kTileWidth - kGap, 80)), 1);

    // Two fixed sizes and one that takes the rest of the tile.
    CTile* pictures = tile(ZILUI_TR("Nine-part pictures"), "images");
    auto* small = new wxBoxSizer(wxHORIZONTAL);
    small->Add(makeNinePartPicture(pictures, wxSize(48, 48)), 0, wxRIGHT, kGap);
    small->Add(makeNinePartPicture(pictures, wxSize(kTileWidth - 48 - 2 * kGap, 72)), 0);
    pictures->add(small);
    pictures->add(makeFollowingNinePart(pictures), 1, wxEXPAND | wxTOP);

    CTile* text = tile(ZILUI_TR("Styled text"), "text");
    wxWindow* paragraph = makeStyledParagraph(
        text, ZILUI_TR("Styles and wrapping") + L"\n" +
                  ZILUI_TR("The styled text painter lays out a title and a description in styles of their "
                           "own and wraps the description at word boundaries to the width of its box."));
    paragraph->SetMinSize(wxSize(kTileWidth - kGap, 110));
    text->add(paragraph, 0);

    CTile* files = tile(ZILUI_TR("File browser"), "files");
    // A folder with the same names in it on any Linux machine.
    files->add(makeSmallBrowser(files, zil::Path(L"/usr"), wxSize(kTileWidth - kGap, 160)), 1);

    // Three columns; in each the last tile takes the height the others leave.
    const std::vector<std::vector<CTile*>> columns = {{skins, time, files}, {pictures}, {text, overlay}};
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    for (const auto& column : columns) {
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        for (CTile* t : column)
            sizer->Add(t, t == column.back() ? 1 : 0, wxEXPAND | (t == column.back() ? 0 : wxBOTTOM), kGap);
        row->Add(sizer, 1, wxEXPAND | wxLEFT, kGap);
    }

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(banner, 0, wxEXPAND | wxBOTTOM, kGap);
    sizer->Add(row, 1, wxEXPAND | wxRIGHT | wxBOTTOM, kGap);
    page->SetSizer(sizer);
    return page;
}

} // namespace gallery
