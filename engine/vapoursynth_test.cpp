#include "engine/vapoursynth.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/good_parts.h"
#include "engine/test_support.h"

namespace snipforge {
namespace {

TEST(VapourSynthTest, TheResultGoesToClipOrToTheNameAssigned) {
  const struct {
    const char* appendBefore;
    const char* name;  // empty: refused
  } cases[] = {
      {"", "clip"},          {"  ", "clip"},       {"Good=", "Good"},
      {"global Good = ", "Good"}, {"_x9 =", "_x9"}, {"match=", "match"},
      {"Good", ""},          {"9a=", ""},          {"a b=", ""},
      {"Good=x", ""},        {"class=", ""},       {"global=", ""},
      {"Junk==", ""},        {"\xc3\xa9=", ""},
  };
  for (const auto& c : cases) {
    const Result<std::string> name = VapourSynthResultName(c.appendBefore);
    EXPECT_EQ(name ? *name : std::string(), c.name) << c.appendBefore;
  }
  EXPECT_EQ(VapourSynthResultName("class=").error(),
            "for VapourSynth the good part's \"Append before trim\" names the clip it makes: "
            "leave it blank for clip, or give a Python name and =, such as Good=; \"class\" is "
            "a Python keyword");
}

TEST(VapourSynthTest, TextBecomesCommentsThatPythonTakes) {
  const struct {
    std::vector<std::string> pieces;
    std::string comments;
  } cases[] = {
      {{"clip", "\r\n"}, "# clip\r\n"},
      {{"", "\r\n"}, "# \r\n"},
      {{"caf\xc3\xa9 \xe2\x82\xac\t\xf0\x9f\x8e\xac", "\r\n"},
       "# caf\xc3\xa9 \xe2\x82\xac\t\xf0\x9f\x8e\xac\r\n"},
      {{std::string("a\0b\x1b\x7f", 5), "\r\n"}, "# a\\x00b\\x1b\\x7f\r\n"},
      {{"\xff\xc3(\xc0\xaf\xed\xa0\x80\xf4\x90", "\r\n"},
       "# \\xff\\xc3(\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\r\n"},
      {{"x\xe2\x82", "\xac y", "\r\n", "z\xe2", "\r\n"}, "# x\xe2\x82\xac y\r\n# z\\xe2\r\n"},
  };
  for (const auto& c : cases) {
    const testing::Written written = testing::WriteScript([&](ScriptStream& script) {
      PythonComments comments(script);
      for (const std::string& piece : c.pieces) comments.Write(piece);
    });
    EXPECT_EQ(written.bytes, c.comments);
  }
}

TEST(VapourSynthTest, TheCutsAreTheFramesTheGoodPartCuts) {
  const struct {
    std::vector<std::int32_t> frames;
    std::vector<FrameRun> ranges;
    std::string before, after, minLength;
    int frameNumber;
    std::string lines;
  } cases[] = {
      {{10, 11, 12, 40}, {}, "2", "3", "5", 0, "clip = _snipforge_cut(clip, '8-15,38-43')\r\n"},
      {{0}, {}, "0", "0", "0", 1,
       "clip = core.text.FrameNum(clip)\r\nclip = _snipforge_cut(clip, '0')\r\n"},
      {{10, 17}, {{5, 2000000000}}, "0", "0", "5", 0,
       "clip = _snipforge_cut(clip, '5-2000000000')\r\n"},
      {{10, 16}, {}, "0", "0", "5", 0, "clip = _snipforge_cut(clip, '10-16')\r\n"},
  };
  for (const auto& c : cases) {
    ControlValues controls;
    controls.tOffsetBefore = c.before;
    controls.tOffsetAfter = c.after;
    controls.tMinLength = c.minLength;
    controls.chIncludeFramenumber = c.frameNumber;
    const testing::Written written = testing::WriteChecked<GoodPartNumbers>(
        FrameList(c.frames, c.ranges), controls, CheckGoodPart,
        [](const FrameList& list, const GoodPartNumbers& numbers, ScriptStream& script) {
          WriteVapourSynthCuts(list, numbers, "clip", script);
        });
    EXPECT_EQ(written.bytes, c.lines) << c.lines;
  }
}

}  // namespace
}  // namespace snipforge
