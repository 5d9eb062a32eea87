// Text forms of a MacAddress.
#include "common/mac_address.h"

namespace {

std::string Join(const MacAddress& mac, char separator) {
  std::string out;
  for (std::size_t i = 0; i < mac.bytes.size(); ++i) {
    if (i != 0) out += separator;
    out += ByteText(mac.bytes[i]);
  }
  return out;
}

}  // namespace

std::string ByteText(std::uint8_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string DashForm(const MacAddress& mac) { return Join(mac, '-'); }

std::string ColonForm(const MacAddress& mac) { return Join(mac, ':'); }
