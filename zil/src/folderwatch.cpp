// SPDX-License-Identifier: MIT
#include "zil/folderwatch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>
#include <mutex>
#include <signal.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace zil {

namespace {

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                           IN_CLOSE_WRITE | IN_ONLYDIR;
// Notices that change no name: only listeners hear them.
constexpr uint32_t kContentOnly = IN_CLOSE_WRITE;

using Watch = CFolderWatch::Watch;

struct ListenerRecord {
    CFolderWatch::Listener listener;
};

// Lives to the end of the process, like the thread reading its notices.
class CInotifyWatcher {
public:
    std::shared_ptr<const Watch> add(const std::string& apiPath, std::string& reason)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_failed) {
            reason = "reading inotify notices failed";
            return nullptr;
        }
        if (m_fd < 0 && !start(reason))
            return nullptr;
        const int wd = ::inotify_add_watch(m_fd, apiPath.c_str(), kWatchMask);
        if (wd < 0) {
            reason = errno == ENOSPC ? "the limit of inotify watches is reached"
                                     : std::string("inotify_add_watch: ") + std::strerror(errno);
            return nullptr;
        }
        std::shared_ptr<Watch>& watch = m_watches[wd];
        if (!watch || !watch->alive.load())
            watch = std::make_shared<Watch>();
        return watch;
    }

    uint64_t notices() const { return m_notices.load(std::memory_order_acquire); }

    std::shared_ptr<void> listen(const std::string& apiPath, CFolderWatch::Listener listener, std::string& reason)
    {
        // Sets or shares the folder's watch; the listener then hangs on its descriptor.
        if (!add(apiPath, reason))
            return nullptr;
        std::lock_guard<std::mutex> lock(m_mutex);
        const int wd = ::inotify_add_watch(m_fd, apiPath.c_str(), kWatchMask);
        if (wd < 0) {
            reason = std::string("inotify_add_watch: ") + std::strerror(errno);
            return nullptr;
        }
        auto record = std::make_shared<ListenerRecord>(ListenerRecord{std::move(listener)});
        auto& list = m_listeners[wd];
        // Released listeners are swept here rather than on every notice.
        list.erase(std::remove_if(list.begin(), list.end(), [](const auto& weak) { return weak.expired(); }),
                   list.end());
        list.push_back(record);
        return record;
    }

private:
    bool start(std::string& reason)
    {
        m_fd = ::inotify_init1(IN_CLOEXEC);
        if (m_fd < 0) {
            reason = std::string("inotify_init1: ") + std::strerror(errno);
            return false;
        }
        // The reader takes no process signal away from the threads that wait for one: it
        // starts with all of them blocked.
        sigset_t all, old;
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &old);
        std::thread([this] { run(); }).detach();
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
        return true;
    }

    void run()
    {
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
            if (length <= 0) {
                if (length < 0 && errno == EINTR)
                    continue;
                // Nothing more will be learnt: every watch becomes untrusted, and no new one is set.
                handleOverflow();
                std::lock_guard<std::mutex> lock(m_mutex);
                m_failed = true;
                return;
            }
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                handle(*event);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    void handle(const inotify_event& event)
    {
        if (event.mask & IN_Q_OVERFLOW) {
            handleOverflow();
            return;
        }
        std::vector<std::shared_ptr<ListenerRecord>> listeners;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const auto found = m_watches.find(event.wd);
            if (found == m_watches.end())
                return;
            listeners = listenersOf(event.wd);
            const std::shared_ptr<Watch> watch = found->second;
            if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                // A moved folder keeps its watch in the kernel, but the path no longer leads to it.
                watch->alive.store(false);
                if (!(event.mask & IN_IGNORED))
                    ::inotify_rm_watch(m_fd, event.wd);
                m_watches.erase(found);
                m_listeners.erase(event.wd);
            }
            if (!(event.mask & kContentOnly)) {
                watch->changes.fetch_add(1, std::memory_order_release);
                m_notices.fetch_add(1, std::memory_order_release);
            }
        }
        // Outside the lock: a listener may set a watch of its own.
        const std::string name = event.len > 0 ? std::string(event.name) : std::string();
        for (const auto& record : listeners)
            record->listener(name);
    }

    // The live listeners of `wd`; called with the mutex held.
    std::vector<std::shared_ptr<ListenerRecord>> listenersOf(int wd) const
    {
        std::vector<std::shared_ptr<ListenerRecord>> live;
        const auto found = m_listeners.find(wd);
        if (found != m_listeners.end())
            for (const auto& weak : found->second)
                if (auto record = weak.lock())
                    live.push_back(std::move(record));
        return live;
    }

    // Notices were lost: no listing can be trusted, so every watch ends and is set anew.
    void handleOverflow()
    {
        std::vector<std::shared_ptr<ListenerRecord>> listeners;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (auto& [wd, watch] : m_watches) {
                watch->alive.store(false);
                watch->changes.fetch_add(1, std::memory_order_release);
                ::inotify_rm_watch(m_fd, wd);
                for (auto& record : listenersOf(wd))
                    listeners.push_back(std::move(record));
            }
            m_watches.clear();
            m_listeners.clear();
            m_notices.fetch_add(1, std::memory_order_release);
        }
        for (const auto& record : listeners)
            record->listener(std::string());
    }

    std::mutex m_mutex;
    int m_fd = -1;
    bool m_failed = false;
    std::map<int, std::shared_ptr<Watch>> m_watches;
    std::map<int, std::vector<std::weak_ptr<ListenerRecord>>> m_listeners;
    std::atomic<uint64_t> m_notices{0};
};

CInotifyWatcher& inotifyWatcher()
{
    static CInotifyWatcher* instance = new CInotifyWatcher();
    return *instance;
}

} // namespace

std::shared_ptr<const CFolderWatch::Watch> CFolderWatch::watch(const std::string& apiPath, std::string& reason)
{
    return inotifyWatcher().add(apiPath, reason);
}

uint64_t CFolderWatch::getNoticeCount()
{
    return inotifyWatcher().notices();
}

std::shared_ptr<void> CFolderWatch::listen(const std::string& apiPath, Listener listener, std::string& reason)
{
    return inotifyWatcher().listen(apiPath, std::move(listener), reason);
}

} // namespace zil
