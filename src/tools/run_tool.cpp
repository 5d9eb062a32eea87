// RunTool and the existence tests: platform-neutral, the start and wait are the backend's.
#include "tools/run_tool.h"

#include <sys/stat.h>

#include <string_view>
#include <vector>

#include "common/desk.h"
#include "tools/process.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The argument line's words: a run of blanks separates like one, none is empty.
std::vector<std::string> SplitWords(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) words.emplace_back(line.substr(start, i - start));
  }
  return words;
}

}  // namespace

std::int32_t RunTool(Desk& desk, const std::string& path, const std::string& args) {
  if (!IsPlainFile(path)) {
    desk.ShowError("Err: Can't find " + path, "Error");
    return -1;
  }
  return StartAndWait(desk, path, SplitWords(args)).value_or(-1);
}

bool IsPlainFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
