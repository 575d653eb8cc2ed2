// The system's own file calls under the careful save and the private copies, which
// file_system.cpp writes once over them. Each system's unit (file_system_posix.cpp,
// file_system_windows.cpp) defines them; nothing outside those three units includes this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <system_error>

#include "engine/file_system.h"

namespace snipforge::native {

// What stands at a name in a resolved folder, a link taken as itself.
struct Looked {
  bool exists = false;
  FileInfo info;
  std::uint32_t attributes = 0;  // Windows: the file's attributes
  Handle handle;                 // Windows: the file looked at, held open; POSIX: none
};

// Looks at `name` in the folder of `where`; `exists` is false when nothing stands there.
[[nodiscard]] std::error_code LookAt(const ResolvedPath& where, const std::string& name,
                                     Looked& looked);

// The error for a link where none may be (one put at the target after its path was resolved).
[[nodiscard]] std::error_code LinkError();

// Refuses a target name that the system cannot give a file (Windows: not UTF-8, or a name with
// a character no file may have).
[[nodiscard]] std::error_code CheckName(const ResolvedPath& target);

// Takes the lock beside the target that the options name, held for as long as `lock` lives
// (POSIX; nothing on Windows).
[[nodiscard]] std::error_code Lock(const ResolvedPath& target, const ReplacementOptions& options,
                                   Handle& lock);

// Refuses the regular file at the target when the user could not write it in place (on Windows
// also: delete it; read-only, or held open by another program, or another file by now), and
// updates `existing` from the file opened to tell.
[[nodiscard]] std::error_code CheckReplaceable(const ResolvedPath& target, Looked& existing);

// A new file in the target's folder, open for reading and writing, that no other user may open
// and that is to take the target's name: unnamed where the options and the file system allow
// (`unnamed`, and `name` empty), else under a name from TryTemporaryNames that, on Windows, the
// system deletes when the file is closed. It takes what `existing`, the user's own file, passes
// on to its successor: on POSIX its permission bits, on Windows its hidden and system attributes
// and its DACL.
[[nodiscard]] std::error_code CreateReplacement(const ResolvedPath& target,
                                                const ReplacementOptions& options,
                                                const Looked& existing, Handle& file,
                                                std::string& name, bool& unnamed);

// Brings the file's data to the disk.
[[nodiscard]] std::error_code SyncData(NativeHandle file);

// Gives the open unnamed file the name `name` in the target's folder; file_exists when the
// name is taken. function_not_supported where files have no unnamed state (Windows).
[[nodiscard]] std::error_code Link(const ResolvedPath& target, NativeHandle file,
                                   const std::string& name);

// Gives the temporary file `file`, named `from` in the target's folder, the target's name,
// taking the place of whatever stands there only when `replace`; without it, kExists when the
// name is taken. On Windows the file no longer goes when it is closed once this succeeds.
[[nodiscard]] std::error_code Rename(const ResolvedPath& target, NativeHandle file,
                                     const std::string& from, bool replace);

// Swaps the target's name and `with` in one step. no_such_file_or_directory when nothing has
// the target's name; function_not_supported where the system or the file system cannot swap
// two names (Windows; a Linux file system without RENAME_EXCHANGE).
[[nodiscard]] std::error_code Exchange(const ResolvedPath& target, const std::string& with);

// Removes the name `name` from the target's folder.
void Remove(const ResolvedPath& target, const std::string& name);

// Brings the target's new name to the disk, after `file` took it.
[[nodiscard]] std::error_code SyncName(const ResolvedPath& target, NativeHandle file);

// Closes the temporary file and removes it, when it has a name, `name`.
void DropTemporary(const ResolvedPath& target, Handle& file, const std::string& name);

// A new empty file that no name reaches and only this user may read, in the user's folder
// for temporary files, open for reading and writing; it goes when it is closed.
[[nodiscard]] std::error_code OpenPrivateTemporary(Handle& file);

// Reads up to `size` bytes of a stream from where it stands; 0 at its end.
[[nodiscard]] InputFile::Read ReadSome(NativeHandle source, char* data, std::size_t size);

// Fills `data` with bytes from the system's random source.
[[nodiscard]] std::error_code RandomBytes(unsigned char* data, std::size_t size);

// Written once in file_system.cpp for both units: calls `create` with new names
// (".snipforge-", 32 random hex digits, ".tmp"), which no other user can guess and plant first,
// until it succeeds or fails other than with file_exists; 100 tries. `name` is the one that
// succeeded.
[[nodiscard]] std::error_code TryTemporaryNames(
    const std::function<std::error_code(const std::string& name)>& create, std::string& name);

}  // namespace snipforge::native
