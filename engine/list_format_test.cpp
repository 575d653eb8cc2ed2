#include "engine/list_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/conversion.h"
#include "engine/test_support.h"

namespace snipforge {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A line as auto reads it: "text", "text, noted", "frames 1-3 7" or "stop: MESSAGE".
std::string Auto(const std::string& line) {
  std::vector<FrameRun> frames;
  const ListLine read = ReadListLine(line, ListFormat::kAuto, frames);
  switch (read.kind) {
    case ListLine::Kind::kText: return read.noted ? "text, noted" : "text";
    case ListLine::Kind::kStop: return "stop: " + read.subject + " on line N " + read.problem;
    case ListLine::Kind::kFrames: break;
  }
  std::string text = read.noted ? "frames, noted" : "frames";
  for (const FrameRun& run : frames) {
    text += ' ' + std::to_string(run.first);
    if (run.last != run.first) text += '-' + std::to_string(run.last);
  }
  return text;
}

TEST(ReadListLineTest, AutoReadsItemsLogsAndCommentsByItsRules) {
  const struct {
    const char* line;
    const char* read;
  } cases[] = {
      {"", "text"},
      {"  ", "text"},
      {"# 12 by eye", "text"},
      {"  // 12", "text"},
      {"; 12", "text"},
      {"fps 0", "text"},
      {"fps 23.976", "text"},
      {"120 # dropout", "frames 120"},
      {"10-20 // flash", "frames 10-20"},
      {"120#7", "text, noted"},
      {" 2.5 ", "frames 2"},
      {"1e3", "frames 1000"},
      {"10 - 20", "frames 10-20"},
      {"10,20 , 30,", "frames 10 20 30"},
      {"10,,20", "frames, noted 10"},
      {"[10]", "frames 10"},
      {"[10 20]", "frames 10-20"},
      {"[10, 20]", "frames 10 20"},
      {"[10 20 30]", "frames 10 20 30"},
      {"[10, 20, ]", "frames 10 20"},
      {"[120,", "frames 120"},
      {"678]", "frames 678"},
      {"[100 120] [300 310],", "frames 100-120 300-310"},
      {"(100, 120), (5 6)", "frames 100-120 5-6"},
      {"TRIM( 1 , 2 ) trim(4,4)", "frames 1-2 4"},
      {"trim(1 2)", "text, noted"},
      {"120 I -1", "frames 120"},
      {"120: 31.4", "frames 120"},
      {"120\t0.52", "frames 120"},
      {"120;0,52", "frames 120"},
      {"120:", "frames 120"},
      {"12 frame 34", "frames, noted 12"},
      {"120;0;52", "frames, noted 120"},
      {"frame 12", "text, noted"},
      {"a-b", "text"},
      {"40-30", "stop: the range 40-30 on line N runs backwards"},
      {"10, -5", "stop: frame number -5 on line N is negative"},
      {"10 +5", "stop: frame number +5 on line N has a sign, which a list of frames does not take"},
      {"-5", "stop: frame number -5 on line N is negative"},
      {"[1, 2147483648]",
       "stop: frame number 2147483648 on line N is too large (the largest is 2147483647)"},
      {"99999999999: 3",
       "stop: frame number 99999999999 on line N is too large (the largest is 2147483647)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Auto(c.line), c.read) << c.line;
}

TEST(ReadListLineTest, PlainNotesTheTextLinesAutoWouldReadOrStopOn) {
  const struct {
    const char* line;
    ListLine::Kind kind;
    bool noted;
  } cases[] = {
      {"120", ListLine::Kind::kFrames, false}, {"10-20", ListLine::Kind::kText, true},
      {"40-30", ListLine::Kind::kText, true},  {"frame 12", ListLine::Kind::kText, false},
      {"# 12", ListLine::Kind::kText, false},  {"-5", ListLine::Kind::kStop, false},
  };
  for (const auto& c : cases) {
    std::vector<FrameRun> frames;
    const ListLine read = ReadListLine(c.line, ListFormat::kPlain, frames);
    EXPECT_EQ(read.kind, c.kind) << c.line;
    EXPECT_EQ(read.noted, c.noted) << c.line;
    EXPECT_EQ(frames.empty(), c.kind != ListLine::Kind::kFrames) << c.line;
  }
}

// UTF-16 text with a byte-order mark, little- or big-endian, from ASCII and two-byte UTF-8.
std::string Utf16(const std::string& utf8, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    unsigned unit = static_cast<unsigned char>(utf8[i]);
    if (unit >= 0xC0) unit = ((unit & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

class ListFormatsTest : public ::testing::Test {
 protected:
  // The script, or "failed: " and the message; and the run's warning.
  std::pair<std::string, std::string> Convert(const std::string& bytes, ListFormat format,
                                              bool includeText = false) {
    WriteFile(dir_.File("list.txt"), bytes);
    ControlValues controls;
    controls.tInput = dir_.File("list.txt");
    controls.tOutput = dir_.File("list.avs");
    controls.cboListFormat = static_cast<int>(format);
    controls.chIncText = includeText ? 1 : 0;
    const RunOutcome outcome = RunConversion(controls);
    if (!outcome.ok) return {"failed: " + outcome.message, ""};
    return {ReadFile(dir_.File("list.avs")), outcome.summary.warning};
  }

  TempDir dir_;
};

constexpr const char* k120 = "Trim(0,-1)++trim(1, 119)++\\\r\ntrim( 121,0)\r\n";
constexpr const char* k120121 = "Trim(0,-1)++trim(1, 119)++\\\r\ntrim( 122,0)\r\n";
constexpr const char* k345 = "Trim(0,-1)++trim(1, 344)++\\\r\ntrim( 346,0)\r\n";
constexpr const char* k120345678 =
    "Trim(0,-1)++trim(1, 119)++\\\r\ntrim( 121, 344)++\\\r\ntrim( 346, 677)++\\\r\n"
    "trim( 679,0)\r\n";
constexpr const char* k120678 = "Trim(0,-1)++trim(1, 119)++\\\r\ntrim( 121, 677)++\\\r\ntrim( 679,0)\r\n";
constexpr const char* k100to120 = "Trim(0,-1)++trim(1, 99)++\\\r\ntrim( 121,0)\r\n";
constexpr const char* kTwoRanges = "Trim(0,-1)++trim(1, 99)++\\\r\ntrim( 121, 299)++\\\r\ntrim( 311,0)\r\n";

// "no frame numbers" in plain, with the lines it would have read in auto.
std::string PlainReadsNone(int lines, const std::string& first) {
  return "failed: no frame numbers in list.txt; " + std::to_string(lines) +
         " lines look like frames but were read as text (line 1: \"" + first +
         "\"); choose the list format Auto to read them";
}

TEST_F(ListFormatsTest, EachKindOfListGivesTheScriptOfEveryFrameItHolds) {
  const struct {
    const char* name;
    std::string bytes;
    std::string plain;
    std::string plainWarning;
    std::string automatic;
    std::string autoWarning;
  } cases[] = {
      {"plain", "120\n", k120, "", k120, ""},
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" "120\r\n121\r\n", k120121, "", k120121, ""},
      {"UTF-16 LE, CR LF", Utf16("120\r\n121\r\n", false), k120121, "", k120121, ""},
      {"UTF-16 BE, LF", Utf16("120\n345\n678", true), k120345678, "", k120345678, ""},
      {"measure logs", "120: 31.400000\n121\t0.52\n", PlainReadsNone(2, "120: 31.400000"), "",
       k120121, ""},
      {"qpfile", "120 I -1\n121 K\n", PlainReadsNone(2, "120 I -1"), "", k120121, ""},
      {"bookmarks with commas", "120, 345, 678\n",
       "failed: no frame numbers in list.txt; 1 line looks like frames but was read as text "
       "(line 1: \"120, 345, 678\"); choose the list format Auto to read it",
       "", k120345678, ""},
      {"python list on lines", "[120,\n345,\n678]\n", PlainReadsNone(3, "[120,"), "", k120345678,
       ""},
      {"bookmarks with blanks and a python list", "120 345\n[678]\n",
       PlainReadsNone(2, "120 345"), "", k120345678, ""},
      {"range list", "100-110\n111-120\n", PlainReadsNone(2, "100-110"), "", k100to120, ""},
      {"frame replacement", "[100 120] [300 310]\n[305 306]\n",
       PlainReadsNone(2, "[100 120] [300 310]"), "", kTwoRanges, ""},
      {"preview export", "(100, 120),\n(300 310),\n", PlainReadsNone(2, "(100, 120),"), "",
       kTwoRanges, ""},
      {"cut list", "Trim(100,120)\ntrim(300, 310)\n", PlainReadsNone(2, "Trim(100,120)"), "",
       kTwoRanges, ""},
      {"keyframes", "# keyframe format v1\nfps 0\n120\n345\n678\n", k120345678, "", k120345678,
       ""},
      {"by hand", "# checked by eye\n// flash\n120 # dropout\n345\n; end\n678 // last\n", k345,
       "2 lines look like frames but were read as text (line 3: \"120 # dropout\"); choose the "
       "list format Auto to read them",
       k120345678, ""},
      {"numbers in text", "120\nframe 345 looks bad\n678 and 679\n", k120,
       "1 line looks like frames but was read as text (line 3: \"678 and 679\"); choose the list "
       "format Auto to read it",
       k120678, "2 lines with numbers were read as text (line 2: \"frame 345 looks bad\")"},
  };
  for (const auto& c : cases) {
    const auto [plain, plainWarning] = Convert(c.bytes, ListFormat::kPlain);
    EXPECT_EQ(plain, c.plain) << c.name;
    EXPECT_EQ(plainWarning, c.plainWarning) << c.name;
    const auto [automatic, autoWarning] = Convert(c.bytes, ListFormat::kAuto);
    EXPECT_EQ(automatic, c.automatic) << c.name;
    EXPECT_EQ(autoWarning, c.autoWarning) << c.name;
  }
}

TEST_F(ListFormatsTest, AByteOrderMarkIsNeverTextAndUtf16TextIsCopiedAsUtf8) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"UTF-8 mark, LF", "\xEF\xBB\xBF" "clip \xC3\xA9\n120\ndone"},
      {"UTF-16 LE, CR LF", Utf16("clip \xC3\xA9\r\n120\r\ndone\r\n", false)},
      {"UTF-16 BE, LF", Utf16("clip \xC3\xA9\n120\ndone\n", true)},
  };
  for (const auto& c : cases) {
    for (const ListFormat format : {ListFormat::kPlain, ListFormat::kAuto}) {
      EXPECT_EQ(Convert(c.bytes, format, true).first,
                std::string("clip \xC3\xA9\r\n") + k120 + "done\r\n")
          << c.name;
    }
  }
}

TEST_F(ListFormatsTest, ANumberNoScriptCanTakeStopsTheRunNamingItsLine) {
  const struct {
    ListFormat format;
    std::string bytes;
    std::string message;
  } cases[] = {
      {ListFormat::kPlain, "7\n-5\n", "frame number -5 on line 2 is negative"},
      {ListFormat::kAuto, "7\n40-30\n", "the range 40-30 on line 2 runs backwards"},
      {ListFormat::kAuto, "7\n10, -5\n", "frame number -5 on line 2 is negative"},
      {ListFormat::kAuto, "5-2147483648\n",
       "frame number 2147483648 on line 1 is too large (the largest is 2147483647)"},
      {ListFormat::kPlain, Utf16("7\n", false) + std::string("\x00\xD8x\x00", 4),
       "list.txt is not valid UTF-16 on line 2, although it begins with a UTF-16 byte-order mark"},
      {ListFormat::kAuto, Utf16("7\r\n8\r", true) + std::string(1, '\0'),
       "list.txt is not valid UTF-16 on line 3, although it begins with a UTF-16 byte-order mark"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Convert(c.bytes, c.format).first, "failed: " + c.message) << c.message;
    EXPECT_EQ(dir_.Names(), std::vector<std::string>{"list.txt"}) << c.message;
  }
}

TEST_F(ListFormatsTest, ARangeCostsWhatALineCosts) {
  // Two billion frames: the good part keeps the head and the tail, the review is one part.
  WriteFile(dir_.File("list.txt"), "5-2000000000\n0-2147483646\n");
  ControlValues controls;
  controls.tInput = dir_.File("list.txt");
  controls.tOutput = dir_.File("list.avs");
  controls.cboListFormat = static_cast<int>(ListFormat::kAuto);
  controls.chOutputBadFrames = 1;
  controls.tAppendBeforeGood = "Good=";
  controls.tNumberofGood = "0";
  const RunOutcome outcome = RunConversion(controls);
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(ReadFile(dir_.File("list.avs")),
            "Good=trim( 2147483647,0)\r\nJunk=trim( 0, 2147483646).subtitle(\"JUNK\",x=-1,size=34)"
            "++Trim(0,- 1).blankclip\r\n");
  EXPECT_EQ(outcome.summary.framesCut, 2147483647);
}

}  // namespace
}  // namespace snipforge
