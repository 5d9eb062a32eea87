// The capture device list from libpcap (kept apart so a Windows build can bring its own).
#include <netinet/in.h>
#include <pcap/pcap.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "net/sources.h"

namespace {

struct DeviceListDeleter {
  void operator()(pcap_if_t* list) const { pcap_freealldevs(list); }
};

std::string Ipv4Text(const pcap_addr_t* first) {
  if (first == nullptr || first->addr == nullptr || first->addr->sa_family != AF_INET) return {};
  sockaddr_in in{};
  std::memcpy(&in, first->addr, sizeof in);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&in.sin_addr.s_addr);
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

class PcapDeviceSource final : public DeviceSource {
 public:
  std::optional<std::vector<CaptureDevice>> Devices() override {
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t* raw = nullptr;
    if (pcap_findalldevs(&raw, error) != 0) return std::nullopt;
    std::unique_ptr<pcap_if_t, DeviceListDeleter> list(raw);
    std::vector<CaptureDevice> devices;
    for (const pcap_if_t* device = list.get(); device != nullptr; device = device->next) {
      CaptureDevice out;
      out.name = device->name != nullptr ? device->name : "";
      if (device->description != nullptr) out.description = device->description;
      // Only the first address record counts, as the table has room for one address.
      out.ipv4 = Ipv4Text(device->addresses);
      devices.push_back(std::move(out));
    }
    return devices;
  }
};

}  // namespace

std::unique_ptr<DeviceSource> MakeCaptureDeviceSource() {
  return std::make_unique<PcapDeviceSource>();
}
