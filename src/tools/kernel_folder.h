// The fixed way an operation works in the Kernel folder: clear stale results, enter, run members
// by bare name, leave back to the parent, then read the results relative to the parent.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

class Desk;

// HomeDir + "/Kernel".
std::string KernelPath(const std::string& home);

class KernelFolder {
 public:
  // Deletes each result file of `results` that exists in the Kernel folder. A result that cannot
  // be deleted is remembered and is never read as this run's result.
  KernelFolder(std::string home, std::vector<std::string> results);
  // Leaves the folder if the operation did not.
  ~KernelFolder();
  KernelFolder(const KernelFolder&) = delete;
  KernelFolder& operator=(const KernelFolder&) = delete;

  // Changes into the Kernel folder; false (directory unchanged) when that fails.
  bool Enter();
  // Runs a member by its bare name (or a path) inside the folder.
  std::int32_t Run(Desk& desk, const std::string& member, const std::string& args);
  // Changes back to the folder's parent (HomeDir); does nothing when not inside. Failure is
  // ignored.
  void Leave();
  // Reads "Kernel/" + name relative to the current directory, in text mode (carriage returns
  // dropped, Ctrl-Z ends the file), up to a bound. nullopt when it cannot be read, when it is not a
  // regular file, or when it is a stale result that could not be cleared.
  std::optional<std::string> Read(const std::string& name) const;

  // The first line of Read(name), fgets-like with room for `max_chars`; an empty file gives the
  // empty line.
  std::optional<std::string> ReadFirstLine(const std::string& name, std::size_t max_chars) const;

  // HomeDir + "/Kernel", for messages.
  const std::string& Path() const { return path_; }

 private:
  std::string home_;
  std::string path_;
  std::set<std::string> stale_;
  bool inside_ = false;
};

// Reads a file in text mode up to `max_bytes` (the rest is ignored). Only regular files are read;
// a FIFO, a directory or a device counts as unreadable and never blocks.
std::optional<std::string> ReadTextFile(const std::string& path, std::size_t max_bytes);
inline constexpr std::size_t kResultFileBound = 1 << 20;
