#include "engine/windows_security.h"

#include <array>

namespace snipforge {
namespace {

// The security identifiers of the process's user and of the owner its new files get.
struct UserSids {
  std::array<unsigned char, SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)> user{};
  std::array<unsigned char, SECURITY_MAX_SID_SIZE + sizeof(TOKEN_OWNER)> owner{};
  bool known = false;

  UserSids() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    known = GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()),
                                &size) &&
            GetTokenInformation(token, TokenOwner, owner.data(),
                                static_cast<DWORD>(owner.size()), &size);
    CloseHandle(token);
  }
  [[nodiscard]] PSID User() const {
    return reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
  }
  [[nodiscard]] PSID Owner() const {
    return reinterpret_cast<const TOKEN_OWNER*>(owner.data())->Owner;
  }
};

const UserSids& Sids() {
  static const UserSids sids;
  return sids;
}

}  // namespace

bool IsMachineAccount(PSID sid) {
  if (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
    return true;
  }
  // TrustedInstaller (NT SERVICE\TrustedInstaller) has no well-known SID type: its service SID.
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID installer = nullptr;
  if (!AllocateAndInitializeSid(&nt, 6, SECURITY_SERVICE_ID_BASE_RID, 956008885, 3418522649,
                                1831038044, 1853292631, 2271478464, 0, 0, &installer)) {
    return false;
  }
  const bool same = EqualSid(sid, installer) != 0;
  FreeSid(installer);
  return same;
}

bool Elevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation,
                                            &size) &&
                        elevation.TokenIsElevated != 0;
  CloseHandle(token);
  return elevated;
}

Security SecurityOf(HANDLE handle, SE_OBJECT_TYPE type) {
  Security security;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, type, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &security.owner, nullptr, &security.dacl, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return Security();
  }
  security.descriptor.reset(descriptor);
  return security;
}

OwnerKind OwnerOf(const Security& security) {
  const PSID owner = security.owner;
  const UserSids& sids = Sids();
  if (owner == nullptr || !IsValidSid(owner)) return OwnerKind::kUnknown;
  if (sids.known && (EqualSid(owner, sids.User()) || EqualSid(owner, sids.Owner()))) {
    return OwnerKind::kUser;
  }
  return IsMachineAccount(owner) ? OwnerKind::kMachine : OwnerKind::kOther;
}

LentDacl DaclToLend(const Security& security) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  const PSID owner = security.owner;
  if (owner == nullptr || !IsValidSid(owner) || !Sids().known || !EqualSid(owner, Sids().User()) ||
      security.dacl == nullptr ||
      !GetSecurityDescriptorControl(security.descriptor.get(), &control, &revision)) {
    return {};
  }
  return {security.dacl, (control & SE_DACL_PROTECTED) != 0};
}

}  // namespace snipforge
