// The hardware configuration check before a download.
#include "upgrade/hardware_check.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "common/kit.h"
#include "common/text_scan.h"
#include "tools/kernel_folder.h"

namespace {

constexpr char kDevInfoFile[] = "get_devinf.tmp";

// The field between "hw=" and " pin=". Positions count from 1 with 0 for a missing marker, so a
// line without "hw=" yields the text from its third character on.
std::string_view HardwareField(std::string_view line) {
  const std::size_t hw = line.find("hw=");
  const std::size_t pin = line.find(" pin=");
  const std::ptrdiff_t h = hw == std::string_view::npos ? 0 : static_cast<std::ptrdiff_t>(hw) + 1;
  const std::ptrdiff_t p = pin == std::string_view::npos ? 0 : static_cast<std::ptrdiff_t>(pin) + 1;
  const std::ptrdiff_t start = h + 2;  // zero-based index of position h + 3
  const std::ptrdiff_t length = p - (h + 3);
  if (length <= 0 || start >= static_cast<std::ptrdiff_t>(line.size())) return {};
  return line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string TargetHardwareConfig(std::string_view devinf_line) {
  // The field is scanned as "%s %s #%s".
  TextScanner scanner(HardwareField(devinf_line));
  const std::optional<std::string> first = scanner.Word();
  if (!first) return {};
  const std::optional<std::string> second = scanner.Word();
  if (!second) return *first;
  scanner.SkipSpace();
  if (!scanner.Literal('#')) return *first;
  const std::optional<std::string> third = scanner.Word();
  if (!third) return *first;
  return *first + "_" + *second + "_" + *third;
}

bool CheckHardwareConfig(MainState& state, Desk& desk, const std::string& mac_text) {
  KernelFolder folder(state.HomeDir, {kDevInfoFile});
  if (!folder.Enter()) return false;
  const std::int32_t status =
      folder.Run(desk, "get_devinf.bat", " " + state.InterfaceIp + " " + mac_text);
  folder.Leave();
  if (status < 0) return false;
  std::optional<std::string> line = folder.ReadFirstLine(kDevInfoFile, kDevInfoChars);
  if (!line) return false;
  // An empty file is an empty line: an earlier device's line must never be checked in its place.
  state.DevInfo = std::move(*line);

  const std::string target = TargetHardwareConfig(state.DevInfo);
  if (EqualIgnoringCase(target, kKitHardwareConfig)) return true;
  const std::string text =
      "Download the new firmware with hardware configuration = " + std::string(kKitHardwareConfig) +
      " into the target which hardware configuration =" + target + " ?";
  return desk.AskYesNo(text, "Warning: hardware configuration doesn't match");
}
