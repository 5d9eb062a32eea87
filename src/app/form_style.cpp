// Fonts, colours and control groups of the main window.
#include "app/form_style.h"

#include <unistd.h>

#include <QColor>
#include <QFont>
#include <QPalette>
#include <cerrno>
#include <filesystem>

#include "common/form_font.h"

namespace {

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::ButtonText, colour);
  palette.setColor(QPalette::Text, colour);
  widget->setPalette(palette);
}

}  // namespace

std::array<QLineEdit*, 6> AmacFields(const Ui::TMainForm& ui) {
  return {ui.Amac1, ui.Amac2, ui.Amac3, ui.Amac4, ui.Amac5, ui.Amac6};
}

std::array<QLineEdit*, 6> LmacFields(const Ui::TMainForm& ui) {
  return {ui.Lmac1, ui.Lmac2, ui.Lmac3, ui.Lmac4, ui.Lmac5, ui.Lmac6};
}

std::array<QLineEdit*, 6> RmacFields(const Ui::TMainForm& ui) {
  return {ui.Rmac1, ui.Rmac2, ui.Rmac3, ui.Rmac4, ui.Rmac5, ui.Rmac6};
}

std::vector<QPushButton*> StepButtons(const Ui::TMainForm& ui) {
  return {ui.Amac4Inc, ui.Amac4Dec, ui.Amac5Inc, ui.Amac5Dec, ui.Amac6Inc, ui.Amac6Dec,
          ui.Lmac4Inc, ui.Lmac4Dec, ui.Lmac5Inc, ui.Lmac5Dec, ui.Lmac6Inc, ui.Lmac6Dec,
          ui.Rmac4Inc, ui.Rmac4Dec, ui.Rmac5Inc, ui.Rmac5Dec, ui.Rmac6Inc, ui.Rmac6Dec};
}

void ApplyFormStyle(Ui::TMainForm& ui) {
  QWidget* window = ui.PageControl1->parentWidget();
  window->setFont(FormFont(11, false));
  ui.PageControl1->tabBar()->setFont(FormFont(13, true));
  for (QWidget* page : {ui.UpgradeSheet, ui.Diagnostic}) page->setFont(FormFont(11, false));

  const QFont bold13 = FormFont(13, true);
  for (QWidget* w : std::initializer_list<QWidget*>{
           ui.Label1,          ui.Label2,      ui.Label3,          ui.Label4,
           ui.Label5,          ui.Label7,      ui.Label8,          ui.Label9,
           ui.Label10,         ui.Label11,     ui.Label12,         ui.Label13,
           ui.Label14,         ui.Label15,     ui.PELab,           ui.UpgradeMacQueryBtn,
           ui.DiagMacQueryBtn, ui.DownloadBtn, ui.VersionBtn,      ui.ExitBtn,
           ui.DiagBtn,         ui.Button14,    ui.IFStatusUpgrade, ui.IFStatusDiag,
           ui.PEGroupBox,      ui.DiagPEEdit}) {
    w->setFont(bold13);
  }
  for (QPushButton* b : StepButtons(ui)) b->setFont(FormFont(16, true));
  const QFont regular13 = FormFont(13, false);
  for (QWidget* w :
       std::initializer_list<QWidget*>{ui.UpgradeLogMemo, ui.DiagLogMemo, ui.UpgradeStatusMemo,
                                       ui.MemoDiag, ui.SNREdit, ui.PEREdit, ui.PEEdit}) {
    w->setFont(regular13);
  }

  const QColor blue(0, 0, 255);
  for (QWidget* w :
       {static_cast<QWidget*>(ui.UpgradeMacQueryBtn), static_cast<QWidget*>(ui.DiagMacQueryBtn),
        static_cast<QWidget*>(ui.Label10)}) {
    SetTextColour(w, blue);
  }
  const QColor red(255, 0, 0);
  SetTextColour(ui.UpgradeStatusMemo, red);
  SetTextColour(ui.MemoDiag, red);
  SetTextColour(ui.IFStatusUpgrade, Qt::black);
  SetTextColour(ui.IFStatusDiag, Qt::black);
}

void ShowPanel(QLabel* panel, const PanelState& state) {
  panel->setText(QString::fromLocal8Bit(state.caption));
  QPalette palette = panel->palette();
  switch (state.colour) {
    case PanelState::Colour::kRed:
      palette.setColor(QPalette::Window, QColor(255, 0, 0));
      break;
    case PanelState::Colour::kAqua:
      palette.setColor(QPalette::Window, QColor(0, 255, 255));
      break;
    case PanelState::Colour::kDefault:
      palette.setColor(QPalette::Window, panel->parentWidget()->palette().color(QPalette::Window));
      break;
  }
  panel->setPalette(palette);
}

std::string CurrentDirectory() {
  std::error_code error;
  std::filesystem::path cwd = std::filesystem::current_path(error);
  return error ? std::string() : cwd.string();
}
