// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/thread.h>

#include <gtest/gtest.h>

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
struct CFuncThread : CThread {
    CFuncThread(std::function<void(CFuncThread&)> body, P<CSignal> destroyed = nullptr)
        : body(std::move(body)), destroyed(std::move(destroyed)) {}
    ~CFuncThread() override { destroyed ? destroyed->set() : void(); }
    void run() override { body(*this); }
    std::function<void(CFuncThread&)> body;
    P<CSignal> destroyed;
};

P<CThread> startThread(std::function<void(CFuncThread&)> body, P<CSignal> destroyed = nullptr)
{
    P<CThread> thread(new CFuncThread(std::move(body), std::move(destroyed)));
    thread->start();
    return thread;
}

// Ends only when stop wakes its long sleep.
void cooperate(CFuncThread& self)
{
    while (self.checkContinue())
        self.sleepUnlessStopped(60000);
}

} // namespace

TEST(CSignalTest, WaitTimesOutOrWakesEveryWaiterUntilReset)
{
    P<CSignal> signal(new CSignal);
    for (int timeout : {0, 50}) {
        const auto start = Clock::now();
        EXPECT_FALSE(signal->wait(timeout));
        EXPECT_GE(msSince(start), timeout);
    }
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] { woken += signal->wait(10000) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    signal->set();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(woken.load(), 4);
    EXPECT_TRUE(signal->wait(0)) << "manual reset: still set";
    signal->reset();
    EXPECT_FALSE(signal->wait(0));
}

TEST(CThreadTest, StartTwiceAndJoiningItselfThrowAndJoinHonoursItsTimeout)
{
    P<CSignal> gate(new CSignal);
    std::atomic<bool> selfJoinThrew{false};
    std::atomic<int64_t> idInside{0};
    P<CThread> thread(new CFuncThread([&](CFuncThread& self) {
        idInside = CThread::getCurrentID();
        try {
            self.join(1000);
        } catch (const zil::CError&) {
            selfJoinThrew = true;
        }
        gate->wait(10000);
    }));
    EXPECT_TRUE(thread->join(0)); // never started: nothing to wait for
    thread->start();
    const int64_t id = thread->getID(); // valid as soon as start() returns
    EXPECT_THROW(thread->start(), zil::CError);
    const auto start = Clock::now();
    EXPECT_FALSE(thread->join(50));
    EXPECT_GE(msSince(start), 50);
    gate->set();
    ASSERT_TRUE(thread->join(10000));
    EXPECT_TRUE(selfJoinThrew.load()) << "joining itself must throw, not deadlock";
    EXPECT_EQ(idInside.load(), id);
    EXPECT_NE(id, CThread::getCurrentID());
    EXPECT_FALSE(thread->isAlive());
    EXPECT_THROW(thread->start(), zil::CError); // an ended thread does not restart
}

// The system name is cut to 15 bytes at a character boundary; an exception escaping run() is
// reported under the full name and the process goes on.
TEST(CThreadTest, NameReachesTheSystemAndEscapingExceptionsAreReportedUnderIt)
{
    const struct {
        const wchar_t* name;
        const char* systemName;
        std::function<void()> fail;
        const char* reported;
    } cases[] = {
        {L"abcdefghijklmn\u00f6p", "abcdefghijklmn", // the two-byte ö would end at byte 16
         [] { throw zil::CError(L"disk on fire", L"Worker::run"); }, "disk on fire"},
        {L"abcdefghijkl\u20ac", "abcdefghijkl\xe2\x82\xac", // exactly 15 bytes
         [] { throw std::runtime_error("bad state"); }, "bad state"},
        {L"thrower", "thrower", [] { throw 42; }, "unknown exception"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.systemName);
        testing::internal::CaptureStderr();
        char seen[32] = {};
        P<CThread> thread(new CFuncThread([&](CFuncThread&) {
            pthread_getname_np(pthread_self(), seen, sizeof(seen));
            c.fail();
        }));
        thread->setName(c.name);
        thread->start();
        const bool ended = thread->join(10000);
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(ended);
        EXPECT_STREQ(seen, c.systemName);
        EXPECT_EQ(thread->getName(), String(c.name));
        EXPECT_NE(err.find(c.reported), std::string::npos) << err;
        EXPECT_NE(err.find(String(c.name).toUTF8()), std::string::npos) << err;
        EXPECT_EQ(CThreadList::get()->getCount(), 0u);
    }
}

TEST(CThreadListTest, StopAllThreadsReportsThreadsThatIgnoreTheLimit)
{
    P<CThreadList> list = CThreadList::get();
    std::vector<P<CThread>> cooperative;
    for (int i = 0; i < 3; ++i)
        cooperative.push_back(startThread(cooperate));
    // a thread calling stopAllThreads does not wait for itself
    std::atomic<int> fromThread{-1};
    cooperative.push_back(startThread([&](CFuncThread&) { fromThread = list->stopAllThreads(5000, true); }));
    ASSERT_TRUE(cooperative.back()->join(10000));
    EXPECT_EQ(fromThread.load(), 1);
    for (const auto& thread : cooperative)
        EXPECT_FALSE(thread->isAlive());

    // One that ignores stop is left running once the limit is over (it ends only when the test
    // lets it, so a call that waits for it past the limit finds it ended), and later frees
    // itself though nobody holds it any more.
    P<CSignal> destroyed(new CSignal), release(new CSignal);
    P<CThread> stubborn = startThread([release](CFuncThread&) { release->wait(10000); }, destroyed);
    EXPECT_FALSE(list->stopAllThreads(200, true));
    EXPECT_TRUE(stubborn->isAlive()) << "the limit was not honoured";
    stubborn->detach();
    stubborn.reset();
    EXPECT_FALSE(destroyed->isSet()) << "freed while still running";
    release->set();
    EXPECT_TRUE(destroyed->wait(10000));
    EXPECT_EQ(list->getCount(), 0u);
}

TEST(CThreadListTest, ThreadsStartedDuringStopAllThreadsAreStoppedToo)
{
    std::vector<P<CThread>> launchers, started[5];
    for (auto& group : started)
        launchers.push_back(startThread([&group](CFuncThread& self) {
            cooperate(self);
            for (int i = 0; i < 10; ++i) // while stopAllThreads waits for this launcher
                group.push_back(startThread(cooperate));
        }));
    EXPECT_TRUE(CThreadList::get()->stopAllThreads(20000, true));
    for (const auto& group : started) {
        ASSERT_EQ(group.size(), 10u);
        for (const auto& thread : group)
            EXPECT_FALSE(thread->isAlive());
    }
    EXPECT_EQ(CThreadList::get()->getCount(), 0u);
}
