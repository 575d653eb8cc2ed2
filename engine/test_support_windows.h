// Helpers for the Windows tests beside those of test_support.h.
#pragma once

// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on

#include <array>
#include <memory>
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

// A security descriptor written as SDDL text, with its owner and DACL (null where the text has
// none).
struct Sddl {
  std::unique_ptr<void, decltype(&LocalFree)> descriptor{nullptr, &LocalFree};
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL hasDacl = FALSE;
  bool isProtected = false;  // the DACL takes no entries from the folder or key above
};

// The descriptor of the text; the Windows error when it is no SDDL.
inline DWORD ParseSddl(const std::string& text, Sddl& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return GetLastError();
  }
  sddl.descriptor.reset(descriptor);
  BOOL defaulted = FALSE;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorOwner(descriptor, &sddl.owner, &defaulted);
  GetSecurityDescriptorDacl(descriptor, &sddl.hasDacl, &sddl.dacl, &defaulted);
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  sddl.isProtected = (control & SE_DACL_PROTECTED) != 0;
  return ERROR_SUCCESS;
}

}  // namespace snipforge::testing
