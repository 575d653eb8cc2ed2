#include "engine/bad_parts.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/test_support.h"

namespace snipforge {
namespace {

using testing::MakeFrameList;

struct Settings {
  std::string minLength = "0";
  std::string good = "0";
  std::string black = "0";
  std::string goodSuffix = "G";
  std::string badSuffix = "J";
  std::string prefix;
  int frameNumber = 0;
};

testing::Written Bad(const FrameList& list, const Settings& settings) {
  ControlValues controls;
  controls.tMinLength = settings.minLength;
  controls.tNumberofGood = settings.good;
  controls.tNumberOfBlack = settings.black;
  controls.tAppendToGood = settings.goodSuffix;
  controls.tAppendtoBad = settings.badSuffix;
  controls.tAppendBeforeBad = settings.prefix;
  controls.chIncludeFramenumber = settings.frameNumber;
  return testing::WriteChecked<BadPartNumbers>(list, controls, CheckBadPart, WriteBadParts);
}

const std::string kGood = "subtitle(\"GOOD\",x=-1,size=34)";
const std::string kJunk = "subtitle(\"JUNK\",x=-1,size=34)";

TEST(WriteBadPartsTest, WritesEachBadPartWithItsContext) {
  const struct {
    std::string name;
    FrameList list;
    Settings settings;
    std::string script;
  } cases[] = {
      {"two parts with context, black frames and a prefix", MakeFrameList({10, 11, 12, 40, 41}), {"5", "3", "1", kGood, kJunk, "Junk=", 1},
       "showframenumber\r\n"
       "Junk=trim( 6, 9).subtitle(\"GOOD\",x=-1,size=34)++trim( 10, 12).subtitle(\"JUNK\",x=-1,"
       "size=34)++trim( 13, 16).subtitle(\"GOOD\",x=-1,size=34)++Trim(0,- 1).blankclip++\\\r\n"
       "trim( 36, 39).subtitle(\"GOOD\",x=-1,size=34)++trim( 40, 41).subtitle(\"JUNK\",x=-1,"
       "size=34)++trim( 42, 45).subtitle(\"GOOD\",x=-1,size=34)++Trim(0,- 1).blankclip\r\n"},
      {"single bad frame 3, minimum never read", MakeFrameList({3}), {"abc", "3", "1", kGood, kJunk},
       "trim(-1, 2).subtitle(\"GOOD\",x=-1,size=34)++trim( 3, 3).subtitle(\"JUNK\",x=-1,size=34)"
       "++trim( 4, 7).subtitle(\"GOOD\",x=-1,size=34)++Trim(0,- 1).blankclip\r\n"},
      {"part at frame 1 with one good frame: context is frame 0 alone", MakeFrameList({1}),
       {"0", "1"}, "trim( 0,-1).G++trim( 1, 1).J++trim( 2, 3).G\r\n"},
      {"part that is frame 0 alone", MakeFrameList({0}), {"0", "3", "1"},
       "trim( 0,-1).J++trim( 1, 4).G++Trim(0,- 1).blankclip\r\n"},
      {"part from frame 0 on", MakeFrameList({0, 1}), {"0", "0"}, "trim( 0, 1).J\r\n"},
      {"start below the good count: no leading context", MakeFrameList({2}), {"0", "3"},
       "trim( 2, 2).J++trim( 3, 6).G\r\n"},
      {"no good frames", MakeFrameList({10}), {"0", "0", "1"}, "trim( 10, 10).J++Trim(0,- 1).blankclip\r\n"},
      {"negative good frames", MakeFrameList({10}), {"0", "-2", "1"},
       "trim( 10, 10).J++Trim(0,- 1).blankclip\r\n"},
      {"no black frames, every line but the last continued", MakeFrameList({10, 20, 30}), {"0", "0", "0"},
       "trim( 10, 10).J++\\\r\ntrim( 20, 20).J++\\\r\ntrim( 30, 30).J\r\n"},
      {"negative black frames", MakeFrameList({10}), {"0", "0", "-1"}, "trim( 10, 10).J\r\n"},
      {"black frames written as a number", MakeFrameList({10}), {"0", "0", "01"},
       "trim( 10, 10).J++Trim(0,- 1).blankclip\r\n"},
      {"black frames in exponent form", MakeFrameList({10}), {"0", "0", "1e1"},
       "trim( 10, 10).J++Trim(0,- 10).blankclip\r\n"},
      {"whole black frames with a point and a sign", MakeFrameList({10}), {"0", "0", "+2.0"},
       "trim( 10, 10).J++Trim(0,- 2).blankclip\r\n"},
      {"fractional black frames below 0 are not written", MakeFrameList({10}), {"0", "0", "-0.5"},
       "trim( 10, 10).J\r\n"},
      {"minimum 0 splits at one good frame", MakeFrameList({10, 12}), {"0"},
       "trim( 10, 10).J++\\\r\ntrim( 12, 12).J\r\n"},
      {"minimum 1 keeps one good frame inside", MakeFrameList({10, 12}), {"1"}, "trim( 10, 12).J\r\n"},
      {"fractional minimum", MakeFrameList({10, 12, 15}), {"1.5"},
       "trim( 10, 12).J++\\\r\ntrim( 15, 15).J\r\n"},
      {"negative minimum splits adjacent frames", MakeFrameList({10, 11}), {"-1"},
       "trim( 10, 10).J++\\\r\ntrim( 11, 11).J\r\n"},
      {"empty suffixes add no point", MakeFrameList({10}), {"0", "3", "0", "", ""},
       "trim( 6, 9)++trim( 10, 10)++trim( 11, 14)\r\n"},
      {"point-led and blank-led suffixes", MakeFrameList({10}), {"0", "1", "0", ".g", " b"},
       "trim( 8, 9).g++trim( 10, 10). b++trim( 11, 12).g\r\n"},
      {"context overlapping the next part is not clipped", MakeFrameList({10, 20}), {"0", "6"},
       "trim( 3, 9).G++trim( 10, 10).J++trim( 11, 17).G++\\\r\n"
       "trim( 13, 19).G++trim( 20, 20).J++trim( 21, 27).G\r\n"},
      {"empty list: only the frame-number line and the prefix", FrameList(), {"0", "0", "0", "G", "J", "P=", 1},
       "showframenumber\r\nP="},
      {"top of the 32-bit range", MakeFrameList({2147483647}), {"0", "3"},
       "trim( 2147483643, 2147483646).G++trim( 2147483647, 2147483647).J"
       "++trim( 2147483648, 2147483651).G\r\n"},
  };
  for (const auto& c : cases) {
    const testing::Written written = Bad(c.list, c.settings);
    EXPECT_EQ(written.error, "") << c.name;
    EXPECT_EQ(written.bytes, c.script) << c.name;
  }
}

TEST(WriteBadPartsTest, OptionTextFailsWhereItIsUsed) {
  const struct {
    std::string name;
    FrameList list;
    Settings settings;
    std::string error;
  } cases[] = {
      {"minimum read for two frames", MakeFrameList({10, 20}), {"abc"},
       "minimum length of good parts \"abc\" is not a number"},
      {"black frames read for the first part", MakeFrameList({10}), {"0", "0", "x"},
       "number of black frames \"x\" is not a number"},
      {"the minimum is read before the black frames", MakeFrameList({10, 20}), {"m", "0", "x"},
       "minimum length of good parts \"m\" is not a number"},
      {"black frames not read without parts", FrameList(), {"m", "0", "x"}, ""},
      {"fractional black frames", MakeFrameList({10}), {"0", "0", "2.5"},
       "number of black frames \"2.5\" must be a whole number"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Bad(c.list, c.settings).error, c.error) << c.name;
  }
}

TEST(WithLeadingPointTest, AddsAPointOnlyWhereNoneLeads) {
  EXPECT_EQ(WithLeadingPoint(""), "");
  EXPECT_EQ(WithLeadingPoint(".a"), ".a");
  EXPECT_EQ(WithLeadingPoint("a"), ".a");
  EXPECT_EQ(WithLeadingPoint(" .a"), ". .a");
}

}  // namespace
}  // namespace snipforge
