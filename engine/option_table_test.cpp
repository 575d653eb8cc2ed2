#include "engine/option_table.h"

#include <gtest/gtest.h>

#include <string>

namespace snipforge {
namespace {

TEST(OptionTableTest, EveryValueSurvivesItsStoredText) {
  ControlValues set;
  for (const Option& option : kOptions) {
    if (option.check != nullptr) {
      set.*option.check = 2;
    } else {
      set.*option.text = std::string(option.name) + "=\\ x";
    }
  }
  ControlValues restored;
  for (const Option& option : kOptions) {
    EXPECT_TRUE(SetOptionText(restored, option, OptionText(set, option))) << option.name;
  }
  EXPECT_EQ(restored, set);
  EXPECT_EQ(OptionText(set, OptionFor(&ControlValues::chIncText)), "2");
}

TEST(OptionTableTest, OnlyZeroOneAndTwoAreCheckBoxValues) {
  const struct {
    const char* text;
    std::optional<int> value;
  } cases[] = {{"0", 0}, {"1", 1}, {"2", 2},           {"3", std::nullopt},
               {"", std::nullopt}, {"01", std::nullopt}, {" 1", std::nullopt},
               {"-1", std::nullopt}, {"x", std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(CheckBoxValue(c.text), c.value) << '"' << c.text << '"';
    ControlValues values;
    EXPECT_EQ(SetOptionText(values, OptionFor(&ControlValues::chOutputGoodFrames), c.text),
              c.value.has_value());
    EXPECT_EQ(values.chOutputGoodFrames, c.value.value_or(1)) << "the start value stays";
  }
}

}  // namespace
}  // namespace snipforge
