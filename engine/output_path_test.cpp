#include "engine/output_path.h"

#include <gtest/gtest.h>

namespace snipforge {
namespace {

TEST(DeriveOutputPathTest, ReplacesTheExtensionOfTheLastNameOnly) {
  const struct {
    const char* input;
    const char* output;
  } cases[] = {
      {"", ".avs"},
      {"frames", "frames.avs"},
      {"a.b.txt", "a.b.avs"},
      {"bad.", "bad.avs"},
      {"list.avs", "list.avs"},
      {"my.clips/frames", "my.clips/frames.avs"},
      {".frames", ".frames.avs"},
      {"clips/.frames", "clips/.frames.avs"},
      {"/home/me/clip.frames.txt", "/home/me/clip.frames.avs"},
      {"/clips/\xc3\xa9t\xc3\xa9.txt", "/clips/\xc3\xa9t\xc3\xa9.avs"},
#ifdef _WIN32
      {"C:\\clips\\bad.txt", "C:\\clips\\bad.avs"},
      {"C:\\my.dir\\frames", "C:\\my.dir\\frames.avs"},
#else
      {"C:\\my.dir\\frames", "C:\\my.avs"},  // a backslash is part of a Linux name
#endif
  };
  for (const auto& c : cases) EXPECT_EQ(DeriveOutputPath(c.input), c.output) << c.input;
}

}  // namespace
}  // namespace snipforge
