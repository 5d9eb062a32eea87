// The main window's operation state: zero or empty at creation, never saved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/mac_address.h"

// One row of the interface table; slot i belongs to item i of both interface lists.
struct InterfaceEntry {
  std::string Description;
  std::string DeviceName;
  std::string
      IpAddress;  // dotted IPv4 text or empty; refreshed by every lookup that finds the adapter
};

inline constexpr std::size_t kInterfaceSlots = 10;
// How much of a result line the version and device information keep.
inline constexpr std::size_t kVersionChars = 39;
inline constexpr std::size_t kDevInfoChars = 511;

struct MainState {
  MacAddress UpgradeMac;
  MacAddress ConnectedMac;
  MacAddress LocalMac;
  MacAddress RemoteMac;
  std::string InterfaceIp;
  // Ten slots to begin with; grows when more capture devices are listed.
  std::vector<InterfaceEntry> Interfaces = std::vector<InterfaceEntry>(kInterfaceSlots);
  std::uint8_t DhcpPending = 0;
  std::string HomeDir;
  std::string VersionText;  // at most 39 characters
  std::string DevInfo;      // at most 511 characters, with its newline when it had one
  std::uint8_t DevType = 0;
};
