// The Windows version of the file calls: UTF-8 paths inside and UTF-16 at every system call, the
// folders of a resolved path held open so that none of them can be renamed meanwhile, and a new
// file under an unguessable name that the system deletes when the program dies before the file
// takes its place.
#include "engine/file_system.h"

#include "engine/wide_text.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <bcrypt.h>
#include <winioctl.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

namespace snipforge {
namespace {

constexpr int kMaxLinks = 40;
// Paths from this length on get the \\?\ form: CreateDirectoryW stops at MAX_PATH less room for
// an 8.3 name, the other calls at MAX_PATH.
constexpr std::size_t kLongPath = MAX_PATH - 12;
// Opens that only look at a file never keep another program from anything.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The attributes a replaced file passes on to its successor; read-only is refused instead, and
// the new file has changed since any backup, so it is always marked for archiving.
constexpr DWORD kCarriedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::error_code Error(int code) { return {code, std::generic_category()}; }

// A Windows error as the error the same failure gives on Linux, so that messages read alike
// ("No such file or directory"); a code without a counterpart keeps the system's own text.
std::error_code ErrorOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DELETE_PENDING:
      return Error(ENOENT);
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_CANNOT_MAKE:
      return Error(EACCES);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return FileRefusal::kInUse;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return Error(EEXIST);
    case ERROR_DIRECTORY:
      return Error(ENOTDIR);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Error(ENOSPC);
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return Error(ENAMETOOLONG);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      return Error(EINVAL);
    case ERROR_INVALID_HANDLE:
      return Error(EBADF);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return Error(ENOMEM);
    case ERROR_WRITE_PROTECT:
      return Error(EROFS);
    case ERROR_NOT_SAME_DEVICE:
      return Error(EXDEV);
    case ERROR_DIR_NOT_EMPTY:
      return Error(ENOTEMPTY);
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return Error(EPIPE);
    case ERROR_NO_UNICODE_TRANSLATION:
      return Error(EILSEQ);
    case ERROR_BAD_FILE_TYPE:  // OpenHandle's own: a pipe, a console, a device
      return FileRefusal::kNotRegularFile;
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return Error(EIO);
    default:
      return {static_cast<int>(code), std::system_category()};
  }
}

std::error_code LastError() {
  const DWORD code = GetLastError();
  return code != ERROR_SUCCESS ? ErrorOf(code) : Error(EIO);
}

// Too many links, or a link where none may be: MinGW's C library has no text for ELOOP, so the
// system's own error says it.
std::error_code LinkError() { return {ERROR_CANT_RESOLVE_FILENAME, std::system_category()}; }

// StrictWide for the many calls here that go on with the text or stop.
bool ToWide(std::string_view text, std::wstring& wide) {
  std::optional<std::wstring> strict = StrictWide(text);
  wide = strict ? std::move(*strict) : std::wstring();
  return strict.has_value();
}

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// True for a name that stands for a device in every folder: CON, PRN, AUX, NUL, COM1 to COM9,
// LPT1 to LPT9 (also with ¹²³), CONIN$ and CONOUT$, in any case, with any extension.
bool IsDeviceName(std::wstring_view name) {
  name = name.substr(0, std::min(name.find(L'.'), name.find(L':')));
  while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
  std::wstring upper(name);
  for (wchar_t& c : upper) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL" ||
      upper == L"CONIN$" || upper == L"CONOUT$") {
    return true;
  }
  if (upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT"))) {
    const wchar_t digit = upper[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00b9' || digit == L'\u00b2' ||
           digit == L'\u00b3';
  }
  return false;
}

// True for a name that a Windows file can have: no control characters and none of <>:"|?*
// (a colon would name a stream of the file, not a file).
bool IsPossibleName(std::wstring_view name) {
  return std::none_of(name.begin(), name.end(), [](wchar_t c) {
    return c < 0x20 || std::wstring_view(L"<>:\"|?*").find(c) != std::wstring_view::npos;
  });
}

// A full path split into its root (C:\ or \\server\share\ or \\?\Volume{...}\ with the last
// separator) and its names.
struct SplitPath {
  std::wstring root;
  std::deque<std::wstring> names;
};

std::deque<std::wstring> NamesOf(std::wstring_view path) {
  std::deque<std::wstring> names;
  while (!path.empty()) {
    std::size_t end = 0;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > 0) names.emplace_back(path.substr(0, end));
    path.remove_prefix(std::min(end + 1, path.size()));
  }
  return names;
}

// True when the two are the same but for the case of ASCII letters.
bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  const auto lower = [](wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&lower](wchar_t x, wchar_t y) { return lower(x) == lower(y); });
}

// True for a root that reaches something other than a disk's files however it is written: the
// local device namespace (\\.\, \\?\ as a server's name) and the shares of named pipes and
// mail slots (\\server\pipe\, which opening would connect to the program that serves the pipe).
bool IsDeviceRoot(std::wstring_view root) {
  const std::deque<std::wstring> parts = NamesOf(root);
  if (parts.size() != 2 || root.size() < 2 || !IsSeparator(root[0]) || !IsSeparator(root[1])) {
    return false;
  }
  return parts[0] == L"." || parts[0] == L"?" || EqualsIgnoringCase(parts[1], L"pipe") ||
         EqualsIgnoringCase(parts[1], L"mailslot");
}

// The root of an absolute path and its length in `path`; 0 when the path has none.
std::size_t RootOf(std::wstring_view path, std::wstring& root) {
  if (path.size() >= 2 && path[1] == L':' && (path.size() == 2 || IsSeparator(path[2]))) {
    root = std::wstring(path.substr(0, 2)) + L'\\';
    return std::min<std::size_t>(3, path.size());
  }
  if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {  // \\server\share
    std::size_t end = 2;
    for (int part = 0; part < 2; ++part) {
      while (end < path.size() && IsSeparator(path[end])) ++end;
      while (end < path.size() && !IsSeparator(path[end])) ++end;
    }
    const std::deque<std::wstring> parts = NamesOf(path.substr(2, end - 2));
    if (parts.size() != 2) return 0;
    root = L"\\\\" + parts[0] + L'\\' + parts[1] + L'\\';
    return end;
  }
  return 0;
}

// The absolute form of a path as Windows reads it (relative to the working folder, "." and ".."
// taken away, trailing points and blanks of a name dropped), split. A path in the verbatim form
// (\\?\C:\clips, \??\C:\clips) is taken as it is. A device path gives kNotRegularFile.
std::error_code Split(const std::wstring& path, SplitPath& split) {
  split = {};
  std::wstring full;
  const bool verbatim = path.starts_with(L"\\\\?\\") || path.starts_with(L"\\??\\");
  if (verbatim) {
    std::wstring_view rest = std::wstring_view(path).substr(4);
    if (rest.starts_with(L"UNC\\")) {
      full = L"\\\\" + std::wstring(rest.substr(4));
    } else if (rest.size() >= 2 && rest[1] == L':') {
      full = rest;
    } else {  // \\?\Volume{...}\: the volume's name is the root
      // Anything else there (pipe\, GLOBALROOT\, CONIN$) is a device, not a volume: refused
      // before anything is opened, since opening a pipe connects to it.
      if (!EqualsIgnoringCase(rest.substr(0, std::min<std::size_t>(7, rest.size())), L"Volume{")) {
        return FileRefusal::kNotRegularFile;
      }
      const std::size_t end = std::min(rest.find(L'\\'), rest.size());
      split.root = L"\\\\?\\" + std::wstring(rest.substr(0, end)) + L'\\';
      split.names = NamesOf(rest.substr(end));
      return {};
    }
  } else {
    if (path.starts_with(L"\\\\.\\") || path.starts_with(L"//./")) {
      return FileRefusal::kNotRegularFile;
    }
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return LastError();
    full.resize(length);
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return written == 0 ? LastError() : Error(EIO);
    full.resize(written);
    // A device name in the path: GetFullPathNameW turns it into the device's own path.
    if (full.starts_with(L"\\\\.\\")) return FileRefusal::kNotRegularFile;
  }
  const std::size_t rootLength = RootOf(full, split.root);
  if (rootLength == 0) return Error(ENOENT);
  if (IsDeviceRoot(split.root)) return FileRefusal::kNotRegularFile;
  split.names = NamesOf(std::wstring_view(full).substr(rootLength));
  if (!verbatim) return {};
  // "." and ".." stay names in the \\?\ form, but no file can have them.
  std::deque<std::wstring> names;
  for (std::wstring& name : split.names) {
    if (name == L"..") {
      if (!names.empty()) names.pop_back();
    } else if (name != L".") {
      names.push_back(std::move(name));
    }
  }
  split.names = std::move(names);
  return {};
}

std::wstring Join(const std::wstring& root, const std::vector<std::wstring>& names) {
  std::wstring path = root;
  for (const std::wstring& name : names) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += name;
  }
  return path;
}

std::wstring Join(std::wstring folder, std::wstring_view name) {
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder.append(name);
}

// The path as the system calls take it: in the \\?\ form when it is long.
std::wstring SystemPath(const std::wstring& path) {
  if (path.size() < kLongPath || path.starts_with(L"\\\\?\\")) return path;
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

// Every file the program opens: only a disk's file or folder is kept. A pipe, a console or a
// device, by whatever name it was reached, gives ERROR_BAD_FILE_TYPE.
Handle OpenHandle(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags) {
  const HANDLE handle = CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition,
                                    flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Handle();
  Handle opened(handle);
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    opened.reset();
    SetLastError(ERROR_BAD_FILE_TYPE);
  }
  return opened;
}

// Opens whatever stands at the path, a link as itself, only to look at it: reading its
// attributes never conflicts with another program's sharing. READ_CONTROL (for a link's owner)
// is left out where the file's owner grants no more.
Handle OpenToLookAt(const std::wstring& path) {
  constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  Handle handle = OpenHandle(path, FILE_READ_ATTRIBUTES | READ_CONTROL, kShareAll, OPEN_EXISTING,
                             kFlags);
  if (!handle.valid() && GetLastError() == ERROR_ACCESS_DENIED) {
    handle = OpenHandle(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, kFlags);
  }
  return handle;
}

// Opens a folder so that no one can rename, move or delete it while the handle lives: without
// FILE_SHARE_DELETE, and with an access that the system counts for sharing (an open for the
// attributes alone would hold nothing).
Handle HoldFolder(const std::wstring& path) {
  constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
  Handle handle = OpenHandle(path, FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShare,
                             OPEN_EXISTING, kFlags);
  if (!handle.valid() && GetLastError() == ERROR_ACCESS_DENIED) {
    handle = OpenHandle(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShare,
                        OPEN_EXISTING, kFlags);
  }
  return handle;
}

// What an open handle shows of its file.
struct Inspected {
  FileStatus status;
  DWORD attributes = 0;
  DWORD tag = 0;  // the reparse tag of a reparse point
};

std::error_code Inspect(HANDLE handle, Inspected& out) {
  out = {};
  SetLastError(ERROR_SUCCESS);
  const DWORD type = GetFileType(handle);
  if (type == FILE_TYPE_UNKNOWN && GetLastError() != ERROR_SUCCESS) return LastError();
  if (type != FILE_TYPE_DISK) return {};  // a console, a pipe, a device
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return LastError();
  out.attributes = info.dwFileAttributes;
  // No birth time: NTFS's file index carries a sequence number that already tells a reused
  // entry from the file that had it, and the creation time is no identity (any program may set
  // it, and wine reports the time of the last change as it).
  out.status.id = {info.dwVolumeSerialNumber,
                   (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                   0};
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
      out.tag = tag.ReparseTag;
    }
  }
  // Only a link that names another file is a link; any other reparse point (a cloud file's
  // placeholder, a deduplicated file) is the file or folder itself.
  if (out.tag != 0 && IsReparseTagNameSurrogate(out.tag)) {
    out.status.kind = FileKind::kLink;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    out.status.kind = FileKind::kFolder;
  } else {
    out.status.kind = FileKind::kRegular;
  }
  return {};
}

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

enum class OwnerKind { kUnknown, kUser, kSystem, kOther };

// The owner and DACL of an open file (READ_CONTROL), read once; both null when they cannot be
// read.
struct Security {
  std::unique_ptr<void, decltype(&LocalFree)> descriptor{nullptr, &LocalFree};
  PSID owner = nullptr;
  PACL dacl = nullptr;
};

Security SecurityOf(HANDLE handle) {
  Security security;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &security.owner,
                      nullptr, &security.dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return Security();
  }
  security.descriptor.reset(descriptor);
  return security;
}

// Whose the file is: this user's (or the owner the user's new files get), SYSTEM's or the
// Administrators', or anyone else's.
OwnerKind OwnerOf(const Security& security) {
  const PSID owner = security.owner;
  const UserSids& sids = Sids();
  if (owner == nullptr || !IsValidSid(owner)) return OwnerKind::kUnknown;
  if (sids.known && (EqualSid(owner, sids.User()) || EqualSid(owner, sids.Owner()))) {
    return OwnerKind::kUser;
  }
  if (IsWellKnownSid(owner, WinLocalSystemSid) ||
      IsWellKnownSid(owner, WinBuiltinAdministratorsSid)) {
    return OwnerKind::kSystem;
  }
  return OwnerKind::kOther;
}

OwnerKind OwnerOf(HANDLE handle) { return OwnerOf(SecurityOf(handle)); }

// The DACL a file's successor gets, and whether it is protected from the folder's inherited
// entries: only a file whose owner is the process's user lends it, and never a NULL DACL,
// which would open the new file to everyone.
struct LentDacl {
  PACL dacl = nullptr;  // none: the successor gets the folder's entries
  bool isProtected = false;
};

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

// The layout of FSCTL_GET_REPARSE_POINT's answer for links and junctions, which MinGW's
// headers for programs leave out.
struct ReparseHeader {
  ULONG tag;
  USHORT dataLength;
  USHORT reserved;
  USHORT substituteOffset;
  USHORT substituteLength;
  USHORT printOffset;
  USHORT printLength;
};
constexpr ULONG kSymlinkRelative = 1;

// Where a link or a junction points, as it stores it, and whether that is relative to the
// link's folder.
std::error_code ReadLink(HANDLE link, std::wstring& target, bool& relative) {
  std::vector<unsigned char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD size = 0;
  if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                       static_cast<DWORD>(buffer.size()), &size, nullptr)) {
    return LastError();
  }
  ReparseHeader header{};
  if (size < sizeof header) return Error(EINVAL);
  std::memcpy(&header, buffer.data(), sizeof header);
  std::size_t names = sizeof header;  // a junction's names follow the header
  relative = false;
  if (header.tag == IO_REPARSE_TAG_SYMLINK) {
    ULONG flags = 0;
    if (size < names + sizeof flags) return Error(EINVAL);
    std::memcpy(&flags, buffer.data() + names, sizeof flags);
    relative = (flags & kSymlinkRelative) != 0;
    names += sizeof flags;
  } else if (header.tag != IO_REPARSE_TAG_MOUNT_POINT) {
    return FileRefusal::kNotRegularFile;
  }
  const std::size_t first = names + header.substituteOffset;
  if (header.substituteLength == 0 || first + header.substituteLength > size) {
    return Error(ENOENT);
  }
  target.resize(header.substituteLength / sizeof(wchar_t));
  std::memcpy(target.data(), buffer.data() + first, target.size() * sizeof(wchar_t));
  return {};
}

// ".snipforge-" and 32 hex digits from the system's random source: a name no other user can
// guess and plant first.
std::wstring RandomTempName(std::error_code& error) {
  std::array<unsigned char, 16> random{};
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, random.data(), static_cast<ULONG>(random.size()),
                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    error = Error(EIO);
    return {};
  }
  constexpr std::wstring_view kHex = L"0123456789abcdef";
  std::wstring name = L".snipforge-";
  for (const unsigned char byte : random) {
    name += kHex[byte >> 4];
    name += kHex[byte & 15u];
  }
  name += L".tmp";
  return name;
}

// A new file of an unguessable name in `folder` that no other program may open, and that the
// system deletes when the handle closes (also when the program is killed) unless the mark is
// cleared first; opened for reading, writing and deleting, and `access` besides.
std::error_code CreateTemporary(const std::wstring& folder, DWORD attributes, DWORD access,
                                Handle& file, std::wstring& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::error_code error;
    name = RandomTempName(error);
    if (error) return error;
    file = OpenHandle(Join(folder, name), GENERIC_READ | GENERIC_WRITE | DELETE | access, 0,
                      CREATE_NEW, attributes | FILE_FLAG_OPEN_REPARSE_POINT);
    if (file.valid()) break;
    const std::error_code failed = LastError();
    name.clear();
    if (failed != std::errc::file_exists) return failed;
  }
  if (!file.valid()) return Error(EEXIST);
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                  sizeof disposition)) {
    const std::error_code error = LastError();
    file.reset();
    DeleteFileW(SystemPath(Join(folder, name)).c_str());
    name.clear();
    return error;
  }
  return {};
}

bool MarkForDeletion(HANDLE file, bool deleted) {
  FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleted)};
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

// Gives the open file the name `path`, taking the place of a file there only when `replace`.
std::error_code RenameOpenFile(HANDLE file, const std::wstring& path, bool replace) {
  const std::wstring name = SystemPath(path);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.data(), name.size() * sizeof(wchar_t));
  if (SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size()))) {
    return {};
  }
  return LastError();
}

// The folder part of a resolved path's native text.
std::wstring FolderPathOf(const ResolvedPath& path) {
  std::wstring native;
  std::wstring name;
  if (!ToWide(path.native(), native) || !ToWide(path.name(), name)) return {};
  if (path.name() == "." || native.size() <= name.size()) return native;
  native.resize(native.size() - name.size());
  // "C:\" keeps its separator; any other folder loses it.
  if (native.size() > 1 && native.back() == L'\\' && native[native.size() - 2] != L':' &&
      !native.ends_with(L"}\\")) {
    native.pop_back();
  }
  return native;
}

}  // namespace


void Handle::reset(NativeHandle handle) {
  if (handle_ != kNoHandle && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = handle;
}

std::error_code StatusOf(NativeHandle handle, FileStatus& status) {
  Inspected inspected;
  if (const std::error_code error = Inspect(handle, inspected)) return error;
  status = inspected.status;
  return {};
}

bool ResolvedPath::OnDeviceFileSystem() const { return false; }

std::error_code ResolvedPath::Resolve(std::string_view path, LastLink last) {
  folder_.reset();
  held_.clear();
  name_.clear();
  native_.clear();
  if (path.empty()) return Error(ENOENT);
  std::wstring wide;
  if (!ToWide(path, wide)) return Error(EILSEQ);
  if (wide.find(L'\0') != std::wstring::npos) return Error(ENOENT);
  // A path that ends in a folder: "clips\", "clips\.", "clips\..", "C:".
  const std::deque<std::wstring> given = NamesOf(wide);
  const bool endsInFolder = IsSeparator(wide.back()) || given.empty() || given.back() == L"." ||
                            given.back() == L".." || (wide.size() == 2 && wide[1] == L':');
  for (const std::wstring& name : given) {
    if (IsDeviceName(name)) return FileRefusal::kNotRegularFile;
  }
  SplitPath split;
  if (const std::error_code error = Split(wide, split)) return error;
  std::deque<std::wstring> rest = std::move(split.names);
  if (endsInFolder) rest.emplace_back(L".");

  std::wstring root = split.root;
  std::vector<std::wstring> done;  // the folders entered below the root
  std::vector<Handle> held;        // the root and those folders, held open
  held.push_back(HoldFolder(root));
  if (!held.back().valid()) return LastError();
  int links = 0;
  while (!rest.empty()) {
    std::wstring name = std::move(rest.front());
    rest.pop_front();
    const bool lastName = rest.empty();
    if (name == L"." || name == L"..") {
      if (name == L".." && !done.empty()) {
        done.pop_back();
        held.pop_back();
      }
      if (lastName) name_ = ".";
      continue;
    }
    if (IsDeviceName(name)) return FileRefusal::kNotRegularFile;
    if (!IsPossibleName(name)) {  // no such file can exist
      if (!lastName) return Error(ENOENT);
      name_ = Utf8(name);
      break;
    }
    done.push_back(name);
    const std::wstring full = Join(root, done);
    done.pop_back();
    const Handle entry = OpenToLookAt(full);
    if (!entry.valid()) {
      const DWORD code = GetLastError();
      if (lastName && (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)) {
        name_ = Utf8(name);
        break;
      }
      return ErrorOf(code);
    }
    Inspected inspected;
    if (const std::error_code error = Inspect(entry.get(), inspected)) return error;
    if (inspected.status.kind == FileKind::kLink && !(lastName && last == LastLink::kKeep)) {
      if (inspected.tag != IO_REPARSE_TAG_SYMLINK && inspected.tag != IO_REPARSE_TAG_MOUNT_POINT) {
        return FileRefusal::kNotRegularFile;  // a kind of link the system does not follow
      }
      if (const OwnerKind owner = OwnerOf(entry.get());
          owner != OwnerKind::kUser && owner != OwnerKind::kSystem) {
        return FileRefusal::kForeignLink;
      }
      if (++links > kMaxLinks) return LinkError();
      // The link read is the link opened and checked, not whatever has its name by now.
      std::wstring target;
      bool relative = false;
      if (const std::error_code error = ReadLink(entry.get(), target, relative)) return error;
      std::deque<std::wstring> names;
      if (relative && !(IsSeparator(target.front()))) {
        names = NamesOf(target);
      } else if (relative) {  // "\clips": from the root of the link's own drive
        names = NamesOf(target);
        done.clear();
        held.resize(1);
      } else {
        SplitPath targetSplit;
        if (const std::error_code error = Split(target, targetSplit)) return error;
        if (targetSplit.root != root) {
          Handle newRoot = HoldFolder(targetSplit.root);
          if (!newRoot.valid()) return LastError();
          held.clear();
          held.push_back(std::move(newRoot));
          root = targetSplit.root;
        }
        done.clear();
        held.resize(1);
        names = std::move(targetSplit.names);
      }
      if (IsSeparator(target.back())) names.emplace_back(L".");
      rest.insert(rest.begin(), names.begin(), names.end());
      if (rest.empty()) name_ = ".";  // a link to a root
      continue;
    }
    if (lastName) {
      name_ = Utf8(name);
      break;
    }
    if (inspected.status.kind != FileKind::kFolder) return Error(ENOTDIR);
    Handle folder = HoldFolder(full);
    if (!folder.valid()) return LastError();
    Inspected holding;
    if (const std::error_code error = Inspect(folder.get(), holding)) return error;
    if (!(holding.status.id == inspected.status.id)) return FileRefusal::kChanged;
    done.push_back(std::move(name));
    held.push_back(std::move(folder));
  }
  std::wstring native = Join(root, done);
  if (name_ != ".") {
    std::wstring name;
    if (!ToWide(name_, name)) return Error(EILSEQ);
    native = Join(native, name);
  }
  native_ = Utf8(SystemPath(native));
  folder_ = std::move(held.back());
  held.pop_back();
  held_ = std::move(held);
  return {};
}

std::error_code InputFile::OpenIn(const ResolvedPath& where) {
  file_.reset();
  if (where.name() == ".") return Error(EISDIR);
  std::wstring path;
  std::wstring name;
  if (!ToWide(where.native(), path) || !ToWide(where.name(), name)) return Error(EILSEQ);
  if (!IsPossibleName(name)) return Error(ENOENT);
  // Shared for every use, so that the list stays free for other programs, and opened as itself
  // when it is a link: a link put there after the path was resolved is refused, not followed.
  constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  Handle file = OpenHandle(path, GENERIC_READ, kShareAll, OPEN_EXISTING, kFlags);
  if (!file.valid()) return LastError();
  Inspected inspected;
  if (const std::error_code error = Inspect(file.get(), inspected)) return error;
  if (inspected.status.kind == FileKind::kLink) return LinkError();
  if (inspected.tag != 0 && inspected.status.kind == FileKind::kRegular) {
    // A placeholder (a cloud file) is read through its filter: opened again the ordinary way,
    // and taken only when that is the same file.
    Handle content = OpenHandle(path, GENERIC_READ, kShareAll, OPEN_EXISTING, 0);
    if (!content.valid()) return LastError();
    Inspected reopened;
    if (const std::error_code error = Inspect(content.get(), reopened)) return error;
    if (!(reopened.status.id == inspected.status.id)) return FileRefusal::kChanged;
    file = std::move(content);
  }
  return Take(std::move(file));
}

std::error_code InputFile::MakeCopy(const std::function<std::error_code(const CopyWriter&)>& fill,
                                    Handle& copy) {
  std::array<wchar_t, MAX_PATH + 1> temp{};
  const DWORD length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  if (length == 0 || length >= temp.size()) return length == 0 ? LastError() : Error(ENAMETOOLONG);
  ResolvedPath folder;
  if (const std::error_code error = folder.Resolve(Utf8({temp.data(), length}))) return error;
  std::wstring name;
  // Deleted when it is closed, however the program ends; FILE_ATTRIBUTE_TEMPORARY keeps it in
  // memory where it fits.
  if (const std::error_code error =
          CreateTemporary(FolderPathOf(folder), FILE_ATTRIBUTE_TEMPORARY, 0, copy, name)) {
    return error;
  }
  const HANDLE file = copy.get();
  return fill([file](std::string_view bytes) { return WriteAll(file, bytes); });
}

std::error_code InputFile::OpenCopyOf(NativeHandle source) {
  file_.reset();
  Handle copy;
  const std::error_code error = MakeCopy(
      [source](const CopyWriter& write) -> std::error_code {
        std::vector<char> block(1 << 16);
        for (;;) {
          DWORD got = 0;
          if (!ReadFile(source, block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) {
            const DWORD code = GetLastError();
            if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return {};  // writer done
            return ErrorOf(code);
          }
          if (got == 0) return {};
          if (const std::error_code failed = write({block.data(), got})) return failed;
        }
      },
      copy);
  if (error) return error;
  return Take(std::move(copy));
}

std::error_code InputFile::OpenCopy(
    const std::function<std::error_code(const CopyWriter&)>& fill, const FileStatus& status) {
  Handle copy;
  if (const std::error_code error = MakeCopy(fill, copy)) return error;
  file_ = std::move(copy);
  status_ = status;
  return {};
}

InputFile::Read InputFile::ReadAt(std::uint64_t offset, char* data, std::size_t size) const {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  DWORD got = 0;
  if (ReadFile(file_.get(), data, want, &got, &at)) return {got, {}};
  if (GetLastError() == ERROR_HANDLE_EOF) return {0, {}};
  return {0, LastError()};
}

std::uint64_t InputFile::Size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file_.get(), &size) || size.QuadPart < 0) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::error_code ReplacementFile::Make(const ReplacementOptions& options) {
  const auto fail = [this](std::error_code error) {
    Discard();
    return error;
  };
  const std::string& name = target_.name();
  if (name.empty() || name == ".") return fail(Error(EISDIR));
  std::wstring wideName;
  std::wstring path;
  if (!ToWide(name, wideName) || !ToWide(target_.native(), path)) return fail(Error(EILSEQ));
  if (!IsPossibleName(wideName)) return fail(Error(EINVAL));
  const std::wstring folder = FolderPathOf(target_);
  policy_ = options.replace;

  DWORD carried = 0;
  Security security;  // of the file replaced, which `lent` may point into
  LentDacl lent;
  if (const Handle there = OpenToLookAt(path); there.valid()) {
    Inspected inspected;
    if (const std::error_code error = Inspect(there.get(), inspected)) return fail(error);
    FileStatus existing = inspected.status;
    if (existing.kind == FileKind::kFolder) return fail(Error(EISDIR));
    if (existing.kind == FileKind::kLink && options.lastLink == LastLink::kFollow) {
      return fail(LinkError());  // put there after the path was resolved
    }
    if (existing.kind == FileKind::kOther) return fail(FileRefusal::kNotRegularFile);
    if (existing.kind == FileKind::kRegular) {
      if ((inspected.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return fail(FileRefusal::kReadOnly);
      }
      // Replaced only when the user could write and delete it, and no other program holds it
      // open against that (a player showing the script): a sharing violation says so now,
      // before anything is written.
      const Handle writable = OpenHandle(path, FILE_WRITE_DATA | DELETE, kShareAll, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT);
      if (!writable.valid()) return fail(LastError());
      Inspected opened;
      if (const std::error_code error = Inspect(writable.get(), opened)) return fail(error);
      if (!(opened.status.id == existing.id)) return fail(FileRefusal::kChanged);
      // Only the user's own file lends its attributes; another's stay with it. A script of the
      // user's own is no more open once replaced than it was: its DACL comes along. Anyone
      // else's lends nothing, and its successor gets the folder's entries.
      security = SecurityOf(there.get());
      if (OwnerOf(security) == OwnerKind::kUser) {
        carried = inspected.attributes & kCarriedAttributes;
      }
      lent = DaclToLend(security);
    }
    existing_ = existing;
    if (policy_.kind == ReplacePolicy::Kind::kNever) return fail(FileRefusal::kExists);
    if (policy_.kind == ReplacePolicy::Kind::kOnlyFile && !(existing.id == policy_.file)) {
      return fail(FileRefusal::kChanged);
    }
  } else if (const DWORD code = GetLastError();
             code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
    return fail(ErrorOf(code));
  }

  std::wstring temp;
  if (const std::error_code error =
          CreateTemporary(folder, FILE_ATTRIBUTE_ARCHIVE | carried,
                          lent.dacl != nullptr ? WRITE_DAC : 0, file_, temp)) {
    return fail(error);
  }
  tempName_ = Utf8(temp);
  if (lent.dacl != nullptr) {
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION | (lent.isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                      : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if (const DWORD code =
            SetSecurityInfo(file_.get(), SE_FILE_OBJECT, what, nullptr, nullptr, lent.dacl,
                            nullptr)) {
      return fail(ErrorOf(code));
    }
  }
  FileStatus made;
  if (const std::error_code error = StatusOf(file_.get(), made)) return fail(error);
  id_ = made.id;
  return {};
}


std::error_code ReplacementFile::PutInPlace() {
  std::wstring path;
  if (!ToWide(target_.native(), path)) return Error(EILSEQ);
  bool mayReplace = policy_.kind == ReplacePolicy::Kind::kAlways ||
                    (policy_.kind == ReplacePolicy::Kind::kOnlyFile && existing_);
  if (policy_.kind == ReplacePolicy::Kind::kOnlyFile && mayReplace) {
    // Windows cannot exchange two names, so the file is looked at just before it is replaced.
    const Handle now = OpenToLookAt(path);
    if (!now.valid()) {
      const DWORD code = GetLastError();
      if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) return ErrorOf(code);
      mayReplace = false;  // the old file has gone: the name is taken only when free
    } else {
      Inspected inspected;
      if (const std::error_code error = Inspect(now.get(), inspected)) return error;
      if (!(inspected.status.id == policy_.file)) return FileRefusal::kChanged;
    }
  }
  // From here the file stays when the program ends; every failure sets the mark again.
  if (!MarkForDeletion(file_.get(), false)) return LastError();
  const std::error_code renamed = RenameOpenFile(file_.get(), path, mayReplace);
  if (!renamed) {
    tempName_.clear();
    return {};
  }
  MarkForDeletion(file_.get(), true);
  if (renamed == std::errc::file_exists && !mayReplace) return FileRefusal::kExists;
  if (renamed == std::errc::permission_denied && mayReplace) {
    // Held open by another program, or made read-only since Create looked.
    const Handle now = OpenToLookAt(path);
    Inspected inspected;
    if (now.valid() && !Inspect(now.get(), inspected)) {
      return (inspected.attributes & FILE_ATTRIBUTE_READONLY) != 0
                 ? make_error_code(FileRefusal::kReadOnly)
                 : make_error_code(FileRefusal::kInUse);
    }
  }
  return renamed;
}

ReplacementFile::Committed ReplacementFile::Commit() {
  if (!file_.valid()) return {Error(EBADF), false};
  // The data reaches the disk before the file takes the name, so a power cut never leaves the
  // name on an empty or partial file; a write error the disk reports late is seen here.
  std::error_code error = FlushFileBuffers(file_.get()) ? std::error_code() : LastError();
  if (!error) error = PutInPlace();
  if (error) {
    Discard();
    return {error, false};
  }
  // The new name reaches the disk with the file's own entry (NTFS logs both together).
  Committed committed{{}, true};
  if (!FlushFileBuffers(file_.get())) committed.error = LastError();
  file_.reset();
  Discard();
  return committed;
}

void ReplacementFile::Discard() {
  if (file_.valid()) {
    // Closing a file marked for deletion deletes it; should the mark fail, the name does.
    const bool marked = MarkForDeletion(file_.get(), true);
    file_.reset();
    std::wstring temp;
    if (!marked && !tempName_.empty() && ToWide(tempName_, temp)) {
      DeleteFileW(SystemPath(Join(FolderPathOf(target_), temp)).c_str());
    }
  }
  tempName_.clear();
  unnamed_ = false;
}

std::string LongPathName(const std::string& path) {
  // Only the last name counts for the script's name; the folders stay as they were written.
  std::wstring wide;
  if (!ToWide(path, wide) || wide.empty() || IsSeparator(wide.back())) return path;
  const DWORD fullLength = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (fullLength == 0) return path;
  std::wstring full(fullLength, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), fullLength, full.data(), nullptr);
  if (written == 0 || written >= fullLength) return path;
  full.resize(written);
  const std::wstring system = SystemPath(full);
  const DWORD longLength = GetLongPathNameW(system.c_str(), nullptr, 0);
  if (longLength == 0) return path;  // no such file: there is no long name to find
  std::wstring longPath(longLength, L'\0');
  const DWORD got = GetLongPathNameW(system.c_str(), longPath.data(), longLength);
  if (got == 0 || got >= longLength) return path;
  longPath.resize(got);
  const auto lastName = [](std::wstring_view text) {
    std::size_t start = text.size();
    while (start > 0 && !IsSeparator(text[start - 1])) --start;
    return start;
  };
  const std::size_t givenStart = lastName(wide);
  const std::wstring_view given = std::wstring_view(wide).substr(givenStart);
  const std::wstring_view found = std::wstring_view(longPath).substr(lastName(longPath));
  if (given == L"." || given == L".." || given.find(L':') != std::wstring_view::npos ||
      EqualsIgnoringCase(given, found)) {
    return path;
  }
  return Utf8(wide.substr(0, givenStart) + std::wstring(found));
}

std::error_code WriteAll(NativeHandle handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr)) return LastError();
    if (written == 0) return Error(EIO);
    bytes.remove_prefix(written);
  }
  return {};
}

}  // namespace snipforge
