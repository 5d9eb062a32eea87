// Recorder desk: boxes into a list, questions from a queue, waits in the event loop.
#include "support/recorder_desk.h"

#include <gtest/gtest.h>

#include <ostream>

#include "app/event_wait.h"

std::ostream& operator<<(std::ostream& out, const RecordedBox& box) {
  static const char* kStyles[] = {"error", "result", "question"};
  return out << "{" << kStyles[static_cast<int>(box.style)] << ", \"" << box.caption << "\", \""
             << box.text << "\"}";
}

RecordedBox ErrorBox(std::string text, std::string caption) {
  return {RecordedBox::Style::kError, std::move(caption), std::move(text)};
}
RecordedBox ResultBox(std::string text, std::string caption) {
  return {RecordedBox::Style::kResult, std::move(caption), std::move(text)};
}
RecordedBox QuestionBox(std::string text, std::string caption) {
  return {RecordedBox::Style::kQuestion, std::move(caption), std::move(text)};
}

void RecorderDesk::ShowError(const std::string& text, const std::string& caption) {
  boxes.push_back(ErrorBox(text, caption));
  if (on_box) on_box(boxes.back());
}

void RecorderDesk::ShowResult(const std::string& text, const std::string& caption) {
  boxes.push_back(ResultBox(text, caption));
  if (on_box) on_box(boxes.back());
}

bool RecorderDesk::AskYesNo(const std::string& text, const std::string& caption) {
  boxes.push_back(QuestionBox(text, caption));
  if (on_box) on_box(boxes.back());
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return false;
  }
  bool yes = answers.front();
  answers.pop_front();
  return yes;
}

void RecorderDesk::ChooseRemoteTarget(const std::vector<std::string>& items, MacAddress& selected) {
  chooser_lists.push_back(items);
  if (chooser) chooser(items, selected);
}

void RecorderDesk::WaitFor(WaitHandle handle) {
  WaitReadableInEventLoop(static_cast<int>(handle.value));
}

void RecorderDesk::Pause(int milliseconds) {
  pauses.push_back(milliseconds);
  if (real_pause) PauseInEventLoop(milliseconds);
}
