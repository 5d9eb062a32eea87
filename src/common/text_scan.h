// Locale-independent readers for the toolchain's small result files: bounded line reads and the
// scanf conversions %X, %s and %f, with scanf's rules for white space. No fixed buffers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TextScanner {
 public:
  explicit TextScanner(std::string_view text) : text_(text) {}

  // Like fgets with room for `max_chars` characters: stops after a newline (kept) or after
  // `max_chars` characters. Empty at the end of the text.
  std::string ReadLine(std::size_t max_chars);

  // Skips any run of white space (space, \t, \n, \v, \f, \r), also none; a blank in a pattern.
  void SkipSpace();
  // Matches one literal character at the cursor (no white space skipped).
  bool Literal(char c);
  // Matches a literal text at the cursor (no white space skipped).
  bool Literal(std::string_view text);
  // %X: skips white space, then an optional sign, an optional 0x, hexadecimal digits in either
  // case. Nothing converted leaves the cursor after the skipped white space.
  std::optional<std::uint32_t> Hex();
  // %s: skips white space, then takes the run of characters up to the next white space.
  std::optional<std::string> Word();
  // %f: skips white space, then a decimal number with optional sign, fraction and exponent
  // (also inf and nan), as a single-precision value.
  std::optional<float> Float();

  bool AtEnd() const { return pos_ >= text_.size(); }
  std::string_view Rest() const { return text_.substr(pos_); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// "%X:%X:%X:%X:%X:%X": a colon must follow its number directly; white space may stand before a
// number. Returns how many numbers were converted (0 to 6); `values` holds them.
int ScanColonList(TextScanner& in, std::array<std::uint32_t, 6>& values);
