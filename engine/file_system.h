// Every operating system call on files the engine makes, kept in this one unit so that another
// system's version can replace it: the frame list read through one open descriptor, and the
// script put in place of the old one durably, through an unnamed or unguessable temporary file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace snipforge {

// Refusals of this unit beyond the errors the system reports itself.
enum class FileRefusal {
  kNotRegularFile = 1,  // a FIFO, a device, a socket, or a folder where a file is read
  kForeignLink,         // a link that belongs neither to the user nor to root
};
[[nodiscard]] std::error_code make_error_code(FileRefusal refusal);

// A regular file opened once for reading; every read names its offset, so two passes over it
// are two readers from offset 0 on the same open file.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens the file without ever blocking (a FIFO cannot hang the open) and checks the open file:
  // anything but a regular file is refused with kNotRegularFile, a link is followed only when it
  // belongs to the user or root, and a missing file gives no_such_file_or_directory.
  [[nodiscard]] std::error_code Open(const std::string& path);

  struct Read {
    std::size_t bytes = 0;  // 0 at the end of the file
    std::error_code error;
  };
  // Reads up to `size` bytes at `offset`.
  [[nodiscard]] Read ReadAt(std::uint64_t offset, char* data, std::size_t size) const;
  // The file's size now; a hint only, since another program may change the file.
  [[nodiscard]] std::uint64_t Size() const;

 private:
  int fd_ = -1;
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

  // Creates the temporary file in the folder of the file `path` names. A link at `path`
  // (dangling or not) is followed when it belongs to the user or root, so the file it names is
  // the one replaced and the link stays. Refuses a folder (is_a_directory), any other kind of
  // file (kNotRegularFile), and an existing file the user may not write. Nothing at `path`
  // changes yet. A replaced file's permission bits carry over; a new one gets the usual mode of
  // a new file (the umask).
  [[nodiscard]] std::error_code Create(const std::string& path);
  [[nodiscard]] std::error_code Write(std::string_view bytes);

  struct Committed {
    std::error_code error;
    bool replaced = false;  // true when the file is in place although error is set
  };
  // Syncs the file's data to the disk, gives it the target's name and syncs the folder, so that
  // after a power cut the target holds either the whole old file or the whole new one. On
  // failure before the file takes the name, the temporary file is removed and the target is left
  // as it was; `replaced` with an error means only the folder could not be synced.
  [[nodiscard]] Committed Commit();
  // Removes the temporary file; the target is left as it was.
  void Discard();

  // True from a successful Create until Commit or Discard.
  [[nodiscard]] bool created() const { return fd_ >= 0; }
  // True when the temporary file has no name (for tests).
  [[nodiscard]] bool unnamed() const { return unnamed_; }

 private:
  int folder_ = -1;
  int fd_ = -1;
  bool unnamed_ = false;
  bool existed_ = false;  // a file stood at the target when the temporary file was created
  std::string name_;      // the target's name in its folder
  std::string tempName_;  // the temporary file's name when it has one
};

// For tests: false makes every later temporary file a named one, as on file systems without
// unnamed files.
void AllowUnnamedTemporaryFiles(bool allow);

}  // namespace snipforge

template <>
struct std::is_error_code_enum<snipforge::FileRefusal> : std::true_type {};
