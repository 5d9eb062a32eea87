// A temporary HomeDir with a Kernel folder, made current for the test and removed afterwards.
#pragma once

#include <string>
#include <vector>

class TempHome {
 public:
  // Creates a fresh folder (named `leaf` inside a new temporary directory, so the path may hold
  // blanks, quotes or non-ASCII characters), with an empty Kernel folder unless `with_kernel` is
  // false, and makes it the current directory.
  explicit TempHome(const std::string& leaf = "home", bool with_kernel = true);
  // Restores the previous current directory and removes everything.
  ~TempHome();
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& path() const { return path_; }
  std::string kernel() const { return path_ + "/Kernel"; }

  // Writes Kernel/<name> as an executable bash script: "#!/bin/bash" and `body`. Every member
  // written this way first appends one line to Kernel/calls.log: its name, its working directory
  // and its argument words, separated by '|'.
  void WriteMember(const std::string& name, const std::string& body) const;
  // Writes a file (path relative to the home folder).
  void WriteFile(const std::string& relative, const std::string& content) const;
  std::string ReadFile(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  // The lines of Kernel/calls.log, in order.
  std::vector<std::string> Calls() const;

 private:
  std::string root_;
  std::string path_;
  std::string previous_cwd_;
};
