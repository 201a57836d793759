// SPDX-License-Identifier: MIT
#pragma once

class wxFrame;

namespace zilui::test {

// A frame shown for the whole run, for tests that need a realised parent window.
wxFrame& sharedFrame();
// Runs what wxWidgets has queued, as the main loop would between two events.
void processPendingEvents();
// For a test that changes the process for good (ends its bus, ...): runs the current test
// again, alone, in a child process of this test program, with buses and process-wide state of
// its own, and fails the test when the child fails. True in that child, where the test goes on;
// false in the parent.
bool inChildProcess();

} // namespace zilui::test
