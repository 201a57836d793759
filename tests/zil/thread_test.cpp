// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/thread.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <pthread.h>
#include <stdexcept>
#include <thread>
#include <vector>

using zil::CSignal;
using zil::CThread;
using zil::CThreadList;
using zil::P;
using zil::String;

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A thread running a lambda; `destroyed`, when given, is set by the destructor.
class CFuncThread : public CThread {
public:
    explicit CFuncThread(std::function<void(CFuncThread&)> body, P<CSignal> destroyed = nullptr)
        : m_body(std::move(body)), m_destroyed(std::move(destroyed))
    {
    }

protected:
    ~CFuncThread() override
    {
        if (m_destroyed)
            m_destroyed->set();
    }
    void run() override { m_body(*this); }

private:
    std::function<void(CFuncThread&)> m_body;
    P<CSignal> m_destroyed;
};

P<CThread> startThread(std::function<void(CFuncThread&)> body, P<CSignal> destroyed = nullptr)
{
    P<CThread> thread(new CFuncThread(std::move(body), std::move(destroyed)));
    thread->start();
    return thread;
}

bool isListed(const P<CThread>& thread)
{
    const auto all = CThreadList::get()->getThreads();
    return std::find(all.begin(), all.end(), thread) != all.end();
}

void cooperate(CFuncThread& self)
{
    while (self.checkContinue())
        self.sleepUnlessStopped(1000);
}

} // namespace

TEST(CSignalTest, WaitTimesOutNoEarlierThanAsked)
{
    for (int timeout : {0, 30, 120}) {
        SCOPED_TRACE(timeout);
        P<CSignal> signal(new CSignal);
        const auto start = Clock::now();
        EXPECT_FALSE(signal->wait(timeout));
        EXPECT_GE(msSince(start), timeout);
    }
}

TEST(CSignalTest, OneSetWakesEveryWaiterUntilReset)
{
    P<CSignal> signal(new CSignal);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (signal->wait(10000))
                ++woken;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    signal->set();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(woken.load(), 4);
    EXPECT_TRUE(signal->wait(0)); // manual reset: still set
    signal->reset();
    EXPECT_FALSE(signal->wait(0));
    EXPECT_FALSE(signal->isSet());
}

TEST(CThreadTest, StartTwiceThrowsAndJoinHonoursItsTimeout)
{
    P<CSignal> gate(new CSignal);
    P<CThread> thread(new CFuncThread([gate](CFuncThread&) { gate->wait(10000); }));
    EXPECT_TRUE(thread->join(0)); // never started: nothing to wait for
    thread->start();
    try {
        thread->start();
        ADD_FAILURE() << "second start did not throw";
    } catch (const zil::CError& e) {
        EXPECT_EQ(e.getMessage(), String(L"Thread already started"));
    }
    const auto start = Clock::now();
    EXPECT_FALSE(thread->join(50));
    EXPECT_GE(msSince(start), 50);
    EXPECT_TRUE(thread->isAlive());
    gate->set();
    EXPECT_TRUE(thread->join(10000));
    EXPECT_FALSE(thread->isAlive());
    EXPECT_FALSE(isListed(thread));
    EXPECT_TRUE(thread->join(0)); // a second join is harmless
    EXPECT_THROW(thread->start(), zil::CError); // an ended thread does not restart
}

TEST(CThreadTest, JoiningItselfThrowsInsteadOfDeadlocking)
{
    std::atomic<bool> threw{false};
    P<CThread> thread = startThread([&](CFuncThread& self) {
        try {
            self.join(1000);
        } catch (const zil::CError&) {
            threw = true;
        }
    });
    ASSERT_TRUE(thread->join(10000));
    EXPECT_TRUE(threw.load());
}

TEST(CThreadTest, ExceptionEscapingRunIsReportedAndTheProcessGoesOn)
{
    const struct {
        const char* name;
        std::function<void()> fail;
        const char* reported;
    } cases[] = {
        {"CError", [] { throw zil::CError(L"disk on fire", L"Worker::run"); }, "disk on fire"},
        {"std", [] { throw std::runtime_error("bad state"); }, "bad state"},
        {"other", [] { throw 42; }, "unknown exception"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        P<CThread> thread(new CFuncThread([&c](CFuncThread&) { c.fail(); }));
        thread->setName(L"thrower");
        thread->start();
        const bool ended = thread->join(10000);
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(ended);
        EXPECT_NE(err.find(c.reported), std::string::npos) << err;
        EXPECT_NE(err.find("thrower"), std::string::npos) << err;
        EXPECT_FALSE(thread->isAlive());
        EXPECT_FALSE(isListed(thread));
    }
}

TEST(CThreadTest, IdsAreStablePerThreadAndDistinct)
{
    std::atomic<int64_t> first{0}, second{0};
    P<CThread> thread(new CFuncThread([&](CFuncThread&) {
        first = CThread::getCurrentID();
        second = CThread::getCurrentID();
    }));
    EXPECT_EQ(thread->getID(), 0);
    thread->start();
    const int64_t id = thread->getID(); // valid as soon as start() returns
    ASSERT_TRUE(thread->join(10000));
    EXPECT_EQ(first.load(), second.load());
    EXPECT_EQ(first.load(), id);
    EXPECT_NE(id, CThread::getCurrentID());
    EXPECT_EQ(CThread::getCurrentID(), CThread::getCurrentID());

    std::atomic<int64_t> other{0};
    std::thread plain([&] { other = CThread::getCurrentID(); });
    plain.join();
    EXPECT_NE(other.load(), id);
    EXPECT_NE(other.load(), CThread::getCurrentID());
}

TEST(CThreadTest, StopWakesASleepingThreadAndLaterSleepsReturnAtOnce)
{
    std::atomic<int> firstSleep{-1}, secondSleep{-1}, shortSleep{-1};
    P<CSignal> sleeping(new CSignal);
    P<CThread> thread = startThread([&](CFuncThread& self) {
        shortSleep = self.sleepUnlessStopped(1) ? 1 : 0;
        sleeping->set();
        firstSleep = self.sleepUnlessStopped(60000) ? 1 : 0;
        secondSleep = self.sleepUnlessStopped(60000) ? 1 : 0;
    });
    ASSERT_TRUE(sleeping->wait(10000));
    EXPECT_FALSE(thread->isStopRequested());
    thread->stop();
    thread->stop(); // repeated requests are harmless
    ASSERT_TRUE(thread->join(10000)) << "stop did not wake sleepUnlessStopped";
    EXPECT_EQ(shortSleep.load(), 1);
    EXPECT_EQ(firstSleep.load(), 0);
    EXPECT_EQ(secondSleep.load(), 0);
    EXPECT_FALSE(thread->checkContinue());
}

TEST(CThreadTest, SystemNameIsCutToFifteenBytesAtACharacterBoundary)
{
    const struct {
        const wchar_t* name;
        const char* expected;
    } cases[] = {
        {L"worker", "worker"},
        {L"abcdefghijklmnopqrstuvwxyz", "abcdefghijklmno"},
        {L"abcdefghijklmn\u00f6p", "abcdefghijklmn"}, // the two-byte ö would end at byte 16
        {L"abcdefghijkl\u20ac", "abcdefghijkl\xe2\x82\xac"}, // exactly 15 bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        std::string seen;
        P<CThread> thread(new CFuncThread([&](CFuncThread&) {
            char buffer[32] = {};
            pthread_getname_np(pthread_self(), buffer, sizeof(buffer));
            seen = buffer;
        }));
        thread->setName(c.name);
        thread->start();
        ASSERT_TRUE(thread->join(10000));
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(thread->getName(), String(c.name));
    }

    // Renaming a running thread from outside reaches the system too.
    P<CSignal> renamed(new CSignal);
    std::string seen;
    P<CThread> thread = startThread([&](CFuncThread&) {
        renamed->wait(10000);
        char buffer[32] = {};
        pthread_getname_np(pthread_self(), buffer, sizeof(buffer));
        seen = buffer;
    });
    thread->setName(L"renamed");
    renamed->set();
    ASSERT_TRUE(thread->join(10000));
    EXPECT_EQ(seen, "renamed");
}

TEST(CThreadListTest, StopAllThreadsReportsThreadsThatIgnoreTheLimit)
{
    P<CThreadList> list = CThreadList::get();

    // Cooperative threads end within the limit.
    std::vector<P<CThread>> cooperative;
    for (int i = 0; i < 3; ++i)
        cooperative.push_back(startThread(cooperate));
    EXPECT_TRUE(list->stopAllThreads(10000, true));
    for (const auto& thread : cooperative)
        EXPECT_FALSE(thread->isAlive());

    // Without join it only asks: a thread that takes its time is still running.
    P<CSignal> release(new CSignal);
    P<CThread> slow = startThread([release](CFuncThread&) { release->wait(10000); });
    EXPECT_FALSE(list->stopAllThreads(0, false));
    EXPECT_TRUE(slow->isStopRequested());
    release->set();
    ASSERT_TRUE(slow->join(10000));

    // A thread that ignores stop is left running once the limit is over, and later frees
    // itself though nobody holds it any more.
    P<CSignal> destroyed(new CSignal);
    P<CThread> stubborn = startThread([](CFuncThread&) { CThread::sleep(1500); }, destroyed);
    const auto start = Clock::now();
    EXPECT_FALSE(list->stopAllThreads(200, true));
    EXPECT_LT(msSince(start), 1200) << "the limit was not honoured";
    EXPECT_TRUE(stubborn->isAlive());
    stubborn->detach();
    stubborn.reset();
    EXPECT_FALSE(destroyed->isSet()) << "freed while still running";
    EXPECT_TRUE(destroyed->wait(10000));
    EXPECT_EQ(list->getCount(), 0u);
}

TEST(CThreadListTest, CallingThreadDoesNotWaitForItself)
{
    std::atomic<int> result{-1};
    P<CThread> thread = startThread([&](CFuncThread&) {
        result = CThreadList::get()->stopAllThreads(5000, true) ? 1 : 0;
    });
    ASSERT_TRUE(thread->join(10000));
    EXPECT_EQ(result.load(), 1);
}

TEST(CThreadListTest, ThreadsStartedDuringStopAllThreadsAreStoppedToo)
{
    P<CThreadList> list = CThreadList::get();
    // The sentinel keeps stopAllThreads busy until every launcher is done, so that all 50
    // threads are started while it runs.
    P<CSignal> stopSeen(new CSignal), launched(new CSignal);
    P<CThread> sentinel = startThread([&](CFuncThread& self) {
        cooperate(self);
        stopSeen->set();
        launched->wait(20000);
    });

    constexpr int kLaunchers = 5, kPerLauncher = 10;
    std::vector<P<CThread>> started[kLaunchers];
    std::vector<std::thread> launchers;
    for (int l = 0; l < kLaunchers; ++l)
        launchers.emplace_back([&, l] {
            stopSeen->wait(20000);
            for (int i = 0; i < kPerLauncher; ++i)
                started[l].push_back(startThread(cooperate));
        });
    std::thread finisher([&] {
        for (auto& launcher : launchers)
            launcher.join();
        launched->set();
    });

    EXPECT_TRUE(list->stopAllThreads(20000, true));
    finisher.join();
    size_t total = 0;
    for (const auto& group : started) {
        for (const auto& thread : group) {
            EXPECT_TRUE(thread->isStopRequested());
            EXPECT_FALSE(thread->isAlive());
            ++total;
        }
    }
    EXPECT_EQ(total, static_cast<size_t>(kLaunchers * kPerLauncher));
    EXPECT_EQ(list->getCount(), 0u);
}
