// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class wxWindow;

namespace gallery {

// The page with the "Run the wizard" button: a five-page set-up assistant in a module
// dialog, built from XRC pages (res/gallery/wizard.xrc) with a data check, a page skipped by
// a check box, a gateway that waits for a worker thread and a page fed by a worker thread.
// `openWizard`, when given, is set to run the wizard as the page's button does.
wxWindow* makeWizardPage(wxWindow* parent, std::function<void()>* openWizard = nullptr);

} // namespace gallery
