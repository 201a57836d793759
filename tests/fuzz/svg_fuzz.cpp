// SPDX-License-Identifier: MIT
// SVG files from skins and icon themes: the check must not crash or loop on any text, and what
// it lets through must render within the picture limit or be refused with an error.
#include "fuzzsupport.h"

#include "../../graphics/svgpicture.h"

#include <zilui/graphics/scalingimage.h>

#include <zil/error.h>

#include <cstdlib>
#include <string>

ZILUI_FUZZ_TARGET(svg)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string refusal = zilui::svg::findRefusal(text);
    if (zilui::svg::findRefusal(text) != refusal)
        std::abort();
    if (!refusal.empty())
        return;
    try {
        // The smallest factor keeps a declared size near the limit cheap to render.
        const wxImage image = zilui::svg::render(text, 0.25, L"fuzz");
        if (!image.IsOk() || !zilui::isPaintableSize(image.GetSize()))
            std::abort();
    } catch (const zil::CError&) {
    }
}
