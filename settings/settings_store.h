// Keeps the window's option values from one use of the program to the next. Every user,
// root too, keeps values of their own, which win over the machine-wide ones; root (on Windows an
// elevated program) also sets the machine-wide values, but never the two paths, which stay
// private. The store exchanges values, never controls.
#pragma once

#include <string>
#include <vector>

#include "engine/conversion.h"
#include "engine/option_table.h"
#include "engine/result.h"
#include "platform/value_store.h"

namespace snipforge {

struct StoreLocations {
  StoreLocation machine;  // read by every user
  StoreLocation user;     // this user's own
  // True for root (on Windows: an elevated program), whose save also writes the machine-wide
  // store.
  bool writesMachine = false;
};

// Linux: the machine-wide store fixed when the program was built, and
// $XDG_CONFIG_HOME/snipforge/settings.ini (by default under ~/.config; for root always
// ~root/.config). Windows: Software\Snipforge under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
[[nodiscard]] StoreLocations InstalledStoreLocations();

struct StoredText {
  const Option* option;
  std::string text;  // as OptionText gives it
};

struct LoadedSettings {
  // The stored texts in load order, tInput before tOutput.
  std::vector<StoredText> texts;
  // False when no store could be read at all.
  bool anyStoreRead = false;
  // False when the user's own store could not be read (it may not exist yet).
  bool ownStoreRead = false;
};

// Each value from the user's own store, else from the machine-wide one (never tInput and
// tOutput, which are private), else nothing. A value that is missing, too long or in a store
// that is not trusted is left out. Nothing is written.
[[nodiscard]] LoadedSettings LoadSettings(const StoreLocations& stores);
// Creates the user's store when it is missing, as the window does when it opens.
void CreateSettingsStore(const StoreLocations& stores);
// Stores all the values, in save order, in the user's own store; with writesMachine also the
// ones that are not paths in the machine-wide one. Fails with the message of the first store
// that could not be written.
Result<void> SaveSettings(const StoreLocations& stores, const ControlValues& values);

}  // namespace snipforge
