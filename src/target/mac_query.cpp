// The target MAC query through query_address.bat.
#include "target/mac_query.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "common/text_scan.h"
#include "tools/kernel_folder.h"

namespace {

constexpr char kAddressFile[] = "query_address.tmp";
constexpr char kQueryFailed[] = "Err: Can't query target's MAC address.";

// "%02X" of a full 32-bit value: at least two uppercase digits, never cut.
std::string HexText(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xFu]);
    value >>= 4;
  } while (value != 0);
  if (out.size() < 2) out.insert(out.begin(), '0');
  return out;
}

}  // namespace

bool QueryTargetMac(MainState& state, Desk& desk, MacAddress& out, const Log& log) {
  log("query target's MAC address :");
  KernelFolder folder(state.HomeDir, {kAddressFile});
  if (!folder.Enter()) {
    log("Err: Can't change dir to " + folder.Path());
    return false;
  }
  // Only the result file decides: the script's status is not looked at.
  folder.Run(desk, "query_address.bat", " " + state.InterfaceIp);
  folder.Leave();
  const std::optional<std::string> file = folder.Read(kAddressFile);
  if (!file) {
    log(kQueryFailed);
    return false;
  }
  TextScanner scanner(*file);
  std::array<std::uint32_t, 6> values{};
  if (ScanColonList(scanner, values) < 6) {
    log(kQueryFailed);
    return false;
  }
  std::string line;
  for (std::size_t i = 0; i < values.size(); ++i) {
    out.bytes[i] = static_cast<std::uint8_t>(values[i] & 0xFFu);
    if (i != 0) line += ':';
    // The log shows what the file said, not the stored byte.
    line += HexText(values[i]);
  }
  log(line);
  log("Ok.");
  return true;
}

void QueryUpgradeMac(MainState& state, Desk& desk, const Log& log) {
  if (!QueryTargetMac(state, desk, state.UpgradeMac, log)) {
    desk.ShowError("Can't query MAC address.", "Error");
  }
}
