// The bench of simulated bridges: parsing, lookups and the locked, atomic firmware change.
#include "bench.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

constexpr std::string_view kBlank = " \t\r";
constexpr int kMaxMilliseconds = 600000;

std::string_view Trim(std::string_view text) {
  std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(kBlank);
  return text.substr(first, last - first + 1);
}

// Splits off the first blank-separated word; `rest` keeps the trimmed remainder.
std::string_view FirstWord(std::string_view text, std::string_view& rest) {
  std::size_t end = text.find_first_of(kBlank);
  if (end == std::string_view::npos) {
    rest = {};
    return text;
  }
  rest = Trim(text.substr(end));
  return text.substr(0, end);
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::string_view rest = Trim(text);
  while (!rest.empty()) words.push_back(FirstWord(rest, rest));
  return words;
}

std::optional<int> ParseInt(std::string_view text, int low, int high) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

bool IsNumber(std::string_view text) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool IsUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

bool ReadWhole(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return !in.bad();
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Holds an exclusive flock on the bench's lock file for its lifetime.
class BenchLock final {
 public:
  explicit BenchLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~BenchLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  BenchLock(const BenchLock&) = delete;
  BenchLock& operator=(const BenchLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

// Writes `text` to a new file beside `path`, syncs it and renames it over `path`, then syncs the
// folder so the rename itself survives a crash.
bool ReplaceAtomically(const std::string& dir, const std::string& path, std::string_view text,
                       std::string& error) {
  std::string temp = path + ".new." + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "cannot create " + temp + ": " + std::strerror(errno);
    return false;
  }
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  int saved = errno;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    if (ok) saved = errno;
    ::unlink(temp.c_str());
    error = "cannot write " + path + ": " + std::strerror(saved);
    return false;
  }
  int dir_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);
    ::close(dir_fd);
  }
  return true;
}

}  // namespace

bool IsMemberName(std::string_view name) {
  return std::find(std::begin(kMemberNames), std::end(kMemberNames), name) !=
         std::end(kMemberNames);
}

bool IsDashMac(std::string_view text) {
  if (text.size() != 17) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool ok = (i % 3 == 2) ? text[i] == '-' : IsUpperHex(text[i]);
    if (!ok) return false;
  }
  return true;
}

bool IsIpv4(std::string_view text) {
  int parts = 0;
  while (true) {
    std::size_t dot = text.find('.');
    std::string_view part = text.substr(0, dot);
    if (part.empty() || part.size() > 3 ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        !ParseInt(part, 0, 255)) {
      return false;
    }
    ++parts;
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return parts == 4;
}

std::string ColonMac(std::string_view dash_mac) {
  std::string colon(dash_mac);
  std::replace(colon.begin(), colon.end(), '-', ':');
  return colon;
}

std::string HardwareConfigOf(std::string_view devinf) {
  std::size_t hw = devinf.find("hw=");
  std::size_t pin = devinf.find(" pin=");
  if (hw == std::string_view::npos || pin == std::string_view::npos || pin < hw + 3) return {};
  std::vector<std::string_view> words = Words(devinf.substr(hw + 3, pin - hw - 3));
  if (words.size() >= 3 && words[2].front() == '#') {
    std::string_view third = words[2].substr(1);
    if (third.empty() && words.size() >= 4) third = words[3];
    if (!third.empty()) {
      return std::string(words[0]) + "_" + std::string(words[1]) + "_" + std::string(third);
    }
  }
  return words.empty() ? std::string() : std::string(words[0]);
}

const ATarget* Bench::Find(std::string_view mac, std::string_view via) const {
  for (const ATarget& target : targets) {
    if (target.mac == mac && target.via == via) return &target;
  }
  return nullptr;
}

const ATarget* Bench::FindVia(std::string_view via) const {
  for (const ATarget& target : targets) {
    if (target.via == via) return &target;
  }
  return nullptr;
}

Faults Bench::FaultsOf(std::string_view member) const {
  auto found = faults.find(member);
  return found == faults.end() ? Faults{} : found->second;
}

std::optional<std::string> Bench::WithFirmware(std::string_view mac,
                                               std::string_view firmware) const {
  auto target =
      std::find_if(targets.begin(), targets.end(), [&](const ATarget& t) { return t.mac == mac; });
  if (target == targets.end()) return std::nullopt;
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == target->firmware_line) {
      const std::string& old = lines[i];
      text += old.substr(0, old.find_first_not_of(kBlank));
      text += "firmware ";
      text += firmware;
    } else {
      text += lines[i];
    }
    text += '\n';
  }
  return text;
}

std::optional<Bench> ParseBench(std::string_view text, std::string& error) {
  Bench bench;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    bench.lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }

  ATarget* current = nullptr;
  // Which properties the current A target has had, to catch repeats and omissions.
  std::map<std::string, bool, std::less<>> seen;
  std::size_t current_line = 0;
  auto fail = [&](std::size_t line, const std::string& message) {
    error = "line " + std::to_string(line + 1) + ": " + message;
    return std::nullopt;
  };
  auto missing = [&]() -> std::string {
    for (std::string_view key : {"via", "firmware", "device-type", "devinf"}) {
      if (!seen.count(key)) return std::string(key);
    }
    return {};
  };

  for (std::size_t n = 0; n < bench.lines.size(); ++n) {
    std::string_view line = Trim(bench.lines[n]);
    if (line.empty() || line.front() == '#') continue;
    std::string_view rest;
    std::string_view key = FirstWord(line, rest);

    if (key == "flash-ms") {
      auto ms = ParseInt(rest, 0, kMaxMilliseconds);
      if (!ms) return fail(n, "flash-ms wants milliseconds from 0 to 600000");
      bench.flash_ms = *ms;
    } else if (key == "a-target") {
      if (current && !missing().empty()) {
        return fail(current_line, "a-target " + current->mac + " has no " + missing() + " line");
      }
      if (!IsDashMac(rest)) return fail(n, "a-target wants a MAC like 00-01-40-12-34-56");
      for (const ATarget& other : bench.targets) {
        if (other.mac == rest) return fail(n, "a-target " + std::string(rest) + " appears twice");
      }
      current = &bench.targets.emplace_back();
      current->mac = rest;
      current_line = n;
      seen.clear();
    } else if (key == "fault") {
      std::vector<std::string_view> words = Words(rest);
      if (words.size() < 2 || !IsMemberName(words[0])) {
        return fail(n, "fault wants a member name (such as program_flash.bat) and a kind");
      }
      Faults& faults = bench.faults[std::string(words[0])];
      std::string_view kind = words[1];
      bool has_value = words.size() == 3;
      if (words.size() > 3) return fail(n, "fault has too many words");
      if (kind == "unreachable" && !has_value) {
        faults.unreachable = true;
      } else if (kind == "no-file" && !has_value) {
        faults.no_file = true;
      } else if (kind == "malformed" && !has_value) {
        faults.malformed = true;
      } else if (kind == "status" && has_value) {
        faults.status = ParseInt(words[2], -255, 255);
        if (!faults.status) return fail(n, "fault status wants a number from -255 to 255");
      } else if (kind == "delay" && has_value) {
        auto ms = ParseInt(words[2], 0, kMaxMilliseconds);
        if (!ms) return fail(n, "fault delay wants milliseconds from 0 to 600000");
        faults.delay_ms = *ms;
      } else {
        return fail(n, "unknown fault '" + std::string(rest) +
                           "' (kinds: unreachable, no-file, malformed, status N, delay MS)");
      }
    } else if (key == "via" || key == "firmware" || key == "device-type" || key == "devinf" ||
               key == "b-target") {
      if (!current) return fail(n, std::string(key) + " comes before any a-target line");
      if (key != "b-target" && !seen.emplace(std::string(key), true).second) {
        return fail(n, std::string(key) + " given twice for a-target " + current->mac);
      }
      if (key == "via") {
        if (!IsIpv4(rest)) return fail(n, "via wants an IPv4 address like 127.0.0.1");
        current->via = rest;
      } else if (key == "firmware") {
        if (rest.empty()) return fail(n, "firmware wants a version text");
        current->firmware = rest;
        current->firmware_line = n;
      } else if (key == "device-type") {
        std::string_view digits = rest;
        if (digits.starts_with("0x") || digits.starts_with("0X")) digits.remove_prefix(2);
        unsigned value = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
          return fail(n, "device-type wants a hexadecimal number like 0x21");
        }
        current->device_type = value;
      } else if (key == "devinf") {
        current->devinf = rest;
      } else {
        std::vector<std::string_view> words = Words(rest);
        if (words.size() != 5 || !IsDashMac(words[0]) || !IsNumber(words[1]) ||
            !IsNumber(words[2])) {
          return fail(n, "b-target wants: MAC SNR PER RATE-WORD RATE-WORD");
        }
        current->stations.push_back({std::string(words[0]), std::string(words[1]),
                                     std::string(words[2]), std::string(words[3]),
                                     std::string(words[4])});
      }
    } else {
      return fail(n, "unknown keyword '" + std::string(key) + "'");
    }
  }
  if (current && !missing().empty()) {
    return fail(current_line, "a-target " + current->mac + " has no " + missing() + " line");
  }
  return bench;
}

std::optional<Bench> LoadBench(const std::string& path, std::string& error) {
  std::string text;
  if (!ReadWhole(path, text)) {
    error = "cannot read the bench " + path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::optional<Bench> bench = ParseBench(text, error);
  if (!bench) error = path + ", " + error;
  return bench;
}

bool SetFirmware(const std::string& kernel_dir, std::string_view mac, std::string_view firmware,
                 std::string& error) {
  BenchLock lock(kernel_dir + "/" + std::string(kLockFile));
  if (!lock.held()) {
    error = "cannot lock the bench in " + kernel_dir + ": " + std::strerror(errno);
    return false;
  }
  std::string path = kernel_dir + "/" + std::string(kBenchFile);
  std::optional<Bench> bench = LoadBench(path, error);
  if (!bench) return false;
  std::optional<std::string> text = bench->WithFirmware(mac, firmware);
  if (!text) {
    error = "the bench has no a-target " + std::string(mac) + " any more";
    return false;
  }
  return ReplaceAtomically(kernel_dir, path, *text, error);
}
