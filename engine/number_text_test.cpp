#include "engine/number_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace snipforge {
namespace {

TEST(IsNumberTextTest, AcceptsDecimalNumbersAndNothingElse) {
  const struct {
    std::string text;
    bool number;
  } cases[] = {
      {"0", true},         {"42", true},         {"  42  ", true},     {"\t7\t", true},
      {" \t 7", true},     {"+7", true},         {"-3", true},         {"2.5", true},
      {".5", true},        {"5.", true},         {"-.5", true},        {"+5.", true},
      {"1e3", true},       {"1E+3", true},       {"2.5e-3", true},     {".5E7", true},
      {"007", true},       {"", false},          {"   ", false},       {"\t", false},
      {"+", false},        {"-", false},         {".", false},         {"+.", false},
      {"12a", false},      {"a12", false},       {"12 13", false},     {"frame 12", false},
      {"trim(1,2)", false}, {"1,5", false},      {"1.000,5", false},   {"0x10", false},
      {"1e", false},       {"1e+", false},       {"e5", false},        {".e5", false},
      {"1.2.3", false},    {"--1", false},       {"+-1", false},       {"1 e3", false},
      {"1e 3", false},     {"inf", false},       {"nan", false},       {"1d3", false},
      {"(12)", false},     {"12-", false},       {std::string("1\0", 2), false},
      {"\xff" "1", false}, {"\v1", false},   {"123456789", true},  {"1234567890", true},
      {"12345678a", false}, {"1234 678", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsNumberText(c.text), c.number) << '"' << c.text << '"';
  }
}

TEST(CouldStartNumberTextTest, AcceptsNumbersAndWhatMoreBytesCanMakeOne) {
  const struct {
    std::string text;
    bool start;
  } cases[] = {
      {"", true},        {" \t ", true},    {"+", true},        {"-.", true},      {"12", true},
      {"12  ", true},    {"5.", true},       {"1e", true},       {"1E-", true},     {"2.5e+7 ", true},
      {"12a", false},    {"12 1", false},    {"1 e", false},     {"1e ", false},    {"1e5x", false},
      {"e", false},      {"..", false},      {"+-", false},      {"x", false},      {"\v", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CouldStartNumberText(c.text), c.start) << '"' << c.text << '"';
  }
}

TEST(ToFrameNumberTest, RoundsHalvesToEvenWithinThe32BitRange) {
  const struct {
    std::string text;
    std::optional<std::int32_t> frame;
  } cases[] = {
      {"42", 42},
      {"  42 ", 42},
      {"+7", 7},
      {"-3", -3},
      {"-0", 0},
      {"2.5", 2},
      {"3.5", 4},
      {"-2.5", -2},
      {"0.5", 0},
      {"1.5", 2},
      {"2.5000001", 3},
      {"3.4999999999999999999", 3},
      {"2.50000000000000001", 3},
      {"-2.5000000000000000001", -3},
      {"2147483646.50000001", 2147483647},
      {"2147483646.5", 2147483646},
      {"25e-1", 2},
      {"35E-1", 4},
      {"0.5e1", 5},
      {".5", 0},
      {"1.", 1},
      {"-0.4", 0},
      {"-0.6", -1},
      {"1e3", 1000},
      {"1.5e1", 15},
      {"1e-400", 0},
      {"00000000000000000000000000042", 42},
      {"2147483647", 2147483647},
      {"2147483647.4", 2147483647},
      {"2147483647.5", std::nullopt},
      {"2147483648", std::nullopt},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"1e400", std::nullopt},
      {"-1e400", std::nullopt},
      {std::string(100000, '9'), std::nullopt},
      {"0." + std::string(100000, '0') + "1", 0},
      {"999999999", 999999999},  // the longest text of digits alone that is converted at once
      {"1234567890", 1234567890},
      {"12345678a", std::nullopt},
      {"12a", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToFrameNumber(c.text), c.frame) << '"' << c.text.substr(0, 30) << '"';
  }
}

TEST(ToInt16Test, RoundsIntoThe16BitRangeOrFails) {
  const struct {
    std::string text;
    std::optional<std::int16_t> value;
  } cases[] = {
      {"3", 3},         {" 3 ", 3},       {"2.5", 2},        {"-2.5", -2},
      {"0.50000000000000001", 1}, {"32766.500000000001", 32767}, {"32766.5", 32766},
      {"32767", 32767}, {"32767.4", 32767}, {"32767.5", std::nullopt}, {"32768", std::nullopt},
      {"-32768", -32768}, {"-32768.5", -32768}, {"-32769", std::nullopt}, {"1e4", 10000},
      {"1e999", std::nullopt}, {"abc", std::nullopt}, {"", std::nullopt}, {"7a", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToInt16(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(NumberValueTest, ReadsDoublesAndRejectsWhatADoubleCannotHold) {
  const struct {
    std::string text;
    std::optional<double> value;
  } cases[] = {
      {"2.5", 2.5},
      {" -0.25 ", -0.25},
      {"+1e2", 100.0},
      {"1e308", 1e308},
      {"1e999", std::nullopt},
      {"-1e999", std::nullopt},
      {"1" + std::string(400, '0'), std::nullopt},
      {"0.0000000001e-400", 0.0},
      {"1e-99999999999999999999", 0.0},
      {"1e99999999999999999999", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NumberValue(c.text), c.value) << '"' << c.text.substr(0, 30) << '"';
  }
}

}  // namespace
}  // namespace snipforge
