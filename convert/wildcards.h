// What cmd.exe leaves to a program on Windows: the arguments, which arrive as UTF-16, taken as
// UTF-8, and a LIST with * or ? in its last name expanded into the files that match it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace snipforge {

// The arguments with each LIST whose last name holds * or ? replaced by the files that match,
// sorted (folders left out); a LIST that matches nothing stays as it is, so that the run
// reports it. The value of an option that takes one is never expanded, also when it holds a
// wildcard; every argument after "--" is a LIST.
[[nodiscard]] std::vector<std::string> ExpandWildcards(const std::vector<std::string>& arguments);

}  // namespace snipforge
