// The Windows version of the file calls: UTF-8 paths inside and UTF-16 at every system call, the
// folders of a resolved path held open so that none of them can be renamed meanwhile, and a new
// file under an unguessable name that the system deletes when the program dies before the file
// takes its place. The text of paths is read in windows_path.cpp, errors are mapped in
// windows_error.cpp, and owners and DACLs are read in windows_security.cpp.
#include "engine/file_system.h"

#include "engine/file_system_native.h"
#include "engine/wide_text.h"
#include "engine/windows_error.h"
#include "engine/windows_path.h"
#include "engine/windows_security.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
#include <winioctl.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <vector>

namespace snipforge {
namespace {

using windows::IsDeviceName;
using windows::IsPossibleName;
using windows::IsSeparator;
using windows::Join;
using windows::NamesOf;
using windows::SplitPath;
using windows::SystemPath;

constexpr int kMaxLinks = 40;
// Opens that only look at a file never keep another program from anything.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The attributes a replaced file passes on to its successor; read-only is refused instead, and
// the new file has changed since any backup, so it is always marked for archiving.
constexpr DWORD kCarriedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::error_code Error(int code) { return {code, std::generic_category()}; }

// StrictWide for the many calls here that go on with the text or stop.
bool ToWide(std::string_view text, std::wstring& wide) {
  std::optional<std::wstring> strict = StrictWide(text);
  wide = strict ? std::move(*strict) : std::wstring();
  return strict.has_value();
}

// The absolute form of a path as Windows reads it (relative to the working folder, "." and ".."
// taken away, trailing points and blanks of a name dropped), split. A path in the verbatim form
// (\\?\C:\clips, \??\C:\clips) is taken as it is. A device path gives kNotRegularFile.
std::error_code Split(const std::wstring& path, SplitPath& split) {
  if (windows::IsVerbatim(path)) return windows::SplitVerbatim(path, split);
  if (windows::IsLocalDevicePath(path)) return FileRefusal::kNotRegularFile;
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return LastError();
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  if (written == 0 || written >= length) return written == 0 ? LastError() : Error(EIO);
  full.resize(written);
  return windows::SplitFull(full, split);
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
  FileInfo info;
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
  out.info.id = {info.dwVolumeSerialNumber,
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
    out.info.kind = FileKind::kLink;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    out.info.kind = FileKind::kFolder;
  } else {
    out.info.kind = FileKind::kRegular;
  }
  return {};
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

// Sets or clears the mark that has the system delete the file when its last handle closes.
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
  return windows::FolderOf(std::move(native), name);
}

// The path of `name` in the folder of `where`.
std::wstring PathIn(const ResolvedPath& where, const std::string& name) {
  std::wstring wide;
  if (name == where.name()) return ToWide(where.native(), wide) ? wide : std::wstring();
  return ToWide(name, wide) ? Join(FolderPathOf(where), wide) : std::wstring();
}

// A new file of an unguessable name in `folder` that no other program may open, and that the
// system deletes when the handle closes (also when the program is killed) unless the mark is
// cleared first; opened for reading, writing and deleting, and `access` besides.
std::error_code CreateTemporary(const std::wstring& folder, DWORD attributes, DWORD access,
                                Handle& file, std::wstring& name) {
  std::string chosen;
  if (const std::error_code error = native::TryTemporaryNames(
          [&](const std::string& candidate) {
            file = OpenHandle(Join(folder, Wide(candidate)),
                              GENERIC_READ | GENERIC_WRITE | DELETE | access, 0, CREATE_NEW,
                              attributes | FILE_FLAG_OPEN_REPARSE_POINT);
            return file.valid() ? std::error_code() : LastError();
          },
          chosen)) {
    return error;
  }
  name = Wide(chosen);
  if (!MarkForDeletion(file.get(), true)) {
    const std::error_code error = LastError();
    file.reset();
    DeleteFileW(SystemPath(Join(folder, name)).c_str());
    name.clear();
    return error;
  }
  return {};
}

}  // namespace

void Handle::reset(NativeHandle handle) {
  if (handle_ != kNoHandle && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = handle;
}

std::error_code InfoOf(NativeHandle handle, FileInfo& info) {
  Inspected inspected;
  if (const std::error_code error = Inspect(handle, inspected)) return error;
  info = inspected.info;
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
  for (const std::wstring& name : NamesOf(wide)) {
    if (IsDeviceName(name)) return FileRefusal::kNotRegularFile;
  }
  SplitPath split;
  if (const std::error_code error = Split(wide, split)) return error;
  std::deque<std::wstring> rest = std::move(split.names);
  if (windows::EndsInFolder(wide)) rest.emplace_back(L".");

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
    if (inspected.info.kind == FileKind::kLink && !(lastName && last == LastLink::kKeep)) {
      if (inspected.tag != IO_REPARSE_TAG_SYMLINK && inspected.tag != IO_REPARSE_TAG_MOUNT_POINT) {
        return FileRefusal::kNotRegularFile;  // a kind of link the system does not follow
      }
      if (const OwnerKind owner = OwnerOf(SecurityOf(entry.get()));
          owner != OwnerKind::kUser && owner != OwnerKind::kMachine) {
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
    if (inspected.info.kind != FileKind::kFolder) return Error(ENOTDIR);
    Handle folder = HoldFolder(full);
    if (!folder.valid()) return LastError();
    Inspected holding;
    if (const std::error_code error = Inspect(folder.get(), holding)) return error;
    if (!(holding.info.id == inspected.info.id)) return FileRefusal::kChanged;
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
  if (inspected.info.kind == FileKind::kLink) return LinkError();
  if (inspected.tag != 0 && inspected.info.kind == FileKind::kRegular) {
    // A placeholder (a cloud file) is read through its filter: opened again the ordinary way,
    // and taken only when that is the same file.
    Handle content = OpenHandle(path, GENERIC_READ, kShareAll, OPEN_EXISTING, 0);
    if (!content.valid()) return LastError();
    Inspected reopened;
    if (const std::error_code error = Inspect(content.get(), reopened)) return error;
    if (!(reopened.info.id == inspected.info.id)) return FileRefusal::kChanged;
    file = std::move(content);
  }
  return Take(std::move(file));
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

// The primitives of the careful save (file_system_native.h).

std::error_code native::LookAt(const ResolvedPath& where, const std::string& name,
                               Looked& looked) {
  looked = {};
  looked.handle = OpenToLookAt(PathIn(where, name));
  if (!looked.handle.valid()) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? std::error_code()
                                                                         : ErrorOf(code);
  }
  Inspected inspected;
  if (const std::error_code error = Inspect(looked.handle.get(), inspected)) return error;
  looked.exists = true;
  looked.info = inspected.info;
  looked.attributes = inspected.attributes;
  return {};
}

std::error_code native::LinkError() { return snipforge::LinkError(); }

std::error_code native::CheckName(const ResolvedPath& target) {
  std::wstring name;
  std::wstring path;
  if (!ToWide(target.name(), name) || !ToWide(target.native(), path)) return Error(EILSEQ);
  return IsPossibleName(name) ? std::error_code() : Error(EINVAL);
}

std::error_code native::Lock(const ResolvedPath&, const ReplacementOptions&, Handle&) {
  return {};
}

std::error_code native::CheckReplaceable(const ResolvedPath& target, Looked& existing) {
  if ((existing.attributes & FILE_ATTRIBUTE_READONLY) != 0) return FileRefusal::kReadOnly;
  // Replaced only when the user could write and delete it, and no other program holds it open
  // against that (a player showing the script): a sharing violation says so now, before
  // anything is written.
  const Handle writable = OpenHandle(PathIn(target, target.name()), FILE_WRITE_DATA | DELETE,
                                     kShareAll, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!writable.valid()) return LastError();
  Inspected opened;
  if (const std::error_code error = Inspect(writable.get(), opened)) return error;
  if (!(opened.info.id == existing.info.id)) return FileRefusal::kChanged;
  return {};
}

std::error_code native::CreateReplacement(const ResolvedPath& target, const ReplacementOptions&,
                                          const Looked& existing, Handle& file, std::string& name,
                                          bool& unnamed) {
  unnamed = false;
  // Only the user's own file lends its attributes; another's stay with it. A script of the
  // user's own is no more open once replaced than it was: its DACL comes along. Anyone else's
  // lends nothing, and its successor gets the folder's entries.
  DWORD carried = 0;
  Security security;  // of the file replaced, which `lent` points into
  LentDacl lent;
  if (existing.exists && existing.info.kind == FileKind::kRegular) {
    security = SecurityOf(existing.handle.get());
    if (OwnerOf(security) == OwnerKind::kUser) carried = existing.attributes & kCarriedAttributes;
    lent = DaclToLend(security);
  }
  std::wstring temp;
  if (const std::error_code error =
          CreateTemporary(FolderPathOf(target), FILE_ATTRIBUTE_ARCHIVE | carried,
                          lent.dacl != nullptr ? WRITE_DAC : 0, file, temp)) {
    return error;
  }
  name = Utf8(temp);
  if (lent.dacl != nullptr) {
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION | (lent.isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                      : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if (const DWORD code =
            SetSecurityInfo(file.get(), SE_FILE_OBJECT, what, nullptr, nullptr, lent.dacl,
                            nullptr)) {
      return ErrorOf(code);
    }
  }
  return {};
}

std::error_code native::SyncData(NativeHandle file) {
  return FlushFileBuffers(file) ? std::error_code() : LastError();
}

std::error_code native::Link(const ResolvedPath&, NativeHandle, const std::string&) {
  return Error(ENOSYS);  // every temporary file has a name here
}

std::error_code native::Rename(const ResolvedPath& target, NativeHandle file, const std::string&,
                               bool replace) {
  std::wstring path;
  if (!ToWide(target.native(), path)) return Error(EILSEQ);
  // From here the file stays when the program ends; every failure sets the mark again.
  if (!MarkForDeletion(file, false)) return LastError();
  const std::error_code renamed = RenameOpenFile(file, path, replace);
  if (!renamed) return {};
  MarkForDeletion(file, true);
  if (renamed == std::errc::file_exists && !replace) return FileRefusal::kExists;
  if (renamed == std::errc::permission_denied && replace) {
    // Held open by another program, or made read-only since the file was looked at.
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

std::error_code native::Exchange(const ResolvedPath&, const std::string&) {
  return Error(ENOSYS);  // Windows cannot swap two names
}

void native::Remove(const ResolvedPath& target, const std::string& name) {
  DeleteFileW(SystemPath(PathIn(target, name)).c_str());
}

std::error_code native::SyncName(const ResolvedPath&, NativeHandle file) {
  // The new name reaches the disk with the file's own entry (NTFS logs both together).
  return FlushFileBuffers(file) ? std::error_code() : LastError();
}

void native::DropTemporary(const ResolvedPath& target, Handle& file, const std::string& name) {
  if (!file.valid()) return;
  // Closing a file marked for deletion deletes it; should the mark fail, the name does.
  const bool marked = MarkForDeletion(file.get(), true);
  file.reset();
  if (!marked && !name.empty()) Remove(target, name);
}

std::error_code native::OpenPrivateTemporary(Handle& file) {
  std::array<wchar_t, MAX_PATH + 1> temp{};
  const DWORD length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  if (length == 0 || length >= temp.size()) return length == 0 ? LastError() : Error(ENAMETOOLONG);
  ResolvedPath folder;
  if (const std::error_code error = folder.Resolve(Utf8({temp.data(), length}))) return error;
  std::wstring name;
  // Deleted when it is closed, however the program ends; FILE_ATTRIBUTE_TEMPORARY keeps it in
  // memory where it fits.
  return CreateTemporary(FolderPathOf(folder), FILE_ATTRIBUTE_TEMPORARY, 0, file, name);
}

InputFile::Read native::ReadSome(NativeHandle source, char* data, std::size_t size) {
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  DWORD got = 0;
  if (ReadFile(source, data, want, &got, nullptr)) return {got, {}};
  const DWORD code = GetLastError();
  if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return {0, {}};  // the writer is done
  return {0, ErrorOf(code)};
}

std::error_code native::RandomBytes(unsigned char* data, std::size_t size) {
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, data, static_cast<ULONG>(size),
                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return Error(EIO);
  }
  return {};
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
  const std::optional<std::wstring> named = windows::WithLongName(wide, longPath);
  return named ? Utf8(*named) : path;
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
