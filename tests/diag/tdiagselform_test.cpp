// The B target selection dialog with real widgets: layout, fonts, texts, and what OK writes.
#include "diag/ui/tdiagselform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <vector>

#include "support/recorder_desk.h"

namespace {

const MacAddress kUnchanged{{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}};

class TDiagSelFormTest : public testing::Test {
 protected:
  TDiagSelFormTest() : dialog_(nullptr, selected_, desk_) {
    dialog_.AddItem("00:01:40:DE:AD:01");
    dialog_.AddItem("00:01:40:DE:AD:02");
    dialog_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
  }

  template <typename T>
  T* Child(const char* name) {
    T* child = dialog_.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QList<QRadioButton*> Items() {
    return Child<QGroupBox>("RSelGroup")->findChildren<QRadioButton*>();
  }
  void PressKey(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
  // On the indicator: a click beyond the end of the text misses the button.
  static void Choose(QRadioButton* item) {
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(6, item->height() / 2));
  }
  void ClickOk() { QTest::mouseClick(Child<QPushButton>("OkBtn"), Qt::LeftButton); }

  RecorderDesk desk_;
  MacAddress selected_ = kUnchanged;
  TDiagSelForm dialog_;
};

struct ControlCase {
  const char* name;
  QRect geometry;
  QString text;
  int pixel_size;
};

TEST_F(TDiagSelFormTest, LayoutTextsAndFonts) {
  EXPECT_EQ(dialog_.windowTitle(), "Select B Target  (Remote)");
  // 469 x 342 with the frame, as the main window's 579 x 428 holds a 571 x 401 client.
  EXPECT_EQ(dialog_.size(), QSize(461, 315));
  EXPECT_EQ(dialog_.pos(), QPoint(192, 114));
  EXPECT_EQ(dialog_.font().family(), "Liberation Sans");
  EXPECT_EQ(dialog_.font().pixelSize(), 11);
  EXPECT_FALSE(dialog_.font().bold());
  EXPECT_TRUE(dialog_.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(dialog_.findChildren<QPushButton*>().size(), 1);  // no Cancel

  const ControlCase kControls[] = {
      {"Label1", {48, 16, 363, 20}, "Multiple B Targets (Remote Targets)  Found !", 16},
      {"RSelGroup", {40, 48, 377, 201}, "Please Select One ", 16},
      {"OkBtn", {184, 264, 75, 25}, "OK", 13},
  };
  for (const ControlCase& c : kControls) {
    SCOPED_TRACE(c.name);
    QWidget* control = Child<QWidget>(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), c.geometry);
    EXPECT_EQ(control->font().family(), "Liberation Sans");
    EXPECT_EQ(control->font().pixelSize(), c.pixel_size);
    EXPECT_TRUE(control->font().bold());
    QString text;
    if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
    if (auto* group = qobject_cast<QGroupBox*>(control)) text = group->title();
    if (auto* button = qobject_cast<QPushButton*>(control)) text = button->text();
    EXPECT_EQ(text, c.text);
  }
}

TEST_F(TDiagSelFormTest, TabOrderStartsWithOk) {
  std::vector<QWidget*> order;
  QWidget* ok = Child<QPushButton>("OkBtn");
  QList<QRadioButton*> items = Items();
  for (QWidget* w = dialog_.nextInFocusChain(); w != &dialog_; w = w->nextInFocusChain()) {
    if (w == ok || w == items.value(0)) order.push_back(w);
  }
  EXPECT_EQ(order, (std::vector<QWidget*>{ok, items.value(0)}));
}

TEST_F(TDiagSelFormTest, ItemsInOrderNoneSelected) {
  QList<QRadioButton*> items = Items();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->text(), "00:01:40:DE:AD:01");
  EXPECT_EQ(items[1]->text(), "00:01:40:DE:AD:02");
  for (QRadioButton* item : items) EXPECT_FALSE(item->isChecked());
}

TEST_F(TDiagSelFormTest, OkWithoutChoiceKeepsTheDialogOpen) {
  ClickOk();
  EXPECT_EQ(desk_.boxes,
            std::vector<RecordedBox>{ErrorBox("Please select the B target (remote target)")});
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(selected_, kUnchanged);
}

TEST_F(TDiagSelFormTest, SecondChoiceAndOkFillsTheAddress) {
  QList<QRadioButton*> items = Items();
  ASSERT_EQ(items.size(), 2);
  Choose(items[0]);
  Choose(items[1]);
  EXPECT_FALSE(items[0]->isChecked());
  EXPECT_TRUE(items[1]->isChecked());
  ClickOk();
  EXPECT_TRUE(desk_.boxes.empty());
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(selected_, (MacAddress{{0x00, 0x01, 0x40, 0xDE, 0xAD, 0x02}}));
}

TEST_F(TDiagSelFormTest, ClosingWithoutOkLeavesTheAddress) {
  Choose(Items().value(0));
  EXPECT_TRUE(Items().value(0)->isChecked());
  EXPECT_TRUE(dialog_.close());
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(selected_, kUnchanged);
}

TEST_F(TDiagSelFormTest, KeyboardStartsOnOkAndReturnPressesIt) {
  dialog_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
  EXPECT_EQ(QApplication::focusWidget(), Child<QPushButton>("OkBtn"));
  PressKey(Qt::Key_Return);
  EXPECT_EQ(desk_.boxes, std::vector<RecordedBox>{ErrorBox("Please select the B target (remote target)")});
  Choose(Items()[1]);
  PressKey(Qt::Key_Return);
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(DashForm(selected_), "00-01-40-DE-AD-02");
}

}  // namespace
