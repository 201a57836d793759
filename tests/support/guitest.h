// SPDX-License-Identifier: MIT
#pragma once

class wxFrame;

namespace zilui::test {

// A frame shown for the whole run, for tests that need a realised parent window.
wxFrame& sharedFrame();
// Runs what wxWidgets has queued, as the main loop would between two events.
void processPendingEvents();

} // namespace zilui::test
