// Temporary home folders for operation tests.
#include "support/temp_home.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// A single-quoted shell word: the home folder may hold quotes, '$' or backquotes.
std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

TempHome::TempHome(const std::string& leaf, bool with_kernel) {
  previous_cwd_ = fs::current_path().string();
  std::string pattern = (fs::temp_directory_path() / "vor-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  path_ = root_ + "/" + leaf;
  fs::create_directories(path_);
  if (with_kernel) fs::create_directory(kernel());
  fs::current_path(path_);
}

TempHome::~TempHome() {
  std::error_code ignored;
  fs::current_path(previous_cwd_, ignored);
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

void TempHome::WriteMember(const std::string& name, const std::string& body) const {
  std::string file = kernel() + "/" + name;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << "#!/bin/bash\n"
      << "{ printf '%s|%s' " << ShellQuote(name)
      << " \"$PWD\"; printf '|%s' \"$@\"; printf '\\n'; }"
      << " >> " << ShellQuote(kernel() + "/calls.log") << "\n"
      << body << "\n";
  out.close();
  ::chmod(file.c_str(), 0755);
}

void TempHome::WriteFile(const std::string& relative, const std::string& content) const {
  std::ofstream out(path_ + "/" + relative, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string TempHome::ReadFile(const std::string& relative) const {
  std::ifstream in(path_ + "/" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool TempHome::Exists(const std::string& relative) const {
  return fs::exists(fs::symlink_status(path_ + "/" + relative));
}

std::vector<std::string> TempHome::Calls() const {
  std::vector<std::string> lines;
  std::ifstream in(kernel() + "/calls.log");
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
