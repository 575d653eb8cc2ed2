// Keeps the window's sixteen option values from one use of the program to the next, in a store
// shared by every user and every running copy, under value names spelled like the controls.
#pragma once

#include <QString>

#include <string>
#include <string_view>

class QWidget;

namespace snipforge {

class RegistryKey;

struct SettingsFiles {
  QString machine;  // the store every user shares
  QString user;     // this user's own store, for a user who may not write the shared one
};

// The machine-wide store fixed when the program was built, and this user's configuration file.
[[nodiscard]] SettingsFiles InstalledSettingsFiles();

// Loads (`load` true) or saves the values of the window's controls, found by their object
// names: the text boxes' texts and the check boxes' values. Loading sets a text box the way
// typing does, so restoring tInput re-derives tOutput before the stored tOutput is applied. A
// user who may write the machine-wide store uses it alone; any other user saves to the
// per-user store and loads from it first, the machine-wide values filling the rest. Nothing
// is ever reported: a value that cannot be read leaves its control as it was.
void TransferSettings(bool load, QWidget& window, const SettingsFiles& files);
inline void LoadSettings(QWidget& window, const SettingsFiles& files) {
  TransferSettings(true, window, files);
}
inline void SaveSettings(QWidget& window, const SettingsFiles& files) {
  TransferSettings(false, window, files);
}

struct SettingValue {
  long error = 0;    // 0, or the store's code when nothing could be read
  std::string text;  // the stored text without its closing NUL
};

// Reads a text value of at most 254 bytes: a longer one gives the store's "more data" error.
[[nodiscard]] SettingValue ReadSettingValue(const RegistryKey& key, const char* name);
// Stores the text followed by one NUL byte, an empty text as a value without any data.
// Returns 0 or the store's error code.
[[nodiscard]] long WriteSettingValue(RegistryKey& key, const char* name, std::string_view text);

}  // namespace snipforge
