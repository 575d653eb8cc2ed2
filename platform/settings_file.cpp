#include "platform/settings_file.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <thread>

namespace snipforge {
namespace {

constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockRetry = std::chrono::milliseconds(50);

// A file descriptor, closed when it goes.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }

  [[nodiscard]] int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes now; false when closing reported an error (a write that did not reach the disk).
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_ = -1;
};

struct Place {
  std::string folder;
  std::string name;
};

Place Split(const QString& path) {
  const std::string bytes = QFile::encodeName(path).toStdString();
  const std::size_t slash = bytes.rfind('/');
  if (slash == std::string::npos) return {".", bytes};
  return {slash == 0 ? "/" : bytes.substr(0, slash), bytes.substr(slash + 1)};
}

// True when no one but the store's owner (for a user's folder: or root) may have written it.
bool Trusted(const struct stat& status, StoreOwner owner, bool folder) {
  const uid_t me = ::geteuid();
  const bool ownerOk = owner == StoreOwner::kMachine ? status.st_uid == 0
                       : folder ? status.st_uid == me || status.st_uid == 0
                                : status.st_uid == me;
  const bool kindOk = folder ? S_ISDIR(status.st_mode) : S_ISREG(status.st_mode);
  return ownerOk && kindOk && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The store's folder, opened without following a link at its last step, when it is trusted.
Descriptor OpenFolder(const Place& place, StoreOwner owner) {
  Descriptor folder(::open(place.folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (!folder || ::fstat(folder.get(), &status) != 0 || !Trusted(status, owner, true)) return {};
  return folder;
}

// Creates the missing folders of `folder`; mkdir never follows a link at the path it creates.
void CreateFolders(const std::string& folder, mode_t mode) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), mode);  // an existing folder is fine
    if (slash == std::string::npos) return;
  }
}

// Holds the store's lock, a file beside it, for as long as it lives. Nothing that stands at the
// lock's name makes this wait: opening does not block, and anything but this user's own
// regular file is refused.
Descriptor TakeLock(int folder, const std::string& name) {
  Descriptor lock(::openat(folder, name.c_str(),
                           O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  struct stat status {};
  if (!lock || ::fstat(lock.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_uid != ::geteuid()) {
    return {};
  }
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  while (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
      return {};
    }
    std::this_thread::sleep_for(kLockRetry);
  }
  return lock;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string ReadAll(int fd) {
  std::string bytes;
  char buffer[8192];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(count));
  }
}

// A new file beside the store under a name no one can guess, created by this call alone.
Descriptor CreateTemporary(int folder, const std::string& storeName, mode_t mode,
                           std::string& name) {
  std::random_device random;
  for (int attempt = 0; attempt < 8; ++attempt) {
    name = "." + storeName + "." + std::to_string(random()) + std::to_string(random());
    Descriptor file(::openat(folder, name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (file || errno != EEXIST) return file;
  }
  return {};
}

// The file's text. Qt's QSettings cannot write this: it would wrap texts in @ByteArray(...),
// quote texts with commas and escape more than a person editing the file expects.
std::string Format(const SettingsFile& file) {
  std::string text = "[Snipforge]\n";
  for (const auto& [name, value] : file.values) {
    text += name;
    text += '=';
    for (const char c : value) {
      switch (c) {
        case '\\': text += "\\\\"; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\0': text += "\\0"; break;
        default: text += c;
      }
    }
    text += '\n';
  }
  return text;
}

std::string Unescape(std::string_view text) {
  std::string value;
  value.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      value += text[i];
      continue;
    }
    switch (text[++i]) {
      case '\\': value += '\\'; break;
      case 'n': value += '\n'; break;
      case 'r': value += '\r'; break;
      case '0': value += '\0'; break;
      default: value += '\\'; value += text[i];  // not an escape: kept as written
    }
  }
  return value;
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Every "name=value" line counts, the last one of a name winning; any other line is ignored.
SettingsFile Parse(std::string_view text) {
  SettingsFile file;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // a file edited elsewhere
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    WriteSettingValue(file, TrimBlanks(line.substr(0, equals)), Unescape(line.substr(equals + 1)));
  }
  return file;
}

}  // namespace

std::optional<SettingsFile> ReadSettingsFile(const StoreFile& store) {
  const Place place = Split(store.path);
  const Descriptor folder = OpenFolder(place, store.owner);
  if (!folder) return std::nullopt;
  const Descriptor file(
      ::openat(folder.get(), place.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (!file || ::fstat(file.get(), &status) != 0 || !Trusted(status, store.owner, false)) {
    return std::nullopt;
  }
  return Parse(ReadAll(file.get()));
}

bool WriteSettingsFile(const StoreFile& store, const SettingsFile& file, Replace replace) {
  const bool machine = store.owner == StoreOwner::kMachine;
  if (machine && ::geteuid() != 0) return false;
  const Place place = Split(store.path);
  if (place.name.empty()) return false;
  CreateFolders(place.folder, machine ? 0755 : 0700);
  const Descriptor folder = OpenFolder(place, store.owner);
  if (!folder) return false;
  const Descriptor lock = TakeLock(folder.get(), place.name + ".lock");
  if (!lock) return false;

  struct stat status {};
  if (::fstatat(folder.get(), place.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
    // A FIFO, a device or a folder at the store's path is no store. A user's store replaces a
    // link or a looser file of the user's own; the machine-wide store is written only where it
    // is exactly root's own file, as it is read.
    if (replace == Replace::kOnlyWhenMissing ||
        !(S_ISREG(status.st_mode) || S_ISLNK(status.st_mode)) ||
        (machine && !Trusted(status, store.owner, false))) {
      return false;
    }
  } else if (errno != ENOENT) {
    return false;
  }

  const mode_t mode = machine ? 0644 : 0600;
  std::string temporary;
  Descriptor out = CreateTemporary(folder.get(), place.name, mode, temporary);
  if (!out) return false;
  bool written = ::fchmod(out.get(), mode) == 0 && WriteAll(out.get(), Format(file)) &&
                 ::fsync(out.get()) == 0;
  written = out.Close() && written;
  if (written) {
    written = ::renameat(folder.get(), temporary.c_str(), folder.get(), place.name.c_str()) == 0;
  }
  if (!written) {
    ::unlinkat(folder.get(), temporary.c_str(), 0);
    return false;
  }
  ::fsync(folder.get());
  return true;
}

SettingValue ReadSettingValue(const SettingsFile& file, std::string_view name) {
  for (const auto& [stored, text] : file.values) {
    if (stored != name) continue;
    // Characters as the window shows them: the text is UTF-8, one character may take 4 bytes.
    const auto characters = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                                .toUcs4()
                                .size();
    if (static_cast<std::size_t>(characters) > kLongestLoadedText) {
      return {SettingValue::State::kTooLong, {}};
    }
    return {SettingValue::State::kFound, text};
  }
  return {};
}

void WriteSettingValue(SettingsFile& file, std::string_view name, std::string_view text) {
  for (auto& [stored, value] : file.values) {
    if (stored == name) {
      value = text;
      return;
    }
  }
  file.values.emplace_back(name, text);
}

}  // namespace snipforge
