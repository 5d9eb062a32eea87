// Finds DHCP client processes in /proc and the interfaces their command lines name.
#include "net/linux/dhcp_clients.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <memory>

#include "net/linux/net_namespace.h"

namespace {

constexpr std::array<std::string_view, 3> kClients = {"dhclient", "udhcpc", "dhcpcd"};

bool IsClient(std::string_view program) {
  for (std::string_view client : kClients) {
    if (program == client) return true;
  }
  return false;
}

std::string_view BaseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Reads a whole /proc file; empty when it cannot be read (the process may have ended).
std::string ReadProcFile(const std::string& path) {
  std::string text;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char chunk[4096];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  return text;
}

std::vector<std::string> SplitCommandLine(const std::string& raw) {
  std::vector<std::string> words;
  std::size_t begin = 0;
  while (begin < raw.size()) {
    std::size_t end = raw.find('\0', begin);
    if (end == std::string::npos) end = raw.size();
    words.emplace_back(raw, begin, end - begin);
    begin = end + 1;
  }
  return words;
}

bool NamesInterface(std::string_view word, std::string_view name) {
  // "eth0" (dhclient, dhcpcd), "-i eth0" (the next word), "-ieth0" and "--interface=eth0" (udhcpc).
  if (word == name) return true;
  if (word.size() == name.size() + 2 && word.substr(0, 2) == "-i" && word.substr(2) == name) {
    return true;
  }
  constexpr std::string_view kLong = "--interface=";
  return word.size() == kLong.size() + name.size() && word.substr(0, kLong.size()) == kLong &&
         word.substr(kLong.size()) == name;
}

// Whether the command line names any interface at all, ours or not: udhcpc by its -i option,
// dhclient and dhcpcd by interface names after their options. A client for an interface we do
// not list (another namespace's, an unplugged card's) serves none of ours.
bool NamesSomeInterface(std::string_view program, const std::vector<std::string>& argv,
                        std::size_t first_argument) {
  for (std::size_t i = first_argument; i < argv.size(); ++i) {
    std::string_view word = argv[i];
    if (word.substr(0, 2) == "-i" || word.substr(0, 11) == "--interface") return true;
  }
  if (program == "udhcpc" || argv.size() <= first_argument) return false;
  // Interface names come last and hold no '/' (unlike the file arguments of options).
  std::string_view last = argv.back();
  return !last.empty() && last[0] != '-' && last.find('/') == std::string_view::npos &&
         last.find('=') == std::string_view::npos;
}

}  // namespace

DhcpClientInterfaces ClientServes(const std::vector<std::string>& argv,
                                  const std::vector<std::string>& interfaces) {
  DhcpClientInterfaces served;
  if (argv.empty()) return served;
  std::size_t first_argument = 1;
  std::string_view program = BaseName(argv[0]);
  if (program == "busybox" && argv.size() > 1) {
    program = BaseName(argv[1]);
    first_argument = 2;
  }
  if (!IsClient(program)) return served;
  for (std::size_t i = first_argument; i < argv.size(); ++i) {
    for (const std::string& name : interfaces) {
      if (NamesInterface(argv[i], name)) served.named.insert(name);
    }
  }
  served.all = !NamesSomeInterface(program, argv, first_argument);
  return served;
}

DhcpClientInterfaces RunningDhcpClients(const std::vector<std::string>& interfaces) {
  DhcpClientInterfaces served;
  std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), &closedir);
  if (!proc) return served;
  while (const dirent* entry = readdir(proc.get())) {
    const std::string pid = entry->d_name;
    if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0]))) continue;
    // The short name first, so that only candidates have their command line read.
    std::string comm = ReadProcFile("/proc/" + pid + "/comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    if (!IsClient(comm) && comm != "busybox") continue;
    const DhcpClientInterfaces client =
        ClientServes(SplitCommandLine(ReadProcFile("/proc/" + pid + "/cmdline")), interfaces);
    if (!client.all && client.named.empty()) continue;
    // Without the privilege to compare namespaces (another user's client), count the client:
    // on a desktop it almost always runs beside the window.
    if (SameNetNamespace(pid) == NamespaceMatch::kOther) continue;
    served.all = served.all || client.all;
    served.named.insert(client.named.begin(), client.named.end());
  }
  return served;
}
