// Version and device information queries, and the text that shows a version.
#include "target/version.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "common/mac_address.h"
#include "common/text_scan.h"
#include "tools/kernel_folder.h"

namespace {

constexpr char kVersionFile[] = "verinfo.txt";
constexpr char kDeviceTypeFile[] = "get_device_type.tmp";
constexpr char kDevInfoFile[] = "get_devinf.tmp";

constexpr char kVersionFailed[] = "Err: Can't get target's version.";
constexpr char kDeviceTypeFailed[] = "Err: Can't get target's device_type.";
constexpr char kDevInfoFailed[] = "Err: Can't get target's devinf.";

// The first line of a result file, fgets-like with room for `max_chars`; nullopt, after logging
// `failure`, when the file cannot be read.
std::optional<std::string> FirstLine(const KernelFolder& folder, const char* name,
                                     std::size_t max_chars, const Log& log, const char* failure) {
  std::optional<std::string> line = folder.ReadFirstLine(name, max_chars);
  if (!line) log(failure);
  return line;
}

std::string InterfaceAndMac(const MainState& state, const std::string& mac_text) {
  return " " + state.InterfaceIp + " " + mac_text;
}

// The two early builds that are shown under their release-candidate names.
std::optional<std::string_view> CandidateName(const std::string& version) {
  if (version == "1.7.1 Mar 30 2006 06:31:26") return "1.7.1RC9";
  if (version == "1.7.1 May 29 2006 05:29:06") return "1.7.1RC10";
  return std::nullopt;
}

}  // namespace

std::string FormatVersion(const MainState& state, const std::string& version) {
  const std::optional<std::string_view> name = CandidateName(version);
  if (!name) return version;
  return " " + std::string(*name) + " [1.7.1-" + std::to_string(state.DevType) + "]" +
         "\n\nDevice Infomation:\n" + state.DevInfo;
}

bool QueryVersion(MainState& state, Desk& desk, const std::string& mac_text, const Log& log) {
  log("get target's version :");
  state.VersionText.clear();
  KernelFolder folder(state.HomeDir, {kVersionFile});
  if (!folder.Enter()) {
    log("Err: Can't change dir to " + folder.Path());
    return false;
  }
  const std::int32_t status = folder.Run(desk, "version.bat", InterfaceAndMac(state, mac_text));
  folder.Leave();
  if (status < 0) {
    log(kVersionFailed);
    return false;
  }
  std::optional<std::string> line =
      FirstLine(folder, kVersionFile, kVersionChars, log, kVersionFailed);
  if (!line) return false;
  state.VersionText = std::move(*line);
  if (!state.VersionText.empty() && state.VersionText.back() == '\n') state.VersionText.pop_back();
  if (state.VersionText.empty() || state.VersionText.find("ERROR") != std::string::npos) {
    log(kVersionFailed);
    return false;
  }
  if (state.VersionText == "0.0.1") state.VersionText = "1.2d or earlier";
  // Formatted with the device facts of the previous query: they are read afresh only below.
  log(FormatVersion(state, state.VersionText));
  log("Ok.");
  return QueryDeviceInfo(state, desk, mac_text, log);
}

bool QueryDeviceInfo(MainState& state, Desk& desk, const std::string& mac_text, const Log& log) {
  log("get target's info :");
  state.DevInfo.clear();
  state.DevType = 0;
  KernelFolder folder(state.HomeDir, {kDeviceTypeFile, kDevInfoFile});
  if (!folder.Enter()) {
    log("Err: Can't change dir to " + folder.Path());
    return false;
  }
  const std::string args = InterfaceAndMac(state, mac_text);
  if (folder.Run(desk, "get_device_type.bat", args) < 0) {
    log(kDeviceTypeFailed);
    folder.Leave();
    return false;
  }
  if (folder.Run(desk, "get_devinf.bat", args) < 0) {
    log(kDevInfoFailed);
    folder.Leave();
    return false;
  }
  folder.Leave();

  const std::optional<std::string> type_file = folder.Read(kDeviceTypeFile);
  if (!type_file) {
    log(kDeviceTypeFailed);
    return false;
  }
  TextScanner type_scanner(*type_file);
  // A file without a number is no failure: the type stays 0.
  if (const std::optional<std::uint32_t> type = type_scanner.Hex()) {
    state.DevType = static_cast<std::uint8_t>(*type & 0xFFu);
  }
  log("device_type = 0x" + ByteText(state.DevType));

  std::optional<std::string> info =
      FirstLine(folder, kDevInfoFile, kDevInfoChars, log, kDevInfoFailed);
  if (!info) return false;
  state.DevInfo = std::move(*info);
  log("devinf = " + state.DevInfo);
  log("Ok.");
  return true;
}

void GetVersion(MainState& state, Desk& desk, const Log& log) {
  if (!QueryVersion(state, desk, DashForm(state.UpgradeMac), log)) {
    desk.ShowError("Can't get target's version", "Error");
    return;
  }
  desk.ShowResult("Current Version is " + FormatVersion(state, state.VersionText), "Success");
}
