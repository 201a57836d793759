// SPDX-License-Identifier: MIT
#include "zil/signals.h"

#include "zil/error.h"

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace zil {

namespace {

constexpr SysSignal kSignals[] = {SysSignal::hangup, SysSignal::interrupt, SysSignal::quit,
                                  SysSignal::terminate};
constexpr size_t kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

// Write end of the self-pipe, read by the signal handler; -1 until the receiver has started.
std::atomic<int> g_writeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free int");

extern "C" void onSystemSignal(int number)
{
    const int savedErrno = errno;
    const int fd = g_writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(number);
        // A full pipe means the receiver is far behind; losing a repeat of a pending signal
        // is what the kernel does too.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

int indexOf(SysSignal signal)
{
    for (size_t i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == signal)
            return static_cast<int>(i);
    return -1;
}

} // namespace

struct CSystemSignalReceiver::Impl {
    P<ISystemSignalHandler> handlers[kSignalCount];
    struct sigaction previous[kSignalCount] = {};
    bool installed[kSignalCount] = {};
    int readFd = -1;
    int writeFd = -1;
    bool started = false;
};

P<CSystemSignalReceiver> CSystemSignalReceiver::get()
{
    static CSafeGlobalSlot<CSystemSignalReceiver> slot;
    return slot.use([] { return P<CSystemSignalReceiver>(new CSystemSignalReceiver); });
}

CSystemSignalReceiver::CSystemSignalReceiver() : m_impl(new Impl) {}

CSystemSignalReceiver::~CSystemSignalReceiver()
{
    // Only reached when never started: the receiver thread holds a reference for good.
    delete m_impl;
}

void CSystemSignalReceiver::ensureStarted()
{
    if (m_impl->started)
        return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throwSysError(L"CSystemSignalReceiver::setHandler", L"Cannot create the signal pipe");
    m_impl->readFd = fds[0];
    m_impl->writeFd = fds[1];
    try {
        // A plain thread, not a CThread: it must outlive CThreadList::stopAllThreads(), since
        // signals still arrive while the application shuts down.
        P<CSystemSignalReceiver> self(this);
        std::thread([self] { self->receive(); }).detach();
    } catch (const std::system_error& e) {
        ::close(fds[0]);
        ::close(fds[1]);
        m_impl->readFd = m_impl->writeFd = -1;
        throw CError(L"Cannot start the signal receiver thread: " + String::fromUTF8(e.what()),
                     L"CSystemSignalReceiver::setHandler", e.code().value());
    }
    g_writeFd.store(fds[1]);
    m_impl->started = true;
}

void CSystemSignalReceiver::receive()
{
    const int fd = m_impl->readFd; // set before the thread started, never changed
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("zil: signal receiver poll");
            return;
        }
        unsigned char buffer[64];
        const ssize_t count = ::read(fd, buffer, sizeof(buffer));
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            std::perror("zil: signal receiver read");
            return;
        }
        for (ssize_t i = 0; i < count; ++i) {
            const SysSignal signal = static_cast<SysSignal>(buffer[i]);
            P<ISystemSignalHandler> handler = getHandler(signal);
            if (!handler)
                continue; // removed after the signal came
            try {
                handler->handleSystemSignal(signal);
            } catch (const CError& e) {
                std::fprintf(stderr, "zil: error in handler of signal %d: %s\n", buffer[i],
                             e.getFullText().toUTF8().c_str());
            } catch (const std::exception& e) {
                std::fprintf(stderr, "zil: exception in handler of signal %d: %s\n", buffer[i],
                             e.what());
            } catch (...) {
                std::fprintf(stderr, "zil: unknown exception in handler of signal %d\n",
                             buffer[i]);
            }
        }
    }
}

void CSystemSignalReceiver::setHandler(SysSignal signal, ISystemSignalHandler* handler)
{
    const int index = indexOf(signal);
    if (index < 0) {
        CInvalidArgError e(L"Not a supported system signal: " +
                               toString(static_cast<int64_t>(static_cast<int>(signal))),
                           L"CSystemSignalReceiver::setHandler");
        e.setProp(L"signal", toString(static_cast<int64_t>(static_cast<int>(signal))));
        throw e;
    }
    const int number = static_cast<int>(signal);
    CProps props;
    props.set(L"signal", toString(static_cast<int64_t>(number)));
    P<ISystemSignalHandler> old; // released outside the lock
    std::lock_guard<std::mutex> lock(m_mutex);
    if (handler && !m_impl->installed[index]) {
        ensureStarted();
        struct sigaction action = {};
        action.sa_handler = onSystemSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        if (::sigaction(number, &action, &m_impl->previous[index]) != 0)
            throwSysError(L"CSystemSignalReceiver::setHandler",
                          L"Cannot install the signal handler", props);
        m_impl->installed[index] = true;
    } else if (!handler && m_impl->installed[index]) {
        if (::sigaction(number, &m_impl->previous[index], nullptr) != 0)
            throwSysError(L"CSystemSignalReceiver::setHandler",
                          L"Cannot restore the signal disposition", props);
        m_impl->installed[index] = false;
    }
    old = std::move(m_impl->handlers[index]);
    m_impl->handlers[index] = handler;
}

P<ISystemSignalHandler> CSystemSignalReceiver::getHandler(SysSignal signal) const
{
    const int index = indexOf(signal);
    if (index < 0)
        return nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_impl->handlers[index];
}

} // namespace zil
