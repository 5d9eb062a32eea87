// Message boxes through QMessageBox, the chooser through TDiagSelForm, waits in a local loop.
#include "app/qt_desk.h"

#include <QMessageBox>
#include <QString>

#include "app/event_wait.h"
#include "diag/ui/tdiagselform.h"

namespace {

int ShowBox(QWidget* owner, QMessageBox::Icon icon, const std::string& text,
            const std::string& caption, QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, QString::fromLocal8Bit(caption), QString::fromLocal8Bit(text), buttons,
                  owner);
  return box.exec();
}

}  // namespace

void QtDesk::ShowError(const std::string& text, const std::string& caption) {
  ShowBox(owner_, QMessageBox::Critical, text, caption, QMessageBox::Ok);
}

void QtDesk::ShowResult(const std::string& text, const std::string& caption) {
  ShowBox(owner_, QMessageBox::NoIcon, text, caption, QMessageBox::Ok);
}

bool QtDesk::AskYesNo(const std::string& text, const std::string& caption) {
  return ShowBox(owner_, QMessageBox::Warning, text, caption, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void QtDesk::ChooseRemoteTarget(const std::vector<std::string>& items, MacAddress& selected) {
  TDiagSelForm dialog(owner_, selected, *this);
  for (const std::string& item : items) dialog.AddItem(item);
  dialog.exec();
}

void QtDesk::WaitFor(WaitHandle handle) { WaitReadableInEventLoop(static_cast<int>(handle.value)); }

void QtDesk::Pause(int milliseconds) { PauseInEventLoop(milliseconds); }
