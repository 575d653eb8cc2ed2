#include "engine/wide_text.h"

#include <windows.h>

namespace snipforge {
namespace {

// UTF-8 as UTF-16 with MultiByteToWideChar's `flags`; nothing when it fails.
std::optional<std::wstring> Convert(std::string_view text, DWORD flags) {
  if (text.empty()) return std::wstring();
  if (text.size() > 0x7fffffff) return std::nullopt;
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), length) != length) {
    return std::nullopt;
  }
  return wide;
}

}  // namespace

std::wstring Wide(std::string_view text) { return Convert(text, 0).value_or(std::wstring()); }

std::optional<std::wstring> StrictWide(std::string_view text) {
  return Convert(text, MB_ERR_INVALID_CHARS);
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

}  // namespace snipforge
