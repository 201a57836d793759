// SPDX-License-Identifier: MIT
#pragma once

class wxWindow;

namespace gallery {

// The page with the "Run the wizard" button: a five-page set-up assistant in a module
// dialog, built from XRC pages (res/gallery/wizard.xrc) with a data check, a page skipped by
// a check box, a gateway that waits for a worker thread and a page fed by a worker thread.
wxWindow* makeWizardPage(wxWindow* parent);

} // namespace gallery
