// The bad-part review expression: only the bad parts of the clip, each with a little good
// context before and after it, the suffix texts and black frames between the parts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/conversion_options.h"
#include "engine/frame_list.h"
#include "engine/result.h"
#include "engine/script_stream.h"

namespace snipforge {

// The options of the review, checked: the only form in which the writer takes them.
struct BadPartNumbers {
  std::int16_t context = 0;  // good frames shown before and after each part, plus one
  std::int32_t black = 0;    // black frames after each part; 0 for none
  double minLength = 0;      // parts closer than this many good frames are one part
  bool frameNumberLine = false;
  std::string appendBefore;
  std::string badSuffix;   // with its leading point
  std::string goodSuffix;
};

// Reads the options the expression for this list uses: the minimum length for two frames or more
// and the number of black frames for one or more. Fails when one is not a number, or the number of black
// frames is above 0 and not a whole number a trim can hold.
[[nodiscard]] Result<BadPartNumbers> CheckBadPart(const FrameList& list,
                                                  const ConversionOptions& options);
// As CheckBadPart for a list that uses every option: what some list would refuse.
[[nodiscard]] Result<void> CheckBadPartOptions(const ConversionOptions& options);

// The frame whose context would end beyond kLargestFrame; nothing when the review stays within
// the range.
[[nodiscard]] std::optional<std::int32_t> BadPartOverflow(const FrameList& list,
                                                          const BadPartNumbers& numbers);

// Appends the expression for the list, one line per bad part, each part streamed out
// as it is found. Gives the number of parts.
std::int64_t WriteBadParts(const FrameList& list, const BadPartNumbers& numbers,
                           ScriptStream& script);

// The suffix as appended to a trim: unchanged when empty or starting with a point, otherwise
// with a point in front.
[[nodiscard]] std::string WithLeadingPoint(std::string_view suffix);

}  // namespace snipforge
