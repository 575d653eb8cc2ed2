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
    std::vector<std::uint64_t> starts;  // where each line begins in the file
  } cases[] = {
      {"", {}, {}},
      {"\n", {""}, {0}},
      {"\r\n", {""}, {0}},
      {"\r", {""}, {0}},
      {"a", {"a"}, {0}},
      {"a\n", {"a"}, {0}},
      {"a\r", {"a"}, {0}},
      {"a\r\n", {"a"}, {0}},
      {"a\n\n", {"a", ""}, {0, 2}},
      {"a\r\rb", {"a", "", "b"}, {0, 2, 3}},
      {"a\n\rb", {"a", "", "b"}, {0, 2, 3}},
      {"a\r\n\r\nb", {"a", "", "b"}, {0, 3, 5}},
      {"ab\r\ncd\re\nfgh", {"ab", "cd", "e", "fgh"}, {0, 4, 7, 9}},
      {"\r\r\n\n", {"", "", ""}, {0, 1, 3}},
  };
  testing::TempDir dir;
  const std::string path = dir.File("lines.txt");
  for (const auto& c : cases) {
    testing::WriteFile(path, c.bytes);
    const auto file = testing::OpenInput(path);
    for (const std::size_t block : {1u, 2u, 3u, 4u, 1u << 18}) {
      LineReader reader(*file, 0, LineReader::kToTheEnd, block);
      std::vector<std::string> lines;
      std::vector<std::uint64_t> starts;
      while (const auto line = reader.Next()) {
        lines.emplace_back(*line);
        starts.push_back(reader.LineStart());
      }
      EXPECT_TRUE(reader.ok());
      EXPECT_EQ(lines, c.lines) << '"' << c.bytes << "\" in blocks of " << block;
      EXPECT_EQ(starts, c.starts) << '"' << c.bytes << "\" in blocks of " << block;
      EXPECT_EQ(reader.Offset(), c.bytes.size());
    }
  }
}

TEST(LineReaderTest, ReadsOnlyItsRangeOfTheFile) {
  testing::TempDir dir;
  const std::string path = dir.File("lines.txt");
  testing::WriteFile(path, "a\r\nbb\rc\nlast");
  const auto file = testing::OpenInput(path);
  const struct {
    std::uint64_t begin;
    std::uint64_t end;
    std::vector<std::string> lines;
  } cases[] = {
      {0, 3, {"a"}},
      {3, 8, {"bb", "c"}},
      {6, 20, {"c", "last"}},
      {8, 8, {}},
  };
  for (const auto& c : cases) {
    for (const std::size_t block : {1u, 5u, 1u << 18}) {
      LineReader reader(*file, c.begin, c.end, block);
      std::vector<std::string> lines;
      while (const auto line = reader.Next()) lines.emplace_back(*line);
      EXPECT_EQ(lines, c.lines) << c.begin << " to " << c.end << " in blocks of " << block;
    }
  }
}

}  // namespace
}  // namespace snipforge
