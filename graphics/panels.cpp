// SPDX-License-Identifier: MIT
#include "zilui/graphics/panels.h"

#include "zilui/app/strings.h"

#include <zil/error.h>

#include <wx/brush.h>
#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/pen.h>

#include <algorithm>
#include <cmath>

wxIMPLEMENT_DYNAMIC_CLASS(zilui::CBitmapPanel, wxPanel);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CScalingImagePanel, wxPanel);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CGradientPanel, wxPanel);
wxIMPLEMENT_DYNAMIC_CLASS(zilui::CImageAndTextPanel, wxPanel);

namespace zilui {

namespace {

const wxColour kOpaqueWhite(255, 255, 255, 255);

bool hasArea(const wxBitmap& bitmap)
{
    return bitmap.IsOk() && bitmap.GetWidth() > 0 && bitmap.GetHeight() > 0;
}

} // namespace

// ---- CBitmapPanel ----

wxBEGIN_EVENT_TABLE(CBitmapPanel, wxPanel)
    EVT_PAINT(CBitmapPanel::OnPaint)
    EVT_SIZE(CBitmapPanel::OnSize)
    EVT_ERASE_BACKGROUND(CBitmapPanel::OnEraseBackground)
wxEND_EVENT_TABLE()

CBitmapPanel::CBitmapPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                           long style, const wxString& name)
{
    construct();
    Create(parent, id, pos, size, style, name);
}

void CBitmapPanel::construct()
{
    SetOwnBackgroundColour(kOpaqueWhite);
}

bool CBitmapPanel::Create(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                          long style, const wxString& name)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    return wxPanel::Create(parent, id, pos, size, style, name);
}

void CBitmapPanel::SetBitmap(const wxBitmap& bitmap)
{
    m_bitmap = bitmap;
    UpdateScaledBitmap();
    Refresh();
}

void CBitmapPanel::UpdateScaledBitmap()
{
    const wxSize size = GetClientSize();
    if (!hasArea(m_bitmap) || size.x < 1 || size.y < 1) {
        m_scaledBitmap = wxNullBitmap;
        return;
    }
    // At the screen's physical resolution, drawn at the client size.
    const double scale = GetContentScaleFactor();
    const wxSize physical = toPhysicalSize(size, scale);
    // Larger than a picture can be: nothing to draw rather than a bitmap cairo refuses.
    if (!isPaintableSize(physical)) {
        m_scaledBitmap = wxNullBitmap;
        return;
    }
    wxImage image = m_bitmap.ConvertToImage();
    image.Rescale(physical.x, physical.y, wxIMAGE_QUALITY_HIGH);
    m_scaledBitmap = wxBitmap(image, 32, scale);
}

void CBitmapPanel::paint(wxDC& dc, const wxPoint& point)
{
    if (hasArea(m_scaledBitmap))
        dc.DrawBitmap(m_scaledBitmap, point, false);
    else
        fillSolidRect(dc, wxRect(point, GetSize()), GetBackgroundColour());
}

void CBitmapPanel::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    paint(dc, wxPoint(0, 0));
}

void CBitmapPanel::OnSize(wxSizeEvent& event)
{
    UpdateScaledBitmap();
    Refresh();
    event.Skip();
}

void CBitmapPanel::OnEraseBackground(wxEraseEvent&) {}

// ---- CScalingImagePanel ----

wxBEGIN_EVENT_TABLE(CScalingImagePanel, wxPanel)
    EVT_ERASE_BACKGROUND(CScalingImagePanel::OnEraseBackground)
    EVT_PAINT(CScalingImagePanel::OnPaint)
wxEND_EVENT_TABLE()

CScalingImagePanel::CScalingImagePanel(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                                       const wxSize& size, long style, const wxString& name)
{
    construct();
    wxPanel::Create(parent, id, pos, size, style, name);
}

void CScalingImagePanel::construct()
{
    // Before creation, as wxWidgets asks.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetOwnBackgroundColour(kOpaqueWhite);
}

void CScalingImagePanel::setImage(IScalingImage* image)
{
    m_image = image;
    m_version.reset();
    Refresh();
}

void CScalingImagePanel::paint(wxDC& dc, const wxPoint& point)
{
    const wxSize size = getPaintSize();
    if (!m_image)
        fillSolidRect(dc, wxRect(point, size), GetBackgroundColour());
    m_version.paint(m_image.get(), dc, point, size, GetContentScaleFactor());
}

void CScalingImagePanel::OnEraseBackground(wxEraseEvent&) {}

void CScalingImagePanel::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    paint(dc, wxPoint(0, 0));
}

// ---- CGradientPanel ----

wxBEGIN_EVENT_TABLE(CGradientPanel, wxPanel)
    EVT_ERASE_BACKGROUND(CGradientPanel::OnEraseBackground)
    EVT_PAINT(CGradientPanel::OnPaint)
wxEND_EVENT_TABLE()

CGradientPanel::CGradientPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos,
                               const wxSize& size, long style, const wxString& name)
{
    construct();
    wxPanel::Create(parent, id, pos, size, style, name);
}

void CGradientPanel::construct()
{
    m_defaultGradient = new CLinearGradient(wxColour(0, 0, 0, 255), wxColour(0, 0, 0, 255));
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetOwnBackgroundColour(kOpaqueWhite);
}

void CGradientPanel::setGradient(IGradient* gradient)
{
    m_gradient = gradient;
    Refresh();
}

void CGradientPanel::addOverlay(IScalingImage* image)
{
    m_overlays.push_back(Overlay{image, CPhysicalVersion()});
}

void CGradientPanel::changeOverlay(int index, IScalingImage* image)
{
    if (index < 0 || static_cast<size_t>(index) >= m_overlays.size()) {
        const zil::String number = zil::toString(static_cast<int64_t>(index));
        const zil::String count = zil::toString(static_cast<int64_t>(m_overlays.size()));
        zil::CInvalidArgError error(L"Overlay " + number +
                                        L" does not exist; the gradient panel has " + count +
                                        L" overlays",
                                    L"CGradientPanel::changeOverlay");
        error.setProp(L"index", number);
        error.setProp(L"count", count);
        throw error;
    }
    Overlay& overlay = m_overlays[static_cast<size_t>(index)];
    overlay.image = image;
    overlay.version.reset();
    Refresh();
}

void CGradientPanel::addTextOverlay(const zil::String& text, const wxPoint& position, wxFont font,
                                    wxColour color)
{
    m_textOverlays.push_back(TextOverlay{text, position, font, color});
}

void CGradientPanel::paint(wxDC& dc, const wxPoint& point)
{
    const wxSize size = GetClientSize();
    IGradient* gradient = m_gradient.get();
    if (!gradient) {
        m_defaultGradient->setColors(GetForegroundColour(), GetBackgroundColour());
        gradient = m_defaultGradient.get();
    }
    gradient->paint(dc, wxRect(point, size));

    for (Overlay& overlay : m_overlays)
        overlay.version.paint(overlay.image.get(), dc, point, size, GetContentScaleFactor());

    wxDCFontChanger fontChanger(dc);
    wxDCTextColourChanger colorChanger(dc);
    for (const TextOverlay& text : m_textOverlays) {
        // An invalid font or colour keeps the one in use.
        if (text.font.IsOk())
            fontChanger.Set(text.font);
        if (text.color.IsOk())
            colorChanger.Set(text.color);
        dc.DrawText(toWX(text.text), point + text.position);
    }
}

void CGradientPanel::OnEraseBackground(wxEraseEvent&) {}

void CGradientPanel::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    paint(dc, wxPoint(0, 0));
}

// ---- CImageAndTextPanel ----

wxBEGIN_EVENT_TABLE(CImageAndTextPanel, wxPanel)
    EVT_ERASE_BACKGROUND(CImageAndTextPanel::onEraseBackground)
    EVT_PAINT(CImageAndTextPanel::onPaint)
wxEND_EVENT_TABLE()

CImageAndTextPanel::CImageAndTextPanel(const wxBitmap& bitmap, const zil::String& text,
                                       wxWindow* parent)
{
    create(bitmap, text, parent);
}

CImageAndTextPanel::~CImageAndTextPanel() = default;

bool CImageAndTextPanel::create(const wxBitmap& bitmap, const zil::String& text, wxWindow* parent)
{
    m_bitmap = bitmap;
    if (!wxPanel::Create(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                         wxTAB_TRAVERSAL | wxNO_BORDER, wxPanelNameStr))
        return false;
    if (parent)
        SetBackgroundColour(parent->GetBackgroundColour());
    SetLabel(toWX(text));
    return true;
}

void CImageAndTextPanel::setBitmap(wxBitmap bitmap)
{
    m_bitmap = std::move(bitmap);
    InvalidateBestSize();
    Refresh();
}

void CImageAndTextPanel::setOverlayBitmap(const wxBitmap* bitmap)
{
    m_overlayBitmap.reset(bitmap ? new wxBitmap(*bitmap) : nullptr);
    Refresh();
}

void CImageAndTextPanel::setImageTextSpace(int space)
{
    m_imageTextSpace = space;
    InvalidateBestSize();
    Refresh();
}

void CImageAndTextPanel::setSeeThrough(bool seeThrough)
{
    m_seeThrough = seeThrough;
    Refresh();
}

double CImageAndTextPanel::getUICoordScaleFactor() const
{
    if (m_uiScaleFactor == 0.0)
        m_uiScaleFactor = queryUICoordScaleFactor();
    return m_uiScaleFactor;
}

double CImageAndTextPanel::queryUICoordScaleFactor() const
{
    return zilui::queryUICoordScaleFactor(*this);
}

int CImageAndTextPanel::scaleInt(int value, double factor)
{
    return scaleLength(value, factor);
}

wxSize CImageAndTextPanel::getBitmapSize(const wxBitmap& bitmap)
{
    return getLogicalBitmapSize(bitmap);
}

wxSize CImageAndTextPanel::DoGetBestSize() const
{
    wxClientDC dc(const_cast<CImageAndTextPanel*>(this));
    dc.SetFont(GetFont());
    wxCoord textWidth = 0;
    wxCoord textHeight = 0;
    dc.GetMultiLineTextExtent(GetLabel(), &textWidth, &textHeight);
    const wxSize bitmapSize = getBitmapSize(m_bitmap);
    if (bitmapSize.x <= 0)
        return wxSize(textWidth, textHeight);
    return wxSize(textWidth + bitmapSize.x + scaleInt(m_imageTextSpace, getUICoordScaleFactor()),
                  std::max(bitmapSize.y, textHeight));
}

void CImageAndTextPanel::paintContents(wxDC& dc)
{
    dc.SetFont(GetFont());
    const int clientHeight = GetClientSize().y;
    const wxSize bitmapSize = getBitmapSize(m_bitmap);
    int textX = 0;
    if (bitmapSize.y > 0) {
        const int bitmapY = (clientHeight - bitmapSize.y) / 2;
        dc.DrawBitmap(m_bitmap, 0, bitmapY, true);
        if (m_overlayBitmap && m_overlayBitmap->IsOk())
            dc.DrawBitmap(*m_overlayBitmap, 0, bitmapY, true);
        textX = bitmapSize.x + scaleInt(m_imageTextSpace, getUICoordScaleFactor());
    }
    const wxColour foreground = GetForegroundColour();
    if (foreground != wxNullColour)
        dc.SetTextForeground(foreground);
    const wxString label = GetLabel();
    wxCoord textWidth = 0;
    wxCoord textHeight = 0;
    dc.GetMultiLineTextExtent(label, &textWidth, &textHeight);
    dc.DrawText(label, textX, (clientHeight - textHeight) / 2);
}

void CImageAndTextPanel::onEraseBackground(wxEraseEvent& event)
{
    auto* paintable = m_seeThrough ? dynamic_cast<IWXPaintable*>(GetParent()) : nullptr;
    if (!paintable || !event.GetDC()) {
        event.Skip();
        return;
    }
    paintable->paint(*event.GetDC(), -GetPosition());
}

void CImageAndTextPanel::onPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    paintContents(dc);
}

} // namespace zilui
