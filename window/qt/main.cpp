// Starts Snipforge: the one window, with the values kept from the last time it was closed.
// `snipforge FILE` opens it with FILE in Input, as "Open with" in a file manager does.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "engine/message_text.h"
#include "platform/environment.h"
#include "settings/settings_store.h"
#include "window/qt/form1.h"
#include "window/qt/qt_desktop.h"

int main(int argc, char* argv[]) {
  // Before Qt reads the environment: root's window takes no loader setting from it and writes
  // through no folder another user controls; anyone's window sets aside a configuration or cache
  // folder that others may write.
  if (geteuid() == 0) {
    snipforge::ClearLoaderVariables();
    const std::vector<std::string> foreign = snipforge::FoldersNotRootsOwn();
    if (!foreign.empty()) {
      std::string list;
      // The folders come from the environment another user may have set: written out plainly.
      for (const std::string& folder : foreign) {
        list += "  " + snipforge::EscapeControlCharacters(folder) + "\n";
      }
      std::fprintf(stderr,
                   "snipforge: as root, the window uses root's own folders only, and these are "
                   "not:\n%sStart it as root with \"sudo -H snipforge\", or from root's own login "
                   "shell (\"su -\").\n",
                   list.c_str());
      return 2;
    }
  }
  snipforge::SetAsideForeignConfigFolders();

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
  snipforge::QtDesktop desktop;
  snipforge::Form1 window(desktop, snipforge::InstalledStoreLocations(), input);
  desktop.SetParent(&window);
  window.show();
  return QApplication::exec();
}
