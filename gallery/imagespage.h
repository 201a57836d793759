// SPDX-License-Identifier: MIT
#pragma once

class wxSize;
class wxWindow;

namespace gallery {

// The page that shows the scaling images: the nine-part image in each scale focus, a
// whole-picture image at several factors, the resolution variants the resource manager picks
// from res/gallery and a nine-part image that follows its panel's size.
wxWindow* makeImagesPage(wxWindow* parent);

// The page's nine-part picture with its middle stretched to `size`.
wxWindow* makeNinePartPicture(wxWindow* parent, const wxSize& size);

// The page's nine-part picture at whatever size the returned panel gets, its size written on it.
wxWindow* makeFollowingNinePart(wxWindow* parent);

} // namespace gallery
