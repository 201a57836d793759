// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <functional>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <thread>
#include <ucontext.h>
#include <unistd.h>
#include <vector>

namespace zil::test {

// The sanitizer runtimes make system calls of their own on the counted thread.
constexpr bool kUnderSanitizer =
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    true;
#else
    false;
#endif
#elif defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    true;
#else
    false;
#endif

inline std::atomic<bool> g_countSyscalls{false};
inline std::atomic<int> g_syscalls{0};

// Every system call of the filtered thread lands here instead of the kernel and fails.
inline void onTrappedSyscall(int, siginfo_t*, void* context)
{
    if (g_countSyscalls.load())
        ++g_syscalls;
    static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RAX] = -ENOSYS;
}

// System calls made by `work` on a thread of its own, counted by a seccomp filter that traps
// all but those a thread needs to end (and futex, which only a contended lock makes). -1 when
// the kernel refused the filter.
inline int countSyscalls(const std::function<void()>& work)
{
    struct sigaction action = {}, old = {};
    action.sa_sigaction = onTrappedSyscall;
    action.sa_flags = SA_SIGINFO;
    ::sigaction(SIGSYS, &action, &old);
    g_syscalls = 0;
    std::thread([&] {
        work(); // unfiltered, as a thread's first allocations map its arena
        std::vector<sock_filter> filter{BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
        for (const int allowed : {SYS_rt_sigreturn, SYS_exit, SYS_exit_group, SYS_futex, SYS_munmap, SYS_madvise,
                                  SYS_rt_sigprocmask}) {
            filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(allowed), 0, 1));
            filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
        }
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP));
        const sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) != 0) {
            g_syscalls = -1;
            return;
        }
        g_countSyscalls = true;
        work();
        g_countSyscalls = false;
    }).join();
    ::sigaction(SIGSYS, &old, nullptr);
    return g_syscalls;
}

} // namespace zil::test
