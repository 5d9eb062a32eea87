// The link diagnostic against a fixture Kernel folder: log lines, boxes, argument words, figures.
#include "diag/link_diagnostic.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/recorder_desk.h"
#include "support/temp_home.h"

void PrintTo(const DiagFigures& figures, std::ostream* out) {
  *out << "{\"" << figures.snr << "\", \"" << figures.per << "\", \"" << figures.pe << "\"}";
}

namespace {

const DiagFigures kZeros{"0", "0", "0"};
const std::string kLocalDash = "00-01-40-0A-0B-0C";
const std::string kRemoteDash = "00-01-40-DE-AD-01";
const std::string kFullLine = "pkts 1000 per 0.01 snr 31.2 db, rate: 64QAM 2/3\n";
const DiagFigures kFullFigures{"31.20", "0.009", "64QAM2/3"};

// The log of a run up to and including the line that announces reading the figures.
const std::vector<std::string> kLogToScan = {
    "connect to A target(local):", "ok", "change directory to kernel:", "ok",
    "run the cert.exe:",           "ok", "leave kernel directory:",     "ok",
    "check Kernel\\snr.tmp:",      "ok", "get SNR ,PER and PE:"};

std::vector<std::string> Concat(std::vector<std::string> head, const std::string& tail) {
  head.push_back(tail);
  return head;
}

std::vector<std::string> LogToOpen() { return {kLogToScan.begin(), kLogToScan.begin() + 9}; }

class LinkDiagnosticTest : public testing::Test {
 protected:
  explicit LinkDiagnosticTest(bool with_kernel = true) : home_("home dir", with_kernel) {
    state_.HomeDir = home_.path();
    state_.InterfaceIp = "198.51.100.7";
    state_.LocalMac.bytes = {0x00, 0x01, 0x40, 0x0A, 0x0B, 0x0C};
    state_.RemoteMac.bytes = {0x00, 0x01, 0x40, 0xDE, 0xAD, 0x01};
    if (with_kernel) home_.WriteMember("read.exe", "exit 0");
  }

  // per_test.bat leaves the content of <home>/snr.src as its result, when there is one.
  void WriteResult(const std::string& content) { home_.WriteFile("snr.src", content); }
  void WritePerTest(const std::string& body = "[ -f ../snr.src ] && cp ../snr.src snr.tmp") {
    home_.WriteMember("per_test.bat", body);
  }

  void Run(const std::string& pe_text = "255") {
    RunLinkDiagnostic(state_, desk_, [pe_text] { return pe_text; },
                      Log([this](const std::string& line) { log_.push_back(line); }),
                      [this](const DiagFigures& figures) { shown_.push_back(figures); });
  }

  std::vector<std::string> CallsOf(const std::string& member) const {
    std::vector<std::string> calls;
    for (const std::string& call : home_.Calls()) {
      if (call.rfind(member + "|", 0) == 0) calls.push_back(call);
    }
    return calls;
  }

  TempHome home_;
  MainState state_;
  RecorderDesk desk_;
  std::vector<std::string> log_;
  std::vector<DiagFigures> shown_;
};

struct FigureCase {
  float value;
  const char* full;
  const char* shown;
};

TEST(FigureTextTest, GeneralFormatWithFifteenDigits) {
  const FigureCase kCases[] = {
      {0.01f, "0.00999999977648258", "0.009"},
      {31.2f, "31.2000007629395", "31.20"},
      {0.0001f, "9.99999974737875E-5", "9.999"},
      {25.5f, "25.5", "25.5"},
      {0.0f, "0", "0"},
      {-0.0f, "0", "0"},
      {-0.3f, "-0.300000011920929", "-0.30"},
      {1e16f, "1.00000002725642E16", "1.000"},
      {1e15f, "999999986991104", "99999"},
      {0.00025f, "0.000250000011874363", "0.000"},
      {-1e-20f, "-9.99999968265523E-21", "-9.99"},
  };
  for (const FigureCase& c : kCases) {
    SCOPED_TRACE(c.full);
    EXPECT_EQ(FigureText(c.value), c.full);
    EXPECT_EQ(ShownFigure(c.value), c.shown);
  }
}

struct SnrCase {
  const char* name;
  std::optional<std::string> result;  // nullopt: per_test.bat writes no snr.tmp
  std::vector<std::string> log;
  std::vector<DiagFigures> shown;
  std::vector<RecordedBox> boxes;
};

std::string CutLine() {
  // The second rate word straddles the 199th character, so only "CD" of it is read.
  const std::string tail = "pkts 1 per 0.5 snr 20 db, rate: AB CDEF";
  return std::string(199 + 2 - tail.size() - 1, 'x') + " " + tail + "\n";
}

TEST_F(LinkDiagnosticTest, ReadsTheResultLine) {
  const std::vector<std::string> kOk = Concat(kLogToScan, "ok");
  const std::vector<std::string> kNoValue = Concat(kLogToScan, "Err: can't get SNR ,PER and PE.");
  const std::vector<std::string> kNoFile = Concat(LogToOpen(), "Err: can't open Kernel\\snr.tmp");
  const std::vector<RecordedBox> kFail = {ErrorBox("Err: Diagnose fail.")};
  const SnrCase kCases[] = {
      {"full line", kFullLine, kOk, {kZeros, kFullFigures}, {}},
      {"after other words", "PER test done: " + kFullLine, kOk, {kZeros, kFullFigures}, {}},
      {"carriage return",
       "pkts 1000 per 0.01 snr 31.2 db, rate: 64QAM 2/3\r\n",
       kOk,
       {kZeros, kFullFigures},
       {}},
      {"only the first line",
       kFullLine + "pkts 1 per 0.5 snr 20 db, rate: A B\n",
       kOk,
       {kZeros, kFullFigures},
       {}},
      {"pkts and one word", "pkts 1000\n", kOk, {kZeros, {"0", "0", ""}}, {}},
      {"one rate word",
       "pkts 9 per 0 snr 25.5 db, rate: QPSK",
       kOk,
       {kZeros, {"25.5", "0", "QPSK"}},
       {}},
      {"scientific rate",
       "pkts 9 per 0.0001 snr -3 db, rate: a b",
       kOk,
       {kZeros, {"-3", "9.999", "ab"}},
       {}},
      {"no blanks where the pattern has them",
       "pkts 9 per.5snr1e1db,rate:x y",
       kOk,
       {kZeros, {"10", "0.5", "xy"}},
       {}},
      {"cut after 199 characters", CutLine(), kOk, {kZeros, {"20", "0.5", "ABCD"}}, {}},
      {"no pkts", "per 0.01 snr 31.2 db, rate: 64QAM 2/3\n", kNoValue, {kZeros}, kFail},
      {"capital PKTS",
       "PKTS 1000 per 0.01 snr 31.2 db, rate: 64QAM 2/3\n",
       kNoValue,
       {kZeros},
       kFail},
      {"pkts on the second line", "no figures\n" + kFullLine, kNoValue, {kZeros}, kFail},
      {"pkts beyond 199 characters", std::string(199, 'x') + kFullLine, kNoValue, {kZeros}, kFail},
      {"empty file", "", kNoValue, {kZeros}, kFail},
      {"empty line", "\n", kNoValue, {kZeros}, kFail},
      {"file ends before its line", std::string("\x1a") + kFullLine, kNoValue, {kZeros}, kFail},
      {"no file", std::nullopt, kNoFile, {kZeros, kZeros}, kFail},
  };
  for (const SnrCase& c : kCases) {
    SCOPED_TRACE(c.name);
    home_.WriteFile("Kernel/snr.tmp", "pkts 1 per 1 snr 1 db, rate: stale line");
    std::remove((home_.path() + "/snr.src").c_str());
    if (c.result) WriteResult(*c.result);
    WritePerTest();
    log_.clear();
    shown_.clear();
    desk_.boxes.clear();

    Run();

    EXPECT_EQ(log_, c.log);
    EXPECT_EQ(shown_, c.shown);
    EXPECT_EQ(desk_.boxes, c.boxes);
  }
}

TEST_F(LinkDiagnosticTest, FailingScriptWithResultStillReads) {
  WriteResult(kFullLine);
  WritePerTest("cp ../snr.src snr.tmp; exit 3");
  Run();
  EXPECT_EQ(log_, Concat(kLogToScan, "ok"));
  EXPECT_EQ(shown_, (std::vector<DiagFigures>{kZeros, kFullFigures}));
  EXPECT_TRUE(desk_.boxes.empty());
}

TEST_F(LinkDiagnosticTest, MissingScriptReportsAndFailsOnTheResult) {
  Run();
  EXPECT_EQ(log_, Concat(LogToOpen(), "Err: can't open Kernel\\snr.tmp"));
  EXPECT_EQ(desk_.boxes, (std::vector<RecordedBox>{ErrorBox("Err: Can't find per_test.bat"),
                                                   ErrorBox("Err: Diagnose fail.")}));
}

struct ArgumentCase {
  const char* pe_text;
  std::string words;  // the recorded words after the B target's address
};

TEST_F(LinkDiagnosticTest, PassesAddressesAndPeTextAsWords) {
  const ArgumentCase kCases[] = {
      {"255", "|255|1400|10000"},
      {"5%s %d%n  x", "|5%s|%d%n|x|1400|10000"},
      {"", "|1400|10000"},
  };
  WriteResult(kFullLine);
  WritePerTest();
  for (const ArgumentCase& c : kCases) {
    SCOPED_TRACE(c.pe_text);
    std::remove((home_.kernel() + "/calls.log").c_str());
    Run(c.pe_text);
    EXPECT_EQ(CallsOf("read.exe"),
              std::vector<std::string>{"read.exe|" + home_.path() + "|-i|198.51.100.7|-m|" +
                                       kLocalDash + "|-a|0x0"});
    EXPECT_EQ(CallsOf("per_test.bat"),
              std::vector<std::string>{"per_test.bat|" + home_.kernel() + "|198.51.100.7|" +
                                       kLocalDash + "|" + kRemoteDash + c.words});
  }
  EXPECT_EQ(PerTestArguments(state_, ""),
            " 198.51.100.7 " + kLocalDash + " " + kRemoteDash + "  1400 10000");
}

TEST_F(LinkDiagnosticTest, FailedConnectionKeepsFiguresAndResult) {
  const std::string previous = "pkts 1 per 0.5 snr 20 db, rate: A B\n";
  home_.WriteFile("Kernel/snr.tmp", previous);
  home_.WriteMember("read.exe", "exit 1");
  WritePerTest();
  Run();
  EXPECT_EQ(log_, (std::vector<std::string>{"connect to A target(local):",
                                            "Err: can't connect to A target(local)"}));
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Err: Can't connect to " + kLocalDash)});
  EXPECT_TRUE(shown_.empty());
  EXPECT_EQ(home_.ReadFile("Kernel/snr.tmp"), previous);
  EXPECT_TRUE(CallsOf("per_test.bat").empty());
}

TEST_F(LinkDiagnosticTest, KernelFolderGoneAfterConnecting) {
  // read.exe runs in the home folder; taking the Kernel folder away makes entering it fail.
  home_.WriteMember("read.exe", "mv \"$PWD/Kernel\" \"$PWD/Kernel.gone\"");
  Run();
  EXPECT_EQ(log_, (std::vector<std::string>{
                      "connect to A target(local):", "ok",
                      "change directory to kernel:", "Err: can't change directory to kernel"}));
  EXPECT_EQ(desk_.boxes,
            std::vector<RecordedBox>{ErrorBox("Err: Can't change directory to " + home_.kernel())});
  EXPECT_EQ(shown_, std::vector<DiagFigures>{kZeros});
  EXPECT_EQ(std::filesystem::current_path(), home_.path());
}

class LinkDiagnosticWithoutKernelTest : public LinkDiagnosticTest {
 protected:
  LinkDiagnosticWithoutKernelTest() : LinkDiagnosticTest(/*with_kernel=*/false) {}
};

TEST_F(LinkDiagnosticWithoutKernelTest, MissingKernelFolderFailsToConnect) {
  Run();
  EXPECT_EQ(log_, (std::vector<std::string>{"connect to A target(local):",
                                            "Err: can't connect to A target(local)"}));
  EXPECT_EQ(desk_.boxes,
            (std::vector<RecordedBox>{ErrorBox("Err: Can't find " + home_.kernel() + "/read.exe"),
                                      ErrorBox("Err: Can't connect to " + kLocalDash)}));
  EXPECT_TRUE(shown_.empty());
}

// Qt applications take the C library's locale from the environment; a decimal comma there must
// change neither the reading of "0.01" nor the full stop of the figures.
TEST_F(LinkDiagnosticTest, DecimalCommaLocaleChangesNothing) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (localedef -i de_DE -f UTF-8 de_DE.UTF-8)";
  }
  WriteResult(kFullLine);
  WritePerTest();
  Run();
  const std::string half = FigureText(0.5f);
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(shown_, (std::vector<DiagFigures>{kZeros, kFullFigures}));
  EXPECT_EQ(half, "0.5");
}

}  // namespace
