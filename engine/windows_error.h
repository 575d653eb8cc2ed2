// Windows errors as the errors the same failures give on Linux, so that messages read alike
// ("No such file or directory"). Windows only.
#pragma once

#include <windows.h>

#include <system_error>

namespace snipforge {

// The error for a Windows error code; a code without a counterpart keeps the system's own text.
[[nodiscard]] std::error_code ErrorOf(DWORD code);
// GetLastError() as ErrorOf gives it; EIO when the system set none.
[[nodiscard]] std::error_code LastError();
// Too many links, or a link where none may be: MinGW's C library has no text for ELOOP, so the
// system's own error says it.
[[nodiscard]] std::error_code LinkError();

}  // namespace snipforge
