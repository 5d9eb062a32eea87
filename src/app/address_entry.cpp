// Address field conversion, tab reads and byte stepping.
#include "app/address_entry.h"

#include "common/desk.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void ShowReadError(Desk& desk, const std::string& text) { desk.ShowError(text, "Error"); }

}  // namespace

std::optional<std::uint32_t> ConvertHexField(const std::string& text) {
  // A signed 32-bit result: more than eight digits cannot be held and fails like any other text.
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  if (value > 0x7FFFFFFFu) return std::nullopt;
  return value;
}

bool ReadTargets(MainState& state, Desk& desk, std::optional<std::size_t> selected,
                 const std::vector<AddressRow>& rows) {
  state.InterfaceIp.clear();
  if (selected && *selected < state.Interfaces.size()) {
    state.InterfaceIp = state.Interfaces[*selected].IpAddress;
  }
  if (state.InterfaceIp.empty()) {
    ShowReadError(desk, "Can't get the Interface IP");
    return false;
  }
  for (const AddressRow& row : rows) {
    for (const std::string& field : row.fields) {
      if (field.size() != 2) {
        ShowReadError(desk, "Invalid MAC Address");
        return false;
      }
    }
  }
  for (const AddressRow& row : rows) {
    for (std::size_t i = 0; i < row.fields.size(); ++i) {
      std::optional<std::uint32_t> value = ConvertHexField(row.fields[i]);
      if (!value) {
        ShowReadError(desk, "Invalid MAC Address");
        return false;
      }
      row.target->bytes[i] = static_cast<std::uint8_t>(*value);
    }
  }
  return true;
}

std::string StepByteField(const std::string& text, int delta) {
  std::optional<std::uint32_t> value = ConvertHexField(text);
  if (!value) throw ConversionError("'0x" + text + "' is not a valid integer value");
  long long next = static_cast<long long>(*value) + delta;
  if (next >= 256) next = 0;
  if (next < 0) next = 255;
  return ByteText(static_cast<std::uint8_t>(next));
}
