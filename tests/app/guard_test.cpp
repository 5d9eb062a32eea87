// While an operation waits for a member: the window stays alive, nothing starts a second
// operation, and a close request waits for the operation to return.
#include <gmock/gmock.h>

#include <QApplication>
#include <QComboBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "window_fixture.h"

namespace {

class GuardTest : public WindowTest {
 protected:
  void SetUp() override {
    UseReadyInterface();
    // A version query that takes a while, then reports a version the window accepts.
    home->WriteMember("version.bat", "sleep 1.2; echo '2.7.3 Dec 21 2006 00:25:10' > verinfo.txt");
    home->WriteMember("get_device_type.bat", "echo 21 > get_device_type.tmp");
    home->WriteMember("get_devinf.bat", "echo 'hw=Coax 4-20 #1.0 pin=0' > get_devinf.tmp");
    home->WriteMember("query_address.bat", "echo 00:01:40:AA:BB:CC > query_address.tmp");
    Open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }

  // Runs `during` once, 300 ms into the Get Version run.
  void DuringVersionRun(const std::function<void()>& during) {
    QTimer::singleShot(300, form.get(), during);
    Click("VersionBtn");
  }

  std::vector<std::string> Members() {
    std::vector<std::string> names;
    for (const std::string& call : home->Calls()) names.push_back(call.substr(0, call.find('|')));
    return names;
  }
};

TEST_F(GuardTest, TimerKeepsTickingAndInputIsDisabledWhileAMemberRuns) {
  QSignalSpy ticks(form->Timer1(), &QTimer::timeout);
  std::vector<std::string> enabled_during;
  bool cursor_during = false;
  DuringVersionRun([&] {
    cursor_during = QApplication::overrideCursor() != nullptr;
    for (QWidget* w : form->findChildren<QWidget*>()) {
      if (w->isEnabled() && (qobject_cast<QPushButton*>(w) || qobject_cast<QComboBox*>(w))) {
        enabled_during.push_back(w->objectName().toStdString());
      }
    }
  });
  EXPECT_GE(ticks.count(), 1);
  EXPECT_TRUE(cursor_during);
  EXPECT_THAT(enabled_during, testing::UnorderedElementsAre("ExitBtn", "Button14"));
  // Afterwards the readiness of the interface applies again at once.
  EXPECT_TRUE(Button("DownloadBtn")->isEnabled());
  EXPECT_TRUE(Button("Amac4Inc")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_THAT(desk.boxes, testing::ElementsAre(ResultBox(
                              "Current Version is 2.7.3 Dec 21 2006 00:25:10", "Success")));
}

TEST_F(GuardTest, ClicksOnOtherActionsDuringARunStartNothing) {
  DuringVersionRun([&] {
    for (const char* other : {"UpgradeMacQueryBtn", "DownloadBtn", "VersionBtn", "Amac6Inc"}) {
      QTest::mouseClick(Button(other), Qt::LeftButton);
    }
    form->UpgradeMacQueryBtnClick();  // even a direct call is refused while busy
  });
  EXPECT_THAT(Members(),
              testing::ElementsAre("version.bat", "get_device_type.bat", "get_devinf.bat"));
  EXPECT_EQ(Find<QLineEdit>("Amac6")->text(), "00");
}

TEST_F(GuardTest, ClosingDuringARunClosesAfterIt) {
  bool visible_after_request = false;
  DuringVersionRun([&] {
    Click("ExitBtn");
    form->close();
    visible_after_request = form->isVisible();
  });
  EXPECT_TRUE(visible_after_request);
  EXPECT_EQ(desk.boxes.size(), 1u);  // the operation finished and reported
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 3000));
}

}  // namespace
