#include "convert/wildcards.h"

#include "engine/wide_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/test_support.h"

namespace snipforge {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFile;

TEST(ExpandWildcardsTest, ListsAreExpandedOptionValuesNever) {
  TempDir dir;
  for (const char* name : {"b.txt", "A.txt", "\xc3\xa9t\xc3\xa9.txt", "c.csv", "-x.txt"}) {
    WriteFile(dir.File(name), "1\n");
  }
  fs::create_directory(dir.path() / "folder.txt");
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());  // relative names
  const std::vector<std::string> texts = {"-x.txt", "A.txt", "b.txt", "\xc3\xa9t\xc3\xa9.txt"};
  const struct {
    std::vector<std::string> arguments;
    std::vector<std::string> expanded;
  } cases[] = {
      {{"*.txt"}, texts},
      {{"?.csv", "b.*"}, {"c.csv", "b.txt"}},
      {{dir.File("*.csv")}, {dir.File("c.csv")}},
      {{"*.none", "-"}, {"*.none", "-"}},  // matching nothing: left for the run to report
      {{"-o", "*.txt", "c.*"}, {"-o", "*.txt", "c.csv"}},
      {{"--output", "*.txt", "--append-to-bad", "?", "c.*"},
       {"--output", "*.txt", "--append-to-bad", "?", "c.csv"}},
      {{"--append-to-bad=*", "--good", "c.*"}, {"--append-to-bad=*", "--good", "c.csv"}},
      {{"-*.txt"}, {"-*.txt"}},  // an option, though no such option exists
      {{"--", "-*.txt"}, {"--", "-x.txt"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandWildcards(c.arguments), c.expanded) << c.arguments.front();
  }
  fs::current_path(previous);
}

TEST(ExpandWildcardsTest, TextConvertsBetweenUtf16AndUtf8) {
  const std::string utf8 = "\xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xac";
  EXPECT_EQ(Wide(utf8), L"\u00e9t\u00e9 \u65e5\u672c \U0001f3ac");
  EXPECT_EQ(Utf8(Wide(utf8).c_str()), utf8);
  EXPECT_EQ(Utf8(L""), "");
}

}  // namespace
}  // namespace snipforge
