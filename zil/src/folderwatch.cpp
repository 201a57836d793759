// SPDX-License-Identifier: MIT
#include "zil/folderwatch.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <signal.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

namespace zil {

namespace {

constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                           IN_ONLYDIR;

using Watch = CFolderWatch::Watch;

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
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_watches.find(event.wd);
        if (found == m_watches.end())
            return;
        const std::shared_ptr<Watch> watch = found->second;
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            // A moved folder keeps its watch in the kernel, but the path no longer leads to it.
            watch->alive.store(false);
            if (!(event.mask & IN_IGNORED))
                ::inotify_rm_watch(m_fd, event.wd);
            m_watches.erase(found);
        }
        watch->changes.fetch_add(1, std::memory_order_release);
        m_notices.fetch_add(1, std::memory_order_release);
    }

    // Notices were lost: no listing can be trusted, so every watch ends and is set anew.
    void handleOverflow()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [wd, watch] : m_watches) {
            watch->alive.store(false);
            watch->changes.fetch_add(1, std::memory_order_release);
            ::inotify_rm_watch(m_fd, wd);
        }
        m_watches.clear();
        m_notices.fetch_add(1, std::memory_order_release);
    }

    std::mutex m_mutex;
    int m_fd = -1;
    bool m_failed = false;
    std::map<int, std::shared_ptr<Watch>> m_watches;
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

} // namespace zil
