#include "engine/good_parts.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/test_support.h"

namespace snipforge {
namespace {

using testing::MakeFrameList;

struct Settings {
  std::string before = "0";
  std::string after = "0";
  std::string minLength = "0";
  std::string exclude = "0";
  std::string prefix;
  int frameNumber = 0;
  int exactEnd = 0;
};

testing::Written Good(const FrameList& list, const Settings& settings) {
  ControlValues controls;
  controls.tOffsetBefore = settings.before;
  controls.tOffsetAfter = settings.after;
  controls.tMinLength = settings.minLength;
  controls.tExcludeOffset = settings.exclude;
  controls.tAppendBeforeGood = settings.prefix;
  controls.chIncludeFramenumber = settings.frameNumber;
  controls.chExactEnd = settings.exactEnd;
  return testing::WriteChecked<GoodPartNumbers>(list, controls, CheckGoodPart, WriteGoodParts);
}

TEST(WriteGoodPartsTest, WritesTheGoodStretchesBetweenTheCuts) {
  const struct {
    std::string name;
    FrameList list;
    Settings settings;
    std::string script;
  } cases[] = {
      {"offsets 2 and 3, minimum 5", MakeFrameList({10, 11, 12, 40}), {"2", "3", "5"},
       "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 16, 37)++\\\r\ntrim( 44,0)\r\n"},
      {"with frame numbers and a prefix", MakeFrameList({10, 11, 12, 40}),
       {"2", "3", "5", "0", "Good=", 1},
       "showframenumber\r\nGood=Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 16, 37)++\\\r\n"
       "trim( 44,0)\r\n"},
      {"greyed frame-number box writes no line", MakeFrameList({10, 11, 12, 40}),
       {"2", "3", "5", "0", "", 2},
       "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 16, 37)++\\\r\ntrim( 44,0)\r\n"},
      {"a run of three between single frames, exclude 0", MakeFrameList({10, 30, 31, 32, 50}), {"2", "3", "5", "0"},
       "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 14, 27)++\\\r\ntrim( 36, 47)++\\\r\ntrim( 54,0)\r\n"},
      {"single frames lose their offsets with exclude 1", MakeFrameList({10, 30, 31, 32, 50}), {"2", "3", "5", "1"},
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11, 27)++\\\r\ntrim( 36, 49)++\\\r\ntrim( 51,0)\r\n"},
      {"the run of three loses them too with exclude 3", MakeFrameList({10, 30, 31, 32, 50}), {"2", "3", "5", "3"},
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11, 29)++\\\r\ntrim( 33, 49)++\\\r\ntrim( 51,0)\r\n"},
      {"a negative exclude acts as 0", MakeFrameList({10, 30, 31, 32, 50}),
       {"2", "3", "5", "-3"},
       "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 14, 27)++\\\r\ntrim( 36, 47)++\\\r\ntrim( 54,0)\r\n"},
      {"exclude rounds half to even", MakeFrameList({10, 30, 31, 32, 50}), {"2", "3", "5", "2.5"},
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11, 27)++\\\r\ntrim( 36, 49)++\\\r\ntrim( 51,0)\r\n"},
      {"first bad frame 0: no head", MakeFrameList({0, 20}), {},
       "trim( 1, 19)++\\\r\ntrim( 21,0)\r\n"},
      {"first bad frame 1: short head", MakeFrameList({1}), {}, "Trim(0,-1)++\\\r\ntrim( 2,0)\r\n"},
      {"first bad frame 1 with an offset: no head", MakeFrameList({1}), {"1"}, "trim( 2,0)\r\n"},
      {"first bad frame 2: head of frame 1", MakeFrameList({2}), {},
       "Trim(0,-1)++trim(1, 1)++\\\r\ntrim( 3,0)\r\n"},
      {"adjacent bad frames: nothing between", MakeFrameList({5, 6, 7}), {},
       "Trim(0,-1)++trim(1, 4)++\\\r\ntrim( 8,0)\r\n"},
      {"gap of exactly the minimum is dropped", MakeFrameList({10, 16}), {"0", "0", "5"},
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 17,0)\r\n"},
      {"gap of one more is written", MakeFrameList({10, 17}), {"0", "0", "5"},
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11, 16)++\\\r\ntrim( 18,0)\r\n"},
      {"stretch of 5 frames after the offsets is dropped", MakeFrameList({10, 11, 12, 23, 40}),
       {"2", "3", "5"}, "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 27, 37)++\\\r\ntrim( 44,0)\r\n"},
      {"stretch of 6 frames after the offsets is written", MakeFrameList({10, 11, 12, 24, 40}),
       {"2", "3", "5"},
       "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 16, 21)++\\\r\ntrim( 28, 37)++\\\r\ntrim( 44,0)\r\n"},
      {"a large minimum keeps head and tail", MakeFrameList({2, 50}), {"0", "0", "100"},
       "Trim(0,-1)++trim(1, 1)++\\\r\ntrim( 51,0)\r\n"},
      {"one bad frame with offsets", MakeFrameList({100}), {"2", "3"},
       "Trim(0,-1)++trim(1, 97)++\\\r\ntrim( 104,0)\r\n"},
      {"one bad frame is a short run", MakeFrameList({100}), {"2", "3", "0", "1"},
       "Trim(0,-1)++trim(1, 99)++\\\r\ntrim( 101,0)\r\n"},
      {"run of exactly exclude frames loses its offsets", MakeFrameList({10, 11, 30}),
       {"2", "3", "0", "2"}, "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 12, 29)++\\\r\ntrim( 31,0)\r\n"},
      {"run of exclude + 1 frames keeps them", MakeFrameList({10, 11, 12, 30}),
       {"2", "3", "0", "2"}, "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 16, 29)++\\\r\ntrim( 31,0)\r\n"},
      {"whole offsets in other forms", MakeFrameList({10}), {"2e0", " +3.0 "},
       "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 14,0)\r\n"},
      {"a fractional minimum is only compared", MakeFrameList({10, 16, 23}), {"0", "0", "5.5"},
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 17, 22)++\\\r\ntrim( 24,0)\r\n"},
      {"offsets of short runs only are never read", MakeFrameList({10, 20}), {"2.5", "x", "0", "1"},
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11, 19)++\\\r\ntrim( 21,0)\r\n"},
      {"lone frame 0 with a prefix", MakeFrameList({0}), {"0", "0", "0", "0", "Clip="},
       "Clip=trim( 1,0)\r\n"},
      {"lone frame 0", MakeFrameList({0}), {}, "trim( 1,0)\r\n"},
      {"top of the 32-bit range", MakeFrameList({2147483645, 2147483646}), {},
       "Trim(0,-1)++trim(1, 2147483644)++\\\r\ntrim( 2147483647,0)\r\n"},
      {"cut before a long run reaches past a short run to the head", MakeFrameList({7, 11, 12, 17}),
       {"5", "5", "0", "1"}, "Trim(0,-1)++trim(1, 5)++\\\r\ntrim( 18,0)\r\n"},
      {"cut after a long run reaches past a short run to the tail",
       MakeFrameList({10, 11, 12, 14}), {"0", "5", "0", "1"},
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 18,0)\r\n"},
      {"the exact end asks the clip's length", MakeFrameList({10, 11, 40}),
       {"0", "2", "0", "0", "Good=", 1, 1},
       "showframenumber\r\nGood=Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 14, 39)++\\\r\n"
       "(FrameCount() > 43 ? trim( 43,0) : BlankClip(last, length=0))\r\n"},
      {"the exact end alone", MakeFrameList({0}), {"0", "0", "0", "0", "", 0, 1},
       "(FrameCount() > 1 ? trim( 1,0) : BlankClip(last, length=0))\r\n"},
      {"cut before a long run reaches past a short run into a middle line",
       MakeFrameList({3, 20, 24, 25, 26, 40}), {"5", "5", "0", "1"},
       "Trim(0,-1)++trim(1, 2)++\\\r\ntrim( 4, 18)++\\\r\ntrim( 32, 39)++\\\r\n"
       "trim( 41,0)\r\n"},
  };
  for (const auto& c : cases) {
    const testing::Written written = Good(c.list, c.settings);
    EXPECT_EQ(written.error, "") << c.name;
    EXPECT_EQ(written.bytes, c.script) << c.name;
  }
}

TEST(WriteGoodPartsTest, OptionTextFailsOnlyWhereAFormulaUsesIt) {
  const struct {
    std::string name;
    FrameList list;
    Settings settings;
    std::string error;
  } cases[] = {
      {"minimum not read for one frame", MakeFrameList({10}), {"0", "0", "abc"}, ""},
      {"minimum read for two frames", MakeFrameList({10, 20}), {"0", "0", "abc"},
       "minimum length of good parts \"abc\" is not a number"},
      {"offset before read by the head", MakeFrameList({10}), {"7a"},
       "frames to cut before bad frames \"7a\" is not a number"},
      {"offset after read by the final line", MakeFrameList({10}), {"0", ""},
       "frames to cut after bad frames \"\" is not a number"},
      {"offsets never read when every run is short", MakeFrameList({10, 20}),
       {"x", "y", "0", "1"}, ""},
      {"offset before read at the first long run", MakeFrameList({10, 20, 21}),
       {"x", "0", "0", "1"}, "frames to cut before bad frames \"x\" is not a number"},
      {"offset before is read before the minimum", MakeFrameList({10, 20}), {"b", "a", "m"},
       "frames to cut before bad frames \"b\" is not a number"},
      {"the minimum is read before the offset after", MakeFrameList({10, 20}), {"0", "a", "m"},
       "minimum length of good parts \"m\" is not a number"},
      {"offset after read by the first middle line", MakeFrameList({10, 20}), {"0", "a", "0"},
       "frames to cut after bad frames \"a\" is not a number"},
      {"huge exponents are out of range", MakeFrameList({10}), {"1e999"},
       "frames to cut before bad frames \"1e999\" is out of range"},
      {"fractional offset before", MakeFrameList({10}), {"2.5"},
       "frames to cut before bad frames \"2.5\" must be a whole number"},
      {"fractional offset after", MakeFrameList({10}), {"0", "0.25"},
       "frames to cut after bad frames \"0.25\" must be a whole number"},
      {"negative offset", MakeFrameList({10}), {"-1"},
       "frames to cut before bad frames \"-1\" must be 0 or more"},
      {"negative minimum compared", MakeFrameList({10, 20}), {"0", "0", "-1"},
       "minimum length of good parts \"-1\" must be 0 or more"},
      {"an offset no trim can hold", MakeFrameList({10}), {"0", "99999999999"},
       "frames to cut after bad frames \"99999999999\" is out of range (the largest is "
       "2147483647)"},
      {"fractional offset of a long run", MakeFrameList({10, 20, 21}), {"0", "1e-1", "0", "1"},
       "frames to cut after bad frames \"1e-1\" must be a whole number"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Good(c.list, c.settings).error, c.error) << c.name;
  }
}

}  // namespace
}  // namespace snipforge
