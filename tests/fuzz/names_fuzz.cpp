// SPDX-License-Identifier: MIT
// Short texts that come from file names and resource files: resolution-variant titles,
// margins and CSS border widths. What parses must read back the same.
#include "fuzzsupport.h"

#include <zilui/graphics/resourcemanager.h>
#include <zilui/slick/skin.h>

#include <zil/margins.h>

#include <cstdlib>

ZILUI_FUZZ_TARGET(names)
{
    zilui::fuzz::CPieces pieces(data, size);
    const zil::String title = pieces.nextText();
    double factor = 0;
    const zil::String base = zilui::CResourceManager::extractResolutionFactorFromFileTitle(title, factor);
    if (!(factor >= zilui::CResourceManager::kMinResolutionFactor &&
          factor <= zilui::CResourceManager::kMaxResolutionFactor))
        std::abort();
    zil::String stem, extension;
    zilui::CResourceManager::splitFileName(title, stem, extension);

    zilui::parseCssBorderWidth(pieces.nextText());

    const zil::CMargins margins = zil::CMargins::parseString(pieces.nextText());
    if (zil::CMargins::parseString(margins.toString()) != margins)
        std::abort();
    margins.toScaled(8.0);
    margins.toScaled(0.25);
}
