// SPDX-License-Identifier: MIT
// Pictures made for tests and pixels read back from them.
#pragma once

#include <zilui/graphics/resourcemanager.h>
#include <zilui/graphics/scalingimage.h>

#include <wx/colour.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/window.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>

// wxColour lives in the global namespace, where gtest looks for its printer.
inline void PrintTo(const wxColour& c, std::ostream* out)
{
    *out << "rgb(" << int(c.Red()) << "," << int(c.Green()) << "," << int(c.Blue()) << ")";
}

namespace zilui::test {

inline const wxColour kMarker(200, 30, 90);

inline wxImage solidImage(int width, int height, const wxColour& colour, int alpha = -1)
{
    wxImage image(width, height);
    image.SetRGB(wxRect(0, 0, width, height), colour.Red(), colour.Green(), colour.Blue());
    if (alpha >= 0) {
        image.InitAlpha();
        std::memset(image.GetAlpha(), alpha, size_t(width) * height);
    }
    return image;
}

inline wxColour pixelAt(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

// Ink on a light background: a pixel darker than `below` on every channel.
inline bool isInk(const wxImage& image, int x, int y, int below = 160)
{
    return std::min({image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)}) < below;
}

// A bitmap of `size` cleared to `fill` that `draw` paints into.
inline wxImage paintInto(const wxSize& size, const std::function<void(wxMemoryDC&)>& draw,
                         const wxColour& fill = kMarker)
{
    wxBitmap bitmap(size, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(fill));
        dc.Clear();
        draw(dc);
    }
    return bitmap.ConvertToImage();
}

// Adds `folder` to the process-wide resource manager while it lives. The manager is emptied
// after, so that no later test finds these pictures, or looks in a folder that is gone.
class CGlobalResourceFolder {
public:
    explicit CGlobalResourceFolder(const zil::Path& folder) { CResourceManager::get()->addResourceFolder(folder); }
    ~CGlobalResourceFolder() { CResourceManager::disposeGlobalInstance(); }
    CGlobalResourceFolder(const CGlobalResourceFolder&) = delete;
    CGlobalResourceFolder& operator=(const CGlobalResourceFolder&) = delete;
};

struct WindowCloser {
    void operator()(wxWindow* window) const { window->Destroy(); }
};
template <class T> using Owned = std::unique_ptr<T, WindowCloser>;

// Counts the versions it scales, to tell shared versions from private copies.
class CCountingScalingImage : public CScalingImage {
public:
    using CScalingImage::CScalingImage;
    std::atomic<int> builds{0};

protected:
    wxBitmap createScaledBitmap(const wxSize& size) override
    {
        ++builds;
        return CScalingImage::createScaledBitmap(size);
    }
};

} // namespace zilui::test
