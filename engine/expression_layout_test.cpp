#include "engine/expression_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/bad_parts.h"
#include "engine/good_parts.h"
#include "engine/test_support.h"

namespace snipforge {
namespace {

// The lines of a script without their breaks.
std::vector<std::string> Lines(const std::string& script) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = script.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    lines.push_back(script.substr(start, end - start));
  }
  return lines;
}

// The frames 2, 4, ... : a good part of `lines` lines, a review of `lines - 1` parts.
FrameList EveryOtherFrame(std::size_t lines) {
  std::vector<std::int32_t> frames;
  for (std::size_t i = 1; i < lines; ++i) frames.push_back(static_cast<std::int32_t>(2 * i));
  return FrameList(frames, {});
}

TEST(ExpressionLayoutTest, UpTo256LinesAChainBeyondABalancedTree) {
  const struct {
    std::size_t lines;
    // Line (from 0) and its exact text, of the good part and of the review.
    std::vector<std::pair<std::size_t, std::string>> good;
    std::vector<std::pair<std::size_t, std::string>> review;
  } cases[] = {
      {256,
       {{0, "Good=Trim(0,-1)++trim(1, 1)++\\"}, {1, "trim( 3, 3)++\\"}, {255, "trim( 511,0)"}},
       {{0, "Junk=trim( 2, 2)++\\"}, {254, "trim( 510, 510)"}}},
      {257,
       {{0, "Good=((((((((Trim(0,-1)++trim(1, 1)++\\"},
        {1, "trim( 3, 3))++\\"},
        {127, "(trim( 255, 255)++\\"},
        {128, "trim( 257, 257))))))))++\\"},
        {129, "(((((((trim( 259, 259)++\\"},
        {256, "trim( 513,0))))))))"}},
       {{0, "Junk=trim( 2, 2)++\\"}, {255, "trim( 512, 512)"}}},
      {1000,
       {{0, "Good=(((((((((Trim(0,-1)++trim(1, 1)++\\"},
        {499, "trim( 999, 999)))))))))++\\"},
        {500, "(((((((((trim( 1001, 1001)++\\"},
        {999, "trim( 1999,0)))))))))"}},
       {{0, "Junk=(((((((((trim( 2, 2)++\\"}, {998, "trim( 1998, 1998)))))))))"}}},
  };
  ControlValues controls;
  controls.tAppendBeforeGood = "Good=";
  controls.tNumberofGood = "0";
  controls.tNumberOfBlack = "0";
  controls.tAppendtoBad = "";
  for (const auto& c : cases) {
    const FrameList list = EveryOtherFrame(c.lines);
    const std::vector<std::string> good = Lines(
        testing::WriteChecked<GoodPartNumbers>(list, controls, CheckGoodPart, WriteGoodParts).bytes);
    const std::vector<std::string> review = Lines(
        testing::WriteChecked<BadPartNumbers>(list, controls, CheckBadPart, WriteBadParts).bytes);
    ASSERT_EQ(good.size(), c.lines);
    ASSERT_EQ(review.size(), c.lines - 1);
    for (const auto& [line, text] : c.good) EXPECT_EQ(good[line], text) << c.lines;
    for (const auto& [line, text] : c.review) EXPECT_EQ(review[line], text) << c.lines;
    // Every line but the last continues the expression, and every parenthesis is closed.
    for (const std::vector<std::string>* lines : {&good, &review}) {
      int depth = 0;
      for (std::size_t i = 0; i < lines->size(); ++i) {
        EXPECT_EQ((*lines)[i].ends_with("++\\"), i + 1 < lines->size()) << c.lines << ": " << i;
        for (const char ch : (*lines)[i]) depth += ch == '(' ? 1 : ch == ')' ? -1 : 0;
      }
      EXPECT_EQ(depth, 0) << c.lines;
    }
  }
}

}  // namespace
}  // namespace snipforge
