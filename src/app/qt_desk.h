// The window's desk: modal message boxes owned by the main window, the selection dialog, and waits
// that keep the event loop running.
#pragma once

#include "common/desk.h"

class QWidget;

class QtDesk final : public Desk {
 public:
  explicit QtDesk(QWidget* owner) : owner_(owner) {}

  void ShowError(const std::string& text, const std::string& caption) override;
  void ShowResult(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void ChooseRemoteTarget(const std::vector<std::string>& items, MacAddress& selected) override;
  void WaitFor(WaitHandle handle) override;
  void Pause(int milliseconds) override;

 private:
  QWidget* owner_;
};
