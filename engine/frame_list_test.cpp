#include "engine/frame_list.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/test_support.h"

namespace snipforge {
namespace {

using testing::Frames;
using testing::MakeFrameList;
using testing::OpenInput;
using testing::TempDir;
using testing::Text;
using testing::WriteFile;

struct ReadResult {
  std::string error;
  std::vector<std::int32_t> frames;
  std::string leading;
  std::string trailing;
};

// Both passes over the list in its source, as a run reads it.
Result<FrameListFile> Read(const ListSource& source) {
  const Result<ListCounts> counts = CountListLines(source);
  if (!counts) return counts.failure();
  return FillFrameList(source, *counts);
}

ListSource SourceOf(std::shared_ptr<const InputFile> file, ListFormat format = ListFormat::kPlain) {
  Result<ListSource> source = OpenListSource(std::move(file), "frames.txt", format);
  EXPECT_TRUE(source.ok());
  return *source;
}

ReadResult ReadBytes(const std::string& bytes, ListFormat format = ListFormat::kPlain) {
  TempDir dir;
  const std::string path = dir.File("frames.txt");
  WriteFile(path, bytes);
  const Result<ListSource> source = OpenListSource(OpenInput(path), "frames.txt", format);
  if (!source) return {source.error(), {}, {}, {}};
  const Result<FrameListFile> read = Read(*source);
  if (!read) return {read.error(), {}, {}, {}};
  return {{}, Frames(read->list), Text(read->leading), Text(read->trailing)};
}

TEST(ReadFrameListTest, SplitsNumberLinesFromLeadingAndTrailingText) {
  const std::string longLine(600000, 'x');
  const std::string blockLine(262143, 'y');  // its CR ends one read block, the LF starts the next
  const struct {
    std::string name;
    std::string bytes;
    std::vector<std::int32_t> frames;
    std::string leading;
    std::string trailing;
  } cases[] = {
      {"empty file", "", {}, "", ""},
      {"text only", "a\nb\n", {}, "", "a\r\nb\r\n"},
      {"text around numbers, LF", "clip\n10\n\n11\ndone\n", {10, 11}, "clip\r\n\r\n", "done\r\n"},
      {"text around numbers, CR LF", "clip\r\n10\r\n\r\n11\r\ndone\r\n", {10, 11}, "clip\r\n\r\n",
       "done\r\n"},
      {"text around numbers, CR", "clip\r10\r\r11\rdone\r", {10, 11}, "clip\r\n\r\n", "done\r\n"},
      {"sorted and each frame once", "5\n3\n5\n1", {1, 3, 5}, "", ""},
      {"frame 0", "0\n", {0}, "", ""},
      {"number forms", "  42  \n+7\n2.5\n3.5\n1e3\n\t9\t\n-0.4\n", {0, 2, 4, 7, 9, 42, 1000}, "", ""},
      {"text forms keep their bytes", "12a\n12 13\nframe 12\n\n   \n1,5\n7\n", {7},
       "12a\r\n12 13\r\nframe 12\r\n\r\n   \r\n1,5\r\n", ""},
      {"mixed line ends", "1\r\n2\n3\r4", {1, 2, 3, 4}, "", ""},
      {"CR then CR LF gives an empty line", "a\r\r\nb\r\n1", {1}, "a\r\n\r\nb\r\n", ""},
      {"last line without a break", "1\nend", {1}, "", "end\r\n"},
      {"NUL and 0xFF bytes", std::string("a\0b\xff\n1\n", 7), {1}, std::string("a\0b\xff\r\n", 6),
       ""},
      {"a very long line", longLine + "\n5\n", {5}, longLine + "\r\n", ""},
      {"CR LF split across reads", blockLine + "\r\n5\n", {5}, blockLine + "\r\n", ""},
  };
  for (const auto& c : cases) {
    const ReadResult result = ReadBytes(c.bytes);
    EXPECT_EQ(result.error, "") << c.name;
    EXPECT_EQ(result.frames, c.frames) << c.name;
    EXPECT_EQ(result.leading, c.leading) << c.name;
    EXPECT_EQ(result.trailing, c.trailing) << c.name;
  }
}

TEST(ReadFrameListTest, RefusesFramesBelowZeroOrBeyond32Bits) {
  const struct {
    std::string bytes;
    std::string message;
  } cases[] = {
      {"a\nb\n-5\n", "frame number -5 on line 3 is negative"},
      {"7\n  -0.6 \n", "frame number -0.6 on line 2 is negative"},
      {"-1e400\n", "frame number -1e400 on line 1 is negative"},
      {"1\n1e400\n", "frame number 1e400 on line 2 is too large (the largest is 2147483647)"},
      {"2147483648", "frame number 2147483648 on line 1 is too large (the largest is 2147483647)"},
      {std::string(100, '9'), "frame number " + std::string(40, '9') +
                                  "... on line 1 is too large (the largest is 2147483647)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadBytes(c.bytes).error, c.message) << c.bytes;
  }
}

TEST(ReadFrameListTest, AFileThatChangesWhileItIsReadIsReported) {
  const struct {
    std::string name;
    std::string firstPass;
    std::string secondPass;
  } cases[] = {
      {"grows", "1\n2\n", "1\n2\n3\n"},
      {"shrinks", "1\n2\n", "1\n"},
      {"loses every number", "1\n2\n", "text\n"},
      {"gains a first number", "text\n", "5\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.File("frames.txt");
    WriteFile(path, c.firstPass);
    const ListSource source = SourceOf(OpenInput(path));
    const Result<ListCounts> counts = CountListLines(source);
    ASSERT_TRUE(counts.ok());
    WriteFile(path, c.secondPass);  // the same file, rewritten in place
    const Result<FrameListFile> read = FillFrameList(source, *counts);
    ASSERT_FALSE(read.ok()) << c.name;
    EXPECT_EQ(read.error(), "frames.txt changed while it was being read; try again") << c.name;
  }
  // Text that changes after both passes, before it is copied into the script.
  const std::string longLine(3 << 20, 'x');
  const struct {
    std::string name;
    std::string read;
    std::string copied;
  } texts[] = {
      {"leading text edited", "ab\n1\nz\n", "ax\n1\nz\n"},
      {"trailing text edited", "a\n1\nzz\n", "a\n1\nzy\n"},
      {"trailing text cut short", "a\n1\nzz\n", "a\n1\nz"},
      {"a long line edited past its first piece", "1\n" + longLine + "a\n",
       "1\n" + longLine + "b\n"},
  };
  for (const auto& c : texts) {
    TempDir dir;
    const std::string path = dir.File("frames.txt");
    WriteFile(path, c.read);
    const Result<FrameListFile> read = Read(SourceOf(OpenInput(path)));
    ASSERT_TRUE(read.ok());
    WriteFile(path, c.copied);
    const std::string copied = Text(read->leading) + Text(read->trailing);
    EXPECT_NE(copied.find("failed: frames.txt changed while it was being read; try again"),
              std::string::npos)
        << c.name << ": " << copied;
  }
}

TEST(ReadFrameListTest, BothPassesAndTheTextReadTheFileThatWasOpened) {
  TempDir dir;
  const std::string path = dir.File("frames.txt");
  WriteFile(path, "clip\n7\ndone\n");
  const auto file = OpenInput(path);
#ifdef _WIN32
  // Another file put under the name after it was opened; the open list moves aside.
  std::filesystem::rename(testing::PathOf(path), testing::PathOf(dir.File("moved.txt")));
  WriteFile(path, "other\n9\n");
#else
  // Another file put under the name after it was opened: a FIFO nobody writes to.
  std::filesystem::remove(path);
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
#endif
  const Result<FrameListFile> read = Read(SourceOf(file));
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(Frames(read->list), std::vector<std::int32_t>{7});
  EXPECT_EQ(Text(read->leading), "clip\r\n");
  EXPECT_EQ(Text(read->trailing), "done\r\n");
}

TEST(LineDigestTest, ALineGivesTheSameDigestHoweverItIsCut) {
  const std::string line = "0123456789abcdefghijklmnopq";
  LineDigest whole;
  whole.Add(line);
  whole.EndLine();
  whole.Add("");
  whole.EndLine();
  for (std::size_t first = 0; first <= line.size(); ++first) {
    for (std::size_t second = first; second <= line.size(); ++second) {
      LineDigest cut;
      cut.Add(line.substr(0, first));
      cut.Add(line.substr(first, second - first));
      cut.Add(line.substr(second));
      cut.EndLine();
      cut.EndLine();
      ASSERT_EQ(cut.value(), whole.value()) << first << ", " << second;
    }
  }
  // Lines are told apart by where they end, not only by their bytes.
  LineDigest other;
  other.Add(line.substr(0, 8));
  other.EndLine();
  other.Add(line.substr(8));
  other.EndLine();
  EXPECT_NE(other.value(), whole.value());
}

TEST(FindFrameLineTest, FindsTheLineWhoseFramesHoldTheFrame) {
  TempDir dir;
  const std::string path = dir.File("frames.txt");
  WriteFile(path, "a\n1\n\nb\r\n2.0\n7\n10-20\n");
  const ListSource plain = SourceOf(OpenInput(path));
  EXPECT_EQ(FindFrameLine(plain, 2), 5);
  EXPECT_EQ(FindFrameLine(plain, 7), 6);
  EXPECT_EQ(FindFrameLine(plain, 15), 0) << "a range is text in plain";
  EXPECT_EQ(FindFrameLine(SourceOf(OpenInput(path), ListFormat::kAuto), 15), 7);
}

TEST(FrameListTest, FramesAndRangesBecomeRunsThatNeitherOverlapNorTouch) {
  const struct {
    std::vector<std::int32_t> frames;
    std::vector<FrameRun> ranges;
    std::vector<FrameRun> runs;
    std::int64_t count;
  } cases[] = {
      {{7}, {}, {{7, 7}}, 1},
      {{5, 5, 5}, {}, {{5, 5}}, 1},
      {{5, 3, 4, 1}, {}, {{1, 1}, {3, 5}}, 4},
      {{0, 2147483647, 0}, {}, {{0, 0}, {2147483647, 2147483647}}, 2},
      {{21, 9}, {{10, 20}}, {{9, 21}}, 13},
      {{15}, {{30, 40}, {10, 20}, {18, 25}}, {{10, 25}, {30, 40}}, 27},
      {{}, {{0, 2147483647}, {5, 6}}, {{0, 2147483647}}, 2147483648},
  };
  for (const auto& c : cases) {
    const FrameList list(c.frames, c.ranges);
    EXPECT_EQ(list.runs(), c.runs);
    EXPECT_EQ(list.FrameCount(), c.count);
  }
  // A long shuffled list sorts as a comparison sort does.
  std::mt19937 random(99);
  std::vector<std::int32_t> frames(70000);
  for (std::int32_t& frame : frames) frame = static_cast<std::int32_t>(random() % 100000);
  frames[1] = 2147483647;
  std::vector<std::int32_t> expected = frames;
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  EXPECT_EQ(Frames(FrameList(frames, {})), expected);
}

}  // namespace
}  // namespace snipforge
