// The two platform sources joined into the interface table: the capture device list and the
// operating system's adapter table.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct CaptureDevice {
  std::string name;
  std::optional<std::string> description;  // absent for most Linux NICs
  std::string ipv4;  // the first address record's IPv4 text, empty when it is none or not IPv4
};

struct AdapterRecord {
  std::string name;            // the key a device is matched against
  bool dhcp = false;           // addressed by DHCP
  std::string ip = "0.0.0.0";  // first IPv4 address, "0.0.0.0" when none
};

class DeviceSource {
 public:
  virtual ~DeviceSource() = default;
  // nullopt when the list cannot be obtained.
  virtual std::optional<std::vector<CaptureDevice>> Devices() = 0;
};

class AdapterSource {
 public:
  virtual ~AdapterSource() = default;
  // nullopt when the table cannot be obtained.
  virtual std::optional<std::vector<AdapterRecord>> Adapters() = 0;
};

// libpcap's pcap_findalldevs.
std::unique_ptr<DeviceSource> MakeCaptureDeviceSource();
// The system adapter table (rtnetlink on Linux).
std::unique_ptr<AdapterSource> MakeSystemAdapterSource();
// The adapter name a capture device maps to; empty when it maps to none. On Windows this is
// NpfAdapterKey; elsewhere the device name itself (devices that are no network adapter, such as
// "any" or "nflog", then simply find no adapter).
std::string AdapterKey(const std::string& device_name);
// The Windows rule: the first run of non-blank characters after "\Device\NPF_"; empty when the
// name lacks the prefix or nothing follows it.
std::string NpfAdapterKey(const std::string& device_name);
