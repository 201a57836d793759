// SPDX-License-Identifier: MIT
#pragma once

#include "zil/object.h"

#include <mutex>

namespace zil {

// The system signals an application may want to turn into an orderly exit. Values are the
// POSIX numbers.
enum class SysSignal : int { hangup = 1, interrupt = 2, quit = 3, terminate = 15 };

class ISystemSignalHandler : public virtual IBase {
public:
    // Called on the receiver's own thread, never in signal context: anything may be done here.
    virtual void handleSystemSignal(SysSignal signal) = 0;
};

// Turns system signals into calls on an ordinary thread. The signal handler only writes the
// number to a pipe; a thread started with the first setHandler() reads it and calls the
// handler. A signal without a handler keeps the disposition it had.
class CSystemSignalReceiver : public CBase {
public:
    static P<CSystemSignalReceiver> get();

    CSystemSignalReceiver(const CSystemSignalReceiver&) = delete;
    CSystemSignalReceiver& operator=(const CSystemSignalReceiver&) = delete;

    // Null removes the handler and gives the signal back the disposition it had before the
    // first handler was set (the default one, unless the process was started ignoring it).
    // Throws CInvalidArgError for a value outside SysSignal, CError when the pipe, the thread
    // or the system handler cannot be set up.
    void setHandler(SysSignal signal, ISystemSignalHandler* handler);
    P<ISystemSignalHandler> getHandler(SysSignal signal) const;

protected:
    ~CSystemSignalReceiver() override;

private:
    // One per process: the signal handler writes to the pipe of that one.
    CSystemSignalReceiver();

    struct Impl;
    void ensureStarted();
    void receive();

    mutable std::mutex m_mutex;
    Impl* m_impl;
};

} // namespace zil
