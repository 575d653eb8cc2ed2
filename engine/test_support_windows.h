// Helpers for the Windows tests beside those of test_support.h.
#pragma once

// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on

#include <array>
#include <string>

namespace snipforge::testing {

// The process's user as a SID text ("S-1-5-21-..."); empty when it cannot be read.
inline std::string UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::array<unsigned char, SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)> user{};
  DWORD size = 0;
  std::string text;
  char* sid = nullptr;
  if (GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size) &&
      ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
    text = sid;
    LocalFree(sid);
  }
  CloseHandle(token);
  return text;
}

}  // namespace snipforge::testing
