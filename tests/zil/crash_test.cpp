// SPDX-License-Identifier: MIT
#include <zil/crash.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

using zil::CCrashManager;

namespace {

// Volatile, so the compiler cannot prove the faults below away or turn them into traps.
int* volatile g_null = nullptr;
volatile int g_zero = 0;
volatile int g_one = 1;
volatile int g_sink = 0;

void writeNull()
{
    *g_null = 1;
}

void divideByZero()
{
    g_sink = g_one / g_zero;
}

void illegalInstruction()
{
    __builtin_trap();
}

// Touches a mapped page past the end of an empty file: SIGBUS.
void busError()
{
    FILE* file = std::tmpfile();
    if (!file)
        throw std::runtime_error("no temporary file");
    const long page = ::sysconf(_SC_PAGESIZE);
    void* map = ::mmap(nullptr, page, PROT_READ, MAP_SHARED, ::fileno(file), 0);
    if (map == MAP_FAILED)
        throw std::runtime_error("mmap failed");
    g_sink = *static_cast<volatile char*>(map);
}

// Each frame keeps a page on the stack so that the overflow comes quickly.
int recurse(int depth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    return depth > g_zero - 1 ? recurse(depth + 1) + frame[0] : 0;
}

class CCrashManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        CCrashManager::setGlobalHandler([this](int signal) {
            m_seen = signal;
            return m_recover.load();
        });
    }
    void TearDown() override { CCrashManager::setGlobalHandler(nullptr); }

    std::atomic<int> m_seen{0};
    std::atomic<bool> m_recover{true};
};

} // namespace

TEST_F(CCrashManagerTest, RecoversFromEachKindOfFaultAgainAndAgain)
{
    const struct {
        const char* name;
        void (*fault)();
        int signal;
    } cases[] = {
        {"null write", writeNull, SIGSEGV},
        {"integer division by zero", divideByZero, SIGFPE},
        {"trap", illegalInstruction, SIGILL},
        {"page past the end of a file", busError, SIGBUS},
        {"null write again", writeNull, SIGSEGV},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_seen = 0;
        bool after = false;
        EXPECT_FALSE(CCrashManager::runGuarded([&] {
            c.fault();
            after = true;
        }));
        EXPECT_FALSE(after);
        EXPECT_EQ(m_seen.load(), c.signal);
        EXPECT_EQ(CCrashManager::getLastFaultSignal(), c.signal);
        // The guard is gone and the signal mask restored: a clean body completes.
        bool ran = false;
        EXPECT_TRUE(CCrashManager::runGuarded([&] { ran = true; }));
        EXPECT_TRUE(ran);
    }
}

TEST_F(CCrashManagerTest, InnermostGuardWinsAndExceptionsUnwindTheGuards)
{
    bool outerGoesOn = false;
    EXPECT_TRUE(CCrashManager::runGuarded([&] {
        EXPECT_FALSE(CCrashManager::runGuarded(writeNull));
        outerGoesOn = true;
    }));
    EXPECT_TRUE(outerGoesOn);

    // An exception leaves the inner guard; a later fault must land in the outer one and not
    // in the frame the exception has already left.
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
    EXPECT_THROW(CCrashManager::runGuarded([] { throw std::logic_error("x"); }),
                 std::logic_error);
}

TEST_F(CCrashManagerTest, RecoversFromStackOverflowOnAnotherThread)
{
    std::atomic<int> result{-1};
    std::thread worker([&] { result = CCrashManager::runGuarded([] { recurse(0); }) ? 1 : 0; });
    worker.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(m_seen.load(), SIGSEGV);
}

TEST_F(CCrashManagerTest, FaultDiesBySignalWhenNotRecoveredDeath)
{
    // The handler declines.
    EXPECT_EXIT(
        {
            m_recover = false;
            CCrashManager::runGuarded(writeNull);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGSEGV), "");
    // No handler at all.
    EXPECT_EXIT(
        {
            CCrashManager::setGlobalHandler(nullptr);
            CCrashManager::runGuarded(divideByZero);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGFPE), "");
    // Outside any guard, with the fault handler installed by an earlier guard.
    EXPECT_EXIT(
        {
            CCrashManager::runGuarded([] {});
            writeNull();
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGSEGV), "");
    // A fault signal sent by kill() does not repeat on return: it must still kill.
    EXPECT_EXIT(
        {
            CCrashManager::runGuarded([] {});
            ::kill(::getpid(), SIGBUS);
            ::sleep(10);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGBUS), "");
}

namespace {

std::atomic<int> g_filterCalls{0};

bool recoverFilter(int)
{
    g_filterCalls.fetch_add(1);
    return true;
}

} // namespace

// A dispatcher decides for its own guard; the global handler (here one that declines) must
// not be asked, and the guard's filter must not leak into guards that have none.
TEST(CrashManagerDeathTest, GuardFilterDecidesInsteadOfTheGlobalHandler)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CCrashManager::setGlobalHandler([](int) { return false; });
            g_filterCalls = 0;
            const bool completed = CCrashManager::runGuarded(writeNull, &recoverFilter);
            if (completed || g_filterCalls.load() != 1 || !CCrashManager::hasGlobalHandler())
                std::_Exit(3);
            CCrashManager::runGuarded(writeNull); // the declining global handler decides again
            std::_Exit(4);
        },
        testing::KilledBySignal(SIGSEGV), "");
}
