#include "engine/script_stream.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>
#include <limits>
#include <string>
#include <vector>

#include "engine/test_support.h"

namespace snipforge {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

#ifdef _WIN32
constexpr const wchar_t* kKilledRunVariable = L"SNIPFORGE_TEST_KILLED_RUN";

// The test program started again by the killed-run test, with the script's path in
// kKilledRunVariable: writes part of the script, says so on standard output, and waits to be
// killed. Run before main, so that the started copy runs no test.
const bool kKilledRunChild = [] {
  std::wstring path(32768, L'\0');
  const DWORD length =
      GetEnvironmentVariableW(kKilledRunVariable, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return false;
  path.resize(length);
  ScriptStream script;
  if (testing::CreateScript(script, testing::Utf8Of(path))) ExitProcess(1);
  script.WriteLine(std::string(3 << 20, 'x'));  // more than the buffer, so some is on disk
  if (WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), "n")) ExitProcess(1);
  Sleep(INFINITE);
  return true;
}();
#endif

TEST(ScriptNumberTest, SpaceBeforeZeroOrPositiveMinusBeforeNegative) {
  std::string text;
  for (const std::int64_t value : {std::int64_t{9}, std::int64_t{0}, std::int64_t{-1},
                                   std::int64_t{2147483647},
                                   std::numeric_limits<std::int64_t>::min()}) {
    AppendScriptNumber(text, value);
  }
  EXPECT_EQ(text, " 9 0-1 2147483647-9223372036854775808");
}

TEST(ScriptStreamTest, HoldsExactlyWhatWasWrittenWithCrLfLineEnds) {
  const testing::Written written = testing::WriteScript([](ScriptStream& script) {
    script.Write("a");
    script.Write("");
    script.WriteLine("b");
    script.WriteLine("");
    script.Write(std::string("\0\xff", 2));
  });
  EXPECT_EQ(written.error, "");
  EXPECT_EQ(written.bytes, std::string("ab\r\n\r\n\0\xff", 8));
}

TEST(ScriptStreamTest, LargeScriptsArriveWhole) {
  std::string expected;
  const testing::Written written = testing::WriteScript([&](ScriptStream& script) {
    for (int i = 0; i < 300000; ++i) {
      const std::string line = "trim(" + std::to_string(i) + ")";
      script.WriteLine(line);
      expected += line + "\r\n";
    }
  });
  EXPECT_EQ(written.error, "");
  EXPECT_EQ(written.bytes, expected);
}

TEST(ScriptStreamTest, ReplacesTheTargetOnlyOnClose) {
  TempDir dir;
  const std::string path = dir.File("clip.avs");
  WriteFile(path, "old script");
  {
    ScriptStream script;
    ASSERT_FALSE(testing::CreateScript(script, path));
    script.WriteLine("new");
    EXPECT_EQ(ReadFile(path), "old script");
    // The temporary file has no name, or one beside the target.
    EXPECT_EQ(dir.Names().size(), testing::UnnamedFilesIn(dir.path()) ? 1u : 2u);
    ASSERT_TRUE(script.Close().ok());
  }
  EXPECT_EQ(ReadFile(path), "new\r\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"clip.avs"});
}

TEST(ScriptStreamTest, AnUnclosedScriptLeavesNoTraceAndTheOldFileIntact) {
  TempDir dir;
  const std::string path = dir.File("clip.avs");
  WriteFile(path, "old script");
  {
    ScriptStream script;
    ASSERT_FALSE(testing::CreateScript(script, path));
    script.WriteLine(std::string(3 << 20, 'x'));  // more than the buffer, so some is on disk
  }
  EXPECT_EQ(ReadFile(path), "old script");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"clip.avs"});
}

#ifndef _WIN32
TEST(ScriptStreamTest, ARunKilledBeforeItClosesTheScriptLeavesTheOldOneAndNoFile) {
  TempDir dir;
  const std::string path = dir.File("clip.avs");
  WriteFile(path, "old script");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {  // writes part of a script, says so, and waits
    ScriptStream script;
    if (testing::CreateScript(script, path)) _exit(1);
    script.WriteLine(std::string(3 << 20, 'x'));  // more than the buffer, so some is on disk
    if (write(ready[1], "w", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char written = 0;
  const bool started = read(ready[0], &written, 1) == 1;
  close(ready[0]);
  kill(child, SIGKILL);
  int waited = 0;
  waitpid(child, &waited, 0);
  ASSERT_TRUE(started);
  EXPECT_EQ(ReadFile(path), "old script");
  const std::vector<std::string> names = dir.Names();
  if (testing::UnnamedFilesIn(dir.path())) {
    EXPECT_EQ(names, std::vector<std::string>{"clip.avs"});
  } else {  // where the file system has no unnamed files: one file of an unguessable name
    ASSERT_EQ(names.size(), 2u);
    const std::string& temp = names[0];
    EXPECT_TRUE(temp.size() == 47 && temp.rfind(".snipforge-", 0) == 0 &&
                temp.find_first_not_of("0123456789abcdef", 11) == 43 &&
                temp.compare(43, 4, ".tmp") == 0)
        << temp;
  }
}
#endif

#ifdef _WIN32
TEST(ScriptStreamTest, ARunKilledBeforeItClosesTheScriptLeavesTheOldOneAndNoFile) {
  TempDir dir;
  const std::string path = dir.File("clip.avs");
  WriteFile(path, "old script");
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherited, 0));
  const Handle ready(readEnd);
  Handle childOutput(writeEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size())));
  std::wstring commandLine = L"\"" + program + L"\" --gtest_list_tests";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(SetEnvironmentVariableW(kKilledRunVariable, testing::PathOf(path).c_str()));
  const bool started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                      0, nullptr, nullptr, &startup, &child);
  SetEnvironmentVariableW(kKilledRunVariable, nullptr);
  ASSERT_TRUE(started);
  childOutput.reset();
  const Handle process(child.hProcess);
  const Handle thread(child.hThread);
  char said = 0;
  DWORD got = 0;
  const bool wrote = ::ReadFile(readEnd, &said, 1, &got, nullptr) && got == 1 && said == 'n';
  TerminateProcess(child.hProcess, 9);
  WaitForSingleObject(child.hProcess, INFINITE);
  ASSERT_TRUE(wrote) << "the started copy wrote no script";
  EXPECT_EQ(ReadFile(path), "old script");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"clip.avs"});
}
#endif

TEST(ScriptStreamTest, TheLongestFileNameStillWorks) {
  TempDir dir;
  const std::string path = dir.File(std::string(251, 'n') + ".avs");
  ScriptStream script;
  ASSERT_FALSE(testing::CreateScript(script, path));
  script.WriteLine("x");
  ASSERT_TRUE(script.Close().ok());
  EXPECT_EQ(ReadFile(path), "x\r\n");
}

#ifndef _WIN32  // a file size limit stands for a full disk
TEST(ScriptStreamTest, AFailedWriteIsReportedAndLeavesTheOldScript) {
  TempDir dir;
  const std::string path = dir.File("clip.avs");
  WriteFile(path, "old script");
  // A limit on the size of files this process writes makes the disk look full.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1 << 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  {
    ScriptStream script;
    if (const std::error_code created = testing::CreateScript(script, path)) {
      error = created.message();
    } else {
      for (int i = 0; i < 4; ++i) script.WriteLine(std::string(1 << 20, 'x'));
      if (const Result<void> closed = script.Close(); !closed) error = closed.error();
    }
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(error, "cannot write out.avs: File too large");
  EXPECT_EQ(ReadFile(path), "old script");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"clip.avs"});
}
#endif

}  // namespace
}  // namespace snipforge
