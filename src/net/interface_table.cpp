// The interface table: capture devices listed once, adapters looked up on every refresh.
#include "net/interface_table.h"

#include <utility>

#include "common/desk.h"

namespace {

constexpr char kDeviceListError[] = "pcap_findalldevs error: Can't get the NIC information";
constexpr char kAdapterTableError[] = "Call to WINAPI GetAdaptersInfo failed.\n";
constexpr char kNoAddress[] = "0.0.0.0";

}  // namespace

InterfaceTable::InterfaceTable(MainState& state, Desk& desk, DeviceSource& devices,
                               AdapterSource& adapters)
    : state_(state), desk_(desk), devices_(devices), adapters_(adapters) {}

std::vector<std::string> InterfaceTable::FillInterfaceList() {
  std::optional<std::vector<CaptureDevice>> devices = devices_.Devices();
  if (!devices) {
    desk_.ShowError(kDeviceListError, "Error");
    return {};
  }
  // The lists show every device, so the table grows with them and slot n stays item n.
  if (state_.Interfaces.size() < devices->size()) state_.Interfaces.resize(devices->size());
  std::vector<std::string> labels;
  labels.reserve(devices->size());
  for (std::size_t n = 0; n < devices->size(); ++n) {
    CaptureDevice& device = (*devices)[n];
    InterfaceEntry& slot = state_.Interfaces[n];
    slot.IpAddress = device.ipv4;
    slot.Description = device.description.value_or("");
    slot.DeviceName = device.name;
    // A device without description (most Linux NICs) is shown by its name, not as a bare number.
    const std::string& shown = slot.Description.empty() ? slot.DeviceName : slot.Description;
    labels.push_back(std::to_string(n + 1) + ": " + shown);
  }
  return labels;
}

int InterfaceTable::UpdateInterfaceStatus(std::optional<std::size_t> slot, PanelState& panel) {
  std::optional<std::vector<AdapterRecord>> adapters = adapters_.Adapters();
  if (!adapters) {
    // The box runs the event loop, so the next tick may arrive while it is open: mark the streak
    // as reported before showing it.
    if (!adapter_failure_reported_) {
      adapter_failure_reported_ = true;
      desk_.ShowError(kAdapterTableError, "Error");
    }
    return 0;
  }
  adapter_failure_reported_ = false;

  if (!slot || *slot >= state_.Interfaces.size()) return 0;
  InterfaceEntry& entry = state_.Interfaces[*slot];
  const std::string key = AdapterKey(entry.DeviceName);
  if (key.empty()) return 0;

  int ready = 0;
  for (const AdapterRecord& adapter : *adapters) {
    if (adapter.name != key) continue;
    entry.IpAddress = adapter.ip;
    panel.caption = adapter.dhcp ? " <dynamic IP>: " : " <fixed IP>: ";
    if (entry.IpAddress == kNoAddress) {
      panel.caption += "  ----  Not Ready";
      panel.colour = PanelState::Colour::kRed;
      ready = 0;
      state_.DhcpPending = adapter.dhcp ? 1 : 0;
    } else {
      panel.caption += entry.IpAddress;
      panel.colour = PanelState::Colour::kAqua;
      ready = 1;
      state_.DhcpPending = 0;
    }
  }
  return ready;
}
