// A desk for tests: records every box, answers questions and the chooser from a script, and waits
// in a real event loop so timers keep firing.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/desk.h"

struct RecordedBox {
  enum class Style { kError, kResult, kQuestion };
  Style style;
  std::string caption;
  std::string text;
  bool operator==(const RecordedBox&) const = default;
};

std::ostream& operator<<(std::ostream& out, const RecordedBox& box);

RecordedBox ErrorBox(std::string text, std::string caption = "Error");
RecordedBox ResultBox(std::string text, std::string caption = "Success");
RecordedBox QuestionBox(std::string text, std::string caption);

class RecorderDesk : public Desk {
 public:
  void ShowError(const std::string& text, const std::string& caption) override;
  void ShowResult(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void ChooseRemoteTarget(const std::vector<std::string>& items, MacAddress& selected) override;
  void WaitFor(WaitHandle handle) override;
  void Pause(int milliseconds) override;

  std::vector<RecordedBox> boxes;
  // Answers for AskYesNo, taken from the front; a question without an answer fails the test.
  std::deque<bool> answers;
  // Every list the chooser was shown, and what it does with `selected` (nothing by default: the
  // close box).
  std::vector<std::vector<std::string>> chooser_lists;
  std::function<void(const std::vector<std::string>&, MacAddress&)> chooser;
  // Requested pauses; they only really wait when `real_pause` is set.
  std::vector<int> pauses;
  bool real_pause = false;
  // Called after each box is recorded (for example to check the window's state meanwhile).
  std::function<void(const RecordedBox&)> on_box;
};
