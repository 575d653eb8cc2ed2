// snipforge-convert: turns frame lists into scripts from the command line, with the window's
// options and the same conversion, so that its scripts are the window's for the same values.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/file_system.h"
#include "engine/option_table.h"
#include "engine/result.h"
#include "settings/settings_store.h"

namespace snipforge {

// Exit statuses.
inline constexpr int kAllConverted = 0;
inline constexpr int kSomeFailed = 1;  // each failure one line on `errors`: "LIST: message"
inline constexpr int kUsageError = 2;  // nothing was read or written

// What a command line asks for.
struct CommandLineRequest {
  bool help = false;
  bool version = false;
  bool stored = false;
  bool noClobber = false;
  std::vector<std::pair<const Option*, std::string>> given;  // in order: the last one wins
  std::optional<std::string> output;
  std::vector<std::string> lists;
};

// The request of the arguments, or what is wrong with them.
[[nodiscard]] Result<CommandLineRequest> ParseCommandLine(const std::vector<std::string>& arguments);

// Where the command line reads and writes besides its files.
struct Console {
  std::ostream& out;              // help and version
  std::ostream& errors;           // usage errors and one line per failed list
  NativeHandle standardInput;     // the list "-"
  NativeHandle standardOutput;    // the script of "-o -"
};

// Runs the command line `arguments` (without the program's name). `stores` are where --stored
// finds the values the window last stored for this user.
int RunCommandLine(const std::vector<std::string>& arguments, const StoreLocations& stores,
                   const Console& console);

}  // namespace snipforge
