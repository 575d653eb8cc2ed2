// What the file calls do the same on every system, the careful save above all, written once
// over the primitives of file_system_native.h that file_system_posix.cpp and
// file_system_windows.cpp define.
#include "engine/file_system.h"

#include <array>
#include <string_view>
#include <vector>

#include "engine/file_system_native.h"

namespace snipforge {
namespace {

constexpr int kTemporaryNameTries = 100;

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

// ".snipforge-" and 32 hex digits from the system's random source, ".tmp".
std::string NewTemporaryName(std::error_code& error) {
  std::array<unsigned char, 16> random{};
  if ((error = native::RandomBytes(random.data(), random.size()))) return {};
  constexpr std::string_view kHex = "0123456789abcdef";
  std::string name = ".snipforge-";
  for (const unsigned char byte : random) {
    name += kHex[byte >> 4];
    name += kHex[byte & 15u];
  }
  name += ".tmp";
  return name;
}

// A new private temporary file filled with what `fill` gives, as OpenCopy and OpenCopyOf read.
std::error_code MakeCopy(const std::function<std::error_code(const InputFile::CopyWriter&)>& fill,
                         Handle& copy) {
  if (const std::error_code error = native::OpenPrivateTemporary(copy)) return error;
  const NativeHandle file = copy.get();
  return fill([file](std::string_view bytes) { return WriteAll(file, bytes); });
}

// What stands at `name` in the folder of `where` now, if anything; let go again at once, since
// Windows replaces no file that is open.
std::error_code InfoAt(const ResolvedPath& where, const std::string& name,
                         std::optional<FileInfo>& info) {
  native::Looked looked;
  const std::error_code error = native::LookAt(where, name, looked);
  info.reset();
  if (!error && looked.exists) info = looked.info;
  return error;
}

}  // namespace

std::error_code native::TryTemporaryNames(
    const std::function<std::error_code(const std::string& name)>& create, std::string& name) {
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    std::error_code error;
    std::string candidate = NewTemporaryName(error);
    if (error) return error;
    error = create(candidate);
    if (!error) {
      name = std::move(candidate);
      return {};
    }
    if (error != std::errc::file_exists) return error;
  }
  return std::make_error_code(std::errc::file_exists);
}

std::error_code make_error_code(FileRefusal refusal) {
  static const FileRefusalCategory category;
  return {static_cast<int>(refusal), category};
}

FileId ResolvedPath::FolderId() const {
  FileInfo info;
  return InfoOf(folder_.get(), info) ? FileId{} : info.id;
}

std::error_code InputFile::Take(Handle file) {
  FileInfo info;
  if (const std::error_code error = InfoOf(file.get(), info)) return error;
  if (info.kind == FileKind::kFolder) return std::make_error_code(std::errc::is_a_directory);
  if (info.kind != FileKind::kRegular) return FileRefusal::kNotRegularFile;
  file_ = std::move(file);
  info_ = info;
  return {};
}

std::error_code InputFile::Open(std::string_view path) {
  file_.reset();
  ResolvedPath where;
  if (const std::error_code error = where.Resolve(path)) return error;
  return OpenIn(where);
}

std::error_code InputFile::OpenCopyOf(NativeHandle source) {
  file_.reset();
  Handle copy;
  const std::error_code error = MakeCopy(
      [source](const CopyWriter& write) -> std::error_code {
        std::vector<char> block(1 << 16);
        for (;;) {
          const Read got = native::ReadSome(source, block.data(), block.size());
          if (got.error || got.bytes == 0) return got.error;  // the writer is done at the end
          if (const std::error_code failed = write({block.data(), got.bytes})) return failed;
        }
      },
      copy);
  if (error) return error;
  return Take(std::move(copy));
}

std::error_code InputFile::OpenCopy(
    const std::function<std::error_code(const CopyWriter&)>& fill, const FileInfo& info) {
  Handle copy;
  if (const std::error_code error = MakeCopy(fill, copy)) return error;
  file_ = std::move(copy);
  info_ = info;
  return {};
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

std::error_code ReplacementFile::Make(const ReplacementOptions& options) {
  const auto fail = [this](std::error_code error) {
    Discard();
    return error;
  };
  const std::string& name = target_.name();
  if (name.empty() || name == ".") return fail(std::make_error_code(std::errc::is_a_directory));
  if (const std::error_code error = native::CheckName(target_)) return fail(error);
  policy_ = options.replace;
  if (const std::error_code error = native::Lock(target_, options, lock_)) return fail(error);

  native::Looked existing;
  if (const std::error_code error = native::LookAt(target_, name, existing)) return fail(error);
  if (existing.exists) {
    const FileKind kind = existing.info.kind;
    if (kind == FileKind::kFolder) return fail(std::make_error_code(std::errc::is_a_directory));
    if (kind == FileKind::kLink && options.lastLink == LastLink::kFollow) {
      return fail(native::LinkError());  // put there after the path was resolved
    }
    if (kind == FileKind::kOther) return fail(FileRefusal::kNotRegularFile);
    if (kind == FileKind::kRegular) {
      // An existing file is replaced only when the user could write it in place.
      if (const std::error_code error = native::CheckReplaceable(target_, existing)) {
        return fail(error);
      }
    }
    existing_ = existing.info;
    if (policy_.kind == ReplacePolicy::Kind::kNever) return fail(FileRefusal::kExists);
    if (policy_.kind == ReplacePolicy::Kind::kOnlyFile && !(existing_->id == policy_.file)) {
      return fail(FileRefusal::kChanged);
    }
  }
  if (target_.OnDeviceFileSystem()) return fail(FileRefusal::kDeviceFileSystem);

  if (const std::error_code error = native::CreateReplacement(target_, options, existing, file_,
                                                              tempName_, unnamed_)) {
    return fail(error);
  }
  FileInfo made;
  if (const std::error_code error = InfoOf(file_.get(), made)) return fail(error);
  id_ = made.id;
  return {};
}

std::error_code ReplacementFile::PutInPlace() {
  const std::string& name = target_.name();
  const bool mayReplace = policy_.kind == ReplacePolicy::Kind::kAlways ||
                          (policy_.kind == ReplacePolicy::Kind::kOnlyFile && existing_);
  if (unnamed_ && !mayReplace) {
    // Nothing to replace: the file takes the name at once, so nothing is ever left behind.
    const std::error_code linked = native::Link(target_, file_.get(), name);
    return linked == std::errc::file_exists ? make_error_code(FileRefusal::kExists) : linked;
  }
  if (unnamed_) {
    if (!existing_ && !native::Link(target_, file_.get(), name)) return {};
    // A link cannot take over a name: the file gets a temporary name and is renamed over the
    // target. A run killed between these two steps is the one case that leaves a file.
    if (tempName_.empty()) {
      if (const std::error_code error = native::TryTemporaryNames(
              [this](const std::string& temp) { return native::Link(target_, file_.get(), temp); },
              tempName_)) {
        return error;
      }
    }
  }
  std::error_code error;
  if (!mayReplace || policy_.kind == ReplacePolicy::Kind::kAlways) {
    error = native::Rename(target_, file_.get(), tempName_, mayReplace);
  } else if (error = native::Exchange(target_, tempName_); !error) {
    // The two names changed places in one step; now the file that was replaced is looked at,
    // and when it is not the one the user agreed to replace, they change back.
    std::optional<FileInfo> replaced;
    if (InfoAt(target_, tempName_, replaced) || !replaced || !(replaced->id == policy_.file)) {
      static_cast<void>(native::Exchange(target_, tempName_));
      return FileRefusal::kChanged;
    }
    native::Remove(target_, tempName_);
  } else if (error == std::errc::no_such_file_or_directory) {
    policy_ = ReplacePolicy::Never();  // the old file has gone: the name is taken only when free
    return PutInPlace();
  } else if (error == std::errc::function_not_supported) {
    // No exchange here: the file is looked at just before it is replaced.
    std::optional<FileInfo> now;
    if ((error = InfoAt(target_, name, now))) return error;
    if (!now) {
      policy_ = ReplacePolicy::Never();
      return PutInPlace();
    }
    if (!(now->id == policy_.file)) return FileRefusal::kChanged;
    error = native::Rename(target_, file_.get(), tempName_, true);
  }
  if (error) return error;
  tempName_.clear();
  return {};
}

ReplacementFile::Committed ReplacementFile::Commit() {
  if (!file_.valid()) return {std::make_error_code(std::errc::bad_file_descriptor), false};
  // The data reaches the disk before the file takes the name, so a power cut never leaves the
  // name on an empty or partial file; a write error the disk reports late is seen here.
  std::error_code error = native::SyncData(file_.get());
  if (!error) error = PutInPlace();
  if (error) {
    Discard();
    return {error, false};
  }
  // The file has the name now; an error from here on says only that the name may not have
  // reached the disk.
  const Committed committed{native::SyncName(target_, file_.get()), true};
  file_.reset();
  Discard();
  return committed;
}

void ReplacementFile::Discard() {
  native::DropTemporary(target_, file_, tempName_);
  tempName_.clear();
  lock_.reset();
  unnamed_ = false;
}

}  // namespace snipforge
