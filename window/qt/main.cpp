// Starts Snipforge: the one window, with the values kept from the last time it was closed.
// `snipforge FILE` opens it with FILE in Input, as "Open with" in a file manager does.
#include <QApplication>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/message_text.h"
#include "platform/environment.h"
#include "settings/settings_store.h"
#include "window/qt/form1.h"
#include "window/qt/qt_desktop.h"

namespace {

constexpr std::string_view kHelp =
    "Usage: snipforge [OPTION]... [FILE]\n"
    "Turns a list of bad frame numbers into an Avisynth script: opens the window,\n"
    "with FILE in Input when it is given.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n";

struct Arguments {
  bool help = false;
  bool version = false;
  std::optional<std::string> file;
  std::string error;  // what is wrong with them, written out plainly
};

// The window reads its arguments itself: none reaches Qt, which would take "-platform
// vnc:port=N" or "-plugin" from them, also after "--".
Arguments Parse(int argc, char* argv[]) {
  Arguments parsed;
  std::vector<std::string> files;
  bool onlyFiles = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!onlyFiles && argument == "--") {
      onlyFiles = true;
    } else if (!onlyFiles && (argument == "-h" || argument == "--help")) {
      parsed.help = true;
      return parsed;
    } else if (!onlyFiles && (argument == "-v" || argument == "--version")) {
      parsed.version = true;
      return parsed;
    } else if (!onlyFiles && argument.size() > 1 && argument.front() == '-') {
      parsed.error = "unknown option " + snipforge::EscapeControlCharacters(argument);
      return parsed;
    } else {
      files.emplace_back(argument);
    }
  }
  if (files.size() > 1) {
    parsed.error = "one FILE at most";
  } else if (!files.empty()) {
    parsed.file = std::move(files.front());
  }
  return parsed;
}

// The file's path from the working folder, as bytes: a name that is not valid UTF-8 stays the
// name of the file given, never of a look-alike.
std::string Absolute(std::string path) {
  while (path.starts_with("./")) path.erase(0, 2);
  if (path.starts_with('/')) return path;
  std::error_code error;
  std::string folder = std::filesystem::current_path(error).native();
  if (error) return path;
  if (!folder.ends_with('/')) folder += '/';
  return folder + path;
}

}  // namespace

int main(int argc, char* argv[]) {
  const Arguments arguments = Parse(argc, argv);
  if (!arguments.error.empty()) {
    std::fprintf(stderr, "snipforge: %s\nTry 'snipforge --help' for more information.\n",
                 arguments.error.c_str());
    return 2;
  }
  if (arguments.help || arguments.version) {
    const std::string text =
        arguments.help ? std::string(kHelp) : std::string("snipforge " SNIPFORGE_VERSION "\n");
    std::fputs(text.c_str(), stdout);
    return 0;
  }

  // Before Qt or anything else reads the environment: root's window starts from a clean one,
  // whoever's environment it was started in; anyone's window sets aside a configuration or
  // cache folder that others may write.
  if (geteuid() == 0) snipforge::StartFromCleanEnvironment();
  snipforge::SetAsideForeignConfigFolders();

  // Qt gets the program's name only.
  static int qtArgc = 1;
  static char qtName[] = "snipforge";
  static char* qtArgv[] = {qtName, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("snipforge"));
  QApplication::setApplicationVersion(QStringLiteral(SNIPFORGE_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("snipforge"));

  std::optional<QString> input;
  if (arguments.file) input = snipforge::FromPath(Absolute(*arguments.file));
  snipforge::QtDesktop desktop;
  snipforge::Form1 window(desktop, snipforge::InstalledStoreLocations(), input);
  desktop.SetParent(&window);
  window.show();
  return QApplication::exec();
}
