// Program entry: the application object, the main window, the message loop; always exit code 0.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/tmainform.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  try {
    TMainForm form;
    form.show();
    app.exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QStringLiteral("VOR Firmware Upgrade Utility"),
                          QString::fromLocal8Bit(error.what()));
  }
  return 0;
}
