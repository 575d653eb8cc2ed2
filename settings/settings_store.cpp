#include "settings/settings_store.h"

#include <optional>

#ifdef _WIN32
#include "engine/windows_security.h"
#else
#include <cstdlib>

#include "engine/file_system.h"
#include "platform/environment.h"
#endif

namespace snipforge {
namespace {

// tInput comes before tOutput: applying tInput re-derives tOutput, which the stored tOutput then
// replaces. The script's frame server comes first, since it gives the derived name's extension.
constexpr OptionOrder kLoadOrder = MakeOptionOrder({
    &ControlValues::cboScriptFor, &ControlValues::tInput, &ControlValues::tOutput, &ControlValues::tAppendBeforeBad,
    &ControlValues::tAppendBeforeGood, &ControlValues::tAppendtoBad,
    &ControlValues::tAppendToGood, &ControlValues::tMinLength, &ControlValues::tNumberOfBlack,
    &ControlValues::tNumberofGood, &ControlValues::tOffsetAfter, &ControlValues::tExcludeOffset,
    &ControlValues::tOffsetBefore, &ControlValues::chIncludeFramenumber,
    &ControlValues::chIncText, &ControlValues::chOutputBadFrames,
    &ControlValues::chOutputGoodFrames, &ControlValues::chExactEnd,
    &ControlValues::cboListFormat});

}  // namespace

StoreLocations InstalledStoreLocations() {
#ifdef _WIN32
  return {{"Software\\Snipforge", StoreOwner::kMachine},
          {"Software\\Snipforge", StoreOwner::kUser},
          Elevated()};
#else
  const std::uint32_t me = CurrentUser();
  std::string config;
  if (me != 0) {
    // Only an absolute XDG_CONFIG_HOME of the user's own counts.
    const char* variable = std::getenv("XDG_CONFIG_HOME");
    if (variable != nullptr && IsOwnFolder(variable, me)) config = variable;
  }
  if (config.empty()) {
    const char* home = me != 0 ? std::getenv("HOME") : nullptr;
    config = (home != nullptr && home[0] == '/' ? std::string(home) : HomeOf(me)) + "/.config";
  }
  return {{SNIPFORGE_SETTINGS_FILE, StoreOwner::kMachine},
          {config + "/snipforge/settings.ini", StoreOwner::kUser},
          me == 0};
#endif
}

LoadedSettings LoadSettings(const StoreLocations& stores) {
  const std::optional<StoredValues> own = ReadStore(stores.user);
  const std::optional<StoredValues> machine = ReadStore(stores.machine);
  LoadedSettings loaded;
  loaded.anyStoreRead = own.has_value() || machine.has_value();
  loaded.ownStoreRead = own.has_value();
  for (const Option* option : kLoadOrder) {
    for (const std::optional<StoredValues>* store : {&own, &machine}) {
      if (!*store || (store == &machine && option->path)) continue;
      SettingValue value = ReadSettingValue(**store, option->name);
      if (value.state == SettingValue::State::kFound) {
        loaded.texts.push_back({option, std::move(value.text)});
        break;
      }
    }
  }
  return loaded;
}

void CreateSettingsStore(const StoreLocations& stores) {
  static_cast<void>(WriteStore(stores.user, {}, Replace::kOnlyWhenMissing));
}

Result<void> SaveSettings(const StoreLocations& stores, const ControlValues& values) {
  StoredValues own;
  StoredValues machine;
  for (const Option& option : kOptions) {
    WriteSettingValue(own, option.name, OptionText(values, option));
    if (!option.path) WriteSettingValue(machine, option.name, OptionText(values, option));
  }
  const Result<void> saved = WriteStore(stores.user, own);
  if (stores.writesMachine) {
    if (const Result<void> shared = WriteStore(stores.machine, machine); !shared && saved) return shared;
  }
  return saved;
}

}  // namespace snipforge
