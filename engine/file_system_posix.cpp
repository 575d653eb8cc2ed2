// The POSIX version of the file calls: Linux's O_PATH, O_TMPFILE and renameat2 where they help.
#include "engine/file_system.h"

#include "engine/file_system_native.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <deque>
#include <optional>
#include <thread>

namespace snipforge {
namespace {

constexpr int kMaxLinks = 40;
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockRetry = std::chrono::milliseconds(50);

// errno as an error code, read at once after the call that failed.
std::error_code LastError() { return {errno != 0 ? errno : EIO, std::generic_category()}; }
std::error_code Error(int code) { return {code, std::generic_category()}; }

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  if (S_ISLNK(mode)) return FileKind::kLink;
  return FileKind::kOther;
}

// The info of what `name` names in `folder` (of `folder` itself when `name` is empty), a link
// taken as itself. statx rather than stat for the time a file was born, which tells a file from
// a later one that reuses its inode number.
std::error_code StatAt(int folder, const std::string& name, FileInfo& info) {
  struct statx raw {};
  const int flags = AT_SYMLINK_NOFOLLOW | (name.empty() ? AT_EMPTY_PATH : 0);
  if (statx(folder, name.c_str(), flags, STATX_BASIC_STATS | STATX_BTIME, &raw) != 0) {
    return LastError();
  }
  const auto birth = (raw.stx_mask & STATX_BTIME) != 0
                         ? raw.stx_btime.tv_sec * 1'000'000'000 + raw.stx_btime.tv_nsec
                         : 0;
  info = {{makedev(raw.stx_dev_major, raw.stx_dev_minor), raw.stx_ino,
             static_cast<std::uint64_t>(birth)},
            KindOf(raw.stx_mode),
            raw.stx_uid,
            static_cast<std::uint32_t>(raw.stx_mode & 07777)};
  return {};
}

// The names of a path, empty ones (from "//" or a final "/") left out.
std::deque<std::string> NamesOf(std::string_view path) {
  std::deque<std::string> names;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view name = path.substr(0, slash);
    if (!name.empty()) names.emplace_back(name);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return names;
}

// True when the folder is on a file system of devices or processes: proc, sysfs, devpts and
// their kin by their type, and devtmpfs, which calls itself tmpfs, as the file system mounted on
// /dev (a mount of root's that no other user can change).
bool IsDeviceFileSystem(int folder) {
  struct statfs system {};
  if (fstatfs(folder, &system) != 0) return false;
  switch (system.f_type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case BPF_FS_MAGIC:
      return true;
    default:
      break;
  }
  static const std::optional<dev_t> devices = []() -> std::optional<dev_t> {
    struct stat dev {};
    struct stat root {};
    if (stat("/dev", &dev) != 0 || stat("/", &root) != 0 || dev.st_dev == root.st_dev) {
      return std::nullopt;  // /dev is no mount of its own: nothing tells it apart
    }
    return dev.st_dev;
  }();
  struct stat info {};
  return devices && fstat(folder, &info) == 0 && info.st_dev == *devices;
}

// The path through which an unnamed file is linked into its folder.
std::string SelfPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// True when an unnamed file can be reached through SelfPath (no /proc, no link later).
bool CanLinkUnnamed(int fd) {
  struct stat byPath {};
  struct stat byDescriptor {};
  return stat(SelfPath(fd).c_str(), &byPath) == 0 && fstat(fd, &byDescriptor) == 0 &&
         byPath.st_dev == byDescriptor.st_dev && byPath.st_ino == byDescriptor.st_ino;
}

// Holds a lock file in `folder` for as long as the handle lives. Nothing that stands at the
// lock's name makes this wait: opening does not block, and anything but this user's own regular
// file is refused.
std::error_code TakeLock(int folder, const std::string& name, Handle& lock) {
  lock = Handle(openat(folder, name.c_str(),
                       O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (!lock.valid()) return LastError();
  struct stat info {};
  if (fstat(lock.get(), &info) != 0) return LastError();
  if (!S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
    lock.reset();
    return FileRefusal::kNotRegularFile;
  }
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  while (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
      lock.reset();
      return FileRefusal::kLocked;
    }
    std::this_thread::sleep_for(kLockRetry);
  }
  return {};
}

// A new temporary file in `folder`: unnamed where the file system allows and `unnamed` asks,
// else under an unguessable name.
std::error_code CreateTemporary(int folder, mode_t mode, bool unnamed, Handle& file,
                                std::string& name, bool& isUnnamed) {
  isUnnamed = false;
  if (unnamed) {
    file = Handle(openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
    if (file.valid() && !CanLinkUnnamed(file.get())) file.reset();
    isUnnamed = file.valid();
    if (isUnnamed) return {};
  }
  // Where the file system has no unnamed files (NFS, FAT, many FUSE file systems), or any other
  // failure of O_TMPFILE, a named file; its own failure is the one reported.
  return native::TryTemporaryNames(
      [&](const std::string& candidate) {
        file = Handle(openat(folder, candidate.c_str(),
                             O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        return file.valid() ? std::error_code() : LastError();
      },
      name);
}

}  // namespace


void Handle::reset(NativeHandle handle) {
  if (handle_ >= 0) close(handle_);
  handle_ = handle;
}

std::error_code InfoOf(NativeHandle handle, FileInfo& info) {
  return StatAt(handle, "", info);
}

bool IsOwnOrRoot(std::uint32_t owner) { return owner == geteuid() || owner == 0; }

std::uint32_t CurrentUser() { return geteuid(); }

std::error_code ResolvedPath::Resolve(std::string_view path, LastLink last) {
  folder_.reset();
  name_.clear();
  if (path.empty()) return Error(ENOENT);
  std::deque<std::string> rest = NamesOf(path);
  if (path.back() == '/') rest.emplace_back(".");  // "clips/" names the folder itself
  // O_PATH: each step is opened only to be looked at or walked through, never read, so a folder
  // the user may search but not list still works.
  Handle at(open(path.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!at.valid()) return LastError();
  int links = 0;
  while (!rest.empty()) {
    std::string name = std::move(rest.front());
    rest.pop_front();
    const bool lastName = rest.empty();
    if (name == "." || name == "..") {
      if (name == "..") {
        Handle parent(openat(at.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!parent.valid()) return LastError();
        at = std::move(parent);
      }
      if (lastName) name_ = ".";
      continue;
    }
    Handle entry(openat(at.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!entry.valid()) {
      if (errno == ENOENT && lastName) {
        name_ = std::move(name);
        break;
      }
      return LastError();
    }
    FileInfo info;
    if (const std::error_code error = InfoOf(entry.get(), info)) return error;
    if (info.kind == FileKind::kLink && !(lastName && last == LastLink::kKeep)) {
      if (!IsOwnOrRoot(info.owner)) return FileRefusal::kForeignLink;
      // /dev/stdout, /dev/fd/1 and /proc/self/fd/1 lead to whatever file a descriptor has open
      // (the file standard output is appended to, say), not to a path: never followed.
      if (IsDeviceFileSystem(at.get())) return FileRefusal::kDeviceFileSystem;
      if (++links > kMaxLinks) return Error(ELOOP);
      std::array<char, PATH_MAX> target{};
      // The link read is the link opened and checked, not whatever has its name by now.
      const ssize_t length = readlinkat(entry.get(), "", target.data(), target.size());
      if (length < 0) return LastError();
      if (length == 0) return Error(ENOENT);
      if (static_cast<std::size_t>(length) == target.size()) return Error(ENAMETOOLONG);
      const std::string_view named(target.data(), static_cast<std::size_t>(length));
      std::deque<std::string> names = NamesOf(named);
      if (named.back() == '/') names.emplace_back(".");
      rest.insert(rest.begin(), names.begin(), names.end());
      if (named.front() == '/') {
        at = Handle(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!at.valid()) return LastError();
      }
      if (rest.empty()) name_ = ".";  // a link to "/"
      continue;
    }
    if (lastName) {
      name_ = std::move(name);
      break;
    }
    if (info.kind != FileKind::kFolder) return Error(ENOTDIR);
    at = std::move(entry);
  }
  folder_ = std::move(at);
  return {};
}

bool ResolvedPath::OnDeviceFileSystem() const { return IsDeviceFileSystem(folder_.get()); }

std::error_code InputFile::OpenIn(const ResolvedPath& where) {
  file_.reset();
  // O_NONBLOCK: opening a FIFO without a writer returns at once instead of waiting for one.
  // O_NOFOLLOW: a link put there after the path was resolved is refused, not followed unchecked.
  Handle file(openat(where.folder(), where.name().c_str(),
                     O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
  if (!file.valid()) return LastError();
  return Take(std::move(file));
}

InputFile::Read InputFile::ReadAt(std::uint64_t offset, char* data, std::size_t size) const {
  for (;;) {
    const ssize_t got = pread(file_.get(), data, size, static_cast<off_t>(offset));
    if (got >= 0) return {static_cast<std::size_t>(got), {}};
    if (errno != EINTR) return {0, LastError()};
  }
}

std::uint64_t InputFile::Size() const {
  struct stat info {};
  if (fstat(file_.get(), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

// The primitives of the careful save (file_system_native.h).

std::error_code native::LookAt(const ResolvedPath& where, const std::string& name,
                               Looked& looked) {
  looked = {};
  const std::error_code error = StatAt(where.folder(), name, looked.info);
  if (error == std::errc::no_such_file_or_directory) return {};
  looked.exists = !error;
  return error;
}

std::error_code native::LinkError() { return Error(ELOOP); }

std::error_code native::CheckName(const ResolvedPath&) { return {}; }

std::error_code native::Lock(const ResolvedPath& target, const ReplacementOptions& options,
                             Handle& lock) {
  if (options.lockName.empty()) return {};
  return TakeLock(target.folder(), options.lockName, lock);
}

std::error_code native::CheckReplaceable(const ResolvedPath& target, Looked& existing) {
  // Opened without following a link or blocking, so nothing put there meanwhile is followed or
  // hangs.
  const Handle file(openat(target.folder(), target.name().c_str(),
                           O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file.valid()) return LastError();
  if (const std::error_code error = InfoOf(file.get(), existing.info)) return error;
  if (existing.info.kind != FileKind::kRegular) return FileRefusal::kNotRegularFile;
  return {};
}

std::error_code native::CreateReplacement(const ResolvedPath& target,
                                          const ReplacementOptions& options,
                                          const Looked& existing, Handle& file, std::string& name,
                                          bool& unnamed) {
  // A replaced file's permission bits carry over when it is the user's own; any other file gets
  // the mode of a new file, so that no one else's loose mode is lent to the user's script. The
  // temporary file is never open to more users than the final file will be.
  std::optional<mode_t> mode;
  if (options.mode) {
    mode = static_cast<mode_t>(*options.mode & 0777);
  } else if (existing.exists && existing.info.kind == FileKind::kRegular &&
             existing.info.owner == geteuid()) {
    mode = static_cast<mode_t>(existing.info.mode & 0777);
  }
  if (const std::error_code error =
          CreateTemporary(target.folder(), mode.value_or(0666), true, file, name, unnamed)) {
    return error;
  }
  // The mode exactly, whatever the umask. Best effort: some file systems (FAT) keep no modes and
  // refuse the change.
  if (mode) static_cast<void>(fchmod(file.get(), *mode));
  return {};
}

std::error_code native::SyncData(NativeHandle file) {
  return fsync(file) == 0 ? std::error_code() : LastError();
}

std::error_code native::Link(const ResolvedPath& target, NativeHandle file,
                             const std::string& name) {
  if (linkat(AT_FDCWD, SelfPath(file).c_str(), target.folder(), name.c_str(),
             AT_SYMLINK_FOLLOW) == 0) {
    return {};
  }
  return LastError();
}

std::error_code native::Rename(const ResolvedPath& target, NativeHandle, const std::string& from,
                               bool replace) {
  const int folder = target.folder();
  const char* name = target.name().c_str();
  if (replace) return renameat(folder, from.c_str(), folder, name) == 0 ? std::error_code()
                                                                         : LastError();
  if (renameat2(folder, from.c_str(), folder, name, RENAME_NOREPLACE) == 0) return {};
  if (errno == EEXIST) return FileRefusal::kExists;
  if (errno != EINVAL && errno != ENOSYS) return LastError();
  // A file system without RENAME_NOREPLACE: a hard link fails just as well on a name taken.
  if (linkat(folder, from.c_str(), folder, name, 0) != 0) {
    return errno == EEXIST ? make_error_code(FileRefusal::kExists) : LastError();
  }
  unlinkat(folder, from.c_str(), 0);
  return {};
}

std::error_code native::Exchange(const ResolvedPath& target, const std::string& with) {
  const int folder = target.folder();
  if (renameat2(folder, with.c_str(), folder, target.name().c_str(), RENAME_EXCHANGE) == 0) {
    return {};
  }
  if (errno == EINVAL || errno == ENOSYS) return Error(ENOSYS);
  return LastError();
}

void native::Remove(const ResolvedPath& target, const std::string& name) {
  unlinkat(target.folder(), name.c_str(), 0);
}

std::error_code native::SyncName(const ResolvedPath& target, NativeHandle) {
  // Some file systems cannot sync a folder (EINVAL); they keep their names by other means.
  const Handle folder(openat(target.folder(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid() && fsync(folder.get()) != 0 && errno != EINVAL) return LastError();
  return {};
}

void native::DropTemporary(const ResolvedPath& target, Handle& file, const std::string& name) {
  file.reset();
  if (!name.empty() && target.folder() >= 0) unlinkat(target.folder(), name.c_str(), 0);
}

std::error_code native::OpenPrivateTemporary(Handle& file) {
  const char* variable = std::getenv("TMPDIR");
  const std::string folderPath = variable != nullptr && variable[0] == '/' ? variable : "/tmp";
  ResolvedPath folder;
  if (const std::error_code error = folder.Resolve(folderPath + "/")) return error;
  std::string name;
  bool unnamed = false;
  if (const std::error_code error =
          CreateTemporary(folder.folder(), 0600, true, file, name, unnamed)) {
    return error;
  }
  if (!name.empty()) unlinkat(folder.folder(), name.c_str(), 0);  // no name reaches it now
  return {};
}

InputFile::Read native::ReadSome(NativeHandle source, char* data, std::size_t size) {
  for (;;) {
    const ssize_t got = read(source, data, size);
    if (got >= 0) return {static_cast<std::size_t>(got), {}};
    if (errno != EINTR) return {0, LastError()};
  }
}

std::error_code native::RandomBytes(unsigned char* data, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = getrandom(data + got, size - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    got += static_cast<std::size_t>(n);
  }
  return {};
}

std::error_code WriteAll(NativeHandle handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(handle, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? LastError() : Error(EIO);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

std::string LongPathName(const std::string& path) { return path; }

void CreateFolders(std::string_view path, std::uint32_t mode) {
  // mkdir never follows a link at the name it creates, and leaves an existing folder as it is.
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string folder(path.substr(0, slash));
    mkdir(folder.c_str(), static_cast<mode_t>(mode));
    if (slash == std::string_view::npos) return;
  }
}

}  // namespace snipforge
