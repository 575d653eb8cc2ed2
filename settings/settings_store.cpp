#include "settings/settings_store.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

#include <optional>

#include "platform/settings_file.h"

namespace snipforge {
namespace {

// tInput comes before tOutput: applying tInput re-derives tOutput, which the stored tOutput then
// replaces.
constexpr OptionOrder kLoadOrder = MakeOptionOrder({
    &ControlValues::tInput, &ControlValues::tOutput, &ControlValues::tAppendBeforeBad,
    &ControlValues::tAppendBeforeGood, &ControlValues::tAppendtoBad,
    &ControlValues::tAppendToGood, &ControlValues::tMinLength, &ControlValues::tNumberOfBlack,
    &ControlValues::tNumberofGood, &ControlValues::tOffsetAfter, &ControlValues::tExcludeOffset,
    &ControlValues::tOffsetBefore, &ControlValues::chIncludeFramenumber,
    &ControlValues::chIncText, &ControlValues::chOutputBadFrames,
    &ControlValues::chOutputGoodFrames});

// The store this user writes: root's is the machine-wide one.
StoreFile OwnStore(const SettingsFiles& files) {
  if (files.user.isEmpty()) return {files.machine, StoreOwner::kMachine};
  return {files.user, StoreOwner::kUser};
}

}  // namespace

SettingsFiles InstalledSettingsFiles() {
  SettingsFiles files{QFile::decodeName(SNIPFORGE_SETTINGS_FILE), {}};
  if (::geteuid() == 0) return files;
  // Only an absolute XDG_CONFIG_HOME counts.
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!config.startsWith(u'/')) config = QDir::homePath() + QStringLiteral("/.config");
  files.user = config + QStringLiteral("/snipforge/settings.ini");
  return files;
}

std::vector<StoredText> LoadSettings(const SettingsFiles& files) {
  const StoreFile own = OwnStore(files);
  const std::optional<SettingsFile> first = ReadSettingsFile(own);
  const std::optional<SettingsFile> fallback =
      own.owner == StoreOwner::kUser ? ReadSettingsFile({files.machine, StoreOwner::kMachine})
                                     : std::nullopt;
  std::vector<StoredText> loaded;
  for (const Option* option : kLoadOrder) {
    for (const std::optional<SettingsFile>* file : {&first, &fallback}) {
      if (!*file) continue;
      SettingValue value = ReadSettingValue(**file, option->name);
      if (value.state == SettingValue::State::kFound) {
        loaded.push_back({option, std::move(value.text)});
        break;
      }
    }
  }
  return loaded;
}

void CreateSettingsStore(const SettingsFiles& files) {
  (void)WriteSettingsFile(OwnStore(files), {}, Replace::kOnlyWhenMissing);
}

void SaveSettings(const SettingsFiles& files, const ControlValues& values) {
  SettingsFile file;
  for (const Option& option : kOptions) {
    WriteSettingValue(file, option.name, OptionText(values, option));
  }
  (void)WriteSettingsFile(OwnStore(files), file);
}

}  // namespace snipforge
