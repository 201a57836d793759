// SPDX-License-Identifier: MIT
#include "zil/thread.h"

#include "zil/error.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <pthread.h>
#include <system_error>
#include <unistd.h>

namespace zil {

namespace {

using Clock = std::chrono::steady_clock;

// Waits on `cond` until `done()` or the timeout (ms, negative = forever); returns done().
template <class Pred>
bool waitFor(std::condition_variable& cond, std::unique_lock<std::mutex>& lock, int timeoutMs,
             Pred done)
{
    if (timeoutMs < 0) {
        cond.wait(lock, done);
        return true;
    }
    return cond.wait_until(lock, Clock::now() + std::chrono::milliseconds(timeoutMs), done);
}

// The longest prefix of at most 15 bytes that does not cut a UTF-8 sequence: the kernel's
// limit for a thread name (16 with the terminating zero).
std::string systemThreadName(const String& name)
{
    std::string utf8 = name.toUTF8();
    if (utf8.size() <= 15)
        return utf8;
    size_t end = 15;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    utf8.resize(end);
    return utf8;
}

} // namespace

// ---- CSignal ----

void CSignal::set()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
    m_cond.notify_all();
}

void CSignal::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
}

bool CSignal::isSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_set;
}

bool CSignal::wait(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return waitFor(m_cond, lock, timeoutMs, [this] { return m_set; });
}

// ---- CThread ----

CThread::CThread() = default;

CThread::~CThread()
{
    // The last reference may go on the thread itself (a detached or forgotten thread ending):
    // it cannot join itself, so it lets the system reclaim it. Anywhere else the thread has
    // already dropped its own reference, so it is at its very end and joining is immediate.
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
}

void CThread::start()
{
    P<CThread> keep(this); // the list may hold the only other reference, and drop it on failure
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_started) {
            CError e(L"Thread already started", L"CThread::start");
            e.setProp(L"name", m_name);
            throw e;
        }
        m_started = true;
        m_alive = true;
    }
    m_list = CThreadList::get();
    m_list->add(this);
    try {
        std::lock_guard<std::mutex> lock(m_joinMutex);
        m_thread = std::thread(&CThread::threadMain, this, keep);
    } catch (const std::system_error& e) {
        m_list->remove(this);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_alive = false;
            m_ended = true;
            m_cond.notify_all();
        }
        CError error(L"Cannot create a thread: " + String::fromUTF8(e.what()), L"CThread::start",
                     e.code().value());
        error.setProp(L"name", m_name);
        error.setProp(L"lastSysError", toString(static_cast<int64_t>(e.code().value())));
        throw error;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return m_id.load() != 0; });
}

void CThread::threadMain(P<CThread> self)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handle = pthread_self();
        m_id = getCurrentID();
        m_cond.notify_all();
    }
    applyName();
    try {
        run();
    } catch (const CError& e) {
        std::fprintf(stderr, "zil: error escaped thread '%s' (%lld): %s\n",
                     getName().toUTF8().c_str(), static_cast<long long>(getID()),
                     e.getFullText().toUTF8().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zil: exception escaped thread '%s' (%lld): %s\n",
                     getName().toUTF8().c_str(), static_cast<long long>(getID()), e.what());
    } catch (...) {
        std::fprintf(stderr, "zil: unknown exception escaped thread '%s' (%lld)\n",
                     getName().toUTF8().c_str(), static_cast<long long>(getID()));
    }
    // Off the list before waking joiners, so that a joined thread is never counted.
    m_list->remove(this);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_alive = false;
        m_ended = true;
        m_cond.notify_all();
    }
    self.reset(); // may delete this
}

void CThread::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopRequested = true;
    m_cond.notify_all();
}

bool CThread::join(int timeoutMs)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_started)
            return true;
        if (m_id.load() == getCurrentID()) {
            CError e(L"A thread cannot join itself", L"CThread::join");
            e.setProp(L"name", m_name);
            throw e;
        }
        if (!waitFor(m_cond, lock, timeoutMs, [this] { return m_ended; }))
            return false;
    }
    std::lock_guard<std::mutex> lock(m_joinMutex);
    if (m_thread.joinable())
        m_thread.join();
    return true;
}

void CThread::detach()
{
    std::lock_guard<std::mutex> lock(m_joinMutex);
    if (m_thread.joinable())
        m_thread.detach();
}

bool CThread::sleepUnlessStopped(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !waitFor(m_cond, lock, std::max(ms, 0), [this] { return m_stopRequested.load(); });
}

void CThread::sleep(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t CThread::getCurrentID()
{
    thread_local const int64_t id = static_cast<int64_t>(::gettid());
    return id;
}

void CThread::setName(const String& name)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_name = name;
    }
    applyName();
}

String CThread::getName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_name;
}

void CThread::applyName()
{
    // While m_alive holds (checked under the lock the thread takes to clear it), the pthread
    // exists, so its handle is valid even when detached.
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_alive || m_id.load() == 0)
        return;
    const std::string name = systemThreadName(m_name);
    pthread_setname_np(m_handle, name.c_str());
}

// ---- CThreadList ----

P<CThreadList> CThreadList::get()
{
    static CSafeGlobalSlot<CThreadList> slot;
    return slot.use();
}

void CThreadList::add(CThread* thread)
{
    bool stopNow = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_threads.emplace_back(thread);
        stopNow = m_stopping > 0;
    }
    if (stopNow)
        thread->stop();
}

void CThreadList::remove(CThread* thread)
{
    P<CThread> removed; // released outside the lock: it may be the last reference
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = std::find_if(m_threads.begin(), m_threads.end(),
                           [thread](const P<CThread>& t) { return t.get() == thread; });
    if (it != m_threads.end()) {
        removed = std::move(*it);
        m_threads.erase(it);
    }
}

size_t CThreadList::getCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_threads.size();
}

TArray<P<CThread>> CThreadList::getThreads() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_threads;
}

TArray<P<CThread>> CThreadList::getOthers() const
{
    const int64_t self = CThread::getCurrentID();
    TArray<P<CThread>> others;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& thread : m_threads)
        if (thread->getID() != self)
            others.push_back(thread);
    return others;
}

bool CThreadList::stopAllThreads(int timeoutMs, bool join)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_stopping;
    }
    struct Done {
        CThreadList* list;
        ~Done()
        {
            std::lock_guard<std::mutex> lock(list->m_mutex);
            --list->m_stopping;
        }
    } done{this};

    for (const auto& thread : getOthers())
        thread->stop();
    if (!join)
        return getOthers().empty();

    // Threads end and new ones (already stopped by add()) arrive while we wait: take a fresh
    // look after each round until none is left or time is up.
    for (;;) {
        const auto others = getOthers();
        if (others.empty())
            return true;
        for (const auto& thread : others) {
            int remaining = -1;
            if (timeoutMs >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - Clock::now());
                if (left.count() <= 0)
                    return getOthers().empty();
                remaining = static_cast<int>(left.count());
            }
            thread->join(remaining);
        }
    }
}

} // namespace zil
