// Maps a capture device's name to the key of its adapter record.
#include <cctype>
#include <string_view>

#include "net/sources.h"

std::string NpfAdapterKey(const std::string& device_name) {
  static constexpr std::string_view kPrefix = "\\Device\\NPF_";
  if (device_name.compare(0, kPrefix.size(), kPrefix) != 0) return {};
  std::size_t begin = kPrefix.size();
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (begin < device_name.size() && blank(device_name[begin])) ++begin;
  std::size_t end = begin;
  while (end < device_name.size() && !blank(device_name[end])) ++end;
  return device_name.substr(begin, end - begin);
}

std::string AdapterKey(const std::string& device_name) {
#ifdef _WIN32
  return NpfAdapterKey(device_name);
#else
  // libpcap names a Linux capture device after its network interface.
  return device_name;
#endif
}
