// Window test fixture.
#include "window_fixture.h"

#include <QTest>

WindowTest::WindowTest() : home(std::make_unique<TempHome>()) {}

WindowTest::~WindowTest() {
  form.reset();
  home.reset();
}

void WindowTest::UseReadyInterface() {
  devices.list = std::vector<CaptureDevice>{{"eth0", std::nullopt, ""}};
  adapters.table = std::vector<AdapterRecord>{{"eth0", false, "198.51.100.2"}};
}

TMainForm& WindowTest::Open() {
  form = std::make_unique<TMainForm>(TMainForm::Sources{&desk, &devices, &adapters});
  return *form;
}

std::vector<std::string> WindowTest::LogLines(const char* memo) {
  QString text = Find<QPlainTextEdit>(memo)->toPlainText();
  std::vector<std::string> lines;
  if (text.isEmpty()) return lines;
  for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
  return lines;
}

void WindowTest::Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }
