#include "convert/wildcards.h"

#include "engine/wide_text.h"

#include <windows.h>

#include <algorithm>

#include "engine/option_table.h"
#include "engine/output_path.h"

namespace snipforge {
namespace {

// True for an option argument whose value is the next argument: -o and the rows that are no
// check box ("--output FILE", "--black N"), unless the value is attached with "=".
bool TakesValue(std::string_view argument) {
  if (argument == "-o") return true;
  if (!argument.starts_with("--") || argument.find('=') != std::string_view::npos) return false;
  const Option* option = FindOptionByFlag(argument.substr(2));
  return option != nullptr && option->kind != OptionKind::kCheckBox;
}

// The files that `pattern` matches, sorted by name ignoring case; nothing when it has no
// wildcard in its last name or matches no file.
std::vector<std::string> Matches(const std::string& pattern) {
  const std::string_view last = LastNameOf(pattern);
  if (last.find_first_of("*?") == std::string_view::npos) return {};
  const std::string folder(FolderOf(pattern));
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileExW(Wide(pattern).c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return {};
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      names.emplace_back(found.cFileName);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    const int order = CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                           static_cast<int>(b.size()), TRUE);
    return order != CSTR_EQUAL ? order == CSTR_LESS_THAN : a < b;
  });
  std::vector<std::string> paths;
  for (const std::wstring& name : names) paths.push_back(folder + Utf8(name.c_str()));
  return paths;
}

}  // namespace

std::vector<std::string> ExpandWildcards(const std::vector<std::string>& arguments) {
  std::vector<std::string> expanded;
  bool onlyLists = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!onlyLists && argument != "-" && argument.starts_with('-')) {
      expanded.push_back(argument);
      if (argument == "--") onlyLists = true;
      if (TakesValue(argument) && i + 1 < arguments.size()) expanded.push_back(arguments[++i]);
      continue;
    }
    std::vector<std::string> matches = Matches(argument);
    if (matches.empty()) {
      expanded.push_back(argument);
    } else {
      expanded.insert(expanded.end(), matches.begin(), matches.end());
    }
  }
  return expanded;
}

}  // namespace snipforge
