// Inputs and option texts a user's files and a damaged settings store can hold: each gives the
// exact script or a clear message, and a failure leaves the old script as it was.
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

struct Hostile {
  std::string name;
  std::string input;
  ControlValues controls;  // tInput and tOutput are set by the test
  bool ok;
  std::string scriptOrMessage;
};

ControlValues WithText() {
  ControlValues controls;
  controls.chIncText = 1;
  return controls;
}

ControlValues WithOption(std::string ControlValues::*option, std::string text) {
  ControlValues controls;
  controls.chOutputBadFrames = 1;
  controls.tAppendBeforeGood = "Good=";
  controls.*option = std::move(text);
  return controls;
}

TEST(HostileInputTest, GivesTheExactScriptOrAClearMessage) {
  const std::string tenMegabytes(10 << 20, 'x');
  // Lines beyond the reader's limit of 1 MiB: text from their first bytes, and one that could be
  // a number for 1.5 MiB.
  const std::string longText = "at " + std::string(3 << 20, 'y');
  const std::string digitsThenText = std::string(3 << 19, '7') + "x" + std::string(2 << 20, 'y');
  const std::string head = "Trim(0,-1)++trim(1, 4)++\\\r\ntrim( 6,0)\r\n";
  const Hostile cases[] = {
      {"NUL and 0xFF bytes pass through", std::string("a\0\xff\n5\n\xff\0", 8), WithText(), true,
       std::string("a\0\xff\r\n", 5) + head + std::string("\xff\0\r\n", 4)},
      {"a line of 10 MB passes through", tenMegabytes + "\n5", WithText(), true,
       tenMegabytes + "\r\n" + head},
      {"long text lines after the frames pass through in pieces",
       "5\n" + longText + "\r\n" + digitsThenText + "\r", WithText(), true,
       head + longText + "\r\n" + digitsThenText + "\r\n"},
      {"a number of 100,000 digits is too large", std::string(100000, '7') + "\n", {}, false,
       "frame number " + std::string(40, '7') +
           "... on line 1 is too large (the largest is 2147483647)"},
      {"100,000 leading zeros still make frame 5", std::string(100000, '0') + "5\n", {}, true, head},
      {"a fraction of 100,000 digits rounds", "4." + std::string(100000, '9') + "\n", {}, true, head},
      {"lines of blanks and tabs are text", " \t \n\t\n5\n   ", WithText(), true,
       " \t \r\n\t\r\n" + head + "   \r\n"},
      {"CR without LF ends lines", "a\r5\rb", WithText(), true, "a\r\n" + head + "b\r\n"},
      {"a lone CR at the end", "5\r", {}, true, head},
      {"blanks only: no frame numbers", "   \n\t\n", {}, false, "no frame numbers in frames.txt"},
      {"NUL inside a number line makes it text", std::string("5\0\n", 3), {}, false,
       "no frame numbers in frames.txt"},
      {"option with a NUL byte", "5\n",
       WithOption(&ControlValues::tNumberOfBlack, std::string("1\0", 2)), false,
       "number of black frames \"1\\000\" is not a number"},
      {"a minimum length beyond a double is not read for one frame", "5\n",
       WithOption(&ControlValues::tMinLength, "1e99999"),
       true, "Good=" + head + "Junk=trim( 1, 4).subtitle(\"GOOD\",x=-1,size=34)++trim( 5, 5).subtitle("
                    "\"JUNK\",x=-1,size=34)++trim( 6, 9).subtitle(\"GOOD\",x=-1,size=34)++"
                    "Trim(0,- 1).blankclip\r\n"},
      {"offset beyond a double", "5\n", WithOption(&ControlValues::tOffsetBefore, "1e400"), false,
       "frames to cut before bad frames \"1e400\" is out of range"},
      {"exclude beyond a double", "5\n", WithOption(&ControlValues::tExcludeOffset, "-1e400"),
       false, "bad frames in a row without offset \"-1e400\" is out of range (-32768 to 32767)"},
      {"offset too small for a double reads as 0", "5\n",
       WithOption(&ControlValues::tOffsetAfter, "1e-400"), true,
       "Good=" + head + "Junk=trim( 1, 4).subtitle(\"GOOD\",x=-1,size=34)++trim( 5, 5).subtitle("
              "\"JUNK\",x=-1,size=34)++trim( 6, 9).subtitle(\"GOOD\",x=-1,size=34)++"
              "Trim(0,- 1).blankclip\r\n"},
      {"good frames beyond 16 bits", "5\n", WithOption(&ControlValues::tNumberofGood, "1e10"),
       false, "number of good frames \"1e10\" is out of range (-32768 to 32767)"},
      {"a very long option text is shortened in the message", "5\n",
       WithOption(&ControlValues::tOffsetBefore, std::string(5000, 'z')), false,
       "frames to cut before bad frames \"" + std::string(40, 'z') + "...\" is not a number"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ControlValues controls = c.controls;
    controls.tInput = dir.File("frames.txt");
    controls.tOutput = dir.File("out.avs");
    WriteFile(controls.tInput, c.input);
    WriteFile(controls.tOutput, "old script");
    const RunOutcome outcome = RunConversion(controls);
    EXPECT_EQ(outcome.ok, c.ok) << c.name << ": " << outcome.message;
    if (c.ok) {
      EXPECT_EQ(ReadFile(controls.tOutput), c.scriptOrMessage) << c.name;
    } else {
      EXPECT_EQ(outcome.message, c.scriptOrMessage) << c.name;
      EXPECT_EQ(ReadFile(controls.tOutput), "old script") << c.name;
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"frames.txt", "out.avs"})) << c.name;
  }
}

}  // namespace
}  // namespace snipforge
