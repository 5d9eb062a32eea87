// rtnetlink dumps of links and IPv4 addresses, with dynamically sized receive buffers.
#include "net/linux/netlink_table.h"

#include <arpa/inet.h>
#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "common/unique_fd.h"

namespace {

constexpr int kDumpAttempts = 5;
// Bounds a lookup that runs on the window's thread; the kernel answers in microseconds.
constexpr int kReceiveTimeoutMs = 1000;

// Returns the size of the next datagram without taking it, or -1.
ssize_t PeekSize(int fd) {
  for (;;) {
    const ssize_t size = recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC);
    if (size < 0 && errno == EINTR) continue;
    return size;
  }
}

bool SendDumpRequest(int fd, std::uint16_t type, unsigned char family, std::uint32_t seq) {
  struct {
    nlmsghdr header;
    rtgenmsg body;
  } request{};
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtgenmsg));
  request.header.nlmsg_type = type;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = seq;
  request.body.rtgen_family = family;
  for (;;) {
    const ssize_t sent = send(fd, &request, request.header.nlmsg_len, 0);
    if (sent < 0 && errno == EINTR) continue;
    return sent == static_cast<ssize_t>(request.header.nlmsg_len);
  }
}

void TakeLink(const nlmsghdr& message, std::vector<NetlinkInterface>& links) {
  if (message.nlmsg_type != RTM_NEWLINK || message.nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) {
    return;
  }
  const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(&message));
  NetlinkInterface link;
  link.index = info->ifi_index;
  int length = static_cast<int>(IFLA_PAYLOAD(&message));
  for (const rtattr* attr = IFLA_RTA(info); RTA_OK(attr, length); attr = RTA_NEXT(attr, length)) {
    if (attr->rta_type != IFLA_IFNAME) continue;
    const char* text = static_cast<const char*>(RTA_DATA(attr));
    link.name.assign(text, strnlen(text, RTA_PAYLOAD(attr)));
  }
  if (!link.name.empty()) links.push_back(std::move(link));
}

struct RawAddress {
  int index;
  NetlinkAddress address;
};

void TakeAddress(const nlmsghdr& message, std::vector<RawAddress>& addresses) {
  if (message.nlmsg_type != RTM_NEWADDR || message.nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg))) {
    return;
  }
  const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(&message));
  if (info->ifa_family != AF_INET) return;
  std::uint32_t flags = info->ifa_flags;
  const void* local = nullptr;
  const void* address = nullptr;
  int length = static_cast<int>(IFA_PAYLOAD(&message));
  for (const rtattr* attr = IFA_RTA(info); RTA_OK(attr, length); attr = RTA_NEXT(attr, length)) {
    switch (attr->rta_type) {
      case IFA_LOCAL:
        if (RTA_PAYLOAD(attr) >= 4) local = RTA_DATA(attr);
        break;
      case IFA_ADDRESS:
        if (RTA_PAYLOAD(attr) >= 4) address = RTA_DATA(attr);
        break;
      case IFA_FLAGS:  // the full 32-bit flags; ifa_flags holds only the low eight
        if (RTA_PAYLOAD(attr) >= sizeof(std::uint32_t)) {
          std::memcpy(&flags, RTA_DATA(attr), sizeof flags);
        }
        break;
      default:
        break;
    }
  }
  // IFA_LOCAL is the interface's own address; IFA_ADDRESS is the peer on point-to-point links.
  const void* own = local != nullptr ? local : address;
  if (own == nullptr) return;
  char text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, own, text, sizeof text) == nullptr) return;
  addresses.push_back({static_cast<int>(info->ifa_index), {text, (flags & IFA_F_PERMANENT) != 0}});
}

DumpOutcome DumpOnce(int fd, std::uint32_t& seq, std::vector<NetlinkInterface>& links) {
  links.clear();
  std::vector<RawAddress> addresses;
  if (!SendDumpRequest(fd, RTM_GETLINK, AF_UNSPEC, ++seq)) return DumpOutcome::kFailed;
  DumpOutcome outcome =
      ReadDump(fd, seq, [&](const nlmsghdr& message) { TakeLink(message, links); });
  if (outcome != DumpOutcome::kDone) return outcome;
  if (!SendDumpRequest(fd, RTM_GETADDR, AF_INET, ++seq)) return DumpOutcome::kFailed;
  outcome = ReadDump(fd, seq, [&](const nlmsghdr& message) { TakeAddress(message, addresses); });
  if (outcome != DumpOutcome::kDone) return outcome;

  std::map<int, NetlinkInterface*> by_index;
  for (NetlinkInterface& link : links) by_index[link.index] = &link;
  for (RawAddress& raw : addresses) {
    const auto found = by_index.find(raw.index);
    if (found != by_index.end()) found->second->addresses.push_back(std::move(raw.address));
  }
  return DumpOutcome::kDone;
}

}  // namespace

DumpOutcome ReadDump(int fd, std::uint32_t seq, const std::function<void(const nlmsghdr&)>& take) {
  std::vector<char> buffer;
  bool interrupted = false;
  for (;;) {
    const ssize_t size = PeekSize(fd);
    if (size <= 0) return DumpOutcome::kFailed;  // error, timeout or a closed peer
    if (buffer.size() < static_cast<std::size_t>(size)) buffer.resize(size);
    ssize_t received;
    do {
      received = recv(fd, buffer.data(), buffer.size(), 0);
    } while (received < 0 && errno == EINTR);
    if (received < 0 || received > size) return DumpOutcome::kFailed;

    int left = static_cast<int>(received);
    const auto* message = reinterpret_cast<const nlmsghdr*>(buffer.data());
    for (; NLMSG_OK(message, left); message = NLMSG_NEXT(message, left)) {
      if (message->nlmsg_seq != seq) continue;  // a stray answer to an earlier request
      if (message->nlmsg_flags & NLM_F_DUMP_INTR) interrupted = true;
      if (message->nlmsg_type == NLMSG_DONE) {
        // A dump that failed part way says so with a negative error in its DONE message.
        int error = 0;
        if (message->nlmsg_len >= NLMSG_LENGTH(sizeof error)) {
          std::memcpy(&error, NLMSG_DATA(message), sizeof error);
        }
        if (error < 0) return DumpOutcome::kFailed;
        return interrupted ? DumpOutcome::kInterrupted : DumpOutcome::kDone;
      }
      if (message->nlmsg_type == NLMSG_ERROR) return DumpOutcome::kFailed;
      take(*message);
    }
    // Bytes left over that do not form a whole message: the datagram is malformed.
    if (left != 0) return DumpOutcome::kFailed;
  }
}

std::optional<std::vector<NetlinkInterface>> ReadNetlinkInterfaces() {
  // A fresh socket each time: it belongs to the calling thread's network namespace, and nothing
  // stale can be left queued on it.
  UniqueFd fd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
  if (fd.get() < 0) return std::nullopt;
  timeval timeout{};
  timeout.tv_sec = kReceiveTimeoutMs / 1000;
  timeout.tv_usec = (kReceiveTimeoutMs % 1000) * 1000;
  if (setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
    return std::nullopt;
  }
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  if (bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return std::nullopt;

  std::uint32_t seq = 0;
  std::vector<NetlinkInterface> links;
  for (int attempt = 0; attempt < kDumpAttempts; ++attempt) {
    switch (DumpOnce(fd.get(), seq, links)) {
      case DumpOutcome::kDone:
        return links;
      case DumpOutcome::kFailed:
        return std::nullopt;
      case DumpOutcome::kInterrupted:
        break;  // the table changed while it was read: read it again
    }
  }
  return std::nullopt;
}
