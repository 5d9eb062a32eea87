// The POSIX process backend's parts, open to tests and benchmarks: starting a member and the two
// ways of waiting for it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Desk;

namespace posix_process {

// posix_spawn of `path` exactly as given, argv = path + `words`, every fd above 2 closed, signal
// mask and dispositions reset. A file that the kernel will not execute (no run permission, no
// recognised format) is started as /bin/sh path words... nullopt when nothing could be started.
std::optional<pid_t> Spawn(const std::string& path, const std::vector<std::string>& words);

// How the wait learns that the child has ended.
enum class Waiter {
  kPidfd,          // a pidfd, readable once the child has exited
  kWatcherThread,  // for kernels without pidfd_open: a thread blocked in waitid signals a pipe
};

// Waits for `pid` through `desk` (the event loop keeps running), reaps exactly that child and
// returns its status: a normal exit sign-extended from 8 bits, death by signal N as -(128 + N).
// kPidfd falls back to kWatcherThread when pidfd_open is unavailable. nullopt when the child
// cannot be reaped (for example when SIGCHLD is ignored and the kernel reaped it).
std::optional<std::int32_t> WaitForChild(Desk& desk, pid_t pid, Waiter waiter = Waiter::kPidfd);

// The tool status of a waitid result.
std::int32_t StatusFromCode(int code, int status);

}  // namespace posix_process
