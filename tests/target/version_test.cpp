// QueryVersion, QueryDeviceInfo, FormatVersion and the "Get Version" request.
#include "target/version.h"

#include <optional>

#include "target/kernel_fixture.h"

namespace {

constexpr char kBuild[] = "2.7.3 Dec 21 2006 00:25:10";
constexpr char kRc9[] = "1.7.1 Mar 30 2006 06:31:26";
constexpr char kRc10[] = "1.7.1 May 29 2006 05:29:06";
constexpr char kDevInfoLine[] = "id=3 hw=Coax 4-20 #1.0 pin=0\n";
constexpr char kVersionErr[] = "Err: Can't get target's version.";
constexpr char kTypeErr[] = "Err: Can't get target's device_type.";
constexpr char kInfoErr[] = "Err: Can't get target's devinf.";

using VersionTest = KernelTest;

TEST_F(VersionTest, SuccessLogsEveryStepAndRunsScriptsInKernel) {
  QueryMembers(std::string(kBuild) + "\n", "7\n", kDevInfoLine);

  EXPECT_TRUE(QueryVersion(state_, desk_, kTestMacText, log_));

  EXPECT_EQ(memo_, (Lines{"get target's version :", kBuild, "Ok.", "get target's info :",
                          "device_type = 0x07", std::string("devinf = ") + kDevInfoLine, "Ok."}));
  EXPECT_EQ(home_.Calls(), (Lines{ScriptCall("version.bat"), ScriptCall("get_device_type.bat"),
                                  ScriptCall("get_devinf.bat")}));
  EXPECT_EQ(state_.VersionText, kBuild);
  EXPECT_EQ(state_.DevType, 7);
  EXPECT_EQ(state_.DevInfo, kDevInfoLine);
  EXPECT_TRUE(desk_.boxes.empty());
  EXPECT_EQ(CurrentDir(), home_.path());
}

struct VersionFileCase {
  const char* name;
  const char* content;
  std::optional<std::string> version;  // nullopt: the read fails
};

class VersionFileTest : public KernelTest, public testing::WithParamInterface<VersionFileCase> {};

TEST_P(VersionFileTest, ReadsFirstLineWithItsRules) {
  const VersionFileCase& c = GetParam();
  QueryMembers(c.content, "1\n", kDevInfoLine);

  EXPECT_EQ(QueryVersion(state_, desk_, kTestMacText, log_), c.version.has_value());

  if (c.version) {
    EXPECT_EQ(state_.VersionText, *c.version);
    ASSERT_GE(memo_.size(), 3u);
    EXPECT_EQ(memo_[1], *c.version);
  } else {
    EXPECT_EQ(memo_, (Lines{"get target's version :", kVersionErr}));
    EXPECT_EQ(RanMembers(), Lines{"version.bat"});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, VersionFileTest,
    testing::Values(
        VersionFileCase{"crlf", "2.7.3 Dec 21 2006 00:25:10\r\n", kBuild},
        VersionFileCase{"no_newline", "2.7.3", "2.7.3"},
        VersionFileCase{"only_newline", "\n", std::nullopt},
        VersionFileCase{"empty", "", std::nullopt},
        VersionFileCase{"error_inside", "v2 ERROR 7\n", std::nullopt},
        VersionFileCase{"error_small_letters", "v2 error 7\n", "v2 error 7"},
        // Only the first 39 characters are the version; an ERROR beyond them is never seen.
        VersionFileCase{"long_line", "123456789012345678901234567890123456789ERROR\n",
                        "123456789012345678901234567890123456789"},
        VersionFileCase{"old_firmware", "0.0.1\n", "1.2d or earlier"},
        VersionFileCase{"old_firmware_with_blank", "0.0.1 \n", "0.0.1 "},
        VersionFileCase{"second_line_ignored", "2.7.3\nERROR\n", "2.7.3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VersionTest, NegativeVersionStatusFailsBeforeDeviceInfo) {
  Member("version.bat", -3, {{"verinfo.txt", std::string(kBuild) + "\n"}});
  Member("get_device_type.bat", 0, {{"get_device_type.tmp", "1"}});

  EXPECT_FALSE(QueryVersion(state_, desk_, kTestMacText, log_));

  EXPECT_EQ(memo_, (Lines{"get target's version :", kVersionErr}));
  EXPECT_EQ(RanMembers(), Lines{"version.bat"});
}

TEST_F(VersionTest, PositiveVersionStatusCountsAsSuccess) {
  QueryMembers(kBuild, "1", kDevInfoLine);
  Member("version.bat", 4, {{"verinfo.txt", kBuild}});
  EXPECT_TRUE(QueryVersion(state_, desk_, kTestMacText, log_));
}

TEST_F(VersionTest, MissingVersionScriptShowsRunToolBoxThenLogs) {
  EXPECT_FALSE(QueryVersion(state_, desk_, kTestMacText, log_));
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Err: Can't find version.bat")});
  EXPECT_EQ(memo_, (Lines{"get target's version :", kVersionErr}));
  EXPECT_EQ(CurrentDir(), home_.path());
}

TEST_F(VersionTest, StaleVersionFileIsNeverRead) {
  home_.WriteFile("Kernel/verinfo.txt", std::string(kBuild) + "\n");
  Member("version.bat", 0);
  state_.VersionText = "old";

  EXPECT_FALSE(QueryVersion(state_, desk_, kTestMacText, log_));

  EXPECT_EQ(memo_, (Lines{"get target's version :", kVersionErr}));
  EXPECT_EQ(state_.VersionText, "");
}

class NoKernelVersionTest : public KernelTest {
 protected:
  NoKernelVersionTest() : KernelTest(/*with_kernel=*/false) {}
};

TEST_F(NoKernelVersionTest, BothQueriesLogTheFolderTheyCouldNotEnter) {
  EXPECT_FALSE(QueryVersion(state_, desk_, kTestMacText, log_));
  EXPECT_FALSE(QueryDeviceInfo(state_, desk_, kTestMacText, log_));
  const std::string err = "Err: Can't change dir to " + home_.kernel();
  EXPECT_EQ(memo_, (Lines{"get target's version :", err, "get target's info :", err}));
  EXPECT_TRUE(desk_.boxes.empty());
  EXPECT_EQ(CurrentDir(), home_.path());
}

struct DeviceTypeCase {
  const char* name;
  const char* content;
  int type;
  const char* logged;
};

class DeviceTypeTest : public KernelTest, public testing::WithParamInterface<DeviceTypeCase> {};

TEST_P(DeviceTypeTest, KeepsLowEightBits) {
  const DeviceTypeCase& c = GetParam();
  state_.DevType = 99;
  QueryMembers(kBuild, c.content, kDevInfoLine);

  EXPECT_TRUE(QueryDeviceInfo(state_, desk_, kTestMacText, log_));

  EXPECT_EQ(state_.DevType, c.type);
  EXPECT_EQ(memo_.at(1), std::string("device_type = 0x") + c.logged);
}

INSTANTIATE_TEST_SUITE_P(Files, DeviceTypeTest,
                         testing::Values(DeviceTypeCase{"seven", "7\n", 7, "07"},
                                         DeviceTypeCase{"three_digits", "1A3\n", 0xA3, "A3"},
                                         DeviceTypeCase{"small_letters_after_blanks", " \n 1a3",
                                                        0xA3, "A3"},
                                         DeviceTypeCase{"no_number", "zz\n", 0, "00"},
                                         DeviceTypeCase{"empty", "", 0, "00"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DeviceInfoFailure {
  const char* name;
  int type_status;
  bool type_file;
  int info_status;
  bool info_file;
  Lines memo;
  Lines ran;
};

class DeviceInfoFailureTest : public KernelTest,
                              public testing::WithParamInterface<DeviceInfoFailure> {};

TEST_P(DeviceInfoFailureTest, LogsTheFailedStep) {
  const DeviceInfoFailure& c = GetParam();
  std::vector<ResultFile> type_files, info_files;
  if (c.type_file) type_files.push_back({"get_device_type.tmp", "5"});
  if (c.info_file) info_files.push_back({"get_devinf.tmp", kDevInfoLine});
  Member("get_device_type.bat", c.type_status, type_files);
  Member("get_devinf.bat", c.info_status, info_files);
  state_.DevInfo = "earlier line";

  EXPECT_FALSE(QueryDeviceInfo(state_, desk_, kTestMacText, log_));

  EXPECT_EQ(memo_, c.memo);
  EXPECT_EQ(RanMembers(), c.ran);
  EXPECT_EQ(state_.DevInfo, "");
  EXPECT_EQ(CurrentDir(), home_.path());
}

INSTANTIATE_TEST_SUITE_P(Steps, DeviceInfoFailureTest,
                         testing::Values(
                             // A failing device type script stops before get_devinf.bat.
                             DeviceInfoFailure{"type_script",
                                               -1,
                                               true,
                                               0,
                                               true,
                                               {"get target's info :", kTypeErr},
                                               {"get_device_type.bat"}},
                             DeviceInfoFailure{"info_script",
                                               0,
                                               true,
                                               -7,
                                               true,
                                               {"get target's info :", kInfoErr},
                                               {"get_device_type.bat", "get_devinf.bat"}},
                             DeviceInfoFailure{"type_file",
                                               0,
                                               false,
                                               0,
                                               true,
                                               {"get target's info :", kTypeErr},
                                               {"get_device_type.bat", "get_devinf.bat"}},
                             DeviceInfoFailure{
                                 "info_file",
                                 0,
                                 true,
                                 0,
                                 false,
                                 {"get target's info :", "device_type = 0x05", kInfoErr},
                                 {"get_device_type.bat", "get_devinf.bat"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VersionTest, EmptyDeviceInfoFileIsAnEmptyLine) {
  QueryMembers(kBuild, "5", "");
  state_.DevInfo = "earlier line";
  EXPECT_TRUE(QueryDeviceInfo(state_, desk_, kTestMacText, log_));
  EXPECT_EQ(state_.DevInfo, "");
  EXPECT_EQ(memo_.at(2), "devinf = ");
}

TEST_F(VersionTest, DeviceInfoKeepsAtMost511Characters) {
  const std::string long_line(600, 'x');
  QueryMembers(kBuild, "5", long_line + "\n");
  EXPECT_TRUE(QueryDeviceInfo(state_, desk_, kTestMacText, log_));
  EXPECT_EQ(state_.DevInfo, long_line.substr(0, 511));
}

struct FormatCase {
  const char* name;
  const char* version;
  int type;
  std::string expected;
};

class FormatVersionTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatVersionTest, NamesTheEarlyBuilds) {
  const FormatCase& c = GetParam();
  MainState state;
  state.DevType = static_cast<std::uint8_t>(c.type);
  state.DevInfo = "id=3 hw=Coax 4-20 #1.0 pin=0\n";
  EXPECT_EQ(FormatVersion(state, c.version), c.expected);
}

const std::string kInfoTail = "]\n\nDevice Infomation:\nid=3 hw=Coax 4-20 #1.0 pin=0\n";

INSTANTIATE_TEST_SUITE_P(
    Versions, FormatVersionTest,
    testing::Values(FormatCase{"rc9_type0", kRc9, 0, " 1.7.1RC9 [1.7.1-0" + kInfoTail},
                    FormatCase{"rc9_type5", kRc9, 5, " 1.7.1RC9 [1.7.1-5" + kInfoTail},
                    FormatCase{"rc9_type163", kRc9, 163, " 1.7.1RC9 [1.7.1-163" + kInfoTail},
                    FormatCase{"rc10_type0", kRc10, 0, " 1.7.1RC10 [1.7.1-0" + kInfoTail},
                    FormatCase{"rc10_type5", kRc10, 5, " 1.7.1RC10 [1.7.1-5" + kInfoTail},
                    FormatCase{"rc10_type163", kRc10, 163, " 1.7.1RC10 [1.7.1-163" + kInfoTail},
                    FormatCase{"kit_build", kBuild, 5, kBuild},
                    FormatCase{"other_case", "1.7.1 mar 30 2006 06:31:26", 5,
                               "1.7.1 mar 30 2006 06:31:26"},
                    FormatCase{"trailing_blank", "1.7.1 May 29 2006 05:29:06 ", 5,
                               "1.7.1 May 29 2006 05:29:06 "},
                    FormatCase{"empty", "", 5, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VersionTest, GetVersionLogsEarlierFactsButShowsFreshOnes) {
  QueryMembers(std::string(kRc9) + "\n", "A3\n", kDevInfoLine);

  GetVersion(state_, desk_, log_);

  // The logged text is formatted before the device facts are read.
  EXPECT_EQ(memo_.at(1), " 1.7.1RC9 [1.7.1-0]\n\nDevice Infomation:\n");
  EXPECT_EQ(desk_.boxes,
            std::vector<RecordedBox>{ResultBox(
                std::string("Current Version is  1.7.1RC9 [1.7.1-163]\n\nDevice Infomation:\n") +
                kDevInfoLine)});
}

TEST_F(VersionTest, GetVersionReportsAnyFailureInOneBox) {
  // The version is read, then the device information fails.
  QueryMembers(kBuild, "1", kDevInfoLine);
  Member("get_devinf.bat", -1);

  GetVersion(state_, desk_, log_);

  EXPECT_EQ(state_.VersionText, kBuild);
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Can't get target's version")});
}

TEST_F(VersionTest, GetVersionQueriesWithUpgradeMacInDashForm) {
  QueryMembers(kBuild, "1", kDevInfoLine);
  state_.UpgradeMac = MacAddress{{0xAB, 0x01, 0x02, 0x03, 0x04, 0xEF}};

  GetVersion(state_, desk_, log_);

  EXPECT_EQ(home_.Calls().front(),
            CallLine("version.bat", home_.kernel(), {kTestIp, "AB-01-02-03-04-EF"}));
  EXPECT_EQ(desk_.boxes,
            std::vector<RecordedBox>{ResultBox(std::string("Current Version is ") + kBuild)});
}

}  // namespace
