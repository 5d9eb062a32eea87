// Reading and stepping the address fields; plain C++ so it is tested without a window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/main_state.h"

class Desk;

// The toolkit's conversion error for a field that is not hexadecimal, escaping a stepping handler
// to the application's default error display.
class ConversionError final : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The strict conversion of "0x" + text: at least one character, every one a hexadecimal digit.
std::optional<std::uint32_t> ConvertHexField(const std::string& text);

// One editor's six field texts and the address they are stored into.
struct AddressRow {
  std::array<std::string, 6> fields;
  MacAddress* target;
};

// Copies the selected slot's address text into InterfaceIp and stores the rows' fields, in order,
// into their addresses. On failure shows its one box ("Can't get the Interface IP" or "Invalid MAC
// Address") and returns false.
bool ReadTargets(MainState& state, Desk& desk, std::optional<std::size_t> selected,
                 const std::vector<AddressRow>& rows);

// The field's byte plus `delta` (+1 or -1), wrapping within 0..255, as two uppercase digits.
// Throws ConversionError with "'0x<text>' is not a valid integer value".
std::string StepByteField(const std::string& text, int delta);
