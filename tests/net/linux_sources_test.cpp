// The Linux adapter table's parts that need no privilege: reading a netlink dump (fed through a
// socket pair) and recognising DHCP client command lines.
#include <gtest/gtest.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "net/linux/dhcp_clients.h"
#include "net/linux/netlink_table.h"

namespace {

constexpr std::uint32_t kSeq = 7;

// One netlink message: header and `payload` bytes, padded to the netlink alignment.
std::string Message(std::uint16_t type, std::uint32_t seq, std::uint16_t flags = NLM_F_MULTI,
                    std::string payload = "") {
  nlmsghdr header{};
  header.nlmsg_len = NLMSG_LENGTH(payload.size());
  header.nlmsg_type = type;
  header.nlmsg_flags = flags;
  header.nlmsg_seq = seq;
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  bytes += payload;
  bytes.resize(NLMSG_ALIGN(bytes.size()), '\0');
  return bytes;
}

std::string Done(std::uint32_t seq, int error = 0, std::uint16_t flags = NLM_F_MULTI) {
  return Message(NLMSG_DONE, seq, flags,
                 std::string(reinterpret_cast<const char*>(&error), sizeof error));
}

struct DumpCase {
  const char* what;
  std::vector<std::string> datagrams;
  DumpOutcome outcome;
  int taken;
};

std::vector<DumpCase> DumpCases() {
  const std::string link = Message(RTM_NEWLINK, kSeq);
  std::string truncated = link;
  truncated.resize(truncated.size() - 2);
  nlmsghdr error_header{};
  const std::string error_body =
      std::string(sizeof(int), '\xff') +
      std::string(reinterpret_cast<const char*>(&error_header), sizeof error_header);
  return {
      {"multipart over two datagrams", {link + link, link + Done(kSeq)}, DumpOutcome::kDone, 3},
      {"other sequence numbers are skipped",
       {Message(RTM_NEWLINK, kSeq - 1) + Done(kSeq - 1), link + Done(kSeq)},
       DumpOutcome::kDone,
       1},
      {"a message larger than a page",
       {Message(RTM_NEWLINK, kSeq, NLM_F_MULTI, std::string(70000, 'x')) + Done(kSeq)},
       DumpOutcome::kDone,
       1},
      {"NLMSG_ERROR", {link, Message(NLMSG_ERROR, kSeq, 0, error_body)}, DumpOutcome::kFailed, 1},
      {"DONE carrying an error", {link + Done(kSeq, -16)}, DumpOutcome::kFailed, 1},
      {"dump interrupted",
       {link, Message(RTM_NEWLINK, kSeq, NLM_F_MULTI | NLM_F_DUMP_INTR) + Done(kSeq)},
       DumpOutcome::kInterrupted,
       2},
      {"interrupt flagged on DONE",
       {link + Done(kSeq, 0, NLM_F_MULTI | NLM_F_DUMP_INTR)},
       DumpOutcome::kInterrupted,
       1},
      {"a datagram cut inside a message", {truncated}, DumpOutcome::kFailed, 0},
      {"the answer ends without DONE", {link}, DumpOutcome::kFailed, 1},
  };
}

TEST(ReadDumpTest, FollowsTheDumpToItsEnd) {
  for (const DumpCase& c : DumpCases()) {
    SCOPED_TRACE(c.what);
    int pair[2];
    // Sequenced packets keep datagram boundaries and, unlike datagrams, report the writer's end.
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    const timeval bound{5, 0};
    ASSERT_EQ(setsockopt(pair[0], SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound), 0);
    for (const std::string& datagram : c.datagrams) {
      ASSERT_EQ(send(pair[1], datagram.data(), datagram.size(), 0),
                static_cast<ssize_t>(datagram.size()));
    }
    close(pair[1]);  // a reader that wants more sees the end instead of blocking
    int taken = 0;
    EXPECT_EQ(ReadDump(pair[0], kSeq, [&](const nlmsghdr&) { ++taken; }), c.outcome);
    EXPECT_EQ(taken, c.taken);
    close(pair[0]);
  }
}

struct ClientCase {
  std::vector<std::string> argv;
  bool all;
  std::set<std::string> named;
};

TEST(DhcpClientsTest, CommandLineNamesTheInterfacesServed) {
  const std::vector<std::string> interfaces = {"lo", "eth1", "eth10", "veth0"};
  const ClientCase cases[] = {
      {{"/sbin/dhclient", "-4", "-v", "-pf", "/run/dhclient.eth1.pid", "eth1"}, false, {"eth1"}},
      {{"udhcpc", "-f", "-i", "veth0"}, false, {"veth0"}},
      {{"udhcpc", "-iveth0"}, false, {"veth0"}},
      {{"busybox", "udhcpc", "--interface=eth10"}, false, {"eth10"}},
      {{"dhcpcd", "eth1", "eth10"}, false, {"eth1", "eth10"}},
      {{"/usr/sbin/dhcpcd", "-q", "-b"}, true, {}},
      {{"dhclient"}, true, {}},
      {{"dhclient", "-pf", "/run/dhclient.pid"}, true, {}},
      // A client of an interface we do not list serves none of ours.
      {{"dhclient", "-v", "wlan0"}, false, {}},
      {{"udhcpc", "-i", "usb0"}, false, {}},
      {{"dhcpcd", "--interface=usb0"}, false, {}},
      {{"sshd", "eth1"}, false, {}},
      {{"/usr/local/bin/dhclient-wrapper", "eth1"}, false, {}},
      {{"busybox", "sh", "eth1"}, false, {}},
      {{}, false, {}},
  };
  for (const ClientCase& c : cases) {
    const DhcpClientInterfaces served = ClientServes(c.argv, interfaces);
    const std::string line = c.argv.empty() ? "(empty)" : c.argv[0];
    EXPECT_EQ(served.all, c.all) << line;
    EXPECT_EQ(served.named, c.named) << line;
    EXPECT_EQ(served.Serves("eth1"), c.all || c.named.count("eth1") != 0) << line;
  }
}

}  // namespace
