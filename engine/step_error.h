// How the steps of a conversion report failure: by value, as the text the window shows.
#pragma once

#include <optional>
#include <string>

namespace snipforge {

// The message of a step that failed; empty (nullopt) when the step succeeded.
using StepError = std::optional<std::string>;

// A user's text shortened and made printable, for quoting inside a message.
[[nodiscard]] std::string QuoteForMessage(std::string_view text);

// The last component of a path, as messages name files ("frames.txt").
[[nodiscard]] std::string FileNameForMessage(const std::string& path);

}  // namespace snipforge
