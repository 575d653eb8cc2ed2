// snipforge-convert [OPTION]... [--] LIST...: see --help.
#include <iostream>
#include <string>
#include <vector>

#include "convert/command_line.h"
#include "settings/settings_store.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "convert/wildcards.h"
#include "engine/wide_text.h"

// Arguments arrive as UTF-16 and are taken as UTF-8; a list with * or ? is expanded here, as
// cmd.exe leaves that to the program.
int wmain(int argc, wchar_t* argv[]) {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);  // a script on standard output keeps its CR LF
  _setmode(_fileno(stderr), _O_BINARY);  // messages end in LF, as --help on standard output
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(snipforge::Utf8(argv[i]));
  arguments = snipforge::ExpandWildcards(arguments);
  const snipforge::Console console{std::cout, std::cerr, GetStdHandle(STD_INPUT_HANDLE),
                                   GetStdHandle(STD_OUTPUT_HANDLE)};
  return snipforge::RunCommandLine(arguments, snipforge::InstalledStoreLocations(), console);
}
#else
#include <unistd.h>

#include "platform/environment.h"

int main(int argc, char* argv[]) {
  // Root's run takes nothing from a folder or a loader setting another user controls; any
  // user's run no configuration folder that others may write.
  if (geteuid() == 0) snipforge::ClearLoaderVariables();
  snipforge::SetAsideForeignConfigFolders();
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const snipforge::Console console{std::cout, std::cerr, STDIN_FILENO, STDOUT_FILENO};
  return snipforge::RunCommandLine(arguments, snipforge::InstalledStoreLocations(), console);
}
#endif
