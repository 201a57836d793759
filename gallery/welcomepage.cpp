// SPDX-License-Identifier: MIT
#include "welcomepage.h"

#include "filespage.h"
#include "imagespage.h"
#include "overlayspage.h"
#include "slickpage.h"
#include "textpage.h"

#include <zilui/app/appbase.h>
#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/controls/timectrl.h>

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <utility>

namespace gallery {

namespace {

using zilui::toWX;

constexpr int kGap = 8;         // pixels between tiles and inside them
constexpr int kTileWidth = 232; // pixels; three across the gallery's window

// A framed box with a heading, a sample and a button that shows the sample's page; a click
// anywhere on the box does the same.
class CTile : public wxPanel {
public:
    CTile(wxWindow* parent, const zil::String& heading, std::function<void()> show)
        : wxPanel(parent, wxID_ANY), m_show(std::move(show)), m_content(new wxBoxSizer(wxVERTICAL))
    {
        auto* title = new wxStaticText(this, wxID_ANY, toWX(heading));
        title->SetFont(title->GetFont().Bold());
        auto* button = new wxButton(this, wxID_ANY, toWX(ZILUI_TR("Show the page")));
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(title, 0, wxALL, kGap);
        sizer->Add(m_content, 1, wxEXPAND | wxLEFT | wxRIGHT, kGap);
        sizer->Add(button, 0, wxALIGN_RIGHT | wxALL, kGap);
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

    auto* titleRow = new wxBoxSizer(wxHORIZONTAL);
    auto* title = new wxStaticText(page, wxID_ANY, "zilui " + wxString(zilui::getVersionString()));
    title->SetFont(title->GetFont().Scaled(1.6f).Bold());
    titleRow->Add(title, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 2 * kGap);
    auto* intro = new wxStaticText(page, wxID_ANY,
                                   toWX(ZILUI_TR("User-interface building blocks for wxWidgets applications. "
                                                 "Each tile is live; its button shows the whole page.")));
    intro->Wrap(480);
    titleRow->Add(intro, 1, wxALIGN_CENTER_VERTICAL);

    CTile* skins = tile(ZILUI_TR("Skinned controls"), "skinned");
    skins->add(makeSkinSamples(skins));

    CTile* time = tile(ZILUI_TR("Time control"), "resources");
    time->add(new zilui::CTimeCtrl(time, wxID_ANY, 9 * 60 + 30), 0, 0);

    CTile* pictures = tile(ZILUI_TR("Nine-part pictures"), "images");
    auto* small = new wxBoxSizer(wxHORIZONTAL);
    small->Add(makeNinePartPicture(pictures, wxSize(48, 48)), 0, wxRIGHT, kGap);
    small->Add(makeNinePartPicture(pictures, wxSize(120, 72)), 0);
    pictures->add(small);
    pictures->add(makeNinePartPicture(pictures, wxSize(kTileWidth - 2 * kGap, 96)), 0, wxTOP);

    CTile* overlay = tile(ZILUI_TR("Overlay"), "overlays");
    overlay->add(makeOverlaySample(overlay, page, wxSize(kTileWidth - 2 * kGap, 100)), 1);

    CTile* text = tile(ZILUI_TR("Styled text"), "text");
    wxWindow* paragraph = makeStyledParagraph(
        text, ZILUI_TR("Styles and wrapping") + L"\n" +
                  ZILUI_TR("The styled text painter lays out a title and a description in styles of their "
                           "own and wraps the description to the width of its box."));
    paragraph->SetMinSize(wxSize(kTileWidth - 2 * kGap, 120));
    text->add(paragraph, 1);

    CTile* files = tile(ZILUI_TR("File browser"), "files");
    zilui::CAppBase* app = zilui::CAppBase::get();
    files->add(makeSmallBrowser(files, app ? app->getResourcesPath() : zil::Path(L"/"),
                                wxSize(kTileWidth - 2 * kGap, 160)),
               1);

    // Three columns of two tiles; in each column the tile whose sample can use more room grows.
    const struct {
        CTile* top;
        bool topGrows;
        CTile* bottom;
    } columns[] = {{skins, true, time}, {pictures, false, overlay}, {text, true, files}};
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    for (const auto& column : columns) {
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(column.top, column.topGrows ? 1 : 0, wxEXPAND | wxBOTTOM, kGap);
        sizer->Add(column.bottom, column.bottom == time ? 0 : 1, wxEXPAND);
        row->Add(sizer, 1, wxEXPAND | wxLEFT, kGap);
    }

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(titleRow, 0, wxEXPAND | wxALL, 2 * kGap);
    sizer->Add(row, 1, wxEXPAND | wxRIGHT | wxBOTTOM, kGap);
    page->SetSizer(sizer);
    return page;
}

} // namespace gallery
