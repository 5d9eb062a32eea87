// The upgrade sequence and the Download request against a recording toolchain.
#include "upgrade/upgrade.h"

#include "target/kernel_fixture.h"

namespace {

constexpr char kBuild[] = "2.7.3 Dec 21 2006 00:25:10";
constexpr char kDevInfoLine[] = "id=3 hw=Coax 4-20 #1.0 pin=0\n";
const std::string kHyphens(47, '-');

class UpgradeTest : public KernelTest {
 protected:
  // A toolchain on which everything succeeds unless a case replaces a member.
  UpgradeTest() {
    Member("read.exe", 0);
    Member("program_flash.bat", 0);
    QueryMembers(std::string(kBuild) + "\n", "5\n", kDevInfoLine);
  }

  std::string FlashCall() const {
    return CallLine("program_flash.bat", home_.kernel(),
                    {kTestIp, kTestMacText, "Coax_4-20_1.0", "../Tool/prm_VOR512.inf", kTestMacText,
                     "NO_PRM_INF"});
  }

  // The memo of a run that gets past programming.
  Lines ProgrammedMemo() const {
    return {kHyphens,
            std::string("Start to upgrade ") + kTestMacText,
            "Check the necessary files:",
            "Ok.",
            std::string("Connect to target ") + kTestMacText + ":",
            "Ok.",
            "start to upgrade :",
            "Ok."};
  }
};

TEST_F(UpgradeTest, DownloadSuccessPath) {
  Download(state_, desk_, log_);

  Lines memo = ProgrammedMemo();
  memo.insert(memo.end(), {"get target's version :", kBuild, "Ok.", "get target's info :",
                           "device_type = 0x05", std::string("devinf = ") + kDevInfoLine, "Ok."});
  EXPECT_EQ(memo_, memo);
  EXPECT_EQ(home_.Calls(),
            (Lines{ScriptCall("get_devinf.bat"), ReadCall(), FlashCall(), ScriptCall("version.bat"),
                   ScriptCall("get_device_type.bat"), ScriptCall("get_devinf.bat")}));
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ResultBox(
                             std::string("Upgrade complete. Current Version is ") + kBuild)});
  EXPECT_EQ(desk_.pauses, std::vector<int>{1000});
  EXPECT_EQ(state_.ConnectedMac, kTestMac);
  EXPECT_EQ(CurrentDir(), home_.path());
}

struct FlashStatus {
  const char* name;
  bool present;
  int status;
  Lines tail;  // memo lines after "start to upgrade :"; empty for success
};

class FlashStatusTest : public UpgradeTest, public testing::WithParamInterface<FlashStatus> {};

TEST_P(FlashStatusTest, MapsStatusToLogAndResult) {
  const FlashStatus& c = GetParam();
  std::filesystem::remove(home_.kernel() + "/program_flash.bat");
  if (c.present) Member("program_flash.bat", c.status);

  const bool ok = UpgradeFirmware(state_, desk_, log_);

  EXPECT_EQ(ok, c.tail.empty());
  if (ok) {
    EXPECT_EQ(RanMembers(), (Lines{"read.exe", "program_flash.bat", "version.bat",
                                   "get_device_type.bat", "get_devinf.bat"}));
    EXPECT_EQ(desk_.pauses, std::vector<int>{1000});
    return;
  }
  Lines memo = ProgrammedMemo();
  memo.pop_back();
  memo.insert(memo.end(), c.tail.begin(), c.tail.end());
  EXPECT_EQ(memo_, memo);
  EXPECT_TRUE(desk_.pauses.empty());
  EXPECT_EQ(CurrentDir(), home_.path());
  if (c.present) {
    EXPECT_EQ(RanMembers(), (Lines{"read.exe", "program_flash.bat"}));
    EXPECT_TRUE(desk_.boxes.empty());
  } else {
    EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Err: Can't find " + home_.kernel() +
                                                             "/program_flash.bat")});
  }
}

const char kFail[] = "Err: upgrade fail.";

INSTANTIATE_TEST_SUITE_P(
    Statuses, FlashStatusTest,
    testing::Values(
        FlashStatus{"zero", true, 0, {}}, FlashStatus{"seven", true, 7, {}},
        FlashStatus{"missing", false, -1, {"Err: can't run program_flash.bat", kFail}},
        FlashStatus{"m101", true, -101, {"Err: invalid input of program_flash.bat.", kFail}},
        FlashStatus{"m102", true, -102, {"Err: failed to process parameters of mkprm.exe", kFail}},
        FlashStatus{"m103", true, -103, {"Err: prm.inf not found.", kFail}},
        FlashStatus{"m104", true, -104, {"Err: image generation failed.", kFail}},
        FlashStatus{"m105", true, -105, {"Err: flash programming failed.", kFail}},
        FlashStatus{"m2", true, -2, {kFail}}, FlashStatus{"m100", true, -100, {kFail}}),
    [](const auto& info) { return std::string(info.param.name); });

struct WarningAnswer {
  const char* name;
  bool yes;
  RecordedBox last_box;
  Lines ran;
};

class WarningAnswerTest : public UpgradeTest, public testing::WithParamInterface<WarningAnswer> {};

TEST_P(WarningAnswerTest, OnlyYesGoesOnToUpgrade) {
  const WarningAnswer& c = GetParam();
  Member("get_devinf.bat", 0, {{"get_devinf.tmp", "hw=Coax 4-20 1.0 pin=0\n"}});
  desk_.answers = {c.yes};

  Download(state_, desk_, log_);

  ASSERT_EQ(desk_.boxes.size(), 2u);
  EXPECT_EQ(desk_.boxes[0].style, RecordedBox::Style::kQuestion);
  EXPECT_EQ(desk_.boxes[1], c.last_box);
  EXPECT_EQ(RanMembers(), c.ran);
  EXPECT_EQ(memo_.empty(), !c.yes);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, WarningAnswerTest,
    testing::Values(
        WarningAnswer{"yes",
                      true,
                      ResultBox(std::string("Upgrade complete. Current Version is ") + kBuild),
                      {"get_devinf.bat", "read.exe", "program_flash.bat", "version.bat",
                       "get_device_type.bat", "get_devinf.bat"}},
        WarningAnswer{
            "no", false, ErrorBox("HW doesn't match, upgrade failed."), {"get_devinf.bat"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpgradeTest, FailedHardwareScriptStopsTheDownload) {
  Member("get_devinf.bat", -1, {{"get_devinf.tmp", kDevInfoLine}});
  Download(state_, desk_, log_);
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("HW doesn't match, upgrade failed.")});
  EXPECT_TRUE(memo_.empty());
  EXPECT_EQ(RanMembers(), Lines{"get_devinf.bat"});
}

struct ReadBack {
  const char* name;
  const char* version;
};

class ReadBackTest : public UpgradeTest, public testing::WithParamInterface<ReadBack> {};

// Any read-back other than the kit's build, letter case included, is a failed upgrade.
TEST_P(ReadBackTest, OnlyTheKitBuildSucceeds) {
  Member("version.bat", 0, {{"verinfo.txt", GetParam().version}});
  Download(state_, desk_, log_);
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Upgrade Fail", "Fail")});
}

INSTANTIATE_TEST_SUITE_P(Versions, ReadBackTest,
                         testing::Values(ReadBack{"other_case", "2.7.3 dec 21 2006 00:25:10\n"},
                                         ReadBack{"trailing_blank", "2.7.3 Dec 21 2006 00:25:10 "},
                                         ReadBack{"old_firmware", "0.0.1\n"},
                                         ReadBack{"error", "ERROR\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpgradeTest, OtherCaseReadBackStillLogsOk) {
  Member("version.bat", 0, {{"verinfo.txt", "2.7.3 dec 21 2006 00:25:10\n"}});
  Download(state_, desk_, log_);
  EXPECT_EQ(memo_.back(), "Ok.");
}

TEST_F(UpgradeTest, DeviceInfoFailureAfterReadBackFails) {
  Member("get_device_type.bat", -1);
  // The hardware check must still pass: get_devinf.bat is untouched.
  Download(state_, desk_, log_);
  EXPECT_EQ(memo_.back(), "Err: Can't get target's device_type.");
  EXPECT_EQ(RanMembers(), (Lines{"get_devinf.bat", "read.exe", "program_flash.bat", "version.bat",
                                 "get_device_type.bat"}));
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Upgrade Fail", "Fail")});
}

TEST_F(UpgradeTest, MissingReadExeStopsAfterTheFileCheck) {
  std::filesystem::remove(home_.kernel() + "/read.exe");
  Download(state_, desk_, log_);
  EXPECT_EQ(memo_, (Lines{kHyphens, std::string("Start to upgrade ") + kTestMacText,
                          "Check the necessary files:", "Err: Can't find Kernel\\read.exe file."}));
  EXPECT_EQ(RanMembers(), Lines{"get_devinf.bat"});
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Upgrade Fail", "Fail")});
}

TEST_F(UpgradeTest, FailedConnectionDoesNotProgram) {
  Member("read.exe", 1);
  const MacAddress earlier{{9, 9, 9, 9, 9, 9}};
  state_.ConnectedMac = earlier;

  Download(state_, desk_, log_);

  EXPECT_EQ(memo_.back(), std::string("Err: Can't connect to target ") + kTestMacText);
  EXPECT_EQ(RanMembers(), (Lines{"get_devinf.bat", "read.exe"}));
  EXPECT_EQ(state_.ConnectedMac, earlier);
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Upgrade Fail", "Fail")});
}

}  // namespace
