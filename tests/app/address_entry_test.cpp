// Address fields: the strict conversion, tab reads and their messages, byte stepping.
#include "app/address_entry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/recorder_desk.h"

namespace {

struct ConversionCase {
  const char* text;
  std::optional<std::uint32_t> value;
};

class ConversionTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, ConvertsOnlyPlainHexDigits) {
  EXPECT_EQ(ConvertHexField(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ConversionTest,
    testing::Values(ConversionCase{"0a", 10}, ConversionCase{"0A", 10}, ConversionCase{"FF", 255},
                    ConversionCase{"5", 5}, ConversionCase{"", std::nullopt},
                    ConversionCase{"G1", std::nullopt}, ConversionCase{" 1", std::nullopt},
                    ConversionCase{"1 ", std::nullopt}, ConversionCase{"-1", std::nullopt},
                    ConversionCase{"+1", std::nullopt}, ConversionCase{"0x", std::nullopt}));

struct StepCase {
  const char* text;
  int delta;
  const char* result;
};

class StepTest : public testing::TestWithParam<StepCase> {};

TEST_P(StepTest, StepsWithinTheByte) {
  EXPECT_EQ(StepByteField(GetParam().text, GetParam().delta), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Fields, StepTest,
                         testing::Values(StepCase{"0a", +1, "0B"}, StepCase{"0A", +1, "0B"},
                                         StepCase{"FF", +1, "00"}, StepCase{"00", -1, "FF"},
                                         StepCase{"5", +1, "06"}, StepCase{"10", -1, "0F"}));

TEST(StepByteField, RejectsWhatDoesNotConvertWithTheToolkitsMessage) {
  for (const char* text : {"", "G1", " 1"}) {
    try {
      StepByteField(text, +1);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const ConversionError& error) {
      EXPECT_EQ(std::string(error.what()),
                std::string("'0x") + text + "' is not a valid integer value");
    }
  }
}

class ReadTargetsTest : public testing::Test {
 protected:
  ReadTargetsTest() { state.Interfaces[1].IpAddress = "198.51.100.7"; }
  MainState state;
  RecorderDesk desk;
  MacAddress upgrade{{9, 9, 9, 9, 9, 9}};
};

TEST_F(ReadTargetsTest, DefaultsReadAsTheKitsPrefix) {
  AddressRow row{{"00", "01", "40", "00", "00", "00"}, &upgrade};
  ASSERT_TRUE(ReadTargets(state, desk, 1, {row}));
  EXPECT_EQ(DashForm(upgrade), "00-01-40-00-00-00");
  EXPECT_EQ(state.InterfaceIp, "198.51.100.7");
  EXPECT_TRUE(desk.boxes.empty());
}

TEST_F(ReadTargetsTest, ReadsEitherCase) {
  AddressRow row{{"0a", "Bc", "dE", "ff", "00", "7F"}, &upgrade};
  ASSERT_TRUE(ReadTargets(state, desk, 1, {row}));
  EXPECT_EQ(DashForm(upgrade), "0A-BC-DE-FF-00-7F");
}

TEST_F(ReadTargetsTest, EachFailureShowsOneBox) {
  struct Case {
    std::optional<std::size_t> selected;
    std::array<std::string, 6> fields;
    const char* box;
  };
  const Case cases[] = {
      {std::nullopt, {"00", "01", "40", "00", "00", "00"}, "Can't get the Interface IP"},
      {0,
       {"00", "01", "40", "00", "00", "00"},
       "Can't get the Interface IP"},  // slot without address
      {0, {"5", "G1", "40", "00", "00", "00"}, "Can't get the Interface IP"},  // the address wins
      {1, {"00", "01", "40", "00", "00", "5"}, "Invalid MAC Address"},
      {1, {"00", "01", "40", "00", "00", ""}, "Invalid MAC Address"},
      {1, {"00", "G1", "40", "00", "00", "00"}, "Invalid MAC Address"},
      {1, {"00", " 1", "40", "00", "00", "00"}, "Invalid MAC Address"},
      {1, {"00", "-1", "40", "00", "00", "00"}, "Invalid MAC Address"},
      {1, {"G1", "01", "40", "00", "00", "5"}, "Invalid MAC Address"},
  };
  for (const Case& c : cases) {
    RecorderDesk one;
    MacAddress target{{9, 9, 9, 9, 9, 9}};
    EXPECT_FALSE(ReadTargets(state, one, c.selected, {AddressRow{c.fields, &target}}));
    EXPECT_THAT(one.boxes, testing::ElementsAre(ErrorBox(c.box)));
  }
}

TEST_F(ReadTargetsTest, LengthsOfBothRowsAreCheckedBeforeAnyByteIsStored) {
  MacAddress local{{9, 9, 9, 9, 9, 9}};
  MacAddress remote{{9, 9, 9, 9, 9, 9}};
  AddressRow l{{"01", "02", "03", "04", "05", "06"}, &local};
  AddressRow r{{"01", "02", "03", "04", "05", "6"}, &remote};
  EXPECT_FALSE(ReadTargets(state, desk, 1, {l, r}));
  EXPECT_EQ(local, (MacAddress{{9, 9, 9, 9, 9, 9}}));
}

TEST_F(ReadTargetsTest, SecondRowFillsTheSecondAddress) {
  MacAddress local, remote;
  AddressRow l{{"01", "02", "03", "04", "05", "06"}, &local};
  AddressRow r{{"A1", "A2", "A3", "A4", "A5", "A6"}, &remote};
  ASSERT_TRUE(ReadTargets(state, desk, 1, {l, r}));
  EXPECT_EQ(DashForm(local), "01-02-03-04-05-06");
  EXPECT_EQ(DashForm(remote), "A1-A2-A3-A4-A5-A6");
}

}  // namespace
