// TDiagSelForm: the modal choice of one B target (remote) when several answer on the line.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "common/desk.h"
#include "common/mac_address.h"

class QButtonGroup;

namespace Ui {
class TDiagSelForm;
}

class TDiagSelForm final : public QDialog {
  Q_OBJECT

 public:
  explicit TDiagSelForm(QWidget* owner);
  // OK with a choice writes the chosen address into `selected`; OK without one shows the reminder
  // through `desk` and keeps the dialog open.
  TDiagSelForm(QWidget* owner, MacAddress& selected, Desk& desk);
  ~TDiagSelForm() override;

  // Appends a candidate in colon form as the last radio button, unselected.
  void AddItem(const std::string& colon_text);

 private:
  void OkBtnClick();

  std::unique_ptr<Ui::TDiagSelForm> ui_;
  QButtonGroup* items_;
  MacAddress* SelectedMac = nullptr;  // the caller's, not owned
  Desk* desk_ = nullptr;
};
