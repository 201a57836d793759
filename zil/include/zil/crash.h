// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace zil {

// Lets an event dispatcher survive a machine fault (SIGSEGV, SIGBUS, SIGFPE, SIGILL) inside one
// handler long enough to save what it can and end the process at the next event.
//
// A fault on a thread inside runGuarded() asks the global handler; if it says "recover", the
// thread jumps back into runGuarded(), which returns false. Otherwise, and for any fault
// outside a guarded body, the default disposition is restored and the signal raised again:
// the process dies by that signal, as it would without this class.
//
// Caveats of recovering: the body is abandoned mid-way. No destructor of its frames runs, so
// memory and file handles it held leak and mutexes it held stay locked; data it was changing
// may be half-written; a fault inside malloc or the C library may have left them corrupt.
// After recovering, do as little as possible: report the fault, save the user's data if that
// does not need the state the body touched, and end the process. Never use it for control flow.
class CCrashManager {
public:
    // Called on the faulting thread in signal context (on an alternate stack of 128 KiB):
    // return true to jump back, false to let the process die.
    using Handler = std::function<bool(int signal)>;

    // An empty handler means no recovery. Handlers replaced are kept alive to the end of the
    // process, since another thread may be running one.
    static void setGlobalHandler(Handler handler);
    // The global handler's answer, false when there is none.
    static bool globalCrashHook(int signal);
    static bool hasGlobalHandler();

    // Decides for one guard instead of the global handler; runs in signal context, so it
    // must not allocate, lock or throw.
    using Filter = bool (*)(int signal);

    // Runs `body`; true when it completed, false when a fault was recovered. Nests: the
    // innermost guard on the faulting thread gets the jump. Exceptions from `body` pass through.
    static bool runGuarded(const std::function<void()>& body, Filter filter = nullptr);

    // Signal number of the last fault caught on any thread, 0 if none.
    static int getLastFaultSignal();
};

} // namespace zil
