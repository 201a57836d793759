// SPDX-License-Identifier: MIT
#include "zil/crash.h"

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <ucontext.h>
#include <vector>

namespace zil {

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr size_t kAltStackSize = 128 * 1024;

struct GuardFrame {
    sigjmp_buf jump;
    GuardFrame* outer;
    CCrashManager::Filter filter;
    sigset_t mask;                // of the faulting code, restored after the jump
};

// Innermost guard of this thread. Written by runGuarded() before the body can fault, so the
// signal handler never touches thread-local storage for the first time.
// initial-exec: every event of a GUI program passes a guard, and the default model for a
// shared library calls __tls_get_addr on each access.
thread_local GuardFrame* t_guard __attribute__((tls_model("initial-exec"))) = nullptr;

std::atomic<int> g_lastFault{0};
std::atomic<CCrashManager::Handler*> g_handler{nullptr};

// Replaced handlers, kept until the end of the process.
std::mutex& retiredMutex()
{
    static std::mutex mutex;
    return mutex;
}
std::vector<CCrashManager::Handler*>& retiredHandlers()
{
    static auto* handlers = new std::vector<CCrashManager::Handler*>;
    return *handlers;
}

void restoreDefault(int number)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(number, &action, nullptr);
}

extern "C" void onFault(int number, siginfo_t*, void* context)
{
    g_lastFault.store(number);
    GuardFrame* frame = t_guard;
    if (frame && (frame->filter ? frame->filter(number) : CCrashManager::globalCrashHook(number))) {
        // What a return from the handler would restore. The handler may run with more than its
        // own signal blocked: a runtime that wraps it (TSan's blocks every signal) chooses.
        frame->mask = static_cast<const ucontext_t*>(context)->uc_sigmask;
        siglongjmp(frame->jump, 1);
    }
    // The default course: a real fault repeats on return and kills the process with the
    // signal; the raised copy (pending until we return) does the same for a signal sent by
    // kill() or raise(), which does not repeat.
    restoreDefault(number);
    ::raise(number);
}

// A function-local static rather than std::call_once, whose every call writes thread-local
// state: this runs on every guarded call, i.e. on every event of a GUI program.
void installHandlers()
{
    static const bool installed = [] {
        for (int number : kFaultSignals) {
            struct sigaction action = {};
            action.sa_sigaction = onFault;
            action.sa_flags = SA_SIGINFO | SA_ONSTACK;
            sigemptyset(&action.sa_mask);
            ::sigaction(number, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

// An alternate signal stack for this thread, so that a stack overflow can be handled too.
// Freed when the thread ends; a stack someone else installed is left alone.
struct CAltStack {
    void* memory = nullptr;

    CAltStack()
    {
        stack_t current = {};
        if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
            return;
        memory = std::malloc(kAltStackSize);
        if (!memory)
            return; // no recovery from a stack overflow, everything else still works
        stack_t stack = {};
        stack.ss_sp = memory;
        stack.ss_size = kAltStackSize;
        if (::sigaltstack(&stack, nullptr) != 0) {
            std::free(memory);
            memory = nullptr;
        }
    }
    ~CAltStack()
    {
        if (!memory)
            return;
        stack_t stack = {};
        stack.ss_flags = SS_DISABLE;
        if (::sigaltstack(&stack, nullptr) == 0)
            std::free(memory);
    }
    CAltStack(const CAltStack&) = delete;
    CAltStack& operator=(const CAltStack&) = delete;
};

// The flag is checked on every guarded call; the object with a destructor (which makes the
// compiler go through __tls_get_addr) is touched once per thread.
thread_local bool t_altStackReady __attribute__((tls_model("initial-exec"))) = false;

void ensureAltStack()
{
    if (t_altStackReady)
        return;
    thread_local CAltStack altStack;
    (void)altStack;
    t_altStackReady = true;
}

// Pops the guard on every way out of runGuarded() but the jump, which pops it itself.
struct CGuardScope {
    GuardFrame* frame;
    ~CGuardScope() { t_guard = frame->outer; }
};

} // namespace

void CCrashManager::setGlobalHandler(Handler handler)
{
    Handler* fresh = handler ? new Handler(std::move(handler)) : nullptr;
    Handler* old = g_handler.exchange(fresh);
    if (old) {
        std::lock_guard<std::mutex> lock(retiredMutex());
        retiredHandlers().push_back(old);
    }
}

bool CCrashManager::globalCrashHook(int signal)
{
    Handler* handler = g_handler.load();
    return handler && (*handler)(signal);
}

bool CCrashManager::hasGlobalHandler()
{
    return g_handler.load() != nullptr;
}

bool CCrashManager::runGuarded(const std::function<void()>& body, Filter filter)
{
    installHandlers();
    ensureAltStack();
    GuardFrame frame;
    frame.outer = t_guard;
    frame.filter = filter;
    // Nothing local changes between sigsetjmp and a jump back, so nothing is clobbered. The
    // signal mask is not saved here: that is a system call on every guarded call, i.e. on
    // every event handler. The handler keeps the faulting code's mask instead, and a jump
    // puts it back (a fault signal left blocked would end the process at the next fault).
    if (sigsetjmp(frame.jump, 0) != 0) {
        t_guard = frame.outer;
        ::pthread_sigmask(SIG_SETMASK, &frame.mask, nullptr);
        return false;
    }
    t_guard = &frame;
    CGuardScope scope{&frame};
    body();
    return true;
}

int CCrashManager::getLastFaultSignal()
{
    return g_lastFault.load();
}

} // namespace zil
