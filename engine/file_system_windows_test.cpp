// What the file calls do on Windows beyond what every system shares: Windows paths and device
// names as the calls take them (windows_path_test.cpp reads their text on every system),
// attributes and DACLs, read-only and open scripts, and the folders held while a script is
// written.
// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "engine/conversion.h"
#include "engine/file_system.h"
#include "engine/test_support.h"
#include "engine/test_support_windows.h"

namespace snipforge {
namespace {

namespace fs = std::filesystem;
using testing::PathOf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::wstring WideOf(const std::string& utf8) { return PathOf(utf8).wstring(); }

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WideOf(path).c_str()); }

// What of a file's security descriptor `what` names, as SDDL text; empty when it cannot be read.
std::string SecurityOf(const std::string& path, SECURITY_INFORMATION what) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(WideOf(path).c_str(), SE_FILE_OBJECT, what, nullptr, nullptr, nullptr,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  std::string text;
  char* sddl = nullptr;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, what,
                                                           &sddl, nullptr)) {
    text = sddl;
    LocalFree(sddl);
  }
  LocalFree(descriptor);
  return text;
}

// Gives a file the owner and DACL of an SDDL text (either may be left out); the Windows error
// when that fails.
DWORD SetSecurity(const std::string& path, const std::string& text) {
  testing::Sddl sddl;
  if (const DWORD error = testing::ParseSddl(text, sddl)) return error;
  SECURITY_INFORMATION what = 0;
  if (sddl.owner != nullptr) what |= OWNER_SECURITY_INFORMATION;
  if (sddl.hasDacl) {
    what |= DACL_SECURITY_INFORMATION | (sddl.isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                          : UNPROTECTED_DACL_SECURITY_INFORMATION);
  }
  std::wstring wide = WideOf(path);
  return SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, what, sddl.owner, nullptr, sddl.dacl,
                               nullptr);
}

TEST(WindowsPathTest, BackslashesDeviceNamesAndNamesNoFileCanHave) {
  TempDir dir;
  fs::create_directories(dir.path() / "a" / "b");
  fs::create_directories(dir.path() / PathOf("\xc3\xa9t\xc3\xa9"));
  const std::error_code none;
  const std::error_code device = FileRefusal::kNotRegularFile;
  const std::error_code missing = std::make_error_code(std::errc::no_such_file_or_directory);
  const struct {
    std::string path;
    std::error_code error;
    std::string folder;  // the folder reached, relative to dir
    std::string name;
  } cases[] = {
      {"a\\b\\out.avs", none, "a/b", "out.avs"},
      {"a/b\\..\\b/out.avs", none, "a/b", "out.avs"},
      {"a\\b\\", none, "a/b", "."},
      {"\xc3\xa9t\xc3\xa9\\\xe6\x97\xa5\xe6\x9c\xac.avs", none, "\xc3\xa9t\xc3\xa9",
       "\xe6\x97\xa5\xe6\x9c\xac.avs"},
      {"a\\out.avs. ", none, "a", "out.avs"},  // Windows drops trailing points and blanks
      {"a\\x<y>.avs", none, "a", "x<y>.avs"},  // a name no file can have is simply not there
      {"a\\x?y\\out.avs", missing, "", ""},
      {"a\\out.avs:stream", none, "a", "out.avs:stream"},
      // Which names are devices' is windows_path_test.cpp's, on every system.
      {"aux.avs", device, "", ""},
      {"a\\NUL", device, "", ""},
      {"a\\console.avs", none, "a", "console.avs"},
  };
  for (const auto& c : cases) {
    ResolvedPath resolved;
    EXPECT_EQ(resolved.Resolve(dir.File(c.path)), c.error) << c.path;
    if (c.error) continue;
    EXPECT_EQ(resolved.name(), c.name) << c.path;
    ResolvedPath expected;
    ASSERT_FALSE(expected.Resolve(dir.File(c.folder) + "/")) << c.folder;
    EXPECT_EQ(resolved.FolderId(), expected.FolderId()) << c.path;
  }
  // A list that no file can be, and a script that none can be.
  InputFile input;
  EXPECT_EQ(input.Open(dir.File("a\\x<y>.txt")), missing);
  ReplacementFile script;
  EXPECT_EQ(script.Create(dir.File("a\\out.avs:stream"), {}),
            std::make_error_code(std::errc::invalid_argument));
  EXPECT_EQ(input.Open(dir.File("a\\com1.txt")), device);
  EXPECT_EQ(script.Create("nul", {}), device);
}

// A named pipe's name, in any of the forms the system takes, connects to no one: opening a pipe
// connects to the program that serves it, so every form is refused before anything is opened,
// and whatever is opened is refused unless it is a disk's file.
TEST(WindowsPathTest, NoPipeIsConnectedToByAnyName) {
  const std::wstring name = L"snipforge-test-" + std::to_wstring(GetCurrentProcessId());
  const HANDLE server = CreateNamedPipeW((L"\\\\.\\pipe\\" + name).c_str(), PIPE_ACCESS_DUPLEX,
                                         PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  // True when a client has connected since the last look: the pipe then leaves listening.
  const auto connected = [server] {
    const bool listening =
        !ConnectNamedPipe(server, nullptr) && GetLastError() == ERROR_PIPE_LISTENING;
    if (!listening) DisconnectNamedPipe(server);
    return !listening;
  };
  ASSERT_FALSE(connected());
  const std::string pipe(name.begin(), name.end());
  const std::string names[] = {
      "\\\\?\\pipe\\" + pipe, "\\\\.\\pipe\\" + pipe, "//?/pipe/" + pipe, "//./pipe/" + pipe,
      "\\\\?\\UNC\\.\\pipe\\" + pipe, "\\\\?\\GLOBALROOT\\Device\\NamedPipe\\" + pipe,
      "\\\\localhost\\PIPE\\" + pipe, "\\\\?\\UNC\\localhost\\pipe\\" + pipe};
  for (const std::string& path : names) {
    InputFile input;
    EXPECT_EQ(input.Open(path), FileRefusal::kNotRegularFile) << path;
    EXPECT_FALSE(connected()) << path;
    EXPECT_EQ(testing::Replace(path), FileRefusal::kNotRegularFile) << path;
    EXPECT_FALSE(connected()) << path;
  }
  // A drive letter for the pipes' own file system, where the system allows one: only the type of
  // what is opened tells, at the drive's root (wine makes the letter but leads it nowhere).
  if (DefineDosDeviceW(DDD_RAW_TARGET_PATH, L"P:", L"\\Device\\NamedPipe")) {
    InputFile input;
    EXPECT_TRUE(input.Open("P:\\" + pipe));
    EXPECT_TRUE(testing::Replace("P:\\" + pipe));
    EXPECT_FALSE(connected());
    DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, L"P:", nullptr);
  }
  // The look itself sees a connection.
  const HANDLE client = CreateFileW((L"\\\\.\\pipe\\" + name).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(client, INVALID_HANDLE_VALUE);
  CloseHandle(client);
  EXPECT_TRUE(connected());
  CloseHandle(server);
}

// A list named by its short name gets the script of its long name; the folders stay as written.
TEST(WindowsPathTest, AShortNameIsTurnedIntoItsLongName) {
  TempDir dir;
  const std::string list = dir.File("my long list name.txt");
  WriteFile(list, "5\n");
  std::wstring shortName(MAX_PATH, L'\0');
  shortName.resize(GetShortPathNameW(WideOf(list).c_str(), shortName.data(), MAX_PATH));
  const std::string shortPath = testing::Utf8Of(fs::path(shortName));
  if (shortName.empty() || shortPath.ends_with("my long list name.txt")) {
    GTEST_SKIP() << "this volume makes no short names";
  }
  const std::string folder = shortPath.substr(0, shortPath.rfind('\\') + 1);
  EXPECT_EQ(LongPathName(shortPath), folder + "my long list name.txt");
  EXPECT_EQ(LongPathName(list), list);
  EXPECT_EQ(LongPathName(dir.File("missing.txt")), dir.File("missing.txt"));
}

TEST(WindowsPathTest, PathsLongerThan260CharactersWork) {
  TempDir dir;
  const std::string folder = dir.File(std::string(120, 'x') + "\\\xc3\xa9" + std::string(120, 'y'));
  fs::create_directories(PathOf(folder));
  const std::string path = folder + "\\" + std::string(100, 'z') + ".avs";
  ASSERT_GT(path.size(), 300u);
  ReplacementFile file;
  ASSERT_FALSE(file.Create(path, {}));
  ASSERT_FALSE(file.Write("new"));
  ASSERT_FALSE(file.Commit().error);
  InputFile input;
  ASSERT_FALSE(input.Open(path));
  std::string read(8, '\0');
  EXPECT_EQ(input.ReadAt(0, read.data(), read.size()).bytes, 3u);
  EXPECT_EQ(read.substr(0, 3), "new");
  // Listed by the system itself: GCC 12's std::filesystem cannot list a folder this deep.
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((L"\\\\?\\" + WideOf(folder) + L"\\*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  EXPECT_EQ(names, std::vector<std::wstring>{std::wstring(100, L'z') + L".avs"});
}

TEST(WindowsReplacementTest, AttributesCarryOverAReadOnlyOrOpenScriptIsLeftAsItIs) {
  const DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
  const DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const struct {
    std::string name;
    DWORD attributes;  // of the old script
    DWORD share;       // another program's sharing while it holds the script; 0: not open
    std::error_code error;
    DWORD kept;  // of the attributes, those the script has afterwards
  } cases[] = {
      {"plain", FILE_ATTRIBUTE_NORMAL, 0, {}, 0},
      {"hidden", kHidden, 0, {}, kHidden},
      {"hidden and system", kHiddenSystem, 0, {}, kHiddenSystem},
      {"read-only", FILE_ATTRIBUTE_READONLY, 0, FileRefusal::kReadOnly, FILE_ATTRIBUTE_READONLY},
      {"open, shared for reading only", FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ,
       FileRefusal::kInUse, 0},
      {"open, shared for reading and writing", FILE_ATTRIBUTE_NORMAL,
       FILE_SHARE_READ | FILE_SHARE_WRITE, FileRefusal::kInUse, 0},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.File("out.avs");
    WriteFile(path, "old");
    ASSERT_TRUE(SetFileAttributesW(WideOf(path).c_str(), c.attributes)) << c.name;
    Handle holder;
    if (c.share != 0) {
      holder = Handle(CreateFileW(WideOf(path).c_str(), GENERIC_READ, c.share, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(holder.get() != INVALID_HANDLE_VALUE) << c.name;
    }
    EXPECT_EQ(testing::Replace(path), c.error) << c.name;
    holder.reset();
    const DWORD attributes = AttributesOf(path);
    EXPECT_EQ(attributes & (kHiddenSystem | FILE_ATTRIBUTE_READONLY), c.kept) << c.name;
    SetFileAttributesW(WideOf(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFile(path), c.error ? "old" : "new") << c.name;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.avs"}) << c.name;
  }
}

TEST(WindowsReplacementTest, TheUsersOwnScriptPassesOnItsDaclAnothersDoesNot) {
  const std::string user = testing::UserSid();
  ASSERT_FALSE(user.empty());
  const std::string own = "D:P(A;;FA;;;SY)(A;;FA;;;" + user + ")";
  const struct {
    const char* name;
    std::string security;  // given to the old script
    bool lent;             // the new script has the old one's DACL, else a new file's
  } cases[] = {
      // Wine keeps no more of a file's DACL than its mode can say, and lets a DACL widen the
      // mode but not narrow it: only this case tells a lent DACL from a new file's there.
      {"the user's, open to everyone", "D:P(A;;FA;;;SY)(A;;FA;;;" + user + ")(A;;FA;;;WD)",
       true},
      {"the user's, closed to everyone else", own, true},
      {"the Administrators'", "O:BA" + own, false},
  };
  int tried = 0;
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.File("out.avs");
    WriteFile(path, "old");
    WriteFile(dir.File("new.avs"), "");
    const std::string fresh = SecurityOf(dir.File("new.avs"), DACL_SECURITY_INFORMATION);
    const DWORD error = SetSecurity(path, c.security);
    const std::string old = SecurityOf(path, DACL_SECURITY_INFORMATION);
    if (error != ERROR_SUCCESS || old == fresh ||
        (c.security.starts_with("O:") &&
         SecurityOf(path, OWNER_SECURITY_INFORMATION) == "O:" + user)) {
      std::cout << "skipped, " << c.name << ": a file cannot be given this DACL or owner here"
                << (error != ERROR_SUCCESS ? " (error " + std::to_string(error) + ")"
                                           : " (wine 8 keeps neither)")
                << "\n";
      continue;
    }
    ++tried;
    ReplacementFile file;
    ASSERT_FALSE(file.Create(path, {})) << c.name;
    ASSERT_FALSE(file.Write("new")) << c.name;
    ASSERT_FALSE(file.Commit().error) << c.name;
    EXPECT_EQ(SecurityOf(path, DACL_SECURITY_INFORMATION), c.lent ? old : fresh) << c.name;
  }
  if (tried == 0) GTEST_SKIP() << "no case could be set up";
}

TEST(WindowsReplacementTest, ARunSaysWhichScriptIsOpenOrReadOnly) {
  TempDir dir;
  ControlValues controls;
  controls.tInput = dir.File("frames.txt");
  controls.tOutput = dir.File("out.avs");
  WriteFile(controls.tInput, "10\n");
  WriteFile(controls.tOutput, "old");
  {
    const Handle holder(CreateFileW(WideOf(controls.tOutput).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(RunConversion(controls).message,
              "cannot write out.avs: another program has it open; close it there and try again");
  }
  SetFileAttributesW(WideOf(controls.tOutput).c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RunConversion(controls).message, "cannot write out.avs: it is read-only");
  SetFileAttributesW(WideOf(controls.tOutput).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFile(controls.tOutput), "old");
  // A list held open by a program that shares it for reading is read as usual.
  const Handle reader(CreateFileW(WideOf(controls.tInput).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(RunConversion(controls).ok);
  EXPECT_EQ(ReadFile(controls.tOutput), "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11,0)\r\n");
}

TEST(WindowsReplacementTest, NoFolderOnThePathCanBeRenamedWhileTheScriptIsWritten) {
  TempDir dir;
  fs::create_directories(dir.path() / "a" / "b");
  {
    ReplacementFile file;
    ASSERT_FALSE(file.Create(dir.File("a/b/out.avs"), {}));
    ASSERT_FALSE(file.Write("new"));
    for (const char* folder : {"a", "a/b"}) {
      EXPECT_FALSE(MoveFileW(WideOf(dir.File(folder)).c_str(), WideOf(dir.File("moved")).c_str()))
          << folder;
    }
    ASSERT_FALSE(file.Commit().error);
  }
  EXPECT_EQ(ReadFile(dir.File("a/b/out.avs")), "new");
  // Released with the file: the folders may be renamed again.
  EXPECT_TRUE(MoveFileW(WideOf(dir.File("a")).c_str(), WideOf(dir.File("moved")).c_str()));
}

TEST(WindowsReplacementTest, LinksOnThePathBelongToTheUser) {
  TempDir dir;
  fs::create_directories(dir.path() / "real");
  WriteFile(dir.File("real/frames.txt"), "1\n");
  const std::wstring link = WideOf(dir.File("link"));
  CreateSymbolicLinkW(link.c_str(), WideOf(dir.File("real")).c_str(),
                      SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  const DWORD attributes = GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    GTEST_SKIP() << "symbolic links: wine 8 reports success and makes none";
  }
  // The user's own link is followed; what it reaches is the file itself.
  InputFile input;
  ASSERT_FALSE(input.Open(dir.File("link/frames.txt")));
  InputFile real;
  ASSERT_FALSE(real.Open(dir.File("real/frames.txt")));
  EXPECT_EQ(input.info().id, real.info().id);
  ReplacementFile file;
  ASSERT_FALSE(file.Create(dir.File("link/out.avs"), {}));
  ASSERT_FALSE(file.Write("new"));
  ASSERT_FALSE(file.Commit().error);
  EXPECT_EQ(ReadFile(dir.File("real/out.avs")), "new");
}

}  // namespace
}  // namespace snipforge
