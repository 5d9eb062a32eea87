// The interface table against fake device and adapter sources and a recording desk.
#include "net/interface_table.h"

#include <gtest/gtest.h>

#include "support/fake_sources.h"
#include "support/recorder_desk.h"

namespace {

const RecordedBox kDeviceListBox =
    ErrorBox("pcap_findalldevs error: Can't get the NIC information");
const RecordedBox kAdapterTableBox = ErrorBox("Call to WINAPI GetAdaptersInfo failed.\n");

class InterfaceTableTest : public testing::Test {
 protected:
  // Lists `names` as devices without description and fills the table from them.
  void ListDevices(const std::vector<std::string>& names) {
    devices.list.emplace();
    for (const std::string& name : names) devices.list->push_back({name, std::nullopt, ""});
    table.FillInterfaceList();
  }

  MainState state;
  RecorderDesk desk;
  FakeDevices devices;
  FakeAdapters adapters;
  InterfaceTable table{state, desk, devices, adapters};
};

TEST_F(InterfaceTableTest, LabelsNumberFromOneAndFallBackToTheDeviceName) {
  state.Interfaces[4] = {"old description", "old0", "10.9.9.9"};
  devices.list = std::vector<CaptureDevice>{
      {"eth0", std::nullopt, "192.0.2.7"},
      {"wlan0", std::string("Wireless adapter"), ""},
      {"nflog", std::string(""), ""},
  };

  EXPECT_EQ(table.FillInterfaceList(),
            (std::vector<std::string>{"1: eth0", "2: Wireless adapter", "3: nflog"}));
  EXPECT_EQ(state.Interfaces[0].DeviceName, "eth0");
  EXPECT_EQ(state.Interfaces[0].Description, "");
  EXPECT_EQ(state.Interfaces[0].IpAddress, "192.0.2.7");
  EXPECT_EQ(state.Interfaces[1].Description, "Wireless adapter");
  EXPECT_EQ(state.Interfaces[1].IpAddress, "");
  // Slots past the last device keep what they held.
  EXPECT_EQ(state.Interfaces[4].DeviceName, "old0");
  EXPECT_EQ(state.Interfaces[4].IpAddress, "10.9.9.9");
  EXPECT_EQ(state.Interfaces.size(), kInterfaceSlots);
  EXPECT_TRUE(desk.boxes.empty());
}

TEST_F(InterfaceTableTest, SecondFillRewritesFromSlotZeroAndKeepsTheRest) {
  ListDevices({"a0", "a1", "a2"});
  ListDevices({"b0", "b1"});
  EXPECT_EQ(state.Interfaces[0].DeviceName, "b0");
  EXPECT_EQ(state.Interfaces[1].DeviceName, "b1");
  EXPECT_EQ(state.Interfaces[2].DeviceName, "a2");
}

TEST_F(InterfaceTableTest, MoreThanTenDevicesGrowTheTableAlignedWithTheLabels) {
  devices.list.emplace();
  for (int i = 0; i < 13; ++i)
    devices.list->push_back({"dev" + std::to_string(i), std::nullopt, ""});
  adapters.table = std::vector<AdapterRecord>{{"dev12", false, "198.51.100.12"}};

  const std::vector<std::string> labels = table.FillInterfaceList();

  ASSERT_EQ(labels.size(), 13u);
  ASSERT_EQ(state.Interfaces.size(), 13u);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    EXPECT_EQ(labels[i], std::to_string(i + 1) + ": " + state.Interfaces[i].DeviceName);
  }
  PanelState panel;
  EXPECT_EQ(table.UpdateInterfaceStatus(12, panel), 1);
  EXPECT_EQ(panel.caption, " <fixed IP>: 198.51.100.12");
  EXPECT_EQ(state.Interfaces[12].IpAddress, "198.51.100.12");
}

TEST_F(InterfaceTableTest, DeviceListFailureShowsTheBoxAndLeavesTheTableAlone) {
  ListDevices({"eth0", "eth1"});
  const std::vector<InterfaceEntry> before = state.Interfaces;
  devices.list = std::nullopt;

  EXPECT_TRUE(table.FillInterfaceList().empty());

  EXPECT_EQ(desk.boxes, std::vector<RecordedBox>{kDeviceListBox});
  ASSERT_EQ(state.Interfaces.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(state.Interfaces[i].DeviceName, before[i].DeviceName);
    EXPECT_EQ(state.Interfaces[i].IpAddress, before[i].IpAddress);
  }
}

struct PanelCase {
  bool dhcp;
  std::string ip;
  std::string caption;
  PanelState::Colour colour;
  int ready;
  std::uint8_t pending;
};

class PanelStateTest : public InterfaceTableTest, public testing::WithParamInterface<PanelCase> {};

TEST_P(PanelStateTest, AdapterDecidesCaptionColourReadinessAndDhcpFlag) {
  const PanelCase& c = GetParam();
  ListDevices({"eth0"});
  adapters.table = std::vector<AdapterRecord>{{"lo", false, "127.0.0.1"}, {"eth0", c.dhcp, c.ip}};
  // Start from the opposite flag so that a missing write shows.
  state.DhcpPending = c.pending ? 0 : 1;
  PanelState panel;

  EXPECT_EQ(table.UpdateInterfaceStatus(0, panel), c.ready);
  EXPECT_EQ(panel.caption, c.caption);
  EXPECT_EQ(panel.colour, c.colour);
  EXPECT_EQ(state.DhcpPending, c.pending);
  EXPECT_EQ(state.Interfaces[0].IpAddress, c.ip);
}

INSTANTIATE_TEST_SUITE_P(
    FourStates, PanelStateTest,
    testing::Values(PanelCase{true, "0.0.0.0", " <dynamic IP>:   ----  Not Ready",
                              PanelState::Colour::kRed, 0, 1},
                    PanelCase{true, "198.51.100.7", " <dynamic IP>: 198.51.100.7",
                              PanelState::Colour::kAqua, 1, 0},
                    PanelCase{false, "0.0.0.0", " <fixed IP>:   ----  Not Ready",
                              PanelState::Colour::kRed, 0, 0},
                    PanelCase{false, "198.51.100.8", " <fixed IP>: 198.51.100.8",
                              PanelState::Colour::kAqua, 1, 0}));

TEST_F(InterfaceTableTest, EveryMatchingRecordIsWalkedAndTheLastDecides) {
  ListDevices({"eth0"});
  adapters.table =
      std::vector<AdapterRecord>{{"eth0", false, "198.51.100.9"}, {"eth0", true, "0.0.0.0"}};
  PanelState panel;
  EXPECT_EQ(table.UpdateInterfaceStatus(0, panel), 0);
  EXPECT_EQ(panel.caption, " <dynamic IP>:   ----  Not Ready");
  EXPECT_EQ(state.DhcpPending, 1);
}

TEST_F(InterfaceTableTest, UnmatchedDeviceKeepsPanelSlotAndTheOtherTabsDhcpFlag) {
  ListDevices({"eth0", "any", "eth1"});
  state.Interfaces[1].IpAddress = "192.0.2.1";
  adapters.table =
      std::vector<AdapterRecord>{{"eth0", true, "0.0.0.0"}, {"eth1", false, "198.51.100.3"}};
  PanelState upgrade_panel;
  PanelState diag_panel{" <fixed IP>: 198.51.100.3", PanelState::Colour::kAqua};

  // The upgrade tab's DHCP interface waits for its lease...
  EXPECT_EQ(table.UpdateInterfaceStatus(0, upgrade_panel), 0);
  EXPECT_EQ(state.DhcpPending, 1);
  // ...and the diagnostic tab's device is no adapter: its panel, its slot and the flag stay.
  EXPECT_EQ(table.UpdateInterfaceStatus(1, diag_panel), 0);
  EXPECT_EQ(diag_panel.caption, " <fixed IP>: 198.51.100.3");
  EXPECT_EQ(diag_panel.colour, PanelState::Colour::kAqua);
  EXPECT_EQ(state.Interfaces[1].IpAddress, "192.0.2.1");
  EXPECT_EQ(state.DhcpPending, 1);
  // A ready interface on either tab clears the shared flag.
  EXPECT_EQ(table.UpdateInterfaceStatus(2, diag_panel), 1);
  EXPECT_EQ(state.DhcpPending, 0);
}

TEST_F(InterfaceTableTest, NoSelectionOrASlotPastTheTableMatchesNothing) {
  ListDevices({"eth0"});
  adapters.table =
      std::vector<AdapterRecord>{{"eth0", true, "0.0.0.0"}, {"", false, "198.51.100.4"}};
  state.DhcpPending = 0;
  for (std::optional<std::size_t> slot :
       {std::optional<std::size_t>{}, std::optional<std::size_t>{99}}) {
    PanelState panel{"kept", PanelState::Colour::kAqua};
    EXPECT_EQ(table.UpdateInterfaceStatus(slot, panel), 0);
    EXPECT_EQ(panel.caption, "kept");
    EXPECT_EQ(panel.colour, PanelState::Colour::kAqua);
    EXPECT_EQ(state.DhcpPending, 0);
  }
  // An empty slot has no key, so it does not match an adapter without name either.
  PanelState panel;
  EXPECT_EQ(table.UpdateInterfaceStatus(5, panel), 0);
  EXPECT_EQ(panel.caption, "");
  EXPECT_EQ(state.Interfaces[5].IpAddress, "");
}

TEST_F(InterfaceTableTest, AdapterTableFailureIsReportedOncePerStreak) {
  ListDevices({"eth0"});
  state.Interfaces[0].IpAddress = "198.51.100.5";
  state.DhcpPending = 1;
  PanelState panel{" <fixed IP>: 198.51.100.5", PanelState::Colour::kAqua};
  adapters.table = std::nullopt;
  // A timer tick that arrives while the box is open looks up again.
  desk.on_box = [&](const RecordedBox&) { EXPECT_EQ(table.UpdateInterfaceStatus(0, panel), 0); };

  for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(table.UpdateInterfaceStatus(0, panel), 0);
  EXPECT_EQ(desk.boxes, std::vector<RecordedBox>{kAdapterTableBox});
  EXPECT_EQ(panel.caption, " <fixed IP>: 198.51.100.5");
  EXPECT_EQ(panel.colour, PanelState::Colour::kAqua);
  EXPECT_EQ(state.Interfaces[0].IpAddress, "198.51.100.5");
  EXPECT_EQ(state.DhcpPending, 1);

  // Even a lookup that matches nothing ends the streak.
  adapters.table = std::vector<AdapterRecord>{};
  EXPECT_EQ(table.UpdateInterfaceStatus(std::nullopt, panel), 0);
  adapters.table = std::nullopt;
  EXPECT_EQ(table.UpdateInterfaceStatus(0, panel), 0);
  EXPECT_EQ(table.UpdateInterfaceStatus(0, panel), 0);
  EXPECT_EQ(desk.boxes, (std::vector<RecordedBox>{kAdapterTableBox, kAdapterTableBox}));
}

struct KeyCase {
  std::string device;
  std::string key;
};

TEST(AdapterKeyTest, NpfRuleTakesTheFirstWordAfterThePrefix) {
  const KeyCase cases[] = {
      {"\\Device\\NPF_{4D36E972-E325}", "{4D36E972-E325}"},
      {"\\Device\\NPF_  {ABC} trailing", "{ABC}"},
      {"\\Device\\NPF_", ""},
      {"\\Device\\NPF_   ", ""},
      {"\\Device\\NPF", ""},
      {"\\device\\npf_{ABC}", ""},
      {"eth0", ""},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(NpfAdapterKey(c.device), c.key) << c.device;
}

TEST(AdapterKeyTest, ElsewhereTheDeviceNameIsTheKey) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows uses the NPF rule";
#else
  for (const char* name : {"eth0", "any", "nflog", "\\Device\\NPF_{X}"}) {
    EXPECT_EQ(AdapterKey(name), name);
  }
#endif
}

}  // namespace
