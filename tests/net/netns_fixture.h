// A pair of network namespaces joined by a veth, for tests of the real adapter table. Everything
// it makes is removed when it goes, also when a test fails half way.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "net/interface_table.h"

// Runs a program (no shell) with output discarded; its exit status, or -1 when it could not be
// started, died, or was killed after `timeout_ms`.
int RunCommand(const std::vector<std::string>& argv, int timeout_ms = 10000);

// A program started in the background and ended (SIGTERM, then SIGKILL) when this goes.
class Child final {
 public:
  explicit Child(const std::vector<std::string>& argv);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // False once it has ended (it is then reaped).
  bool running();

 private:
  pid_t pid_ = -1;
};

// Namespace "<prefix>a<pid>" holds `kLocal`, namespace "<prefix>b<pid>" holds `kPeer`; both ends
// and both loopbacks are up.
class NetnsPair final {
 public:
  static constexpr const char* kLocal = "vortest0";
  static constexpr const char* kPeer = "vortest1";

  NetnsPair();
  ~NetnsPair();
  NetnsPair(const NetnsPair&) = delete;
  NetnsPair& operator=(const NetnsPair&) = delete;

  // Empty when everything was made; else why not.
  const std::string& error() const { return error_; }
  const std::string& local() const { return local_; }
  const std::string& peer() const { return peer_; }

  // `ip -n <namespace> <words...>`; true on exit status 0.
  bool Ip(const std::string& ns, std::vector<std::string> words) const;

 private:
  std::string local_;
  std::string peer_;
  std::vector<std::string> made_;
  std::string error_;
};

// A fresh temporary folder, removed with its content when this goes.
class TempDir final {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Lookup {
  std::optional<AdapterRecord> record;  // kLocal's record, when the table was read and holds it
  bool table_read = false;
  int ready = 0;
  PanelState panel;
  std::uint8_t dhcp_pending = 0;
};

// Looks kLocal up through a real adapter source and the interface table, on a thread that has
// entered namespace `ns` (network namespaces belong to threads).
Lookup LookUpIn(const std::string& ns);
