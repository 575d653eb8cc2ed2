// Starts Snipforge: the one window, with the values kept from the last time it was closed.
#include <QApplication>

#include "platform/desktop.h"
#include "settings/settings_store.h"
#include "window/form1.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("snipforge"));
  QGuiApplication::setDesktopFileName(QStringLiteral("snipforge"));
  snipforge::SystemDesktop desktop;
  snipforge::Form1 window(desktop, snipforge::InstalledSettingsFiles());
  window.show();
  return QApplication::exec();
}
