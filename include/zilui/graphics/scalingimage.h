// SPDX-License-Identifier: MIT
#pragma once

#include <zil/containers.h>
#include <zil/margins.h>
#include <zil/mutex.h>
#include <zil/object.h>
#include <zil/path.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/gdicmn.h>
#include <wx/image.h>

#include <cstdint>

class wxWindow;

namespace zilui {

// The largest picture the library makes: cairo refuses a side above 32,767 pixels, and one
// picture may take at most 256 MB (four bytes a pixel). What lies beyond is not painted.
constexpr int kMaxBitmapSide = 32767;
constexpr int64_t kMaxBitmapPixels = int64_t(1) << 26;

// Whether a picture of `size` pixels can be made: 1 to kMaxBitmapSide a side, kMaxBitmapPixels
// in all.
bool isPaintableSize(const wxSize& size);

// The device pixels that cover `logical` pixels at content scale `scale`, rounded up.
wxSize toPhysicalSize(const wxSize& logical, double scale);

// A length of logical pixels in window coordinates at `factor` (see queryUICoordScaleFactor),
// rounded up.
int scaleLength(int logical, double factor);

// Window coordinates per logical pixel of `window`: 1 where the toolkit already works in
// device-independent pixels, as GTK does also on a 200 % screen. Asks the window each time.
double queryUICoordScaleFactor(const wxWindow& window);

// The size of `bitmap` in window coordinates: a bitmap made for a 200 % screen has twice the
// pixels. 0 x 0 for an invalid bitmap.
wxSize getLogicalBitmapSize(const wxBitmap& bitmap);

// A picture of fixed size.
class IImage : public virtual zil::IBase {
public:
    virtual wxSize getSize() = 0;
    virtual void paint(wxDC& dc, const wxPoint& point) = 0;
    virtual wxBitmap getBitmap() = 0;
};

// A picture that can be had at any pixel size.
class IScalingImage : public virtual zil::IBase {
public:
    virtual wxSize getBaseSize() = 0;
    // Versions of equal size share their pixels while anybody holds one.
    virtual zil::P<IImage> getScaledVersion(const wxSize& size) = 0;
};

// A scaling image painted over an area of a window: built at the window's physical
// resolution (logical size × content scale factor) and drawn at logical size, so that it is
// sharp on a 200 % screen and not doubled. Keeps its version while size and scale stay.
class CPhysicalVersion {
public:
    // A null image paints nothing and drops the version.
    void paint(IScalingImage* image, wxDC& dc, const wxPoint& point, const wxSize& logicalSize, double scale);
    void reset();

private:
    zil::P<IImage> m_version;
    // m_version marked with its scale; only made when the scale is not 1.
    wxBitmap m_bitmap;
};

// Something that paints itself onto a device context; owned by whoever creates it.
class IWXPaintable {
public:
    virtual ~IWXPaintable() = default;
    virtual wxSize getPaintSize() = 0;
    virtual void paint(wxDC& dc, const wxPoint& point) = 0;
};

// Scales the whole source picture. Thread-safe: versions are built under the image's mutex,
// one at a time.
class CScalingImage : public zil::CBase, public virtual IScalingImage {
public:
    struct ScaledImageKey {
        int32_t width = 0;
        int32_t height = 0;

        ScaledImageKey() = default;
        ScaledImageKey(int32_t width_, int32_t height_) : width(width_), height(height_) {}
        explicit ScaledImageKey(const wxSize& size) : width(size.x), height(size.y) {}
        bool operator<(const ScaledImageKey& other) const
        {
            return width != other.width ? width < other.width : height < other.height;
        }
    };

    // One version's pixels, shared by every CScaledImage of its size. Only CScaledImage may
    // hold it: its last release has to happen under the owner's mutex.
    class CScaledImageData : public zil::CBase {
    public:
        CScaledImageData(CScalingImage* owner, const wxBitmap& bitmap, const wxSize& size);
        ~CScaledImageData() override;

        const wxSize& getSize() const { return m_size; }
        const wxBitmap& getBitmap() const { return m_bitmap; }

    private:
        zil::P<CScalingImage> m_owner;
        wxSize m_size;
        wxBitmap m_bitmap;
    };

    // What callers hold; keeps its version and the owning image alive.
    class CScaledImage : public zil::CBase, public virtual IImage {
    public:
        CScaledImage(CScalingImage* owner, CScaledImageData* data);
        ~CScaledImage() override;

        wxSize getSize() override { return m_data->getSize(); }
        void paint(wxDC& dc, const wxPoint& point) override;
        wxBitmap getBitmap() override { return m_data->getBitmap(); }

    private:
        zil::P<CScalingImage> m_owner;
        zil::P<CScaledImageData> m_data;
    };

    explicit CScalingImage(const wxImage& source);

    wxSize getBaseSize() override;
    zil::P<IImage> getScaledVersion(const wxSize& size) override;

    zil::CMutex& getMutex() { return m_mutex; }
    // Sizes of the versions alive at present; for diagnostics.
    size_t getVersionCount();

protected:
    ~CScalingImage() override;

    // Pixels of a new version; called with the mutex held.
    virtual wxBitmap createScaledBitmap(const wxSize& size);
    // Called with the mutex held by the version's last holder.
    void onDestructScaledImageData(const wxSize& size);

    const wxImage& getSource() const { return m_source; }

private:
    wxImage m_source;
    zil::CMutex m_mutex;
    // Not owning: each version erases its entry as it goes.
    zil::TMap<ScaledImageKey, CScaledImageData*> m_versions;
};

// Cuts the source into nine parts by four margins and scales the parts separately, so that
// borders and corners keep their look. Versions are assembled through a wxMemoryDC, so new
// sizes are to be requested on the GUI thread.
class CCompositeScalingImage : public CScalingImage {
public:
    enum ScaleFocus : int32_t {
        center = 0,                // margins keep their size, the middle stretches
        margins = 1,               // the middle keeps its size, the margins stretch
        horzCenterVertMargins = 2, // centre stretches horizontally, margins vertically
        horzMarginsVertCenter = 3, // margins stretch horizontally, centre vertically
    };

    // Widths of the three columns and heights of the three rows of a version, in pixels.
    // Columns and rows are placed one after the other from 0; a middle below 1 is not drawn.
    struct Layout {
        int columns[3] = {0, 0, 0};
        int rows[3] = {0, 0, 0};
    };

    CCompositeScalingImage(const wxImage& source, const zil::CMargins& cutMargins, ScaleFocus focus);

    // Loads `path` scaled by targetFactor / fileFactor, with the margins and focus of the
    // "<title>_params.ini" beside it (title before any "@", shared by resolution variants).
    // Margins in that file are in pixels of factor 1.0; an ".svg" is rendered at targetFactor.
    // Throws zil::CError for an unloadable picture or unknown scaleFocus; margin errors propagate.
    static zil::P<CCompositeScalingImage> load(const zil::Path& path, double fileFactor,
                                               double targetFactor);
    // The params file that load() reads for `path`.
    static zil::Path getParamsPath(const zil::Path& path);

    static ScaleFocus getHorzScaleFocus(ScaleFocus focus);
    static ScaleFocus getVertScaleFocus(ScaleFocus focus);
    // Margins cut back to a picture of `size`: the far side gives way first.
    static zil::CMargins clampMargins(const zil::CMargins& cutMargins, const wxSize& size);
    // Whether a picture without alpha or mask needs a transparent background because a
    // stretching part has no pixels. `cutMargins` already clamped to `size`.
    static bool needsTransparentBackground(const zil::CMargins& cutMargins, const wxSize& size,
                                           ScaleFocus focus);
    // Column widths and row heights of a version of `target`; `middle` is the middle part's
    // own size (0 where it has none).
    static Layout computeLayout(const wxSize& target, const zil::CMargins& cutMargins,
                                const wxSize& middle, ScaleFocus focus);

    const zil::CMargins& getMargins() const { return m_margins; }
    ScaleFocus getScaleFocus() const { return m_focus; }
    bool hasTransparentBackground() const { return m_transparentBackground; }
    // Row by row from the top left; invalid where the part has no area.
    const wxImage& getPart(int index) const { return m_parts[index]; }

protected:
    wxBitmap createScaledBitmap(const wxSize& size) override;

    wxImage getSubImage(int x, int y, int width, int height);
    wxBitmap createScaledBitmap(wxImage& part, int width, int height);
    static wxBitmap imageToBitmap(wxImage& image);
    static int getWidth(wxImage& image);
    static int getHeight(wxImage& image);

private:
    zil::CMargins m_margins;
    ScaleFocus m_focus;
    wxImage m_parts[9];
    bool m_transparentBackground = false;
};

// A drawing surface whose background starts fully transparent.
class CTransparentMemoryDC : public zil::CBase {
public:
    CTransparentMemoryDC(int width, int height);
    // Draws into `target`, which must outlive this object.
    explicit CTransparentMemoryDC(wxBitmap* target);
    ~CTransparentMemoryDC() override;

    void drawBitmap(const wxBitmap& bitmap, int x, int y);
    // Final once this object is gone, since the DC holds the bitmap selected until then.
    wxBitmap& getBitmap() { return *m_target; }
    wxMemoryDC& getDC() { return m_dc; }

private:
    wxBitmap m_bitmap;
    wxBitmap* m_target;
    wxMemoryDC m_dc;
};

} // namespace zilui
