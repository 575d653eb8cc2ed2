// The parts of the file calls that are the same on every system; file_system_posix.cpp and
// file_system_windows.cpp hold the calls themselves.
#include "engine/file_system.h"

namespace snipforge {
namespace {

class FileRefusalCategory : public std::error_category {
 public:
  [[nodiscard]] const char* name() const noexcept override { return "snipforge file"; }
  [[nodiscard]] std::string message(int value) const override {
    switch (static_cast<FileRefusal>(value)) {
      case FileRefusal::kNotRegularFile: return "it is not a regular file";
      case FileRefusal::kForeignLink:
        return "its path goes through a link that belongs to another user";
      case FileRefusal::kExists: return "it exists";
      case FileRefusal::kChanged: return "another file has taken its place meanwhile";
      case FileRefusal::kInUse: return "another program has it open; close it there and try again";
      case FileRefusal::kReadOnly: return "it is read-only";
      case FileRefusal::kLocked: return "another copy of Snipforge is saving it";
      case FileRefusal::kCancelled: return "cancelled";
      case FileRefusal::kDeviceFileSystem:
        return "it is on a file system of devices or processes, not a file on a disk";
    }
    return "refused";
  }
};

}  // namespace

std::error_code make_error_code(FileRefusal refusal) {
  static const FileRefusalCategory category;
  return {static_cast<int>(refusal), category};
}

FileId ResolvedPath::FolderId() const {
  FileStatus status;
  return StatusOf(folder_.get(), status) ? FileId{} : status.id;
}

std::error_code InputFile::Take(Handle file) {
  FileStatus status;
  if (const std::error_code error = StatusOf(file.get(), status)) return error;
  if (status.kind == FileKind::kFolder) return std::make_error_code(std::errc::is_a_directory);
  if (status.kind != FileKind::kRegular) return FileRefusal::kNotRegularFile;
  file_ = std::move(file);
  status_ = status;
  return {};
}

std::error_code InputFile::Open(std::string_view path) {
  file_.reset();
  ResolvedPath where;
  if (const std::error_code error = where.Resolve(path)) return error;
  return OpenIn(where);
}

ReplacementFile::~ReplacementFile() { Discard(); }

std::error_code ReplacementFile::Create(std::string_view path, const ReplacementOptions& options) {
  ResolvedPath target;
  if (const std::error_code error = target.Resolve(path, options.lastLink)) {
    Forget();
    return error;
  }
  return Create(std::move(target), options);
}

std::error_code ReplacementFile::Create(ResolvedPath target, const ReplacementOptions& options) {
  Forget();
  target_ = std::move(target);
  return Make(options);
}

void ReplacementFile::Forget() {
  Discard();
  existing_.reset();
  id_ = {};
}

std::error_code ReplacementFile::Write(std::string_view bytes) {
  if (!file_.valid()) return std::make_error_code(std::errc::bad_file_descriptor);
  return WriteAll(file_.get(), bytes);
}

}  // namespace snipforge
