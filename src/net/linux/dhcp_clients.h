// Interfaces served by a running DHCP client (dhclient, udhcpc, dhcpcd) of this namespace.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

struct DhcpClientInterfaces {
  bool all = false;             // a client that names no interface serves every one
  std::set<std::string> named;  // interfaces that a client's command line names
  bool Serves(const std::string& name) const { return all || named.count(name) != 0; }
};

// Which of `interfaces` a process with command line `argv` serves: nothing when it is no DHCP
// client, every interface when it is one that names none. Busybox may run as "busybox udhcpc".
DhcpClientInterfaces ClientServes(const std::vector<std::string>& argv,
                                  const std::vector<std::string>& interfaces);

// Scans /proc for DHCP client processes of the calling thread's network namespace.
DhcpClientInterfaces RunningDhcpClients(const std::vector<std::string>& interfaces);
