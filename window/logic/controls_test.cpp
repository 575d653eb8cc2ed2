#include "window/logic/controls.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace snipforge {
namespace {

const ControlRow& Row(std::string_view name) { return kControls[FindControl(name)]; }

TEST(ControlsTest, EveryControlThatTakesTheFocusHasANameOfItsOwn) {
  std::set<std::string> names;
  for (const std::size_t control : kFocusOrder) {
    const std::string name = AccessibleName(kControls[control]);
    EXPECT_EQ(name.find('&'), std::string::npos) << name;
    EXPECT_TRUE(names.insert(name).second) << name;
  }
  EXPECT_EQ(AccessibleName(Row("tAppendBeforeGood")),
            "Append before trim. Leave blank for none (Good frames)");
  EXPECT_EQ(AccessibleName(Row("tOffsetBefore")), "Cut frames before bad frames (Good frames)");
  EXPECT_EQ(AccessibleName(Row("tMinLength")), "Minimum length of good parts in frames");
}

TEST(ControlsTest, AKeyIsMarkedInItsWordAndGoesToTheControlItsLabelNames) {
  const struct {
    const char* control;
    const char* caption;
    char letter;
    const char* target;
  } cases[] = {
      {"Label10", "Cut             frames afte&r bad frames", 'r', "tOffsetAfter"},
      {"Label12", "Append to trim for ba&d frames", 'd', "tAppendtoBad"},
      {"Label13", "&List format", 'l', "cboListFormat"},
      {"chIncText", "Include &text from input in output", 't', "chIncText"},
      {"cOpenFolder", "Open &folder", 'f', "cOpenFolder"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CaptionWithKey(Row(c.control)), c.caption);
    EXPECT_EQ(ControlForKey(c.letter), FindControl(c.target)) << c.letter;
    EXPECT_EQ(ControlForKey(static_cast<char>(c.letter - 'a' + 'A')), FindControl(c.target));
  }
  EXPECT_EQ(CaptionWithKey(Row("tInput")), "Input") << "a box shows no key";
  EXPECT_EQ(ControlForKey('j'), kControls.size());
}

}  // namespace
}  // namespace snipforge
