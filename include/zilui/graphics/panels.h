// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>

#include <zil/containers.h>
#include <zil/object.h>
#include <zil/string.h>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/font.h>
#include <wx/panel.h>

#include <memory>

namespace zilui {

// Stretches a bitmap over the whole client area, aspect ratio not kept; without one, fills
// with the background colour (white unless set).
class CBitmapPanel : public wxPanel {
public:
    CBitmapPanel() { construct(); }
    CBitmapPanel(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize, long style = wxTAB_TRAVERSAL | wxNO_BORDER,
                 const wxString& name = wxPanelNameStr);

    // Second step after the default constructor.
    bool Create(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = wxTAB_TRAVERSAL | wxNO_BORDER,
                const wxString& name = wxPanelNameStr);

    void SetBitmap(const wxBitmap& bitmap);
    const wxBitmap& GetBitmap() const { return m_bitmap; }
    // Rebuilds the picture at the present client size.
    void UpdateScaledBitmap();
    // Draws the content with its top-left corner at `point`.
    void paint(wxDC& dc, const wxPoint& point);

protected:
    void construct();

    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnEraseBackground(wxEraseEvent& event);

private:
    wxBitmap m_bitmap;
    wxBitmap m_scaledBitmap;

    wxDECLARE_DYNAMIC_CLASS(CBitmapPanel);
    wxDECLARE_EVENT_TABLE();
};

// Shows a scaling image at the client size, keeping the version of the last painted size.
class CScalingImagePanel : public wxPanel, public IWXPaintable {
public:
    CScalingImagePanel() { construct(); }
    CScalingImagePanel(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                       const wxSize& size = wxDefaultSize, long style = wxTAB_TRAVERSAL | wxNO_BORDER,
                       const wxString& name = wxPanelNameStr);

    // Null shows the background colour.
    void setImage(IScalingImage* image);
    const zil::P<IScalingImage>& getImage() const { return m_image; }

    wxSize getPaintSize() override { return GetClientSize(); }
    void paint(wxDC& dc, const wxPoint& point) override;

protected:
    void construct();

    void OnEraseBackground(wxEraseEvent& event);
    void OnPaint(wxPaintEvent& event);

private:
    zil::P<IScalingImage> m_image;
    CPhysicalVersion m_version;

    wxDECLARE_DYNAMIC_CLASS(CScalingImagePanel);
    wxDECLARE_EVENT_TABLE();
};

// A gradient with scaling images over it, each at the full client size, and lines of text on
// top of those.
class CGradientPanel : public wxPanel, public IWXPaintable {
public:
    struct Overlay {
        zil::P<IScalingImage> image;
        CPhysicalVersion version;
    };
    struct TextOverlay {
        zil::String text;
        // Relative to the panel's top-left corner.
        wxPoint position;
        wxFont font;
        wxColour color;
    };

    CGradientPanel() { construct(); }
    CGradientPanel(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                   const wxSize& size = wxDefaultSize, long style = wxTAB_TRAVERSAL | wxNO_BORDER,
                   const wxString& name = wxPanelNameStr);

    // Null goes back to the default: foreground colour at the top to background colour at
    // the bottom.
    void setGradient(IGradient* gradient);
    const zil::P<IGradient>& getGradient() const { return m_gradient; }
    // A null image is allowed and paints nothing.
    void addOverlay(IScalingImage* image);
    // Throws zil::CInvalidArgError when `index` is not that of an existing overlay.
    void changeOverlay(int index, IScalingImage* image);
    void addTextOverlay(const zil::String& text, const wxPoint& position, wxFont font, wxColour color);
    const zil::TArray<Overlay>& getOverlays() const { return m_overlays; }
    const zil::TArray<TextOverlay>& getTextOverlays() const { return m_textOverlays; }

    wxSize getPaintSize() override { return GetClientSize(); }
    void paint(wxDC& dc, const wxPoint& point) override;

protected:
    void construct();

    void OnEraseBackground(wxEraseEvent& event);
    void OnPaint(wxPaintEvent& event);

private:
    zil::P<CLinearGradient> m_defaultGradient;
    zil::P<IGradient> m_gradient;
    zil::TArray<Overlay> m_overlays;
    zil::TArray<TextOverlay> m_textOverlays;

    wxDECLARE_DYNAMIC_CLASS(CGradientPanel);
    wxDECLARE_EVENT_TABLE();
};

// A bitmap, centred vertically at the left, followed by the label. With see-through on, a
// parent that is an IWXPaintable paints the background behind it.
class CImageAndTextPanel : public wxPanel {
public:
    CImageAndTextPanel() = default;
    CImageAndTextPanel(const wxBitmap& bitmap, const zil::String& text, wxWindow* parent);
    ~CImageAndTextPanel() override;

    // Second step after the default constructor.
    bool create(const wxBitmap& bitmap, const zil::String& text, wxWindow* parent);

    void setBitmap(wxBitmap bitmap);
    const wxBitmap& getBitmap() const { return m_bitmap; }
    // Drawn over the bitmap; copied, null removes it.
    void setOverlayBitmap(const wxBitmap* bitmap);
    const wxBitmap* getOverlayBitmap() const { return m_overlayBitmap.get(); }
    // Gap between bitmap and text in logical pixels, before the UI scale factor.
    void setImageTextSpace(int space);
    int getImageTextSpace() const { return m_imageTextSpace; }
    void setSeeThrough(bool seeThrough);
    bool getSeeThrough() const { return m_seeThrough; }

    // Asked of the window on first use, then kept.
    double getUICoordScaleFactor() const;
    // ceil(value * factor).
    static int scaleInt(int value, double factor);
    // 0 by 0 for an invalid bitmap.
    static wxSize getBitmapSize(const wxBitmap& bitmap);

    // Draws bitmap, overlay and label into `dc` as they appear in the client area.
    void paintContents(wxDC& dc);

    bool ShouldInheritColours() const override { return true; }

protected:
    wxSize DoGetBestSize() const override;
    // What getUICoordScaleFactor caches.
    virtual double queryUICoordScaleFactor() const;

    void onEraseBackground(wxEraseEvent& event);
    void onPaint(wxPaintEvent& event);

private:
    // 0 until first asked for.
    mutable double m_uiScaleFactor = 0.0;
    wxBitmap m_bitmap;
    std::unique_ptr<wxBitmap> m_overlayBitmap;
    int m_imageTextSpace = 10;
    bool m_seeThrough = false;

    wxDECLARE_DYNAMIC_CLASS(CImageAndTextPanel);
    wxDECLARE_EVENT_TABLE();
};

} // namespace zilui
