// SPDX-License-Identifier: MIT
#pragma once

#include <mutex>

namespace zil {

// Recursive, like the lock every caller of the library expects: a locked object may call
// back into itself on the same thread.
class CMutex {
public:
    CMutex() = default;
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    void lock() { m_mutex.lock(); }
    bool tryLock() { return m_mutex.try_lock(); }
    void unlock() { m_mutex.unlock(); }

    // BasicLockable, so std::lock_guard and std::condition_variable_any work on it.
    bool try_lock() { return tryLock(); }

private:
    std::recursive_mutex m_mutex;
};

class CMutexLock {
public:
    explicit CMutexLock(CMutex& mutex) : m_mutex(mutex) { m_mutex.lock(); }
    explicit CMutexLock(CMutex* mutex) : CMutexLock(*mutex) {}
    ~CMutexLock() { m_mutex.unlock(); }
    CMutexLock(const CMutexLock&) = delete;
    CMutexLock& operator=(const CMutexLock&) = delete;

private:
    CMutex& m_mutex;
};

} // namespace zil
