// SPDX-License-Identifier: MIT
#pragma once

class wxWindow;

namespace gallery {

// The page that shows the scaling images: the nine-part image in each scale focus, a
// whole-picture image at several factors, the resolution variants the resource manager picks
// from res/gallery and a nine-part image that follows its panel's size.
wxWindow* makeImagesPage(wxWindow* parent);

} // namespace gallery
