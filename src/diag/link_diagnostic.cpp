// The link test between the A and B targets and the reading of its result line.
#include "diag/link_diagnostic.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "common/mac_address.h"
#include "common/text_scan.h"
#include "target/connect.h"
#include "tools/kernel_folder.h"

namespace {

constexpr char kCaption[] = "Error";
constexpr char kSnrFile[] = "snr.tmp";
constexpr char kPerTest[] = "per_test.bat";
// The result line is read with room for 199 characters; anything beyond is not part of it.
constexpr std::size_t kSnrLineChars = 199;
constexpr std::size_t kShownChars = 5;

}  // namespace

SnrLine ParseSnrFile(const std::string& content) {
  SnrLine out;
  TextScanner file(content);
  const std::string line = file.ReadLine(kSnrLineChars);
  std::string_view rest = line;
  if (std::size_t at = rest.find("pkts"); at != std::string_view::npos) rest.remove_prefix(at);

  // "pkts %s per %f snr %f db, rate: %s %s": each blank of the pattern matches any run of white
  // space, also none; the scan stops at the first literal or conversion that does not match.
  TextScanner in(rest);
  const auto literal = [&in](std::string_view text) {
    in.SkipSpace();
    return in.Literal(text);
  };
  if (!in.Literal("pkts") || !in.Word()) return out;
  ++out.converted;
  if (!literal("per")) return out;
  std::optional<float> per = in.Float();
  if (!per) return out;
  out.per = *per;
  ++out.converted;
  if (!literal("snr")) return out;
  std::optional<float> snr = in.Float();
  if (!snr) return out;
  out.snr = *snr;
  ++out.converted;
  if (!literal("db,") || !literal("rate:")) return out;
  std::optional<std::string> first = in.Word();
  if (!first) return out;
  out.rate_first = std::move(*first);
  ++out.converted;
  std::optional<std::string> second = in.Word();
  if (!second) return out;
  out.rate_second = std::move(*second);
  ++out.converted;
  return out;
}

std::string FigureText(float value) {
  const double x = value;
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  if (x == 0) return "0";  // also -0
  // to_chars with a precision is printf's "%.15g" in the C locale: fixed notation exactly for
  // exponents -4 to 14, trailing zeros dropped.
  char buffer[64];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, 15);
  std::string text(buffer, result.ptr);
  const std::size_t e = text.find('e');
  if (e == std::string::npos) return text;
  // "9.99999974737875e-05" -> "9.99999974737875E-5": no '+', no leading zeros in the exponent.
  const bool negative_exponent = text[e + 1] == '-';
  std::size_t digits = text.find_first_not_of('0', e + 2);
  if (digits == std::string::npos) digits = text.size() - 1;
  return text.substr(0, e) + (negative_exponent ? "E-" : "E") + text.substr(digits);
}

std::string ShownFigure(float value) { return FigureText(value).substr(0, kShownChars); }

std::string PerTestArguments(const MainState& state, const std::string& pe_text) {
  return " " + state.InterfaceIp + " " + DashForm(state.LocalMac) + " " +
         DashForm(state.RemoteMac) + " " + pe_text + " 1400 10000";
}

void RunLinkDiagnostic(MainState& state, Desk& desk, const std::function<std::string()>& pe_text,
                       const Log& log, const std::function<void(const DiagFigures&)>& show) {
  const auto set_fields = [&show](const DiagFigures& figures) {
    if (show) show(figures);
  };
  const DiagFigures zeros{"0", "0", "0"};

  const std::string local = DashForm(state.LocalMac);
  log("connect to A target(local):");
  if (!ConnectTarget(state, desk, local, Log{})) {
    log("Err: can't connect to A target(local)");
    desk.ShowError("Err: Can't connect to " + local, kCaption);
    return;
  }
  log("ok");

  // Only a run that has connected clears the previous result and the fields.
  KernelFolder kernel(state.HomeDir, {kSnrFile});
  set_fields(zeros);

  log("change directory to kernel:");
  if (!kernel.Enter()) {
    log("Err: can't change directory to kernel");
    desk.ShowError("Err: Can't change directory to " + kernel.Path(), kCaption);
    return;
  }
  log("ok");

  const std::string arguments = PerTestArguments(state, pe_text());
  log("run the cert.exe:");
  kernel.Run(desk, kPerTest, arguments);  // only snr.tmp tells whether the test ran
  log("ok");

  log("leave kernel directory:");
  kernel.Leave();
  log("ok");

  log("check Kernel\\snr.tmp:");
  const std::optional<std::string> content = kernel.Read(kSnrFile);
  if (!content) {
    log("Err: can't open Kernel\\snr.tmp");
    set_fields(zeros);
    desk.ShowError("Err: Diagnose fail.", kCaption);
    return;
  }
  log("ok");

  log("get SNR ,PER and PE:");
  const SnrLine line = ParseSnrFile(*content);
  if (line.converted == 0) {
    log("Err: can't get SNR ,PER and PE.");
    desk.ShowError("Err: Diagnose fail.", kCaption);
    return;
  }
  log("ok");
  set_fields({ShownFigure(line.snr), ShownFigure(line.per), line.rate_first + line.rate_second});
}
