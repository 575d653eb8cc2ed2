#include "engine/message_text.h"

#include <gtest/gtest.h>

#include <string>

namespace snipforge {
namespace {

TEST(MessageTextTest, ControlsDeleteAndBytesThatAreNotUtf8AreWrittenOut) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"plain name.txt", "plain name.txt"},
      {"a\nb\tc\r", "a\\nb\\tc\\r"},
      {"\x1b[2J\x7f", "\\033[2J\\177"},
      {"\x9b" "2J", "\\2332J"},               // a raw C1 control: CSI on an 8-bit terminal
      {"\xc2\x85|\xc2\x9b", "\\302\\205|\\302\\233"},  // NEL and CSI in UTF-8
      {"\xc2\xa0\xc3\xa9t\xc3\xa9", "\xc2\xa0\xc3\xa9t\xc3\xa9"},  // U+00A0 and é stay
      {"\xe2\x82\xac \xf0\x9f\x8e\xac", "\xe2\x82\xac \xf0\x9f\x8e\xac"},  // € and a 4-byte one
      {"ann\xff.txt", "ann\\377.txt"},
      {"\xc0\xaf", "\\300\\257"},              // an overlong "/"
      {"\xed\xa0\x80", "\\355\\240\\200"},    // a surrogate
      {"\xf4\x90\x80\x80", "\\364\\220\\200\\200"},  // beyond U+10FFFF
      {"\xe2\x82", "\\342\\202"},             // a character cut short
      {"\xef\xbf\xbd", "\xef\xbf\xbd"},       // U+FFFD itself is a character
#ifndef _WIN32
      {"a\\nb", "a\\\\nb"},                   // a backslash cannot pass for an escape
#endif
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeControlCharacters(c.text), c.shown) << c.shown;
}

TEST(MessageTextTest, QuotesShowFortyBytesAtMostAndNeverCutAnEscapeOrACharacter) {
  const std::string x39(39, 'x');
  const struct {
    std::string text;
    std::string quoted;
  } cases[] = {
      {"2.5", "\"2.5\""},
      {"7\x01\x9b", "\"7\\001\\233\""},
      {std::string(40, '7'), "\"" + std::string(40, '7') + "\""},
      {std::string(41, '7'), "\"" + std::string(40, '7') + "...\""},
      {x39 + "\x01", "\"" + x39 + "...\""},              // \001 would end past byte 40
      {x39 + "\xc3\xa9", "\"" + x39 + "...\""},          // so would é
      {std::string(36, 'x') + "\x01", "\"" + std::string(36, 'x') + "\\001\""},
  };
  for (const auto& c : cases) EXPECT_EQ(QuoteForMessage(c.text), c.quoted) << c.quoted;
}

}  // namespace
}  // namespace snipforge
