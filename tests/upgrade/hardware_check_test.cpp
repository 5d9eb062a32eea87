// The hardware configuration check: the field rule, the scan and the warning.
#include "upgrade/hardware_check.h"

#include "target/kernel_fixture.h"

namespace {

constexpr char kWarningCaption[] = "Warning: hardware configuration doesn't match";

std::string WarningText(const std::string& target) {
  return "Download the new firmware with hardware configuration = Coax_4-20_1.0 into the target "
         "which hardware configuration =" +
         target + " ?";
}

struct HardwareLine {
  const char* name;
  const char* line;
  const char* config;
};

class TargetHardwareConfigTest : public testing::TestWithParam<HardwareLine> {};

TEST_P(TargetHardwareConfigTest, CutsAndScansTheField) {
  EXPECT_EQ(TargetHardwareConfig(GetParam().line), GetParam().config);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TargetHardwareConfigTest,
    testing::Values(
        HardwareLine{"kit", "hw=Coax 4-20 #1.0 pin=0", "Coax_4-20_1.0"},
        HardwareLine{"capitals", "hw=COAX 4-20 #1.0 pin=0", "COAX_4-20_1.0"},
        HardwareLine{"one_word", "hw=Coax_4-20_1.0 pin=0", "Coax_4-20_1.0"},
        HardwareLine{"text_after_third", "hw=Coax 4-20 #1.0 rev2 pin=0", "Coax_4-20_1.0"},
        HardwareLine{"no_hash", "hw=Coax 4-20 1.0 pin=0", "Coax"},
        HardwareLine{"hash_inside_second", "hw=Coax 4-20#1.0 pin=0", "Coax"},
        HardwareLine{"hash_without_third", "hw=Coax 4-20 # pin=0", "Coax"},
        HardwareLine{"blanks_and_tabs", "id=7 hw= Coax\t4-20  #\t1.0 pin=0 x=1\n", "Coax_4-20_1.0"},
        // Without "hw=" the field starts at the third character of the line.
        HardwareLine{"no_hw", "xxCoax 4-20 #1.0 pin=0", "Coax_4-20_1.0"},
        HardwareLine{"no_hw_short", "ab pin=0", ""},
        HardwareLine{"no_pin", "hw=Coax 4-20 #1.0\n", ""},
        HardwareLine{"pin_before_hw", "x pin=0 hw=Coax 4-20 #1.0", ""},
        HardwareLine{"pin_inside_hw", "hw=Coax pin=0 hw=X", "Coax"},
        HardwareLine{"only_blanks", "hw=  \t  pin=0", ""},
        HardwareLine{"empty_field", "hw= pin=0", ""}, HardwareLine{"empty_line", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

using HardwareCheckTest = KernelTest;

TEST_F(HardwareCheckTest, MatchingLinePassesSilently) {
  Member("get_devinf.bat", 0, {{"get_devinf.tmp", "id=1 hw=COAX 4-20 #1.0 pin=0\nhw=x pin=0\n"}});

  EXPECT_TRUE(CheckHardwareConfig(state_, desk_, kTestMacText));

  EXPECT_TRUE(desk_.boxes.empty());
  EXPECT_EQ(home_.Calls(), Lines{ScriptCall("get_devinf.bat")});
  EXPECT_EQ(state_.DevInfo, "id=1 hw=COAX 4-20 #1.0 pin=0\n");
  EXPECT_EQ(CurrentDir(), home_.path());
}

struct WarningCase {
  const char* name;
  const char* file;
  const char* target;
  bool answer;
};

class HardwareWarningTest : public KernelTest, public testing::WithParamInterface<WarningCase> {};

TEST_P(HardwareWarningTest, UserDecidesOnMismatch) {
  const WarningCase& c = GetParam();
  Member("get_devinf.bat", 3, {{"get_devinf.tmp", c.file}});
  desk_.answers = {c.answer};

  EXPECT_EQ(CheckHardwareConfig(state_, desk_, kTestMacText), c.answer);

  EXPECT_EQ(desk_.boxes,
            std::vector<RecordedBox>{QuestionBox(WarningText(c.target), kWarningCaption)});
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HardwareWarningTest,
    testing::Values(WarningCase{"two_words_yes", "hw=Coax 4-20 1.0 pin=0\n", "Coax", true},
                    WarningCase{"two_words_no", "hw=Coax 4-20 1.0 pin=0\n", "Coax", false},
                    WarningCase{"other_kit", "hw=Phone 4-20 #1.0 pin=0\n", "Phone_4-20_1.0", false},
                    // Only the first line counts, even when a later one would match.
                    WarningCase{"field_on_second_line", "id=1\nhw=Coax 4-20 #1.0 pin=0\n", "",
                                false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HardwareCheckTest, EmptyFileIsCheckedAsAnEmptyLine) {
  // An earlier device's matching line must not stand in for the new, empty result.
  state_.DevInfo = "hw=Coax 4-20 #1.0 pin=0\n";
  Member("get_devinf.bat", 0, {{"get_devinf.tmp", ""}});
  desk_.answers = {false};

  EXPECT_FALSE(CheckHardwareConfig(state_, desk_, kTestMacText));

  EXPECT_EQ(state_.DevInfo, "");
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{QuestionBox(WarningText(""), kWarningCaption)});
}

TEST_F(HardwareCheckTest, FailuresReturnFalseWithoutWarning) {
  struct Case {
    const char* name;
    bool member;
    int status;
    bool file;
    std::vector<RecordedBox> boxes;
  };
  const Case cases[] = {
      {"negative_status", true, -1, true, {}},
      {"no_result_file", true, 0, false, {}},
      {"missing_script", false, 0, false, {ErrorBox("Err: Can't find get_devinf.bat")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(home_.kernel() + "/get_devinf.bat");
    // A stale matching result must not be read either.
    home_.WriteFile("Kernel/get_devinf.tmp", "hw=Coax 4-20 #1.0 pin=0\n");
    if (c.member) {
      std::vector<ResultFile> results;
      if (c.file) results.push_back({"get_devinf.tmp", "hw=Coax 4-20 #1.0 pin=0\n"});
      Member("get_devinf.bat", c.status, results);
    }
    desk_.boxes.clear();

    EXPECT_FALSE(CheckHardwareConfig(state_, desk_, kTestMacText));

    EXPECT_EQ(desk_.boxes, c.boxes);
    EXPECT_EQ(CurrentDir(), home_.path());
  }
}

class NoKernelHardwareCheckTest : public KernelTest {
 protected:
  NoKernelHardwareCheckTest() : KernelTest(/*with_kernel=*/false) {}
};

TEST_F(NoKernelHardwareCheckTest, FailsSilently) {
  EXPECT_FALSE(CheckHardwareConfig(state_, desk_, kTestMacText));
  EXPECT_TRUE(desk_.boxes.empty());
  EXPECT_EQ(CurrentDir(), home_.path());
}

}  // namespace
