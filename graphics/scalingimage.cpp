// SPDX-License-Identifier: MIT
#include "zilui/graphics/scalingimage.h"

#include "zilui/app/streams.h"
#include "zilui/app/strings.h"

#include "resolutionvariants.h"
#include "svgpicture.h"

#include <zil/error.h>
#include <zil/log.h>

#include <wx/fileconf.h>
#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/window.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zilui {

bool isPaintableSize(const wxSize& size)
{
    return size.x >= 1 && size.y >= 1 && size.x <= kMaxBitmapSide && size.y <= kMaxBitmapSide &&
           int64_t(size.x) * size.y <= kMaxBitmapPixels;
}

wxSize toPhysicalSize(const wxSize& logical, double scale)
{
    return wxSize(static_cast<int>(std::ceil(logical.x * scale)), static_cast<int>(std::ceil(logical.y * scale)));
}

int scaleLength(int logical, double factor)
{
    return static_cast<int>(std::ceil(logical * factor));
}

double queryUICoordScaleFactor(const wxWindow& window)
{
    constexpr int kProbe = 1000;
    return static_cast<double>(window.FromDIP(kProbe)) / kProbe;
}

wxSize getLogicalBitmapSize(const wxBitmap& bitmap)
{
    return bitmap.IsOk() ? wxSize(wxRound(bitmap.GetLogicalWidth()), wxRound(bitmap.GetLogicalHeight())) : wxSize(0, 0);
}

// ---- CScalingImage ----

CScalingImage::CScaledImageData::CScaledImageData(CScalingImage* owner, const wxBitmap& bitmap,
                                                  const wxSize& size)
    : m_owner(owner), m_size(size), m_bitmap(bitmap)
{
}

CScalingImage::CScaledImageData::~CScaledImageData()
{
    // The last CScaledImage holds the owner's mutex while it drops us.
    m_owner->onDestructScaledImageData(m_size);
}

CScalingImage::CScaledImage::CScaledImage(CScalingImage* owner, CScaledImageData* data)
    : m_owner(owner), m_data(data)
{
}

CScalingImage::CScaledImage::~CScaledImage()
{
    // The owner outlives the lock: m_owner is released only after it.
    zil::CMutexLock lock(m_owner->getMutex());
    m_data.reset();
}

void CScalingImage::CScaledImage::paint(wxDC& dc, const wxPoint& point)
{
    const wxBitmap& bitmap = m_data->getBitmap();
    if (bitmap.IsOk())
        dc.DrawBitmap(bitmap, point, false);
}

CScalingImage::CScalingImage(const wxImage& source) : m_source(source) {}

CScalingImage::~CScalingImage() = default;

wxSize CScalingImage::getBaseSize()
{
    return m_source.IsOk() ? m_source.GetSize() : wxSize(0, 0);
}

zil::P<IImage> CScalingImage::getScaledVersion(const wxSize& size)
{
    zil::CMutexLock lock(m_mutex);
    zil::P<CScaledImageData> data;
    auto found = m_versions.find(ScaledImageKey(size));
    if (found != m_versions.end()) {
        data = found->second;
    } else {
        // A version too large to make paints nothing; the key still spares asking again.
        data = new CScaledImageData(this, isPaintableSize(size) ? createScaledBitmap(size) : wxBitmap(), size);
        m_versions[ScaledImageKey(size)] = data.get();
    }
    return zil::P<IImage>(new CScaledImage(this, data.get()));
}

size_t CScalingImage::getVersionCount()
{
    zil::CMutexLock lock(m_mutex);
    return m_versions.size();
}

wxBitmap CScalingImage::createScaledBitmap(const wxSize& size)
{
    if (!m_source.IsOk() || size.x < 1 || size.y < 1)
        return wxBitmap();
    return wxBitmap(m_source.Scale(size.x, size.y, wxIMAGE_QUALITY_HIGH), -1, 1.0);
}

void CScalingImage::onDestructScaledImageData(const wxSize& size)
{
    m_versions.erase(ScaledImageKey(size));
}

// ---- CCompositeScalingImage ----

namespace {

// Of `width` x `height` starting at x, y, the part inside a picture of `size`.
bool isInside(int x, int y, int width, int height, const wxSize& size)
{
    return x >= 0 && y >= 0 && width <= size.x - x && height <= size.y - y;
}

// Splits `spare` pixels between two margins in the ratio of their sizes; the first side gets
// the truncated share.
int firstShare(int spare, int first, int second)
{
    int64_t sum = int64_t(first) + second;
    if (sum <= 0)
        return spare / 2;
    return int(int64_t(spare) * first / sum);
}

void layoutAxis(int target, int first, int second, int middle, bool marginsStretch, int* out)
{
    if (marginsStretch) {
        int spare = std::max(0, target - middle);
        out[0] = firstShare(spare, first, second);
        out[1] = middle;
        out[2] = spare - out[0];
    } else {
        out[0] = first;
        out[1] = int(std::clamp<int64_t>(int64_t(target) - first - second, INT32_MIN, INT32_MAX));
        out[2] = second;
    }
}

// Cuts `near` and `far` (both >= 0) back so that together they fit `length`.
void clampPair(int32_t& nearSide, int32_t& farSide, int length)
{
    nearSide = std::max(0, nearSide);
    farSide = std::max(0, farSide);
    if (int64_t(nearSide) + farSide <= length)
        return;
    if (nearSide > length) {
        nearSide = length;
        farSide = 0;
    } else {
        farSide = length - nearSide;
    }
}

// The file name up to its first dot that is not its first character.
zil::String getFileTitleToFirstDot(const zil::Path& path)
{
    zil::String name = path.getFileName();
    auto dot = name.find(L'.', 1);
    return dot == zil::String::npos ? name : zil::String(name.substr(0, dot));
}

} // namespace

CCompositeScalingImage::ScaleFocus CCompositeScalingImage::getHorzScaleFocus(ScaleFocus focus)
{
    return focus == margins || focus == horzMarginsVertCenter ? margins : center;
}

CCompositeScalingImage::ScaleFocus CCompositeScalingImage::getVertScaleFocus(ScaleFocus focus)
{
    return focus == margins || focus == horzCenterVertMargins ? margins : center;
}

zil::CMargins CCompositeScalingImage::clampMargins(const zil::CMargins& cutMargins, const wxSize& size)
{
    zil::CMargins result = cutMargins;
    clampPair(result.top, result.bottom, std::max(0, size.y));
    clampPair(result.left, result.right, std::max(0, size.x));
    return result;
}

bool CCompositeScalingImage::needsTransparentBackground(const zil::CMargins& m, const wxSize& size,
                                                        ScaleFocus focus)
{
    bool horzGap = getHorzScaleFocus(focus) == margins ? m.left == 0 && m.right == 0
                                                       : size.x <= int64_t(m.left) + m.right;
    bool vertGap = getVertScaleFocus(focus) == margins ? m.top == 0 && m.bottom == 0
                                                       : size.y <= int64_t(m.top) + m.bottom;
    return horzGap || vertGap;
}

CCompositeScalingImage::Layout CCompositeScalingImage::computeLayout(const wxSize& target,
                                                                     const zil::CMargins& m,
                                                                     const wxSize& middle,
                                                                     ScaleFocus focus)
{
    Layout layout;
    layoutAxis(target.x, m.left, m.right, middle.x, getHorzScaleFocus(focus) == margins, layout.columns);
    layoutAxis(target.y, m.top, m.bottom, middle.y, getVertScaleFocus(focus) == margins, layout.rows);
    return layout;
}

CCompositeScalingImage::CCompositeScalingImage(const wxImage& source, const zil::CMargins& cutMargins,
                                               ScaleFocus focus)
    : CScalingImage(source), m_focus(focus)
{
    wxSize size = getBaseSize();
    m_margins = clampMargins(cutMargins, size);
    if (m_margins != cutMargins)
        zil::logWarning(L"Scaling image margins " + cutMargins.toString() + L" clamped to "
                        + m_margins.toString() + L" for a picture of "
                        + zil::toString(int64_t(size.x)) + L"x" + zil::toString(int64_t(size.y)));
    m_transparentBackground = source.IsOk()
                              && (source.HasAlpha() || source.HasMask()
                                  || needsTransparentBackground(m_margins, size, focus));

    const int xs[3] = {0, m_margins.left, size.x - m_margins.right};
    const int widths[3] = {m_margins.left, size.x - m_margins.left - m_margins.right, m_margins.right};
    const int ys[3] = {0, m_margins.top, size.y - m_margins.bottom};
    const int heights[3] = {m_margins.top, size.y - m_margins.top - m_margins.bottom, m_margins.bottom};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            m_parts[row * 3 + column] = getSubImage(xs[column], ys[row], widths[column], heights[row]);
}

wxImage CCompositeScalingImage::getSubImage(int x, int y, int width, int height)
{
    const wxImage& source = getSource();
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == 0 || height == 0 || !source.IsOk() || !isInside(x, y, width, height, source.GetSize()))
        return wxImage();

    wxImage part(width, height, false);
    const int sourceWidth = source.GetWidth();
    const unsigned char* rgb = source.GetData();
    unsigned char* partRGB = part.GetData();
    for (int row = 0; row < height; ++row)
        std::memcpy(partRGB + size_t(row) * width * 3, rgb + (size_t(y + row) * sourceWidth + x) * 3,
                    size_t(width) * 3);

    if (m_transparentBackground) {
        part.SetAlpha();
        unsigned char* partAlpha = part.GetAlpha();
        if (source.HasAlpha()) {
            const unsigned char* alpha = source.GetAlpha();
            for (int row = 0; row < height; ++row)
                std::memcpy(partAlpha + size_t(row) * width, alpha + size_t(y + row) * sourceWidth + x,
                            size_t(width));
        } else {
            std::memset(partAlpha, 255, size_t(width) * height);
            if (source.HasMask()) {
                const unsigned char maskRGB[3] = {source.GetMaskRed(), source.GetMaskGreen(),
                                                  source.GetMaskBlue()};
                for (size_t i = 0, n = size_t(width) * height; i < n; ++i)
                    if (std::memcmp(partRGB + i * 3, maskRGB, 3) == 0)
                        partAlpha[i] = 0;
            }
        }
    }
    return part;
}

int CCompositeScalingImage::getWidth(wxImage& image)
{
    return image.IsOk() ? image.GetWidth() : 0;
}

int CCompositeScalingImage::getHeight(wxImage& image)
{
    return image.IsOk() ? image.GetHeight() : 0;
}

wxBitmap CCompositeScalingImage::imageToBitmap(wxImage& image)
{
    return image.IsOk() ? wxBitmap(image, -1, 1.0) : wxBitmap();
}

wxBitmap CCompositeScalingImage::createScaledBitmap(wxImage& part, int width, int height)
{
    if (!part.IsOk() || width < 1 || height < 1)
        return wxBitmap();
    if (part.GetWidth() == width && part.GetHeight() == height)
        return imageToBitmap(part);
    // An edge stretches along its length only. wxWidgets' high quality resampler smooths even
    // the axis it does not scale (a 1-pixel frame line became 17 % and 83 % grey); bilinear
    // keeps that axis exact.
    const bool oneAxis = part.GetWidth() == width || part.GetHeight() == height;
    wxImage scaled = part.Scale(width, height, oneAxis ? wxIMAGE_QUALITY_BILINEAR : wxIMAGE_QUALITY_HIGH);
    return imageToBitmap(scaled);
}

wxBitmap CCompositeScalingImage::createScaledBitmap(const wxSize& size)
{
    if (size.x < 1 || size.y < 1)
        return wxBitmap();
    wxImage& middle = m_parts[4];
    Layout layout = computeLayout(size, m_margins, wxSize(getWidth(middle), getHeight(middle)), m_focus);

    wxImage canvas(size.x, size.y, true);
    if (m_transparentBackground) {
        canvas.SetAlpha();
        std::memset(canvas.GetAlpha(), 0, size_t(size.x) * size.y);
    }
    wxBitmap result(canvas, -1, 1.0);
    {
        CTransparentMemoryDC dc(&result);
        int y = 0;
        for (int row = 0; row < 3; ++row) {
            int x = 0;
            for (int column = 0; column < 3; ++column) {
                wxBitmap bitmap =
                    createScaledBitmap(m_parts[row * 3 + column], layout.columns[column], layout.rows[row]);
                if (bitmap.IsOk())
                    dc.drawBitmap(bitmap, x, y);
                x += layout.columns[column];
            }
            y += layout.rows[row];
        }
    }
    return result;
}

zil::Path CCompositeScalingImage::getParamsPath(const zil::Path& path)
{
    zil::String title = getFileTitleToFirstDot(path);
    auto at = title.find(L'@');
    if (at != zil::String::npos)
        title.erase(at);
    return path.getParent() / zil::Path(title + L"_params.ini");
}

zil::P<CCompositeScalingImage> CCompositeScalingImage::load(const zil::Path& path, double fileFactor,
                                                            double targetFactor)
{
    wxImage image;
    const bool vector = variants::isVector(path.str());
    if (vector) {
        // Rendered whole at the target factor, then cut like any picture: the corners are drawn
        // for this screen instead of resampled.
        image = svg::renderFile(path, targetFactor);
    } else {
        // Failures are thrown with the path below; wxWidgets' own messages would only repeat them.
        wxLogNull noLog;
        image.LoadFile(toWX(path.toString()), wxBITMAP_TYPE_ANY, -1);
    }
    if (!image.IsOk())
        throw zil::CError(L"Error loading composite scaling image: " + path.toString(), zil::String(), -1);

    double ratio = targetFactor / fileFactor;
    if (ratio != 1.0 && !vector) {
        int width = int(std::ceil(image.GetWidth() * ratio));
        int height = int(std::ceil(image.GetHeight() * ratio));
        if (!(width >= 1 && height >= 1))
            throw zil::CError(L"Error loading composite scaling image: " + path.toString(), zil::String(), -1)
                .setProp(L"reason", L"scale factor gives no pixels");
        image.Rescale(width, height, wxIMAGE_QUALITY_HIGH);
    }

    zil::CMargins cutMargins;
    ScaleFocus focus = center;
    zil::Path paramsPath = getParamsPath(path);
    if (wxFileExists(toWX(paramsPath.toString()))) {
        const std::unique_ptr<wxFileConfig> config =
            readConfigFile(paramsPath, L"CCompositeScalingImage::load");
        wxString text;
        if (config->Read(L"scaleMargins", &text))
            cutMargins = zil::CMargins::parseString(fromWX(text)).toScaled(targetFactor);
        if (config->Read(L"scaleFocus", &text)) {
            if (text == L"margins")
                focus = margins;
            else if (text == L"center")
                focus = center;
            else if (text == L"horzMarginsVertCenter")
                focus = horzMarginsVertCenter;
            else if (text == L"horzCenterVertMargins")
                focus = horzCenterVertMargins;
            else
                throw zil::CError(L"Invalid value for scaleFocus in '" + paramsPath.toString() + L"'",
                                  zil::String(), -1);
        }
    }
    return zil::P<CCompositeScalingImage>(new CCompositeScalingImage(image, cutMargins, focus));
}

// ---- CTransparentMemoryDC ----

CTransparentMemoryDC::CTransparentMemoryDC(int width, int height) : m_target(&m_bitmap)
{
    wxImage image(std::max(1, width), std::max(1, height), true);
    image.SetAlpha();
    std::memset(image.GetAlpha(), 0, size_t(image.GetWidth()) * image.GetHeight());
    m_bitmap = wxBitmap(image, -1, 1.0);
    m_dc.SelectObject(m_bitmap);
}

CTransparentMemoryDC::CTransparentMemoryDC(wxBitmap* target) : m_target(target)
{
    m_dc.SelectObject(*m_target);
}

CTransparentMemoryDC::~CTransparentMemoryDC()
{
    m_dc.SelectObject(wxNullBitmap);
}

void CTransparentMemoryDC::drawBitmap(const wxBitmap& bitmap, int x, int y)
{
    m_dc.DrawBitmap(bitmap, x, y, false);
}

// ---- CPhysicalVersion

void CPhysicalVersion::paint(IScalingImage* image, wxDC& dc, const wxPoint& point, const wxSize& logicalSize,
                             double scale)
{
    if (!image) {
        reset();
        return;
    }
    const wxSize physical = toPhysicalSize(logicalSize, scale);
    if (!m_version || m_version->getSize() != physical) {
        m_version = image->getScaledVersion(physical);
        m_bitmap = wxBitmap();
    }
    if (!m_version)
        return;
    if (scale == 1.0) {
        m_version->paint(dc, point);
        return;
    }
    if (!m_bitmap.IsOk() || m_bitmap.GetScaleFactor() != scale) {
        const wxBitmap pixels = m_version->getBitmap();
        if (!pixels.IsOk())
            return;
        // A version made for this scale is drawn as it is, shared with its other holders.
        m_bitmap = pixels.GetScaleFactor() == scale ? pixels : wxBitmap(pixels.ConvertToImage(), -1, scale);
    }
    dc.DrawBitmap(m_bitmap, point, false);
}

void CPhysicalVersion::reset()
{
    m_version = nullptr;
    m_bitmap = wxBitmap();
}

} // namespace zilui
