#include "engine/script_stream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(ScriptNumberTest, SpaceBeforeZeroOrPositiveMinusBeforeNegative) {
  const struct {
    double value;
    std::string text;
  } cases[] = {
      {9, " 9"},
      {0, " 0"},
      {-0.0, " 0"},
      {-1, "-1"},
      {2147483647, " 2147483647"},
      {-2147483649.0, "-2147483649"},
      {2.5, " 2.5"},
      {-0.5, "-0.5"},
      {0.1, " 0.1"},
      {0.1 + 0.2, " 0.30000000000000004"},
      {1e-7, " 0.0000001"},
      {1e20, " 100000000000000000000"},
      {-1.25e-3, "-0.00125"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScriptNumber(c.value), c.text) << c.value;
  }
  std::string text;
  AppendScriptNumber(text, std::numeric_limits<std::int64_t>::min());
  AppendScriptNumber(text, std::int64_t{12});
  EXPECT_EQ(text, "-9223372036854775808 12");
}

TEST(ScriptStreamTest, HoldsExactlyWhatWasWrittenWithCrLfLineEnds) {
  const testing::Written written = testing::WriteScript([](ScriptStream& script) -> StepError {
    script.Write("a");
    script.Write("");
    script.WriteLine("b");
    script.WriteLine("");
    script.Write(std::string("\0\xff", 2));
    return std::nullopt;
  });
  EXPECT_FALSE(written.error);
  EXPECT_EQ(written.bytes, std::string("ab\r\n\r\n\0\xff", 8));
}

TEST(ScriptStreamTest, LargeScriptsArriveWhole) {
  std::string expected;
  const testing::Written written = testing::WriteScript([&](ScriptStream& script) -> StepError {
    for (int i = 0; i < 300000; ++i) {
      const std::string line = "trim(" + std::to_string(i) + ")";
      script.WriteLine(line);
      expected += line + "\r\n";
    }
    return std::nullopt;
  });
  EXPECT_FALSE(written.error);
  EXPECT_EQ(written.bytes, expected);
}

TEST(ScriptStreamTest, ReplacesTheTargetOnlyOnClose) {
  TempDir dir;
  const std::string path = dir.File("clip.avs");
  WriteFile(path, "old script");
  {
    ScriptStream script;
    ASSERT_FALSE(script.Create(path));
    script.WriteLine("new");
    EXPECT_EQ(ReadFile(path), "old script");
    // The temporary file has no name, or one beside the target.
    EXPECT_EQ(dir.Names().size(), script.unnamed() ? 1u : 2u);
    ASSERT_FALSE(script.Close());
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
    ASSERT_FALSE(script.Create(path));
    script.WriteLine(std::string(3 << 20, 'x'));  // more than the buffer, so some is on disk
  }
  EXPECT_EQ(ReadFile(path), "old script");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"clip.avs"});
}

TEST(ScriptStreamTest, ARunKilledBeforeItClosesTheScriptLeavesTheOldOneAndNoFile) {
  for (const bool allowUnnamed : {true, false}) {
    TempDir dir;
    const std::string path = dir.File("clip.avs");
    WriteFile(path, "old script");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {  // writes part of a script, says which kind of file holds it, and waits
      AllowUnnamedTemporaryFiles(allowUnnamed);
      ScriptStream script;
      if (script.Create(path)) _exit(1);
      script.WriteLine(std::string(3 << 20, 'x'));  // more than the buffer, so some is on disk
      const char kind = script.unnamed() ? 'u' : 'n';
      if (write(ready[1], &kind, 1) != 1) _exit(1);
      pause();
      _exit(0);
    }
    close(ready[1]);
    char kind = 0;
    const bool started = read(ready[0], &kind, 1) == 1;
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(started);
    EXPECT_EQ(ReadFile(path), "old script");
    const std::vector<std::string> names = dir.Names();
    if (kind == 'u') {
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
}

TEST(ScriptStreamTest, TheLongestFileNameStillWorks) {
  TempDir dir;
  const std::string path = dir.File(std::string(251, 'n') + ".avs");
  ScriptStream script;
  ASSERT_FALSE(script.Create(path));
  script.WriteLine("x");
  ASSERT_FALSE(script.Close());
  EXPECT_EQ(ReadFile(path), "x\r\n");
}

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
  StepError error;
  {
    ScriptStream script;
    error = script.Create(path);
    if (!error) {
      for (int i = 0; i < 4; ++i) script.WriteLine(std::string(1 << 20, 'x'));
      error = script.Close();
    }
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(error, "cannot write clip.avs: File too large");
  EXPECT_EQ(ReadFile(path), "old script");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"clip.avs"});
}

TEST(ScriptStreamTest, ALinkIsFollowedToTheScriptItNames) {
  TempDir dir;
  const std::string script = dir.File("script.avs");
  WriteFile(script, "old");
  std::filesystem::create_symlink(script, dir.File("link.avs"));
  ScriptStream stream;
  ASSERT_FALSE(stream.Create(dir.File("link.avs")));
  stream.WriteLine("new");
  ASSERT_FALSE(stream.Close());
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.avs")));
  EXPECT_EQ(ReadFile(script), "new\r\n");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"link.avs", "script.avs"}));
}

TEST(ScriptStreamTest, PathsThatCannotBeWrittenFailAndLeaveNothing) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "folder.avs");
  ASSERT_EQ(mkfifo(dir.File("pipe.avs").c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string message;
  } cases[] = {
      {"", "enter the name of the output file"},
      {dir.File("folder.avs"), "cannot write folder.avs: it is a folder"},
      {dir.File("missing/out.avs"), "cannot write out.avs: No such file or directory"},
      {dir.File("pipe.avs"), "cannot write pipe.avs: it is not a regular file"},
  };
  for (const auto& c : cases) {
    ScriptStream script;
    EXPECT_EQ(script.Create(c.path), c.message) << c.path;
  }
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"folder.avs", "pipe.avs"}));
}

}  // namespace
}  // namespace snipforge
