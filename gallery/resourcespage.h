// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class wxWindow;

namespace gallery {

// The page that opens res/gallery/resources.xrc: a dialog holding every class the library's
// XRC handlers create, once as the file says and once with plain buttons, check boxes and
// radio buttons made skinned by the replacement handler. Its badge comes through the bitmap
// redirection that the gallery sets up at start-up.
// `openDialog`, when given, is set to open the dialog as the page's button does.
wxWindow* makeResourcesPage(wxWindow* parent, std::function<void()>* openDialog = nullptr);

// Sends res/gallery/pics/ to res/gallery/brand/pics/ where a file exists there; called once
// at start-up on the application's handler.
void redirectGalleryBitmaps();

} // namespace gallery
