// The good-part expression: the clip with every bad frame cut out, with the offsets around the
// bad frames and without good stretches that are too short.
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

// The options of the good part, checked: the only form in which the writer takes them.
struct GoodPartNumbers {
  std::int64_t before = 0;  // frames cut before a bad frame whose run gets offsets
  std::int64_t after = 0;   // and after it
  double minLength = 0;     // a good stretch of this many frames or fewer is cut too
  std::int16_t exclude = 0;  // runs of this many bad frames or fewer get no offsets
  bool frameNumberLine = false;
  std::string appendBefore;
  bool exactEnd = false;  // the tail asks the clip's FrameCount
};

// Reads the options the expression for this list uses: the offsets when some run of bad frames
// is longer than ExcludeOffset (any run while it is 0) and the minimum length for two frames or
// more. Fails
// when one is not a number, is negative, or an offset is not a whole number a trim can hold.
[[nodiscard]] Result<GoodPartNumbers> CheckGoodPart(const FrameList& list,
                                                    const ConversionOptions& options);
// As CheckGoodPart for a list that uses every option: what some list would refuse.
[[nodiscard]] Result<void> CheckGoodPartOptions(const ConversionOptions& options);

// The frame whose cut reaches so far that the final trim would start beyond kLargestFrame;
// nothing when the expression stays within the range.
[[nodiscard]] std::optional<std::int32_t> GoodPartOverflow(const FrameList& list,
                                                           const GoodPartNumbers& numbers);

struct GoodPartSummary {
  std::int64_t trims = 0;      // the stretches the expression keeps, the final one included
  std::int64_t framesCut = 0;  // frames before the final trim that no trim keeps
};

// Appends the expression for a list that is not empty: each bad frame cuts itself and,
// unless its run is short, the offsets around it, and every frame some cut reaches stays out;
// the expression keeps the head before the first frame cut, every stretch between cut frames
// longer than the minimum length, and the tail after the last frame cut. With the exact end the
// tail is empty on a clip that ends before it, rather than the clip's last frame.
GoodPartSummary WriteGoodParts(const FrameList& list, const GoodPartNumbers& numbers,
                               ScriptStream& script);

// Appends the VapourSynth lines that delete from `clip` the frames the expression above cuts,
// through _snipforge_cut (WriteVapourSynthHeader), and leave the clip in `result`.
GoodPartSummary WriteVapourSynthCuts(const FrameList& list, const GoodPartNumbers& numbers,
                                     std::string_view result, ScriptStream& script);

}  // namespace snipforge
