// Tests of RunTool, the POSIX start and wait, the Kernel folder protocol and the text-mode reader,
// against real bash members in a temporary home folder.
#include "tools/run_tool.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/recorder_desk.h"
#include "support/temp_home.h"
#include "tools/kernel_folder.h"
#include "tools/posix/child_wait.h"
#include "tools/process.h"

namespace fs = std::filesystem;

namespace {

bool CwdIs(const std::string& path) {
  std::error_code error;
  return fs::equivalent(fs::current_path(), path, error);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Children of this process still in the process table (zombies included).
std::vector<pid_t> ChildrenOfThisProcess() {
  std::vector<pid_t> children;
  DIR* proc = ::opendir("/proc");
  if (!proc) return children;
  while (dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0) continue;
    std::string stat = Slurp("/proc/" + std::string(entry->d_name) + "/stat");
    // "pid (comm) state ppid ...": comm may hold blanks, so parse after the last ')'.
    std::size_t paren = stat.rfind(')');
    if (paren == std::string::npos) continue;
    std::istringstream rest(stat.substr(paren + 1));
    char state = 0;
    long ppid = 0;
    rest >> state >> ppid;
    if (ppid == ::getpid()) children.push_back(static_cast<pid_t>(pid));
  }
  ::closedir(proc);
  return children;
}

class ToolTest : public testing::Test {
 protected:
  // The member's line in calls.log: name|working directory|words... (printf leaves one '|' for
  // no words at all).
  std::string CallLine(const std::string& name, const std::vector<std::string>& words) const {
    std::string line = name + "|" + home_.kernel();
    for (const std::string& word : words) line += "|" + word;
    return words.empty() ? line + "|" : line;
  }

  // Steps 2 to 4 of the protocol with one member; HomeDir is current again afterwards.
  std::int32_t RunInside(KernelFolder& kernel, const std::string& member,
                         const std::string& args = "") {
    EXPECT_TRUE(kernel.Enter());
    std::int32_t status = kernel.Run(desk_, member, args);
    kernel.Leave();
    EXPECT_TRUE(CwdIs(home_.path()));
    return status;
  }

  TempHome home_;
  RecorderDesk desk_;
};

struct StatusCase {
  const char* body;
  std::int32_t status;
};

const StatusCase kStatusCases[] = {
    {"exit 0", 0},       {"exit 7", 7},           {"exit -1", -1},
    {"exit -105", -105}, {"exit 151", -105},      {"exit 255", -1},
    {"exit 128", -128},  {"kill -SEGV $$", -139}, {"kill -KILL $$", -137},
};

TEST_F(ToolTest, StatusIsSignExtendedAndSignalsAreNegative) {
  for (const StatusCase& c : kStatusCases) {
    SCOPED_TRACE(c.body);
    home_.WriteMember("status.bat", c.body);
    EXPECT_EQ(RunTool(desk_, home_.kernel() + "/status.bat", ""), c.status);
  }
  EXPECT_TRUE(desk_.boxes.empty());
}

TEST_F(ToolTest, WatcherThreadWaitGivesTheSameStatuses) {
  for (const StatusCase& c : kStatusCases) {
    SCOPED_TRACE(c.body);
    home_.WriteMember("status.bat", c.body);
    std::optional<pid_t> pid = posix_process::Spawn(home_.kernel() + "/status.bat", {});
    ASSERT_TRUE(pid.has_value());
    EXPECT_EQ(posix_process::WaitForChild(desk_, *pid, posix_process::Waiter::kWatcherThread),
              c.status);
  }
  EXPECT_TRUE(ChildrenOfThisProcess().empty());
}

TEST(ToolHome, OddHomeFolderNamesWork) {
  const char* kLeaves[] = {"with  spaces", "quote\"d 'single'", "n\xC3\xA4me \xE2\x82\xAC$(x)"};
  for (const char* leaf : kLeaves) {
    SCOPED_TRACE(leaf);
    TempHome home(leaf);
    RecorderDesk desk;
    home.WriteMember("read.exe", "exit 4");
    home.WriteMember("version.bat", "echo 2.7.3 > verinfo.txt");
    // By absolute path, from HomeDir.
    EXPECT_EQ(RunTool(desk, home.kernel() + "/read.exe", "-i 1.2.3.4 -m 00-01"), 4);
    // By bare name, inside the Kernel folder.
    {
      KernelFolder kernel(home.path(), {"verinfo.txt"});
      ASSERT_TRUE(kernel.Enter());
      EXPECT_EQ(kernel.Run(desk, "version.bat", " 1.2.3.4"), 0);
      kernel.Leave();
      EXPECT_EQ(kernel.Read("verinfo.txt"), "2.7.3\n");
    }
    EXPECT_TRUE(desk.boxes.empty());
    EXPECT_TRUE(CwdIs(home.path()));
    EXPECT_EQ(home.Calls(),
              (std::vector<std::string>{"read.exe|" + home.path() + "|-i|1.2.3.4|-m|00-01",
                                        "version.bat|" + home.kernel() + "|1.2.3.4"}));
  }
}

TEST_F(ToolTest, MissingMemberShowsTheBoxAndLeavesTheDirectoryAlone) {
  {
    KernelFolder kernel(home_.path(), {"verinfo.txt"});
    ASSERT_TRUE(kernel.Enter());
    EXPECT_EQ(kernel.Run(desk_, "version.bat", " 1.2.3.4"), -1);
  }
  EXPECT_TRUE(CwdIs(home_.path()));
  const std::string absolute = home_.kernel() + "/read.exe";
  EXPECT_EQ(RunTool(desk_, absolute, "-i x"), -1);
  EXPECT_EQ(desk_.boxes, (std::vector<RecordedBox>{ErrorBox("Err: Can't find version.bat"),
                                                   ErrorBox("Err: Can't find " + absolute)}));
}

TEST_F(ToolTest, DirectoryNamedLikeTheMemberIsMissing) {
  fs::create_directory(home_.kernel() + "/version.bat");
  EXPECT_EQ(RunTool(desk_, "Kernel/version.bat", ""), -1);
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Err: Can't find Kernel/version.bat")});
  EXPECT_FALSE(IsPlainFile("Kernel/version.bat"));
  EXPECT_TRUE(IsFolder("Kernel/version.bat"));
  EXPECT_TRUE(IsFolder("Kernel"));
  EXPECT_FALSE(IsFolder("Kernel/none"));
  EXPECT_FALSE(IsPlainFile(""));
}

TEST_F(ToolTest, MembersTheKernelWillNotRunGoThroughTheShell) {
  struct Case {
    const char* what;
    mode_t mode;
    bool shebang;
  };
  const Case kCases[] = {
      {"no run permission", 0644, true},
      {"no recognised format", 0755, false},
      {"neither", 0600, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::string file = home_.kernel() + "/plain.bat";
    std::ofstream(file, std::ios::trunc)
        << (c.shebang ? "#!/bin/bash\n" : "")
        << "printf '%s|' \"$0\" \"$@\" > \"$(dirname \"$0\")/out\"\n"
        << "exit 3\n";
    ::chmod(file.c_str(), c.mode);
    EXPECT_EQ(RunTool(desk_, file, " a  b"), 3);
    EXPECT_EQ(home_.ReadFile("Kernel/out"), file + "|a|b|");
  }
  EXPECT_TRUE(desk_.boxes.empty());
}

TEST_F(ToolTest, MemberThatCannotStartGivesMinusOneWithoutBox) {
  home_.WriteMember("busy.bat", "exit 0");
  // Linux refuses to execute a file that is open for writing (ETXTBSY).
  const std::string file = home_.kernel() + "/busy.bat";
  const int writer = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  EXPECT_EQ(RunTool(desk_, file, ""), -1);
  ::close(writer);
  EXPECT_TRUE(desk_.boxes.empty());
  EXPECT_TRUE(home_.Calls().empty());
}

TEST_F(ToolTest, WordsArriveUnchangedWithoutAnyShell) {
  home_.WriteMember("echo.bat", "exit 0");
  struct Case {
    const char* line;
    std::vector<std::string> words;
  };
  const Case kCases[] = {
      {"", {}},
      {"   a   b\t\tc  ", {"a", "b", "c"}},
      {" $(touch made1) ; touch made2 `touch made3`",
       {"$(touch", "made1)", ";", "touch", "made2", "`touch", "made3`"}},
      {" %s %d * ?? 'q' \"dq\" \\ > made4 | x &",
       {"%s", "%d", "*", "??", "'q'", "\"dq\"", "\\", ">", "made4", "|", "x", "&"}},
  };
  std::vector<std::string> expected;
  KernelFolder kernel(home_.path(), {});
  for (const Case& c : kCases) {
    EXPECT_EQ(RunInside(kernel, "echo.bat", c.line), 0);
    expected.push_back(CallLine("echo.bat", c.words));
  }
  // Words holding '|' cannot be told apart in the log; the table has none but "|" itself.
  EXPECT_EQ(home_.Calls(), expected);
  for (const char* made : {"made1", "made2", "made3", "made4"}) {
    EXPECT_FALSE(home_.Exists(made)) << made;
    EXPECT_FALSE(home_.Exists(std::string("Kernel/") + made)) << made;
  }
}

TEST_F(ToolTest, NoDescriptorOfOursReachesTheMember) {
  // A descriptor a library might leave without close-on-exec.
  const int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 3);
  home_.WriteMember("fds.bat", "ls /proc/$$/fd > fds.txt");
  KernelFolder kernel(home_.path(), {"fds.txt"});
  EXPECT_EQ(RunInside(kernel, "fds.bat"), 0);
  ::close(leaked);
  std::optional<std::string> listing = kernel.Read("fds.txt");
  ASSERT_TRUE(listing.has_value());
  std::istringstream in(*listing);
  std::set<std::string> fds;
  for (std::string fd; in >> fd;) fds.insert(fd);
  // bash keeps the script itself open on 255.
  EXPECT_EQ(fds, (std::set<std::string>{"0", "1", "2", "255"}));
}

TEST_F(ToolTest, StaleResultIsDeletedBeforeTheRun) {
  home_.WriteFile("Kernel/verinfo.txt", "old\n");
  home_.WriteMember("version.bat", "[ -e verinfo.txt ] && exit 9; echo new > verinfo.txt");
  KernelFolder kernel(home_.path(), {"verinfo.txt", "absent.tmp"});
  EXPECT_FALSE(home_.Exists("Kernel/verinfo.txt"));
  EXPECT_EQ(RunInside(kernel, "version.bat"), 0);
  EXPECT_EQ(kernel.Read("verinfo.txt"), "new\n");
}

TEST_F(ToolTest, MemberThatWritesNothingFailsInsteadOfReadingTheOldResult) {
  home_.WriteFile("Kernel/verinfo.txt", "old\n");
  home_.WriteMember("version.bat", "exit 0");
  KernelFolder kernel(home_.path(), {"verinfo.txt"});
  EXPECT_EQ(RunInside(kernel, "version.bat"), 0);
  EXPECT_EQ(kernel.Read("verinfo.txt"), std::nullopt);
}

// Makes a file immutable for one scope, so that not even root can delete it.
class Immutable final {
 public:
  explicit Immutable(std::string path) : path_(std::move(path)) {
    ok_ = std::system(("chattr +i '" + path_ + "' 2>/dev/null").c_str()) == 0;
  }
  ~Immutable() {
    if (ok_) {
      [[maybe_unused]] int ignored = std::system(("chattr -i '" + path_ + "'").c_str());
    }
  }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

TEST_F(ToolTest, StaleResultThatCannotBeDeletedIsNeverRead) {
  home_.WriteFile("Kernel/verinfo.txt", "old\n");
  home_.WriteMember("version.bat", "echo new > verinfo.txt");
  Immutable lock(home_.kernel() + "/verinfo.txt");
  if (!lock.ok()) GTEST_SKIP() << "chattr +i is not available here (needs root and ext4 or alike)";
  KernelFolder kernel(home_.path(), {"verinfo.txt"});
  EXPECT_TRUE(home_.Exists("Kernel/verinfo.txt"));
  RunInside(kernel, "version.bat");
  EXPECT_EQ(home_.ReadFile("Kernel/verinfo.txt"), "old\n");
  EXPECT_EQ(kernel.Read("verinfo.txt"), std::nullopt);
}

TEST(ToolHome, MissingKernelFolderIsNotEntered) {
  TempHome home("home", /*with_kernel=*/false);
  {
    KernelFolder kernel(home.path(), {"verinfo.txt"});
    EXPECT_FALSE(kernel.Enter());
    EXPECT_TRUE(CwdIs(home.path()));
    kernel.Leave();
    EXPECT_EQ(kernel.Path(), home.path() + "/Kernel");
  }
  EXPECT_TRUE(CwdIs(home.path()));
}

TEST(ToolHome, LinkedKernelFolderLeavesBackToHome) {
  TempHome home("home", /*with_kernel=*/false);
  const std::string real = home.path() + "/../elsewhere/toolchain";
  std::filesystem::create_directories(real);
  std::filesystem::create_directory_symlink(real, home.kernel());
  home.WriteMember("version.bat", "echo 2.7.3 > verinfo.txt");
  RecorderDesk desk;
  KernelFolder kernel(home.path(), {"verinfo.txt"});
  ASSERT_TRUE(kernel.Enter());
  EXPECT_EQ(kernel.Run(desk, "version.bat", " 198.51.100.2"), 0);
  kernel.Leave();
  EXPECT_TRUE(CwdIs(home.path()));
  EXPECT_EQ(kernel.Read("verinfo.txt"), "2.7.3\n");
}

TEST_F(ToolTest, LeavesOnceAndOnDestruction) {
  {
    KernelFolder kernel(home_.path(), {});
    ASSERT_TRUE(kernel.Enter());
    EXPECT_TRUE(CwdIs(home_.kernel()));
    kernel.Leave();
    kernel.Leave();
    EXPECT_TRUE(CwdIs(home_.path()));
    ASSERT_TRUE(kernel.Enter());
  }
  EXPECT_TRUE(CwdIs(home_.path()));
}

struct TextCase {
  const char* what;
  std::string content;
  std::size_t bound;
  std::string text;
};

TEST_F(ToolTest, ReadsInTextMode) {
  const TextCase kCases[] = {
      {"CRLF", "a\r\nb\r\n", 100, "a\nb\n"},
      {"lone CR", "a\rb\r", 100, "ab"},
      {"Ctrl-Z mid-file",
       "ab\x1A"
       "cd\n",
       100, "ab"},
      {"no final newline", "abc", 100, "abc"},
      {"empty", "", 100, ""},
      {"longer than the bound", "abcdefgh\n", 4, "abcd"},
      {"CR counts toward the bound", "a\r\nbc", 3, "a\n"},
      {"NUL kept", std::string("a\0b", 3), 100, std::string("a\0b", 3)},
  };
  for (const TextCase& c : kCases) {
    SCOPED_TRACE(c.what);
    home_.WriteFile("Kernel/r.tmp", c.content);
    EXPECT_EQ(ReadTextFile("Kernel/r.tmp", c.bound), c.text);
  }
  home_.WriteFile("Kernel/big.tmp", std::string(kResultFileBound + 100, 'x'));
  KernelFolder kernel(home_.path(), {});
  std::optional<std::string> big = kernel.Read("big.tmp");
  ASSERT_TRUE(big.has_value());
  EXPECT_EQ(big->size(), kResultFileBound);
}

TEST_F(ToolTest, OnlyRegularFilesAreReadAndNothingBlocks) {
  const std::string kernel_dir = home_.kernel();
  ASSERT_EQ(::mkfifo((kernel_dir + "/fifo.tmp").c_str(), 0644), 0);
  fs::create_directory(kernel_dir + "/dir.tmp");
  fs::create_symlink("/dev/zero", kernel_dir + "/device.tmp");
  fs::create_symlink("missing", kernel_dir + "/dangling.tmp");
  KernelFolder kernel(home_.path(), {});
  for (const char* name : {"fifo.tmp", "dir.tmp", "device.tmp", "dangling.tmp", "absent.tmp"}) {
    EXPECT_EQ(kernel.Read(name), std::nullopt) << name;
  }
}

TEST_F(ToolTest, TimersKeepFiringWhileAMemberRuns) {
  home_.WriteMember("slow.bat", "sleep 1; exit 5");
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  timer.start(100);
  EXPECT_EQ(RunTool(desk_, home_.kernel() + "/slow.bat", ""), 5);
  timer.stop();
  EXPECT_GE(ticks, 5);
}

TEST_F(ToolTest, QtChildHandlingDoesNotStealTheMember) {
  home_.WriteMember("slow.bat", "sleep 0.5; exit 6");
  // A QProcess that ends while RunTool waits: Qt reaps its own child, RunTool reaps ours.
  QProcess other;
  other.start("/bin/sh", {"-c", "sleep 0.2; exit 2"});
  ASSERT_TRUE(other.waitForStarted());
  EXPECT_EQ(RunTool(desk_, home_.kernel() + "/slow.bat", ""), 6);
  // It ended during the wait, so its finish was already delivered there.
  if (other.state() != QProcess::NotRunning) {
    ASSERT_TRUE(other.waitForFinished());
  }
  EXPECT_EQ(other.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(other.exitCode(), 2);
  // And once more after Qt's child handling has seen an exit.
  home_.WriteMember("quick.bat", "exit 8");
  EXPECT_EQ(RunTool(desk_, home_.kernel() + "/quick.bat", ""), 8);
}

TEST_F(ToolTest, NoZombieIsLeft) {
  home_.WriteMember("a.bat", "exit 1");
  home_.WriteMember("b.bat", "kill -TERM $$");
  for (int i = 0; i < 3; ++i) {
    RunTool(desk_, home_.kernel() + "/a.bat", "");
    RunTool(desk_, home_.kernel() + "/b.bat", "");
  }
  EXPECT_TRUE(ChildrenOfThisProcess().empty());
}

}  // namespace
