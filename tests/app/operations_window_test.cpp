// The action buttons through the real window: what each shows and writes back into the fields.
#include <gmock/gmock.h>

#include <QGroupBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "diag/ui/tdiagselform.h"
#include "window_fixture.h"

namespace {

using testing::ElementsAre;

constexpr char kKitBuild[] = "2.7.3 Dec 21 2006 00:25:10";

class OperationsWindowTest : public WindowTest {
 protected:
  void SetUp() override { UseReadyInterface(); }

  void SetFields(const char* prefix, const std::vector<const char*>& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
      Find<QLineEdit>((prefix + std::to_string(i + 1)).c_str())->setText(texts[i]);
    }
  }
  std::vector<std::string> FieldTexts(const char* prefix) {
    std::vector<std::string> texts;
    for (int i = 1; i <= 6; ++i) {
      texts.push_back(Find<QLineEdit>((prefix + std::to_string(i)).c_str())->text().toStdString());
    }
    return texts;
  }
  std::vector<std::string> Members() {
    std::vector<std::string> names;
    for (const std::string& call : home->Calls()) names.push_back(call.substr(0, call.find('|')));
    return names;
  }
  // A target that connects, programs and reads back `version`.
  void WriteUpgradeMembers(const std::string& devinf, const std::string& version) {
    home->WriteMember("get_devinf.bat", "echo '" + devinf + "' > get_devinf.tmp");
    home->WriteMember("read.exe", "exit 0");
    home->WriteMember("program_flash.bat", "exit 0");
    home->WriteMember("version.bat", "echo '" + version + "' > verinfo.txt");
    home->WriteMember("get_device_type.bat", "echo 21 > get_device_type.tmp");
  }
  void WriteStations(const std::string& lines) {
    home->WriteMember("query_address.bat", "echo 00:01:40:12:34:56 > query_address.tmp");
    home->WriteMember("get_stations.bat", "printf '" + lines + "' > get_stations.tmp");
  }
};

TEST_F(OperationsWindowTest, GetVersionFailureShowsItsBox) {
  home->WriteMember("version.bat", "echo 'ERROR: no answer' > verinfo.txt");
  Open();
  Click("VersionBtn");
  EXPECT_THAT(desk.boxes, ElementsAre(ErrorBox("Can't get target's version")));
  EXPECT_THAT(LogLines("UpgradeLogMemo"),
              ElementsAre("get target's version :", "Err: Can't get target's version."));
}

TEST_F(OperationsWindowTest, FailedQueryRewritesTheFieldsInUpperCase) {
  Open();
  SetFields("Amac", {"0a", "1b", "2c", "3d", "4e", "5f"});
  Click("UpgradeMacQueryBtn");
  EXPECT_THAT(desk.boxes, ElementsAre(ErrorBox("Err: Can't find query_address.bat"),
                                      ErrorBox("Can't query MAC address.")));
  EXPECT_THAT(FieldTexts("Amac"), ElementsAre("0A", "1B", "2C", "3D", "4E", "5F"));
}

TEST_F(OperationsWindowTest, QueryFillsTheTargetFields) {
  home->WriteMember("query_address.bat", "echo 0:a:1B:2c:3D:4e > query_address.tmp");
  Open();
  Click("UpgradeMacQueryBtn");
  EXPECT_TRUE(desk.boxes.empty());
  EXPECT_THAT(FieldTexts("Amac"), ElementsAre("00", "0A", "1B", "2C", "3D", "4E"));
}

TEST_F(OperationsWindowTest, DownloadAsksOnAMismatchAndOnlyYesProceeds) {
  const std::string question =
      "Download the new firmware with hardware configuration = Coax_4-20_1.0 into the target "
      "which hardware configuration =Coax ?";
  const std::string caption = "Warning: hardware configuration doesn't match";
  struct Case {
    bool yes;
    std::vector<RecordedBox> boxes;
    std::vector<std::string> members;
  };
  const Case cases[] = {
      {false,
       {QuestionBox(question, caption), ErrorBox("HW doesn't match, upgrade failed.")},
       {"get_devinf.bat"}},
      {true,
       {QuestionBox(question, caption),
        ResultBox(std::string("Upgrade complete. Current Version is ") + kKitBuild)},
       {"get_devinf.bat", "read.exe", "program_flash.bat", "version.bat", "get_device_type.bat",
        "get_devinf.bat"}},
  };
  for (const Case& c : cases) {
    form.reset();
    home.reset();  // the old home restores the working directory it found
    home = std::make_unique<TempHome>();
    WriteUpgradeMembers("hw=Coax 4-20 1.0 pin=0", kKitBuild);
    desk = RecorderDesk();
    desk.answers = {c.yes};
    Open();
    Click("DownloadBtn");
    EXPECT_EQ(desk.boxes, c.boxes) << c.yes;
    EXPECT_EQ(Members(), c.members) << c.yes;
    if (!c.yes) {
      EXPECT_THAT(LogLines("UpgradeLogMemo"), testing::IsEmpty());
    }
    form.reset();
  }
}

TEST_F(OperationsWindowTest, ReadBackInOtherLetterCaseFails) {
  WriteUpgradeMembers("hw=Coax 4-20 #1.0 pin=0", "2.7.3 dec 21 2006 00:25:10");
  Open();
  Click("DownloadBtn");
  EXPECT_THAT(desk.boxes, ElementsAre(ErrorBox("Upgrade Fail", "Fail")));
  EXPECT_EQ(LogLines("UpgradeLogMemo").back(), "Ok.");
  EXPECT_THAT(desk.pauses, ElementsAre(1000));
}

// The recorder's chooser shows the real selection dialog and works it with `steps`.
void UseRealDialog(RecorderDesk& desk, QWidget* owner, std::function<void(TDiagSelForm&)> steps) {
  desk.chooser = [&desk, owner, steps](const std::vector<std::string>& items,
                                       MacAddress& selected) {
    TDiagSelForm dialog(owner, selected, desk);
    for (const std::string& item : items) dialog.AddItem(item);
    QTimer::singleShot(0, &dialog, [&dialog, steps] {
      steps(dialog);
      if (dialog.isVisible()) {
        ADD_FAILURE() << "the dialog is still open after the test's steps";
        dialog.reject();
      }
    });
    dialog.exec();
  };
}

QPushButton* OkButton(TDiagSelForm& dialog) { return dialog.findChild<QPushButton*>("OkBtn"); }

TEST_F(OperationsWindowTest, ChoosingTheSecondStationFillsTheBTarget) {
  WriteStations("00:01:40:AB:CD:01\\n00:01:40:12:34:56\\n00:01:40:ab:cd:02\\n");
  Open();
  UseRealDialog(desk, form.get(), [](TDiagSelForm& dialog) {
    QList<QRadioButton*> radios = dialog.findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_EQ(radios[1]->text(), "00:01:40:AB:CD:02");
    radios[1]->click();
    QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
  });
  Click("DiagMacQueryBtn");
  EXPECT_THAT(FieldTexts("Lmac"), ElementsAre("00", "01", "40", "12", "34", "56"));
  EXPECT_THAT(FieldTexts("Rmac"), ElementsAre("00", "01", "40", "AB", "CD", "02"));
  EXPECT_TRUE(desk.boxes.empty());
}

TEST_F(OperationsWindowTest, OkWithoutAChoiceKeepsTheDialogAndTheCloseBoxGivesTheLastStation) {
  WriteStations("00:01:40:AB:CD:01\\n00:01:40:AB:CD:02\\n00:01:40:AB:CD:03\\n");
  Open();
  bool open_after_ok = false;
  UseRealDialog(desk, form.get(), [&](TDiagSelForm& dialog) {
    QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
    open_after_ok = dialog.isVisible();
    dialog.close();  // the close box
  });
  Click("DiagMacQueryBtn");
  EXPECT_TRUE(open_after_ok);
  EXPECT_THAT(desk.boxes, ElementsAre(ErrorBox("Please select the B target (remote target)")));
  EXPECT_THAT(FieldTexts("Rmac"), ElementsAre("00", "01", "40", "AB", "CD", "03"));
}

TEST_F(OperationsWindowTest, FailedAQueryShowsTwoBoxesAndRewritesAllTwelveFields) {
  Open();
  SetFields("Lmac", {"0a", "0b", "0c", "0d", "0e", "0f"});
  SetFields("Rmac", {"a0", "b0", "c0", "d0", "e0", "f0"});
  Click("DiagMacQueryBtn");
  EXPECT_THAT(desk.boxes, ElementsAre(ErrorBox("Err: Can't find query_address.bat"),
                                      ErrorBox("Can't query MAC address."),
                                      ErrorBox("Can't query MAC address.")));
  EXPECT_THAT(FieldTexts("Lmac"), ElementsAre("0A", "0B", "0C", "0D", "0E", "0F"));
  EXPECT_THAT(FieldTexts("Rmac"), ElementsAre("A0", "B0", "C0", "D0", "E0", "F0"));
}

TEST_F(OperationsWindowTest, PeTextReachesTheLinkTestAsItsWordsAndFiguresAreShown) {
  home->WriteMember("read.exe", "exit 0");
  home->WriteMember("per_test.bat",
                    "echo 'pkts 10000 per 0.01 snr 31.2 db, rate: 16Mbaud/ 4bits' > snr.tmp");
  Open();
  QTest::keyClick(Find<QLineEdit>("PEEdit"), Qt::Key_P,
                  Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  Find<QLineEdit>("DiagPEEdit")->setText("5  %s $(touch x) 7%");
  SetFields("Rmac", {"00", "01", "40", "ab", "cd", "02"});
  Click("DiagBtn");
  std::vector<std::string> calls = home->Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], "per_test.bat|" + home->kernel() +
                          "|198.51.100.2|00-01-40-00-00-00|00-01-40-AB-CD-02|5|%s|$(touch|x)|7%|"
                          "1400|10000");
  EXPECT_FALSE(home->Exists("Kernel/x"));
  EXPECT_EQ(Find<QLineEdit>("SNREdit")->text(), "31.20");
  EXPECT_EQ(Find<QLineEdit>("PEREdit")->text(), "0.009");
  EXPECT_EQ(Find<QLineEdit>("PEEdit")->text(), "16Mbaud/4bits");
  EXPECT_TRUE(desk.boxes.empty());
}

TEST_F(OperationsWindowTest, LinkTestTakesThePeValueAsItStandsOnceTheATargetAnswered) {
  home->WriteMember("read.exe", "sleep 0.6");
  home->WriteMember("per_test.bat", "exit 0");
  Open();
  QTimer::singleShot(200, form.get(), [&] { Find<QLineEdit>("DiagPEEdit")->setText("42"); });
  Click("DiagBtn");
  std::vector<std::string> calls = home->Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_THAT(calls[1], testing::HasSubstr("|42|1400|10000"));
}

}  // namespace
