// Tests of the scanf-style readers: glibc's own sscanf in the C locale is the reference for the
// number conversions, and a decimal-comma locale must not change what they read.
#include "common/text_scan.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// Switches the C library's locale for one scope (a QApplication has already set it from the
// environment).
class ScopedLocale final {
 public:
  explicit ScopedLocale(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~ScopedLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string saved_;
  bool ok_ = false;
};

// What glibc's sscanf makes of `text` with one conversion: the value and the characters consumed.
template <typename T>
std::optional<std::pair<T, int>> Reference(const std::string& text, const char* conversion) {
  T value{};
  int consumed = -1;
  std::string format = std::string(conversion) + "%n";
  if (std::sscanf(text.c_str(), format.c_str(), &value, &consumed) != 1) return std::nullopt;
  return std::pair<T, int>(value, consumed);
}

bool Same(std::uint32_t a, std::uint32_t b) { return a == b; }

// Same bits, or both NaN with the same sign.
bool Same(float a, float b) {
  if (std::isnan(a) || std::isnan(b)) {
    return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
  }
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Reads `text` with `read` and checks the value and what is left; for a successful read also that
// glibc's sscanf with `conversion` gives the same value from the same characters.
template <typename T>
void ExpectLikeScanf(const char* text, std::optional<T> (TextScanner::*read)(),
                     const char* conversion, const std::optional<T>& expected, const char* rest) {
  SCOPED_TRACE(std::string("input \"") + text + "\"");
  TextScanner in(text);
  std::optional<T> value = (in.*read)();
  ASSERT_EQ(value.has_value(), expected.has_value());
  EXPECT_EQ(in.Rest(), rest);
  if (!expected) return;
  EXPECT_TRUE(Same(*value, *expected)) << *value << " vs " << *expected;
  auto reference = Reference<T>(text, conversion);
  ASSERT_TRUE(reference.has_value());
  EXPECT_TRUE(Same(reference->first, *value)) << reference->first << " vs " << *value;
  EXPECT_EQ(static_cast<std::size_t>(reference->second), std::strlen(text) - std::strlen(rest));
}

struct HexCase {
  const char* text;
  std::optional<std::uint32_t> value;
  const char* rest;  // what is left after the conversion
};

const HexCase kHexCases[] = {
    {"1B", 0x1B, ""},
    {"ff", 0xFF, ""},
    {"  \n\t 2c:", 0x2C, ":"},
    {"0x1a3", 0x1A3, ""},
    {"0X1A3 tail", 0x1A3, " tail"},
    {"0xg", 0, "g"},  // scanf keeps "0x" and reads the 0
    {"-1", 0xFFFFFFFF, ""},
    {"+10", 0x10, ""},
    {"-0x10", 0xFFFFFFF0, ""},
    {"1FF", 0x1FF, ""},
    {"123456789", 0x23456789, ""},                // low 32 bits of a 64-bit value
    {"123456789ABCDEF01", 0xFFFFFFFF, ""},        // strtoul saturates
    {"-100000000", 0, ""},                        // -2^32 modulo 2^64
    {"00000000000000000000000000000001", 1, ""},  // leading zeros are no overflow
    {"g1", std::nullopt, "g1"},
    {"  -", std::nullopt, "-"},
    {"", std::nullopt, ""},
    {"   ", std::nullopt, ""},
};

TEST(TextScannerHex, ReadsAsScanfDoes) {
  ScopedLocale c_locale("C");
  for (const HexCase& c : kHexCases) {
    ExpectLikeScanf<std::uint32_t>(c.text, &TextScanner::Hex, "%X", c.value, c.rest);
  }
}

struct FloatCase {
  const char* text;
  std::optional<float> value;
  const char* rest;
};

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

const FloatCase kFloatCases[] = {
    {"0.01", 0.01f, ""},
    {"-3", -3.0f, ""},
    {"1e16", 1e16f, ""},
    {"31.2 db,", 31.2f, " db,"},
    {"nan", kNaN, ""},
    {"-NaN(x)", -kNaN, "(x)"},
    {"\n +2.5E-3", 2.5e-3f, ""},
    {".5", 0.5f, ""},
    {"5.", 5.0f, ""},
    {"1e", 1.0f, ""},  // scanf takes the "e" and strtof reads the 1
    {"1e+", 1.0f, ""},
    {"1.5.2", 1.5f, ".2"},
    {"7e2e3", 700.0f, "e3"},
    {"inf", kInf, ""},
    {"-Infinity!", -kInf, "!"},
    {"infx", kInf, "x"},
    {"1e60", kInf, ""},     // too large for a float
    {"-1e-60", -0.0f, ""},  // too small
    {"1e400", kInf, ""},    // too large even for a double
    {"1e-400", 0.0f, ""},
    {"0x1.8p1", 3.0f, ""},
    {"0x10", 16.0f, ""},
    {"0x1p", 1.0f, ""},
    {"0,5", 0.0f, ",5"},            // a comma is never a decimal point
    {"16777217", 16777216.0f, ""},  // rounds to nearest single
    {"", std::nullopt, ""},
    {".", std::nullopt, "."},
    {"-e5", std::nullopt, "-e5"},
    {"infi", std::nullopt, "infi"},
    {"na", std::nullopt, "na"},
    {"0x", std::nullopt, "0x"},
    {"abc", std::nullopt, "abc"},
};

TEST(TextScannerFloat, ReadsAsScanfDoesInTheCLocale) {
  ScopedLocale c_locale("C");
  for (const FloatCase& c : kFloatCases) {
    ExpectLikeScanf<float>(c.text, &TextScanner::Float, "%f", c.value, c.rest);
  }
}

TEST(TextScannerFloat, IgnoresADecimalCommaLocale) {
  ScopedLocale german("de_DE.UTF-8");
  if (!german.ok()) GTEST_SKIP() << "locale de_DE.UTF-8 is not generated on this machine";
  // The C library now reads "0.01" as 0: the locale is really in force.
  auto reference = Reference<float>("0.01", "%f");
  ASSERT_TRUE(reference.has_value());
  ASSERT_EQ(reference->first, 0.0f);

  TextScanner in("per 0.01 snr 31.2 db");
  ASSERT_TRUE(in.Literal("per"));
  EXPECT_EQ(in.Float(), 0.01f);
  in.SkipSpace();
  ASSERT_TRUE(in.Literal("snr"));
  EXPECT_EQ(in.Float(), 31.2f);
}

struct ColonCase {
  const char* text;
  int count;
  std::array<std::uint32_t, 6> values;  // the first `count` are checked
  const char* rest;
};

const ColonCase kColonCases[] = {
    {"0:a:1B:2c:3D:4e", 6, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, ""},
    {"1FF:2:3:4:5:FFFFFFFFF\n", 6, {0x1FF, 2, 3, 4, 5, 0xFFFFFFFF}, "\n"},
    {"1:2:3:4:5", 5, {1, 2, 3, 4, 5}, ""},
    {"1:2 :3:4:5:6", 2, {1, 2}, " :3:4:5:6"},            // a blank before a colon stops the scan
    {"1: 2:\t3:\n4:  5: 6", 6, {1, 2, 3, 4, 5, 6}, ""},  // blanks after a colon are skipped
    {"\n\n  00:01:40:0A:0B:0C\n00:01:40:0A:0B:0D\n",
     6,
     {0, 1, 0x40, 0x0A, 0x0B, 0x0C},
     "\n00:01:40:0A:0B:0D\n"},
    {"1-2-3-4-5-6", 1, {1}, "-2-3-4-5-6"},
    {"", 0, {}, ""},
    {"zz:1", 0, {}, "zz:1"},
    {"1:2:3:4:5:", 5, {1, 2, 3, 4, 5}, ""},
};

TEST(ScanColonList, MatchesTheSixNumberPattern) {
  for (const ColonCase& c : kColonCases) {
    SCOPED_TRACE(std::string("input \"") + c.text + "\"");
    TextScanner in(c.text);
    std::array<std::uint32_t, 6> values{};
    ASSERT_EQ(ScanColonList(in, values), c.count);
    for (int i = 0; i < c.count; ++i) EXPECT_EQ(values[i], c.values[i]) << "number " << i;
    EXPECT_EQ(in.Rest(), c.rest);

    std::array<unsigned, 6> reference{};
    int scanned = std::sscanf(c.text, "%X:%X:%X:%X:%X:%X", &reference[0], &reference[1],
                              &reference[2], &reference[3], &reference[4], &reference[5]);
    EXPECT_EQ(std::max(scanned, 0), c.count);
  }
}

TEST(ScanColonList, ReadsEntriesOneAfterAnother) {
  TextScanner in("00:01:40:0a:0b:0c\r\n00:01:40:0A:0B:0D\n\n  1:2:3\n");
  std::array<std::uint32_t, 6> values{};
  std::vector<std::uint32_t> last_bytes;
  while (ScanColonList(in, values) == 6) last_bytes.push_back(values[5]);
  EXPECT_EQ(last_bytes, (std::vector<std::uint32_t>{0x0C, 0x0D}));
}

struct LineCase {
  const char* text;
  std::size_t bound;
  std::vector<std::string> lines;  // every ReadLine until it gives the empty text
};

const LineCase kLineCases[] = {
    {"", 39, {}},
    {"2.7.3 Dec 21 2006 00:25:10\n", 39, {"2.7.3 Dec 21 2006 00:25:10\n"}},
    {"one\ntwo\n\nfour", 39, {"one\n", "two\n", "\n", "four"}},
    {"abcdefgh\n", 3, {"abc", "def", "gh\n"}},  // a longer line comes in pieces
    {"abc\n", 3, {"abc", "\n"}},                // the newline does not fit with the bound
    {"ab", 0, {}},
};

TEST(TextScannerReadLine, StopsAfterNewlineOrBound) {
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE(std::string("input \"") + c.text + "\" bound " + std::to_string(c.bound));
    TextScanner in(c.text);
    std::vector<std::string> lines;
    for (std::string line; !(line = in.ReadLine(c.bound)).empty() && lines.size() < 10;) {
      lines.push_back(line);
    }
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(TextScannerReadLine, LineEndsAtANulByte) {
  // What follows a NUL is not part of the text a reader sees, yet the line is consumed whole.
  TextScanner in(std::string_view("2.7.3\0ERROR\nnext\n", 18));
  EXPECT_EQ(in.ReadLine(39), "2.7.3");
  EXPECT_EQ(in.ReadLine(39), "next\n");
}

TEST(TextScanner, ReadsTheDiagnosticPattern) {
  // "pkts %s per %f snr %f db, rate: %s %s\n": blanks match any white space, also none.
  TextScanner in("pkts 10000 per\t0.01 snr 31.2db, rate:  HPNA2.0\nQAM256\n");
  auto blank_then = [&](std::string_view text) {
    in.SkipSpace();
    return in.Literal(text);
  };
  ASSERT_TRUE(in.Literal("pkts"));
  EXPECT_EQ(in.Word(), "10000");
  ASSERT_TRUE(blank_then("per"));
  EXPECT_EQ(in.Float(), 0.01f);
  ASSERT_TRUE(blank_then("snr"));
  EXPECT_EQ(in.Float(), 31.2f);
  ASSERT_TRUE(blank_then("db,"));
  ASSERT_TRUE(blank_then("rate:"));
  EXPECT_EQ(in.Word(), "HPNA2.0");
  EXPECT_EQ(in.Word(), "QAM256");
  EXPECT_EQ(in.Word(), std::nullopt);
  EXPECT_TRUE(in.AtEnd());
}

TEST(TextScanner, LiteralDoesNotSkipOrConsumeOnMismatch) {
  TextScanner in(" pkts");
  EXPECT_FALSE(in.Literal("pkts"));
  EXPECT_FALSE(in.Literal('p'));
  EXPECT_TRUE(in.Literal(' '));
  EXPECT_FALSE(in.Literal("pktsx"));
  EXPECT_TRUE(in.Literal("pkts"));
  EXPECT_TRUE(in.AtEnd());
}

}  // namespace
