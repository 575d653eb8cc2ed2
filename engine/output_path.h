// The script path that goes with a frame list, and the parts of a path that messages name: the
// window proposes the script's path in Output as Input is typed, and the command-line converter
// writes there.
#pragma once

#include <string>
#include <string_view>

namespace snipforge {

// True for a character that separates the names of a path: "/", and on Windows also "\".
[[nodiscard]] bool IsPathSeparator(char c);

// The list's path with the extension of its last name replaced by `extension` ("avs"):
// whatever follows the last point of the last name, when that point is not the name's first
// character. A name without an extension gets ".avs" ("my.clips/frames" gives
// "my.clips/frames.avs", ".frames" gives ".frames.avs").
[[nodiscard]] std::string DeriveOutputPath(std::string_view input,
                                           std::string_view extension = "avs");

// The last name of a path: what follows its last separator ("" for "clips/").
[[nodiscard]] std::string_view LastNameOf(std::string_view path);
// The folder part of a path: everything before its last name ("" for a bare name).
[[nodiscard]] std::string_view FolderOf(std::string_view path);
// The folder part as a folder is named by itself: without trailing separators, except a root
// that is nothing else ("/").
[[nodiscard]] std::string_view FolderNameOf(std::string_view path);

}  // namespace snipforge
