// How the text of a Windows path is read, on every system: the file calls on Windows
// (file_system_windows_test.cpp) rest on it.
#include "engine/windows_path.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>

#include "engine/file_system.h"

namespace snipforge::windows {
namespace {

std::string Narrow(std::wstring_view wide) { return {wide.begin(), wide.end()}; }

TEST(WindowsPathTextTest, DeviceNamesAndNamesNoFileCanHave) {
  const struct {
    std::wstring name;
    bool device;
    bool possible;
  } cases[] = {
      {L"aux.avs", true, true},
      {L"NUL", true, true},
      {L"com1.txt", true, true},
      {L"Con .avs", true, true},  // blanks before the extension do not count
      {L"lpt9", true, true},
      {L"COM\u00b9", true, true},
      {L"conout$.txt", true, true},
      {L"nul:stream", true, false},
      {L"console.avs", false, true},
      {L"com10.avs", false, true},
      {L"lpt", false, true},
      {L"\u00e9t\u00e9.avs", false, true},
      {L"x<y>.avs", false, false},
      {L"out.avs:stream", false, false},
      {L"a\u0001b", false, false},
      {L"what?", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsDeviceName(c.name), c.device) << Narrow(c.name);
    EXPECT_EQ(IsPossibleName(c.name), c.possible) << Narrow(c.name);
  }
}

// Every way the system has of writing a pipe's or a device's name is refused by its text, before
// anything is opened: opening a pipe connects to the program that serves it.
TEST(WindowsPathTextTest, FullAndVerbatimPathsSplitIntoRootAndNamesDevicesAndPipesNever) {
  const std::error_code none;
  const std::error_code device = FileRefusal::kNotRegularFile;
  const std::error_code noRoot = std::make_error_code(std::errc::no_such_file_or_directory);
  const struct {
    std::wstring path;
    bool verbatim;  // given to SplitVerbatim, else to SplitFull
    std::error_code error;
    std::wstring root;
    std::deque<std::wstring> names;
  } cases[] = {
      {L"C:\\a\\b", false, none, L"C:\\", {L"a", L"b"}},
      {L"C:/a//b/", false, none, L"C:\\", {L"a", L"b"}},
      {L"C:", false, none, L"C:\\", {}},
      {L"\\\\server\\share\\a", false, none, L"\\\\server\\share\\", {L"a"}},
      {L"//server//share", false, none, L"\\\\server\\share\\", {}},
      {L"\\\\server", false, noRoot, L"", {}},
      {L"a\\b", false, noRoot, L"", {}},
      {L"\\\\.\\C:\\a", false, device, L"", {}},
      {L"\\\\.\\pipe\\p", false, device, L"", {}},
      {L"\\\\?\\pipe\\p", false, device, L"", {}},
      {L"\\\\localhost\\PIPE\\p", false, device, L"", {}},
      {L"\\\\server\\MailSlot\\m", false, device, L"", {}},
      {L"\\\\?\\C:\\a\\..\\b\\.\\c", true, none, L"C:\\", {L"b", L"c"}},
      {L"\\??\\C:\\a", true, none, L"C:\\", {L"a"}},
      {L"\\\\?\\UNC\\server\\share\\a", true, none, L"\\\\server\\share\\", {L"a"}},
      {L"\\\\?\\Volume{5a1}\\a\\b", true, none, L"\\\\?\\Volume{5a1}\\", {L"a", L"b"}},
      {L"\\\\?\\pipe\\p", true, device, L"", {}},
      {L"\\\\?\\GLOBALROOT\\Device\\NamedPipe\\p", true, device, L"", {}},
      {L"\\\\?\\UNC\\.\\pipe\\p", true, device, L"", {}},
      {L"\\\\?\\UNC\\localhost\\pipe\\p", true, device, L"", {}},
      {L"\\\\?\\CONIN$", true, device, L"", {}},
  };
  for (const auto& c : cases) {
    SplitPath split;
    EXPECT_EQ(c.verbatim ? SplitVerbatim(c.path, split) : SplitFull(c.path, split), c.error)
        << Narrow(c.path);
    if (c.error) continue;
    EXPECT_EQ(split.root, c.root) << Narrow(c.path);
    EXPECT_EQ(split.names, c.names) << Narrow(c.path);
  }
  // Which of the two a path is, and the device namespace that neither reaches.
  EXPECT_TRUE(IsVerbatim(L"\\\\?\\C:\\a") && IsVerbatim(L"\\??\\C:\\a"));
  EXPECT_FALSE(IsVerbatim(L"//?/C:/a") || IsVerbatim(L"\\\\.\\C:\\a"));
  EXPECT_TRUE(IsLocalDevicePath(L"\\\\.\\pipe\\p") && IsLocalDevicePath(L"//./pipe/p"));
  EXPECT_FALSE(IsLocalDevicePath(L"\\\\?\\C:\\a") || IsLocalDevicePath(L"\\\\server\\share"));
}

TEST(WindowsPathTextTest, FoldersLongPathsAndTheEndOfAPath) {
  const struct {
    std::wstring path;
    bool endsInFolder;
  } ends[] = {
      {L"clips\\", true}, {L"clips/.", true},     {L"clips\\..", true}, {L"C:", true},
      {L"\\", true},      {L"clips\\a", false},   {L"a.avs", false},    {L"C:a", false},
  };
  for (const auto& c : ends) EXPECT_EQ(EndsInFolder(c.path), c.endsInFolder) << Narrow(c.path);

  const std::wstring shortest(kLongPath - 4, L'x');  // with "C:\", one short of the long form
  const struct {
    std::wstring path;
    std::wstring system;
  } longPaths[] = {
      {L"C:\\" + shortest, L"C:\\" + shortest},
      {L"C:\\" + shortest + L"y", L"\\\\?\\C:\\" + shortest + L"y"},
      {L"\\\\server\\share\\" + shortest, L"\\\\?\\UNC\\server\\share\\" + shortest},
      {L"\\\\?\\C:\\" + shortest + L"y", L"\\\\?\\C:\\" + shortest + L"y"},
  };
  for (const auto& c : longPaths) EXPECT_EQ(SystemPath(c.path), c.system) << Narrow(c.path);

  const struct {
    std::wstring path;
    std::wstring name;
    std::wstring folder;
  } folders[] = {
      {L"C:\\a\\out.avs", L"out.avs", L"C:\\a"},
      {L"C:\\out.avs", L"out.avs", L"C:\\"},
      {L"\\\\server\\share\\out.avs", L"out.avs", L"\\\\server\\share"},
      {L"\\\\?\\Volume{5a1}\\out.avs", L"out.avs", L"\\\\?\\Volume{5a1}\\"},
      {L"C:\\a", L".", L"C:\\a"},
  };
  for (const auto& c : folders) {
    EXPECT_EQ(FolderOf(c.path, c.name), c.folder) << Narrow(c.path);
    if (c.name != L".") {
      EXPECT_EQ(Join(c.folder, c.name), c.path) << Narrow(c.path);
    }
  }
}

// The script's name comes from a list's long name, never its short one; the folders stay as
// they were written.
TEST(WindowsPathTextTest, AShortLastNameGivesWayToTheLongOne) {
  const struct {
    std::wstring given;
    std::wstring found;  // the long path the system found
    std::optional<std::wstring> named;
  } cases[] = {
      {L"C:\\x\\MYLIST~1.TXT", L"C:\\x\\my long list.txt", L"C:\\x\\my long list.txt"},
      {L"C:\\PROGRA~1\\MYLIST~1.TXT", L"C:\\Program Files\\my list.txt",
       L"C:\\PROGRA~1\\my list.txt"},
      {L"MYLIST~1.TXT", L"C:\\work\\my list.txt", L"my list.txt"},
      {L"C:\\x\\List.TXT", L"C:\\x\\list.txt", std::nullopt},
      {L"C:\\x\\..", L"C:\\", std::nullopt},
      {L"C:\\x\\a.txt:s", L"C:\\x\\a.txt:s", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(WithLongName(c.given, c.found), c.named) << Narrow(c.given);
}

}  // namespace
}  // namespace snipforge::windows
