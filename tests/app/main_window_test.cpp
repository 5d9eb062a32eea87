// The real main window: caption, controls, tab order, key chords, exit, address stepping and the
// interface panels.
#include <gmock/gmock.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "window_fixture.h"

namespace {

using testing::ElementsAre;

TEST_F(WindowTest, CaptionNamesVersionAndKitAndHomeIsTheWorkingDirectory) {
  Open();
  EXPECT_EQ(form->windowTitle().toStdString(),
            "VOR Firmware Upgrade Utility Version 2.7.3RC5 (Coax_4-20_1.0)");
  EXPECT_EQ(form->State().HomeDir, home->path());
  auto* pages = Find<QTabWidget>("PageControl1");
  EXPECT_EQ(pages->currentWidget()->objectName(), "UpgradeSheet");
  EXPECT_EQ(pages->tabText(0), "Upgrade");
  EXPECT_EQ(pages->tabText(1), "Diagnostic");
  EXPECT_TRUE(pages->isTabVisible(1));
  EXPECT_TRUE(form->Timer1()->isActive());
  EXPECT_EQ(form->Timer1()->interval(), 1000);
}

struct EditCase {
  const char* name;
  const char* text;
  int max_length;  // QLineEdit's default is 32767
  bool read_only;
  const char* tip;
};

TEST_F(WindowTest, EditsCarryTheirTextsLimitsAndHints) {
  Open();
  const EditCase cases[] = {
      {"Amac1", "00", 2, false, ""},
      {"Amac2", "01", 2, false, ""},
      {"Amac3", "40", 2, false, ""},
      {"Amac6", "00", 2, false, ""},
      {"Lmac1", "00", 2, false, ""},
      {"Lmac3", "40", 2, false, ""},
      {"Rmac2", "01", 2, false, ""},
      {"Rmac6", "00", 2, false, ""},
      {"DiagPEEdit", "255", 32767, false, ""},
      {"SNREdit", "", 5, true, "Signal to Noise Ratio"},
      {"PEREdit", "", 5, true, "Packet Error Rate"},
      {"PEEdit", "", 32767, true, "Tx Payload Encoding(Baud rate/Bits per Baud/Spectral Mask)"},
  };
  for (const EditCase& c : cases) {
    auto* edit = Find<QLineEdit>(c.name);
    EXPECT_EQ(edit->text().toStdString(), c.text) << c.name;
    EXPECT_EQ(edit->maxLength(), c.max_length) << c.name;
    EXPECT_EQ(edit->isReadOnly(), c.read_only) << c.name;
    EXPECT_EQ(edit->toolTip().toStdString(), c.tip) << c.name;
  }
}

TEST_F(WindowTest, ATypedThirdCharacterIsRefused) {
  Open();
  auto* field = Find<QLineEdit>("Amac4");
  field->clear();
  QTest::keyClicks(field, "ABC");
  EXPECT_EQ(field->text(), "AB");
}

struct ButtonCase {
  const char* name;
  const char* text;
  const char* tip;
};

TEST_F(WindowTest, ButtonsAndLabelsCarryTheirTexts) {
  Open();
  const ButtonCase buttons[] = {
      {"UpgradeMacQueryBtn", "query", "Query target's MAC. Don't support v1.2d or earlier"},
      {"DiagMacQueryBtn", "query",
       "query the MACs of A target and B target.  Don't support v1.2d or earlier"},
      {"DownloadBtn", "Download", "start to download"},
      {"VersionBtn", "Get Version", "get target's current version"},
      {"DiagBtn", "Diagnose", "start to diagnose"},
      {"ExitBtn", "Exit", ""},
      {"Button14", "Exit", ""},
      {"Amac4Inc", "+", ""},
      {"Rmac6Dec", "-", ""},
  };
  for (const ButtonCase& c : buttons) {
    EXPECT_EQ(Button(c.name)->text().toStdString(), c.text) << c.name;
    EXPECT_EQ(Button(c.name)->toolTip().toStdString(), c.tip) << c.name;
  }
  const std::pair<const char*, const char*> labels[] = {
      {"Label1", "Target's MAC "},
      {"Label2", "Interface "},
      {"Label3", "Upgrade Log"},
      {"Label4", "Interface Status : "},
      {"Label5", "A Target (Local) MAC "},
      {"Label7", "PC Interface "},
      {"Label8", "Interface Status : "},
      {"Label9", "B Target (Remote) MAC"},
      {"Label10", "Local PC --->A Target(Local)---------HPNA line-------->B Target(Remote)"},
      {"Label13", "Diagnostic Result :"},
      {"Label14", "PE :"},
      {"Label15", "Topology:"},
      {"Label11", "SNR"},
      {"Label12", "PER"},
      {"PELab", "PE"},
  };
  for (const auto& [name, text] : labels) {
    EXPECT_EQ(Find<QLabel>(name)->text().toStdString(), text) << name;
  }
  EXPECT_EQ(Find<QGroupBox>("PEGroupBox")->title(), "Set Diagnostic PE");
  EXPECT_EQ(Find<QPlainTextEdit>("DiagLogMemo")->toolTip(), "Diagnostic Log");
  EXPECT_EQ(Find<QPlainTextEdit>("UpgradeStatusMemo")->toPlainText().toStdString(),
            "This interface uses DHCP, and it needs \nabout 1 minute to get ready after you \n"
            "connect the HPNA bridge with PC.");
  EXPECT_EQ(Find<QPlainTextEdit>("MemoDiag")->toPlainText().toStdString(),
            "This interface uses DHCP, and it needs \nabout 1 minute to get ready after you \n"
            "connect the HPNA switch with PC.");
}

TEST_F(WindowTest, HiddenControlsStartHidden) {
  Open();
  for (const char* name : {"PEGroupBox", "UpgradeStatusMemo", "MemoDiag"}) {
    EXPECT_TRUE(Find<QWidget>(name)->isHidden()) << name;
  }
}

TEST_F(WindowTest, TabOrderFollowsTheForm) {
  Open();
  const std::vector<std::string> expected = {"IFSelectUpgrade",
                                             "Amac1",
                                             "Amac2",
                                             "Amac3",
                                             "Amac4",
                                             "Amac5",
                                             "Amac6",
                                             "DownloadBtn",
                                             "ExitBtn",
                                             "UpgradeLogMemo",
                                             "Amac4Inc",
                                             "Amac4Dec",
                                             "Amac5Inc",
                                             "Amac5Dec",
                                             "Amac6Inc",
                                             "Amac6Dec",
                                             "UpgradeStatusMemo",
                                             "VersionBtn",
                                             "UpgradeMacQueryBtn",
                                             "IFSelectDiag",
                                             "Lmac4",
                                             "Lmac5",
                                             "Lmac6",
                                             "Rmac4",
                                             "Rmac5",
                                             "Rmac6",
                                             "Lmac1",
                                             "Lmac2",
                                             "Lmac3",
                                             "Rmac1",
                                             "Lmac4Inc",
                                             "Lmac4Dec",
                                             "Lmac5Inc",
                                             "Lmac5Dec",
                                             "Lmac6Inc",
                                             "Lmac6Dec",
                                             "Rmac2",
                                             "Rmac3",
                                             "Rmac4Inc",
                                             "Rmac4Dec",
                                             "Rmac5Inc",
                                             "Rmac5Dec",
                                             "Rmac6Inc",
                                             "Rmac6Dec",
                                             "DiagBtn",
                                             "Button14",
                                             "SNREdit",
                                             "PEREdit",
                                             "DiagPEEdit",
                                             "MemoDiag",
                                             "PEEdit",
                                             "DiagMacQueryBtn",
                                             "DiagLogMemo"};
  // The focus chain, restricted to the controls named above, visits them in this order.
  std::vector<std::string> chain;
  QWidget* start = Find<QWidget>("IFSelectUpgrade");
  QWidget* w = start;
  do {
    const std::string name = w->objectName().toStdString();
    if (std::find(expected.begin(), expected.end(), name) != expected.end()) chain.push_back(name);
    w = w->nextInFocusChain();
  } while (w != start && chain.size() < expected.size());
  EXPECT_EQ(chain, expected);
}

struct ChordCase {
  Qt::KeyboardModifiers modifiers;
  Qt::Key key;
  bool reveals;
};

TEST_F(WindowTest, OnlyTheFullChordRevealsThePeGroup) {
  const ChordCase cases[] = {
      {Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier, Qt::Key_P, true},
      {Qt::ControlModifier | Qt::AltModifier, Qt::Key_P, false},
      {Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_P, false},
      {Qt::AltModifier | Qt::ShiftModifier, Qt::Key_P, false},
      {Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier, Qt::Key_O, false},
  };
  for (const ChordCase& c : cases) {
    Open();
    QTest::keyClick(Find<QLineEdit>("PEEdit"), c.key, c.modifiers);
    EXPECT_EQ(!Find<QGroupBox>("PEGroupBox")->isHidden(), c.reveals)
        << int(c.modifiers) << " " << c.key;
  }
}

TEST_F(WindowTest, RevealedPeGroupLiesInFrontOfTheDiagnosticLog) {
  Open();
  QTest::keyClick(Find<QLineEdit>("PEEdit"), Qt::Key_P,
                  Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  QWidget* group = Find<QWidget>("PEGroupBox");
  const QObjectList& siblings = group->parentWidget()->children();
  EXPECT_GT(siblings.indexOf(group), siblings.indexOf(Find<QWidget>("DiagLogMemo")));
}

TEST_F(WindowTest, LogChordKeepsTheDiagnosticTabAndLeavesOtherKeysToTheMemo) {
  Open();
  auto* memo = Find<QPlainTextEdit>("UpgradeLogMemo");
  QTest::keyClick(memo, Qt::Key_P, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_TRUE(Find<QTabWidget>("PageControl1")->isTabVisible(1));
  EXPECT_EQ(memo->toPlainText(), "");  // the chord is consumed
  QTest::keyClicks(memo, "p");
  EXPECT_EQ(memo->toPlainText(), "p");  // anything else is typed as usual
}

TEST_F(WindowTest, TabLeavesTheLogsInsteadOfTypingIntoThem) {
  Open();
  for (const char* name : {"UpgradeLogMemo", "DiagLogMemo", "UpgradeStatusMemo", "MemoDiag"}) {
    EXPECT_TRUE(Find<QPlainTextEdit>(name)->tabChangesFocus()) << name;
  }
}

TEST_F(WindowTest, ExitButtonsAndCloseBoxCloseTheWindow) {
  for (const char* exit : {"ExitBtn", "Button14"}) {
    Open();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Click(exit);
    EXPECT_FALSE(form->isVisible()) << exit;
    EXPECT_FALSE(form->Timer1()->isActive());
  }
  Open();
  form->show();
  form->close();
  EXPECT_FALSE(form->isVisible());
}

TEST_F(WindowTest, SteppingButtonsWrapWithinTheirByte) {
  Open();
  Find<QLineEdit>("Amac5")->setText("3c");
  Find<QLineEdit>("Amac6")->setText("FF");
  Click("Amac6Inc");
  EXPECT_EQ(Find<QLineEdit>("Amac6")->text(), "00");
  EXPECT_EQ(Find<QLineEdit>("Amac5")->text(), "3c");
  Click("Amac6Dec");
  EXPECT_EQ(Find<QLineEdit>("Amac6")->text(), "FF");
  Find<QLineEdit>("Rmac4")->setText("0a");
  Click("Rmac4Inc");
  EXPECT_EQ(Find<QLineEdit>("Rmac4")->text(), "0B");
  Find<QLineEdit>("Lmac5")->setText("00");
  Click("Lmac5Dec");
  EXPECT_EQ(Find<QLineEdit>("Lmac5")->text(), "FF");
  EXPECT_TRUE(desk.boxes.empty());
}

TEST_F(WindowTest, SteppingAFieldThatDoesNotConvertShowsTheErrorAndKeepsTheField) {
  Open();
  Find<QLineEdit>("Lmac6")->setText("");
  Click("Lmac6Inc");
  Find<QLineEdit>("Amac4")->setText("G");
  Click("Amac4Dec");
  EXPECT_EQ(Find<QLineEdit>("Lmac6")->text(), "");
  EXPECT_EQ(Find<QLineEdit>("Amac4")->text(), "G");
  ASSERT_EQ(desk.boxes.size(), 2u);
  EXPECT_EQ(desk.boxes[0].text, "'0x' is not a valid integer value");
  EXPECT_EQ(desk.boxes[1].text, "'0xG' is not a valid integer value");
  EXPECT_EQ(desk.boxes[0].style, RecordedBox::Style::kError);
}

// --- interfaces ---------------------------------------------------------------------------------

struct PanelCase {
  bool dhcp;
  const char* ip;
  const char* caption;
  QColor colour;
  bool ready;
  bool hint;
};

TEST_F(WindowTest, PanelsButtonsAndHintsFollowTheAdapter) {
  const PanelCase cases[] = {
      {true, "0.0.0.0", " <dynamic IP>:   ----  Not Ready", QColor(255, 0, 0), false, true},
      {true, "198.51.100.9", " <dynamic IP>: 198.51.100.9", QColor(0, 255, 255), true, false},
      {false, "0.0.0.0", " <fixed IP>:   ----  Not Ready", QColor(255, 0, 0), false, false},
      {false, "198.51.100.9", " <fixed IP>: 198.51.100.9", QColor(0, 255, 255), true, false},
  };
  for (const PanelCase& c : cases) {
    devices.list = std::vector<CaptureDevice>{{"eth0", std::nullopt, ""}};
    adapters.table = std::vector<AdapterRecord>{{"eth0", c.dhcp, c.ip}};
    Open();
    for (const char* panel : {"IFStatusUpgrade", "IFStatusDiag"}) {
      auto* label = Find<QLabel>(panel);
      EXPECT_EQ(label->text().toStdString(), c.caption) << panel;
      EXPECT_EQ(label->palette().color(QPalette::Window), c.colour) << c.caption;
    }
    for (const char* name :
         {"DownloadBtn", "VersionBtn", "UpgradeMacQueryBtn", "DiagBtn", "DiagMacQueryBtn"}) {
      EXPECT_EQ(Button(name)->isEnabled(), c.ready) << name << " " << c.caption;
    }
    EXPECT_EQ(!Find<QWidget>("UpgradeStatusMemo")->isHidden(), c.hint) << c.caption;
    EXPECT_EQ(!Find<QWidget>("MemoDiag")->isHidden(), c.hint) << c.caption;
  }
}

TEST_F(WindowTest, TimerFollowsALeaseArriving) {
  devices.list = std::vector<CaptureDevice>{{"eth0", std::nullopt, ""}};
  adapters.table = std::vector<AdapterRecord>{{"eth0", true, "0.0.0.0"}};
  Open();
  EXPECT_FALSE(Button("DownloadBtn")->isEnabled());
  adapters.table = std::vector<AdapterRecord>{{"eth0", true, "198.51.100.9"}};
  QSignalSpy ticks(form->Timer1(), &QTimer::timeout);
  ASSERT_TRUE(ticks.wait(2500));
  EXPECT_TRUE(Button("DownloadBtn")->isEnabled());
  EXPECT_TRUE(Button("DiagBtn")->isEnabled());
  EXPECT_TRUE(Find<QWidget>("UpgradeStatusMemo")->isHidden());
  EXPECT_EQ(Find<QLabel>("IFStatusDiag")->text(), " <dynamic IP>: 198.51.100.9");
  EXPECT_EQ(form->State().Interfaces[0].IpAddress, "198.51.100.9");
}

TEST_F(WindowTest, ListsAreNumberedAndBothStartOnTheFirstDevice) {
  devices.list = std::vector<CaptureDevice>{{"eth0", std::nullopt, ""},
                                            {"wlan0", std::string("Wireless"), ""}};
  adapters.table = std::vector<AdapterRecord>{{"eth0", false, "198.51.100.2"}};
  Open();
  for (const char* name : {"IFSelectUpgrade", "IFSelectDiag"}) {
    auto* list = Find<QComboBox>(name);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(0), "1: eth0");
    EXPECT_EQ(list->itemText(1), "2: Wireless");
    EXPECT_EQ(list->currentIndex(), 0);
  }
  EXPECT_EQ(devices.calls, 2);  // enumerated afresh for each list
}

TEST_F(WindowTest, ChoosingADeviceWithoutAdapterKeepsThePanelAndDisablesTheTab) {
  devices.list = std::vector<CaptureDevice>{{"eth0", std::nullopt, ""}, {"any", std::nullopt, ""}};
  adapters.table = std::vector<AdapterRecord>{{"eth0", false, "198.51.100.2"}};
  Open();
  auto* list = Find<QComboBox>("IFSelectDiag");
  list->setCurrentIndex(1);
  emit list->activated(1);
  EXPECT_EQ(Find<QLabel>("IFStatusDiag")->text(), " <fixed IP>: 198.51.100.2");
  EXPECT_FALSE(Button("DiagBtn")->isEnabled());
  EXPECT_TRUE(Button("DownloadBtn")->isEnabled());
}

TEST_F(WindowTest, NoCaptureDeviceLeavesEverythingEmptyAndExitWorks) {
  Open();
  form->show();
  for (const char* name : {"IFSelectUpgrade", "IFSelectDiag"}) {
    EXPECT_EQ(Find<QComboBox>(name)->count(), 0);
  }
  EXPECT_EQ(Find<QLabel>("IFStatusUpgrade")->text(), "");
  for (const char* name :
       {"DownloadBtn", "VersionBtn", "UpgradeMacQueryBtn", "DiagBtn", "DiagMacQueryBtn"}) {
    EXPECT_FALSE(Button(name)->isEnabled()) << name;
  }
  EXPECT_TRUE(Find<QWidget>("MemoDiag")->isHidden());
  EXPECT_TRUE(desk.boxes.empty());
  Click("ExitBtn");
  EXPECT_FALSE(form->isVisible());
}

TEST_F(WindowTest, FailingDeviceListShowsItsBoxForEachListAndTheWindowComesUp) {
  devices.list = std::nullopt;
  Open();
  EXPECT_THAT(desk.boxes,
              ElementsAre(ErrorBox("pcap_findalldevs error: Can't get the NIC information"),
                          ErrorBox("pcap_findalldevs error: Can't get the NIC information")));
  EXPECT_FALSE(Button("DownloadBtn")->isEnabled());
}

TEST_F(WindowTest, FailingAdapterTableReportsOncePerStreak) {
  UseReadyInterface();
  adapters.table = std::nullopt;
  Open();
  form->Timer1Timer();
  form->Timer1Timer();
  EXPECT_THAT(desk.boxes, ElementsAre(ErrorBox("Call to WINAPI GetAdaptersInfo failed.\n")));
  EXPECT_FALSE(Button("DownloadBtn")->isEnabled());
  adapters.table = std::vector<AdapterRecord>{{"eth0", false, "198.51.100.2"}};
  form->Timer1Timer();
  EXPECT_TRUE(Button("DownloadBtn")->isEnabled());
  adapters.table = std::nullopt;
  form->Timer1Timer();
  EXPECT_EQ(desk.boxes.size(), 2u);
}

}  // namespace
