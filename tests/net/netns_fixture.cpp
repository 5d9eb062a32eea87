// Network namespaces, child processes and lookups for the real adapter table tests.
#include "netns_fixture.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/recorder_desk.h"

extern char** environ;

namespace {

pid_t Spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& word : argv) args.push_back(const_cast<char*>(word.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

// Waits up to `timeout_ms` for `pid`; its wait status, or nullopt while it still runs.
std::optional<int> WaitBounded(pid_t pid, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void End(pid_t pid) {
  kill(pid, SIGTERM);
  if (!WaitBounded(pid, 3000)) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

}  // namespace

int RunCommand(const std::vector<std::string>& argv, int timeout_ms) {
  const pid_t pid = Spawn(argv);
  if (pid < 0) return -1;
  const std::optional<int> status = WaitBounded(pid, timeout_ms);
  if (!status) {
    End(pid);
    return -1;
  }
  return WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

Child::Child(const std::vector<std::string>& argv) : pid_(Spawn(argv)) {}

Child::~Child() {
  if (pid_ > 0) End(pid_);
}

bool Child::running() {
  if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) != 0) pid_ = -1;
  return pid_ > 0;
}

NetnsPair::NetnsPair()
    : local_("vortesta" + std::to_string(getpid())), peer_("vortestb" + std::to_string(getpid())) {
  for (const std::string& ns : {local_, peer_}) {
    if (RunCommand({"ip", "netns", "add", ns}) != 0) {
      error_ = "cannot create network namespace " + ns + " (needs CAP_SYS_ADMIN)";
      return;
    }
    made_.push_back(ns);
  }
  const bool linked =
      Ip(local_, {"link", "add", kLocal, "type", "veth", "peer", "name", kPeer, "netns", peer_}) &&
      Ip(local_, {"link", "set", "lo", "up"}) && Ip(local_, {"link", "set", kLocal, "up"}) &&
      Ip(peer_, {"link", "set", "lo", "up"}) && Ip(peer_, {"link", "set", kPeer, "up"});
  if (!linked) error_ = "cannot set up a veth pair between the test namespaces";
}

NetnsPair::~NetnsPair() {
  // Deleting a namespace also deletes the veth end inside it, and with it the pair.
  for (const std::string& ns : made_) RunCommand({"ip", "netns", "del", ns});
}

bool NetnsPair::Ip(const std::string& ns, std::vector<std::string> words) const {
  words.insert(words.begin(), {"ip", "-n", ns});
  return RunCommand(words) == 0;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vor_net_XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

Lookup LookUpIn(const std::string& ns) {
  Lookup lookup;
  std::thread worker([&] {
    const int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const bool entered = setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    if (!entered) return;
    // The source opens its netlink socket on this thread, so it reads this namespace.
    const std::unique_ptr<AdapterSource> adapters = MakeSystemAdapterSource();
    const std::optional<std::vector<AdapterRecord>> records = adapters->Adapters();
    lookup.table_read = records.has_value();
    for (const AdapterRecord& record : records.value_or(std::vector<AdapterRecord>{})) {
      if (record.name == NetnsPair::kLocal) lookup.record = record;
    }

    class OneDevice final : public DeviceSource {
     public:
      std::optional<std::vector<CaptureDevice>> Devices() override {
        return std::vector<CaptureDevice>{{NetnsPair::kLocal, std::nullopt, ""}};
      }
    } devices;
    MainState state;
    RecorderDesk desk;
    InterfaceTable table(state, desk, devices, *adapters);
    table.FillInterfaceList();
    lookup.ready = table.UpdateInterfaceStatus(0, lookup.panel);
    lookup.dhcp_pending = state.DhcpPending;
  });
  worker.join();
  return lookup;
}
