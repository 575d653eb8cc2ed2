// The controls of the window, one row each, as both views create them: the kind, the place in
// twips (1/1440 inch; 15 to a pixel at 96 dpi) in the client area, the group box it stands in,
// its words, and how it behaves when the window is widened. Also the order in which Tab
// visits them.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "engine/option_table.h"

namespace snipforge {

enum class ControlKind {
  kLabel,          // one line of text
  kWrappedLabel,   // text wrapped word by word within its width
  kGapLabel,       // a sentence with a box laid over its run of blanks, wrapped
  kTextBox,
  kCheckBox,       // 0, 1 or 2 (greyed); its caption wraps within the box
  kChoiceBox,      // a drop-down list of an option's choices
  kButton,
  kPictureButton,  // a 16 x 16 picture instead of a caption
  kGroupBox,
  kStatusLine,     // what the last Start did: plain text, wrapped over two lines
};
inline constexpr std::size_t kControlKinds = 10;

struct ControlRow {
  // The object name in the views ("Label3", "cOpen"); empty for a control that holds an
  // option's value, which takes the option's name (NameOf).
  std::string_view name;
  ControlKind kind;
  int left, top, width, height;  // twips in the client area, or in the status bar
  std::string_view group;        // the group box's name it stands in; empty for none
  // The option whose value the control holds (a text box, a check box) or names (its label).
  const Option* option = nullptr;
  // The Alt+letter key of a button, a check box or a label that names a box: the word of its
  // caption that holds the key, with "&" before the key's letter ("afte&r"). The letter is
  // underlined where that word first stands in the caption.
  std::string_view key;
  std::string_view text;            // a button's or group box's caption
  std::string_view accessibleName;  // for a button; an option's control takes its caption's
  std::string_view tip;             // for a button; an option's control takes its row's tip
  bool stretches = false;           // grows by as much as the window is widened
  bool followsRightEdge = false;    // moves with the window's right edge
  // Stands in the status bar at the bottom of the window, outside the area that scrolls.
  bool inStatusBar = false;
};

// The area that scrolls, at its laid-out size, in twips.
inline constexpr int kClientWidth = 4725;
inline constexpr int kClientHeight = 9720;
// The status bar below it, as wide as the window.
inline constexpr int kStatusBarHeight = 615;

namespace controls_detail {
consteval const Option* Row(std::string ControlValues::*member) { return &OptionFor(member); }
consteval const Option* Row(int ControlValues::*member) { return &OptionFor(member); }
}  // namespace controls_detail

// The two group boxes come first, so that a view can create them before what stands in them.
inline constexpr auto kControls = [] {
  using controls_detail::Row;
  using K = ControlKind;
  using C = ControlValues;
  return std::to_array<ControlRow>({
      {"Frame2", K::kGroupBox, 120, 2280, 4575, 3465, {}, nullptr, {}, kBadFramesGroup, {}, {},
       true},
      {"Frame1", K::kGroupBox, 120, 6960, 4575, 2655, {}, nullptr, {}, kGoodFramesGroup, {}, {},
       true},
      {"Label3", K::kLabel, 120, 0, 2775, 255, {}, Row(&C::tInput), "&Input", {}, {}, {},
       true},
      {{}, K::kTextBox, 120, 360, 2775, 375, {}, Row(&C::tInput), {}, {}, {}, {}, true},
      {"cOpen", K::kPictureButton, 3000, 360, 375, 375, {}, nullptr, {}, {}, "Open",
       "Find the frame list", false, true},
      {"cAbout", K::kButton, 3480, 120, 855, 615, {}, nullptr, "&About", "About", "About",
       "About Snipforge", false, true},
      {"Label4", K::kLabel, 120, 840, 2775, 255, {}, Row(&C::tOutput), "&Output", {}, {}, {},
       true},
      {{}, K::kTextBox, 120, 1200, 2775, 375, {}, Row(&C::tOutput), {}, {}, {}, {},
       true},
      {"cSave", K::kPictureButton, 3000, 1200, 375, 375, {}, nullptr, {}, {}, "Save",
       "Choose where the script goes", false, true},
      // A row of its own under Output: how the list is read and what the script is for.
      {"Label13", K::kLabel, 120, 1740, 900, 255, {}, Row(&C::cboListFormat), "&List"},
      {{}, K::kChoiceBox, 1080, 1680, 1080, 375, {}, Row(&C::cboListFormat)},
      {"Label14", K::kLabel, 2280, 1740, 900, 255, {}, Row(&C::cboScriptFor), "S&cript"},
      {{}, K::kChoiceBox, 3240, 1680, 1455, 375, {}, Row(&C::cboScriptFor)},
      {{}, K::kCheckBox, 240, 2520, 1095, 615, "Frame2",
       Row(&C::chOutputBadFrames), "&Badframes"},
      {"Label6", K::kLabel, 240, 3120, 4335, 255, "Frame2", Row(&C::tAppendBeforeBad), "b&efore",
       {}, {}, {}, true},
      {{}, K::kTextBox, 240, 3360, 4335, 375, "Frame2", Row(&C::tAppendBeforeBad),
       {}, {}, {}, {}, true},
      {"Label12", K::kLabel, 240, 3720, 3615, 255, "Frame2", Row(&C::tAppendtoBad), "ba&d", {}, {},
       {}, true},
      {{}, K::kTextBox, 240, 3960, 4335, 375, "Frame2", Row(&C::tAppendtoBad), {}, {},
       {}, {}, true},
      // As wide as its neighbour above, so that its longer caption fits.
      {"Label11", K::kLabel, 240, 4320, 3615, 255, "Frame2", Row(&C::tAppendToGood), "A&ppend", {},
       {}, {}, true},
      {{}, K::kTextBox, 240, 4560, 4335, 375, "Frame2", Row(&C::tAppendToGood), {},
       {}, {}, {}, true},
      // Four lines high rather than three: the room below it up to the frame is free.
      {"Label2", K::kWrappedLabel, 240, 5040, 1215, 675, "Frame2", Row(&C::tNumberOfBlack),
       "blac&k"},
      {{}, K::kTextBox, 1560, 5160, 495, 375, "Frame2", Row(&C::tNumberOfBlack)},
      {"Label5", K::kWrappedLabel, 2160, 5040, 1695, 615, "Frame2", Row(&C::tNumberofGood),
       "&Number"},
      {{}, K::kTextBox, 3960, 5160, 615, 375, "Frame2", Row(&C::tNumberofGood)},
      {{}, K::kCheckBox, 240, 5760, 1815, 375, {},
       Row(&C::chIncludeFramenumber), "S&how"},
      {{}, K::kCheckBox, 2400, 5760, 2055, 375, {}, Row(&C::chIncText), "&text"},
      {"cStartConv", K::kButton, 120, 6240, 1935, 615, {}, nullptr, "&Start", "Start", "Start",
       "Write the script"},
      {"Label1", K::kWrappedLabel, 2400, 6240, 1575, 495, {}, Row(&C::tMinLength), "&Minimum"},
      {{}, K::kTextBox, 3960, 6240, 615, 375, {}, Row(&C::tMinLength)},
      {{}, K::kCheckBox, 240, 7320, 1215, 495, "Frame1",
       Row(&C::chOutputGoodFrames), "&Goodframes"},
      {{}, K::kCheckBox, 1560, 7320, 3015, 495, "Frame1", Row(&C::chExactEnd),
       "E&xact"},
      {"Label8", K::kLabel, 240, 7800, 4335, 255, "Frame1", Row(&C::tAppendBeforeGood), "Lea&ve",
       {}, {}, {}, true},
      {{}, K::kTextBox, 240, 8040, 4335, 375, "Frame1",
       Row(&C::tAppendBeforeGood), {}, {}, {}, {}, true},
      // The two "Cut" sentences end where Label7 begins, so that they never run into its text.
      {"Label9", K::kGapLabel, 240, 8640, 2880, 255, "Frame1", Row(&C::tOffsetBefore), "C&ut"},
      {{}, K::kTextBox, 600, 8520, 375, 375, "Frame1", Row(&C::tOffsetBefore)},
      {"Label10", K::kGapLabel, 240, 9120, 2880, 255, "Frame1", Row(&C::tOffsetAfter), "afte&r"},
      {{}, K::kTextBox, 600, 9000, 375, 375, "Frame1", Row(&C::tOffsetAfter)},
      // A narrow label: its blank run wraps onto a line of its own, where the box stands.
      {"Label7", K::kGapLabel, 3120, 8520, 1335, 975, "Frame1", Row(&C::tExcludeOffset), "ro&w"},
      {{}, K::kTextBox, 3840, 8760, 495, 315, "Frame1", Row(&C::tExcludeOffset)},
      // The status bar: two lines of what the last Start did, and the button beside them.
      {"lStatus", K::kStatusLine, 120, 60, 3480, 495, {}, nullptr, {}, {}, "Last Start", {},
       true, false, true},
      {"cOpenFolder", K::kButton, 3720, 90, 975, 435, {}, nullptr, "&folder", "Open folder",
       "Open folder", "Open the folder of the script written last", false, true, true},
  });
}();

// The control's object name: its own, or the name of the option whose value it holds (only
// such a control has none of its own). It compares no addresses, which GCC 12 cannot do at
// compile time in a build with sanitizers.
constexpr std::string_view NameOf(const ControlRow& control) {
  return control.name.empty() ? control.option->name : control.name;
}

// The place of the row named `name`; kControls.size() when there is none.
constexpr std::size_t FindControl(std::string_view name) {
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (NameOf(kControls[i]) == name) return i;
  }
  return kControls.size();
}

// The place of the row named `name`; a name without a row does not compile.
consteval std::size_t ControlIndex(std::string_view name) {
  if (FindControl(name) == kControls.size()) throw "no control of this name";
  return FindControl(name);
}

// The row of the control that holds an option's value; for a gap label's option, the box laid
// over its sentence.
[[nodiscard]] std::size_t ControlOf(const Option& option);

// The order in which Tab visits the controls that take the focus.
inline constexpr std::array<std::size_t, 24> kFocusOrder = {
    ControlIndex("tInput"),           ControlIndex("cOpen"),
    ControlIndex("cStartConv"),       ControlIndex("tOffsetBefore"),
    ControlIndex("tOffsetAfter"),     ControlIndex("cAbout"),
    ControlIndex("tOutput"),          ControlIndex("cSave"),
    ControlIndex("cboListFormat"),    ControlIndex("cboScriptFor"),
    ControlIndex("chOutputBadFrames"), ControlIndex("tAppendtoBad"),
    ControlIndex("tAppendToGood"),    ControlIndex("tNumberofGood"),
    ControlIndex("tNumberOfBlack"),   ControlIndex("chIncludeFramenumber"),
    ControlIndex("chIncText"),        ControlIndex("tAppendBeforeBad"),
    ControlIndex("tMinLength"),       ControlIndex("chOutputGoodFrames"),
    ControlIndex("chExactEnd"),       ControlIndex("tAppendBeforeGood"),
    ControlIndex("tExcludeOffset"),
    ControlIndex("cOpenFolder"),
};

// A label's or check box's words: its option's caption; a button's or group box's text.
constexpr std::string_view CaptionOf(const ControlRow& control) {
  return control.option != nullptr ? control.option->caption : control.text;
}

// What a screen reader calls the control: a button's name, or the caption of the option it
// holds with the blank run that marks a box's place collapsed into one blank, followed by the
// group box it stands in ("... (Bad frames)"), so that no two controls share a name.
[[nodiscard]] std::string AccessibleName(const ControlRow& control);
// The control's tooltip: a button's own, or its option's tip.
[[nodiscard]] std::string_view ToolTip(const ControlRow& control);

// Where the control's Alt+letter key stands in its caption; npos for a control without one.
constexpr std::size_t KeyOffset(const ControlRow& control) {
  const std::size_t mark = control.key.find('&');
  if (control.key.empty() || mark == std::string_view::npos) return std::string_view::npos;
  std::string word(control.key.substr(0, mark));
  word += control.key.substr(mark + 1);
  const std::size_t at = CaptionOf(control).find(word);
  return at == std::string_view::npos ? at : at + mark;
}
// The control's key letter in lower case; 0 for none.
constexpr char KeyLetter(const ControlRow& control) {
  const std::size_t at = KeyOffset(control);
  if (at == std::string_view::npos) return 0;
  const char letter = CaptionOf(control)[at];
  return letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter - 'A' + 'a') : letter;
}
// The caption as the toolkits mark a key: "&" before its letter, any "&" of the words doubled.
[[nodiscard]] std::string CaptionWithKey(const ControlRow& control);
// The row of the control that an Alt+letter key moves to: a label's box, or the control itself.
[[nodiscard]] std::size_t KeyTarget(std::size_t control);
// The row of the control that Alt and `letter` (either case) move to; kControls.size() for a
// letter that is no control's key.
[[nodiscard]] std::size_t ControlForKey(char letter);

}  // namespace snipforge
