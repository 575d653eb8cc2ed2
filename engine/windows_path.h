// How Windows reads the text of a path: separators, roots and their prefixes (\\?\, \\.\, UNC),
// names that stand for devices, and names no file can have. Text only, with no system call, so
// that it is built and tested on every system; file_system_windows.cpp makes the calls.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace snipforge::windows {

// Paths from this length on get the \\?\ form: CreateDirectoryW stops at MAX_PATH (260) less
// room for an 8.3 name, the other calls at MAX_PATH.
inline constexpr std::size_t kLongPath = 260 - 12;

// A full path split into its root (C:\ or \\server\share\ or \\?\Volume{...}\ with the last
// separator) and its names.
struct SplitPath {
  std::wstring root;
  std::deque<std::wstring> names;
};

[[nodiscard]] bool IsSeparator(wchar_t c);

// True for a name that stands for a device in every folder: CON, PRN, AUX, NUL, COM1 to COM9,
// LPT1 to LPT9 (also with ¹²³), CONIN$ and CONOUT$, in any case, with any extension.
[[nodiscard]] bool IsDeviceName(std::wstring_view name);

// True for a name that a Windows file can have: no control characters and none of <>:"|?*
// (a colon would name a stream of the file, not a file).
[[nodiscard]] bool IsPossibleName(std::wstring_view name);

// The names of a path, empty ones (from doubled or final separators) left out.
[[nodiscard]] std::deque<std::wstring> NamesOf(std::wstring_view path);

// True when the two are the same but for the case of ASCII letters.
[[nodiscard]] bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b);

// True when a path names a folder rather than a name in one: "clips\", "clips\.", "clips\..",
// "C:".
[[nodiscard]] bool EndsInFolder(std::wstring_view path);

// True for the verbatim forms \\?\ and \??\, which the system takes as they are.
[[nodiscard]] bool IsVerbatim(std::wstring_view path);

// True for the local device namespace, \\.\ or //./: never a disk's file.
[[nodiscard]] bool IsLocalDevicePath(std::wstring_view path);

// Splits a full path as GetFullPathNameW gives it. kNotRegularFile for a root that reaches
// something other than a disk's files however it is written (\\.\, \\?\ as a server's name,
// the shares of pipes and mail slots, which opening would connect to the program serving
// them); no_such_file_or_directory for a path without a root.
[[nodiscard]] std::error_code SplitFull(std::wstring_view full, SplitPath& split);

// Splits a verbatim path (\\?\C:\clips, \\?\UNC\server\share, \\?\Volume{...}\), with "." and
// ".." taken away as no file can have them. Anything else after the prefix (pipe\, GLOBALROOT\,
// CONIN$) is a device, not a volume: kNotRegularFile.
[[nodiscard]] std::error_code SplitVerbatim(std::wstring_view path, SplitPath& split);

// The root and the names after it as one path.
[[nodiscard]] std::wstring Join(const std::wstring& root, const std::vector<std::wstring>& names);
// `name` in `folder`.
[[nodiscard]] std::wstring Join(std::wstring folder, std::wstring_view name);

// The path as the system calls take it: in the \\?\ form (\\?\UNC\ for a share) when it is
// long.
[[nodiscard]] std::wstring SystemPath(const std::wstring& path);

// The folder of `path`, a path that ends in `name` (name "." for the folder itself): "C:\" and a
// volume's root keep their separator, any other folder loses it.
[[nodiscard]] std::wstring FolderOf(std::wstring path, std::wstring_view name);

// `given` with its last name replaced by the last name of `longPath`, the long path the system
// found for it; nothing when it stays as it is (the same name but for case, ".", "..", a
// stream).
[[nodiscard]] std::optional<std::wstring> WithLongName(std::wstring_view given,
                                                       std::wstring_view longPath);

}  // namespace snipforge::windows
