// SPDX-License-Identifier: MIT
#pragma once

#include <zil/object.h>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/gdicmn.h>

#include <cstdint>

namespace zilui {

// Fills a rectangle of a device context as a background. Gradients paint on the GUI thread.
class IGradient : public virtual zil::IBase {
public:
    virtual void paint(wxDC& dc, const wxRect& rect) = 0;
};

// Paints nothing; for backgrounds that are left as they are.
class CNullGradient : public zil::CBase, public virtual IGradient {
public:
    void paint(wxDC& dc, const wxRect& rect) override;
};

// One flat colour. Throws zil::CInvalidArgError for an invalid colour.
class CSingleColorGradient : public zil::CBase, public virtual IGradient {
public:
    explicit CSingleColorGradient(const wxColour& color);

    void setColor(const wxColour& color);
    const wxColour& getColor() const { return m_color; }

    // Leaves the DC's pen and brush as they were; a rectangle without area is not drawn.
    void paint(wxDC& dc, const wxRect& rect) override;

private:
    wxColour m_color;
};

// Fills `rect` with one colour, pen and brush of the DC left as they were; a rectangle
// without area is not drawn.
void fillSolidRect(wxDC& dc, const wxRect& rect, const wxColour& color);

// Vertical blend from the top colour (first row) towards the bottom colour. Colour alpha is
// ignored. Keeps one tile of kTileWidth pixels for the last painted height and blits it across
// the rectangle. Throws zil::CInvalidArgError for an invalid colour.
class CLinearGradient : public zil::CBase, public virtual IGradient {
public:
    static constexpr int kTileWidth = 64;

    CLinearGradient(const wxColour& top, const wxColour& bottom);

    // Rebuilds the tile on the next paint unless both colours are the stored ones.
    void setColors(const wxColour& top, const wxColour& bottom);
    const wxColour& getTopColor() const { return m_top; }
    const wxColour& getBottomColor() const { return m_bottom; }

    void paint(wxDC& dc, const wxRect& rect) override;

protected:
    // Height of the tile in pixels; rebuilds it on the next paint when it changes.
    void setHeight(int height);
    // Tile for the stored colours and height; wxNullBitmap for a height below 1.
    virtual void updateTileCache();

    int getTileHeight() const { return m_tileHeight; }
    const wxBitmap& getTileBitmap() const { return m_tileBitmap; }

private:
    wxColour m_top;
    wxColour m_bottom;
    int32_t m_tileHeight = 0;
    wxBitmap m_tileBitmap;
    bool m_dirty = true;
};

// Two gradients one above the other; the lower one gets `lowerShare` (0 to 1) of the height,
// rounded down in favour of the upper one. Holds a reference to both. Throws
// zil::CInvalidArgError for a missing gradient or a share outside 0 to 1.
class CGradientCombiner : public zil::CBase, public virtual IGradient {
public:
    CGradientCombiner(IGradient* upper, IGradient* lower, double lowerShare);

    void paint(wxDC& dc, const wxRect& rect) override;

    const zil::P<IGradient>& getUpper() const { return m_upper; }
    const zil::P<IGradient>& getLower() const { return m_lower; }
    double getLowerShare() const { return m_lowerShare; }

private:
    zil::P<IGradient> m_upper;
    zil::P<IGradient> m_lower;
    double m_lowerShare;
};

} // namespace zilui
