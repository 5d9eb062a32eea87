// The interface table: fills both interface lists from the capture devices, and looks a slot up in
// the adapter table for its status panel, readiness and the shared DHCP flag.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/main_state.h"
#include "net/sources.h"

class Desk;

struct PanelState {
  enum class Colour { kDefault, kRed, kAqua };
  std::string caption;
  Colour colour = Colour::kDefault;
};

class InterfaceTable {
 public:
  InterfaceTable(MainState& state, Desk& desk, DeviceSource& devices, AdapterSource& adapters);

  // Enumerates the capture devices afresh, writes the table from slot 0 (growing it past ten) and
  // returns one label per device ("1: " + description, or the device name without one). On
  // failure shows "pcap_findalldevs error: Can't get the NIC information" and returns nothing.
  std::vector<std::string> FillInterfaceList();

  // Looks slot `slot` up in the adapter table (none: no selection), updating the slot's address,
  // `panel` and DhcpPending when its adapter is found. Returns 1 when ready, else 0. A failing
  // adapter table shows its box once per failure streak.
  int UpdateInterfaceStatus(std::optional<std::size_t> slot, PanelState& panel);

 private:
  MainState& state_;
  Desk& desk_;
  DeviceSource& devices_;
  AdapterSource& adapters_;
  bool adapter_failure_reported_ = false;
};
