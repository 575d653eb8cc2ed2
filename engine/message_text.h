// How messages name what the user gave: a file by its last name, a text shortened and made
// printable, and a whole line made safe for a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace snipforge {

// A user's text shortened to at most 40 bytes as it is shown (never in the middle of a
// character or an escape) and written out as EscapeControlCharacters writes it, in quotes.
[[nodiscard]] std::string QuoteForMessage(std::string_view text);

// The last name of a path, as messages name files ("frames.txt"); the path itself when it has
// no name after its last separator.
[[nodiscard]] std::string FileNameForMessage(std::string_view path);

// The text with every control character and backslash written C-style, as `ls -b` writes file
// names ("\n", "\033", "\\"), so that a name cannot break a line or steer a terminal: C0
// controls, DEL, the C1 controls 0x80 to 0x9F (as raw bytes or in UTF-8, byte by byte) and every
// byte that is not part of a valid UTF-8 character become \NNN. On Windows a backslash stays as
// it is: it separates the names of a path there, and no name can hold a control character that
// its escape could be mistaken for.
[[nodiscard]] std::string EscapeControlCharacters(std::string_view text);

// The length of the valid UTF-8 character (1 to 4 bytes) that the text begins with; 0 when its
// first byte begins none (a stray continuation byte, an overlong form, a surrogate, a code point
// beyond U+10FFFF, a character cut short) or the text is empty.
[[nodiscard]] std::size_t Utf8CharacterLength(std::string_view text);

}  // namespace snipforge
