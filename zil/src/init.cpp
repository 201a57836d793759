// SPDX-License-Identifier: MIT
#include "zil/init.h"

#include <atomic>
#include <csignal>
#include <mutex>

namespace zil {

namespace {

std::atomic<int> g_instances{0};

void ignoreSigPipe()
{
    struct sigaction current = {};
    if (::sigaction(SIGPIPE, nullptr, &current) != 0)
        return;
    const bool hasHandler = (current.sa_flags & SA_SIGINFO) ? current.sa_sigaction != nullptr
                                                            : current.sa_handler != SIG_DFL;
    if (hasHandler)
        return; // the application's own choice, or already ignored
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

} // namespace

CZilInit::CZilInit()
{
    static std::once_flag once;
    std::call_once(once, ignoreSigPipe);
    g_instances.fetch_add(1);
}

CZilInit::~CZilInit()
{
    g_instances.fetch_sub(1);
}

int CZilInit::getInstanceCount()
{
    return g_instances.load();
}

} // namespace zil
