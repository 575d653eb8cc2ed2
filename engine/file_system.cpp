#include "engine/file_system.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>

namespace snipforge {
namespace {

std::atomic<bool> unnamedAllowed{true};

class FileRefusalCategory : public std::error_category {
 public:
  [[nodiscard]] const char* name() const noexcept override { return "snipforge file"; }
  [[nodiscard]] std::string message(int value) const override {
    switch (static_cast<FileRefusal>(value)) {
      case FileRefusal::kNotRegularFile:
        return "it is not a regular file";
      case FileRefusal::kForeignLink:
        return "it is a link that belongs to another user";
    }
    return "refused";
  }
};

// errno as an error code, read at once after the call that failed.
std::error_code LastError() { return {errno != 0 ? errno : EIO, std::generic_category()}; }
std::error_code Error(int code) { return {code, std::generic_category()}; }

// A descriptor closed when it goes out of scope.
struct ScopedDescriptor {
  int fd;
  ~ScopedDescriptor() {
    if (fd >= 0) close(fd);
  }
};

// The folder part of a path with its final slash ("" for a bare name).
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows links at the last component of `path`, each only when it belongs to the user or
// root, so that a link another user planted (in /tmp, say) can neither lead a read to the
// user's files nor a write over them. Afterwards `path` names what the last link names; it is
// unchanged when it names no link or nothing at all. Each link is opened itself and read
// through that descriptor, so the link checked is the link read.
std::error_code FollowOwnLinks(std::string& path) {
  constexpr int kMaxLinks = 40;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    const ScopedDescriptor link{open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC)};
    if (link.fd < 0) return errno == ENOENT ? std::error_code() : LastError();
    struct stat status {};
    if (fstat(link.fd, &status) != 0) return LastError();
    if (!S_ISLNK(status.st_mode)) return {};
    if (status.st_uid != geteuid() && status.st_uid != 0) return FileRefusal::kForeignLink;
    std::array<char, PATH_MAX> target{};
    const ssize_t length = readlinkat(link.fd, "", target.data(), target.size());
    if (length < 0) return LastError();
    if (length == 0) return Error(ENOENT);
    if (static_cast<std::size_t>(length) == target.size()) return Error(ENAMETOOLONG);
    const std::string named(target.data(), static_cast<std::size_t>(length));
    path = named.front() == '/' ? named : FolderOf(path) + named;
  }
  return Error(ELOOP);
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

}  // namespace

std::error_code make_error_code(FileRefusal refusal) {
  static const FileRefusalCategory category;
  return {static_cast<int>(refusal), category};
}

void AllowUnnamedTemporaryFiles(bool allow) { unnamedAllowed = allow; }

InputFile::~InputFile() {
  if (fd_ >= 0) close(fd_);
}

std::error_code InputFile::Open(const std::string& path) {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (path.empty()) return Error(ENOENT);
  std::string resolved = path;
  if (const std::error_code error = FollowOwnLinks(resolved)) return error;
  // O_NONBLOCK: opening a FIFO without a writer returns at once instead of waiting for one.
  // O_NOFOLLOW: a link put there after it was followed is refused, not followed unchecked.
  const int fd = open(resolved.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return LastError();
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    const std::error_code error = LastError();
    close(fd);
    return error;
  }
  if (!S_ISREG(status.st_mode)) {
    close(fd);
    return FileRefusal::kNotRegularFile;
  }
  fd_ = fd;
  return {};
}

InputFile::Read InputFile::ReadAt(std::uint64_t offset, char* data, std::size_t size) const {
  for (;;) {
    const ssize_t got = pread(fd_, data, size, static_cast<off_t>(offset));
    if (got >= 0) return {static_cast<std::size_t>(got), {}};
    if (errno != EINTR) return {0, LastError()};
  }
}

std::uint64_t InputFile::Size() const {
  struct stat status {};
  if (fstat(fd_, &status) != 0 || status.st_size < 0) return 0;
  return static_cast<std::uint64_t>(status.st_size);
}

ReplacementFile::~ReplacementFile() { Discard(); }

std::error_code ReplacementFile::Create(const std::string& path) {
  Discard();
  const auto fail = [this](std::error_code error) {
    Discard();
    return error;
  };
  std::string target = path;
  if (const std::error_code error = FollowOwnLinks(target)) return error;
  const std::string folder = FolderOf(target);
  name_ = target.substr(folder.size());
  if (name_.empty() || name_ == "." || name_ == "..") return fail(Error(EISDIR));
  folder_ = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) return fail(LastError());

  mode_t mode = 0;
  struct stat status {};
  if (fstatat(folder_, name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(status.st_mode)) return fail(Error(EISDIR));
    if (S_ISLNK(status.st_mode)) return fail(Error(ELOOP));  // put there after it was followed
    if (!S_ISREG(status.st_mode)) return fail(FileRefusal::kNotRegularFile);
    // An existing file is replaced only when the user could write it in place. Opened without
    // following a link or blocking, so nothing put there meanwhile is followed or hangs.
    const ScopedDescriptor existing{
        openat(folder_, name_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (existing.fd < 0) return fail(LastError());
    if (fstat(existing.fd, &status) != 0) return fail(LastError());
    if (!S_ISREG(status.st_mode)) return fail(FileRefusal::kNotRegularFile);
    mode = status.st_mode & 0777;
    existed_ = true;
  } else if (errno != ENOENT) {
    return fail(LastError());
  }

  // Created with the old file's mode (the umask may narrow it), or the mode of any new file, so
  // that the temporary file is never open to more users than the script will be.
  const mode_t createMode = existed_ ? mode : 0666;
  if (unnamedAllowed) {
    fd_ = openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, createMode);
    if (fd_ >= 0 && !CanLinkUnnamed(fd_)) {
      close(fd_);
      fd_ = -1;
    }
    unnamed_ = fd_ >= 0;
  }
  // Where the file system has no unnamed files (NFS, FAT, many FUSE file systems), or any other
  // failure of O_TMPFILE, a named file; its own failure is the one reported.
  for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
    std::error_code error;
    tempName_ = RandomTempName(error);
    if (error) return fail(error);
    fd_ = openat(folder_, tempName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                 createMode);
    if (fd_ < 0) {
      const std::error_code failed = LastError();
      tempName_.clear();
      if (failed != std::errc::file_exists) return fail(failed);
    }
  }
  if (fd_ < 0) return fail(Error(EEXIST));
  // The old mode exactly, whatever the umask. Best effort: some file systems (FAT) keep no modes
  // and refuse the change.
  if (existed_) static_cast<void>(fchmod(fd_, mode));
  return {};
}

std::error_code ReplacementFile::Write(std::string_view bytes) {
  if (fd_ < 0) return Error(EBADF);
  while (!bytes.empty()) {
    const ssize_t written = write(fd_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? LastError() : Error(EIO);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

ReplacementFile::Committed ReplacementFile::Commit() {
  if (fd_ < 0) return {Error(EBADF), false};
  const auto fail = [this](std::error_code error) {
    Discard();
    return Committed{error, false};
  };
  // The data reaches the disk before the file takes the name, so a power cut never leaves the
  // name on an empty or partial file; a write error the disk reports late is seen here.
  if (fsync(fd_) != 0) return fail(LastError());
  if (unnamed_) {
    const std::string self = SelfPath(fd_);
    bool named = false;
    if (!existed_) {
      // Nothing to replace: the file takes the name at once, so nothing is ever left behind.
      named = linkat(AT_FDCWD, self.c_str(), folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0;
      if (!named && errno != EEXIST) return fail(LastError());
    }
    // linkat cannot take over a name: the file gets an unguessable name and is renamed over
    // the target. A run killed between these two calls is the one case that leaves a file.
    for (int attempt = 0; !named && tempName_.empty() && attempt < 100; ++attempt) {
      std::error_code error;
      std::string temp = RandomTempName(error);
      if (error) return fail(error);
      if (linkat(AT_FDCWD, self.c_str(), folder_, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        tempName_ = std::move(temp);
      } else if (errno != EEXIST) {
        return fail(LastError());
      }
    }
    if (!named && tempName_.empty()) return fail(Error(EEXIST));
  }
  if (!tempName_.empty()) {
    if (renameat(folder_, tempName_.c_str(), folder_, name_.c_str()) != 0) {
      return fail(LastError());
    }
    tempName_.clear();
  }
  close(fd_);
  fd_ = -1;
  // The new name reaches the disk. Some file systems cannot sync a folder (EINVAL); they keep
  // their names by other means.
  Committed committed{{}, true};
  if (fsync(folder_) != 0 && errno != EINVAL) committed.error = LastError();
  Discard();
  return committed;
}

void ReplacementFile::Discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!tempName_.empty() && folder_ >= 0) unlinkat(folder_, tempName_.c_str(), 0);
  tempName_.clear();
  if (folder_ >= 0) close(folder_);
  folder_ = -1;
  unnamed_ = false;
  existed_ = false;
  name_.clear();
}

}  // namespace snipforge
