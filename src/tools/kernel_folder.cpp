// The Kernel folder protocol and the text-mode reader of result files.
#include "tools/kernel_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "common/text_scan.h"
#include "common/unique_fd.h"
#include "tools/run_tool.h"

std::string KernelPath(const std::string& home) { return home + "/Kernel"; }

KernelFolder::KernelFolder(std::string home, std::vector<std::string> results)
    : home_(std::move(home)), path_(KernelPath(home_)) {
  for (std::string& name : results) {
    const std::string file = path_ + "/" + name;
    if (IsPlainFile(file)) ::unlink(file.c_str());
    // Whatever is still there was not written by this run.
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0) stale_.insert(std::move(name));
  }
}

KernelFolder::~KernelFolder() { Leave(); }

bool KernelFolder::Enter() {
  if (::chdir(path_.c_str()) != 0) return false;
  inside_ = true;
  return true;
}

std::int32_t KernelFolder::Run(Desk& desk, const std::string& member, const std::string& args) {
  return RunTool(desk, member, args);
}

// Back to the parent of the folder as it was entered, by its name: a physical ".." would lead to
// the parent of the link's target when Kernel is a symbolic link. Nothing else can have moved the
// directory meanwhile, as no second operation starts while one runs.
void KernelFolder::Leave() {
  if (!inside_) return;
  inside_ = false;
  [[maybe_unused]] int ignored = ::chdir(home_.c_str());
}

std::optional<std::string> KernelFolder::Read(const std::string& name) const {
  if (stale_.count(name) != 0) return std::nullopt;
  return ReadTextFile("Kernel/" + name, kResultFileBound);
}

std::optional<std::string> KernelFolder::ReadFirstLine(const std::string& name,
                                                       std::size_t max_chars) const {
  std::optional<std::string> content = Read(name);
  if (!content) return std::nullopt;
  return TextScanner(*content).ReadLine(max_chars);
}

std::optional<std::string> ReadTextFile(const std::string& path, std::size_t max_bytes) {
  // O_NONBLOCK: opening a FIFO without a writer must not hang; it is rejected below anyway.
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string raw;
  char chunk[4096];
  bool failed = false;
  while (raw.size() < max_bytes) {
    const std::size_t want = std::min(sizeof chunk, max_bytes - raw.size());
    const ssize_t got = ::read(fd.get(), chunk, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failed = true;
    if (got <= 0) break;
    raw.append(chunk, static_cast<std::size_t>(got));
  }
  if (failed) return std::nullopt;

  // Text mode: carriage returns vanish wherever they stand, Ctrl-Z ends the text.
  std::string text;
  text.reserve(raw.size());
  for (char c : raw) {
    if (c == '\x1A') break;
    if (c != '\r') text.push_back(c);
  }
  return text;
}
