// The bench of simulated bridges: its line-oriented text format, lookups, and the one change a
// run makes to it (a target's firmware), done by atomic replacement under a lock.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The eight members, by the names the window runs them under.
inline constexpr std::string_view kMemberNames[] = {
    "read.exe",          "version.bat",      "get_device_type.bat", "get_devinf.bat",
    "query_address.bat", "get_stations.bat", "per_test.bat",        "program_flash.bat"};
bool IsMemberName(std::string_view name);

// Files the members keep in the Kernel folder.
inline constexpr std::string_view kBenchFile = "sim_bench.txt";
inline constexpr std::string_view kLockFile = "sim_bench.lock";
inline constexpr std::string_view kJournalFile = "sim_journal.tsv";

// A B target as an A target sees it across the line.
struct Station {
  std::string mac;  // dash form
  std::string snr;  // decibels, as written in the bench (checked to be a number)
  std::string per;  // packet error rate, likewise
  std::string rate1;
  std::string rate2;
};

// An A target: a bridge cabled to the PC, reached through one interface address.
struct ATarget {
  std::string mac;  // dash form
  std::string via;  // the PC interface address that reaches it
  std::string firmware;
  unsigned device_type = 0;
  std::string devinf;
  std::vector<Station> stations;
  std::size_t firmware_line = 0;  // index into Bench::lines
};

// Fault switches of one member.
struct Faults {
  bool unreachable = false;
  std::optional<int> status;
  bool no_file = false;
  bool malformed = false;
  int delay_ms = 0;
};

struct Bench {
  int flash_ms = 3000;
  std::vector<ATarget> targets;
  std::map<std::string, Faults, std::less<>> faults;
  std::vector<std::string> lines;  // the text as read, so that an edit keeps comments and layout

  // The A target with that MAC reached through that address, or null.
  const ATarget* Find(std::string_view mac, std::string_view via) const;
  // The first A target reached through that address, or null.
  const ATarget* FindVia(std::string_view via) const;
  Faults FaultsOf(std::string_view member) const;
  // The text with the target's firmware line replaced (indentation kept); nullopt when the bench
  // has no A target with that MAC.
  std::optional<std::string> WithFirmware(std::string_view mac, std::string_view firmware) const;
};

// Parses bench text. On failure returns nullopt and sets `error` to "line N: what is wrong".
std::optional<Bench> ParseBench(std::string_view text, std::string& error);

// Reads and parses a bench file; `error` names the file on failure.
std::optional<Bench> LoadBench(const std::string& path, std::string& error);

// Sets the firmware of the A target `mac` in the bench file of `kernel_dir`: takes the lock file,
// re-reads the bench, writes the new text beside it, syncs and renames it over the old one, so a
// killed run never leaves half a bench and concurrent runs never lose each other's change.
// False with `error` set when the bench cannot be read, holds no such target, or cannot be written.
bool SetFirmware(const std::string& kernel_dir, std::string_view mac, std::string_view firmware,
                 std::string& error);

// Argument checks shared by the members.
// "XX-XX-XX-XX-XX-XX", upper-case hexadecimal digits.
bool IsDashMac(std::string_view text);
// Dotted-quad IPv4 address, each part 0 to 255 in one to three decimal digits.
bool IsIpv4(std::string_view text);
// "00-01-40-12-34-56" -> "00:01:40:12:34:56".
std::string ColonMac(std::string_view dash_mac);
// The hardware configuration the target reports in its device-information line: the field between
// "hw=" and " pin=", words "W1 W2 #W3" joined as "W1_W2_W3", or its first word when it has not
// that shape, or empty.
std::string HardwareConfigOf(std::string_view devinf);
