// The B target selection dialog.
#include "diag/ui/tdiagselform.h"

#include <QButtonGroup>
#include <QMessageBox>
#include <QRadioButton>
#include <array>
#include <cstdint>

#include "common/form_font.h"
#include "common/text_scan.h"
#include "ui_tdiagselform.h"

namespace {

constexpr char kNoChoice[] = "Please select the B target (remote target)";

}  // namespace

TDiagSelForm::TDiagSelForm(QWidget* owner)
    : QDialog(owner), ui_(std::make_unique<Ui::TDiagSelForm>()), items_(new QButtonGroup(this)) {
  ui_->setupUi(this);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  // The designed place on the screen, not centred over the owner.
  move(192, 114);
  setFont(FormFont(11, false));
  ui_->Label1->setFont(FormFont(16, true));
  ui_->RSelGroup->setFont(FormFont(16, true));
  ui_->OkBtn->setFont(FormFont(13, true));
  // Long lists scroll inside the group instead of squeezing the buttons together.
  ui_->RSelScroll->viewport()->setAutoFillBackground(false);
  ui_->RSelItems->setAutoFillBackground(false);
  items_->setExclusive(true);
  // The keyboard starts on OK, then moves to the stations; Return presses OK.
  ui_->RSelScroll->setFocusPolicy(Qt::NoFocus);
  ui_->OkBtn->setFocus();
  connect(ui_->OkBtn, &QPushButton::clicked, this, &TDiagSelForm::OkBtnClick);
}

TDiagSelForm::TDiagSelForm(QWidget* owner, MacAddress& selected, Desk& desk) : TDiagSelForm(owner) {
  SelectedMac = &selected;
  desk_ = &desk;
}

TDiagSelForm::~TDiagSelForm() = default;

void TDiagSelForm::AddItem(const std::string& colon_text) {
  auto* item = new QRadioButton(QString::fromStdString(colon_text), ui_->RSelItems);
  items_->addButton(item, items_->buttons().size());
  ui_->RSelItemsLayout->addWidget(item);
}

void TDiagSelForm::OkBtnClick() {
  QAbstractButton* chosen = items_->checkedButton();
  if (chosen == nullptr) {
    if (desk_ != nullptr) {
      desk_->ShowError(kNoChoice, "Error");
    } else {
      QMessageBox::critical(this, QStringLiteral("Error"), QString::fromLatin1(kNoChoice));
    }
    return;
  }
  const std::string text = chosen->text().toStdString();  // the scanner only views it
  TextScanner in(text);
  std::array<std::uint32_t, 6> values{};
  if (ScanColonList(in, values) != 6) {
    // Not an address: nothing is written rather than a partial one.
    reject();
    return;
  }
  if (SelectedMac != nullptr) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      SelectedMac->bytes[i] = static_cast<std::uint8_t>(values[i] & 0xFF);
    }
  }
  accept();
}
