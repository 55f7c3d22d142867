#pragma once

// A full disk for tests: work run under a file size limit.

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// A full disk without root: runs `action` in a child process whose files cannot grow beyond
// `bytes` (RLIMIT_FSIZE, with SIGXFSZ ignored, so a write past it fails with an error as on a
// full disk). Returns the child's exit code, which is what `action` returned; -1 when the
// child did not end normally.
inline int runWithFileSizeLimit(rlim_t bytes, const std::function<int()> &action)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(action());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
