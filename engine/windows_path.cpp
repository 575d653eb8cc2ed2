#include "engine/windows_path.h"

#include <algorithm>

#include "engine/file_system.h"

namespace snipforge::windows {
namespace {

std::error_code NoSuchFile() { return std::make_error_code(std::errc::no_such_file_or_directory); }

// True for a root that reaches something other than a disk's files however it is written: the
// local device namespace (\\.\, \\?\ as a server's name) and the shares of named pipes and
// mail slots (\\server\pipe\).
bool IsDeviceRoot(std::wstring_view root) {
  const std::deque<std::wstring> parts = NamesOf(root);
  if (parts.size() != 2 || root.size() < 2 || !IsSeparator(root[0]) || !IsSeparator(root[1])) {
    return false;
  }
  return parts[0] == L"." || parts[0] == L"?" || EqualsIgnoringCase(parts[1], L"pipe") ||
         EqualsIgnoringCase(parts[1], L"mailslot");
}

// The root of an absolute path and its length in `path`; 0 when the path has none.
std::size_t RootOf(std::wstring_view path, std::wstring& root) {
  if (path.size() >= 2 && path[1] == L':' && (path.size() == 2 || IsSeparator(path[2]))) {
    root = std::wstring(path.substr(0, 2)) + L'\\';
    return std::min<std::size_t>(3, path.size());
  }
  if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {  // \\server\share
    std::size_t end = 2;
    for (int part = 0; part < 2; ++part) {
      while (end < path.size() && IsSeparator(path[end])) ++end;
      while (end < path.size() && !IsSeparator(path[end])) ++end;
    }
    const std::deque<std::wstring> parts = NamesOf(path.substr(2, end - 2));
    if (parts.size() != 2) return 0;
    root = L"\\\\" + parts[0] + L'\\' + parts[1] + L'\\';
    return end;
  }
  return 0;
}

// Where the last name of a path begins.
std::size_t LastNameStart(std::wstring_view path) {
  std::size_t start = path.size();
  while (start > 0 && !IsSeparator(path[start - 1])) --start;
  return start;
}

}  // namespace

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

bool IsDeviceName(std::wstring_view name) {
  name = name.substr(0, std::min(name.find(L'.'), name.find(L':')));
  while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
  std::wstring upper(name);
  for (wchar_t& c : upper) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL" ||
      upper == L"CONIN$" || upper == L"CONOUT$") {
    return true;
  }
  if (upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT"))) {
    const wchar_t digit = upper[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00b9' || digit == L'\u00b2' ||
           digit == L'\u00b3';
  }
  return false;
}

bool IsPossibleName(std::wstring_view name) {
  return std::none_of(name.begin(), name.end(), [](wchar_t c) {
    return c < 0x20 || std::wstring_view(L"<>:\"|?*").find(c) != std::wstring_view::npos;
  });
}

std::deque<std::wstring> NamesOf(std::wstring_view path) {
  std::deque<std::wstring> names;
  while (!path.empty()) {
    std::size_t end = 0;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > 0) names.emplace_back(path.substr(0, end));
    path.remove_prefix(std::min(end + 1, path.size()));
  }
  return names;
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  const auto lower = [](wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&lower](wchar_t x, wchar_t y) { return lower(x) == lower(y); });
}

bool EndsInFolder(std::wstring_view path) {
  const std::deque<std::wstring> names = NamesOf(path);
  return path.empty() || IsSeparator(path.back()) || names.empty() || names.back() == L"." ||
         names.back() == L".." || (path.size() == 2 && path[1] == L':');
}

bool IsVerbatim(std::wstring_view path) {
  return path.starts_with(L"\\\\?\\") || path.starts_with(L"\\??\\");
}

bool IsLocalDevicePath(std::wstring_view path) {
  return path.starts_with(L"\\\\.\\") || path.starts_with(L"//./");
}

std::error_code SplitFull(std::wstring_view full, SplitPath& split) {
  split = {};
  // A device name in a path: GetFullPathNameW turns it into the device's own path.
  if (IsLocalDevicePath(full)) return FileRefusal::kNotRegularFile;
  const std::size_t rootLength = RootOf(full, split.root);
  if (rootLength == 0) return NoSuchFile();
  if (IsDeviceRoot(split.root)) return FileRefusal::kNotRegularFile;
  split.names = NamesOf(full.substr(rootLength));
  return {};
}

std::error_code SplitVerbatim(std::wstring_view path, SplitPath& split) {
  split = {};
  const std::wstring_view rest = path.substr(std::min<std::size_t>(4, path.size()));
  std::wstring full;
  if (rest.starts_with(L"UNC\\")) {
    full = L"\\\\" + std::wstring(rest.substr(4));
  } else if (rest.size() >= 2 && rest[1] == L':') {
    full = rest;
  } else {  // \\?\Volume{...}\: the volume's name is the root
    if (!EqualsIgnoringCase(rest.substr(0, std::min<std::size_t>(7, rest.size())), L"Volume{")) {
      return FileRefusal::kNotRegularFile;
    }
    const std::size_t end = std::min(rest.find(L'\\'), rest.size());
    split.root = L"\\\\?\\" + std::wstring(rest.substr(0, end)) + L'\\';
    split.names = NamesOf(rest.substr(end));
    return {};
  }
  if (const std::error_code error = SplitFull(full, split)) return error;
  // "." and ".." stay names in the \\?\ form, but no file can have them.
  std::deque<std::wstring> names;
  for (std::wstring& name : split.names) {
    if (name == L"..") {
      if (!names.empty()) names.pop_back();
    } else if (name != L".") {
      names.push_back(std::move(name));
    }
  }
  split.names = std::move(names);
  return {};
}

std::wstring Join(const std::wstring& root, const std::vector<std::wstring>& names) {
  std::wstring path = root;
  for (const std::wstring& name : names) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += name;
  }
  return path;
}

std::wstring Join(std::wstring folder, std::wstring_view name) {
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder.append(name);
}

std::wstring SystemPath(const std::wstring& path) {
  if (path.size() < kLongPath || path.starts_with(L"\\\\?\\")) return path;
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

std::wstring FolderOf(std::wstring path, std::wstring_view name) {
  if (name == L"." || path.size() <= name.size()) return path;
  path.resize(path.size() - name.size());
  if (path.size() > 1 && path.back() == L'\\' && path[path.size() - 2] != L':' &&
      !path.ends_with(L"}\\")) {
    path.pop_back();
  }
  return path;
}

std::optional<std::wstring> WithLongName(std::wstring_view given, std::wstring_view longPath) {
  const std::size_t givenStart = LastNameStart(given);
  const std::wstring_view name = given.substr(givenStart);
  const std::wstring_view found = longPath.substr(LastNameStart(longPath));
  if (name == L"." || name == L".." || name.find(L':') != std::wstring_view::npos ||
      EqualsIgnoringCase(name, found)) {
    return std::nullopt;
  }
  return std::wstring(given.substr(0, givenStart)) + std::wstring(found);
}

}  // namespace snipforge::windows
