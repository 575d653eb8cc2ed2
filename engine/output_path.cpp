#include "engine/output_path.h"

namespace snipforge {

bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

std::string_view LastNameOf(std::string_view path) { return path.substr(FolderOf(path).size()); }

std::string_view FolderOf(std::string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !IsPathSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

std::string_view FolderNameOf(std::string_view path) {
  std::string_view folder = FolderOf(path);
  while (folder.size() > 1 && IsPathSeparator(folder.back())) folder.remove_suffix(1);
  return folder;
}

std::string DeriveOutputPath(std::string_view input, std::string_view extension) {
  const std::string_view name = LastNameOf(input);
  const std::size_t point = name.rfind('.');
  const std::size_t stem = point == std::string_view::npos || point == 0
                               ? input.size()
                               : input.size() - name.size() + point;
  std::string path(input.substr(0, stem));
  path += '.';
  path += extension;
  return path;
}

}  // namespace snipforge
