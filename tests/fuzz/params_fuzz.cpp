// SPDX-License-Identifier: MIT
// Params files of composite scaling images: the picture loaded with them at several
// factors, versions built at awkward sizes and drawn.
#include "fuzzsupport.h"

#include <zilui/graphics/scalingimage.h>

#include <wx/dcmemory.h>
#include <wx/image.h>

#include <algorithm>

ZILUI_FUZZ_TARGET(params)
{
    static const zil::Path picture = [] {
        const zil::Path path = zilui::fuzz::folder() / L"part@2.png";
        wxImage image(12, 9);
        image.SetAlpha();
        image.SaveFile(path.str().toUTF8(), wxBITMAP_TYPE_PNG);
        return path;
    }();
    if (size == 0)
        return;
    // The first byte picks the target factor, the rest is the file.
    const double factors[] = {0.25, 1.0, 1.5, 2.0, 8.0};
    const double factor = factors[data[0] % 5];
    zilui::fuzz::writeFile(L"part_params.ini", std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    const zil::P<zilui::CCompositeScalingImage> image = zilui::CCompositeScalingImage::load(picture, 2.0, factor);
    for (const wxSize& target : {image->getBaseSize(), wxSize(1, 1), wxSize(0, 7), wxSize(40, 3), wxSize(200, 120)}) {
        const zil::P<zilui::IImage> version = image->getScaledVersion(target);
        if (!version)
            continue;
        wxBitmap bitmap(std::max(target.x, 1), std::max(target.y, 1), 24);
        wxMemoryDC dc(bitmap);
        version->paint(dc, wxPoint(0, 0));
    }
}
