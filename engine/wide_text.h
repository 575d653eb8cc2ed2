// Text between the program's UTF-8 and Windows' UTF-16, never through the ANSI code page: paths,
// arguments, registry values and window texts all cross here. Windows only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace snipforge {

// UTF-8 as UTF-16; bytes that are no UTF-8 become U+FFFD.
[[nodiscard]] std::wstring Wide(std::string_view text);
// UTF-8 as UTF-16; nothing for bytes that are no UTF-8 (which can name no file).
[[nodiscard]] std::optional<std::wstring> StrictWide(std::string_view text);
// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
[[nodiscard]] std::string Utf8(std::wstring_view text);

}  // namespace snipforge
