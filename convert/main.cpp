// snipforge-convert [OPTION]... LIST...: see --help.
#include <iostream>
#include <string>
#include <vector>

#include "convert/command_line.h"
#include "settings/settings_store.h"

int main(int argc, char* argv[]) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return snipforge::RunCommandLine(arguments, snipforge::InstalledSettingsFiles(), std::cout,
                                   std::cerr);
}
