// Six-byte Ethernet address and its two text forms.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct MacAddress {
  std::array<std::uint8_t, 6> bytes{};
  bool operator==(const MacAddress&) const = default;
};

// "00-01-40-0A-0B-0C": every toolchain argument line and the upgrade log.
std::string DashForm(const MacAddress& mac);
// "00:01:40:0A:0B:0C": the selection dialog and the query logs.
std::string ColonForm(const MacAddress& mac);
// Two uppercase hexadecimal digits, as the address fields show a byte.
std::string ByteText(std::uint8_t value);
