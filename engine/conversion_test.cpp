#include "engine/conversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/test_support.h"

namespace snipforge {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A folder and a device every machine has, as paths and as the names messages give them.
#ifdef _WIN32
constexpr const char* kSomeFolder = "C:\\windows";
constexpr const char* kSomeFolderName = "windows";
constexpr const char* kDevice = "nul";
constexpr const char* kDeviceName = "nul";
#else
constexpr const char* kSomeFolder = "/tmp";
constexpr const char* kSomeFolderName = "tmp";
constexpr const char* kDevice = "/dev/null";
constexpr const char* kDeviceName = "null";
#endif

class RunConversionTest : public ::testing::Test {
 protected:
  // Controls that read frames.txt and write out.avs in the test's folder.
  ControlValues Controls(const std::string& input) const {
    WriteFile(dir_.File("frames.txt"), input);
    ControlValues controls;
    controls.tInput = dir_.File("frames.txt");
    controls.tOutput = dir_.File("out.avs");
    return controls;
  }
  std::string Output() const { return ReadFile(dir_.File("out.avs")); }

  TempDir dir_;
};

TEST_F(RunConversionTest, TextBlocksStandAroundTheExpressions) {
  const struct {
    std::string name;
    std::string input;
    int includeText;
    int good;
    int bad;
    std::string script;
  } cases[] = {
      {"whole file, LF", "clip\n10\n11\ndone\n", 1, 1, 0,
       "clip\r\nTrim(0,-1)++trim(1, 9)++\\\r\ntrim( 12,0)\r\ndone\r\n"},
      {"whole file, CR LF", "clip\r\n10\r\n11\r\ndone\r\n", 1, 1, 0,
       "clip\r\nTrim(0,-1)++trim(1, 9)++\\\r\ntrim( 12,0)\r\ndone\r\n"},
      {"whole file, CR", "clip\r10\r11\rdone", 1, 1, 0,
       "clip\r\nTrim(0,-1)++trim(1, 9)++\\\r\ntrim( 12,0)\r\ndone\r\n"},
      {"text only, LF", "a\n5\n\nb\n6\nc\n\n", 1, 0, 0, "a\r\n\r\nb\r\nc\r\n\r\n"},
      {"text only, CR LF", "a\r\n5\r\n\r\nb\r\n6\r\nc\r\n\r\n", 1, 0, 0, "a\r\n\r\nb\r\nc\r\n\r\n"},
      {"text only, CR", "a\r5\r\rb\r6\rc\r\r", 1, 0, 0, "a\r\n\r\nb\r\nc\r\n\r\n"},
      {"text between numbers comes first", "a\n5\nb\n6\nc", 1, 1, 0,
       "a\r\nb\r\nTrim(0,-1)++trim(1, 4)++\\\r\ntrim( 7,0)\r\nc\r\n"},
      {"text left out", "a\n5\nb", 0, 1, 0, "Trim(0,-1)++trim(1, 4)++\\\r\ntrim( 6,0)\r\n"},
      {"numbers only, text included", "5\n6\n", 1, 1, 0, "Trim(0,-1)++trim(1, 4)++\\\r\ntrim( 7,0)\r\n"},
      {"text only when neither expression is ticked", "a\n5\nb", 1, 0, 0, "a\r\nb\r\n"},
      {"list sorted and freed of repeats", "5\n3\n5\n1\n", 0, 1, 0,
       "Trim(0,-1)++\\\r\ntrim( 2, 2)++\\\r\ntrim( 4, 4)++\\\r\ntrim( 6,0)\r\n"},
  };
  for (const auto& c : cases) {
    ControlValues controls = Controls(c.input);
    controls.chIncText = c.includeText;
    controls.chOutputGoodFrames = c.good;
    controls.chOutputBadFrames = c.bad;
    WriteFile(dir_.File("out.avs"), "old script");
    const RunOutcome outcome = RunConversion(controls);
    EXPECT_TRUE(outcome.ok) << c.name << ": " << outcome.message;
    EXPECT_EQ(Output(), c.script) << c.name;
  }
}

TEST_F(RunConversionTest, BothExpressionsEachWriteTheFrameNumberLine) {
  ControlValues controls = Controls("10\n");
  controls.chOutputBadFrames = 1;
  controls.chIncludeFramenumber = 1;
  controls.tNumberofGood = "0";
  controls.tAppendBeforeGood = "global Good =";
  controls.tAppendBeforeBad = "";
  ASSERT_TRUE(RunConversion(controls).ok);
  EXPECT_EQ(Output(),
            "showframenumber\r\nglobal Good =Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11,0)\r\n"
            "showframenumber\r\ntrim( 10, 10).subtitle(\"JUNK\",x=-1,size=34)"
            "++Trim(0,- 1).blankclip\r\n");
}

TEST_F(RunConversionTest, OptionsOfADisabledExpressionAreNotRead) {
  const struct {
    std::string name;
    void (*change)(ControlValues&);
    std::string script;
  } cases[] = {
      {"offsets with the good part off",
       [](ControlValues& c) {
         c.chOutputGoodFrames = 0;
         c.chOutputBadFrames = 1;
         c.tNumberofGood = "0";
         c.tOffsetBefore = "2.5";
         c.tOffsetAfter = "x";
       },
       "Junk=trim( 10, 10).subtitle(\"JUNK\",x=-1,size=34)++Trim(0,- 1).blankclip\r\n"},
      {"black frames with the review off", [](ControlValues& c) { c.tNumberOfBlack = "1.5"; },
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11,0)\r\n"},
  };
  for (const auto& c : cases) {
    ControlValues controls = Controls("10\n");
    c.change(controls);
    const RunOutcome outcome = RunConversion(controls);
    EXPECT_TRUE(outcome.ok) << c.name << ": " << outcome.message;
    EXPECT_EQ(Output(), c.script) << c.name;
  }
}

TEST_F(RunConversionTest, NeverWritesOverItsOwnList) {
  namespace fs = std::filesystem;
  ControlValues controls = Controls("note\n10\n");
  fs::create_hard_link(testing::PathOf(controls.tInput), testing::PathOf(dir_.File("hard.avs")));
  std::vector<std::string> outputs = {controls.tInput, dir_.File("hard.avs"),
                                      dir_.File("./frames.txt")};
  std::vector<std::string> names = {"frames.txt", "hard.avs"};
#ifndef _WIN32  // wine 8 makes no symbolic links
  fs::create_symlink(controls.tInput, dir_.File("link.avs"));
  outputs.push_back(dir_.File("link.avs"));
  names.push_back("link.avs");
#endif
  for (const std::string& output : outputs) {
    controls.tOutput = output;
    const RunOutcome outcome = RunConversion(controls);
    EXPECT_EQ(outcome.message, "the script would replace the list; name another output file")
        << output;
    EXPECT_EQ(ReadFile(controls.tInput), "note\n10\n") << output;
  }
  EXPECT_EQ(dir_.Names(), names);
}

TEST_F(RunConversionTest, ReplacesAFileOnlyAsThePolicyAllows) {
  ControlValues controls = Controls("10\n");
  WriteFile(controls.tOutput, "hand-written");
  RunOptions run;
  run.replace = ReplacePolicy::Never();
  const RunOutcome refused = RunConversion(controls, run);
  EXPECT_EQ(refused.message, "out.avs exists");
  ASSERT_TRUE(refused.existing.has_value());
  EXPECT_EQ(Output(), "hand-written");
#ifdef _WIN32
  // Kept alive, so that under wine no later script gets its inode number back (wine gives no
  // birth time; on NTFS the file index's sequence number would differ).
  std::filesystem::create_hard_link(testing::PathOf(controls.tOutput),
                                    testing::PathOf(dir_.File("kept")));
#endif

  run.replace = ReplacePolicy::OnlyFile(*refused.existing);
  const RunOutcome replaced = RunConversion(controls, run);
  ASSERT_TRUE(replaced.ok) << replaced.message;
  EXPECT_EQ(Output(), "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11,0)\r\n");
  // The summary names the file written, which a later run may then replace.
  run.replace = ReplacePolicy::OnlyFile(replaced.summary.script);
  EXPECT_TRUE(RunConversion(controls, run).ok);
  run.replace = ReplacePolicy::OnlyFile(*refused.existing);
  EXPECT_EQ(RunConversion(controls, run).message,
            "another file has taken the place of out.avs since you were asked; nothing was "
            "written");
}

TEST_F(RunConversionTest, SummarySaysWhatWasWritten) {
  ControlValues controls = Controls("10\n11\n12\n40\n");
  controls.tOffsetBefore = "2";
  controls.tOffsetAfter = "3";
  controls.tMinLength = "5";
  controls.chOutputBadFrames = 1;
  controls.tAppendBeforeGood = "Good=";
  RunControl control;
  const RunOutcome outcome = RunConversion(controls, {.control = &control});
  ASSERT_TRUE(outcome.ok) << outcome.message;
  // The progress it reported ends at both passes over the list and both walks over its two runs.
  EXPECT_EQ(control.bytesRead, 2 * control.inputSize);
  EXPECT_EQ(control.entriesToWrite, 4U);
  EXPECT_EQ(control.entriesWritten, 4U);
  // Kept: 0-7, 16-37 and 44 on; cut: 8-15 and 38-43.
  EXPECT_TRUE(outcome.summary.goodPart);
  EXPECT_EQ(outcome.summary.goodTrims, 3);
  EXPECT_EQ(outcome.summary.framesCut, 14);
  EXPECT_TRUE(outcome.summary.review);
  EXPECT_EQ(outcome.summary.badParts, 2);
}

TEST_F(RunConversionTest, ACancelledRunKeepsTheOldScriptAndLeavesNothing) {
  ControlValues controls = Controls(std::string(1 << 20, '\n') + "10\n");
  WriteFile(controls.tOutput, "old script");
  RunControl control;
  control.cancel = true;
  EXPECT_EQ(RunConversion(controls, {.control = &control}).message,
            "cancelled; nothing was written");
  EXPECT_EQ(Output(), "old script");
  EXPECT_FALSE(control.committing);
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"frames.txt", "out.avs"}));
}

#ifndef _WIN32  // Windows has no modes; file_system_windows_test.cpp tests its attributes
TEST_F(RunConversionTest, AReplacedScriptKeepsItsModeANewOneGetsTheModeOfANewFile) {
  namespace fs = std::filesystem;
  WriteFile(dir_.File("fresh"), "");
  const fs::perms fresh = fs::status(dir_.File("fresh")).permissions();
  ControlValues controls = Controls("10\n");
  WriteFile(controls.tOutput, "old");
  const fs::perms shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(controls.tOutput, shared);
  ASSERT_TRUE(RunConversion(controls).ok);
  EXPECT_EQ(fs::status(controls.tOutput).permissions(), shared);
  fs::remove(controls.tOutput);
  ASSERT_TRUE(RunConversion(controls).ok);
  EXPECT_EQ(fs::status(controls.tOutput).permissions(), fresh);
}
#endif

TEST_F(RunConversionTest, AFailedRunLeavesEveryFileAsItWas) {
  const struct {
    std::string name;
    std::string input;
    void (*change)(ControlValues&);
    std::string message;
  } cases[] = {
      {"missing input", "1\n", [](ControlValues& c) { c.tInput += ".missing"; },
       "invalid filename: frames.txt.missing: no such file"},
      {"input in a missing folder", "1\n", [](ControlValues& c) { c.tInput += ".d/frames.txt"; },
       "invalid filename: frames.txt: no such file"},
      {"input is a folder", "1\n", [](ControlValues& c) { c.tInput = kSomeFolder; },
       "invalid filename: " + std::string(kSomeFolderName) + ": a folder"},
      {"input is a device", "1\n", [](ControlValues& c) { c.tInput = kDevice; },
       "invalid filename: " + std::string(kDeviceName) + ": not a regular file"},
      {"empty input path", "1\n", [](ControlValues& c) { c.tInput.clear(); },
       "invalid filename: choose a frame list first"},
      {"nothing to write", "1\n", [](ControlValues& c) { c.chOutputGoodFrames = 0; },
       "nothing to write: tick \"Output Goodframes\" or \"Output Badframes\""},
      {"greyed boxes count as not set", "1\n",
       [](ControlValues& c) { c.chOutputGoodFrames = c.chOutputBadFrames = 2; },
       "nothing to write: tick \"Output Goodframes\" or \"Output Badframes\""},
      {"the good part unnamed beside the review", "1\n",
       [](ControlValues& c) {
         c.chOutputBadFrames = 1;
         c.tAppendBeforeGood = "Good==";
       },
       "name the good part: with both expressions in one script, begin the good part's "
       "\"Append before trim\" with a name such as Good= and end the script with the name of "
       "the expression to play"},
      {"a negative cut", "1\n", [](ControlValues& c) { c.tOffsetBefore = "-3"; },
       "frames to cut before bad frames \"-3\" must be 0 or more"},
      {"a negative minimum length", "1\n2\n", [](ControlValues& c) { c.tMinLength = "-1"; },
       "minimum length of good parts \"-1\" must be 0 or more"},
      {"a cut out of range", "1\n", [](ControlValues& c) { c.tOffsetAfter = "99999999999"; },
       "frames to cut after bad frames \"99999999999\" is out of range (the largest is "
       "2147483647)"},
      {"the last frame out of range", "5\n2147483647\n", [](ControlValues&) {},
       "frame 2147483647 on line 2 is out of range: with frames to cut after bad frames \"0\" the "
       "good part would go on beyond it (the largest is 2147483647)"},
      {"a frame near the end with its cut out of range", "2147483640\n1\n",
       [](ControlValues& c) { c.tOffsetAfter = "7"; },
       "frame 2147483640 on line 1 is out of range: with frames to cut after bad frames \"7\" the "
       "good part would go on beyond it (the largest is 2147483647)"},
      {"the review's context out of range", "2147483645\n",
       [](ControlValues& c) {
         c.chOutputGoodFrames = 0;
         c.chOutputBadFrames = 1;
       },
       "frame 2147483645 on line 1 is out of range: with number of good frames 3 the review's "
       "context would end beyond it (the largest is 2147483647)"},
      {"black frames out of range", "1\n",
       [](ControlValues& c) {
         c.chOutputGoodFrames = 0;
         c.chOutputBadFrames = 1;
         c.tNumberOfBlack = "3e9";
       },
       "number of black frames \"3e9\" is out of range (the largest is 2147483647)"},
      {"no frame numbers", "just text\n", [](ControlValues&) {}, "no frame numbers in frames.txt"},
      {"empty input", "", [](ControlValues&) {}, "no frame numbers in frames.txt"},
      {"negative frame", "1\n2\n-5\n", [](ControlValues&) {}, "frame number -5 on line 3 is negative"},
      {"frame beyond 32 bits", "1e400\n", [](ControlValues&) {},
       "frame number 1e400 on line 1 is too large (the largest is 2147483647)"},
      {"good frames not a number", "1\n", [](ControlValues& c) { c.tNumberofGood = "abc"; },
       "number of good frames \"abc\" is not a number"},
      {"good frames reported before exclude", "1\n",
       [](ControlValues& c) {
         c.tNumberofGood = "x";
         c.tExcludeOffset = "y";
       },
       "number of good frames \"x\" is not a number"},
      {"exclude beyond 16 bits", "1\n", [](ControlValues& c) { c.tExcludeOffset = "40000"; },
       "bad frames in a row without offset \"40000\" is out of range (-32768 to 32767)"},
      {"minimum length not a number", "1\n2\n", [](ControlValues& c) { c.tMinLength = "7a"; },
       "minimum length of good parts \"7a\" is not a number"},
      {"black frames not a number", "1\n",
       [](ControlValues& c) {
         c.chOutputGoodFrames = 0;
         c.chOutputBadFrames = 1;
         c.tNumberOfBlack = std::string("1\0", 2);
       },
       "number of black frames \"1\\000\" is not a number"},
      {"a fraction stops the run before the output is tried", "1\n",
       [](ControlValues& c) {
         c.tOffsetAfter = "2.5";
         c.tOutput += ".d/out.avs";
       },
       "frames to cut after bad frames \"2.5\" must be a whole number"},
      {"fractional black frames", "1\n",
       [](ControlValues& c) {
         c.chOutputGoodFrames = 0;
         c.chOutputBadFrames = 1;
         c.tNumberOfBlack = "0.5";
       },
       "number of black frames \"0.5\" must be a whole number"},
      {"output in a missing folder", "1\n",
       [](ControlValues& c) { c.tOutput = c.tOutput + ".d/out.avs"; },
       "invalid filename: no folder " + dir_.File("out.avs.d")},
      {"output is a folder", "1\n", [](ControlValues& c) { c.tOutput = kSomeFolder; },
       "invalid filename: " + std::string(kSomeFolderName) + ": a folder"},
      {"output is a device", "1\n", [](ControlValues& c) { c.tOutput = kDevice; },
       "invalid filename: " + std::string(kDeviceName) + ": not a regular file"},
#ifndef _WIN32
      {"output is standard output's link", "1\n",
       [](ControlValues& c) { c.tOutput = "/dev/stdout"; },
       "invalid filename: stdout: it is on a file system of devices or processes, not a file on a "
       "disk"},
#endif
      {"empty output path", "1\n", [](ControlValues& c) { c.tOutput.clear(); },
       "invalid filename: enter the name of the output file"},
  };
  for (const auto& c : cases) {
    ControlValues controls = Controls(c.input);
    controls.chIncText = 1;
    WriteFile(controls.tOutput, "old script\r\n");
    c.change(controls);
    const RunOutcome outcome = RunConversion(controls);
    EXPECT_FALSE(outcome.ok) << c.name;
    EXPECT_EQ(outcome.message, c.message) << c.name;
    EXPECT_EQ(Output(), "old script\r\n") << c.name;
    EXPECT_EQ(ReadFile(dir_.File("frames.txt")), c.input) << c.name;
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"frames.txt", "out.avs"})) << c.name;
  }
}

TEST_F(RunConversionTest, AMissingInputCreatesNoOutput) {
  ControlValues controls = Controls("1\n");
  controls.tInput = dir_.File("nothing.txt");
  EXPECT_EQ(RunConversion(controls).message, "invalid filename: nothing.txt: no such file");
  EXPECT_FALSE(std::filesystem::exists(controls.tOutput));
}

}  // namespace
}  // namespace snipforge
