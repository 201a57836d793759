// SPDX-License-Identifier: MIT
#include "textpage.h"

#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/graphics/dragimage.h>
#include <zilui/graphics/gradients.h>
#include <zilui/graphics/panels.h>
#include <zilui/graphics/resourcemanager.h>
#include <zilui/graphics/scalingimage.h>
#include <zilui/graphics/styledtextpainter.h>
#include <zilui/graphics/textstyle.h>

#include <zil/error.h>

#include <wx/button.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <algorithm>

namespace gallery {

namespace {

using zilui::toWX;

const wchar_t* const kResourceTitle = L"gallery/sample";
constexpr int kGap = 8; // pixels between items

wxStaticText* makeHeading(wxWindow* parent, const zil::String& text)
{
    auto* heading = new wxStaticText(parent, wxID_ANY, toWX(text));
    heading->SetFont(heading->GetFont().Bold());
    return heading;
}

// ---- Styled labels ----

// A title line over a description line, laid out by the styled text painter at the panel's
// size: the description either wraps or is cut with an ellipsis.
class CStyledLabelPanel : public wxPanel {
public:
    CStyledLabelPanel(wxWindow* parent, const zil::String& text, double horzAlign, bool wrap)
        : wxPanel(parent, wxID_ANY), m_text(text),
          m_painter(makeStyles(horzAlign, wrap), zilui::CTextStyleFontCache::getDefaultGUIFontCache().get())
    {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        SetMinSize(wxSize(60, 60));
        Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
            Refresh(false);
            event.Skip();
        });
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) { onPaint(); });
    }

private:
    static zil::TArray<zil::P<zilui::CTextStyle>> makeStyles(double horzAlign, bool wrap)
    {
        // Title: bold, a fifth larger; description: smaller and grey.
        zil::P<zilui::CTextStyle> title(new zilui::CTextStyle(
            1.2, true, false, false, true, wxColour(30, 40, 70), horzAlign, false, true, 0.0));
        zil::P<zilui::CTextStyle> description(new zilui::CTextStyle(
            0.9, false, false, false, true, wxColour(90, 90, 100), horzAlign, wrap, !wrap, 0.0));
        return {title, description};
    }

    void onPaint()
    {
        wxAutoBufferedPaintDC dc(this);
        wxRect area(GetClientSize());
        dc.SetPen(wxPen(wxColour(190, 196, 210)));
        dc.SetBrush(wxBrush(wxColour(250, 250, 252)));
        dc.DrawRectangle(area);
        dc.SetFont(GetFont());
        dc.SetTextForeground(GetForegroundColour());
        m_painter.paintText(dc, area.Deflate(6), m_text);
    }

    zil::String m_text;
    zilui::CLineBasedStyledTextPainter m_painter;
};

// Three alignments across, wrapping above ellipsis; the grid takes whatever room the page has.
wxWindow* makeLabelBox(wxWindow* parent)
{
    auto* box = new wxPanel(parent);
    auto* grid = new wxGridSizer(2, 3, kGap, kGap);
    const struct {
        double align;
        zil::String title;
    } columns[] = {
        {0.0, ZILUI_TR("Aligned left")},
        {0.5, ZILUI_TR("Centred")},
        {1.0, ZILUI_TR("Aligned right")},
    };
    const zil::String wrapped = ZILUI_TR("This description wraps at word boundaries, so it always fits the "
                                         "width of its box; make the window narrower to see more lines.");
    const zil::String cut = ZILUI_TR("This description stays on one line and ends with an ellipsis where "
                                     "the box is too narrow for it.");
    for (const bool wrap : {true, false})
        for (const auto& column : columns)
            grid->Add(
                new CStyledLabelPanel(box, column.title + L"\n" + (wrap ? wrapped : cut), column.align, wrap),
                1, wxEXPAND);
    box->SetSizer(grid);
    return box;
}

// ---- Gradient panel ----

// A picture of fixed size; paints with its alpha.
class CBitmapImage : public zil::CBase, public virtual zilui::IImage {
public:
    explicit CBitmapImage(const wxBitmap& bitmap) : m_bitmap(bitmap) {}
    wxSize getSize() override { return m_bitmap.GetSize(); }
    void paint(wxDC& dc, const wxPoint& point) override { dc.DrawBitmap(m_bitmap, point, true); }
    wxBitmap getBitmap() override { return m_bitmap; }

private:
    wxBitmap m_bitmap;
};

// Overlays cover the whole panel; this one is transparent but for the picture, which keeps
// twice its base size and sits at the right, centred vertically.
class CBadgeImage : public zil::CBase, public virtual zilui::IScalingImage {
public:
    explicit CBadgeImage(zilui::IScalingImage* picture) : m_picture(picture) {}
    wxSize getBaseSize() override { return m_picture->getBaseSize() * 2; }
    zil::P<zilui::IImage> getScaledVersion(const wxSize& size) override
    {
        const wxSize picture = getBaseSize();
        wxBitmap bitmap;
        {
            zilui::CTransparentMemoryDC dc(size.x, size.y);
            const wxBitmap pixels = m_picture->getScaledVersion(picture)->getBitmap();
            if (pixels.IsOk())
                dc.drawBitmap(pixels, std::max(0, size.x - picture.x - 3 * kGap), (size.y - picture.y) / 2);
            bitmap = dc.getBitmap();
        }
        return zil::P<zilui::IImage>(new CBitmapImage(bitmap));
    }

private:
    zil::P<zilui::IScalingImage> m_picture;
};

wxWindow* makeGradientPanel(wxWindow* parent)
{
    auto* panel = new zilui::CGradientPanel(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, 110));
    panel->SetMinSize(wxSize(-1, 110));
    panel->setGradient(
        zil::P<zilui::IGradient>(new zilui::CLinearGradient(wxColour(24, 52, 110), wxColour(60, 170, 160)))
            .get());
    try {
        zil::P<zilui::IScalingImage> picture =
            zilui::CResourceManager::get()->loadScalingImageByTitle(kResourceTitle);
        if (picture)
            panel->addOverlay(zil::P<zilui::IScalingImage>(new CBadgeImage(picture.get())).get());
    } catch (const zil::CError&) {
        // The gradient and its texts still make their point without the picture.
    }
    const wxFont base = panel->GetFont();
    panel->addTextOverlay(ZILUI_TR("Gradient panel"), wxPoint(16, 18), base.Scaled(1.8f).Bold(), *wxWHITE);
    panel->addTextOverlay(ZILUI_TR("A gradient, an image overlay and two text overlays, painted in one pass"),
                          wxPoint(18, 66), base, wxColour(220, 236, 240));
    return panel;
}

// ---- Drag image ----

// An area with a picture in it that the mouse moves; while it moves, a CWindowDragImage
// shows it, also over the area's child controls.
class CDragArea : public wxPanel {
public:
    CDragArea(wxWindow* parent, const wxBitmap& picture) : wxPanel(parent, wxID_ANY), m_picture(picture)
    {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        SetMinSize(wxSize(-1, 150));
        // Controls to drag over.
        auto* sizer = new wxBoxSizer(wxHORIZONTAL);
        sizer->AddStretchSpacer();
        sizer->Add(new wxButton(this, wxID_ANY, toWX(ZILUI_TR("A button under the picture"))), 0,
                   wxALIGN_CENTER_VERTICAL | wxALL, 3 * kGap);
        sizer->Add(new wxStaticText(this, wxID_ANY, toWX(ZILUI_TR("and a text"))), 0,
                   wxALIGN_CENTER_VERTICAL | wxRIGHT, 6 * kGap);
        SetSizer(sizer);

        Bind(wxEVT_PAINT, [this](wxPaintEvent&) { onPaint(); });
        Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { onLeftDown(event.GetPosition()); });
        Bind(wxEVT_MOTION, [this](wxMouseEvent& event) {
            if (m_drag)
                m_drag->move(event.GetPosition());
        });
        Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& event) { endDrag(event.GetPosition()); });
        Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { endDrag(m_start); });
    }
    ~CDragArea() override
    {
        if (m_drag)
            m_drag->endDrag();
    }

private:
    wxRect pictureRect() const { return wxRect(m_position, m_picture.GetSize()); }

    void onPaint()
    {
        wxAutoBufferedPaintDC dc(this);
        const wxRect area(GetClientSize());
        dc.SetPen(wxPen(wxColour(150, 160, 180), 1, wxPENSTYLE_SHORT_DASH));
        dc.SetBrush(wxBrush(wxColour(236, 240, 246)));
        dc.DrawRectangle(area);
        dc.SetFont(GetFont());
        dc.SetTextForeground(wxColour(90, 90, 100));
        dc.DrawText(toWX(ZILUI_TR("Drag the picture with the mouse.")), kGap, kGap);
        // While it is dragged, the drag image shows it.
        if (!m_drag)
            dc.DrawBitmap(m_picture, m_position, true);
    }

    void onLeftDown(const wxPoint& point)
    {
        if (m_drag || !pictureRect().Contains(point))
            return;
        m_start = point;
        m_drag = new zilui::CWindowDragImage(m_picture, wxCursor(wxCURSOR_HAND));
        m_drag->beginDrag(point - m_position, this, this);
        m_drag->move(point);
        m_drag->show();
        Refresh(false);
    }

    void endDrag(const wxPoint& point)
    {
        if (!m_drag)
            return;
        const wxPoint hotspot = m_start - m_position;
        // Set aside first: ending the drag releases the mouse, which may come back here.
        zil::P<zilui::IDragImage> drag = std::move(m_drag);
        drag->endDrag();
        const wxSize room = GetClientSize() - m_picture.GetSize();
        m_position.x = std::clamp(point.x - hotspot.x, 0, std::max(0, room.x));
        m_position.y = std::clamp(point.y - hotspot.y, 0, std::max(0, room.y));
        Refresh(false);
    }

    wxBitmap m_picture;
    wxPoint m_position{3 * kGap, 4 * kGap};
    // Where the mouse went down; the hotspot is its offset from the picture's corner.
    wxPoint m_start;
    zil::P<zilui::IDragImage> m_drag;
};

wxBitmap loadDragPicture()
{
    try {
        // Twice the base factor, so that the picture is large enough to grab.
        wxBitmap bitmap = zilui::CResourceManager::get()->loadBitmapByTitle(kResourceTitle, nullptr, 2.0);
        if (bitmap.IsOk())
            return bitmap;
    } catch (const zil::CError&) {
        // Drawn below instead.
    }
    wxBitmap bitmap(64, 64, 24);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(wxBrush(wxColour(60, 120, 80)));
    dc.Clear();
    return bitmap;
}

} // namespace

wxWindow* makeStyledParagraph(wxWindow* parent, const zil::String& text)
{
    return new CStyledLabelPanel(parent, text, 0.0, true);
}

wxWindow* makeTextPage(wxWindow* parent)
{
    auto* page = new wxPanel(parent);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(
        makeHeading(page, ZILUI_TR("Styled labels: bold title, smaller description (resize the window)")), 0,
        wxALL, kGap);
    sizer->Add(makeLabelBox(page), 2, wxEXPAND | wxLEFT | wxRIGHT, kGap);
    sizer->Add(makeHeading(page, ZILUI_TR("Gradient panel with an image overlay and two text overlays")), 0,
               wxALL, kGap);
    sizer->Add(makeGradientPanel(page), 0, wxEXPAND | wxLEFT | wxRIGHT, kGap);
    sizer->Add(makeHeading(page, ZILUI_TR("Drag image: a child panel that follows the mouse")), 0, wxALL,
               kGap);
    sizer->Add(new CDragArea(page, loadDragPicture()), 2, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, kGap);
    page->SetSizer(sizer);
    return page;
}

} // namespace gallery
