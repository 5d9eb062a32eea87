// Remote target discovery through get_stations.bat.
#include "diag/remote_target.h"

#include <array>
#include <cstdint>
#include <optional>

#include "common/log.h"
#include "common/text_scan.h"
#include "target/mac_query.h"
#include "tools/kernel_folder.h"

namespace {

constexpr char kCaption[] = "Error";
constexpr char kStationsFile[] = "get_stations.tmp";
constexpr char kQueryFailed[] = "Can't query MAC address.";

}  // namespace

std::vector<MacAddress> ParseStationList(const std::string& content) {
  std::vector<MacAddress> stations;
  TextScanner in(content);
  std::array<std::uint32_t, 6> values{};
  while (ScanColonList(in, values) == 6) {
    MacAddress station;
    for (std::size_t i = 0; i < values.size(); ++i) {
      station.bytes[i] = static_cast<std::uint8_t>(values[i] & 0xFF);
    }
    stations.push_back(station);
  }
  return stations;
}

bool FindRemoteTarget(MainState& state, Desk& desk, MacAddress& local, MacAddress& remote) {
  if (!QueryTargetMac(state, desk, local, Log{})) {
    desk.ShowError(kQueryFailed, kCaption);
    return false;
  }

  KernelFolder kernel(state.HomeDir, {kStationsFile});
  if (!kernel.Enter()) return false;
  kernel.Run(desk, "get_stations.bat", " " + state.InterfaceIp + " " + DashForm(local));
  kernel.Leave();
  const std::optional<std::string> content = kernel.Read(kStationsFile);
  if (!content) return false;

  // The A target may list itself; it is never a B target. A station listed twice is offered twice.
  std::vector<std::string> items;
  for (const MacAddress& station : ParseStationList(*content)) {
    if (station == local) continue;
    remote = station;
    items.push_back(ColonForm(station));
  }

  if (items.empty()) {
    desk.ShowError("Can't find B Target (Remote Target)", kCaption);
    remote = MacAddress{};
  } else if (items.size() > 1) {
    // Without a choice the last listed station stays.
    desk.ChooseRemoteTarget(items, remote);
  }
  return true;
}

void QueryDiagMacs(MainState& state, Desk& desk) {
  if (!FindRemoteTarget(state, desk, state.LocalMac, state.RemoteMac)) {
    desk.ShowError(kQueryFailed, kCaption);
  }
}
