// The main window: construction, the guard while an operation runs, and the handlers.
#include "app/tmainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

#include "app/address_entry.h"
#include "app/form_style.h"
#include "app/qt_desk.h"
#include "common/desk.h"
#include "common/kit.h"
#include "diag/link_diagnostic.h"
#include "diag/remote_target.h"
#include "target/mac_query.h"
#include "target/version.h"
#include "upgrade/upgrade.h"

TMainForm* MainForm = nullptr;

namespace {

constexpr char kWindowTitle[] = "VOR Firmware Upgrade Utility Version ";
// Caption of the default error display, as the application names itself.
constexpr char kApplicationTitle[] = "VOR Firmware Upgrade Utility";
constexpr int kTimerInterval = 1000;
// Where the window opens on the screen.
constexpr int kLeft = 106;
constexpr int kTop = 129;

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Text(const QLineEdit* edit) { return edit->text().toLocal8Bit().toStdString(); }

// A result field shows its text from the beginning, as a technician reads it.
void ShowResult(QLineEdit* field, const std::string& text) {
  field->setText(QString::fromLocal8Bit(text));
  field->setCursorPosition(0);
}

std::optional<std::size_t> SelectedSlot(const QComboBox* list) {
  if (list->currentIndex() < 0) return std::nullopt;
  return static_cast<std::size_t>(list->currentIndex());
}

}  // namespace

// Keeps every control that could start a second operation disabled while one runs, shows the wait
// cursor, and carries out a close request once the operation has returned.
class TMainForm::Busy {
 public:
  explicit Busy(TMainForm& form) : form_(form) {
    form_.busy_ = true;
    form_.ApplyReadiness();
    QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~Busy() {
    QApplication::restoreOverrideCursor();
    form_.busy_ = false;
    form_.ApplyReadiness();
    if (form_.close_requested_) {
      QMetaObject::invokeMethod(&form_, &QWidget::close, Qt::QueuedConnection);
    }
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  TMainForm& form_;
};

TMainForm::TMainForm(QWidget* owner) : TMainForm(Sources{}, owner) {}

TMainForm::TMainForm(const Sources& sources, QWidget* owner) : QWidget(owner) {
  if (!MainForm) MainForm = this;
  desk_ = sources.desk;
  if (!desk_) {
    own_desk_ = std::make_unique<QtDesk>(this);
    desk_ = own_desk_.get();
  }
  DeviceSource* devices = sources.devices;
  if (!devices) {
    own_devices_ = MakeCaptureDeviceSource();
    devices = own_devices_.get();
  }
  AdapterSource* adapters = sources.adapters;
  if (!adapters) {
    own_adapters_ = MakeSystemAdapterSource();
    adapters = own_adapters_.get();
  }
  table_ = std::make_unique<InterfaceTable>(state_, *desk_, *devices, *adapters);
  Construct();
  move(kLeft, kTop);
}

TMainForm::~TMainForm() {
  if (MainForm == this) MainForm = nullptr;
}

void TMainForm::Construct() {
  ui_.setupUi(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ui_.PageControl1);
  ApplyFormStyle(ui_);
  timer_ = new QTimer(this);
  timer_->setInterval(kTimerInterval);
  Bind();

  state_.InterfaceIp.clear();
  state_.HomeDir.clear();
  setWindowTitle(Latin1(kWindowTitle) + Latin1(kUtilityVersion) + " (" +
                 Latin1(kKitHardwareConfig) + ")");
  state_.HomeDir = CurrentDirectory();
  FillInterfaceList(ui_.IFSelectUpgrade);
  FillInterfaceList(ui_.IFSelectDiag);
  UpdateUpgradeReadiness();
  UpdateDiagReadiness();
  UpdateDhcpHint(ui_.MemoDiag);
  UpdateDhcpHint(ui_.UpgradeStatusMemo);
  timer_->start();
  ui_.PageControl1->setTabVisible(ui_.PageControl1->indexOf(ui_.Diagnostic), true);
  ui_.PageControl1->setCurrentWidget(ui_.UpgradeSheet);
}

void TMainForm::Bind() {
  connect(ui_.IFSelectUpgrade, &QComboBox::activated, this, &TMainForm::IFSelectUpgradeChange);
  connect(ui_.IFSelectDiag, &QComboBox::activated, this, &TMainForm::IFSelectDiagChange);
  connect(timer_, &QTimer::timeout, this, &TMainForm::Timer1Timer);
  connect(ui_.DownloadBtn, &QPushButton::clicked, this, &TMainForm::DownloadBtnClick);
  connect(ui_.VersionBtn, &QPushButton::clicked, this, &TMainForm::VersionBtnClick);
  connect(ui_.UpgradeMacQueryBtn, &QPushButton::clicked, this, &TMainForm::UpgradeMacQueryBtnClick);
  connect(ui_.DiagBtn, &QPushButton::clicked, this, &TMainForm::DiagBtnClick);
  connect(ui_.DiagMacQueryBtn, &QPushButton::clicked, this, &TMainForm::DiagMacQueryBtnClick);
  connect(ui_.ExitBtn, &QPushButton::clicked, this, &TMainForm::ExitBtnClick);
  connect(ui_.Button14, &QPushButton::clicked, this, &TMainForm::ExitBtnClick);
  const std::pair<QPushButton*, void (TMainForm::*)()> steppers[] = {
      {ui_.Amac4Inc, &TMainForm::Amac4IncClick}, {ui_.Amac4Dec, &TMainForm::Amac4DecClick},
      {ui_.Amac5Inc, &TMainForm::Amac5IncClick}, {ui_.Amac5Dec, &TMainForm::Amac5DecClick},
      {ui_.Amac6Inc, &TMainForm::Amac6IncClick}, {ui_.Amac6Dec, &TMainForm::Amac6DecClick},
      {ui_.Lmac4Inc, &TMainForm::Lmac4IncClick}, {ui_.Lmac4Dec, &TMainForm::Lmac4DecClick},
      {ui_.Lmac5Inc, &TMainForm::Lmac5IncClick}, {ui_.Lmac5Dec, &TMainForm::Lmac5DecClick},
      {ui_.Lmac6Inc, &TMainForm::Lmac6IncClick}, {ui_.Lmac6Dec, &TMainForm::Lmac6DecClick},
      {ui_.Rmac4Inc, &TMainForm::Rmac4IncClick}, {ui_.Rmac4Dec, &TMainForm::Rmac4DecClick},
      {ui_.Rmac5Inc, &TMainForm::Rmac5IncClick}, {ui_.Rmac5Dec, &TMainForm::Rmac5DecClick},
      {ui_.Rmac6Inc, &TMainForm::Rmac6IncClick}, {ui_.Rmac6Dec, &TMainForm::Rmac6DecClick},
  };
  for (const auto& [button, handler] : steppers) {
    connect(button, &QPushButton::clicked, this, handler);
  }
  ui_.PEEdit->installEventFilter(this);
  ui_.UpgradeLogMemo->installEventFilter(this);
  ui_.DiagLogMemo->installEventFilter(this);
}

// --- logging and errors -----------------------------------------------------------------------

void TMainForm::AppendLog(QPlainTextEdit* memo, const std::string& text) {
  memo->appendPlainText(QString::fromLocal8Bit(text));
}

Log TMainForm::UpgradeLog() {
  return Log([this](const std::string& line) { AppendLog(ui_.UpgradeLogMemo, line); });
}

Log TMainForm::DiagLog() {
  return Log([this](const std::string& line) { AppendLog(ui_.DiagLogMemo, line); });
}

void TMainForm::Guarded(const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& error) {
    desk_->ShowError(error.what(), kApplicationTitle);
  }
}

// --- interface readiness ----------------------------------------------------------------------

void TMainForm::FillInterfaceList(QComboBox* list) {
  for (const std::string& label : table_->FillInterfaceList()) {
    list->addItem(QString::fromLocal8Bit(label));
  }
  if (list->count() > 0) list->setCurrentIndex(0);
}

int TMainForm::UpdateInterfaceStatus(QComboBox* list, QLabel* panel, PanelState& state) {
  int ready = table_->UpdateInterfaceStatus(SelectedSlot(list), state);
  ShowPanel(panel, state);
  return ready;
}

void TMainForm::UpdateUpgradeReadiness() {
  upgrade_ready_ =
      UpdateInterfaceStatus(ui_.IFSelectUpgrade, ui_.IFStatusUpgrade, upgrade_panel_) == 1;
  ApplyReadiness();
}

void TMainForm::UpdateDiagReadiness() {
  diag_ready_ = UpdateInterfaceStatus(ui_.IFSelectDiag, ui_.IFStatusDiag, diag_panel_) == 1;
  ApplyReadiness();
}

// While an operation runs nothing that could start another one is enabled; afterwards the buttons
// follow the last lookup of their tab's interface.
void TMainForm::ApplyReadiness() {
  const bool idle = !busy_;
  for (QWidget* w : {static_cast<QWidget*>(ui_.DownloadBtn), static_cast<QWidget*>(ui_.VersionBtn),
                     static_cast<QWidget*>(ui_.UpgradeMacQueryBtn)}) {
    w->setEnabled(idle && upgrade_ready_);
  }
  ui_.DiagBtn->setEnabled(idle && diag_ready_);
  ui_.DiagMacQueryBtn->setEnabled(idle && diag_ready_);
  for (QWidget* w : StepButtons(ui_)) w->setEnabled(idle);
  ui_.IFSelectUpgrade->setEnabled(idle);
  ui_.IFSelectDiag->setEnabled(idle);
}

void TMainForm::UpdateDhcpHint(QPlainTextEdit* memo) { memo->setVisible(state_.DhcpPending == 1); }

void TMainForm::IFSelectUpgradeChange() {
  UpdateUpgradeReadiness();
  UpdateDhcpHint(ui_.UpgradeStatusMemo);
}

void TMainForm::IFSelectDiagChange() {
  UpdateDiagReadiness();
  UpdateDhcpHint(ui_.MemoDiag);
}

void TMainForm::Timer1Timer() {
  UpdateUpgradeReadiness();
  UpdateDhcpHint(ui_.UpgradeStatusMemo);
  UpdateDiagReadiness();
  UpdateDhcpHint(ui_.MemoDiag);
}

// --- address entry ----------------------------------------------------------------------------

bool TMainForm::ReadUpgradeTarget() {
  AddressRow row{{}, &state_.UpgradeMac};
  const auto fields = AmacFields(ui_);
  for (std::size_t i = 0; i < 6; ++i) row.fields[i] = Text(fields[i]);
  return ReadTargets(state_, *desk_, SelectedSlot(ui_.IFSelectUpgrade), {row});
}

bool TMainForm::ReadDiagTargets() {
  AddressRow local{{}, &state_.LocalMac};
  AddressRow remote{{}, &state_.RemoteMac};
  const auto lmac = LmacFields(ui_);
  const auto rmac = RmacFields(ui_);
  for (std::size_t i = 0; i < 6; ++i) {
    local.fields[i] = Text(lmac[i]);
    remote.fields[i] = Text(rmac[i]);
  }
  return ReadTargets(state_, *desk_, SelectedSlot(ui_.IFSelectDiag), {local, remote});
}

void TMainForm::IncrementMacByte(QLineEdit* field) {
  field->setText(QString::fromLatin1(StepByteField(Text(field), +1)));
}

void TMainForm::DecrementMacByte(QLineEdit* field) {
  field->setText(QString::fromLatin1(StepByteField(Text(field), -1)));
}

void TMainForm::WriteFields(const std::array<QLineEdit*, 6>& fields, const MacAddress& mac) {
  for (std::size_t i = 0; i < 6; ++i)
    fields[i]->setText(QString::fromLatin1(ByteText(mac.bytes[i])));
}

void TMainForm::Amac4IncClick() {
  Guarded([&] { IncrementMacByte(ui_.Amac4); });
}
void TMainForm::Amac4DecClick() {
  Guarded([&] { DecrementMacByte(ui_.Amac4); });
}
void TMainForm::Amac5IncClick() {
  Guarded([&] { IncrementMacByte(ui_.Amac5); });
}
void TMainForm::Amac5DecClick() {
  Guarded([&] { DecrementMacByte(ui_.Amac5); });
}
void TMainForm::Amac6IncClick() {
  Guarded([&] { IncrementMacByte(ui_.Amac6); });
}
void TMainForm::Amac6DecClick() {
  Guarded([&] { DecrementMacByte(ui_.Amac6); });
}
void TMainForm::Lmac4IncClick() {
  Guarded([&] { IncrementMacByte(ui_.Lmac4); });
}
void TMainForm::Lmac4DecClick() {
  Guarded([&] { DecrementMacByte(ui_.Lmac4); });
}
void TMainForm::Lmac5IncClick() {
  Guarded([&] { IncrementMacByte(ui_.Lmac5); });
}
void TMainForm::Lmac5DecClick() {
  Guarded([&] { DecrementMacByte(ui_.Lmac5); });
}
void TMainForm::Lmac6IncClick() {
  Guarded([&] { IncrementMacByte(ui_.Lmac6); });
}
void TMainForm::Lmac6DecClick() {
  Guarded([&] { DecrementMacByte(ui_.Lmac6); });
}
void TMainForm::Rmac4IncClick() {
  Guarded([&] { IncrementMacByte(ui_.Rmac4); });
}
void TMainForm::Rmac4DecClick() {
  Guarded([&] { DecrementMacByte(ui_.Rmac4); });
}
void TMainForm::Rmac5IncClick() {
  Guarded([&] { IncrementMacByte(ui_.Rmac5); });
}
void TMainForm::Rmac5DecClick() {
  Guarded([&] { DecrementMacByte(ui_.Rmac5); });
}
void TMainForm::Rmac6IncClick() {
  Guarded([&] { IncrementMacByte(ui_.Rmac6); });
}
void TMainForm::Rmac6DecClick() {
  Guarded([&] { DecrementMacByte(ui_.Rmac6); });
}

// --- operations -------------------------------------------------------------------------------

void TMainForm::RunOperation(const std::function<void()>& body) {
  if (busy_) return;
  Busy busy(*this);
  Guarded(body);
}

void TMainForm::DownloadBtnClick() {
  RunOperation([&] {
    if (!ReadUpgradeTarget()) return;
    Download(state_, *desk_, UpgradeLog());
  });
}

void TMainForm::VersionBtnClick() {
  RunOperation([&] {
    if (!ReadUpgradeTarget()) return;
    GetVersion(state_, *desk_, UpgradeLog());
  });
}

void TMainForm::UpgradeMacQueryBtnClick() {
  RunOperation([&] {
    if (!ReadUpgradeTarget()) return;
    QueryUpgradeMac(state_, *desk_, UpgradeLog());
    WriteFields(AmacFields(ui_), state_.UpgradeMac);
  });
}

void TMainForm::DiagBtnClick() {
  RunOperation([&] {
    if (!ReadDiagTargets()) return;
    RunLinkDiagnostic(
        state_, *desk_, [this] { return Text(ui_.DiagPEEdit); }, DiagLog(),
        [this](const DiagFigures& figures) {
          ShowResult(ui_.SNREdit, figures.snr);
          ShowResult(ui_.PEREdit, figures.per);
          ShowResult(ui_.PEEdit, figures.pe);
        });
  });
}

void TMainForm::DiagMacQueryBtnClick() {
  RunOperation([&] {
    if (!ReadDiagTargets()) return;
    QueryDiagMacs(state_, *desk_);
    WriteFields(LmacFields(ui_), state_.LocalMac);
    WriteFields(RmacFields(ui_), state_.RemoteMac);
  });
}

// --- exit and key chords ----------------------------------------------------------------------

void TMainForm::ExitBtnClick() { close(); }

void TMainForm::closeEvent(QCloseEvent* event) {
  if (busy_) {
    // The running operation still needs the window; close once it has returned.
    close_requested_ = true;
    event->ignore();
    return;
  }
  timer_->stop();
  event->accept();
}

namespace {

bool IsRevealChord(const QKeyEvent* key) {
  const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
  return key->key() == Qt::Key_P && (key->modifiers() & all) == all;
}

}  // namespace

bool TMainForm::PEEditKeyDown(QKeyEvent* key) {
  if (!IsRevealChord(key)) return false;
  ui_.PEGroupBox->show();
  ui_.PEGroupBox->raise();
  return true;
}

bool TMainForm::UpgradeLogMemoKeyDown(QKeyEvent* key) {
  if (!IsRevealChord(key)) return false;
  ui_.PageControl1->setTabVisible(ui_.PageControl1->indexOf(ui_.Diagnostic), true);
  return true;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == ui_.PEEdit) return PEEditKeyDown(key);
    if (watched == ui_.UpgradeLogMemo || watched == ui_.DiagLogMemo) {
      return UpgradeLogMemoKeyDown(key);
    }
  }
  return QWidget::eventFilter(watched, event);
}
