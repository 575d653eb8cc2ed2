// The settings store as a registry key, on Windows: the key's REG_SZ values under
// HKEY_CURRENT_USER for the user's own store and HKEY_LOCAL_MACHINE for the machine-wide one.
#include "platform/value_store.h"

#include "engine/option_table.h"
#include "engine/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

namespace snipforge {
namespace {

constexpr auto kMostValues = static_cast<DWORD>(kMostStoredEntries);
constexpr auto kLongestValueBytes = static_cast<DWORD>(kLongestStoredEntry);
constexpr DWORD kLongestNameCharacters = 16383;  // the registry's own limit

HKEY HiveOf(const StoreLocation& store) {
  return store.owner == StoreOwner::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// A registry error in the words the file store uses for the same failure.
std::string Reason(LSTATUS status) {
  if (status == ERROR_ACCESS_DENIED) return std::generic_category().message(EACCES);
  return std::system_category().message(static_cast<int>(status));
}

Failure CannotSave(const StoreLocation& store, const std::string& reason) {
  return Fail("cannot save the settings in " + StoreName(store) + ": " + reason);
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

// The registry ignores the case of value names: one written as "toffsetbefore" (with regedit or
// a .reg file) is the program's "tOffsetBefore", and is read under the program's spelling.
std::string OwnSpelling(std::string name) {
  for (const Option& option : kOptions) {
    if (SameIgnoringAsciiCase(name, option.name)) return std::string(option.name);
  }
  return name;
}

}  // namespace

std::string StoreName(const StoreLocation& store) {
  return (store.owner == StoreOwner::kMachine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") +
         store.path;
}

std::optional<StoredValues> ReadStore(const StoreLocation& store) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HiveOf(store), Wide(store.path).c_str(), 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  StoredValues values;
  std::vector<wchar_t> name(kLongestNameCharacters + 1);
  std::array<BYTE, kLongestValueBytes + sizeof(wchar_t)> data{};
  for (DWORD index = 0; index < kMostValues; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD type = REG_NONE;
    DWORD size = kLongestValueBytes;
    const LSTATUS status =
        RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) continue;  // longer than any value the program stores
    if (status != ERROR_SUCCESS) break;
    if (type != REG_SZ) continue;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();  // the terminating NUL
    values.values.emplace_back(OwnSpelling(Utf8({name.data(), nameLength})), Utf8(text));
  }
  RegCloseKey(key);
  return values;
}

Status WriteStore(const StoreLocation& store, const StoredValues& values, Replace replace) {
  if (store.path.empty()) return CannotSave(store, "it names no key");
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LSTATUS created =
      RegCreateKeyExW(HiveOf(store), Wide(store.path).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, &disposition);
  if (created != ERROR_SUCCESS) return CannotSave(store, Reason(created));
  Status saved;
  if (replace == Replace::kAlways) {
    for (const auto& [name, text] : values.values) {
      const std::wstring wide = Wide(text);
      const LSTATUS set = RegSetValueExW(
          key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
      if (set != ERROR_SUCCESS) {
        saved = CannotSave(store, Reason(set));
        break;
      }
    }
  }
  RegCloseKey(key);
  return saved;
}

}  // namespace snipforge
