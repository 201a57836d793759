// SPDX-License-Identifier: MIT
#pragma once

// Vector pictures ("title.svg"): rendered at the exact physical size asked instead of being
// resampled from a raster variant. An SVG may name other files, URLs, scripts and entities; the
// library renders none of those, so a picture that uses them is refused before any renderer
// sees it, and no SVG can make the process open a file or a connection.

#include <zil/path.h>
#include <zil/string.h>

#include <wx/gdicmn.h>
#include <wx/image.h>

#include <string>
#include <string_view>

namespace zilui::svg {

// Larger files are refused unread: a picture of a few kilobytes that grows past this is a
// document, not an icon.
constexpr size_t kMaxFileBytes = 4 << 20;

// Why `text` may not be rendered ("refers to 'file.png'"), empty when it may: it refers to
// nothing outside itself (every href and url() points into the document), has no script, no
// <image>, no external entity or style sheet.
std::string findRefusal(std::string_view text);

// Physical pixels for an intrinsic length at `factor`, rounded up, where a product that misses a
// whole number only by rounding (10 x 1.1) counts as that number.
int physicalLength(double intrinsic, double factor);

// Reads `path`, checks it and renders it at `factor` times its declared size (pixels of its
// width and height, else of its viewBox). Throws zil::CError saying why for a file that cannot
// be read, is refused (see findRefusal, and a declared or rendered size beyond
// kMaxBitmapSide / kMaxBitmapPixels) or is damaged.
wxImage renderFile(const zil::Path& path, double factor);

// ---- the renderer seam (graphics/linux/svgrender.cpp) ----

// Renders `text`, checked already, at `factor`; `source` names it in errors. Throws zil::CError.
wxImage render(const std::string& text, double factor, const zil::String& source);

} // namespace zilui::svg
