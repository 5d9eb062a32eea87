// Desktop driver: Xvfb, xdotool, xclip and ImageMagick's import, each run without a shell.
#include "desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::vector<char*> CStrings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

std::vector<std::string> Environment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    bool replaced = false;
    for (const std::string& x : extra) {
      if (entry.compare(0, entry.find('=') + 1, x, 0, x.find('=') + 1) == 0) replaced = true;
    }
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

pid_t Spawn(std::vector<std::string> argv, const std::string& directory,
            const std::vector<std::string>& extra_env, int stdout_fd, int stderr_fd = -1) {
  std::vector<std::string> env = Environment(extra_env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  if (stdout_fd >= 0) posix_spawn_file_actions_adddup2(&actions, stdout_fd, 1);
  int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  posix_spawn_file_actions_adddup2(&actions, stderr_fd >= 0 ? stderr_fd : devnull, 2);
  if (stdout_fd < 0) posix_spawn_file_actions_adddup2(&actions, devnull, 1);
  pid_t pid = -1;
  std::vector<char*> args = CStrings(argv);
  std::vector<char*> envp = CStrings(env);
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(devnull);
  return pid;
}

}  // namespace

Child::Child(const std::vector<std::string>& argv, const std::string& directory,
             const std::vector<std::string>& extra_env, const std::string& log) {
  int fd = log.empty() ? -1 : ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  pid_ = Spawn(argv, directory, extra_env, fd, fd);
  if (fd >= 0) ::close(fd);
}

Child::~Child() { Stop(); }

Child Child::Adopt(pid_t pid) {
  Child child;
  child.pid_ = pid;
  return child;
}

Child::Child(Child&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    Stop();
    pid_ = other.pid_;
    other.pid_ = -1;
  }
  return *this;
}

bool Child::Running() {
  if (pid_ < 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

void Child::Stop() {
  if (pid_ < 0) return;
  ::kill(pid_, SIGTERM);
  if (!WaitUntil([&] { return !Running(); }, 3s)) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

Output RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env,
                  std::chrono::milliseconds limit) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return {};
  pid_t pid = Spawn(argv, "", extra_env, fds[1]);
  ::close(fds[1]);
  Output out;
  if (pid < 0) {
    ::close(fds[0]);
    return out;
  }
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  bool reaped = false;
  char buffer[4096];
  while (true) {
    ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n > 0) {
      out.text.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (!reaped && ::waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    if (reaped && n == 0) break;
    if (std::chrono::steady_clock::now() > end) {
      if (!reaped) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        reaped = true;
      }
      break;
    }
    std::this_thread::sleep_for(10ms);
  }
  ::close(fds[0]);
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

Desktop::Desktop() {
  // Xvfb picks a display that is free where it runs and writes its number.
  // Without -noreset it resets whenever its last client leaves, which every xdotool call is while
  // the utility starts, and a client that connects during a reset is turned away.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  pid_t pid = Spawn(
      {"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
      "", {}, fds[1]);
  ::close(fds[1]);
  server_ = Child::Adopt(pid);
  std::string number;
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
  WaitUntil(
      [&] {
        char c;
        while (::read(fds[0], &c, 1) == 1) {
          if (c == '\n') return true;
          number += c;
        }
        return !server_.Running();
      },
      10s);
  ::close(fds[0]);
  if (number.empty() || !server_.Running()) {
    server_.Stop();
    return;
  }
  display_ = ":" + number;
  ok_ = WaitUntil([&] { return X({"xdpyinfo"}).status == 0; }, 10s);
}

Desktop::~Desktop() { server_.Stop(); }

Output Desktop::X(const std::vector<std::string>& argv) { return RunProgram(argv, Env()); }

std::optional<std::string> Desktop::FindWindow(const std::string& title_regex,
                                               std::chrono::milliseconds limit) {
  std::string id;
  WaitUntil(
      [&] {
        Output out = X({"xdotool", "search", "--onlyvisible", "--name", title_regex});
        if (out.status != 0 || out.text.empty()) return false;
        id = out.text.substr(0, out.text.find('\n'));
        return true;
      },
      limit);
  if (id.empty()) return std::nullopt;
  return id;
}

bool Desktop::WindowGone(const std::string& title_regex, std::chrono::milliseconds limit) {
  return WaitUntil(
      [&] {
        Output out = X({"xdotool", "search", "--name", title_regex});
        return out.text.empty();
      },
      limit);
}

// Runs a program that may leave a background child holding its output open (xclip does): its
// output is not captured, only its own exit is awaited.
int RunDetached(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env) {
  pid_t pid = Spawn(argv, "", extra_env, -1);
  if (pid < 0) return -1;
  int status = 0;
  if (!WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5s)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Desktop::MappedWindows(pid_t pid) {
  Output out = X({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
  int count = 0;
  for (char c : out.text) count += c == '\n';
  return count;
}

void Desktop::Focus(const std::string& window) { X({"xdotool", "windowfocus", "--sync", window}); }

void Desktop::Click(const std::string& window, int x, int y) {
  Focus(window);
  X({"xdotool", "mousemove", "--window", window, std::to_string(x), std::to_string(y), "click",
     "1"});
}

void Desktop::Keys(const std::vector<std::string>& keys) {
  std::vector<std::string> argv = {"xdotool", "key", "--delay", "30"};
  argv.insert(argv.end(), keys.begin(), keys.end());
  X(argv);
}

std::string Desktop::CopyAllAt(const std::string& window, int x, int y) {
  // Empty the clipboard first, and wait until it is empty: xclip's background child takes the
  // selection late on a busy machine and would otherwise take it from the copy below.
  RunDetached({"xclip", "-selection", "clipboard", "-i", "/dev/null"}, Env());
  WaitUntil([&] { return X({"xclip", "-o", "-selection", "clipboard"}).text.empty(); }, 10s);
  Click(window, x, y);
  Keys({"ctrl+a", "ctrl+c"});
  std::string text;
  WaitUntil(
      [&] {
        Output out = X({"xclip", "-o", "-selection", "clipboard"});
        text = out.text;
        return out.status == 0 && !text.empty();
      },
      10s);
  return text;
}

void Desktop::Screenshot(const std::string& window, const std::string& png) {
  X({"import", "-window", window, png});
}
