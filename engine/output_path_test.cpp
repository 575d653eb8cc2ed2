#include "engine/output_path.h"

#include <gtest/gtest.h>

namespace snipforge {
namespace {

TEST(DeriveOutputPathTest, ReplacesWhatFollowsTheLastPoint) {
  const struct {
    const char* input;
    const char* output;
  } cases[] = {
      {"", ".avs"},
      {"frames", "frames.avs"},
      {"C:\\clips\\bad.txt", "C:\\clips\\bad.avs"},
      {"a.b.txt", "a.b.avs"},
      {"bad.", "bad.avs"},
      {"list.avs", "list.avs"},
      {"C:\\my.dir\\frames", "C:\\my.avs"},
      {"/home/me/clip.frames.txt", "/home/me/clip.frames.avs"},
      {".", ".avs"},
      {"..", "..avs"},
      {"/clips/\xc3\xa9t\xc3\xa9.txt", "/clips/\xc3\xa9t\xc3\xa9.avs"},
  };
  for (const auto& c : cases) EXPECT_EQ(DeriveOutputPath(c.input), c.output) << c.input;
}

}  // namespace
}  // namespace snipforge
