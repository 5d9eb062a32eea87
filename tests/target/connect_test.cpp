// ConnectTarget against a recording read.exe.
#include "target/connect.h"

#include "common/mac_address.h"
#include "target/kernel_fixture.h"

namespace {

using ConnectTest = KernelTest;

TEST_F(ConnectTest, SuccessRunsReadInHomeAndRecordsUpgradeMac) {
  Member("read.exe", 0);
  // The diagnostic connects with LocalMac's text; ConnectedMac still becomes UpgradeMac.
  const MacAddress local{{0x00, 0x01, 0x40, 0xAA, 0xBB, 0xCC}};
  const std::string local_text = DashForm(local);

  EXPECT_TRUE(ConnectTarget(state_, desk_, local_text, log_));

  EXPECT_EQ(memo_, (Lines{"Connect to target " + local_text + ":", "Ok."}));
  EXPECT_EQ(
      home_.Calls(),
      (Lines{CallLine("read.exe", home_.path(), {"-i", kTestIp, "-m", local_text, "-a", "0x0"})}));
  EXPECT_EQ(state_.ConnectedMac, kTestMac);
  EXPECT_TRUE(desk_.boxes.empty());
  EXPECT_EQ(CurrentDir(), home_.path());
}

struct ConnectFailure {
  const char* name;
  bool member_present;
  int status;
};

class ConnectFailureTest : public KernelTest, public testing::WithParamInterface<ConnectFailure> {};

TEST_P(ConnectFailureTest, LogsErrorAndKeepsConnectedMac) {
  const ConnectFailure& c = GetParam();
  if (c.member_present) Member("read.exe", c.status);
  const MacAddress earlier{{1, 2, 3, 4, 5, 6}};
  state_.ConnectedMac = earlier;

  EXPECT_FALSE(ConnectTarget(state_, desk_, kTestMacText, log_));

  EXPECT_EQ(memo_, (Lines{std::string("Connect to target ") + kTestMacText + ":",
                          std::string("Err: Can't connect to target ") + kTestMacText}));
  EXPECT_EQ(state_.ConnectedMac, earlier);
  if (c.member_present) {
    EXPECT_EQ(home_.Calls(), Lines{ReadCall()});
    EXPECT_TRUE(desk_.boxes.empty());
  } else {
    EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{
                               ErrorBox("Err: Can't find " + home_.kernel() + "/read.exe")});
  }
}

INSTANTIATE_TEST_SUITE_P(Statuses, ConnectFailureTest,
                         testing::Values(ConnectFailure{"positive", true, 1},
                                         ConnectFailure{"minus_one", true, -1},
                                         ConnectFailure{"missing", false, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectTest, WithoutLogWritesNothingAndStillShowsMissingTool) {
  EXPECT_FALSE(ConnectTarget(state_, desk_, kTestMacText, Log{}));
  EXPECT_TRUE(memo_.empty());
  EXPECT_EQ(desk_.boxes.size(), 1u);
}

}  // namespace
