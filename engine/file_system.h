// Every operating system call on files the program makes, kept in this one unit: paths resolved
// once, step by step, and worked on through the folder's handle; the frame list read through one
// open handle; and a file put in place of the old one durably, through an unnamed or unguessable
// temporary file. file_system.cpp writes what is the same everywhere, the careful save included,
// over the primitives of file_system_native.h, which each system's version defines
// (file_system_posix.cpp, file_system_windows.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace snipforge {

#ifdef _WIN32
using NativeHandle = void*;  // a HANDLE; nullptr when there is none
inline const NativeHandle kNoHandle = nullptr;
#else
using NativeHandle = int;  // a file descriptor; -1 when there is none
inline constexpr NativeHandle kNoHandle = -1;
#endif

// An open handle, closed when it goes.
class Handle {
 public:
  Handle() = default;
  explicit Handle(NativeHandle handle) : handle_(handle) {}
  ~Handle() { reset(); }
  Handle(Handle&& other) noexcept : handle_(other.release()) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  [[nodiscard]] NativeHandle get() const { return handle_; }
  [[nodiscard]] bool valid() const { return handle_ != kNoHandle; }
  NativeHandle release() {
    const NativeHandle handle = handle_;
    handle_ = kNoHandle;
    return handle;
  }
  void reset(NativeHandle handle = kNoHandle);

 private:
  NativeHandle handle_ = kNoHandle;
};

// What tells one file from every other on the machine, however it is reached: through a link,
// a hard link or another name (the device and the inode; on Windows the volume and file index),
// and from a later file that reuses its inode number (the time it was born, where the file
// system keeps it; on Windows the file index's sequence number tells them apart).
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t birth = 0;  // 0 where the file system keeps no birth time
  friend bool operator==(const FileId&, const FileId&) = default;
};
struct FileIdHash {
  std::size_t operator()(const FileId& id) const noexcept {
    return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15u ^ id.device);
  }
};

enum class FileKind { kRegular, kFolder, kLink, kOther };

struct FileInfo {
  FileId id;
  FileKind kind = FileKind::kOther;
  std::uint32_t owner = 0;  // the user it belongs to (always 0 on Windows)
  std::uint32_t mode = 0;   // its permission bits (POSIX)
};

// The info of an open handle.
[[nodiscard]] std::error_code InfoOf(NativeHandle handle, FileInfo& info);
#ifndef _WIN32
// True when `owner` is the user running the program or root.
[[nodiscard]] bool IsOwnOrRoot(std::uint32_t owner);
// The user running the program.
[[nodiscard]] std::uint32_t CurrentUser();
#endif

// Refusals of this unit beyond the errors the system reports itself.
enum class FileRefusal {
  kNotRegularFile = 1,  // a FIFO, a device, a socket; on Windows a device's or a pipe's name
  kForeignLink,         // a link that belongs neither to the user nor to root
  kExists,              // a file stands where nothing may be replaced
  kChanged,             // another file stands where one given file may be replaced
  kInUse,               // another program holds the file open and lets no one replace it
  kReadOnly,            // the file is marked read-only
  kLocked,              // another copy of the program holds the file's lock
  kCancelled,           // the user cancelled the run
  kDeviceFileSystem,    // a path on a file system of devices or processes (/dev, /proc, /sys)
};
[[nodiscard]] std::error_code make_error_code(FileRefusal refusal);

// Whether the link at a path's last name is followed or taken as the name itself.
enum class LastLink { kFollow, kKeep };

// A path resolved once, name by name from the root or the working folder: the folder its last
// name stands in, held open, and that name. A link on the way is followed only when it belongs
// to the user or root and does not stand on a file system of devices or processes (whose links,
// /dev/stdout and /proc/self/fd/1 among them, lead wherever a descriptor points: those give
// kDeviceFileSystem), a ".." goes to the parent of the folder reached, and 40 links give
// ELOOP. Everything later works on the folder's handle, so that a folder renamed or swapped for
// a link meanwhile cannot send a file anywhere else.
class ResolvedPath {
 public:
  // A missing last name is no error (the name is then simply not there); a missing folder on
  // the way gives no_such_file_or_directory, a file on the way not_a_directory. A path that ends
  // in a folder ("clips/", "clips/..") gives the name ".".
  [[nodiscard]] std::error_code Resolve(std::string_view path,
                                        LastLink last = LastLink::kFollow);

  [[nodiscard]] NativeHandle folder() const { return folder_.get(); }
  [[nodiscard]] const std::string& name() const { return name_; }
  // The folder's identity, for telling whether two paths name one file.
  [[nodiscard]] FileId FolderId() const;
  // True when the folder is on a file system of devices or processes (/dev, /proc, /sys), where
  // no file of the program's belongs. Always false on Windows, which tells devices and pipes
  // by their names and by the handle's type.
  [[nodiscard]] bool OnDeviceFileSystem() const;
  // The path of the name for system calls that take paths (Windows); empty on POSIX.
  [[nodiscard]] const std::string& native() const { return native_; }

 private:
  Handle folder_;
  std::string name_;
  std::string native_;
  // Windows: the other folders on the way, from the root, held open so that none of them can be
  // renamed or replaced while the path is in use (the system has no openat).
  std::vector<Handle> held_;
};

// A regular file opened once for reading; every read names its offset, so two passes over it
// are two readers from offset 0 on the same open file.
class InputFile {
 public:
  // Resolves the path, follows a link at its end when it belongs to the user or root, and opens
  // the file without ever blocking (a FIFO cannot hang the open). A folder gives
  // is_a_directory, anything else but a regular file kNotRegularFile, a missing file
  // no_such_file_or_directory.
  [[nodiscard]] std::error_code Open(std::string_view path);
  // Opens the name in its resolved folder, never following a link there.
  [[nodiscard]] std::error_code OpenIn(const ResolvedPath& where);
  // Copies everything `source` gives up to its end into a new temporary file that no name
  // reaches and only this user may read, and opens that: standard input, read twice.
  [[nodiscard]] std::error_code OpenCopyOf(NativeHandle source);

  // Passes bytes on to a copy; an error ends the copy.
  using CopyWriter = std::function<std::error_code(std::string_view bytes)>;
  // Writes what `fill` gives into a new temporary file that no name reaches and only this user
  // may read, and opens that in place of any file opened so far, keeping `info`: a list
  // decoded into UTF-8 is read from such a copy and is still known as the list.
  [[nodiscard]] std::error_code OpenCopy(const std::function<std::error_code(const CopyWriter&)>& fill,
                                         const FileInfo& info);

  struct Read {
    std::size_t bytes = 0;  // 0 at the end of the file
    std::error_code error;
  };
  // Reads up to `size` bytes at `offset`.
  [[nodiscard]] Read ReadAt(std::uint64_t offset, char* data, std::size_t size) const;
  // The file's size now; a hint only, since another program may change the file.
  [[nodiscard]] std::uint64_t Size() const;
  [[nodiscard]] const FileInfo& info() const { return info_; }

 private:
  [[nodiscard]] std::error_code Take(Handle file);

  Handle file_;
  FileInfo info_;
};

// Which file at the target a replacement may take the place of.
struct ReplacePolicy {
  enum class Kind {
    kAlways,    // whatever stands there
    kNever,     // nothing: the commit fails with kExists when a file appeared meanwhile
    kOnlyFile,  // only the file `file`, or nothing when the name has gone
  };
  Kind kind = Kind::kAlways;
  FileId file;

  static ReplacePolicy Always() { return {}; }
  static ReplacePolicy Never() { return {Kind::kNever, {}}; }
  static ReplacePolicy OnlyFile(FileId file) { return {Kind::kOnlyFile, file}; }
};

struct ReplacementOptions {
  ReplacePolicy replace;
  // The file's permission bits, whatever the umask and the old file. Without it a replaced
  // file's bits carry over when it is the user's own, and anything else gets the mode of any
  // new file (the umask).
  std::optional<std::uint32_t> mode;
  // kKeep: a link at the name is replaced by the new file, never followed.
  LastLink lastLink = LastLink::kFollow;
#ifndef _WIN32
  // A lock file of this name beside the target, held from Create to the end of Commit, so that
  // two copies of the program replace the file one after the other; waits up to two seconds.
  std::string lockName;
#endif
};

// A new file that takes the place of the file at a path only when Commit succeeds. Where the
// file system allows, it has no name until then, so that a run killed at any point before
// leaves nothing behind; elsewhere it has an unguessable name beside the target.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  // Discards the file unless it was committed.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file in the target's folder. Refuses a folder (is_a_directory), any
  // other kind of file (kNotRegularFile), a folder on a file system of devices or processes
  // (kDeviceFileSystem), an existing file the user may not write, and a file the policy does
  // not let it replace (kExists, kChanged). Nothing at the target changes yet.
  [[nodiscard]] std::error_code Create(std::string_view path, const ReplacementOptions& options);
  [[nodiscard]] std::error_code Create(ResolvedPath target, const ReplacementOptions& options);
  [[nodiscard]] std::error_code Write(std::string_view bytes);

  struct Committed {
    std::error_code error;
    bool replaced = false;  // true when the file is in place although error is set
  };
  // Syncs the file's data to the disk, gives it the target's name as the policy allows and
  // syncs the folder, so that after a power cut the target holds either the whole old file or
  // the whole new one. On failure before the file takes the name, the temporary file is removed
  // and the target is left as it was; `replaced` with an error means only the folder could not
  // be synced.
  [[nodiscard]] Committed Commit();
  // Removes the temporary file; the target is left as it was.
  void Discard();

  // True from a successful Create until Commit or Discard.
  [[nodiscard]] bool created() const { return file_.valid(); }
  // The file that stood at the target when Create looked, also after Create refused it.
  [[nodiscard]] const std::optional<FileInfo>& existing() const { return existing_; }
  // The new file, which keeps this identity when it takes the target's name.
  [[nodiscard]] const FileId& id() const { return id_; }

 private:
  [[nodiscard]] std::error_code Make(const ReplacementOptions& options);
  // Discards the file and what an earlier Create learnt.
  void Forget();
  [[nodiscard]] std::error_code PutInPlace();

  ResolvedPath target_;
  ReplacePolicy policy_;
  Handle file_;
  Handle lock_;  // POSIX: the lock file that ReplacementOptions::lockName names
  std::optional<FileInfo> existing_;
  FileId id_;
  bool unnamed_ = false;
  std::string tempName_;  // the temporary file's name when it has one
};

// Writes all of `bytes` to an open handle (standard output).
[[nodiscard]] std::error_code WriteAll(NativeHandle handle, std::string_view bytes);

// Windows: the path with every short (8.3) name in it, such as MYLIST~1.TXT, turned into the
// long name it stands for, when the file exists; the path as it is otherwise, and on every other
// system. A script's name is derived from the long name, never from a short one, which could be
// the short name of an unrelated file.
[[nodiscard]] std::string LongPathName(const std::string& path);

#ifndef _WIN32
// Creates the missing folders of `path` with `mode` (a folder that exists is left as it is).
void CreateFolders(std::string_view path, std::uint32_t mode);
#endif

}  // namespace snipforge

template <>
struct std::is_error_code_enum<snipforge::FileRefusal> : std::true_type {};
