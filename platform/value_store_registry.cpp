// The settings store as a registry key, on Windows: the key's REG_SZ values under
// HKEY_CURRENT_USER for the user's own store and HKEY_LOCAL_MACHINE for the machine-wide one.
#include "platform/value_store.h"

#include "engine/option_table.h"
#include "engine/wide_text.h"
#include "engine/windows_security.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
// clang-format on

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
std::string Reason(LSTATUS result) {
  if (result == ERROR_ACCESS_DENIED) return std::generic_category().message(EACCES);
  return std::system_category().message(static_cast<int>(result));
}

// What lets an account change a key's values, or who may: set its values, add subkeys, change
// its DACL or owner, delete it.
constexpr ACCESS_MASK kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | WRITE_DAC |
                                     WRITE_OWNER | DELETE | GENERIC_WRITE | GENERIC_ALL;

// True when only the machine's own accounts (IsMachineAccount) may change the open key
// (READ_CONTROL): one of them owns it and its DACL lets no one else write it. Deny entries only
// take rights away and inherit-only ones apply to subkeys alone; CREATOR OWNER stands for a
// subkey's owner.
bool OnlyTheMachineMayChange(HKEY key) {
  const Security security = SecurityOf(key, SE_REGISTRY_KEY);
  const PSID owner = security.owner;
  const PACL dacl = security.dacl;
  // No DACL, or a NULL one, lets everyone write.
  bool trusted = owner != nullptr && IsValidSid(owner) && IsMachineAccount(owner) &&
                 dacl != nullptr;
  for (DWORD index = 0; trusted && index < dacl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(dacl, index, &entry)) {
      trusted = false;
      break;
    }
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    switch (header->AceType) {
      case ACCESS_DENIED_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_ACE_TYPE:
      case ACCESS_DENIED_OBJECT_ACE_TYPE:
      case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        continue;
      default:
        break;
    }
    // Every kind of entry has its access mask in the same place.
    auto* const allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if ((allowed->Mask & kWriteAccess) == 0) continue;
    // Any other kind of entry that grants a write, whose account is stored elsewhere, is refused.
    const bool plain = header->AceType == ACCESS_ALLOWED_ACE_TYPE ||
                       header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
    const PSID sid = &allowed->SidStart;
    trusted = plain && (IsMachineAccount(sid) || IsWellKnownSid(sid, WinCreatorOwnerSid));
  }
  return trusted;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

// The registry ignores the case of value names: one written as "toffsetbefore" (with regedit or
// a .reg file) is the program's option of that name, and is read under the program's spelling.
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
  const bool machine = store.owner == StoreOwner::kMachine;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HiveOf(store), Wide(store.path).c_str(), 0,
                    KEY_QUERY_VALUE | (machine ? READ_CONTROL : 0), &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // The machine-wide key steers every user's program: read only when no plain user could have
  // written it, as the file store refuses a machine-wide file others may write.
  if (machine && !OnlyTheMachineMayChange(key)) {
    RegCloseKey(key);
    return std::nullopt;
  }
  StoredValues values;
  std::vector<wchar_t> name(kLongestNameCharacters + 1);
  std::array<BYTE, kLongestValueBytes + sizeof(wchar_t)> data{};
  for (DWORD index = 0; index < kMostValues; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD type = REG_NONE;
    DWORD size = kLongestValueBytes;
    const LSTATUS result =
        RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result == ERROR_MORE_DATA) continue;  // longer than any value the program stores
    if (result != ERROR_SUCCESS) break;
    if (type != REG_SZ) continue;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();  // the terminating NUL
    values.values.emplace_back(OwnSpelling(Utf8({name.data(), nameLength})), Utf8(text));
  }
  RegCloseKey(key);
  return values;
}

Result<void> WriteStore(const StoreLocation& store, const StoredValues& values, Replace replace) {
  if (store.path.empty()) return CannotSave(store, "it names no key");
  const bool machine = store.owner == StoreOwner::kMachine;
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LSTATUS created = RegCreateKeyExW(
      HiveOf(store), Wide(store.path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
      KEY_SET_VALUE | (machine ? READ_CONTROL : 0), nullptr, &key, &disposition);
  if (created != ERROR_SUCCESS) return CannotSave(store, Reason(created));
  Result<void> saved;
  if (machine && !OnlyTheMachineMayChange(key)) {  // its values would not be read
    saved = CannotSave(store, "users other than the Administrators may change it");
  } else if (replace == Replace::kAlways) {
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
