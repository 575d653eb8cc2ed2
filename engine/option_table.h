// The sixteen option controls of the window, one row each: the control's name (also the name its
// value is stored under), where its value lives in ControlValues and what kind of value it is.
// The window builds its controls' values from this table, the settings store loads and saves
// through it, and the load, save and focus orders name its rows.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "engine/conversion.h"

namespace snipforge {

enum class OptionKind {
  kText,         // any text
  kNumericText,  // text the window checks as a number when the user leaves its box
  kCheckBox,     // 0 unchecked, 1 checked, 2 greyed
};

struct Option {
  std::string_view name;
  OptionKind kind;
  std::string ControlValues::*text = nullptr;  // the member of a text or numeric text row
  int ControlValues::*check = nullptr;         // the member of a check box row
  bool path = false;                           // the text names a file
};

inline constexpr std::array<Option, 16> kOptions = {{
    {.name = "tInput", .kind = OptionKind::kText, .text = &ControlValues::tInput, .path = true},
    {.name = "tOutput", .kind = OptionKind::kText, .text = &ControlValues::tOutput, .path = true},
    {.name = "tAppendBeforeBad", .kind = OptionKind::kText,
     .text = &ControlValues::tAppendBeforeBad},
    {.name = "tAppendBeforeGood", .kind = OptionKind::kText,
     .text = &ControlValues::tAppendBeforeGood},
    {.name = "tAppendtoBad", .kind = OptionKind::kText, .text = &ControlValues::tAppendtoBad},
    {.name = "tAppendToGood", .kind = OptionKind::kText, .text = &ControlValues::tAppendToGood},
    {.name = "tMinLength", .kind = OptionKind::kNumericText, .text = &ControlValues::tMinLength},
    {.name = "tNumberOfBlack", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tNumberOfBlack},
    {.name = "tNumberofGood", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tNumberofGood},
    {.name = "tOffsetAfter", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tOffsetAfter},
    {.name = "tOffsetBefore", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tOffsetBefore},
    {.name = "tExcludeOffset", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tExcludeOffset},
    {.name = "chIncludeFramenumber", .kind = OptionKind::kCheckBox,
     .check = &ControlValues::chIncludeFramenumber},
    {.name = "chIncText", .kind = OptionKind::kCheckBox, .check = &ControlValues::chIncText},
    {.name = "chOutputBadFrames", .kind = OptionKind::kCheckBox,
     .check = &ControlValues::chOutputBadFrames},
    {.name = "chOutputGoodFrames", .kind = OptionKind::kCheckBox,
     .check = &ControlValues::chOutputGoodFrames},
}};

// A ControlValues member, text or check box, as an order or a lookup names a row by it. It is
// made implicitly, so that an order is a plain list of members.
struct OptionMember {
  constexpr OptionMember(std::string ControlValues::*member) : text(member) {}
  constexpr OptionMember(int ControlValues::*member) : check(member) {}
  std::string ControlValues::*text = nullptr;
  int ControlValues::*check = nullptr;
};

// The row of a member; a member without a row does not compile.
consteval const Option& OptionFor(OptionMember member) {
  for (const Option& option : kOptions) {
    if (member.text != nullptr ? option.text == member.text : option.check == member.check) {
      return option;
    }
  }
  throw "this ControlValues member has no row in kOptions";
}

// The place of a row in kOptions, for tables kept beside it.
constexpr std::size_t OptionIndex(const Option& option) {
  return static_cast<std::size_t>(&option - kOptions.data());
}

// Every row once, in an order of its own (loading, saving).
using OptionOrder = std::array<const Option*, kOptions.size()>;

// The order in which `members` name the rows; an order that misses a row or names one twice
// does not compile.
consteval OptionOrder MakeOptionOrder(std::initializer_list<OptionMember> members) {
  if (members.size() != kOptions.size()) throw "an order names every row of kOptions once";
  OptionOrder order{};
  std::size_t filled = 0;
  for (const OptionMember member : members) {
    const Option* option = &OptionFor(member);
    for (std::size_t i = 0; i < filled; ++i) {
      if (order[i] == option) throw "an order names a row twice";
    }
    order[filled++] = option;
  }
  return order;
}

// The value as text, the form in which it is stored: a text as it is, a check box as "0", "1"
// or "2".
[[nodiscard]] std::string OptionText(const ControlValues& values, const Option& option);
// Sets the value from that form. A check box text other than "0", "1" or "2" changes nothing
// and gives false.
bool SetOptionText(ControlValues& values, const Option& option, std::string_view text);
// The check box value that "0", "1" or "2" stands for; nothing for any other text.
[[nodiscard]] std::optional<int> CheckBoxValue(std::string_view text);

}  // namespace snipforge
