// vor_sim: one program behind every member of a simulated Kernel folder. It answers as the member
// it is started as (the base name of argv[0]) and finds its bench beside itself.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench.h"
#include "members.h"

namespace {

// Tabs, newlines and backslashes escaped, so one run is one line of tab-separated fields.
std::string JournalField(const std::string& text) {
  std::string field;
  for (char c : text) {
    if (c == '\\') {
      field += "\\\\";
    } else if (c == '\t') {
      field += "\\t";
    } else if (c == '\n') {
      field += "\\n";
    } else {
      field += c;
    }
  }
  return field;
}

// One line per run: member, status, working directory, argument words; one write with O_APPEND,
// so lines of concurrent runs never interleave.
void Journal(const std::string& kernel_dir, const std::string& member, int status,
             const std::vector<std::string>& words) {
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  std::string line =
      JournalField(member) + "\t" + std::to_string(status) + "\t" + JournalField(cwd);
  for (const std::string& word : words) line += "\t" + JournalField(word);
  line += "\n";
  std::string path = kernel_dir + "/" + std::string(kJournalFile);
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "%s: cannot append to %s\n", member.c_str(), path.c_str());
    return;
  }
  if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
    std::fprintf(stderr, "%s: cannot append to %s\n", member.c_str(), path.c_str());
  }
  ::close(fd);
}

int CheckBench(const char* path) {
  std::string error;
  std::optional<Bench> bench = LoadBench(path, error);
  if (!bench) {
    std::fprintf(stderr, "vor_sim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %zu A target(s)\n", path, bench->targets.size());
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "vor_sim answers as the toolchain member it is started as; lay it out with\n"
               "sim/lay_out_kernel. Members:");
  for (std::string_view name : kMemberNames) std::fprintf(stderr, " %s", name.data());
  std::fprintf(stderr, "\nvor_sim --check-bench FILE checks a bench file.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string invoked = argc > 0 && argv[0] ? argv[0] : "";
  std::size_t slash = invoked.rfind('/');
  std::string member = slash == std::string::npos ? invoked : invoked.substr(slash + 1);
  if (!IsMemberName(member)) {
    if (argc == 3 && std::string_view(argv[1]) == "--check-bench") return CheckBench(argv[2]);
    return Usage();
  }
  // A bare name is the file in the current directory, as the window starts it.
  std::string kernel_dir = slash == std::string::npos ? "." : invoked.substr(0, slash);
  if (kernel_dir.empty()) kernel_dir = "/";
  std::vector<std::string> words(argv + 1, argv + argc);
  int status = RunMember(member, kernel_dir, words);
  Journal(kernel_dir, member, status, words);
  return ExitCode(status);
}
