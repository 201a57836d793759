// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>

#include <zil/margins.h>
#include <zil/object.h>

#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/pen.h>

namespace zilui {

// The layers of a skinned control that do not change between paints at one size: background,
// underlay and border, drawn once into one bitmap per size. Controls whose skin, state and
// scale agree share one instance, and through CScalingImage one bitmap per size, so a repaint
// is one bitmap draw plus what changes. GUI thread only.
class CComposedSkinLayers : public CScalingImage {
public:
    // Controls of more physical pixels paint their layers anew: each state would keep a
    // picture of that size, and sharing pays off for controls of button size.
    static constexpr int64_t kMaxPixels = int64_t(1) << 22;

    struct Key {
        wxColour background;
        // Painted instead of `background` where set.
        zil::P<IGradient> gradient;
        zil::P<IScalingImage> underlay;
        // Border line widths in logical pixels; all 0: none.
        zil::CMargins borderWidths{0, 0, 0, 0};
        // Each side on its own (CSS border of unequal sides) instead of one frame.
        bool borderSides = false;
        wxColour borderColor;
        wxPenStyle borderStyle = wxPENSTYLE_SOLID;
        // Physical pixels per logical pixel.
        double scale = 1.0;

        bool operator<(const Key& other) const;
        bool operator==(const Key& other) const { return !(*this < other) && !(other < *this); }
    };

    // The instance for `key`, shared while anybody holds it.
    static zil::P<CComposedSkinLayers> get(const Key& key);
    // Instances alive, and bitmaps held by all of them; for diagnostics.
    static size_t getInstanceCount();
    static size_t getBitmapCount();

    const Key& getKey() const { return m_key; }

    // The border of a skinned control along the inside of `r`, widths in logical pixels. A line
    // covers the device pixels of the logical ones it covers at 100 %: the outermost two at
    // 200 %, and whole device pixels at fractional scales.
    static void drawBorder(wxDC& dc, const wxRect& r, const zil::CMargins& widths, bool sides, const wxColour& colour,
                           wxPenStyle style);
    // A frame in the DC's pen through the outermost rows and columns of `r`, on device pixels
    // as drawBorder().
    static void drawFrame(wxDC& dc, const wxRect& r);

protected:
    ~CComposedSkinLayers() override;
    // `size` in physical pixels; the bitmap carries the key's scale.
    wxBitmap createScaledBitmap(const wxSize& size) override;

private:
    explicit CComposedSkinLayers(const Key& key);

    Key m_key;
};

} // namespace zilui
