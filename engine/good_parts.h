// The good-part expression: the clip with every bad frame cut out, with the offsets around the
// bad frames and without good stretches that are too short.
#pragma once

#include "engine/conversion_options.h"
#include "engine/frame_list.h"
#include "engine/script_stream.h"

namespace snipforge {

// Appends the expression for a normalised list with n >= 1. Fails when an offset or the minimum
// length that a formula needs is not a number.
[[nodiscard]] StepError WriteGoodParts(const FrameList& list, const ConversionOptions& options,
                                       ScriptStream& script);

}  // namespace snipforge
