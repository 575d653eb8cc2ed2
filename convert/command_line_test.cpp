#include "convert/command_line.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/option_table.h"
#include "platform/qt_test_support.h"
#include "window/check_box.h"
#include "window/form1.h"

namespace snipforge {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// A frame list with text before, between and after its numbers.
constexpr const char* kList = "clip one\n10\n11\nnote\n20\nend\n";

class CommandLineTest : public ::testing::Test {
 protected:
  struct Result {
    int status;
    std::string out;
    std::string errors;
  };

  void SetUp() override {
    WriteFile(dir_.File("good.txt"), kList);
    WriteFile(dir_.File("words.txt"), "no numbers here\n");
    WriteFile(dir_.File("list.avs"), kList);
  }

  // A path in the test's folder.
  std::string In(const char* name) const {
    return QFile::encodeName(dir_.File(name)).toStdString();
  }
  // The arguments with every "@name" turned into the path of that name in the test's folder.
  std::string Expand(std::string text) const {
    for (std::size_t at; (at = text.find('@')) != std::string::npos;) {
      const std::size_t end = text.find_first_of(": ", at);
      const std::string name = text.substr(at + 1, end == std::string::npos ? end : end - at - 1);
      text.replace(at, name.size() + 1, In(name.c_str()));
    }
    return text;
  }
  Result Run(const std::vector<std::string>& arguments) {
    std::vector<std::string> expanded;
    for (const std::string& argument : arguments) expanded.push_back(Expand(argument));
    std::ostringstream out, errors;
    const int status = RunCommandLine(expanded, store_, out, errors);
    return {status, out.str(), errors.str()};
  }

  TempFolder dir_;
  SettingsFiles store_{dir_.File("machine/settings.ini"), dir_.File("user/settings.ini")};
};

// The window's script for the same list and values, made by pressing its Start button.
std::string WindowScript(const std::string& list, const std::function<void(ControlValues&)>& set,
                         const QString& output) {
  testing::TestApplication();
  testing::FakeDesktop desktop;
  Form1 window(desktop);
  ControlValues values;
  set(values);
  for (const Option& option : kOptions) {
    const QString name = QString::fromLatin1(option.name.data(), qsizetype(option.name.size()));
    if (option.check != nullptr) {
      window.findChild<CheckBox*>(name)->SetValue(values.*option.check);
    } else {
      window.findChild<QLineEdit*>(name)->setText(QString::fromStdString(values.*option.text));
    }
  }
  window.findChild<QLineEdit*>(QStringLiteral("tInput"))->setText(QString::fromStdString(list));
  window.findChild<QLineEdit*>(QStringLiteral("tOutput"))->setText(output);
  QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cStartConv")), Qt::LeftButton);
  EXPECT_TRUE(desktop.messages.empty());
  return ReadFile(output);
}

TEST_F(CommandLineTest, ScriptsAreTheWindowsForTheSameValues) {
  const struct {
    std::vector<std::string> options;
    std::function<void(ControlValues&)> window;
    std::string script;
  } cases[] = {
      {{}, [](ControlValues&) {},
       "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 12, 19)++\\\r\ntrim( 21,0)\r\n"},
      {{"--offset-before", "2", "--offset-after=1", "--min-length", "7", "--exclude-offset",
        "1", "--append-before-good", "G=", "--frame-number", "--include-text"},
       [](ControlValues& v) {
         v.tOffsetBefore = "2";
         v.tOffsetAfter = "1";
         v.tMinLength = "7";
         v.tExcludeOffset = "1";
         v.tAppendBeforeGood = "G=";
         v.chIncludeFramenumber = 1;
         v.chIncText = 1;
       },
       "clip one\r\nnote\r\nshowframenumber\r\nG=Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 21,0)\r\n"
       "end\r\n"},
      {{"--no-good", "--bad", "--context", "1", "--black", "2", "--append-before-bad", "B=",
        "--append-to-bad", "X", "--append-to-good", "Y"},
       [](ControlValues& v) {
         v.chOutputGoodFrames = 0;
         v.chOutputBadFrames = 1;
         v.tNumberofGood = "1";
         v.tNumberOfBlack = "2";
         v.tAppendBeforeBad = "B=";
         v.tAppendtoBad = "X";
         v.tAppendToGood = "Y";
       },
       "B=trim( 8, 9).Y++trim( 10, 11).X++trim( 12, 13).Y++Trim(0,- 2).blankclip++\\\r\n"
       "trim( 18, 19).Y++trim( 20, 20).X++trim( 21, 22).Y++Trim(0,- 2).blankclip\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"-o", "@cli.avs", "@good.txt"});
    const Result result = Run(arguments);
    EXPECT_EQ(result.status, kAllConverted);
    EXPECT_EQ(result.out + result.errors, "") << "quiet on success";
    const std::string cli = ReadFile(dir_.File("cli.avs"));
    EXPECT_EQ(cli, c.script) << c.options.size() << " options";
    EXPECT_EQ(WindowScript(In("good.txt"), c.window, dir_.File("window.avs")), cli);
  }
}

TEST_F(CommandLineTest, ExitStatusSaysWhetherEveryListWasConverted) {
  const std::vector<std::string> untouched = {"good.txt", "list.avs", "words.txt"};
  const std::vector<std::string> converted = {"good.avs", "good.txt", "list.avs", "words.txt"};
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string errors;  // for a usage error, its first line
    std::vector<std::string> files;
  } cases[] = {
      {{"@good.txt"}, kAllConverted, "", converted},
      {{"@missing.txt", "@good.txt"}, kSomeFailed, "@missing.txt: invalid filename\n", converted},
      {{"@words.txt", "@good.txt"}, kSomeFailed,
       "@words.txt: no frame numbers in words.txt\n", converted},
      {{"@list.avs"}, kSomeFailed,
       "@list.avs: the script would replace the list; name another file with --output\n",
       untouched},
      {{"--output=@good.txt", "@good.txt"}, kSomeFailed,
       "@good.txt: the script would replace the list; name another file with --output\n",
       untouched},
      {{"--nope", "@good.txt"}, kUsageError, "snipforge-convert: unknown option --nope",
       untouched},
      {{"-x", "@good.txt"}, kUsageError, "snipforge-convert: unknown option -x", untouched},
      {{"--offset-before", "7a", "@good.txt"}, kUsageError,
       "snipforge-convert: --offset-before takes a number, not \"7a\"", untouched},
      {{"--context=", "@good.txt"}, kUsageError,
       "snipforge-convert: --context takes a number, not \"\"", untouched},
      {{"--good=1", "@good.txt"}, kUsageError, "snipforge-convert: --good takes no value",
       untouched},
      {{"@good.txt", "--black"}, kUsageError, "snipforge-convert: --black needs a value",
       untouched},
      {{"-o", "@out.avs", "@good.txt", "@words.txt"}, kUsageError,
       "snipforge-convert: --output takes one LIST only", untouched},
      {{"--bad"}, kUsageError, "snipforge-convert: no LIST given", untouched},
  };
  for (const auto& c : cases) {
    QFile::remove(dir_.File("good.avs"));
    const Result result = Run(c.arguments);
    const std::string label = c.arguments.front();
    EXPECT_EQ(result.status, c.status) << label;
    const std::string errors = c.status == kUsageError
                                   ? result.errors.substr(0, result.errors.find('\n'))
                                   : result.errors;
    EXPECT_EQ(errors, Expand(c.errors)) << label;
    EXPECT_EQ(result.out, "") << label;
    EXPECT_EQ(dir_.Names(), c.files) << label;
  }
  EXPECT_EQ(ReadFile(dir_.File("list.avs")), kList);
}

TEST_F(CommandLineTest, AScriptThatAnotherListOfTheRunGotIsNotReplaced) {
  WriteFile(dir_.File("good.csv"), "5\n");
  const Result result = Run({"@good.txt", "@good.csv", "@good.txt"});
  EXPECT_EQ(result.status, kSomeFailed);
  EXPECT_EQ(result.errors, In("good.csv") + ": its script " + In("good.avs") +
                               " is already the script of " + In("good.txt") +
                               "; convert it on its own with --output\n");
  EXPECT_EQ(ReadFile(dir_.File("good.avs")),
            "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 12, 19)++\\\r\ntrim( 21,0)\r\n");
}

TEST_F(CommandLineTest, StoredStartsFromTheWindowsStoredValuesAndTheCommandLineWins) {
  testing::WritePrivateFile(store_.user, "[Snipforge]\n"
                                         "tInput=/nowhere/in.txt\n"
                                         "tOutput=" + In("elsewhere.avs") + "\n"
                                         "tOffsetBefore=2\n"
                                         "chIncText=1\n");
  const std::string defaults = "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 12, 19)++\\\r\ntrim( 21,0)\r\n";
  const struct {
    std::vector<std::string> arguments;
    std::string script;
  } cases[] = {
      {{"@good.txt"}, defaults},
      {{"--stored", "@good.txt"},
       "clip one\r\nnote\r\nTrim(0,-1)++trim(1, 7)++\\\r\ntrim( 12, 17)++\\\r\ntrim( 21,0)\r\n"
       "end\r\n"},
      {{"--offset-before", "0", "--stored", "--no-include-text", "@good.txt"}, defaults},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.arguments).status, kAllConverted);
    EXPECT_EQ(ReadFile(dir_.File("good.avs")), c.script) << c.arguments.size() << " arguments";
    EXPECT_FALSE(QFile::exists(dir_.File("elsewhere.avs"))) << "the stored Output is not used";
  }

  QFile::remove(store_.user);
  EXPECT_EQ(Run({"--stored", "@good.txt"}).status, kAllConverted);
  EXPECT_FALSE(QFile::exists(store_.user)) << "reading the store creates none";

  // The window's trust rules hold: a store that others may write is not read.
  testing::WritePrivateFile(store_.user, "[Snipforge]\ntOffsetBefore=2\n");
  QFile::setPermissions(store_.user, QFile::ReadOwner | QFile::WriteOwner | QFile::WriteOther);
  EXPECT_EQ(Run({"--stored", "@good.txt"}).status, kAllConverted);
  EXPECT_EQ(ReadFile(dir_.File("good.avs")), defaults);
}

TEST_F(CommandLineTest, HelpNamesEachOptionsLabelAndDefaultAndVersionIsOneLine) {
  const Result help = Run({"--help"});
  EXPECT_EQ(help.status, kAllConverted);
  EXPECT_EQ(help.out.substr(0, help.out.find('\n')),
            "Usage: snipforge-convert [OPTION]... LIST...");
  for (const char* line : {
           "      --offset-before N       Good frames: Cut N frames before bad frames\n"
           "                              (default: 0)\n",
           "      --good, --no-good       Good frames: Output Goodframes (default: --good)\n",
       }) {
    EXPECT_NE(help.out.find(line), std::string::npos) << line;
  }
  const Result version = Run({"--version", "--nope"});
  EXPECT_EQ(version.status, kAllConverted);
  EXPECT_EQ(version.out, "snipforge-convert 0.06\n");
}

}  // namespace
}  // namespace snipforge
