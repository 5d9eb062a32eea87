// End to end: the real utility on a real X server against the simulated bridges, worked with real
// input events. Outcomes are judged by what the technician sees (captions of the boxes, the texts
// of fields and logs, copied through the clipboard) and by what the bridges saw (the toolchain's
// journal and the bench state). Nothing is faked.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "desktop.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::ElementsAreArray;

constexpr char kMainTitle[] =
    "^VOR Firmware Upgrade Utility Version 2\\.7\\.3RC5 \\(Coax_4-20_1\\.0\\)$";
constexpr char kKitBuild[] = "2.7.3 Dec 21 2006 00:25:10";
constexpr char kTargetMac[] = "00-01-40-12-34-56";

// Where a tab page's origin lies in the window: below the tab bar, inside the frame.
constexpr int kPageX = 2;
constexpr int kPageY = 27;

struct Rect {
  int x, y, w, h;
};
// Controls by their place on their page.
constexpr Rect kUpgradeQuery{200, 24, 75, 17};
constexpr Rect kIFSelectUpgrade{32, 128, 241, 21};
constexpr Rect kUpgradeLog{288, 48, 241, 185};
constexpr Rect kDownload{72, 312, 113, 25};
constexpr Rect kGetVersion{216, 312, 113, 25};
constexpr Rect kAmac[] = {{32, 56, 25, 21},  {64, 56, 25, 21},  {96, 56, 25, 21},
                          {136, 56, 25, 21}, {184, 56, 25, 21}, {232, 56, 25, 21}};
constexpr Rect kIFSelectDiag{24, 104, 241, 21};
constexpr Rect kDiagQuery{456, 72, 75, 17};
constexpr Rect kDiagLog{288, 200, 241, 65};
constexpr Rect kDiagnose{72, 312, 113, 25};
constexpr Rect kLmac[] = {{288, 104, 25, 21}, {320, 104, 25, 21}, {352, 104, 25, 21},
                          {392, 104, 25, 21}, {440, 104, 25, 21}, {488, 104, 25, 21}};
constexpr Rect kRmac[] = {{288, 168, 25, 21}, {320, 168, 25, 21}, {352, 168, 25, 21},
                          {392, 168, 25, 21}, {440, 168, 25, 21}, {488, 168, 25, 21}};
constexpr Rect kSnr{208, 272, 57, 21};
constexpr Rect kPer{320, 272, 57, 21};
constexpr Rect kPe{424, 272, 105, 21};
// The Diagnostic tab in the tab bar, and the selection dialog's second station and OK button.
constexpr int kDiagnosticTabX = 120, kDiagnosticTabY = 13;
constexpr int kSecondStationX = 70, kSecondStationY = 190;
constexpr int kOkX = 221, kOkY = 276;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; std::getline(in, word, separator);) words.push_back(word);
  return words;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One run of a member as the simulated toolchain journals it.
struct MemberRun {
  std::string member;
  std::string status;
  std::string directory;
  std::vector<std::string> words;
};

class EndToEnd : public testing::Test {
 protected:
  void Start(const std::string& bench = "demo") {
    if (::getuid() != 0) GTEST_SKIP() << "needs root for a private network namespace";
    for (const char* tool : {"Xvfb", "xdotool", "xclip", "import", "ip"}) {
      if (RunProgram({"sh", "-c", std::string("command -v ") + tool}, {}).status != 0) {
        GTEST_SKIP() << tool << " is not installed";
      }
    }
    // The test, its X server and the utility share a network namespace of their own whose only
    // interface is the loopback: the interface list and the simulated bridge's address are the
    // same on every machine.
    ASSERT_EQ(::unshare(CLONE_NEWNET), 0) << std::strerror(errno);
    ASSERT_EQ(RunProgram({"ip", "link", "set", "lo", "up"}, {}).status, 0);
    desktop_ = std::make_unique<Desktop>();
    ASSERT_TRUE(desktop_->ok()) << "Xvfb did not start";
    std::string root = (fs::temp_directory_path() / "vor-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(root.data()), nullptr);
    root_ = root;
    home_ = root_ / "bench home";  // a blank in the path, as on many technicians' desktops
    Output laid =
        RunProgram({VOR_LAY_OUT_KERNEL, "--bench", bench, VOR_SIM_PATH, home_.string()}, {});
    ASSERT_EQ(laid.status, 0) << "lay_out_kernel failed";
    // A quick flash keeps the test short; everything else is the bench as shipped.
    std::string text = ReadAll(BenchFile());
    text = std::regex_replace(text, std::regex("flash-ms [0-9]+"), "flash-ms 400");
    std::ofstream(BenchFile(), std::ios::trunc) << text;

    const fs::path log = root_ / "utility.log";
    app_ = Child({VOR_APP_PATH}, home_.string(), AppEnv(), log.string());
    std::optional<std::string> window = desktop_->FindWindow(kMainTitle);
    ASSERT_TRUE(window) << "the main window did not appear; the utility "
                        << (app_.Running() ? "still runs" : "has ended") << "; what it printed:\n"
                        << ReadAll(log);
    window_ = *window;
  }

  void TearDown() override {
    app_.Stop();
    desktop_.reset();
    if (!root_.empty()) {
      std::error_code ignored;
      fs::remove_all(root_, ignored);
    }
  }

  // The test runner itself is offscreen; the utility must use the X server.
  std::vector<std::string> AppEnv() const {
    std::vector<std::string> env = desktop_->Env();
    env.push_back("QT_QPA_PLATFORM=xcb");
    return env;
  }

  fs::path Kernel() const { return home_ / "Kernel"; }
  fs::path BenchFile() const { return Kernel() / "sim_bench.txt"; }

  std::vector<MemberRun> Journal() const {
    std::vector<MemberRun> runs;
    for (const std::string& line : Lines(ReadAll(Kernel() / "sim_journal.tsv"))) {
      std::vector<std::string> f = Split(line, '\t');
      if (f.size() < 3) continue;
      runs.push_back({f[0], f[1], f[2], {f.begin() + 3, f.end()}});
    }
    return runs;
  }
  std::vector<std::string> Members() const {
    std::vector<std::string> names;
    for (const MemberRun& run : Journal()) names.push_back(run.member);
    return names;
  }
  bool WaitForRuns(std::size_t count, std::chrono::milliseconds limit = 20s) const {
    return WaitUntil([&] { return Journal().size() >= count; }, limit);
  }

  void ClickOnPage(const Rect& r) {
    desktop_->Click(window_, kPageX + r.x + r.w / 2, kPageY + r.y + r.h / 2);
  }
  std::string Copy(const Rect& r) {
    return desktop_->CopyAllAt(window_, kPageX + r.x + r.w / 2, kPageY + r.y + r.h / 2);
  }
  std::vector<std::string> Fields(const Rect (&fields)[6]) {
    std::vector<std::string> texts;
    for (const Rect& r : fields) texts.push_back(Copy(r));
    return texts;
  }
  // The simulated bridge answers through the loopback, the second device of the namespace. The
  // list is opened to give it the focus and closed again; "2" then picks the loopback. Each step
  // waits for the popup, so no key reaches the wrong window on a slow machine.
  void ChooseLoopback(const Rect& list) {
    const int windows = desktop_->MappedWindows(app_.pid());
    ClickOnPage(list);
    ASSERT_TRUE(WaitUntil([&] { return desktop_->MappedWindows(app_.pid()) > windows; }, 20s))
        << "the interface list did not open";
    desktop_->Keys({"Escape"});
    ASSERT_TRUE(WaitUntil([&] { return desktop_->MappedWindows(app_.pid()) == windows; }, 20s))
        << "the interface list did not close";
    desktop_->Keys({"2"});
  }
  void ShowDiagnosticTab() { desktop_->Click(window_, kDiagnosticTabX, kDiagnosticTabY); }

  // Waits for the message box with exactly this caption and closes it with `key`.
  void AnswerBox(const std::string& caption, const std::string& key = "Return",
                 std::chrono::milliseconds limit = 30s) {
    std::string regex =
        "^" + std::regex_replace(caption, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") + "$";
    std::optional<std::string> box = desktop_->FindWindow(regex, limit);
    ASSERT_TRUE(box) << "no box \"" << caption << "\"";
    desktop_->Focus(*box);
    desktop_->Keys({key});
    ASSERT_TRUE(desktop_->WindowGone(regex)) << "box \"" << caption << "\" stayed open";
  }

  void QueryUpgradeTarget() {
    ASSERT_NO_FATAL_FAILURE(ChooseLoopback(kIFSelectUpgrade));
    ClickOnPage(kUpgradeQuery);
    ASSERT_TRUE(WaitForRuns(1));
    ASSERT_TRUE(WaitUntil([&] { return Copy(kAmac[5]) == "56"; }, 20s));
  }

  void Screenshot(const std::string& name) {
    fs::path dir = fs::path(VOR_BINARY_DIR) / "e2e-screenshots";
    fs::create_directories(dir);
    desktop_->Screenshot(window_, (dir / name).string());
  }

  std::unique_ptr<Desktop> desktop_;
  fs::path root_;
  fs::path home_;
  Child app_;
  std::string window_;
};

TEST_F(EndToEnd, GetVersionReadsTheTargetsVersionAndDeviceInformation) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(QueryUpgradeTarget());
  EXPECT_THAT(Fields(kAmac), ElementsAre("00", "01", "40", "12", "34", "56"));
  ClickOnPage(kGetVersion);
  AnswerBox("Success");
  EXPECT_THAT(Lines(Copy(kUpgradeLog)),
              ElementsAre("query target's MAC address :", "00:01:40:12:34:56", "Ok.",
                          "get target's version :", "2.7.2 Nov 02 2006 10:11:12", "Ok.",
                          "get target's info :", "device_type = 0x21",
                          "devinf = VOR512 rev=B sn=0140123456 hw=Coax 4-20 #1.0 pin=0 boot=1.3",
                          "", "Ok."));
  std::vector<MemberRun> runs = Journal();
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_THAT(Members(), ElementsAre("query_address.bat", "version.bat", "get_device_type.bat",
                                     "get_devinf.bat"));
  for (const MemberRun& run : runs) EXPECT_EQ(run.directory, Kernel().string()) << run.member;
  EXPECT_THAT(runs[0].words, ElementsAre("127.0.0.1"));
  EXPECT_THAT(runs[1].words, ElementsAre("127.0.0.1", kTargetMac));
}

TEST_F(EndToEnd, DownloadUpgradesTheTarget) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(QueryUpgradeTarget());
  ClickOnPage(kDownload);
  AnswerBox("Success");
  Screenshot("upgrade.png");
  EXPECT_THAT(Members(),
              ElementsAre("query_address.bat", "get_devinf.bat", "read.exe", "program_flash.bat",
                          "version.bat", "get_device_type.bat", "get_devinf.bat"));
  std::vector<MemberRun> runs = Journal();
  ASSERT_EQ(runs.size(), 7u);
  EXPECT_EQ(runs[2].directory, home_.string());  // read.exe runs where the utility was started
  EXPECT_THAT(runs[2].words, ElementsAre("-i", "127.0.0.1", "-m", kTargetMac, "-a", "0x0"));
  EXPECT_EQ(runs[3].directory, Kernel().string());
  EXPECT_THAT(runs[3].words, ElementsAre("127.0.0.1", kTargetMac, "Coax_4-20_1.0",
                                         "../Tool/prm_VOR512.inf", kTargetMac, "NO_PRM_INF"));
  EXPECT_EQ(runs[3].status, "0");
  EXPECT_THAT(ReadAll(BenchFile()), testing::HasSubstr(std::string("firmware ") + kKitBuild));
  std::vector<std::string> log = Lines(Copy(kUpgradeLog));
  const std::vector<std::string> upgrade = {"-----------------------------------------------",
                                            std::string("Start to upgrade ") + kTargetMac,
                                            "Check the necessary files:",
                                            "Ok.",
                                            std::string("Connect to target ") + kTargetMac + ":",
                                            "Ok.",
                                            "start to upgrade :",
                                            "Ok.",
                                            "get target's version :",
                                            kKitBuild,
                                            "Ok."};
  ASSERT_GE(log.size(), 3 + upgrade.size());
  EXPECT_THAT(std::vector<std::string>(log.begin() + 3, log.begin() + 3 + upgrade.size()),
              ElementsAreArray(upgrade));
  EXPECT_EQ(log.back(), "Ok.");
}

TEST_F(EndToEnd, FlashFailureIsReportedAndLeavesTheFirmware) {
  ASSERT_NO_FATAL_FAILURE(Start("flash-fail"));
  ASSERT_NO_FATAL_FAILURE(QueryUpgradeTarget());
  ClickOnPage(kDownload);
  AnswerBox("Fail");
  std::vector<std::string> log = Lines(Copy(kUpgradeLog));
  ASSERT_GE(log.size(), 2u);
  EXPECT_THAT(
      std::vector<std::string>(log.end() - 3, log.end()),
      ElementsAre("start to upgrade :", "Err: flash programming failed.", "Err: upgrade fail."));
  EXPECT_THAT(Members(),
              ElementsAre("query_address.bat", "get_devinf.bat", "read.exe", "program_flash.bat"));
  EXPECT_THAT(ReadAll(BenchFile()), testing::HasSubstr("firmware 2.7.2 Nov 02 2006 10:11:12"));
}

TEST_F(EndToEnd, HardwareMismatchAnsweredNoProgramsNothing) {
  ASSERT_NO_FATAL_FAILURE(Start("hw-mismatch"));
  ASSERT_NO_FATAL_FAILURE(QueryUpgradeTarget());
  const std::string before = Copy(kUpgradeLog);
  ClickOnPage(kDownload);
  AnswerBox("Warning: hardware configuration doesn't match", "Escape");
  AnswerBox("Error");
  EXPECT_THAT(Members(), ElementsAre("query_address.bat", "get_devinf.bat"));
  EXPECT_EQ(Copy(kUpgradeLog), before);  // the check logs nothing
  EXPECT_THAT(ReadAll(BenchFile()), testing::HasSubstr("firmware 2.7.2 Nov 02 2006 10:11:12"));
}

class DiagnosticEndToEnd : public EndToEnd {
 protected:
  // Queries both targets and picks the second B target in the selection dialog.
  void QueryAndChooseSecondStation() {
    ShowDiagnosticTab();
    ASSERT_NO_FATAL_FAILURE(ChooseLoopback(kIFSelectDiag));
    ClickOnPage(kDiagQuery);
    std::optional<std::string> dialog = desktop_->FindWindow("^Select B Target  \\(Remote\\)$");
    ASSERT_TRUE(dialog) << "the selection dialog did not appear";
    fs::path dir = fs::path(VOR_BINARY_DIR) / "e2e-screenshots";
    fs::create_directories(dir);
    desktop_->Screenshot(*dialog, (dir / "selection.png").string());
    desktop_->Click(*dialog, kSecondStationX, kSecondStationY);
    desktop_->Click(*dialog, kOkX, kOkY);
    ASSERT_TRUE(desktop_->WindowGone("^Select B Target"));
    ASSERT_TRUE(WaitUntil([&] { return Copy(kRmac[5]) == "02"; }, 20s));
  }
};

TEST_F(DiagnosticEndToEnd, QueryFillsBothTargetsWithTheChosenStation) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(QueryAndChooseSecondStation());
  EXPECT_THAT(Fields(kLmac), ElementsAre("00", "01", "40", "12", "34", "56"));
  EXPECT_THAT(Fields(kRmac), ElementsAre("00", "01", "40", "AB", "CD", "02"));
  EXPECT_THAT(Members(), ElementsAre("query_address.bat", "get_stations.bat"));
  EXPECT_THAT(Journal()[1].words, ElementsAre("127.0.0.1", kTargetMac));
}

TEST_F(DiagnosticEndToEnd, DiagnoseShowsTheLinksFigures) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(QueryAndChooseSecondStation());
  ClickOnPage(kDiagnose);
  ASSERT_TRUE(WaitForRuns(4));
  // The picture is taken before any field is clicked for copying; the figures follow the last
  // member's exit within milliseconds.
  std::this_thread::sleep_for(500ms);
  Screenshot("diagnostic.png");
  ASSERT_TRUE(WaitUntil([&] { return Copy(kSnr) == "24.5"; }, 20s));
  EXPECT_EQ(Copy(kPer), "0.002");
  EXPECT_EQ(Copy(kPe), "16Mbaud/3bits/mask1");
  EXPECT_THAT(Lines(Copy(kDiagLog)),
              ElementsAre("connect to A target(local):", "ok", "change directory to kernel:", "ok",
                          "run the cert.exe:", "ok", "leave kernel directory:", "ok",
                          "check Kernel\\snr.tmp:", "ok", "get SNR ,PER and PE:", "ok"));
  std::vector<MemberRun> runs = Journal();
  EXPECT_THAT(Members(),
              ElementsAre("query_address.bat", "get_stations.bat", "read.exe", "per_test.bat"));
  EXPECT_THAT(runs[3].words,
              ElementsAre("127.0.0.1", kTargetMac, "00-01-40-AB-CD-02", "255", "1400", "10000"));
}

}  // namespace
