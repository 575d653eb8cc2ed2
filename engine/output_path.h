// The script path that goes with a frame list: the window proposes it in Output as Input is
// typed, and the command-line converter writes there.
#pragma once

#include <string>
#include <string_view>

namespace snipforge {

// Everything after the last point of the whole text replaced by "avs" (also when that point
// stands in a folder's name), or ".avs" appended when the text has no point.
[[nodiscard]] std::string DeriveOutputPath(std::string_view input);

}  // namespace snipforge
