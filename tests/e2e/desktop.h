// Drives a real X server the way a technician would: starts Xvfb and programs, finds windows by
// title, clicks, types, copies text through the clipboard, takes screenshots.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A child process that is stopped (TERM, then KILL) and reaped when the object goes.
class Child {
 public:
  Child() = default;
  // Standard output and error go to `log` when one is named, else nowhere.
  Child(const std::vector<std::string>& argv, const std::string& directory,
        const std::vector<std::string>& extra_env, const std::string& log = {});
  ~Child();
  // Takes over a process started elsewhere.
  static Child Adopt(pid_t pid);
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Running();
  void Stop();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

struct Output {
  int status = -1;
  std::string text;
};

// Runs a program to its end (at most `limit`), capturing standard output.
Output RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env,
                  std::chrono::milliseconds limit = std::chrono::seconds(10));

// Polls `done` every 50 ms until it holds or `limit` has passed.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

class Desktop {
 public:
  // Starts Xvfb on a display of its choosing. `ok()` tells whether it came up.
  Desktop();
  ~Desktop();
  bool ok() const { return ok_; }
  const std::string& display() const { return display_; }
  std::vector<std::string> Env() const { return {"DISPLAY=" + display_}; }

  // The first mapped window whose title matches the regular expression, once there is one. Input
  // sent to a window that exists but is not mapped yet would land on whatever lies beneath.
  std::optional<std::string> FindWindow(const std::string& title_regex,
                                        std::chrono::milliseconds limit = std::chrono::seconds(60));
  bool WindowGone(const std::string& title_regex,
                  std::chrono::milliseconds limit = std::chrono::seconds(15));
  // How many windows of the process are mapped: a drop-down list's popup is one of them.
  int MappedWindows(pid_t pid);
  void Focus(const std::string& window);
  // Clicks at (x, y) inside the window.
  void Click(const std::string& window, int x, int y);
  void Keys(const std::vector<std::string>& keys);
  // Selects all of the focused control's text and copies it; returns the clipboard.
  std::string CopyAllAt(const std::string& window, int x, int y);
  void Screenshot(const std::string& window, const std::string& png);

 private:
  Output X(const std::vector<std::string>& argv);
  std::string display_;
  Child server_;
  bool ok_ = false;
};
