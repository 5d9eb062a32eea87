// The kernel's interface table over rtnetlink: links with their IPv4 addresses, in dump order.
#pragma once

#include <linux/netlink.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct NetlinkAddress {
  std::string ip;          // dotted IPv4 text
  bool permanent = false;  // no lifetime (IFA_F_PERMANENT); leases have one
};

struct NetlinkInterface {
  int index = 0;
  std::string name;
  std::vector<NetlinkAddress> addresses;  // IPv4 only, in the order the kernel dumps them
};

enum class DumpOutcome { kDone, kInterrupted, kFailed };

// Reads the answer to one dump request with sequence number `seq` from the netlink socket `fd`,
// handing every message of it to `take`. Messages of other sequence numbers are skipped.
// kInterrupted when the kernel flagged the dump as inconsistent (NLM_F_DUMP_INTR); kFailed on
// NLMSG_ERROR, a malformed or truncated datagram, or a receive error or timeout.
DumpOutcome ReadDump(int fd, std::uint32_t seq, const std::function<void(const nlmsghdr&)>& take);

// Dumps links and IPv4 addresses of the calling thread's network namespace. Retries an
// interrupted dump a few times; nullopt when the table cannot be read.
std::optional<std::vector<NetlinkInterface>> ReadNetlinkInterfaces();
