// The named values of the settings store, kept the way a registry key keeps them: a key is one
// INI file, each value a named string of bytes returned exactly as it was set. The four calls
// return 0 on success and an error code otherwise, as the registry's own calls do.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>

class QSettings;

namespace snipforge {

inline constexpr long kRegistrySuccess = 0;
inline constexpr long kRegistryNotFound = 2;        // no such value (or key, when only reading)
inline constexpr long kRegistryAccessDenied = 5;    // this user may not create or write the key
inline constexpr long kRegistryMoreData = 234;      // the value does not fit in the buffer

enum class KeyAccess { kRead, kReadWrite };

class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();  // closes the key when it is still open
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens the key kept in `file`. For kReadWrite the file and its folder are created when
  // missing, and the call fails when this user may not write them; for kRead a missing file
  // fails. A file that cannot be parsed opens as a key without values.
  [[nodiscard]] long Create(const QString& file, KeyAccess access);
  // Copies the value's bytes into `data` when at most `size` of them are stored; `size` becomes
  // the number stored, also when they do not fit.
  [[nodiscard]] long QueryValue(const char* name, char* data, std::uint32_t& size) const;
  [[nodiscard]] long SetValue(const char* name, const char* data, std::uint32_t size);
  // Writes the values set since Create into the file, replacing it whole under a lock that
  // other copies of the program respect, and closes the key.
  long Close();

 private:
  std::unique_ptr<QSettings> settings_;
  bool writable_ = false;
  bool damaged_ = false;
};

}  // namespace snipforge
