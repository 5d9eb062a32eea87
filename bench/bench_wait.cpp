// Measures what waiting for a member costs: CPU time of this process during the wait and the delay
// from the member's exit to the wait's return, for RunTool's event-loop wait and, as the reference,
// a busy-poll loop (waitpid WNOHANG + processEvents).
//
//   bench_wait [repetitions=5] [member sleep in ms=2000]
//
// The program is its own member: "bench_wait --member MS FILE" sleeps MS milliseconds, writes its
// CLOCK_REALTIME in nanoseconds to FILE and exits at once.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/event_wait.h"
#include "common/desk.h"
#include "tools/posix/child_wait.h"
#include "tools/run_tool.h"

namespace {

std::int64_t Nanoseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int RunAsMember(int milliseconds, const char* file) {
  timespec pause{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1'000'000};
  while (nanosleep(&pause, &pause) != 0) {
  }
  const std::string stamp = std::to_string(Nanoseconds(CLOCK_REALTIME));
  const int fd = open(file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || write(fd, stamp.data(), stamp.size()) != static_cast<ssize_t>(stamp.size())) {
    _exit(1);
  }
  _exit(0);  // no teardown between the stamp and the exit
}

// The application's kind of desk: waits inside a local Qt event loop; boxes only print.
class EventLoopDesk final : public Desk {
 public:
  void ShowError(const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  }
  void ShowResult(const std::string& text, const std::string& caption) override {
    ShowError(text, caption);
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void ChooseRemoteTarget(const std::vector<std::string>&, MacAddress&) override {}
  void WaitFor(WaitHandle handle) override {
    WaitReadableInEventLoop(static_cast<int>(handle.value));
  }
  void Pause(int milliseconds) override { PauseInEventLoop(milliseconds); }
};

struct Sample {
  double cpu_ms;       // CPU time of this process from the start to the return
  double delay_ms;     // member's exit stamp to the return
  double cpu_percent;  // CPU time as a share of the wall time of the wait
  int ticks;           // 50 ms timer ticks seen meanwhile
};

// Runs one wait through `wait`, which starts the member and returns once it has been reaped.
Sample Measure(const std::string& stamp_file, const std::function<bool()>& wait) {
  std::filesystem::remove(stamp_file);
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  timer.start(50);
  const std::int64_t cpu_before = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
  const std::int64_t wall_before = Nanoseconds(CLOCK_MONOTONIC);
  const bool ok = wait();
  const std::int64_t returned = Nanoseconds(CLOCK_REALTIME);
  const std::int64_t wall = Nanoseconds(CLOCK_MONOTONIC) - wall_before;
  const std::int64_t cpu = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID) - cpu_before;
  timer.stop();
  std::int64_t exited = 0;
  std::ifstream(stamp_file) >> exited;
  if (!ok || exited == 0) {
    std::fprintf(stderr, "member failed\n");
    std::exit(1);
  }
  return {cpu / 1e6, (returned - exited) / 1e6, 100.0 * cpu / wall, ticks};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Report(const char* name, const std::vector<Sample>& samples) {
  std::vector<double> cpu, delay, percent, ticks;
  for (const Sample& s : samples) {
    cpu.push_back(s.cpu_ms);
    delay.push_back(s.delay_ms);
    percent.push_back(s.cpu_percent);
    ticks.push_back(s.ticks);
  }
  std::printf("| %-28s | %10.3f | %8.3f | %12.3f | %11.3f | %8.3f | %5.0f |\n", name, Median(cpu),
              Median(percent), Median(delay), *std::min_element(delay.begin(), delay.end()),
              *std::max_element(delay.begin(), delay.end()), Median(ticks));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--member") == 0)
    return RunAsMember(std::atoi(argv[2]), argv[3]);

  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int sleep_ms = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
  QCoreApplication app(argc, argv);

  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  std::string folder = (std::filesystem::temp_directory_path() / "bench-wait-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 1;
  const std::string stamp_file = folder + "/exit_ns";
  const std::string args = " --member " + std::to_string(sleep_ms) + " " + stamp_file;

  EventLoopDesk desk;
  std::vector<Sample> event_loop, busy_poll;
  for (int i = 0; i < repetitions; ++i) {
    event_loop.push_back(Measure(stamp_file, [&] { return RunTool(desk, self, args) == 0; }));
    busy_poll.push_back(Measure(stamp_file, [&] {
      std::optional<pid_t> pid =
          posix_process::Spawn(self, {"--member", std::to_string(sleep_ms), stamp_file});
      if (!pid) return false;
      int status = 0;
      while (waitpid(*pid, &status, WNOHANG) == 0) QCoreApplication::processEvents();
      return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }));
  }
  std::filesystem::remove_all(folder);

  std::printf("member sleeps %d ms, %d repetitions, medians (delay also min and max)\n\n", sleep_ms,
              repetitions);
  std::printf("| %-28s | %10s | %8s | %12s | %11s | %8s | %5s |\n", "wait", "CPU ms", "CPU %",
              "exit->return", "min ms", "max ms", "ticks");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(30, '-').c_str(),
              std::string(12, '-').c_str(), std::string(10, '-').c_str(),
              std::string(14, '-').c_str(), std::string(13, '-').c_str(),
              std::string(10, '-').c_str(), std::string(7, '-').c_str());
  Report("RunTool, event loop + pidfd", event_loop);
  Report("busy poll (reference)", busy_poll);
  return 0;
}
