// The settings store as a file, on systems without a registry.
#include "platform/value_store.h"

#include <array>

#include "engine/file_system.h"
#include "engine/output_path.h"
#include "platform/store_text.h"

namespace snipforge {
namespace {

// True when no one but the store's owner (for a user's folder: or root) may have written it.
bool Trusted(const FileInfo& info, StoreOwner owner, bool folder) {
  const bool ownerOk = owner == StoreOwner::kMachine ? info.owner == 0
                       : folder ? IsOwnOrRoot(info.owner)
                                : info.owner == CurrentUser();
  const bool kindOk = info.kind == (folder ? FileKind::kFolder : FileKind::kRegular);
  return ownerOk && kindOk && (info.mode & 022) == 0;
}

// The store's folder and name, the name not followed when it is a link, when the folder is
// trusted.
std::error_code Locate(const StoreLocation& store, ResolvedPath& where) {
  if (const std::error_code error = where.Resolve(store.path, LastLink::kKeep)) return error;
  FileInfo folder;
  if (const std::error_code error = InfoOf(where.folder(), folder)) return error;
  if (!Trusted(folder, store.owner, true)) return std::make_error_code(std::errc::permission_denied);
  return {};
}

}  // namespace

std::string StoreName(const StoreLocation& store) { return store.path; }

std::optional<StoredValues> ReadStore(const StoreLocation& store) {
  ResolvedPath where;
  if (Locate(store, where)) return std::nullopt;
  InputFile file;
  if (file.OpenIn(where) || !Trusted(file.info(), store.owner, false)) return std::nullopt;
  // A file that big is no store the program wrote; its size is checked again as it is read,
  // in case it grows.
  if (file.Size() > StoreTextParser::kLargestFile) return std::nullopt;
  StoreTextParser parser;
  std::array<char, 8192> block{};
  for (std::uint64_t offset = 0; !parser.done();) {
    const InputFile::Read read = file.ReadAt(offset, block.data(), block.size());
    if (read.error) return std::nullopt;
    if (read.bytes == 0) break;
    parser.Feed({block.data(), read.bytes});
    offset += read.bytes;
  }
  if (parser.tooLarge()) return std::nullopt;
  return parser.Finish();
}

Result<void> WriteStore(const StoreLocation& store, const StoredValues& values, Replace replace) {
  const bool machine = store.owner == StoreOwner::kMachine;
  if (machine && CurrentUser() != 0) return CannotSave(store, "only root writes it");
  if (LastNameOf(store.path).empty()) return CannotSave(store, "it names no file");
  CreateFolders(FolderOf(store.path), machine ? 0755 : 0700);
  ResolvedPath where;
  if (const std::error_code error = Locate(store, where)) {
    if (error == std::errc::permission_denied) {
      return CannotSave(store, "its folder may be written by other users");
    }
    return CannotSave(store, error.message());
  }
  ReplacementOptions options;
  options.replace = replace == Replace::kOnlyWhenMissing ? ReplacePolicy::Never()
                                                         : ReplacePolicy::Always();
  options.mode = machine ? 0644 : 0600;
  options.lastLink = LastLink::kKeep;
  options.lockName = where.name() + ".lock";
  ReplacementFile file;
  const std::error_code created = file.Create(std::move(where), options);
  if (created == FileRefusal::kExists) return {};  // kOnlyWhenMissing: there already
  if (created) return CannotSave(store, created.message());
  // The machine-wide store is written only where it is exactly root's own file, as it is read.
  if (machine && file.existing() && !Trusted(*file.existing(), store.owner, false)) {
    file.Discard();
    return CannotSave(store, "it is not root's own file of mode 0644");
  }
  if (const std::error_code error = file.Write(FormatStoreText(values))) {
    return CannotSave(store, error.message());
  }
  const ReplacementFile::Committed committed = file.Commit();
  if (committed.error && !committed.replaced) {
    return CannotSave(store, committed.error.message());
  }
  return {};
}

}  // namespace snipforge
