// QueryTargetMac and the Upgrade tab's MAC query.
#include "target/mac_query.h"

#include <optional>

#include "target/kernel_fixture.h"

namespace {

constexpr char kQueryErr[] = "Err: Can't query target's MAC address.";
const MacAddress kEarlier{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};

using MacQueryTest = KernelTest;

struct MacFileCase {
  const char* name;
  const char* content;
  std::optional<MacAddress> mac;  // nullopt: the query fails
  const char* logged;
};

class MacFileTest : public KernelTest, public testing::WithParamInterface<MacFileCase> {};

TEST_P(MacFileTest, ReadsTheFirstSixNumbers) {
  const MacFileCase& c = GetParam();
  Member("query_address.bat", 0, {{"query_address.tmp", c.content}});
  MacAddress out = kEarlier;

  EXPECT_EQ(QueryTargetMac(state_, desk_, out, log_), c.mac.has_value());

  EXPECT_EQ(home_.Calls(), Lines{CallLine("query_address.bat", home_.kernel(), {kTestIp})});
  if (c.mac) {
    EXPECT_EQ(out, *c.mac);
    EXPECT_EQ(memo_, (Lines{"query target's MAC address :", c.logged, "Ok."}));
  } else {
    EXPECT_EQ(out, kEarlier);
    EXPECT_EQ(memo_, (Lines{"query target's MAC address :", kQueryErr}));
  }
  EXPECT_EQ(CurrentDir(), home_.path());
}

INSTANTIATE_TEST_SUITE_P(
    Files, MacFileTest,
    testing::Values(MacFileCase{"mixed_case", "0:a:1B:2c:3D:4e\n",
                                MacAddress{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}},
                                "00:0A:1B:2C:3D:4E"},
                    // The byte keeps the low eight bits; the log shows the number as read.
                    MacFileCase{"three_digits", "1FF:1:2:3:4:5", MacAddress{{0xFF, 1, 2, 3, 4, 5}},
                                "1FF:01:02:03:04:05"},
                    MacFileCase{"blanks_after_colons", "\n 0: 1:\n2: 3: 4: 5 trailing",
                                MacAddress{{0, 1, 2, 3, 4, 5}}, "00:01:02:03:04:05"},
                    MacFileCase{"several_lines", "0:1:2:3:4:5\n6:7:8:9:A:B\n",
                                MacAddress{{0, 1, 2, 3, 4, 5}}, "00:01:02:03:04:05"},
                    MacFileCase{"five_numbers", "0:1:2:3:4\n", std::nullopt, ""},
                    MacFileCase{"blank_before_colon", "0 :1:2:3:4:5\n", std::nullopt, ""},
                    MacFileCase{"empty", "", std::nullopt, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MacQueryTest, StatusIsIgnoredWhenTheFileIsGood) {
  Member("query_address.bat", -5, {{"query_address.tmp", "0:1:2:3:4:5"}});
  MacAddress out;
  EXPECT_TRUE(QueryTargetMac(state_, desk_, out, log_));
  EXPECT_EQ(out, (MacAddress{{0, 1, 2, 3, 4, 5}}));
}

TEST_F(MacQueryTest, StaleResultIsNeverRead) {
  home_.WriteFile("Kernel/query_address.tmp", "0:1:2:3:4:5\n");
  Member("query_address.bat", 0);
  MacAddress out = kEarlier;
  EXPECT_FALSE(QueryTargetMac(state_, desk_, out, log_));
  EXPECT_EQ(out, kEarlier);
  EXPECT_EQ(memo_, (Lines{"query target's MAC address :", kQueryErr}));
}

TEST_F(MacQueryTest, UpgradeQueryFillsUpgradeMac) {
  Member("query_address.bat", 0, {{"query_address.tmp", "0:a:1B:2c:3D:4e\n"}});
  QueryUpgradeMac(state_, desk_, log_);
  EXPECT_EQ(state_.UpgradeMac, (MacAddress{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}}));
  EXPECT_TRUE(desk_.boxes.empty());
}

TEST_F(MacQueryTest, UpgradeQueryWithMissingScriptShowsBothBoxes) {
  QueryUpgradeMac(state_, desk_, log_);
  EXPECT_EQ(desk_.boxes, (std::vector<RecordedBox>{ErrorBox("Err: Can't find query_address.bat"),
                                                   ErrorBox("Can't query MAC address.")}));
  EXPECT_EQ(memo_, (Lines{"query target's MAC address :", kQueryErr}));
  EXPECT_EQ(state_.UpgradeMac, kTestMac);
}

class NoKernelMacQueryTest : public KernelTest {
 protected:
  NoKernelMacQueryTest() : KernelTest(/*with_kernel=*/false) {}
};

TEST_F(NoKernelMacQueryTest, LogsTheFolderAndShowsTheBox) {
  QueryUpgradeMac(state_, desk_, log_);
  EXPECT_EQ(memo_,
            (Lines{"query target's MAC address :", "Err: Can't change dir to " + home_.kernel()}));
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Can't query MAC address.")});
  EXPECT_EQ(CurrentDir(), home_.path());
}

}  // namespace
