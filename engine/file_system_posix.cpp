// The POSIX version of the file calls: Linux's O_PATH, O_TMPFILE and renameat2 where they help.
#include "engine/file_system.h"

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

// The status of what `name` names in `folder` (of `folder` itself when `name` is empty), a link
// taken as itself. statx rather than stat for the time a file was born, which tells a file from
// a later one that reuses its inode number.
std::error_code StatAt(int folder, const std::string& name, FileStatus& status) {
  struct statx raw {};
  const int flags = AT_SYMLINK_NOFOLLOW | (name.empty() ? AT_EMPTY_PATH : 0);
  if (statx(folder, name.c_str(), flags, STATX_BASIC_STATS | STATX_BTIME, &raw) != 0) {
    return LastError();
  }
  const auto birth = (raw.stx_mask & STATX_BTIME) != 0
                         ? raw.stx_btime.tv_sec * 1'000'000'000 + raw.stx_btime.tv_nsec
                         : 0;
  status = {{makedev(raw.stx_dev_major, raw.stx_dev_minor), raw.stx_ino,
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
  struct stat status {};
  return devices && fstat(folder, &status) == 0 && status.st_dev == *devices;
}

// ".snipforge-" and 32 hex digits from the system's random source: a name no other user can
// guess and plant first.
std::string RandomTempName(std::error_code& error) {
  std::array<unsigned char, 16> random{};
  std::size_t got = 0;
  while (got < random.size()) {
    const ssize_t n = getrandom(random.data() + got, random.size() - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = LastError();
      return {};
    }
    got += static_cast<std::size_t>(n);
  }
  constexpr std::string_view kHex = "0123456789abcdef";
  std::string name = ".snipforge-";
  for (const unsigned char byte : random) {
    name += kHex[byte >> 4];
    name += kHex[byte & 15u];
  }
  name += ".tmp";
  return name;
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
  struct stat status {};
  if (fstat(lock.get(), &status) != 0) return LastError();
  if (!S_ISREG(status.st_mode) || status.st_uid != geteuid()) {
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
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::error_code error;
    name = RandomTempName(error);
    if (error) return error;
    file = Handle(openat(folder, name.c_str(),
                         O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (file.valid()) return {};
    const std::error_code failed = LastError();
    name.clear();
    if (failed != std::errc::file_exists) return failed;
  }
  return Error(EEXIST);
}

}  // namespace


void Handle::reset(NativeHandle handle) {
  if (handle_ >= 0) close(handle_);
  handle_ = handle;
}

std::error_code StatusOf(NativeHandle handle, FileStatus& status) {
  return StatAt(handle, "", status);
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
    FileStatus status;
    if (const std::error_code error = StatusOf(entry.get(), status)) return error;
    if (status.kind == FileKind::kLink && !(lastName && last == LastLink::kKeep)) {
      if (!IsOwnOrRoot(status.owner)) return FileRefusal::kForeignLink;
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
    if (status.kind != FileKind::kFolder) return Error(ENOTDIR);
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

std::error_code InputFile::MakeCopy(const std::function<std::error_code(const CopyWriter&)>& fill,
                                    Handle& copy) {
  const char* variable = std::getenv("TMPDIR");
  const std::string folderPath = variable != nullptr && variable[0] == '/' ? variable : "/tmp";
  ResolvedPath folder;
  if (const std::error_code error = folder.Resolve(folderPath + "/")) return error;
  std::string name;
  bool unnamed = false;
  if (const std::error_code error =
          CreateTemporary(folder.folder(), 0600, true, copy, name, unnamed)) {
    return error;
  }
  if (!name.empty()) unlinkat(folder.folder(), name.c_str(), 0);  // no name reaches it now
  const int file = copy.get();
  return fill([file](std::string_view bytes) { return WriteAll(file, bytes); });
}

std::error_code InputFile::OpenCopyOf(NativeHandle source) {
  file_.reset();
  Handle copy;
  const std::error_code error = MakeCopy(
      [source](const CopyWriter& write) -> std::error_code {
        std::array<char, 1 << 16> block{};
        for (;;) {
          const ssize_t got = read(source, block.data(), block.size());
          if (got < 0 && errno == EINTR) continue;
          if (got < 0) return LastError();
          if (got == 0) return {};
          if (const std::error_code failed =
                  write({block.data(), static_cast<std::size_t>(got)})) {
            return failed;
          }
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
  for (;;) {
    const ssize_t got = pread(file_.get(), data, size, static_cast<off_t>(offset));
    if (got >= 0) return {static_cast<std::size_t>(got), {}};
    if (errno != EINTR) return {0, LastError()};
  }
}

std::uint64_t InputFile::Size() const {
  struct stat status {};
  if (fstat(file_.get(), &status) != 0 || status.st_size < 0) return 0;
  return static_cast<std::uint64_t>(status.st_size);
}

std::error_code ReplacementFile::Make(const ReplacementOptions& options) {
  const auto fail = [this](std::error_code error) {
    Discard();
    return error;
  };
  const std::string& name = target_.name();
  const int folder = target_.folder();
  if (name.empty() || name == ".") return fail(Error(EISDIR));
  policy_ = options.replace;
  if (!options.lockName.empty()) {
    if (const std::error_code error = TakeLock(folder, options.lockName, lock_)) return fail(error);
  }

  FileStatus existing;
  if (const std::error_code error = StatAt(folder, name, existing)) {
    if (error != std::errc::no_such_file_or_directory) return fail(error);
  } else {
    if (existing.kind == FileKind::kFolder) return fail(Error(EISDIR));
    if (existing.kind == FileKind::kLink && options.lastLink == LastLink::kFollow) {
      return fail(Error(ELOOP));  // put there after the path was resolved
    }
    if (existing.kind == FileKind::kOther) return fail(FileRefusal::kNotRegularFile);
    if (existing.kind == FileKind::kRegular) {
      // An existing file is replaced only when the user could write it in place. Opened without
      // following a link or blocking, so nothing put there meanwhile is followed or hangs.
      const Handle file(
          openat(folder, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
      if (!file.valid()) return fail(LastError());
      if (const std::error_code failed = StatusOf(file.get(), existing)) return fail(failed);
      if (existing.kind != FileKind::kRegular) return fail(FileRefusal::kNotRegularFile);
    }
    existing_ = existing;
    if (policy_.kind == ReplacePolicy::Kind::kNever) return fail(FileRefusal::kExists);
    if (policy_.kind == ReplacePolicy::Kind::kOnlyFile && !(existing.id == policy_.file)) {
      return fail(FileRefusal::kChanged);
    }
  }
  if (IsDeviceFileSystem(folder)) return fail(FileRefusal::kDeviceFileSystem);

  // A replaced file's permission bits carry over when it is the user's own; any other file gets
  // the mode of a new file, so that no one else's loose mode is lent to the user's script. The
  // temporary file is never open to more users than the final file will be.
  std::optional<mode_t> mode;
  if (options.mode) {
    mode = static_cast<mode_t>(*options.mode & 0777);
  } else if (existing_ && existing_->kind == FileKind::kRegular && existing_->owner == geteuid()) {
    mode = static_cast<mode_t>(existing_->mode & 0777);
  }
  if (const std::error_code error = CreateTemporary(folder, mode.value_or(0666),
                                                    options.unnamedTemporary, file_, tempName_,
                                                    unnamed_)) {
    return fail(error);
  }
  // The mode exactly, whatever the umask. Best effort: some file systems (FAT) keep no modes and
  // refuse the change.
  if (mode) static_cast<void>(fchmod(file_.get(), *mode));
  FileStatus made;
  if (const std::error_code error = StatusOf(file_.get(), made)) return fail(error);
  id_ = made.id;
  return {};
}


std::error_code ReplacementFile::PutInPlace() {
  const int folder = target_.folder();
  const char* name = target_.name().c_str();
  const bool mayReplace = policy_.kind == ReplacePolicy::Kind::kAlways ||
                          (policy_.kind == ReplacePolicy::Kind::kOnlyFile && existing_);
  if (unnamed_ && !mayReplace) {
    // Nothing to replace: the file takes the name at once, so nothing is ever left behind.
    if (linkat(AT_FDCWD, SelfPath(file_.get()).c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0) {
      return {};
    }
    return errno == EEXIST ? make_error_code(FileRefusal::kExists) : LastError();
  }
  if (unnamed_) {
    if (!existing_ &&
        linkat(AT_FDCWD, SelfPath(file_.get()).c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0) {
      return {};
    }
    // linkat cannot take over a name: the file gets an unguessable name and is renamed over the
    // target. A run killed between these two calls is the one case that leaves a file.
    for (int attempt = 0; tempName_.empty() && attempt < 100; ++attempt) {
      std::error_code error;
      std::string temp = RandomTempName(error);
      if (error) return error;
      if (linkat(AT_FDCWD, SelfPath(file_.get()).c_str(), folder, temp.c_str(),
                 AT_SYMLINK_FOLLOW) == 0) {
        tempName_ = std::move(temp);
      } else if (errno != EEXIST) {
        return LastError();
      }
    }
    if (tempName_.empty()) return Error(EEXIST);
  }
  const char* temp = tempName_.c_str();
  if (!mayReplace) {
    if (renameat2(folder, temp, folder, name, RENAME_NOREPLACE) != 0) {
      if (errno == EEXIST) return FileRefusal::kExists;
      if (errno != EINVAL && errno != ENOSYS) return LastError();
      // A file system without RENAME_NOREPLACE: a hard link fails just as well on a name taken.
      if (linkat(folder, temp, folder, name, 0) != 0) {
        return errno == EEXIST ? make_error_code(FileRefusal::kExists) : LastError();
      }
      unlinkat(folder, temp, 0);
    }
  } else if (policy_.kind == ReplacePolicy::Kind::kOnlyFile) {
    // The two names change places in one step; then the file that was replaced is looked at,
    // and when it is not the one the user agreed to replace, they change back.
    if (renameat2(folder, temp, folder, name, RENAME_EXCHANGE) == 0) {
      FileStatus replaced;
      if (StatAt(folder, tempName_, replaced) || !(replaced.id == policy_.file)) {
        renameat2(folder, temp, folder, name, RENAME_EXCHANGE);
        return FileRefusal::kChanged;
      }
      unlinkat(folder, temp, 0);
    } else if (errno == ENOENT) {  // the old file has gone: the name is taken only when free
      policy_ = ReplacePolicy::Never();
      return PutInPlace();
    } else if (errno == EINVAL || errno == ENOSYS) {
      // No exchange on this file system: the file is looked at just before it is replaced.
      FileStatus now;
      if (const std::error_code error = StatAt(folder, target_.name(), now)) {
        if (error != std::errc::no_such_file_or_directory) return error;
        policy_ = ReplacePolicy::Never();
        return PutInPlace();
      }
      if (!(now.id == policy_.file)) return FileRefusal::kChanged;
      if (renameat(folder, temp, folder, name) != 0) return LastError();
    } else {
      return LastError();
    }
  } else if (renameat(folder, temp, folder, name) != 0) {
    return LastError();
  }
  tempName_.clear();
  return {};
}

ReplacementFile::Committed ReplacementFile::Commit() {
  if (!file_.valid()) return {Error(EBADF), false};
  // The data reaches the disk before the file takes the name, so a power cut never leaves the
  // name on an empty or partial file; a write error the disk reports late is seen here.
  std::error_code error = fsync(file_.get()) == 0 ? std::error_code() : LastError();
  if (!error) error = PutInPlace();
  if (error) {
    Discard();
    return {error, false};
  }
  file_.reset();
  // The new name reaches the disk. Some file systems cannot sync a folder (EINVAL); they keep
  // their names by other means.
  Committed committed{{}, true};
  const Handle folder(openat(target_.folder(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid() && fsync(folder.get()) != 0 && errno != EINVAL) committed.error = LastError();
  Discard();
  return committed;
}

void ReplacementFile::Discard() {
  file_.reset();
  if (!tempName_.empty() && target_.folder() >= 0) {
    unlinkat(target_.folder(), tempName_.c_str(), 0);
  }
  tempName_.clear();
  lock_.reset();
  unnamed_ = false;
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
