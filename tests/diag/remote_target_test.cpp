// Remote target discovery against a fixture Kernel folder: the station list, the chooser, boxes.
#include "diag/remote_target.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/recorder_desk.h"
#include "support/temp_home.h"

namespace {

MacAddress Mac(std::uint8_t d, std::uint8_t e, std::uint8_t f) {
  return MacAddress{{0x00, 0x01, 0x40, d, e, f}};
}

const MacAddress kLocal = Mac(0x0A, 0x0B, 0x0C);       // what query_address.bat answers
const MacAddress kTypedLocal = Mac(0x11, 0x11, 0x11);  // what the fields held before
const MacAddress kTypedRemote = Mac(0x22, 0x22, 0x22);
const std::string kLocalLine = "00:01:40:0A:0B:0C\n";
const MacAddress kB1 = Mac(0xDE, 0xAD, 0x01);
const MacAddress kB2 = Mac(0xDE, 0xAD, 0x02);
const std::string kB1Line = "00:01:40:DE:AD:01\n";
const std::string kB2Line = "00:01:40:DE:AD:02\n";
const std::string kNoTarget = "Can't find B Target (Remote Target)";
const std::string kQueryFailed = "Can't query MAC address.";

class RemoteTargetTest : public testing::Test {
 protected:
  RemoteTargetTest() {
    state_.HomeDir = home_.path();
    state_.InterfaceIp = "198.51.100.7";
    state_.LocalMac = kTypedLocal;
    state_.RemoteMac = kTypedRemote;
    home_.WriteFile("address.src", kLocalLine);
    home_.WriteMember("query_address.bat",
                      "[ -f ../address.src ] && cp ../address.src query_address.tmp");
    home_.WriteMember("get_stations.bat",
                      "[ -f ../stations.src ] && cp ../stations.src get_stations.tmp");
  }

  void WriteStations(const std::string& content) { home_.WriteFile("stations.src", content); }

  TempHome home_;
  MainState state_;
  RecorderDesk desk_;
};

struct StationCase {
  const char* name;
  std::string stations;
  MacAddress remote;                              // with the chooser closed without OK
  std::vector<std::vector<std::string>> chooser;  // the lists the chooser was shown
  std::vector<RecordedBox> boxes;
};

TEST_F(RemoteTargetTest, TakesTheRemoteTargetFromTheStationList) {
  const StationCase kCases[] = {
      {"A target first", kLocalLine + kB1Line, kB1, {}, {}},
      {"A target last", kB1Line + kLocalLine, kB1, {}, {}},
      {"only the A target", kLocalLine, MacAddress{}, {}, {ErrorBox(kNoTarget)}},
      {"empty list", "", MacAddress{}, {}, {ErrorBox(kNoTarget)}},
      {"incomplete first entry",
       "00:01:40:DE:AD\n" + kB1Line,
       MacAddress{},
       {},
       {ErrorBox(kNoTarget)}},
      {"two others",
       kB1Line + kLocalLine + kB2Line,
       kB2,
       {{"00:01:40:DE:AD:01", "00:01:40:DE:AD:02"}},
       {}},
      {"duplicate", kB1Line + kB1Line, kB1, {{"00:01:40:DE:AD:01", "00:01:40:DE:AD:01"}}, {}},
      {"five numbers end the list", kB1Line + "00:01:40:DE:AD\n" + kB2Line, kB1, {}, {}},
      {"lower-case digits",
       "00:01:40:de:ad:0f\r\n  00:01:40:de:ad:1a",
       Mac(0xDE, 0xAD, 0x1A),
       {{"00:01:40:DE:AD:0F", "00:01:40:DE:AD:1A"}},
       {}},
      {"low eight bits", "100:01:40:DE:AD:1FF", Mac(0xDE, 0xAD, 0xFF), {}, {}},
  };
  for (const StationCase& c : kCases) {
    SCOPED_TRACE(c.name);
    WriteStations(c.stations);
    desk_ = RecorderDesk{};
    MacAddress local = kTypedLocal;
    MacAddress remote = kTypedRemote;

    EXPECT_TRUE(FindRemoteTarget(state_, desk_, local, remote));

    EXPECT_EQ(local, kLocal);
    EXPECT_EQ(remote, c.remote);
    EXPECT_EQ(desk_.chooser_lists, c.chooser);
    EXPECT_EQ(desk_.boxes, c.boxes);
  }
}

TEST_F(RemoteTargetTest, ChooserWritesTheChosenStation) {
  WriteStations(kB1Line + kB2Line + "00:01:40:DE:AD:03\n");
  desk_.chooser = [](const std::vector<std::string>&, MacAddress& selected) { selected = kB2; };
  QueryDiagMacs(state_, desk_);
  EXPECT_EQ(state_.LocalMac, kLocal);
  EXPECT_EQ(state_.RemoteMac, kB2);
  EXPECT_TRUE(desk_.boxes.empty());
}

TEST_F(RemoteTargetTest, PassesTheQueriedLocalAddress) {
  WriteStations(kB1Line);
  QueryDiagMacs(state_, desk_);
  const std::vector<std::string> calls = home_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], "get_stations.bat|" + home_.kernel() + "|198.51.100.7|00-01-40-0A-0B-0C");
  EXPECT_EQ(std::filesystem::current_path(), home_.path());
}

struct FailureCase {
  const char* name;
  bool answer_address;
  bool with_script;
  bool stale_list;
  std::vector<RecordedBox> boxes;  // from QueryDiagMacs
  MacAddress local;
};

TEST_F(RemoteTargetTest, FailuresLeaveTheAddressesAndReport) {
  const FailureCase kCases[] = {
      {"A target query fails",
       false,
       true,
       false,
       {ErrorBox(kQueryFailed), ErrorBox(kQueryFailed)},
       kTypedLocal},
      {"script missing",
       true,
       false,
       false,
       {ErrorBox("Err: Can't find get_stations.bat"), ErrorBox(kQueryFailed)},
       kLocal},
      {"stale list, none written", true, true, true, {ErrorBox(kQueryFailed)}, kLocal},
  };
  for (const FailureCase& c : kCases) {
    SCOPED_TRACE(c.name);
    std::remove((home_.path() + "/address.src").c_str());
    std::remove((home_.kernel() + "/get_stations.bat").c_str());
    std::remove((home_.path() + "/stations.src").c_str());
    if (c.answer_address) home_.WriteFile("address.src", kLocalLine);
    if (c.with_script) {
      home_.WriteMember("get_stations.bat",
                        "[ -f ../stations.src ] && cp ../stations.src get_stations.tmp");
    }
    if (c.stale_list) home_.WriteFile("Kernel/get_stations.tmp", kB1Line);
    desk_ = RecorderDesk{};
    state_.LocalMac = kTypedLocal;
    state_.RemoteMac = kTypedRemote;

    QueryDiagMacs(state_, desk_);

    EXPECT_EQ(desk_.boxes, c.boxes);
    EXPECT_EQ(state_.LocalMac, c.local);
    EXPECT_EQ(state_.RemoteMac, kTypedRemote);
    EXPECT_TRUE(desk_.chooser_lists.empty());
    EXPECT_EQ(std::filesystem::current_path(), home_.path());
  }
}

TEST_F(RemoteTargetTest, FailedQueryRunsNoStationScript) {
  std::remove((home_.path() + "/address.src").c_str());
  MacAddress local = kTypedLocal;
  MacAddress remote = kTypedRemote;
  EXPECT_FALSE(FindRemoteTarget(state_, desk_, local, remote));
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox(kQueryFailed)});
  const std::vector<std::string> calls = home_.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("query_address.bat|", 0), 0u);
}

}  // namespace
