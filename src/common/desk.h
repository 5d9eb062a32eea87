// The one way operations reach the user: message boxes, the remote-target chooser, and waiting
// with the window alive. The application implements it with Qt; tests with a recorder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/mac_address.h"

// Something the platform can wait on: a readable file descriptor on POSIX (a pidfd), a
// signalled HANDLE on Windows.
struct WaitHandle {
  std::intptr_t value = -1;
};

class Desk {
 public:
  virtual ~Desk() = default;

  // OK button, stop icon.
  virtual void ShowError(const std::string& text, const std::string& caption) = 0;
  // OK button, no icon.
  virtual void ShowResult(const std::string& text, const std::string& caption) = 0;
  // Yes and No buttons, exclamation icon; true only for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
  // Lists `items` (colon-form addresses, in order, none selected). OK with a choice writes the
  // chosen address into `selected`; closing the chooser otherwise leaves `selected` alone.
  virtual void ChooseRemoteTarget(const std::vector<std::string>& items, MacAddress& selected) = 0;
  // Returns once `handle` is ready, dispatching window events meanwhile without busy polling.
  virtual void WaitFor(WaitHandle handle) = 0;
  // Returns after `milliseconds`, dispatching window events meanwhile.
  virtual void Pause(int milliseconds) = 0;
};
