#include "engine/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/test_support.h"

namespace snipforge {
namespace {

TEST(LineReaderTest, EveryBreakEndsOneLineWhereverTheBlocksFall) {
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"\n", {""}},
      {"\r\n", {""}},
      {"\r", {""}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r", {"a"}},
      {"a\r\n", {"a"}},
      {"a\n\n", {"a", ""}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"ab\r\ncd\re\nfgh", {"ab", "cd", "e", "fgh"}},
      {"\r\r\n\n", {"", "", ""}},
  };
  testing::TempDir dir;
  const std::string path = dir.File("lines.txt");
  for (const auto& c : cases) {
    testing::WriteFile(path, c.bytes);
    for (const std::size_t block : {1u, 2u, 3u, 4u, 1u << 18}) {
      LineReader reader(path, block);
      std::vector<std::string> lines;
      while (const auto line = reader.Next()) lines.emplace_back(*line);
      EXPECT_TRUE(reader.ok());
      EXPECT_EQ(lines, c.lines) << '"' << c.bytes << "\" in blocks of " << block;
    }
  }
}

TEST(LineReaderTest, AFileThatCannotBeOpenedSaysWhy) {
  testing::TempDir dir;
  LineReader reader(dir.File("missing.txt"));
  EXPECT_FALSE(reader.Next());
  EXPECT_FALSE(reader.ok());
  EXPECT_EQ(reader.error(), "No such file or directory");
}

}  // namespace
}  // namespace snipforge
