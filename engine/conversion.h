// The engine's public entry: the values of the window's option controls, and one whole
// conversion from the frame list file to the Avisynth script.
#pragma once

#include <string>

namespace snipforge {

// The sixteen option controls as the user left them, named like the controls. A default
// ControlValues holds the window's start values. kOptions in engine/option_table.h lists them
// with their kinds.
struct ControlValues {
  std::string tInput;
  std::string tOutput;
  std::string tAppendBeforeBad = "Junk=";
  std::string tAppendBeforeGood;
  std::string tAppendtoBad = "subtitle(\"JUNK\",x=-1,size=34)";
  std::string tAppendToGood = "subtitle(\"GOOD\",x=-1,size=34)";
  std::string tMinLength = "0";
  std::string tNumberOfBlack = "1";
  std::string tNumberofGood = "3";
  std::string tOffsetAfter = "0";
  std::string tOffsetBefore = "0";
  std::string tExcludeOffset = "0";
  int chIncludeFramenumber = 0;  // check boxes: 0 unchecked, 1 checked, 2 greyed
  int chIncText = 0;
  int chOutputBadFrames = 0;
  int chOutputGoodFrames = 1;

  friend bool operator==(const ControlValues&, const ControlValues&) = default;
};

struct RunOutcome {
  bool ok = false;
  std::string message;  // what to show the user when ok is false
};

// Reads the frame list named by tInput and writes the script to tOutput. A failed run leaves
// every existing file as it was.
[[nodiscard]] RunOutcome RunConversion(const ControlValues& controls);

}  // namespace snipforge
