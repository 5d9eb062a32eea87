// The real adapter table (rtnetlink, DHCP clients) read inside network namespaces made for the
// test. Root only; addresses from 198.51.100.0/24; no traffic leaves the namespaces.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "netns_fixture.h"

namespace {

class AdapterTableNetnsTest : public testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to create network namespaces";
    namespaces_ = std::make_unique<NetnsPair>();
    if (!namespaces_->error().empty()) GTEST_SKIP() << namespaces_->error();
  }

  bool AddLocalAddress(std::vector<std::string> extra = {}) {
    std::vector<std::string> words = {"addr", "add", "198.51.100.2/24", "dev", NetnsPair::kLocal};
    words.insert(words.end(), extra.begin(), extra.end());
    return namespaces_->Ip(namespaces_->local(), words);
  }

  // Looks up until `done` holds, for at most `seconds`; the last lookup.
  template <typename Done>
  Lookup LookUpUntil(Done done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    Lookup lookup = LookUpIn(namespaces_->local());
    while (!done(lookup) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      lookup = LookUpIn(namespaces_->local());
    }
    return lookup;
  }

  std::unique_ptr<NetnsPair> namespaces_;
};

struct AddressCase {
  const char* what;
  std::vector<std::string> address;  // `ip addr add` words after the device; none: no address
  bool dhcp;
  std::string ip;
  int ready;
  std::string caption;
};

TEST_F(AdapterTableNetnsTest, AddressLifetimeDecidesTheMode) {
  const AddressCase cases[] = {
      {"permanent address", {""}, false, "198.51.100.2", 1, " <fixed IP>: 198.51.100.2"},
      {"leased address",
       {"valid_lft", "300", "preferred_lft", "300"},
       true,
       "198.51.100.2",
       1,
       " <dynamic IP>: 198.51.100.2"},
      {"no address", {}, false, "0.0.0.0", 0, " <fixed IP>:   ----  Not Ready"},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(namespaces_->Ip(namespaces_->local(), {"addr", "flush", "dev", NetnsPair::kLocal}));
    if (!c.address.empty()) {
      std::vector<std::string> extra = c.address;
      if (extra.front().empty()) extra.clear();
      ASSERT_TRUE(AddLocalAddress(extra));
    }
    const Lookup lookup = LookUpIn(namespaces_->local());
    ASSERT_TRUE(lookup.table_read);
    ASSERT_TRUE(lookup.record.has_value());
    EXPECT_EQ(lookup.record->dhcp, c.dhcp);
    EXPECT_EQ(lookup.record->ip, c.ip);
    EXPECT_EQ(lookup.ready, c.ready);
    EXPECT_EQ(lookup.panel.caption, c.caption);
    EXPECT_EQ(lookup.dhcp_pending, 0);
  }
}

TEST_F(AdapterTableNetnsTest, FirstAddressOfTheDumpIsShown) {
  ASSERT_TRUE(AddLocalAddress());
  ASSERT_TRUE(namespaces_->Ip(namespaces_->local(),
                              {"addr", "add", "198.51.100.3/24", "dev", NetnsPair::kLocal}));
  const Lookup lookup = LookUpIn(namespaces_->local());
  ASSERT_TRUE(lookup.record.has_value());
  EXPECT_EQ(lookup.record->ip, "198.51.100.2");
}

TEST_F(AdapterTableNetnsTest, WaitingDhcpClientIsPendingUntilTheServerAnswers) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  // The client's own script would rewrite the host's resolver settings; this one only sets the
  // leased address inside the namespace.
  const std::string script = dir.path() + "/lease.sh";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\n"
           "PATH=/usr/sbin:/usr/bin:/sbin:/bin\n"
           "case \"$1\" in\n"
           "  bound|renew) ip addr flush dev \"$interface\"\n"
           "               ip addr add \"$ip/${mask:-24}\" dev \"$interface\" ;;\n"
           "esac\n";
  }
  ASSERT_EQ(chmod(script.c_str(), 0755), 0);

  Child client({"ip", "netns", "exec", namespaces_->local(), "udhcpc", "-f", "-i",
                NetnsPair::kLocal, "-s", script, "-t", "1000", "-T", "1", "-A", "1"});
  Lookup lookup = LookUpUntil([](const Lookup& l) { return l.record && l.record->dhcp; }, 10);
  ASSERT_TRUE(client.running()) << "udhcpc did not start";
  EXPECT_EQ(lookup.ready, 0);
  EXPECT_EQ(lookup.panel.caption, " <dynamic IP>:   ----  Not Ready");
  EXPECT_EQ(lookup.panel.colour, PanelState::Colour::kRed);
  EXPECT_EQ(lookup.dhcp_pending, 1);

  ASSERT_TRUE(namespaces_->Ip(namespaces_->peer(),
                              {"addr", "add", "198.51.100.1/24", "dev", NetnsPair::kPeer}));
  Child server({"ip", "netns", "exec", namespaces_->peer(), "dnsmasq", "--keep-in-foreground",
                "--conf-file=/dev/null", "--port=0", "--no-hosts", "--no-resolv", "--user=root",
                std::string("--interface=") + NetnsPair::kPeer, "--bind-interfaces",
                "--dhcp-range=198.51.100.50,198.51.100.99,255.255.255.0,10m",
                "--dhcp-leasefile=" + dir.path() + "/leases", "--pid-file=" + dir.path() + "/pid"});
  lookup = LookUpUntil([](const Lookup& l) { return l.ready == 1; }, 20);
  ASSERT_TRUE(server.running()) << "dnsmasq ended early";
  ASSERT_TRUE(lookup.record.has_value());
  EXPECT_TRUE(lookup.record->dhcp);
  EXPECT_EQ(lookup.record->ip.rfind("198.51.100.", 0), 0u) << lookup.record->ip;
  EXPECT_EQ(lookup.ready, 1);
  EXPECT_EQ(lookup.panel.caption, " <dynamic IP>: " + lookup.record->ip);
  EXPECT_EQ(lookup.panel.colour, PanelState::Colour::kAqua);
  EXPECT_EQ(lookup.dhcp_pending, 0);
}

}  // namespace
