// The main window: two tabs, the address editors, the interface panels and the action buttons.
// Handlers read widgets, call one operation and write widgets; the operations live in their
// modules.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/log.h"
#include "common/main_state.h"
#include "net/interface_table.h"
#include "ui_tmainform.h"

class Desk;
class QKeyEvent;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

class TMainForm final : public QWidget {
  Q_OBJECT

 public:
  // What the window talks to; anything left null is the real thing (message boxes, libpcap, the
  // system adapter table).
  struct Sources {
    Desk* desk = nullptr;
    DeviceSource* devices = nullptr;
    AdapterSource* adapters = nullptr;
  };

  explicit TMainForm(QWidget* owner = nullptr);
  TMainForm(const Sources& sources, QWidget* owner = nullptr);
  ~TMainForm() override;

  MainState& State() { return state_; }
  QTimer* Timer1() const { return timer_; }

  void AppendLog(QPlainTextEdit* memo, const std::string& text);

  // Address entry.
  bool ReadUpgradeTarget();
  bool ReadDiagTargets();
  void IncrementMacByte(QLineEdit* field);
  void DecrementMacByte(QLineEdit* field);

  // Interface readiness.
  void UpdateUpgradeReadiness();
  void UpdateDiagReadiness();
  void UpdateDhcpHint(QPlainTextEdit* memo);

  // Handlers.
  void ExitBtnClick();
  void IFSelectUpgradeChange();
  void IFSelectDiagChange();
  void Timer1Timer();
  void DownloadBtnClick();
  void VersionBtnClick();
  void UpgradeMacQueryBtnClick();
  void DiagBtnClick();
  void DiagMacQueryBtnClick();
  bool PEEditKeyDown(QKeyEvent* key);
  bool UpgradeLogMemoKeyDown(QKeyEvent* key);
  void Amac4IncClick();
  void Amac4DecClick();
  void Amac5IncClick();
  void Amac5DecClick();
  void Amac6IncClick();
  void Amac6DecClick();
  void Lmac4IncClick();
  void Lmac4DecClick();
  void Lmac5IncClick();
  void Lmac5DecClick();
  void Lmac6IncClick();
  void Lmac6DecClick();
  void Rmac4IncClick();
  void Rmac4DecClick();
  void Rmac5IncClick();
  void Rmac5DecClick();
  void Rmac6IncClick();
  void Rmac6DecClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  class Busy;

  void Construct();
  void Bind();
  void FillInterfaceList(QComboBox* list);
  int UpdateInterfaceStatus(QComboBox* list, QLabel* panel, PanelState& state);
  void ApplyReadiness();
  // Runs a handler body; an error escaping it goes to the default error display.
  void Guarded(const std::function<void()>& body);
  // Runs an action handler's body under the guard.
  void RunOperation(const std::function<void()>& body);
  Log UpgradeLog();
  Log DiagLog();
  void WriteFields(const std::array<QLineEdit*, 6>& fields, const MacAddress& mac);

  Ui::TMainForm ui_;
  MainState state_;
  std::unique_ptr<Desk> own_desk_;
  std::unique_ptr<DeviceSource> own_devices_;
  std::unique_ptr<AdapterSource> own_adapters_;
  Desk* desk_ = nullptr;
  std::unique_ptr<InterfaceTable> table_;
  PanelState upgrade_panel_;
  PanelState diag_panel_;
  bool upgrade_ready_ = false;
  bool diag_ready_ = false;
  bool busy_ = false;
  bool close_requested_ = false;
  QTimer* timer_ = nullptr;
};

// The one main window of the process.
extern TMainForm* MainForm;
