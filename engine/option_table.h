// The option controls of the window, one row each: the control's name (also the name its value
// is stored under), where its value lives in ControlValues, what kind of value it is, the
// window's words for it and its command-line option. The window builds its controls and their
// values from this table, the settings store loads and saves through it, snipforge-convert
// reads its options and writes its help from it, and the load and focus orders name its rows.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/conversion.h"

namespace snipforge {

enum class OptionKind {
  kText,         // any text
  kNumericText,  // text the window checks as a number when the user leaves its box
  kCheckBox,     // 0 unchecked, 1 checked, 2 greyed
  kChoice,       // one of a few words, held as its place in the row's list of choices
};

// A word a choice row may hold: stored and given on the command line as `word`, shown in the
// window as `caption`.
struct Choice {
  std::string_view word;
  std::string_view caption;
};

// The choices of the two choice rows, in the order of ListFormat and ScriptTarget.
inline constexpr std::array<Choice, 2> kListFormats = {{{"plain", "Plain"}, {"auto", "Auto"}}};
inline constexpr std::array<Choice, 2> kScriptTargets = {
    {{"avisynth", "AviSynth"}, {"vapoursynth", "VapourSynth"}}};

// The captions of the window's two group boxes, which hold most option controls.
inline constexpr std::string_view kBadFramesGroup = "Bad frames";
inline constexpr std::string_view kGoodFramesGroup = "Good frames";

struct Option {
  std::string_view name;
  OptionKind kind;
  std::string ControlValues::*text = nullptr;  // the member of a text or numeric text row
  int ControlValues::*check = nullptr;         // the member of a check box row
  int ControlValues::*choice = nullptr;        // the member of a choice row
  std::span<const Choice> choices;             // a choice row's words; the first is the default
  bool path = false;                           // the text names a file
  // The window's words for the control: the label that names a box, or a check box's caption.
  // A run of blanks in a sentence is where its box stands ("Cut", the box, "frames before...").
  std::string_view caption;
  std::string_view group;  // the group box it stands in; empty for none
  // The command-line option of snipforge-convert, "--" and this; a check box row also gives
  // "--no-" and this. Empty for tInput, which the lists named on the command line give.
  std::string_view flag;
  // One sentence on what the option does to the script: the control's tooltip and its line in
  // --help.
  std::string_view tip;
};

// The rows stand in the order in which the store saves the values and --help lists them.
inline constexpr std::array<Option, 19> kOptions = {{
    {.name = "tInput", .kind = OptionKind::kText, .text = &ControlValues::tInput, .path = true,
     .caption = "Input",
     .tip = "Enter the filename or press find to select it."},
    {.name = "tOutput", .kind = OptionKind::kText, .text = &ControlValues::tOutput, .path = true,
     .caption = "Output", .flag = "output",
     .tip = "The script to write; typing in Input proposes the same name ending in .avs."},
    {.name = "tAppendBeforeBad", .kind = OptionKind::kText,
     .text = &ControlValues::tAppendBeforeBad,
     .caption = "Append before trim. Leave blank for none", .group = kBadFramesGroup,
     .flag = "append-before-bad",
     .tip = "Text written just before the review's first trim, such as Junk= to name it."},
    {.name = "tAppendBeforeGood", .kind = OptionKind::kText,
     .text = &ControlValues::tAppendBeforeGood,
     .caption = "Append before trim. Leave blank for none", .group = kGoodFramesGroup,
     .flag = "append-before-good",
     .tip = "Text written just before the good part's first trim, such as Good= to name it."},
    {.name = "tAppendtoBad", .kind = OptionKind::kText, .text = &ControlValues::tAppendtoBad,
     .caption = "Append to trim for bad frames", .group = kBadFramesGroup,
     .flag = "append-to-bad",
     .tip = "Appended after a point to each trim of bad frames in the review."},
    {.name = "tAppendToGood", .kind = OptionKind::kText, .text = &ControlValues::tAppendToGood,
     .caption = "Append to trim for good frames", .group = kBadFramesGroup,
     .flag = "append-to-good",
     .tip = "Appended after a point to each trim of good frames around a bad part."},
    {.name = "tMinLength", .kind = OptionKind::kNumericText, .text = &ControlValues::tMinLength,
     .caption = "Minimum length of good parts in frames", .flag = "min-length",
     .tip = "Good stretches this long or shorter are cut as well, and bad frames this close "
            "together form one bad part."},
    {.name = "tNumberOfBlack", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tNumberOfBlack,
     .caption = "Number of black frames to include between bad parts", .group = kBadFramesGroup,
     .flag = "black",
     .tip = "Black frames the review shows after each bad part."},
    {.name = "tNumberofGood", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tNumberofGood,
     .caption = "Number of good frames to include before and after bad frames",
     .group = kBadFramesGroup, .flag = "context",
     .tip = "Good frames the review shows before and after each bad part."},
    {.name = "tOffsetAfter", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tOffsetAfter,
     .caption = "Cut             frames after bad frames", .group = kGoodFramesGroup,
     .flag = "offset-after",
     .tip = "Frames cut after each bad frame, besides the bad frame itself."},
    {.name = "tOffsetBefore", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tOffsetBefore,
     .caption = "Cut             frames before bad frames", .group = kGoodFramesGroup,
     .flag = "offset-before",
     .tip = "Frames cut before each bad frame, besides the bad frame itself."},
    // The blank run is 43 blanks long: the narrow label wraps it onto a line of its own.
    {.name = "tExcludeOffset", .kind = OptionKind::kNumericText,
     .text = &ControlValues::tExcludeOffset,
     .caption = "Ignore offset if there are                                           "
                "or less bad frames in a row",
     .group = kGoodFramesGroup, .flag = "exclude-offset",
     .tip = "Runs of this many bad frames in a row or fewer are cut without the offsets; 0 "
            "gives every run its offsets."},
    {.name = "chIncludeFramenumber", .kind = OptionKind::kCheckBox,
     .check = &ControlValues::chIncludeFramenumber, .caption = "Include ShowFramenumber",
     .flag = "frame-number",
     .tip = "Writes a showframenumber line before each expression."},
    {.name = "chIncText", .kind = OptionKind::kCheckBox, .check = &ControlValues::chIncText,
     .caption = "Include text from input in output", .flag = "include-text",
     .tip = "Copies the list's text lines into the script, around the expressions."},
    {.name = "chOutputBadFrames", .kind = OptionKind::kCheckBox,
     .check = &ControlValues::chOutputBadFrames, .caption = "Output Badframes",
     .group = kBadFramesGroup, .flag = "bad",
     .tip = "Writes the review expression, which shows only the bad parts with a little context."},
    {.name = "chOutputGoodFrames", .kind = OptionKind::kCheckBox,
     .check = &ControlValues::chOutputGoodFrames, .caption = "Output Goodframes",
     .group = kGoodFramesGroup, .flag = "good",
     .tip = "Writes the good-part expression: the clip with the bad frames cut out."},
    {.name = "chExactEnd", .kind = OptionKind::kCheckBox, .check = &ControlValues::chExactEnd,
     .caption = "Exact end (uses FrameCount)", .group = kGoodFramesGroup, .flag = "exact-end",
     .tip = "Ends the good part with a trim that asks the clip's FrameCount, so that a bad "
            "frame at the clip's end is cut too."},
    {.name = "cboListFormat", .kind = OptionKind::kChoice, .choice = &ControlValues::cboListFormat,
     .choices = kListFormats, .caption = "List format", .flag = "format",
     .tip = "Plain reads one frame number a line; Auto also reads ranges, lists, qpfiles and "
            "the logs other tools write."},
    {.name = "cboScriptFor", .kind = OptionKind::kChoice, .choice = &ControlValues::cboScriptFor,
     .choices = kScriptTargets, .caption = "Script for", .flag = "target",
     .tip = "The frame server the script is for: AviSynth trims, or a VapourSynth fragment that "
            "deletes the frames."},
}};

// A ControlValues member, text, check box or choice, as an order or a lookup names a row by it.
// It is made implicitly, so that an order is a plain list of members.
struct OptionMember {
  constexpr OptionMember(std::string ControlValues::*member) : text(member) {}
  constexpr OptionMember(int ControlValues::*member) : number(member) {}
  std::string ControlValues::*text = nullptr;
  int ControlValues::*number = nullptr;  // a check box's or a choice's
};

// The row of a member; a member without a row does not compile.
consteval const Option& OptionFor(OptionMember member) {
  for (const Option& option : kOptions) {
    if (member.text != nullptr
            ? option.text == member.text
            : (option.check == member.number || option.choice == member.number)) {
      return option;
    }
  }
  throw "this ControlValues member has no row in kOptions";
}

// Every row once, in an order of its own (loading).
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

// Where the run of blanks that marks a box's place stands in a caption ("Cut", the blanks,
// "frames before bad frames"): from `first` up to `end`, both npos when there is none.
struct BlankRun {
  std::size_t first = std::string_view::npos;
  std::size_t end = std::string_view::npos;
};
[[nodiscard]] BlankRun FindBlankRun(std::string_view caption);
// The caption with its blank run replaced by the value between single blanks ("Cut N frames
// before bad frames"), or by one blank when the value is empty, as a screen reader says it.
[[nodiscard]] std::string CaptionAround(std::string_view caption, std::string_view value);

// The row whose command-line flag is `flag` ("offset-before"); null when none is.
[[nodiscard]] const Option* FindOptionByFlag(std::string_view flag);

// The value as text, the form in which it is stored: a text as it is, a check box as "0", "1"
// or "2", a choice as its word.
[[nodiscard]] std::string OptionText(const ControlValues& values, const Option& option);
// Sets the value from that form. A check box text other than "0", "1" or "2", or a word that is
// not one of a choice's, changes nothing and gives false.
bool SetOptionText(ControlValues& values, const Option& option, std::string_view text);
// The place of `word` among the row's choices; nothing when it is none of them.
[[nodiscard]] std::optional<int> ChoiceIndex(const Option& option, std::string_view word);
// The words of a choice row joined by `separator` ("plain|auto").
[[nodiscard]] std::string ChoiceWords(const Option& option, std::string_view separator);
// The check box value that "0", "1" or "2" stands for; nothing for any other text.
[[nodiscard]] std::optional<int> CheckBoxValue(std::string_view text);

}  // namespace snipforge
