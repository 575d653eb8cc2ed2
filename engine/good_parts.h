// The good-part expression: the clip with every bad frame cut out, with the offsets around the
// bad frames and without good stretches that are too short.
#pragma once

#include "engine/conversion_options.h"
#include "engine/frame_list.h"
#include "engine/script_stream.h"

namespace snipforge {

// Reads the options the expression for this list uses, before anything is written: fails when
// one is not a number, or an offset is not whole. The offsets are used when a run of bad frames
// is longer than ExcludeOffset (any run while it is 0), the minimum length when n >= 2.
[[nodiscard]] StepError CheckGoodPartOptions(const FrameList& list,
                                             const ConversionOptions& options);

// Appends the expression for a normalised list with n >= 1: each bad frame cuts itself and,
// unless its run is short, the offsets around it; the expression keeps the head before the
// first frame cut, every stretch between cut frames longer than MinLength, and the tail after
// the last frame cut. With a negative offset or minimum length each stretch is instead taken
// between two neighbouring bad frames alone. Fails as CheckGoodPartOptions.
[[nodiscard]] StepError WriteGoodParts(const FrameList& list, const ConversionOptions& options,
                                       ScriptStream& script);

}  // namespace snipforge
