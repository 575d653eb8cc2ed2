// Keeps the window's sixteen option values from one use of the program to the next. Root's
// values are the machine-wide ones, which every user sees; any other user keeps values of their
// own, which win over the machine-wide ones. The store exchanges values, never controls.
#pragma once

#include <QString>

#include <string>
#include <vector>

#include "engine/conversion.h"
#include "engine/option_table.h"

namespace snipforge {

struct SettingsFiles {
  QString machine;  // the machine-wide store, written only by root
  QString user;     // this user's own store; empty for root, whose values are the machine-wide ones
};

// The machine-wide store fixed when the program was built and, for any user but root,
// $XDG_CONFIG_HOME/snipforge/settings.ini (by default under ~/.config).
[[nodiscard]] SettingsFiles InstalledSettingsFiles();

struct StoredText {
  const Option* option;
  std::string text;  // as OptionText gives it
};

// The stored texts in load order, tInput before tOutput: a value of the user's own store, else
// the machine-wide one. A value that is missing, too long or in a store that is not trusted is
// left out. Nothing is written.
[[nodiscard]] std::vector<StoredText> LoadSettings(const SettingsFiles& files);
// Creates the store this user saves to when it is missing, as the window does when it opens.
void CreateSettingsStore(const SettingsFiles& files);
// Stores all sixteen values, in save order, in root's machine-wide store or the user's own.
// Nothing is reported: a store that cannot be written is left as it was.
void SaveSettings(const SettingsFiles& files, const ControlValues& values);

}  // namespace snipforge
