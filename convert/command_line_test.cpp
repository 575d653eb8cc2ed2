#include "convert/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace snipforge {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A frame list with text before, between and after its numbers.
constexpr const char* kList = "clip one\n10\n11\nnote\n20\nend\n";
// Its script with the start values.
constexpr const char* kScript = "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 12, 19)++\\\r\ntrim( 21,0)\r\n";

class CommandLineTest : public ::testing::Test {
 protected:
  struct Result {
    int exitCode;
    std::string out;
    std::string errors;
  };

  void SetUp() override {
    WriteFile(dir_.File("good.txt"), kList);
    WriteFile(dir_.File("words.txt"), "no numbers here\n");
    WriteFile(dir_.File("list.avs"), kList);
  }

  // A path in the test's folder.
  std::string In(const std::string& name) const { return dir_.File(name); }
  // The arguments with every "@name" turned into the path of that name in the test's folder.
  std::string Expand(std::string text) const {
    for (std::size_t at; (at = text.find('@')) != std::string::npos;) {
      const std::size_t end = text.find_first_of(": ", at);
      const std::string name = text.substr(at + 1, end == std::string::npos ? end : end - at - 1);
      text.replace(at, name.size() + 1, In(name));
    }
    return text;
  }
  Result Run(const std::vector<std::string>& arguments,
             NativeHandle input = kNoHandle, NativeHandle output = kNoHandle) {
    std::vector<std::string> expanded;
    for (const std::string& argument : arguments) expanded.push_back(Expand(argument));
    std::ostringstream out, errors;
    const int exitCode = RunCommandLine(expanded, stores_, {out, errors, input, output});
    return {exitCode, out.str(), errors.str()};
  }

  TempDir dir_;
  StoreLocations stores_{{dir_.File("machine/settings.ini"), StoreOwner::kMachine},
                         {dir_.File("user/settings.ini"), StoreOwner::kUser},
                         false};
};

TEST_F(CommandLineTest, OptionsSetTheWindowsControls) {
  const struct {
    std::vector<std::string> options;
    std::string script;
  } cases[] = {
      {{}, kScript},
      {{"--offset-before", "2", "--offset-after=1", "--min-length", "7", "--exclude-offset",
        "1", "--append-before-good", "G=", "--frame-number", "--include-text"},
       "clip one\r\nnote\r\nshowframenumber\r\nG=Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 21,0)\r\n"
       "end\r\n"},
      {{"--no-good", "--bad", "--context", "1", "--black", "2", "--append-before-bad", "B=",
        "--append-to-bad", "X", "--append-to-good", "Y"},
       "B=trim( 8, 9).Y++trim( 10, 11).X++trim( 12, 13).Y++Trim(0,- 2).blankclip++\\\r\n"
       "trim( 18, 19).Y++trim( 20, 20).X++trim( 21, 22).Y++Trim(0,- 2).blankclip\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"-o", "@cli.avs", "--", "@good.txt"});
    const Result result = Run(arguments);
    EXPECT_EQ(result.exitCode, kAllConverted);
    EXPECT_EQ(result.out + result.errors, "") << "quiet on success";
    EXPECT_EQ(ReadFile(In("cli.avs")), c.script) << c.options.size() << " options";
  }
}

TEST_F(CommandLineTest, ExitStatusSaysWhetherEveryListWasConverted) {
  const std::vector<std::string> untouched = {"good.txt", "list.avs", "words.txt"};
  const std::vector<std::string> converted = {"good.avs", "good.txt", "list.avs", "words.txt"};
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
    std::string errors;  // for a usage error, its first line
    std::vector<std::string> files;
  } cases[] = {
      {{"@good.txt"}, kAllConverted, "", converted},
      {{"@missing.txt", "@good.txt"}, kSomeFailed,
       "@missing.txt: invalid filename: missing.txt: no such file\n", converted},
      {{"@words.txt", "@good.txt"}, kSomeFailed,
       "@words.txt: no frame numbers in words.txt\n", converted},
      {{"@list.avs"}, kSomeFailed,
       "@list.avs: the script would replace the list; name another output file\n", untouched},
      {{"--output=@good.txt", "@good.txt"}, kSomeFailed,
       "@good.txt: the script would replace the list; name another output file\n", untouched},
      {{"--nope", "@good.txt"}, kUsageError, "snipforge-convert: unknown option --nope",
       untouched},
      {{"-x", "@good.txt"}, kUsageError, "snipforge-convert: unknown option -x", untouched},
      {{"--offset-before", "7a", "@good.txt"}, kUsageError,
       "snipforge-convert: --offset-before takes a number, not \"7a\"", untouched},
      {{"--context=", "@good.txt"}, kUsageError,
       "snipforge-convert: --context takes a number, not \"\"", untouched},
      {{"--good=1", "@good.txt"}, kUsageError, "snipforge-convert: --good takes no value",
       untouched},
      {{"--format", "csv", "@good.txt"}, kUsageError,
       "snipforge-convert: --format takes plain or auto, not \"csv\"", untouched},
      {{"@good.txt", "--black"}, kUsageError, "snipforge-convert: --black needs a value",
       untouched},
      {{"-o", "@out.avs", "@good.txt", "@words.txt"}, kUsageError,
       "snipforge-convert: --output takes one LIST only", untouched},
      {{"--bad"}, kUsageError, "snipforge-convert: no LIST given", untouched},
      {{"-"}, kUsageError,
       "snipforge-convert: the LIST - (standard input) needs --output FILE, or -o - for "
       "standard output",
       untouched},
      // Values no list could be converted with stop the run before any list is read.
      {{"--offset-before", "-3", "@missing.txt"}, kUsageError,
       "snipforge-convert: frames to cut before bad frames \"-3\" must be 0 or more", untouched},
      {{"--offset-after", "2.5", "@good.txt"}, kUsageError,
       "snipforge-convert: frames to cut after bad frames \"2.5\" must be a whole number",
       untouched},
      {{"--offset-after", "99999999999", "@good.txt"}, kUsageError,
       "snipforge-convert: frames to cut after bad frames \"99999999999\" is out of range (the "
       "largest is 2147483647)",
       untouched},
      {{"--min-length", "-1", "@good.txt"}, kUsageError,
       "snipforge-convert: minimum length of good parts \"-1\" must be 0 or more", untouched},
      {{"--bad", "--no-good", "--black", "1.5", "@good.txt"}, kUsageError,
       "snipforge-convert: number of black frames \"1.5\" must be a whole number", untouched},
      {{"--context", "40000", "@good.txt"}, kUsageError,
       "snipforge-convert: number of good frames \"40000\" is out of range (-32768 to 32767)",
       untouched},
      {{"--no-good", "@good.txt"}, kUsageError,
       "snipforge-convert: nothing to write: tick \"Output Goodframes\" or \"Output Badframes\"",
       untouched},
      {{"--bad", "@good.txt"}, kUsageError, "snipforge-convert: name the good part: with both "
       "expressions in one script, begin the good part's \"Append before trim\" with a name "
       "such as Good= and end the script with the name of the expression to play", untouched},
      // Fine for some lists: decided list by list.
      {{"--no-good", "--include-text", "@words.txt"}, kSomeFailed,
       "@words.txt: no frame numbers in words.txt\n", untouched},
      {{"--offset-before", "-3", "--no-good", "--bad", "@good.txt"}, kAllConverted, "",
       converted},
  };
  for (const auto& c : cases) {
    fs::remove(In("good.avs"));
    const Result result = Run(c.arguments);
    const std::string label = c.arguments.front() + " " + c.arguments.back();
    EXPECT_EQ(result.exitCode, c.exitCode) << label;
    const std::string errors = c.exitCode == kUsageError
                                   ? result.errors.substr(0, result.errors.find('\n'))
                                   : result.errors;
    EXPECT_EQ(errors, Expand(c.errors)) << label;
    EXPECT_EQ(result.out, "") << label;
    EXPECT_EQ(dir_.Names(), c.files) << label;
  }
  EXPECT_EQ(ReadFile(In("list.avs")), kList);
}

TEST_F(CommandLineTest, FrameNumbersOutOfRangeFailThatListOnly) {
  WriteFile(In("end.txt"), "5\n2147483647\n");
  const Result result = Run({"@end.txt", "@good.txt"});
  EXPECT_EQ(result.exitCode, kSomeFailed);
  EXPECT_EQ(result.errors,
            In("end.txt") + ": frame 2147483647 on line 2 is out of range: with frames to cut "
                            "after bad frames \"0\" the good part would go on beyond it (the "
                            "largest is 2147483647)\n");
  EXPECT_EQ(ReadFile(In("good.avs")), kScript);
}

TEST_F(CommandLineTest, NoClobberLeavesAnExistingScript) {
  WriteFile(In("good.avs"), "hand-written");
  WriteFile(In("other.txt"), "10\n");
  const Result result = Run({"-n", "@good.txt", "@other.txt"});
  EXPECT_EQ(result.exitCode, kSomeFailed);
  EXPECT_EQ(result.errors,
            In("good.txt") + ": good.avs exists; left as it is (--no-clobber)\n");
  EXPECT_EQ(ReadFile(In("good.avs")), "hand-written");
  EXPECT_EQ(ReadFile(In("other.avs")), "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 11,0)\r\n");
  // Without it a script is replaced, as the converter has always done.
  EXPECT_EQ(Run({"@good.txt"}).exitCode, kAllConverted);
  EXPECT_EQ(ReadFile(In("good.avs")), kScript);
}

TEST_F(CommandLineTest, LinesThatLookLikeFramesAreSaidOnStandardErrorWithTheRemedy) {
  WriteFile(In("ranges.txt"), "5\n10-20\n");
  Result result = Run({"@ranges.txt"});
  EXPECT_EQ(result.exitCode, kAllConverted);
  EXPECT_EQ(result.errors, In("ranges.txt") +
                               ": 1 line looks like frames but was read as text (line 2: "
                               "\"10-20\"); use --format auto to read it\n");
  EXPECT_EQ(ReadFile(In("ranges.avs")), "Trim(0,-1)++trim(1, 4)++\\\r\ntrim( 6,0)\r\n");
  result = Run({"--format", "auto", "@ranges.txt"});
  EXPECT_EQ(result.exitCode, kAllConverted);
  EXPECT_EQ(result.errors, "");
  EXPECT_EQ(ReadFile(In("ranges.avs")),
            "Trim(0,-1)++trim(1, 4)++\\\r\ntrim( 6, 9)++\\\r\ntrim( 21,0)\r\n");
}

TEST_F(CommandLineTest, AScriptThatAnotherListOfTheRunGotIsNotReplaced) {
  WriteFile(In("good.csv"), "5\n");
  const Result result = Run({"@good.txt", "@good.csv", "@good.txt"});
  EXPECT_EQ(result.exitCode, kSomeFailed);
  EXPECT_EQ(result.errors, In("good.csv") + ": its script " + In("good.avs") +
                               " is already the script of " + In("good.txt") +
                               "; convert it on its own with --output\n");
  EXPECT_EQ(ReadFile(In("good.avs")), kScript);
}

TEST_F(CommandLineTest, ListAndNamesWithControlCharactersGiveOneLineEach) {
  const std::string forged = "good.txt: frame number 5 on line 1 is negative";
  // Escape, and CSI of an 8-bit terminal raw and in UTF-8, NEL in UTF-8.
  // (Names that are not UTF-8 are joined to the folder by hand: a path object cannot take them
  // on Windows.)
  const Result result = Run({"@x\n" + forged, "@a\x1b[31mred", In("") + "b\x9b" "2J",
                             In("") + "c\xc2\x9b" "2J\xc2\x85"});
  EXPECT_EQ(result.exitCode, kSomeFailed);
  EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 4);
  for (const char control : {'\x1b', '\x9b', '\x85'}) {
    EXPECT_EQ(result.errors.find(control), std::string::npos) << result.errors;
  }
  EXPECT_NE(result.errors.find("x\\n" + forged + ": invalid filename: x\\n" + forged),
            std::string::npos)
      << result.errors;
  for (const char* shown : {"a\\033[31mred", "b\\2332J", "c\\302\\2332J\\302\\205"}) {
    EXPECT_NE(result.errors.find(shown), std::string::npos) << shown << " in " << result.errors;
  }
  const Result usage = Run({"--offset-before", "\x9b", "@good.txt"});
  EXPECT_EQ(usage.errors.substr(0, usage.errors.find('\n')),
            "snipforge-convert: --offset-before takes a number, not \"\\233\"");
}

TEST_F(CommandLineTest, NoScriptReplacesAListOfTheRun) {
  // y.avs is a list too: y.txt's script would replace it. Reached through ".." it is the same
  // file.
  fs::create_directory(In("sub"));
  WriteFile(In("y.txt"), "5\n");
  WriteFile(In("y.avs"), kList);
  for (const std::string& first : {std::string("@y.txt"), std::string("@sub/../y.txt")}) {
    const Result result = Run({first, "@y.avs"});
    EXPECT_EQ(result.exitCode, kSomeFailed);
    EXPECT_EQ(result.errors, Expand(first + ": its script " + first.substr(0, first.size() - 3) +
                                    "avs is the list @y.avs of this run; convert it on its own "
                                    "with --output\n"
                                    "@y.avs: the script would replace the list; name another "
                                    "output file\n"));
    EXPECT_EQ(ReadFile(In("y.avs")), kList);
  }
#ifdef _WIN32
  // Names that differ only in case name one file on Windows: GOOD.csv's script is good.txt's.
  WriteFile(In("GOOD.csv"), "7\n");
  const Result result = Run({"@good.txt", "@GOOD.csv"});
#else
  const Result result = Run({"@good.txt", "@good.txt"});  // the same list twice is fine
#endif
  EXPECT_EQ(ReadFile(In("good.avs")), kScript);
#ifdef _WIN32
  EXPECT_EQ(result.exitCode, kSomeFailed);
  EXPECT_EQ(result.errors, Expand("@GOOD.csv: its script @GOOD.avs is already the script of "
                                  "@good.txt; convert it on its own with --output\n"));
#else
  EXPECT_EQ(result.exitCode, kAllConverted) << result.errors;
#endif
}

#ifndef _WIN32
TEST_F(CommandLineTest, StandardInputAndOutputStandForFiles) {
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ASSERT_EQ(::write(pipe[1], kList, std::char_traits<char>::length(kList)),
            static_cast<ssize_t>(std::char_traits<char>::length(kList)));
  ::close(pipe[1]);
  const int output = ::open(In("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(output, 0);
  const Result result = Run({"--include-text", "-o", "-", "-"}, pipe[0], output);
  ::close(pipe[0]);
  ::close(output);
  EXPECT_EQ(result.exitCode, kAllConverted) << result.errors;
  EXPECT_EQ(ReadFile(In("stdout")), "clip one\r\nnote\r\n" + std::string(kScript) + "end\r\n");

  // A list from standard input into a file; an empty input has no frame numbers.
  const int empty = ::open("/dev/null", O_RDONLY);
  const Result none = Run({"-o", "@piped.avs", "-"}, empty);
  ::close(empty);
  EXPECT_EQ(none.errors, "-: no frame numbers in standard input\n");
  EXPECT_FALSE(fs::exists(In("piped.avs")));
}
#else
TEST_F(CommandLineTest, StandardInputAndOutputStandForFiles) {
  const auto pipeHolding = [](const std::string& bytes) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 1 << 16));
    DWORD written = 0;
    EXPECT_TRUE(bytes.empty() || ::WriteFile(writeEnd, bytes.data(),
                                           static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(writeEnd);
    return Handle(readEnd);
  };
  const Handle input = pipeHolding(kList);
  Handle output(CreateFileW(testing::PathOf(In("stdout")).c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_NE(output.get(), INVALID_HANDLE_VALUE);
  const Result result = Run({"--include-text", "-o", "-", "-"}, input.get(), output.get());
  output.reset();
  EXPECT_EQ(result.exitCode, kAllConverted) << result.errors;
  EXPECT_EQ(ReadFile(In("stdout")), "clip one\r\nnote\r\n" + std::string(kScript) + "end\r\n");

  // A list from standard input into a file; an empty input has no frame numbers, and its copy
  // goes with it (other tests may add their own folders to the temporary folder meanwhile).
  const auto copies = [] {
    std::vector<std::string> names = TempDir::NamesIn(fs::temp_directory_path());
    std::erase_if(names, [](const std::string& name) { return !name.starts_with(".snipforge-"); });
    return names;
  };
  const std::vector<std::string> before = copies();
  const Handle empty = pipeHolding("");
  const Result none = Run({"-o", "@piped.avs", "-"}, empty.get());
  EXPECT_EQ(none.errors, "-: no frame numbers in standard input\n");
  EXPECT_FALSE(fs::exists(In("piped.avs")));
  EXPECT_EQ(copies(), before);
}
#endif

#ifdef _WIN32
// A batch file's %~s1 names a list by its short name (MYLIST~1.TXT); the script's name comes
// from the long one, since the short name with another extension can be an unrelated file's.
TEST_F(CommandLineTest, AListNamedByItsShortNameGetsTheScriptOfItsLongName) {
  WriteFile(In("my long list name.txt"), "5\n");
  std::wstring shortName(MAX_PATH, L'\0');
  shortName.resize(GetShortPathNameW(testing::PathOf(In("my long list name.txt")).c_str(),
                                     shortName.data(), MAX_PATH));
  if (shortName.empty() || shortName.ends_with(L"my long list name.txt")) {
    GTEST_SKIP() << "this volume makes no short names";
  }
  const Result result = Run({testing::Utf8Of(fs::path(shortName))});
  EXPECT_EQ(result.exitCode, kAllConverted) << result.errors;
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"good.txt", "list.avs",
                                                    "my long list name.avs",
                                                    "my long list name.txt", "words.txt"}));
}
#endif

TEST_F(CommandLineTest, OutputNamesAFileOrStandardOutput) {
  std::vector<std::string> refused;
#ifndef _WIN32
  // Standard output appended to a log: its names mean "-o -", and the log keeps its lines.
  WriteFile(In("log.txt"), "log\n");
  const int log = ::open(In("log.txt").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(log, 0);
  for (const char* name : {"/dev/stdout", "/dev/fd/1"}) {
    const Result result = Run({"-o", name, "@good.txt"}, kNoHandle, log);
    EXPECT_EQ(result.exitCode, kAllConverted) << name << ": " << result.errors;
  }
  EXPECT_EQ(ReadFile(In("log.txt")), "log\n" + std::string(kScript) + kScript);
  // Any other name on a file system of devices or processes, however it is written.
  const std::string descriptor = std::to_string(log);
  refused = {"/proc/self/fd/" + descriptor, "/dev/fd/" + descriptor, "//dev/stdout",
             "/dev/stderr", "/dev/null", "/dev/new.avs"};
#else
  refused = {"CON", "nul.avs", "CONOUT$", "\\\\.\\pipe\\snipforge", "\\\\?\\pipe\\snipforge",
             "//?/pipe/snipforge"};
#endif
  for (const std::string& name : refused) {
    const Result result = Run({"-o", name, "@good.txt"});
    EXPECT_EQ(result.exitCode, kUsageError) << name;
    EXPECT_EQ(result.errors.substr(0, result.errors.find('\n')),
              "snipforge-convert: --output " + name +
                  ": not a file on a disk; -o - writes the script to standard output");
  }
#ifndef _WIN32
  ::close(log);
  EXPECT_EQ(ReadFile(In("log.txt")), "log\n" + std::string(kScript) + kScript);
#endif
  EXPECT_FALSE(fs::exists(In("good.avs")));
}

#ifndef _WIN32  // the store is a file here; on Windows the registry (settings tests)
TEST_F(CommandLineTest, StoredStartsFromTheWindowsStoredValuesAndTheCommandLineWins) {
  fs::create_directory(In("user"));
  fs::permissions(In("user"), fs::perms::owner_all);
  WriteFile(stores_.user.path, "[Snipforge]\n"
                               "tInput=/nowhere/in.txt\n"
                               "tOutput=" + In("elsewhere.avs") + "\n"
                               "tOffsetBefore=2\n"
                               "chIncText=1\n");
  fs::permissions(stores_.user.path, fs::perms::owner_read | fs::perms::owner_write);
  const struct {
    std::vector<std::string> arguments;
    std::string script;
  } cases[] = {
      {{"@good.txt"}, kScript},
      {{"--stored", "@good.txt"},
       "clip one\r\nnote\r\nTrim(0,-1)++trim(1, 7)++\\\r\ntrim( 12, 17)++\\\r\ntrim( 21,0)\r\n"
       "end\r\n"},
      {{"--offset-before", "0", "--stored", "--no-include-text", "@good.txt"}, kScript},
  };
  for (const auto& c : cases) {
    const Result result = Run(c.arguments);
    EXPECT_EQ(result.exitCode, kAllConverted);
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(ReadFile(In("good.avs")), c.script) << c.arguments.size() << " arguments";
    EXPECT_FALSE(fs::exists(In("elsewhere.avs"))) << "the stored Output is not used";
  }

  // A store that others may write is not read, and --stored says so.
  fs::permissions(stores_.user.path, fs::perms::others_write, fs::perm_options::add);
  const Result result = Run({"--stored", "@good.txt"});
  EXPECT_EQ(result.exitCode, kAllConverted);
  EXPECT_EQ(result.errors, "snipforge-convert: --stored: no stored values could be read from " +
                               stores_.user.path + " or " + stores_.machine.path +
                               "; the window's start values are used\n");
  EXPECT_EQ(ReadFile(In("good.avs")), kScript);
  fs::remove(stores_.user.path);
  EXPECT_EQ(Run({"--stored", "@good.txt"}).exitCode, kAllConverted);
  EXPECT_FALSE(fs::exists(stores_.user.path)) << "reading the store creates none";
}
#endif

TEST_F(CommandLineTest, HelpNamesEachOptionsLabelTipAndDefaultAndVersionIsOneLine) {
  const Result help = Run({"-h"});
  EXPECT_EQ(help.exitCode, kAllConverted);
  EXPECT_EQ(help.out.substr(0, help.out.find('\n')),
            "Usage: snipforge-convert [OPTION]... [--] LIST...");
  for (const char* line : {
           "      --offset-before N       Good frames: Cut N frames before bad frames.\n"
           "                              Frames cut before each bad frame, besides the bad\n"
           "                              frame itself. (default: 0)\n",
           "  -n, --no-clobber            leave an existing script as it is: that LIST\n",
       }) {
    EXPECT_NE(help.out.find(line), std::string::npos) << line;
  }
  const Result version = Run({"--version", "--nope"});
  EXPECT_EQ(version.exitCode, kAllConverted);
  EXPECT_EQ(version.out, "snipforge-convert 0.06\n");
}

}  // namespace
}  // namespace snipforge
