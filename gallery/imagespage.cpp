// SPDX-License-Identifier: MIT
#include "imagespage.h"

#include <zilui/app/language.h>
#include <zilui/app/strings.h>
#include <zilui/graphics/panels.h>
#include <zilui/graphics/resourcemanager.h>
#include <zilui/graphics/scalingimage.h>

#include <zil/error.h>

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include <cmath>
#include <memory>

namespace gallery {

namespace {

using zilui::CCompositeScalingImage;
using zilui::CScalingImage;
using zilui::toWX;

// The nine-part source: corners, edges and middle each have their own colour and a mark, so
// that a stretched part shows as a stretched mark. Cut margins equal the corner size.
constexpr int kNinePartSide = 48;   // pixels
constexpr int kNinePartMargin = 14; // pixels, on every side

// The whole-picture source, shown at kWholeFactors times its size.
constexpr int kWholeSide = 40; // pixels
constexpr double kWholeFactors[] = {1.0, 1.5, 2.0};

// The resource below res/ whose variants sample.png, sample@1_5.png and sample@2.png the
// manager chooses from; 1.25 lies between two variants, so one of them is rescaled.
const wchar_t* const kResourceTitle = L"gallery/sample";
constexpr double kResourceFactors[] = {1.0, 1.5, 2.0, 1.25};

// What the four focus modes scale the nine-part source to: wider and taller than the source.
const wxSize kFocusTarget(132, 80);

const wxColour kBorder(40, 48, 64);

std::unique_ptr<wxGraphicsContext> beginDrawing(wxMemoryDC& dc)
{
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    return gc;
}

// Pixels drawn into a bitmap end up opaque; the sources need no transparency.
wxImage makeNinePartSource()
{
    wxBitmap bitmap(kNinePartSide, kNinePartSide, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(kBorder));
        dc.Clear();
        auto gc = beginDrawing(dc);
        const double side = kNinePartSide;
        const double m = kNinePartMargin;
        const double inner = side - 2 * m;
        gc->SetPen(*wxTRANSPARENT_PEN);
        // Edges: one strip per side, between the corners.
        gc->SetBrush(wxBrush(wxColour(70, 130, 200)));
        gc->DrawRectangle(m, 2, inner, m - 2);
        gc->DrawRectangle(m, side - m, inner, m - 2);
        gc->DrawRectangle(2, m, m - 2, inner);
        gc->DrawRectangle(side - m, m, m - 2, inner);
        // Corners, each with a round mark.
        for (const double x : {2.0, side - m})
            for (const double y : {2.0, side - m}) {
                gc->SetBrush(wxBrush(wxColour(240, 150, 50)));
                gc->DrawRectangle(x, y, m - 2, m - 2);
                gc->SetBrush(wxBrush(wxColour(150, 60, 20)));
                gc->DrawEllipse(x + 3, y + 3, m - 8, m - 8);
            }
        // Middle, with a round mark as well.
        gc->SetBrush(wxBrush(wxColour(140, 210, 120)));
        gc->DrawRectangle(m, m, inner, inner);
        gc->SetBrush(wxBrush(wxColour(40, 120, 60)));
        gc->DrawEllipse(m + 5, m + 5, inner - 10, inner - 10);
    }
    return bitmap.ConvertToImage();
}

wxImage makeWholeSource()
{
    wxBitmap bitmap(kWholeSide, kWholeSide, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(wxColour(250, 246, 230)));
        dc.Clear();
        auto gc = beginDrawing(dc);
        const double side = kWholeSide;
        gc->SetPen(wxPen(kBorder, 2));
        gc->SetBrush(*wxTRANSPARENT_BRUSH);
        gc->DrawRectangle(1, 1, side - 2, side - 2);
        // A sun over a hill: curves and thin lines make the scaling visible.
        gc->SetPen(*wxTRANSPARENT_PEN);
        gc->SetBrush(wxBrush(wxColour(240, 180, 40)));
        gc->DrawEllipse(side * 0.55, side * 0.15, side * 0.3, side * 0.3);
        gc->SetBrush(wxBrush(wxColour(70, 150, 80)));
        gc->DrawEllipse(-side * 0.2, side * 0.6, side * 1.4, side * 0.8);
        gc->SetPen(wxPen(wxColour(70, 130, 200), 1));
        gc->StrokeLine(side * 0.1, side * 0.3, side * 0.45, side * 0.3);
        gc->StrokeLine(side * 0.1, side * 0.4, side * 0.35, side * 0.4);
    }
    return bitmap.ConvertToImage();
}

// `text` with %WIDTH% and %HEIGHT% filled in from `size`.
zil::String withSize(zil::String text, const wxSize& size)
{
    text.Replace(L"%WIDTH%", zil::toString(int64_t(size.x)));
    text.Replace(L"%HEIGHT%", zil::toString(int64_t(size.y)));
    return text;
}

// "1.0", "1.5", "1.25": one decimal unless a second is needed.
zil::String formatFactor(double factor)
{
    const bool tenths = std::abs(factor * 10 - std::round(factor * 10)) < 1e-9;
    return zilui::fromWX(wxString::FromCDouble(factor, tenths ? 1 : 2));
}

// Shows one version of a scaling image at a fixed size.
class CFixedImagePanel : public wxPanel {
public:
    CFixedImagePanel(wxWindow* parent, zilui::IScalingImage* image, const wxSize& size)
        : wxPanel(parent, wxID_ANY, wxDefaultPosition, size), m_version(image->getScaledVersion(size))
    {
        SetMinSize(size);
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
            wxPaintDC dc(this);
            m_version->paint(dc, wxPoint(0, 0));
        });
    }

private:
    // Held so that the version is built once, not on every paint.
    zil::P<zilui::IImage> m_version;
};

// Paints a version of the panel's own size, so the picture follows every resize; the version
// is kept until the size changes, not built again on every paint.
class CFollowingImagePanel : public zilui::CScalingImagePanel {
public:
    CFollowingImagePanel(wxWindow* parent, zilui::IScalingImage* image) : zilui::CScalingImagePanel(parent)
    {
        setImage(image);
        SetMinSize(image->getBaseSize());
        Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
            Refresh(false);
            event.Skip();
        });
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) { onPaint(); });
    }

private:
    void onPaint()
    {
        wxAutoBufferedPaintDC dc(this);
        const wxSize size = GetClientSize();
        if (size.x < 1 || size.y < 1)
            return;
        paint(dc, wxPoint(0, 0));
        const wxString label = toWX(withSize(ZILUI_TR("%WIDTH% x %HEIGHT% pixels"), size));
        dc.SetFont(GetFont().Bold());
        dc.SetTextForeground(*wxWHITE);
        const wxSize extent = dc.GetTextExtent(label);
        dc.DrawText(label, (size.x - extent.x) / 2, (size.y - extent.y) / 2);
    }
};

wxStaticText* makeHeading(wxWindow* parent, const zil::String& text)
{
    auto* heading = new wxStaticText(parent, wxID_ANY, toWX(text));
    heading->SetFont(heading->GetFont().Bold());
    return heading;
}

// A picture over its caption, both centred.
wxSizer* makeCell(wxWindow* parent, wxWindow* picture, const zil::String& caption)
{
    auto* cell = new wxBoxSizer(wxVERTICAL);
    cell->Add(picture, 0, wxALIGN_CENTER_HORIZONTAL);
    cell->Add(new wxStaticText(parent, wxID_ANY, toWX(caption), wxDefaultPosition, wxDefaultSize,
                               wxALIGN_CENTER_HORIZONTAL),
              0, wxALIGN_CENTER_HORIZONTAL | wxTOP, 4);
    return cell;
}

} // namespace

wxWindow* makeNinePartPicture(wxWindow* parent, const wxSize& size)
{
    zil::P<CCompositeScalingImage> image(
        new CCompositeScalingImage(makeNinePartSource(), zil::CMargins(kNinePartMargin), CCompositeScalingImage::center));
    return new CFixedImagePanel(parent, image.get(), size);
}

wxWindow* makeFollowingNinePart(wxWindow* parent)
{
    zil::P<CCompositeScalingImage> image(
        new CCompositeScalingImage(makeNinePartSource(), zil::CMargins(kNinePartMargin), CCompositeScalingImage::center));
    return new CFollowingImagePanel(parent, image.get());
}

wxWindow* makeImagesPage(wxWindow* parent)
{
    constexpr int kGap = 8;      // pixels between items
    constexpr int kSection = 16; // pixels between sections
    auto* page = new wxScrolledWindow(parent);
    auto* sizer = new wxBoxSizer(wxVERTICAL);

    const wxImage ninePart = makeNinePartSource();
    const zil::CMargins cut(kNinePartMargin);

    // The four focus modes, next to the source they scale.
    sizer->Add(
        makeHeading(
            page,
            withSize(
                ZILUI_TR("Nine-part image in the four scale focus modes, each at %WIDTH% x %HEIGHT% pixels"),
                kFocusTarget)),
        0, wxALL, kGap);
    auto* focusRow = new wxBoxSizer(wxHORIZONTAL);
    {
        zil::P<CScalingImage> source(new CScalingImage(ninePart));
        focusRow->Add(
            makeCell(page, new CFixedImagePanel(page, source.get(), source->getBaseSize()),
                     withSize(ZILUI_TR("Source\n%WIDTH% x %HEIGHT% pixels"), source->getBaseSize())),
            0, wxRIGHT, 2 * kGap);
    }
    const struct {
        CCompositeScalingImage::ScaleFocus focus;
        zil::String name;
    } focusModes[] = {
        {CCompositeScalingImage::center, ZILUI_TR("Middle stretches")},
        {CCompositeScalingImage::margins, ZILUI_TR("Margins stretch")},
        {CCompositeScalingImage::horzCenterVertMargins, ZILUI_TR("Middle across,\nmargins down")},
        {CCompositeScalingImage::horzMarginsVertCenter, ZILUI_TR("Margins across,\nmiddle down")},
    };
    for (const auto& mode : focusModes) {
        zil::P<CCompositeScalingImage> image(new CCompositeScalingImage(ninePart, cut, mode.focus));
        focusRow->Add(makeCell(page, new CFixedImagePanel(page, image.get(), kFocusTarget), mode.name), 0,
                      wxRIGHT, kGap);
    }
    sizer->Add(focusRow, 0, wxLEFT | wxRIGHT, kGap);

    // The whole picture at several factors of its base size.
    sizer->AddSpacer(kSection);
    sizer->Add(makeHeading(page, ZILUI_TR("Whole picture at several factors")), 0, wxLEFT | wxRIGHT, kGap);
    sizer->AddSpacer(kGap);
    auto* wholeRow = new wxBoxSizer(wxHORIZONTAL);
    zil::P<CScalingImage> whole(new CScalingImage(makeWholeSource()));
    for (const double factor : kWholeFactors) {
        const wxSize base = whole->getBaseSize();
        const wxSize size(static_cast<int>(std::lround(base.x * factor)),
                          static_cast<int>(std::lround(base.y * factor)));
        zil::String caption = withSize(ZILUI_TR("Factor %FACTOR%\n%WIDTH% x %HEIGHT% pixels"), size);
        caption.Replace(L"%FACTOR%", zilui::fromWX(wxString::FromCDouble(factor, 1)));
        wholeRow->Add(makeCell(page, new CFixedImagePanel(page, whole.get(), size), caption), 0,
                      wxALIGN_BOTTOM | wxRIGHT, 2 * kGap);
    }
    sizer->Add(wholeRow, 0, wxLEFT | wxRIGHT, kGap);

    // One resource at several factors, as the resource manager picks and scales its variants.
    sizer->AddSpacer(kSection);
    sizer->Add(makeHeading(page, ZILUI_TR("One resource at several factors: the variant the resource manager picked")),
               0, wxLEFT | wxRIGHT, kGap);
    sizer->AddSpacer(kGap);
    auto* resourceRow = new wxBoxSizer(wxHORIZONTAL);
    const zil::P<zilui::CResourceManager>& manager = zilui::CResourceManager::get();
    for (const double factor : kResourceFactors) {
        zil::String caption;
        wxBitmap bitmap;
        try {
            zil::Path file;
            bitmap = manager->loadBitmapByTitle(kResourceTitle, &file, factor);
            if (file.isEmpty() || !bitmap.IsOk()) {
                caption = ZILUI_TR("%FACTOR%: no file found");
            } else {
                // The variant's factor is in its file name; no second lookup needed.
                double found = 1.0;
                zilui::CResourceManager::extractResolutionFactorFromFileTitle(file.getTitle(), found);
                caption = withSize(zilui::CResourceManager::needToScaleImage(found, factor)
                                       ? ZILUI_TR("%FACTOR%: %FILE%\nscaled to %WIDTH% x %HEIGHT% pixels")
                                       : ZILUI_TR("%FACTOR%: %FILE%\n%WIDTH% x %HEIGHT% pixels"),
                                   bitmap.GetSize());
                caption.Replace(L"%FILE%", file.getFileName());
            }
        } catch (const zil::CError& e) {
            caption = ZILUI_TR("%FACTOR%: %ERROR%");
            caption.Replace(L"%ERROR%", e.getMessage());
        }
        caption.Replace(L"%FACTOR%", formatFactor(factor));
        wxWindow* picture = bitmap.IsOk() ? static_cast<wxWindow*>(new wxStaticBitmap(page, wxID_ANY, bitmap))
                                          : new wxPanel(page, wxID_ANY, wxDefaultPosition, wxSize(1, 1));
        resourceRow->Add(makeCell(page, picture, caption), 0, wxALIGN_BOTTOM | wxRIGHT, 2 * kGap);
    }
    sizer->Add(resourceRow, 0, wxLEFT | wxRIGHT, kGap);

    // A vector nine-part picture: rendered whole for the screen, then cut, so its corners stay
    // sharp at every size and factor.
    sizer->AddSpacer(kSection);
    sizer->Add(makeHeading(page, ZILUI_TR("Vector nine-part picture (SVG) at three sizes")), 0, wxLEFT | wxRIGHT,
               kGap);
    sizer->AddSpacer(kGap);
    auto* vectorRow = new wxBoxSizer(wxHORIZONTAL);
    try {
        const zil::P<zilui::IScalingImage> vector = manager->loadScalingImageByTitle(L"gallery/vectorframe");
        if (!vector)
            throw zil::CError(ZILUI_TR("The picture 'gallery/vectorframe' was not found."));
        for (const wxSize& size : {wxSize(48, 48), wxSize(160, 64), wxSize(240, 120)})
            vectorRow->Add(makeCell(page, new CFixedImagePanel(page, vector.get(), size),
                                    withSize(ZILUI_TR("%WIDTH% x %HEIGHT% pixels"), size)),
                           0, wxALIGN_BOTTOM | wxRIGHT, 2 * kGap);
    } catch (const zil::CError& e) {
        vectorRow->Add(new wxStaticText(page, wxID_ANY, toWX(e.getMessage())));
    }
    sizer->Add(vectorRow, 0, wxLEFT | wxRIGHT, kGap);

    // Grows with the page, so resizing the window resizes the picture.
    sizer->AddSpacer(kSection);
    sizer->Add(
        makeHeading(page, ZILUI_TR("Nine-part image that follows its panel's size (resize the window)")), 0,
        wxLEFT | wxRIGHT, kGap);
    zil::P<CCompositeScalingImage> following(
        new CCompositeScalingImage(ninePart, cut, CCompositeScalingImage::center));
    sizer->Add(new CFollowingImagePanel(page, following.get()), 1, wxEXPAND | wxALL, kGap);

    page->SetSizer(sizer);
    page->SetScrollRate(kGap, kGap);
    return page;
}

} // namespace gallery
