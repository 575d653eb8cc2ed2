// Starts Snipforge: the one window, with the values kept from the last time it was closed.
// `snipforge FILE` opens it with FILE in Input, as "Open with" in a file manager does.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>
#include <optional>

#include "platform/desktop.h"
#include "settings/settings_store.h"
#include "window/form1.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("snipforge"));
  QApplication::setApplicationVersion(QStringLiteral(SNIPFORGE_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("snipforge"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Turns a list of bad frame numbers into an Avisynth script."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("The frame list to put in Input."),
                               QStringLiteral("[FILE]"));
  parser.process(application);
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    std::fputs("snipforge: one FILE at most\n", stderr);
    return 2;
  }

  std::optional<QString> input;
  if (!files.isEmpty()) input = QFileInfo(files.front()).absoluteFilePath();
  snipforge::SystemDesktop desktop;
  snipforge::Form1 window(desktop, snipforge::InstalledSettingsFiles(), input);
  window.show();
  return QApplication::exec();
}
