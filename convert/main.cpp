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

#include <cstdlib>
#include <exception>

#include "convert/wildcards.h"
#include "engine/wide_text.h"

namespace {

// The console's output code page as the program found it (0 without a console). The console
// is shared with the shell that started the program, and cmd.exe would go on in UTF-8.
UINT foundOutputPage = 0;

void RestoreCodePage() {
  if (foundOutputPage != 0) SetConsoleOutputCP(foundOutputPage);
}

// Ctrl+C, Ctrl+Break, the console closing: put back, then the system's own handler ends the
// program.
BOOL WINAPI OnConsoleEvent(DWORD) {
  RestoreCodePage();
  return FALSE;
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS*) {
  RestoreCodePage();
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

// Arguments arrive as UTF-16 and are taken as UTF-8; a list with * or ? is expanded here, as
// cmd.exe leaves that to the program.
int wmain(int argc, wchar_t* argv[]) {
  // The output code page goes back as it was on every way out: a return from here or exit()
  // (atexit), Ctrl+C and its kin, an uncaught exception, a crash.
  foundOutputPage = GetConsoleOutputCP();
  std::atexit(RestoreCodePage);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  std::set_terminate([] {
    RestoreCodePage();
    std::abort();
  });
  SetUnhandledExceptionFilter(OnCrash);
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
