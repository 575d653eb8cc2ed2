// The bad-part review expression: only the bad parts of the clip, each with a little good
// context before and after it, the suffix texts and black frames between the parts.
#pragma once

#include <string>
#include <string_view>

#include "engine/conversion_options.h"
#include "engine/frame_list.h"
#include "engine/script_stream.h"

namespace snipforge {

// Reads the options the expression for this list uses, before anything is written: fails when
// the minimum length (used when n >= 2) or the number of black frames (used when n >= 1) is not
// a number, or the number of black frames is above 0 and not whole.
[[nodiscard]] StepError CheckBadPartOptions(const FrameList& list,
                                            const ConversionOptions& options);

// Appends the expression for a normalised list, one line per bad part, each part streamed out
// as it is found. Fails as CheckBadPartOptions.
[[nodiscard]] StepError WriteBadParts(const FrameList& list, const ConversionOptions& options,
                                      ScriptStream& script);

// The suffix as appended to a trim: unchanged when empty or starting with a point, otherwise
// with a point in front.
[[nodiscard]] std::string WithLeadingPoint(std::string_view suffix);

}  // namespace snipforge
