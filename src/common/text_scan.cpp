// Locale-independent scanf-style readers (%X, %s, %f, literals) and fgets-like line reads.
#include "common/text_scan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An optional sign at `p`, taken; true for a minus.
bool TakeSign(std::string_view text, std::size_t& p) {
  if (p >= text.size() || (text[p] != '+' && text[p] != '-')) return false;
  return text[p++] == '-';
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-insensitive match of `word` (lower case) at `pos`.
bool MatchesFolded(std::string_view text, std::size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (Lower(text[pos + i]) != word[i]) return false;
  }
  return true;
}

// What strtof would give for a number that std::from_chars reports as out of range: an overflow
// becomes infinity, an underflow zero, both with the number's sign.
float OutOfRangeValue(std::string_view number, bool negative, bool hex) {
  // Decide by the double-precision reading where it exists; otherwise by the exponent's sign.
  double wide = 0;
  auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), wide,
                                   hex ? std::chars_format::hex : std::chars_format::general);
  bool huge;
  if (ec == std::errc()) {
    huge = wide > 1.0;
  } else {
    std::size_t exp = number.find_first_of(hex ? "pP" : "eE");
    huge = exp == std::string_view::npos || exp + 1 >= number.size() || number[exp + 1] != '-';
  }
  float value = huge ? std::numeric_limits<float>::infinity() : 0.0f;
  return negative ? -value : value;
}

}  // namespace

std::string TextScanner::ReadLine(std::size_t max_chars) {
  std::size_t end = pos_;
  while (end < text_.size() && end - pos_ < max_chars) {
    if (text_[end++] == '\n') break;
  }
  std::string line(text_.substr(pos_, end - pos_));
  pos_ = end;
  // The line is a C string to its readers: it ends at a NUL byte.
  line.resize(std::min(line.size(), line.find('\0')));
  return line;
}

void TextScanner::SkipSpace() {
  while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
}

bool TextScanner::Literal(char c) {
  if (pos_ >= text_.size() || text_[pos_] != c) return false;
  ++pos_;
  return true;
}

bool TextScanner::Literal(std::string_view text) {
  if (text_.substr(pos_).substr(0, text.size()) != text) return false;
  pos_ += text.size();
  return true;
}

std::optional<std::uint32_t> TextScanner::Hex() {
  SkipSpace();
  const std::size_t start = pos_;
  std::size_t p = pos_;
  const bool negative = TakeSign(text_, p);
  bool any = false;
  if (p < text_.size() && text_[p] == '0') {
    // scanf keeps "0x" even when no digit follows: the number is then the 0 before it.
    any = true;
    ++p;
    if (p < text_.size() && Lower(text_[p]) == 'x') ++p;
  }
  // strtoul's arithmetic: an overflow saturates at ULONG_MAX, a minus sign negates modulo 2^64,
  // and scanf stores the low 32 bits.
  std::uint64_t value = 0;
  bool overflow = false;
  for (int digit; p < text_.size() && (digit = HexDigitValue(text_[p])) >= 0; ++p) {
    any = true;
    if (value > (std::numeric_limits<std::uint64_t>::max() >> 4)) overflow = true;
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  if (!any) {
    pos_ = start;
    return std::nullopt;
  }
  pos_ = p;
  if (overflow) return std::numeric_limits<std::uint32_t>::max();
  if (negative) value = ~value + 1;
  return static_cast<std::uint32_t>(value);
}

std::optional<std::string> TextScanner::Word() {
  SkipSpace();
  const std::size_t start = pos_;
  while (pos_ < text_.size() && !IsSpace(text_[pos_])) ++pos_;
  if (pos_ == start) return std::nullopt;
  return std::string(text_.substr(start, pos_ - start));
}

std::optional<float> TextScanner::Float() {
  SkipSpace();
  const std::size_t start = pos_;
  std::size_t p = pos_;
  const bool negative = TakeSign(text_, p);
  // copysign, since multiplying a NaN by -1 need not change its sign bit.
  auto with_sign = [negative](float magnitude) {
    return std::copysign(magnitude, negative ? -1.0f : 1.0f);
  };

  if (MatchesFolded(text_, p, "nan")) {
    pos_ = p + 3;
    return with_sign(std::numeric_limits<float>::quiet_NaN());
  }
  if (MatchesFolded(text_, p, "inf")) {
    p += 3;
    // Like glibc: after "inf" an 'i' commits to "infinity"; anything shorter is no number.
    if (p < text_.size() && Lower(text_[p]) == 'i') {
      if (!MatchesFolded(text_, p, "inity")) {
        pos_ = start;
        return std::nullopt;
      }
      p += 5;
    }
    pos_ = p;
    return with_sign(std::numeric_limits<float>::infinity());
  }

  // Collect the characters glibc's scanf would take: digits with one point, then an exponent
  // mark with an optional sign right after it, then exponent digits. A hexadecimal mantissa after
  // "0x" takes a binary exponent "p".
  const std::size_t number_start = p;
  bool hex = false;
  bool got_digit = false;
  if (p + 1 < text_.size() && text_[p] == '0' && Lower(text_[p + 1]) == 'x') {
    hex = true;
    p += 2;
  }
  const std::size_t mantissa_start = p;
  const char exp_char = hex ? 'p' : 'e';
  bool got_dot = false;
  bool got_e = false;
  while (p < text_.size()) {
    const char c = text_[p];
    const bool digit = hex ? HexDigitValue(c) >= 0 : IsDigit(c);
    if (digit && !(got_e && hex && !IsDigit(c))) {
      got_digit = true;
    } else if (got_e && Lower(text_[p - 1]) == exp_char && (c == '+' || c == '-')) {
    } else if (got_digit && !got_e && Lower(c) == exp_char) {
      got_e = got_dot = true;
    } else if (c == '.' && !got_dot) {
      got_dot = true;
    } else {
      break;
    }
    ++p;
  }
  // glibc rejects a decimal number without digits and a bare "0x"; after "0x" a lone point still
  // reads as the 0 before the x.
  if (hex ? p == mantissa_start : !got_digit) {
    pos_ = start;
    return std::nullopt;
  }
  pos_ = p;

  // from_chars reads the longest valid prefix ("1e" reads as 1, as strtof does).
  const std::string_view number = hex ? text_.substr(mantissa_start, p - mantissa_start)
                                      : text_.substr(number_start, p - number_start);
  float value = 0;
  auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                   hex ? std::chars_format::hex : std::chars_format::general);
  if (ec == std::errc::result_out_of_range) return OutOfRangeValue(number, negative, hex);
  if (ec != std::errc()) return with_sign(0.0f);  // "0x." and the like: the 0 before the x
  return with_sign(value);
}

int ScanColonList(TextScanner& in, std::array<std::uint32_t, 6>& values) {
  for (int i = 0; i < 6; ++i) {
    if (i > 0 && !in.Literal(':')) return i;
    std::optional<std::uint32_t> value = in.Hex();
    if (!value) return i;
    values[static_cast<std::size_t>(i)] = *value;
  }
  return 6;
}
