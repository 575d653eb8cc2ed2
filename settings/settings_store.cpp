#include "settings/settings_store.h"

#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <QWidget>

#include <array>
#include <initializer_list>

#include "platform/check_box.h"
#include "platform/registry.h"

namespace snipforge {
namespace {

// A stored value's data, its closing NUL included, fits in this many bytes or is not loaded.
constexpr std::uint32_t kValueBuffer = 255;

// tInput comes before tOutput: restoring tInput re-derives tOutput, which the stored one then
// replaces.
constexpr std::array<const char*, 16> kLoadOrder = {
    "tInput",        "tOutput",        "tAppendBeforeBad",     "tAppendBeforeGood",
    "tAppendtoBad",  "tAppendToGood",  "tMinLength",           "tNumberOfBlack",
    "tNumberofGood", "tOffsetAfter",   "tExcludeOffset",       "tOffsetBefore",
    "chIncludeFramenumber", "chIncText", "chOutputBadFrames", "chOutputGoodFrames"};
constexpr std::array<const char*, 16> kSaveOrder = {
    "tInput",        "tOutput",        "tAppendBeforeBad",     "tAppendBeforeGood",
    "tAppendtoBad",  "tAppendToGood",  "tMinLength",           "tNumberOfBlack",
    "tNumberofGood", "tOffsetAfter",   "tOffsetBefore",        "tExcludeOffset",
    "chIncludeFramenumber", "chIncText", "chOutputBadFrames", "chOutputGoodFrames"};

// The value of a check box as stored: only "0", "1" and "2" are values; anything else is -1.
int CheckBoxValue(const std::string& text) {
  if (text.size() != 1 || text[0] < '0' || text[0] > '2') return -1;
  return text[0] - '0';
}

void Apply(QWidget& window, const char* name, const std::string& text) {
  if (auto* box = window.findChild<QLineEdit*>(name)) {
    box->setText(QString::fromLocal8Bit(text));
  } else if (auto* check = window.findChild<CheckBox*>(name)) {
    check->SetValue(CheckBoxValue(text));
  }
}

std::string Current(const QWidget& window, const char* name) {
  if (const auto* box = window.findChild<QLineEdit*>(name)) {
    return box->text().toLocal8Bit().toStdString();
  }
  if (const auto* check = window.findChild<CheckBox*>(name)) {
    return std::to_string(check->Value());
  }
  return {};
}

}  // namespace

SettingsFiles InstalledSettingsFiles() {
  return {QFile::decodeName(SNIPFORGE_SETTINGS_FILE),
          QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
              QStringLiteral("/settings.ini")};
}

void TransferSettings(bool load, QWidget& window, const SettingsFiles& files) {
  RegistryKey machine;
  RegistryKey user;
  RegistryKey* writable = nullptr;
  if (machine.Create(files.machine, KeyAccess::kReadWrite) == kRegistrySuccess) {
    writable = &machine;
  } else if (user.Create(files.user, KeyAccess::kReadWrite) == kRegistrySuccess) {
    writable = &user;
  }
  if (!load) {
    if (writable == nullptr) return;
    for (const char* name : kSaveOrder) {
      (void)WriteSettingValue(*writable, name, Current(window, name));
    }
    return;
  }
  // A user who may not write the machine-wide store still sees its values where the user's
  // own store has none.
  const bool fill = writable != &machine &&
                    machine.Create(files.machine, KeyAccess::kRead) == kRegistrySuccess;
  for (const char* name : kLoadOrder) {
    for (const RegistryKey* key : {writable, fill ? &machine : nullptr}) {
      if (key == nullptr) continue;
      const SettingValue value = ReadSettingValue(*key, name);
      if (value.error == 0) {
        Apply(window, name, value.text);
        break;
      }
    }
  }
}

SettingValue ReadSettingValue(const RegistryKey& key, const char* name) {
  std::string buffer(kValueBuffer, ' ');
  std::uint32_t size = kValueBuffer;
  if (const long error = key.QueryValue(name, buffer.data(), size); error != kRegistrySuccess) {
    return {error, {}};
  }
  buffer.resize(size);
  if (!buffer.empty() && buffer.back() == '\0') buffer.pop_back();
  return {0, std::move(buffer)};
}

long WriteSettingValue(RegistryKey& key, const char* name, std::string_view text) {
  if (text.empty()) return key.SetValue(name, nullptr, 0);
  std::string data(text);
  data.push_back('\0');
  return key.SetValue(name, data.data(), static_cast<std::uint32_t>(data.size()));
}

}  // namespace snipforge
