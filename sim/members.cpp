// The eight toolchain members: argument checks, the bench lookups behind each answer, result files,
// fault switches and the firmware change of a flash.
#include "members.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string_view>
#include <thread>

#include "bench.h"
#include "common/kit.h"

namespace {

// What one argument word must be.
enum class Want { kLiteral, kIp, kMac, kHex, kWord, kPe, kCount };

struct Slot {
  Want want;
  std::string_view name;  // the literal itself, or the placeholder shown in the usage line
};

struct Context {
  std::string member;
  std::string kernel;
  std::vector<std::string> words;
  Bench bench;
  Faults faults;
};

void Complain(const Context& run, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", run.member.c_str(), message.c_str());
}

bool IsHexNumber(std::string_view text) {
  if (!text.starts_with("0x") && !text.starts_with("0X")) return false;
  text.remove_prefix(2);
  return !text.empty() && text.find_first_not_of("0123456789abcdefABCDEF") == text.npos;
}

std::optional<long> Decimal(std::string_view text, long low, long high) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != text.npos) {
    return std::nullopt;
  }
  long value = std::stol(std::string(text));
  if (value < low || value > high) return std::nullopt;
  return value;
}

bool Fits(const Slot& slot, const std::string& word) {
  switch (slot.want) {
    case Want::kLiteral:
      return word == slot.name;
    case Want::kIp:
      return IsIpv4(word);
    case Want::kMac:
      return IsDashMac(word);
    case Want::kHex:
      return IsHexNumber(word);
    case Want::kWord:
      return !word.empty();
    case Want::kPe:
      return Decimal(word, 0, 255).has_value();
    case Want::kCount:
      return Decimal(word, 1, 1000000).has_value();
  }
  return false;
}

std::string Describe(const Slot& slot) {
  switch (slot.want) {
    case Want::kLiteral:
      return "the word '" + std::string(slot.name) + "'";
    case Want::kIp:
      return "an IPv4 address like 192.168.0.2";
    case Want::kMac:
      return "a MAC in the form XX-XX-XX-XX-XX-XX with upper-case hexadecimal digits";
    case Want::kHex:
      return "a hexadecimal number like 0x0";
    case Want::kWord:
      return "a word";
    case Want::kPe:
      return "a payload encoding from 0 to 255";
    case Want::kCount:
      return "a whole number from 1 to 1000000";
  }
  return {};
}

// Checks the argument words against `slots`; explains the first problem and the usage on stderr.
bool CheckWords(const Context& run, std::initializer_list<Slot> slots) {
  std::string usage = "usage: " + run.member;
  for (const Slot& slot : slots) usage += " " + std::string(slot.name);
  if (run.words.size() != slots.size()) {
    Complain(run, "wants " + std::to_string(slots.size()) + " argument words, got " +
                      std::to_string(run.words.size()) + "; " + usage);
    return false;
  }
  std::size_t index = 0;
  for (const Slot& slot : slots) {
    const std::string& word = run.words[index++];
    if (!Fits(slot, word)) {
      Complain(run, "word " + std::to_string(index) + " '" + word + "' should be " +
                        Describe(slot) + "; " + usage);
      return false;
    }
  }
  return true;
}

constexpr Slot kIpSlot{Want::kIp, "IP"};
constexpr Slot kMacSlot{Want::kMac, "MAC"};

// The A target named by MAC that answers through IP, unless the member's switch cuts it off.
const ATarget* Reach(const Context& run, const std::string& ip, const std::string& mac) {
  const ATarget* target = run.faults.unreachable ? nullptr : run.bench.Find(mac, ip);
  if (!target) Complain(run, "no target " + mac + " answers through " + ip);
  return target;
}

// Writes a result file into the Kernel folder, or the malformed text, or nothing, as the member's
// switches say. A failed write is the simulation's own failure.
int WriteResult(const Context& run, std::string_view file, const std::string& good,
                const std::string& malformed) {
  if (run.faults.no_file) return kStatusOk;
  const std::string& text = run.faults.malformed ? malformed : good;
  std::string path = run.kernel + "/" + std::string(file);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    Complain(run, "cannot write " + path + ": " + std::strerror(errno));
    return kStatusSimFailure;
  }
  return kStatusOk;
}

int ReadTarget(const Context& run) {
  if (!CheckWords(run, {{Want::kLiteral, "-i"},
                        kIpSlot,
                        {Want::kLiteral, "-m"},
                        kMacSlot,
                        {Want::kLiteral, "-a"},
                        {Want::kHex, "0x0"}})) {
    return kStatusUsage;
  }
  return Reach(run, run.words[1], run.words[3]) ? kStatusOk : kStatusUnreachable;
}

// The three members that read one fact of a target given by " IP MAC".
int TargetFact(const Context& run, std::string_view file,
               const std::function<std::string(const ATarget&)>& fact,
               const std::string& malformed) {
  if (!CheckWords(run, {kIpSlot, kMacSlot})) return kStatusUsage;
  const ATarget* target = Reach(run, run.words[0], run.words[1]);
  if (!target) return kStatusUnreachable;
  return WriteResult(run, file, fact(*target) + "\n", malformed);
}

std::string HexText(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

int QueryAddress(const Context& run) {
  if (!CheckWords(run, {kIpSlot})) return kStatusUsage;
  const std::string& ip = run.words[0];
  const ATarget* target = run.faults.unreachable ? nullptr : run.bench.FindVia(ip);
  if (!target) {
    Complain(run, "no target answers through " + ip);
    return kStatusUnreachable;
  }
  std::string colon = ColonMac(target->mac);
  return WriteResult(run, "query_address.tmp", colon + "\n", colon.substr(0, 14) + "\n");
}

int GetStations(const Context& run) {
  if (!CheckWords(run, {kIpSlot, {Want::kMac, "AMAC"}})) return kStatusUsage;
  const ATarget* target = Reach(run, run.words[0], run.words[1]);
  if (!target) return kStatusUnreachable;
  // Real bridges list themselves among the stations on the line.
  std::string list = ColonMac(target->mac) + "\n";
  for (const Station& station : target->stations) list += ColonMac(station.mac) + "\n";
  return WriteResult(run, "get_stations.tmp", list,
                     ColonMac(target->mac).substr(0, 11) + "\n" + list);
}

int PerTest(const Context& run) {
  if (!CheckWords(run, {kIpSlot,
                        {Want::kMac, "AMAC"},
                        {Want::kMac, "BMAC"},
                        {Want::kPe, "PE"},
                        {Want::kCount, "SIZE"},
                        {Want::kCount, "PACKETS"}})) {
    return kStatusUsage;
  }
  const ATarget* target = Reach(run, run.words[0], run.words[1]);
  if (!target) return kStatusUnreachable;
  const std::string& b_mac = run.words[2];
  for (const Station& station : target->stations) {
    if (station.mac != b_mac) continue;
    std::string line = "pkts " + run.words[5] + " per " + station.per + " snr " + station.snr +
                       " db, rate: " + station.rate1 + " " + station.rate2 + "\n";
    return WriteResult(run, "snr.tmp", line, "link test aborted: no reply from " + b_mac + "\n");
  }
  Complain(run, "B target " + b_mac + " is not on the line of A target " + target->mac);
  return kStatusUnreachable;
}

// mkprm.exe's part: a parameter file needs at least one "name=value" line.
int CheckParameterFile(const Context& run, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || !in) {
    Complain(run, "parameter file " + path + " not found");
    return kFlashPrmMissing;
  }
  for (std::string line; std::getline(in, line);) {
    std::size_t first = line.find_first_not_of(" \t\r");
    if (first == line.npos || line[first] == ';' || line[first] == '#') continue;
    if (line.find('=', first) != line.npos) return kStatusOk;
  }
  Complain(run, "mkprm.exe: no parameters in " + path);
  return kFlashParameters;
}

int ProgramFlash(const Context& run) {
  if (!CheckWords(run, {kIpSlot,
                        {Want::kMac, "AMAC"},
                        {Want::kWord, "HWCONF"},
                        {Want::kWord, "PRMFILE"},
                        {Want::kMac, "CONNMAC"},
                        {Want::kLiteral, "NO_PRM_INF"}})) {
    return kFlashInvalidInput;
  }
  const std::string& ip = run.words[0];
  const std::string& mac = run.words[1];
  const std::string& hw_config = run.words[2];
  if (run.words[4] != mac) {
    Complain(run, "the connected target " + run.words[4] + " is not the target to program " + mac);
    return kFlashInvalidInput;
  }
  if (int status = CheckParameterFile(run, run.words[3]); status != kStatusOk) return status;
  const ATarget* target = Reach(run, ip, mac);
  if (!target) return kFlashFailed;
  std::string target_config = HardwareConfigOf(target->devinf);
  if (::strcasecmp(target_config.c_str(), hw_config.c_str()) != 0) {
    Complain(run, "image for hardware " + hw_config + " does not fit target " + mac +
                      " with hardware '" + target_config + "'");
    return kFlashInvalidInput;
  }

  std::printf("%s: programming %s through %s (%d ms)\n", run.member.c_str(), mac.c_str(),
              ip.c_str(), run.bench.flash_ms);
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::milliseconds(run.bench.flash_ms));
  // A switch that forces a failure leaves the target as it was.
  if (run.faults.status && *run.faults.status < 0) return *run.faults.status;

  std::string error;
  if (!SetFirmware(run.kernel, mac, kKitBuild, error)) {
    Complain(run, error);
    return kStatusSimFailure;
  }
  std::printf("%s: %s now runs %s\n", run.member.c_str(), mac.c_str(), kKitBuild.data());
  return kStatusOk;
}

int Dispatch(const Context& run) {
  const std::string& m = run.member;
  if (m == "read.exe") return ReadTarget(run);
  if (m == "version.bat") {
    return TargetFact(
        run, "verinfo.txt", [](const ATarget& t) { return t.firmware; },
        "ERROR: garbled reply from the target\n");
  }
  if (m == "get_device_type.bat") {
    return TargetFact(
        run, "get_device_type.tmp", [](const ATarget& t) { return HexText(t.device_type); },
        "type?\n");
  }
  if (m == "get_devinf.bat") {
    return TargetFact(
        run, "get_devinf.tmp", [](const ATarget& t) { return t.devinf; }, "garbled reply\n");
  }
  if (m == "query_address.bat") return QueryAddress(run);
  if (m == "get_stations.bat") return GetStations(run);
  if (m == "per_test.bat") return PerTest(run);
  return ProgramFlash(run);
}

}  // namespace

int RunMember(const std::string& member, const std::string& kernel_dir,
              const std::vector<std::string>& words) {
  Context run{member, kernel_dir, words, {}, {}};
  std::string error;
  std::optional<Bench> bench = LoadBench(kernel_dir + "/" + std::string(kBenchFile), error);
  if (!bench) {
    Complain(run, error);
    return kStatusSimFailure;
  }
  run.bench = std::move(*bench);
  run.faults = run.bench.FaultsOf(member);
  if (run.faults.delay_ms > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(run.faults.delay_ms));
  }
  int status = Dispatch(run);
  if (!run.faults.status) return status;
  Complain(run, "the bench forces status " + std::to_string(*run.faults.status) +
                    " (without the switch: " + std::to_string(status) + ")");
  return *run.faults.status;
}
