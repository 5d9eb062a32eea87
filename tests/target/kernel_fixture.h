// Fixture for operation tests: a temporary HomeDir whose Kernel members record their calls and
// leave the result files a case needs, a recorder desk and a memo.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/main_state.h"
#include "support/recorder_desk.h"
#include "support/temp_home.h"

inline constexpr char kTestIp[] = "198.51.100.7";
inline constexpr char kTestMacText[] = "00-01-40-0A-0B-0C";
inline const MacAddress kTestMac{{0x00, 0x01, 0x40, 0x0A, 0x0B, 0x0C}};

// A result file a member leaves in the Kernel folder: its name and its exact content.
struct ResultFile {
  std::string name;
  std::string content;
};

class KernelTest : public testing::Test {
 protected:
  // A blank in the home folder's name keeps path handling honest.
  explicit KernelTest(bool with_kernel = true) : home_("home dir", with_kernel) {
    state_.HomeDir = home_.path();
    state_.InterfaceIp = kTestIp;
    state_.UpgradeMac = kTestMac;
  }

  // A member that leaves `results` and exits with `status` (bash turns -N into 256 - N).
  void Member(const std::string& name, int status = 0,
              const std::vector<ResultFile>& results = {}) {
    std::string body;
    for (const ResultFile& result : results) {
      // The content is staged beside the member and copied, so no quoting can alter it.
      home_.WriteFile("Kernel/" + result.name + ".next", result.content);
      body += "cp -- '" + result.name + ".next' '" + result.name + "'\n";
    }
    body += "exit " + std::to_string(status);
    home_.WriteMember(name, body);
  }

  // version.bat, get_device_type.bat and get_devinf.bat, all succeeding with these results.
  void QueryMembers(const std::string& version, const std::string& device_type,
                    const std::string& devinf) {
    Member("version.bat", 0, {{"verinfo.txt", version}});
    Member("get_device_type.bat", 0, {{"get_device_type.tmp", device_type}});
    Member("get_devinf.bat", 0, {{"get_devinf.tmp", devinf}});
  }

  // One line of calls.log: member name, working directory, argument words.
  static std::string CallLine(const std::string& name, const std::string& dir,
                              const std::vector<std::string>& words) {
    std::string line = name + "|" + dir;
    if (words.empty()) line += "|";
    for (const std::string& word : words) line += "|" + word;
    return line;
  }
  // A Kernel script run with the usual " IP MAC" line.
  std::string ScriptCall(const std::string& name) const {
    return CallLine(name, home_.kernel(), {kTestIp, kTestMacText});
  }
  std::string ReadCall() const {
    return CallLine("read.exe", home_.path(), {"-i", kTestIp, "-m", kTestMacText, "-a", "0x0"});
  }

  // Names of the members that ran, in order.
  std::vector<std::string> RanMembers() const {
    std::vector<std::string> names;
    for (const std::string& line : home_.Calls()) names.push_back(line.substr(0, line.find('|')));
    return names;
  }

  std::string CurrentDir() const { return std::filesystem::current_path().string(); }

  TempHome home_;
  RecorderDesk desk_;
  MainState state_;
  std::vector<std::string> memo_;
  Log log_{[this](const std::string& line) { memo_.push_back(line); }};
};

using Lines = std::vector<std::string>;
