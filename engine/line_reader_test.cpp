#include "engine/line_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
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
    // A piece limit of 1 or 2 cuts every text line into pieces; the pieces of a line are joined,
    // or skipped by the next call to Next.
    for (const std::size_t block : {1u, 2u, 3u, 4u, 1u << 18}) {
      for (const std::size_t pieceLimit : {std::size_t{1}, std::size_t{2}, LineReader::kPieceLimit}) {
        for (const bool joinPieces : {true, false}) {
          LineReader reader(*file, 0, LineReader::kToTheEnd, block, pieceLimit);
          std::vector<std::string> lines;
          std::vector<std::uint64_t> starts;
          while (const auto line = reader.Next()) {
            lines.emplace_back(*line);
            starts.push_back(reader.LineStart());
            while (const auto piece = joinPieces ? reader.NextPiece() : std::nullopt) {
              lines.back() += *piece;
            }
          }
          const std::string where = '"' + c.bytes + "\" in blocks of " + std::to_string(block) +
                                    ", pieces from " + std::to_string(pieceLimit);
          EXPECT_TRUE(reader.ok());
          if (joinPieces) {
            EXPECT_EQ(lines, c.lines) << where;
          }
          EXPECT_EQ(starts, c.starts) << where;
          EXPECT_EQ(reader.Offset(), c.bytes.size());
        }
      }
    }
  }
}

TEST(LineReaderTest, ALongLineComesInPiecesOnceItCannotBeANumber) {
  const std::string digits(100, '7');
  const struct {
    std::string line;
    bool inPieces;
    bool textAtOnce;  // text within its first bytes: the first piece is small too
  } cases[] = {
      {std::string(100, 'x'), true, true},
      {" x" + digits, true, true},
      {digits, false, false},
      {" \t-" + digits + ".5e+" + digits + "  ", false, false},
      {digits + "e+", false, false},  // text, but it could be a number until its break
      {digits + "  " + digits, true, false},
      {digits + "x" + std::string(200, 'y'), true, false},
  };
  testing::TempDir dir;
  const std::string path = dir.File("lines.txt");
  constexpr std::size_t kLimit = 8;
  for (const auto& c : cases) {
    for (const std::string breakBytes : {"\r\n", "\n", "\r", ""}) {
      testing::WriteFile(path, c.line + breakBytes + (breakBytes.empty() ? "" : "next"));
      const auto file = testing::OpenInput(path);
      for (const std::size_t block : {1u, 3u, 8u}) {
        LineReader reader(*file, 0, LineReader::kToTheEnd, block, kLimit);
        const auto first = reader.Next();
        ASSERT_TRUE(first);
        std::string line(*first);
        std::size_t pieces = 1;
        std::size_t longestLater = 0;
        while (const auto piece = reader.NextPiece()) {
          line += *piece;
          ++pieces;
          longestLater = std::max(longestLater, piece->size());
        }
        const std::string where = '"' + c.line + "\" in blocks of " + std::to_string(block);
        EXPECT_EQ(line, c.line) << where;
        EXPECT_EQ(pieces > 1, c.inPieces) << where;
        // The buffer grows no further once a line comes in pieces.
        EXPECT_LE(longestLater, first->size()) << where;
        if (c.textAtOnce) {
          EXPECT_LE(first->size(), 2 * kLimit + block) << where;
        }
        EXPECT_EQ(reader.Next(), breakBytes.empty() ? std::nullopt
                                                    : std::optional<std::string_view>("next"))
            << where;
        EXPECT_TRUE(reader.ok());
      }
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
