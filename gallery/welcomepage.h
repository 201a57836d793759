// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class wxWindow;

namespace gallery {

// The first page: the library's version over one tile per capability, each with a live sample
// of it and a button that shows its page by calling `showPage` with the page's --page name.
wxWindow* makeWelcomePage(wxWindow* parent, std::function<void(const char* page)> showPage);

} // namespace gallery
