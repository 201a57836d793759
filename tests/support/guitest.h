// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

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

// While it lives, toolkit warnings that contain one of `messages` do not fail the running test;
// they still reach standard error. Only for a toolkit defect that a test cannot keep away from,
// named where it is used.
class CToleratedToolkitWarnings {
public:
    explicit CToleratedToolkitWarnings(std::vector<std::string> messages);
    ~CToleratedToolkitWarnings();
    CToleratedToolkitWarnings(const CToleratedToolkitWarnings&) = delete;
    CToleratedToolkitWarnings& operator=(const CToleratedToolkitWarnings&) = delete;
    bool tolerates(const std::string& message) const;

private:
    std::vector<std::string> m_messages;
    CToleratedToolkitWarnings* m_outer;
};

} // namespace zilui::test
