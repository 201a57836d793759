// SPDX-License-Identifier: MIT
#pragma once

#include <zil/path.h>

class wxSize;
class wxWindow;

namespace gallery {

// A file system browser rooted at the home folder with glossy buttons, the selection listed
// under it, "Choose folder..." with the folder selector, and a button that fills a temporary
// folder with 100,000 files to browse.
wxWindow* makeFilesPage(wxWindow* parent);

// A browser of `size` with glossy buttons, showing `folder` of the local file system.
wxWindow* makeSmallBrowser(wxWindow* parent, const zil::Path& folder, const wxSize& size);

// Whether every small browser lists its folder's rows rather than one placeholder row: folders
// are read on a worker thread, and a picture taken before shows "Loading. Please wait...". A
// folder of a single entry never counts as listed.
bool smallBrowsersListed();

} // namespace gallery
