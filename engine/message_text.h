// How messages name what the user gave: a file by its last name, a text shortened and made
// printable, and a whole line made safe for a terminal.
#pragma once

#include <string>
#include <string_view>

namespace snipforge {

// A user's text shortened and made printable, for quoting inside a message.
[[nodiscard]] std::string QuoteForMessage(std::string_view text);

// The last name of a path, as messages name files ("frames.txt"); the path itself when it has
// no name after its last separator.
[[nodiscard]] std::string FileNameForMessage(std::string_view path);

// The text with every control character and backslash written C-style, as `ls -b` writes file
// names ("\n", "\033", "\\"), so that a name cannot break a line or steer a terminal. On
// Windows a backslash stays as it is: it separates the names of a path there, and no name can
// hold a control character that its escape could be mistaken for.
[[nodiscard]] std::string EscapeControlCharacters(std::string_view text);

}  // namespace snipforge
