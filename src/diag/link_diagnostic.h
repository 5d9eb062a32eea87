// The link test between the A target (local) and the B target (remote): connect, run
// per_test.bat in the Kernel folder and read the signal-to-noise ratio, packet error rate and
// payload encoding back from snr.tmp.
#pragma once

#include <functional>
#include <string>

#include "common/desk.h"
#include "common/log.h"
#include "common/main_state.h"

// The three result fields as shown: SNREdit, PEREdit, PEEdit.
struct DiagFigures {
  std::string snr, per, pe;
  bool operator==(const DiagFigures&) const = default;
};

// The figures read from the first line of snr.tmp. `converted` counts the values the pattern
// "pkts %s per %f snr %f db, rate: %s %s" converted; unconverted numbers stay 0 and unconverted
// rate words stay empty.
struct SnrLine {
  int converted = 0;
  float per = 0;
  float snr = 0;
  std::string rate_first, rate_second;
};

// Parses the content of snr.tmp: its first line, at most 199 characters, from the first "pkts".
SnrLine ParseSnrFile(const std::string& content);

// A single-precision figure as text: widened to double, 15 significant digits, trailing zeros
// dropped, scientific notation ("9.99999974737875E-5") outside 1e-4 <= |x| < 1e15. Always a full
// stop, whatever the locale.
std::string FigureText(float value);

// At most the first five characters of FigureText: what a result field shows.
std::string ShownFigure(float value);

// The argument words of per_test.bat. The PE text is inserted as it stands.
std::string PerTestArguments(const MainState& state, const std::string& pe_text);

// Runs the diagnostic after the Diagnostic tab has been read into `state`. Logs each step into
// `log`, reports failures through `desk`, and calls `show` whenever the result fields change.
// `pe_text` gives the PE value as it stands once the A target has answered.
void RunLinkDiagnostic(MainState& state, Desk& desk, const std::function<std::string()>& pe_text,
                       const Log& log, const std::function<void(const DiagFigures&)>& show);
