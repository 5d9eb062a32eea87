// POSIX process backend: posix_spawn without a shell, and a wait that sleeps in the desk's event
// loop on a pidfd until the child exits, then reaps exactly that child.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <system_error>
#include <thread>

#include "common/desk.h"
#include "common/unique_fd.h"
#include "tools/posix/child_wait.h"
#include "tools/process.h"

extern char** environ;

namespace posix_process {
namespace {

// Owns a posix_spawn file-actions and attribute set for one start.
class SpawnSetup final {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
    // Only the standard streams reach the member: no pidfd, pipe or socket of ours, even one a
    // library opened without close-on-exec.
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
    posix_spawnattr_init(&attr_);
    sigset_t all;
    sigfillset(&all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr_, &all);
    posix_spawnattr_setsigmask(&attr_, &none);
    posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attr_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // posix_spawn's error number, 0 on success.
  int Start(const char* program, const std::vector<std::string>& argv, pid_t& pid) const {
    std::vector<char*> raw;
    raw.reserve(argv.size() + 1);
    for (const std::string& arg : argv) raw.push_back(const_cast<char*>(arg.c_str()));
    raw.push_back(nullptr);
    return posix_spawn(&pid, program, &actions_, &attr_, raw.data(), environ);
  }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attr_;
};

// Closes a descriptor when the scope ends.
// Reaps `pid` with waitid; `flags` is WNOHANG or 0 (block). Sets `ended` once there is nothing
// more to wait for: the child was reaped (its status) or cannot be (nullopt).
std::optional<std::int32_t> Reap(pid_t pid, int flags, bool& ended) {
  for (;;) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | flags) == 0) {
      ended = info.si_pid != 0;
      if (!ended) return std::nullopt;
      return StatusFromCode(info.si_code, info.si_status);
    }
    if (errno != EINTR) {
      ended = true;
      return std::nullopt;
    }
  }
}

// The blocking reap, for when no waiting descriptor can be had at all.
std::optional<std::int32_t> ReapBlocking(pid_t pid) {
  bool ended = false;
  return Reap(pid, 0, ended);
}

// Lets the desk wait on `fd` until the child has ended; the desk may return early, so each return
// is checked with a non-blocking reap.
std::optional<std::int32_t> WaitOnDescriptor(Desk& desk, int fd, pid_t pid) {
  for (;;) {
    desk.WaitFor(WaitHandle{fd});
    bool ended = false;
    std::optional<std::int32_t> status = Reap(pid, WNOHANG, ended);
    if (ended) return status;
  }
}

std::optional<std::int32_t> WaitWithWatcher(Desk& desk, pid_t pid) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return ReapBlocking(pid);
  UniqueFd read_end(ends[0]);
  UniqueFd write_end(ends[1]);
  std::thread watcher;
  try {
    watcher = std::thread([pid, fd = write_end.get()] {
      // WNOWAIT leaves the reaping to the waiting thread, which owns the child.
      siginfo_t info{};
      while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 &&
             errno == EINTR) {
      }
      const char byte = 1;
      while (::write(fd, &byte, 1) < 0 && errno == EINTR) {
      }
    });
  } catch (const std::system_error&) {
    return ReapBlocking(pid);
  }
  std::optional<std::int32_t> status = WaitOnDescriptor(desk, read_end.get(), pid);
  watcher.join();
  return status;
}

}  // namespace

std::int32_t StatusFromCode(int code, int status) {
  switch (code) {
    case CLD_EXITED:
      return static_cast<std::int8_t>(static_cast<std::uint8_t>(status & 0xFF));
    case CLD_KILLED:
    case CLD_DUMPED:
      return -(128 + status);
    default:
      return -1;
  }
}

std::optional<pid_t> Spawn(const std::string& path, const std::vector<std::string>& words) {
  SpawnSetup setup;
  std::vector<std::string> argv{path};
  argv.insert(argv.end(), words.begin(), words.end());
  pid_t pid = -1;
  int error = setup.Start(path.c_str(), argv, pid);
  if (error == ENOEXEC || error == EACCES) {
    // Not executable as it stands: hand it to the shell as a script, if the shell can read it.
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) return std::nullopt;
    argv.insert(argv.begin(), "/bin/sh");
    error = setup.Start("/bin/sh", argv, pid);
  }
  if (error != 0) return std::nullopt;
  return pid;
}

std::optional<std::int32_t> WaitForChild(Desk& desk, pid_t pid, Waiter waiter) {
  if (waiter == Waiter::kPidfd) {
    int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
      UniqueFd owner(pidfd);  // pidfds are close-on-exec from the start
      return WaitOnDescriptor(desk, pidfd, pid);
    }
    // ENOSYS before Linux 5.3; any other failure is handled by the watcher just as well.
  }
  return WaitWithWatcher(desk, pid);
}

}  // namespace posix_process

std::optional<std::int32_t> StartAndWait(Desk& desk, const std::string& path,
                                         const std::vector<std::string>& words) {
  std::optional<pid_t> pid = posix_process::Spawn(path, words);
  if (!pid) return std::nullopt;
  return posix_process::WaitForChild(desk, *pid);
}
