// The simulated Kernel toolchain, laid out in a temporary folder and run as the window runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench.h"
#include "support/temp_home.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr char kAMac[] = "00-01-40-12-34-56";
constexpr char kB1[] = "00-01-40-AB-CD-01";
constexpr char kVia[] = "127.0.0.1";
constexpr char kOldFirmware[] = "2.7.2 Nov 02 2006 10:11:12";
constexpr char kKitBuild[] = "2.7.3 Dec 21 2006 00:25:10";
constexpr char kDevinf[] = "VOR512 rev=B sn=0140123456 hw=Coax 4-20 #1.0 pin=0 boot=1.3";

// The demo's bridges with a short flash; `extra` adds lines (fault switches) at the end.
std::string BenchText(const std::string& extra = "", int flash_ms = 20) {
  return "# test bench\n"
         "flash-ms " +
         std::to_string(flash_ms) +
         "\n"
         "a-target 00-01-40-12-34-56\n"
         "  via 127.0.0.1\n"
         "  firmware 2.7.2 Nov 02 2006 10:11:12\n"
         "  device-type 0x21\n"
         "  devinf " +
         kDevinf +
         "\n"
         "  # the stations on its line\n"
         "  b-target 00-01-40-AB-CD-01 31.2 0.01 16Mbaud/ 4bits/mask1\n"
         "  b-target 00-01-40-AB-CD-02 24.5 0.002 16Mbaud/ 3bits/mask1\n" +
         extra;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Outcome {
  std::int32_t status = 0;  // as the window reads it: the exit byte sign-extended
  int exit_code = -1;
  std::string out;
  std::string err;
};

struct Child {
  pid_t pid = -1;
  int out = -1;
  int err = -1;
};

// Starts `path` with argv = path + words in `cwd`, no shell, stdout and stderr on pipes.
Child Spawn(const std::string& path, const std::vector<std::string>& words,
            const std::string& cwd) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  std::vector<std::string> args{path};
  args.insert(args.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  Child child;
  if (posix_spawn(&child.pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    child.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  child.out = out[0];
  child.err = err[0];
  return child;
}

// Reads both pipes until `stop` says so (given stdout so far) or both end.
void Drain(Child& child, Outcome& outcome, const std::function<bool(const std::string&)>& stop) {
  std::vector<pollfd> fds{{child.out, POLLIN, 0}, {child.err, POLLIN, 0}};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (stop && stop(outcome.out)) return;
    if (poll(fds.data(), fds.size(), -1) < 0) return;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        continue;
      }
      (i == 0 ? outcome.out : outcome.err).append(buffer, static_cast<std::size_t>(n));
    }
  }
}

void Reap(Child& child, Outcome& outcome) {
  int wstatus = 0;
  if (waitpid(child.pid, &wstatus, 0) != child.pid) return;
  if (WIFEXITED(wstatus)) {
    outcome.exit_code = WEXITSTATUS(wstatus);
    outcome.status = static_cast<std::int8_t>(outcome.exit_code);
  } else if (WIFSIGNALED(wstatus)) {
    outcome.status = -(128 + WTERMSIG(wstatus));
  }
}

Outcome RunProgram(const std::string& path, const std::vector<std::string>& words,
                   const std::string& cwd) {
  Outcome outcome;
  Child child = Spawn(path, words, cwd);
  if (child.pid < 0) {
    outcome.status = -1;
    return outcome;
  }
  Drain(child, outcome, nullptr);
  Reap(child, outcome);
  return outcome;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// A home folder (with blanks in its path) holding a laid-out simulated toolchain.
class SimKernel : public testing::Test {
 protected:
  void LayOut(const std::string& bench_text) {
    std::string bench_file = home_.path() + "/bench for test.txt";
    std::ofstream(bench_file) << bench_text;
    Outcome laid = RunProgram(VOR_LAY_OUT_KERNEL,
                              {"--bench", bench_file, VOR_SIM_PATH, home_.path()}, home_.path());
    ASSERT_EQ(laid.status, 0) << laid.err;
    fs::remove(bench_file);
  }

  std::string kernel() const { return home_.kernel(); }

  // Runs a member the way the window does: read.exe by absolute path from the home folder,
  // program_flash.bat by absolute path inside Kernel, the others by bare name inside Kernel.
  Outcome Member(const std::string& name, const std::vector<std::string>& words) const {
    if (name == "read.exe") return RunProgram(kernel() + "/read.exe", words, home_.path());
    if (name == "program_flash.bat") return RunProgram(kernel() + "/" + name, words, kernel());
    return RunProgram(name, words, kernel());
  }

  static std::vector<std::string> FlashWords(const std::string& hw = "Coax_4-20_1.0",
                                             const std::string& connected = kAMac) {
    return {kVia, kAMac, hw, "../Tool/prm_VOR512.inf", connected, "NO_PRM_INF"};
  }

  Bench LoadedBench() const {
    std::string error;
    std::optional<Bench> bench = LoadBench(kernel() + "/sim_bench.txt", error);
    EXPECT_TRUE(bench) << error;
    return bench.value_or(Bench{});
  }
  std::string FirmwareOf(const std::string& mac) const {
    for (const ATarget& target : LoadedBench().targets) {
      if (target.mac == mac) return target.firmware;
    }
    return "(no such target)";
  }

  std::optional<std::string> Result(const std::string& file) const {
    std::string path = kernel() + "/" + file;
    if (!fs::exists(path)) return std::nullopt;
    return ReadAll(path);
  }

  std::vector<std::vector<std::string>> Journal() const {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(ReadAll(kernel() + "/sim_journal.tsv"));
    for (std::string line; std::getline(in, line);) lines.push_back(SplitTabs(line));
    return lines;
  }

  TempHome home_{"home with blanks", /*with_kernel=*/false};
};

TEST_F(SimKernel, LayOutGivesEveryMemberTheBenchAndTheParameterFile) {
  LayOut(BenchText());
  for (std::string_view member : kMemberNames) {
    EXPECT_TRUE(fs::is_regular_file(kernel() + "/" + std::string(member))) << member;
  }
  EXPECT_EQ(ReadAll(kernel() + "/sim_bench.txt"), BenchText());
  EXPECT_TRUE(fs::is_regular_file(home_.path() + "/Tool/prm_VOR512.inf"));
}

struct QueryCase {
  const char* member;
  std::vector<std::string> words;
  const char* file;
  std::string content;
};

TEST_F(SimKernel, QueryMembersWriteTheirResultFilesAndJournalTheRun) {
  LayOut(BenchText());
  const QueryCase cases[] = {
      {"version.bat", {kVia, kAMac}, "verinfo.txt", std::string(kOldFirmware) + "\n"},
      {"get_device_type.bat", {kVia, kAMac}, "get_device_type.tmp", "21\n"},
      {"get_devinf.bat", {kVia, kAMac}, "get_devinf.tmp", std::string(kDevinf) + "\n"},
      {"query_address.bat", {kVia}, "query_address.tmp", "00:01:40:12:34:56\n"},
      // The A target lists itself among the stations, as real bridges do.
      {"get_stations.bat",
       {kVia, kAMac},
       "get_stations.tmp",
       "00:01:40:12:34:56\n00:01:40:AB:CD:01\n00:01:40:AB:CD:02\n"},
      {"per_test.bat",
       {kVia, kAMac, kB1, "255", "1400", "10000"},
       "snr.tmp",
       "pkts 10000 per 0.01 snr 31.2 db, rate: 16Mbaud/ 4bits/mask1\n"},
  };
  for (const QueryCase& c : cases) {
    SCOPED_TRACE(c.member);
    Outcome run = Member(c.member, c.words);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Result(c.file).value_or("(missing)"), c.content);
    std::vector<std::string> expected{c.member, "0", kernel()};
    expected.insert(expected.end(), c.words.begin(), c.words.end());
    EXPECT_EQ(Journal().back(), expected);
  }
}

TEST_F(SimKernel, ReadExeConnectsOnlyToTheTargetBehindThatAddress) {
  LayOut(BenchText());
  struct Case {
    const char* ip;
    const char* mac;
    bool connects;
  } cases[] = {{kVia, kAMac, true}, {"127.0.0.2", kAMac, false}, {kVia, kB1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.ip) + " " + c.mac);
    Outcome run = Member("read.exe", {"-i", c.ip, "-m", c.mac, "-a", "0x0"});
    EXPECT_EQ(run.status == 0, c.connects) << run.err;
    // read.exe runs in the parent of Kernel.
    EXPECT_EQ(Journal().back().at(2), home_.path());
  }
}

TEST_F(SimKernel, FullFlashSetsTheKitBuildAndKeepsTheRestOfTheBench) {
  LayOut(BenchText());
  Outcome flash = Member("program_flash.bat", FlashWords());
  ASSERT_EQ(flash.status, 0) << flash.err;
  EXPECT_EQ(FirmwareOf(kAMac), kKitBuild);
  std::string expected = BenchText();
  expected.replace(expected.find(kOldFirmware), std::string(kOldFirmware).size(), kKitBuild);
  EXPECT_EQ(ReadAll(kernel() + "/sim_bench.txt"), expected);
  ASSERT_EQ(Member("version.bat", {kVia, kAMac}).status, 0);
  EXPECT_EQ(Result("verinfo.txt"), std::string(kKitBuild) + "\n");
}

struct FlashCase {
  const char* what;
  std::string extra_bench;
  std::vector<std::string> words;
  std::optional<std::string> prm_content;  // nullopt: no parameter file
  int status;
};

TEST_F(SimKernel, FailingFlashGivesItsStatusAndLeavesTheFirmware) {
  const std::string kPrm = "chip=VOR512\n";
  const FlashCase cases[] = {
      {"hardware mismatch", "", FlashWords("Coax_4-20_2.0"), kPrm, -101},
      {"connected address differs", "", FlashWords("Coax_4-20_1.0", kB1), kPrm, -101},
      {"five words",
       "",
       {kVia, kAMac, "Coax_4-20_1.0", "../Tool/prm_VOR512.inf", kAMac},
       kPrm,
       -101},
      {"parameters without a value", "", FlashWords(), "; only a comment\n[image]\n", -102},
      {"no parameter file", "", FlashWords(), std::nullopt, -103},
      {"target unreachable",
       "",
       {"127.0.0.9", kAMac, "Coax_4-20_1.0", "../Tool/prm_VOR512.inf", kAMac, "NO_PRM_INF"},
       kPrm,
       -105},
      {"switch forces -105", "fault program_flash.bat status -105\n", FlashWords(), kPrm, -105},
      {"switch forces -104", "fault program_flash.bat status -104\n", FlashWords(), kPrm, -104},
  };
  for (const FlashCase& c : cases) {
    SCOPED_TRACE(c.what);
    LayOut(BenchText(c.extra_bench));
    std::string prm = home_.path() + "/Tool/prm_VOR512.inf";
    if (c.prm_content) {
      std::ofstream(prm) << *c.prm_content;
    } else {
      fs::remove(prm);
    }
    Outcome flash = Member("program_flash.bat", c.words);
    EXPECT_EQ(flash.status, c.status);
    EXPECT_EQ(flash.exit_code, 256 + c.status);
    EXPECT_FALSE(flash.err.empty());
    EXPECT_EQ(FirmwareOf(kAMac), kOldFirmware);
    EXPECT_EQ(Journal().back().at(1), std::to_string(c.status));
  }
}

TEST_F(SimKernel, CaseOfTheHardwareConfigurationDoesNotMatter) {
  LayOut(BenchText());
  EXPECT_EQ(Member("program_flash.bat", FlashWords("COAX_4-20_1.0")).status, 0);
  EXPECT_EQ(FirmwareOf(kAMac), kKitBuild);
}

TEST_F(SimKernel, WrongArgumentLinesAreRefusedWithAMessage) {
  LayOut(BenchText());
  struct Case {
    const char* member;
    std::vector<std::string> words;
    const char* file;  // must not be written
  } cases[] = {
      {"version.bat", {kVia}, "verinfo.txt"},
      {"version.bat", {kVia, "00-01-40-12-34-5a"}, "verinfo.txt"},
      {"get_devinf.bat", {kVia, "00:01:40:12:34:56"}, "get_devinf.tmp"},
      {"get_device_type.bat", {"127.0.0.256", kAMac}, "get_device_type.tmp"},
      {"query_address.bat", {kVia, kAMac}, "query_address.tmp"},
      {"get_stations.bat", {kVia, kAMac, kB1}, "get_stations.tmp"},
      // An empty PE text leaves only five words.
      {"per_test.bat", {kVia, kAMac, kB1, "1400", "10000"}, "snr.tmp"},
      {"per_test.bat", {kVia, kAMac, kB1, "25%", "1400", "10000"}, "snr.tmp"},
      {"read.exe", {"-i", kVia, "-m", kAMac}, nullptr},
      {"read.exe", {"-i", kVia, "-m", "00-01-40-12-34-5g", "-a", "0x0"}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.member) + " with " + std::to_string(c.words.size()) + " words");
    Outcome run = Member(c.member, c.words);
    EXPECT_LT(run.status, 0);
    EXPECT_NE(run.err.find(c.member), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("usage: "), std::string::npos) << run.err;
    if (c.file) {
      EXPECT_FALSE(Result(c.file)) << c.file;
    }
  }
}

struct FaultCase {
  const char* fault;
  const char* member;
  std::vector<std::string> words;
  const char* file;
  int status;
  std::optional<std::string> content;  // nullopt: no file
};

TEST_F(SimKernel, FaultSwitchesChangeWhatAMemberLeaves) {
  const FaultCase cases[] = {
      {"version.bat status -7",
       "version.bat",
       {kVia, kAMac},
       "verinfo.txt",
       -7,
       std::string(kOldFirmware) + "\n"},
      {"query_address.bat status 3",
       "query_address.bat",
       {kVia},
       "query_address.tmp",
       3,
       "00:01:40:12:34:56\n"},
      {"get_devinf.bat no-file",
       "get_devinf.bat",
       {kVia, kAMac},
       "get_devinf.tmp",
       0,
       std::nullopt},
      {"version.bat unreachable", "version.bat", {kVia, kAMac}, "verinfo.txt", -3, std::nullopt},
      {"read.exe unreachable",
       "read.exe",
       {"-i", kVia, "-m", kAMac, "-a", "0x0"},
       nullptr,
       -3,
       std::nullopt},
      // Malformed files are each what the window rejects or reads as empty.
      {"version.bat malformed",
       "version.bat",
       {kVia, kAMac},
       "verinfo.txt",
       0,
       "ERROR: garbled reply from the target\n"},
      {"query_address.bat malformed",
       "query_address.bat",
       {kVia},
       "query_address.tmp",
       0,
       "00:01:40:12:34\n"},
      {"get_stations.bat malformed",
       "get_stations.bat",
       {kVia, kAMac},
       "get_stations.tmp",
       0,
       "00:01:40:12\n00:01:40:12:34:56\n00:01:40:AB:CD:01\n00:01:40:AB:CD:02\n"},
      {"get_devinf.bat malformed",
       "get_devinf.bat",
       {kVia, kAMac},
       "get_devinf.tmp",
       0,
       "garbled reply\n"},
      {"per_test.bat malformed",
       "per_test.bat",
       {kVia, kAMac, kB1, "255", "1400", "10000"},
       "snr.tmp",
       0,
       "link test aborted: no reply from 00-01-40-AB-CD-01\n"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.fault);
    LayOut(BenchText(std::string("fault ") + c.fault + "\n"));
    if (c.file) fs::remove(kernel() + "/" + c.file);
    Outcome run = Member(c.member, c.words);
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.file) {
      EXPECT_EQ(Result(c.file), c.content);
    }
  }
}

TEST_F(SimKernel, PerTestAnswersOnlyForAStationOnTheLine) {
  LayOut(BenchText());
  Outcome run = Member("per_test.bat", {kVia, kAMac, "00-01-40-AB-CD-09", "255", "1400", "10000"});
  EXPECT_EQ(run.status, -3);
  EXPECT_FALSE(Result("snr.tmp"));
}

TEST_F(SimKernel, FlashKilledDuringItsDelayLeavesTheBenchIntact) {
  const std::string bench = BenchText("", /*flash_ms=*/60000);
  LayOut(bench);
  Outcome outcome;
  Child child = Spawn(kernel() + "/program_flash.bat", FlashWords(), kernel());
  ASSERT_GT(child.pid, 0);
  // The member announces the programming just before its delay.
  Drain(child, outcome,
        [](const std::string& out) { return out.find("programming") != std::string::npos; });
  ASSERT_NE(outcome.out.find("programming"), std::string::npos) << outcome.err;
  kill(child.pid, SIGKILL);
  Drain(child, outcome, nullptr);
  Reap(child, outcome);
  EXPECT_EQ(outcome.status, -(128 + SIGKILL));

  EXPECT_EQ(ReadAll(kernel() + "/sim_bench.txt"), bench);
  EXPECT_EQ(FirmwareOf(kAMac), kOldFirmware);
  EXPECT_TRUE(Journal().empty());
  // Nothing is left locked: the next flash completes.
  std::ofstream(kernel() + "/sim_bench.txt") << BenchText();
  EXPECT_EQ(Member("program_flash.bat", FlashWords()).status, 0);
  EXPECT_EQ(FirmwareOf(kAMac), kKitBuild);
}

TEST_F(SimKernel, ConcurrentFlashesLoseNoUpdate) {
  constexpr int kTargets = 8;
  std::string bench = "flash-ms 0\n";
  auto mac = [](int i) { return "00-01-40-00-00-0" + std::to_string(i); };
  for (int i = 1; i <= kTargets; ++i) {
    bench += "a-target " + mac(i) + "\nvia 10.0.0." + std::to_string(i) +
             "\nfirmware 1.0\ndevice-type 21\ndevinf hw=Coax 4-20 #1.0 pin=0\n";
  }
  LayOut(bench);
  std::vector<Child> children;
  for (int i = 1; i <= kTargets; ++i) {
    children.push_back(Spawn(kernel() + "/program_flash.bat",
                             {"10.0.0." + std::to_string(i), mac(i), "Coax_4-20_1.0",
                              "../Tool/prm_VOR512.inf", mac(i), "NO_PRM_INF"},
                             kernel()));
  }
  for (Child& child : children) {
    Outcome outcome;
    Drain(child, outcome, nullptr);
    Reap(child, outcome);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
  }
  for (int i = 1; i <= kTargets; ++i) EXPECT_EQ(FirmwareOf(mac(i)), kKitBuild) << mac(i);
  EXPECT_EQ(Journal().size(), static_cast<std::size_t>(kTargets));
}

TEST_F(SimKernel, LaidOutFolderStillWorksAfterAMove) {
  LayOut(BenchText());
  std::string moved = home_.path() + "/moved elsewhere";
  fs::create_directory(moved);
  fs::rename(kernel(), moved + "/Kernel");
  fs::rename(home_.path() + "/Tool", moved + "/Tool");
  EXPECT_EQ(
      RunProgram(moved + "/Kernel/read.exe", {"-i", kVia, "-m", kAMac, "-a", "0x0"}, moved).status,
      0);
  EXPECT_EQ(RunProgram(moved + "/Kernel/program_flash.bat", FlashWords(), moved + "/Kernel").status,
            0);
}

TEST(SimBench, MistakesNameTheirLine) {
  struct Case {
    std::string text;
    const char* line;
  } cases[] = {
      {"a-target 00-01-40-12-34-56\nfirmware 1\ndevice-type 1\ndevinf x\n", "line 1:"},  // no via
      {"flash-ms 10\na-target 00-01-40-12-34-5a\n", "line 2:"},
      {"via 127.0.0.1\n", "line 1:"},
      {"# ok\nfault program_flash.bat explode\n", "line 2:"},
      {"fault flash.bat status 1\n", "line 1:"},
      {"fault read.exe status 300\n", "line 1:"},
      {BenchText("  b-target 00-01-40-AB-CD-03 loud 0.1 a b\n"), "line 11:"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseBench(c.text, error)) << c.text;
    EXPECT_EQ(error.rfind(c.line, 0), 0u) << error;
  }
  std::string error;
  EXPECT_TRUE(ParseBench(BenchText("fault per_test.bat delay 5\n"), error)) << error;
}

TEST(SimBench, HardwareConfigurationFollowsTheDeviceInformationLine) {
  struct Case {
    const char* devinf;
    const char* config;
  } cases[] = {
      {"x hw=Coax 4-20 #1.0 pin=0", "Coax_4-20_1.0"},
      {"hw=Coax 4-20 # 1.0 pin=0", "Coax_4-20_1.0"},
      {"hw=Coax_4-20_1.0 pin=0", "Coax_4-20_1.0"},
      {"hw=Coax 4-20 1.0 pin=0", "Coax"},
      {"hw=Coax 4-20 #1.0", ""},
      {"model VOR512", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(HardwareConfigOf(c.devinf), c.config) << c.devinf;
}

}  // namespace
