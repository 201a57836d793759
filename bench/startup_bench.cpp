// SPDX-License-Identifier: MIT
// An application built on CAppBase must start about as fast as a plain wxApp: from exec to the
// first idle event with a frame shown, each started as a process of its own.
#include "ratio.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Starts the probe `n` times in `mode` and waits for each; false when one failed.
bool startProbe(const char* mode, int64_t n)
{
    std::vector<std::string> variables{std::string("ZILUI_PROBE=") + mode};
    std::vector<char*> env;
    for (std::string& variable : variables)
        env.push_back(variable.data());
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("ZILUI_PROBE=", 0) != 0)
            env.push_back(*e);
    env.push_back(nullptr);
    char path[] = ZILUI_STARTUP_PROBE;
    char* argv[] = {path, nullptr};
    bool ok = true;
    while (n-- > 0) {
        pid_t pid;
        int status = 0;
        ok &= ::posix_spawn(&pid, path, nullptr, nullptr, argv, env.data()) == 0 &&
              ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return ok;
}

void BM_StartupToFirstIdle(benchmark::State& state)
{
    // The probes' logs and settings stay out of the user's folders.
    char folder[] = "/tmp/zilui-startup-XXXXXX";
    if (!::mkdtemp(folder)) {
        state.SkipWithError("cannot create a temporary folder");
        return;
    }
    ::setenv("XDG_STATE_HOME", folder, 1);
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    bool ok = true;
    bench::compare(state, {"CAppBase app, exec to first idle", [&](int64_t n) { ok &= startProbe("appbase", n); }},
                   {"plain wxApp, exec to first idle", [&](int64_t n) { ok &= startProbe("plain", n); }}, 1.3,
                   bench::Clock::children);
    if (!ok)
        state.SkipWithError("a probe did not reach its first idle event");
    const std::string remove = std::string("rm -rf '") + folder + "'";
    if (std::system(remove.c_str()) != 0)
        state.SkipWithError("cannot remove the temporary folder");
}
BENCHMARK(BM_StartupToFirstIdle)->Iterations(1);

} // namespace
