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

ReadResult ReadBytes(const std::string& bytes) {
  TempDir dir;
  const std::string path = dir.File("frames.txt");
  WriteFile(path, bytes);
  const Result<FrameListFile> read = ReadFrameList(OpenInput(path), "frames.txt");
  if (!read) return {read.error(), {}, {}, {}};
  EXPECT_EQ(read->list[0], 0);
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
      {"file order and repeats kept", "5\n3\n5", {5, 3, 5}, "", ""},
      {"frame 0", "0\n", {0}, "", ""},
      {"number forms", "  42  \n+7\n2.5\n3.5\n1e3\n\t9\t\n-0.4\n", {42, 7, 2, 4, 1000, 9, 0}, "", ""},
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
    const auto file = OpenInput(path);
    const Result<std::int32_t> count = CountFrameLines(*file, "frames.txt");
    ASSERT_TRUE(count.ok());
    WriteFile(path, c.secondPass);  // the same file, rewritten in place
    const Result<FrameListFile> read = FillFrameList(file, "frames.txt", *count - 1);
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
    const Result<FrameListFile> read = ReadFrameList(OpenInput(path), "frames.txt");
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
  const Result<FrameListFile> read = ReadFrameList(file, "frames.txt");
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

TEST(CountFrameLinesTest, CountsNumberLinesAndFindsAFramesLine) {
  TempDir dir;
  const std::string path = dir.File("frames.txt");
  WriteFile(path, "a\n1\n\nb\r\n2.0\n7");
  const auto file = OpenInput(path);
  EXPECT_EQ(CountFrameLines(*file, "frames.txt").value(), 4);
  EXPECT_EQ(FindFrameLine(*file, 2), 5);
  EXPECT_EQ(FindFrameLine(*file, 7), 6);
  EXPECT_EQ(FindFrameLine(*file, 3), 0);
}

TEST(NormaliseFrameListTest, SortsAndDropsRepeats) {
  const struct {
    std::vector<std::int32_t> in;
    std::vector<std::int32_t> out;
  } cases[] = {
      {{7}, {7}},
      {{5, 5, 5}, {5}},
      {{5, 3, 5, 1}, {1, 3, 5}},
      {{1, 3, 5}, {1, 3, 5}},
      {{0, 3}, {0, 3}},
      {{3, 0, 0, 3}, {0, 3}},
      {{2147483647, 0, 2147483647}, {0, 2147483647}},
  };
  for (const auto& c : cases) {
    FrameList list(static_cast<std::int32_t>(c.in.size()));
    for (std::size_t i = 0; i < c.in.size(); ++i) list[static_cast<std::int32_t>(i + 1)] = c.in[i];
    NormaliseFrameList(list);
    EXPECT_EQ(Frames(list), c.out);
    EXPECT_EQ(list[0], 0);
  }
}

TEST(SortFramesTest, LongListsSortLikeAComparisonSort) {
  std::mt19937 random(99);
  for (const std::size_t size : {300u, 70000u}) {
    FrameList list(static_cast<std::int32_t>(size));
    for (std::int32_t& slot : list.slots()) slot = static_cast<std::int32_t>(random());
    list[1] = std::numeric_limits<std::int32_t>::min();
    list[2] = std::numeric_limits<std::int32_t>::max();
    list[3] = -1;
    std::vector<std::int32_t> expected = list.slots();
    std::sort(expected.begin(), expected.end());
    SortFrames(list);
    EXPECT_EQ(list.slots(), expected) << size;
  }
  FrameList small(1000);  // values that differ only in their low 16 bits
  for (std::int32_t r = 1; r <= 1000; ++r) small[r] = (r * 7919) % 1000;
  SortFrames(small);
  EXPECT_TRUE(std::is_sorted(small.slots().begin(), small.slots().end()));
}

// The length of the run around slot r, walked out from it: a model of the cursor.
std::int32_t WalkedRunLength(const FrameList& list, std::int32_t r) {
  std::int32_t first = r;
  while (first > 1 && std::int64_t{list[first - 1]} + 1 == list[first]) --first;
  std::int32_t last = r;
  while (last < list.UpperBound() && std::int64_t{list[last]} + 1 == list[last + 1]) ++last;
  return last - first + 1;
}

TEST(RunLengthTest, EverySlotOfARunGivesItsLength) {
  const struct {
    FrameList list;
    std::vector<std::int32_t> lengths;
  } cases[] = {
      {MakeFrameList({7}), {1}},
      {MakeFrameList({3, 4, 5, 9, 10, 12}), {3, 3, 3, 2, 2, 1}},
      {MakeFrameList({1, 2}), {2, 2}},  // slot 0 holds 0 but never joins a run
      {MakeFrameList({0, 1}), {2, 2}},
      {MakeFrameList({9, 12}), {1, 1}},
      {MakeFrameList({2147483646, 2147483647}), {2, 2}},
  };
  for (const auto& c : cases) {
    RunLengthCursor cursor(c.list);
    for (std::int32_t r = 1; r <= c.list.UpperBound(); ++r) {
      EXPECT_EQ(cursor.RunLength(r), c.lengths[static_cast<std::size_t>(r - 1)]) << r;
    }
  }
}

TEST(RunLengthTest, CursorAgreesWithTheWalkWhenSlotsAreSkipped) {
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::int32_t> frames;
    std::int32_t frame = 0;
    for (int i = 0; i < 40; ++i) {
      frame += 1 + static_cast<std::int32_t>(random() % 3);
      frames.push_back(frame);
    }
    FrameList list(static_cast<std::int32_t>(frames.size()));
    for (std::size_t i = 0; i < frames.size(); ++i) list[static_cast<std::int32_t>(i + 1)] = frames[i];
    RunLengthCursor cursor(list);
    for (std::int32_t r = 1; r <= list.UpperBound(); r += 1 + static_cast<std::int32_t>(random() % 3)) {
      ASSERT_EQ(cursor.RunLength(r), WalkedRunLength(list, r)) << "round " << round << " slot " << r;
    }
  }
}

}  // namespace
}  // namespace snipforge
