// snipforge-convert: turns frame lists into scripts from the command line, with the window's
// options and the same conversion, so that its scripts are the window's for the same values.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace snipforge {

// Exit statuses.
inline constexpr int kAllConverted = 0;
inline constexpr int kSomeFailed = 1;  // each failure one line on `errors`: "LIST: message"
inline constexpr int kUsageError = 2;  // nothing was read or written

// Runs the command line `arguments` (without the program's name). `store` is where --stored
// finds the values the window last stored for this user. Help and version go to `out`.
int RunCommandLine(const std::vector<std::string>& arguments, const SettingsFiles& store,
                   std::ostream& out, std::ostream& errors);

}  // namespace snipforge
