// SPDX-License-Identifier: MIT
#pragma once

#include "zil/containers.h"
#include "zil/object.h"
#include "zil/string.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace zil {

// Manual-reset event: once set, every wait returns true until reset().
class CSignal : public CBase {
public:
    CSignal() = default;
    CSignal(const CSignal&) = delete;
    CSignal& operator=(const CSignal&) = delete;

    void set();
    void reset();
    bool isSet() const;
    // Milliseconds on the steady clock; any negative value waits forever. False on timeout.
    bool wait(int timeoutMs = -1);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_set = false;
};

class CThreadList;

// A thread of the library. Create it with `new` and hold it in a P<>: while running, the
// thread keeps a reference to itself, so an object nobody else holds lives until run() ends
// and is then freed. Every started thread is listed in CThreadList until run() returns.
class CThread : public CBase {
public:
    CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Throws CError when called a second time (also after the thread has ended) or when the
    // system cannot create a thread. Returns once the thread exists and getID() is valid.
    void start();
    // Asks run() to end: sets the flag and wakes sleepUnlessStopped(). Never blocks; may be
    // called before start(), from any thread, any number of times.
    void stop();
    // True when the thread has ended (or was never started); false on timeout. Any negative
    // timeout waits forever. Throws CError when called from the thread itself.
    bool join(int timeoutMs = -1);
    // Nobody will join: the system resources go with the end of the thread. join() still
    // works as a wait.
    void detach();

    // From start() until run() has returned.
    bool isAlive() const { return m_alive.load(); }
    bool isStopRequested() const { return m_stopRequested.load(); }
    bool checkContinue() const { return !m_stopRequested.load(); }
    // Sleeps `ms` milliseconds unless stop() comes first; false when stopped (also when stop
    // was already requested on entry).
    bool sleepUnlessStopped(int ms);

    static void sleep(int ms);
    // The kernel's thread id (gettid) of the calling thread.
    static int64_t getCurrentID();
    // The kernel's thread id once started; 0 before.
    int64_t getID() const { return m_id.load(); }

    // The system shows at most 15 bytes of UTF-8 (cut at a character boundary); getName()
    // returns the whole name. Applied at start() when set before.
    void setName(const String& name);
    String getName() const;

protected:
    ~CThread() override;
    virtual void run() = 0;

private:
    void threadMain(P<CThread> self);
    void applyName();

    mutable std::mutex m_mutex;
    std::condition_variable m_cond; // signals stop requests, the thread id and the end
    std::mutex m_joinMutex;         // serialises joining/detaching the std::thread
    std::thread m_thread;
    pthread_t m_handle{}; // valid while m_alive; set by the thread itself
    String m_name;
    bool m_started = false;
    bool m_ended = false;
    std::atomic<bool> m_alive{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<int64_t> m_id{0};
    P<CThreadList> m_list; // kept so that a thread ending after static destruction still finds it
};

// All running CThreads of the process.
class CThreadList : public CBase {
public:
    static P<CThreadList> get();

    // Asks every listed thread to stop. With `join`, waits until all have ended or the total
    // time limit (ms, negative = forever) is over: threads started meanwhile are stopped and
    // waited for too, threads still running at the limit are left running. Without `join`,
    // returns at once. True when no thread is left running; the calling thread, if listed,
    // does not count.
    bool stopAllThreads(int timeoutMs, bool join);
    size_t getCount() const;
    TArray<P<CThread>> getThreads() const;

private:
    friend class CThread;
    void add(CThread* thread);
    void remove(CThread* thread);
    TArray<P<CThread>> getOthers() const;

    mutable std::mutex m_mutex;
    TArray<P<CThread>> m_threads;
    int m_stopping = 0; // stopAllThreads calls in progress: new threads are stopped at once
};

} // namespace zil
