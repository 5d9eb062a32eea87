// The adapter table on Linux: rtnetlink links and addresses, with the DHCP flag gathered from
// address lifetimes, NetworkManager and running DHCP clients.
#include <memory>

#include "net/linux/dhcp_clients.h"
#include "net/linux/netlink_table.h"
#include "net/linux/network_manager.h"
#include "net/sources.h"

namespace {

class LinuxAdapterSource final : public AdapterSource {
 public:
  std::optional<std::vector<AdapterRecord>> Adapters() override {
    std::optional<std::vector<NetlinkInterface>> links = ReadNetlinkInterfaces();
    if (!links) return std::nullopt;
    std::vector<std::string> names;
    names.reserve(links->size());
    for (const NetlinkInterface& link : *links) names.push_back(link.name);
    const DhcpClientInterfaces clients = RunningDhcpClients(names);

    std::vector<AdapterRecord> records;
    records.reserve(links->size());
    for (const NetlinkInterface& link : *links) {
      AdapterRecord record;
      record.name = link.name;
      if (!link.addresses.empty()) record.ip = link.addresses.front().ip;
      // Leases carry a lifetime; a fixed address has none.
      for (const NetlinkAddress& address : link.addresses) {
        record.dhcp = record.dhcp || !address.permanent;
      }
      record.dhcp = record.dhcp || clients.Serves(link.name);
      // Asked last, and only for an interface still waiting for an address: a lease already
      // shows by its lifetime, and NetworkManager is the one source that may be slow.
      if (!record.dhcp && link.addresses.empty()) {
        record.dhcp = network_manager_.UsesDhcp(link.name);
      }
      records.push_back(std::move(record));
    }
    return records;
  }

 private:
  NetworkManagerDhcp network_manager_;
};

}  // namespace

std::unique_ptr<AdapterSource> MakeSystemAdapterSource() {
  return std::make_unique<LinuxAdapterSource>();
}
