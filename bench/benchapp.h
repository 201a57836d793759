// SPDX-License-Identifier: MIT
#pragma once

namespace bench {

// Starts wxWidgets with a CAppBase application object (console error reporting) on first
// use, for benchmarks that need the event loop; false when there is no display. Called from
// the benchmark thread, which becomes the GUI thread.
bool ensureWX();

} // namespace bench
