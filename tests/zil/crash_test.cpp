// SPDX-License-Identifier: MIT
#include <zil/crash.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <unistd.h>

using zil::CCrashManager;

namespace {

// Volatile, so the compiler cannot prove the faults below away or turn them into traps.
int* volatile g_null = nullptr;
volatile int g_zero = 0;
volatile int g_one = 1;
volatile int g_sink = 0;

// The faults are the point: sanitizers must let them reach the signal handler.
#if defined(__clang__)
#define REAL_FAULT __attribute__((no_sanitize("address", "undefined")))
#else
#define REAL_FAULT
#endif

REAL_FAULT void writeNull()
{
    *g_null = 1;
}

REAL_FAULT void divideByZero()
{
    g_sink = g_one / g_zero;
}

// Each frame keeps a page on the stack so that the overflow comes quickly; indexed by depth,
// or the compiler keeps only the byte used (and TSan's 65536-entry shadow call stack ends first).
REAL_FAULT int recurse(int depth)
{
    volatile char frame[4096];
    const size_t at = static_cast<size_t>(depth) % sizeof frame;
    frame[at] = static_cast<char>(depth);
    return depth > g_zero - 1 ? recurse(depth + 1) + frame[at] : 0;
}

std::atomic<int> g_seen{0};

class CCrashManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        CCrashManager::setGlobalHandler([](int signal) { return (g_seen = signal) != 0; });
    }
    void TearDown() override { CCrashManager::setGlobalHandler(nullptr); }
};

} // namespace

TEST_F(CCrashManagerTest, RecoversFromEachKindOfFaultAgainAndAgainInTheInnermostGuard)
{
    const std::pair<void (*)(), int> cases[] = {
        {writeNull, SIGSEGV},
        {divideByZero, SIGFPE},
        {[] { __builtin_trap(); }, SIGILL},
        {writeNull, SIGSEGV},
    };
    for (const auto& [fault, signal] : cases) {
        SCOPED_TRACE(signal);
        bool after = false;
        EXPECT_FALSE(CCrashManager::runGuarded([&, fault = fault] {
            fault();
            after = true;
        }));
        EXPECT_FALSE(after);
        EXPECT_EQ(g_seen.load(), signal);
        EXPECT_EQ(CCrashManager::getLastFaultSignal(), signal);
        // The guard is gone and the signal mask restored: a clean body completes.
        EXPECT_TRUE(CCrashManager::runGuarded([] {}));
    }
    // a stack overflow on another thread needs the alternate signal stack
    g_seen = 0;
    std::thread([] { EXPECT_FALSE(CCrashManager::runGuarded([] { recurse(0); })); }).join();
    EXPECT_EQ(g_seen.load(), SIGSEGV);

    // The innermost guard wins. An exception leaves the inner guard; a later fault must land
    // in the outer one and not in the frame the exception has already left.
    EXPECT_TRUE(CCrashManager::runGuarded([] { EXPECT_FALSE(CCrashManager::runGuarded(writeNull)); }));
    bool caught = false;
    EXPECT_FALSE(CCrashManager::runGuarded([&] {
        try {
            CCrashManager::runGuarded([] { throw std::runtime_error("out"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
        writeNull();
    }));
    EXPECT_TRUE(caught);
}

TEST_F(CCrashManagerTest, FaultDiesBySignalWhenNotRecoveredDeath)
{
    const std::pair<void (*)(), int> cases[] = {
        {[] { // no handler at all
             CCrashManager::setGlobalHandler(nullptr);
             CCrashManager::runGuarded(divideByZero);
         },
         SIGFPE},
        {[] { // outside any guard, with the fault handler installed by an earlier guard
             CCrashManager::runGuarded([] {});
             writeNull();
         },
         SIGSEGV},
        {[] { // a fault signal sent by kill() does not repeat on return: it must still kill
             CCrashManager::runGuarded([] {});
             ::kill(::getpid(), SIGBUS);
             ::sleep(10);
         },
         SIGBUS},
        {[] { // a guard's filter decides instead of the global handler, and does not leak
              // into guards that have none: there the handler declines
             static std::atomic<int> filterCalls{0};
             CCrashManager::setGlobalHandler([](int) { return false; });
             if (CCrashManager::runGuarded(writeNull, [](int) { return ++filterCalls > 0; }) ||
                 filterCalls.load() != 1 || !CCrashManager::hasGlobalHandler())
                 std::_Exit(3);
             CCrashManager::runGuarded(writeNull);
         },
         SIGSEGV},
    };
    for (const auto& [body, signal] : cases) {
        SCOPED_TRACE(signal);
        EXPECT_EXIT((body(), std::_Exit(0)), testing::KilledBySignal(signal), "");
    }
}
