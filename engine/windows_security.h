// Who owns and who may change a file or a registry key on Windows: the process's user, the
// machine's own accounts, and the DACL a user's file passes on to the file that replaces it. The
// file system and the registry store both ask here. Windows only.
#pragma once

// clang-format off
#include <windows.h>
#include <aclapi.h>
// clang-format on

#include <memory>

namespace snipforge {

// SYSTEM, the Administrators or TrustedInstaller: the accounts that own and change the machine's
// own files and keys.
[[nodiscard]] bool IsMachineAccount(PSID sid);

// True when the process runs with an elevated token (an administrator's, after the consent
// prompt).
[[nodiscard]] bool Elevated();

// The owner and DACL of an open file or key (READ_CONTROL), read once; both null when they
// cannot be read.
struct Security {
  std::unique_ptr<void, decltype(&LocalFree)> descriptor{nullptr, &LocalFree};
  PSID owner = nullptr;
  PACL dacl = nullptr;
};
[[nodiscard]] Security SecurityOf(HANDLE handle, SE_OBJECT_TYPE type = SE_FILE_OBJECT);

enum class OwnerKind { kUnknown, kUser, kMachine, kOther };
// Whose it is: this user's (or the owner the user's new files get), a machine account's, or
// anyone else's.
[[nodiscard]] OwnerKind OwnerOf(const Security& security);

// The DACL a file's successor gets, and whether it is protected from the folder's inherited
// entries: only a file whose owner is the process's user lends it, and never a NULL DACL,
// which would open the new file to everyone. It points into `security`.
struct LentDacl {
  PACL dacl = nullptr;  // none: the successor gets the folder's entries
  bool isProtected = false;
};
[[nodiscard]] LentDacl DaclToLend(const Security& security);

}  // namespace snipforge
