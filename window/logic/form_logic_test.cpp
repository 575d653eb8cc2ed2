#include "window/logic/form_logic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/test_support.h"
#include "window/testing/fake_desktop.h"

#ifndef _WIN32
#include "platform/environment.h"
#endif

namespace snipforge {
namespace {

using testing::FakeDesktop;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const Option& kInput = OptionFor(&ControlValues::tInput);
const Option& kOutput = OptionFor(&ControlValues::tOutput);
const Option& kBefore = OptionFor(&ControlValues::tOffsetBefore);

class FormLogicTest : public ::testing::Test {
 protected:
  // Polls the run to its end, as the view's timer does.
  void RunToTheEnd() {
    while (logic_.running()) {
      static_cast<void>(logic_.Poll());
      std::this_thread::yield();
    }
  }
  void Start() {
    logic_.StartPressed();
    RunToTheEnd();
  }
  // Input and Output in the test's folder; the list has frames 10 and 11.
  void UseFiles(const std::string& output = "frames.avs") {
    WriteFile(dir_.File("frames.txt"), "10\n11\n");
    logic_.TakeInput(dir_.File("frames.txt"));
    logic_.SetText(kOutput, dir_.File(output));
  }

  TempDir dir_;
  FakeDesktop desktop_;
  FormLogic logic_{desktop_};
};

constexpr const char* kScript = "Trim(0,-1)++trim(1, 9)++\\\r\ntrim( 12,0)\r\n";

TEST_F(FormLogicTest, OutputFollowsInputAfterEveryKey) {
  std::vector<std::string> outputs;
  std::string typed;
  for (const char key : std::string("ab.txt")) {
    typed += key;
    logic_.SetText(kInput, typed);
    outputs.push_back(logic_.values().tOutput);
  }
  EXPECT_EQ(outputs, (std::vector<std::string>{"a.avs", "ab.avs", "ab.avs", "ab.avs", "ab.avs",
                                               "ab.avs"}));
  logic_.SetText(kInput, "");
  EXPECT_EQ(logic_.values().tOutput, ".avs");
  logic_.SetText(kOutput, "mine.avs");
  logic_.TakeInput("");  // the same Input again still brings Output in step
  EXPECT_EQ(logic_.values().tOutput, ".avs");
}

TEST_F(FormLogicTest, TheFrameServerChosenGivesTheExtensionAndGreysWhatItIgnores) {
  const Option& target = OptionFor(&ControlValues::cboScriptFor);
  const Option& review = OptionFor(&ControlValues::chOutputBadFrames);
  logic_.SetText(kInput, "clips/a.txt");
  logic_.SetChoice(target, 1);
  EXPECT_EQ(logic_.values().tOutput, "clips/a.vpy") << "a derived Output follows";
  EXPECT_FALSE(logic_.DisabledBecause(review).empty());
  logic_.SetText(kOutput, "mine.avs");
  logic_.SetChoice(target, 0);
  EXPECT_EQ(logic_.values().tOutput, "mine.avs") << "one the user typed stays";
  EXPECT_TRUE(logic_.DisabledBecause(review).empty());
  logic_.SetChoice(target, 2);
  EXPECT_EQ(logic_.values().cboScriptFor, 0) << "no such choice";
}

TEST_F(FormLogicTest, TheNumericCheckShowsOneMessage) {
  const struct {
    const char* text;
    bool number;
  } cases[] = {{"", false}, {" 7 ", true}, {"-3", true}, {"2.5", true}, {"1e2", true},
               {"7a", false}, {"1,5", false}};
  for (const auto& c : cases) {
    desktop_.messages.clear();
    logic_.SetText(kBefore, c.text);
    EXPECT_EQ(logic_.CheckNumber(kBefore), c.number) << c.text;
    EXPECT_EQ(desktop_.messages.size(), c.number ? 0u : 1u) << c.text;
    EXPECT_EQ(logic_.values().tOffsetBefore, c.text) << "the text stays as it was";
  }
  EXPECT_EQ(desktop_.messages, std::vector<std::string>{"ENTER a valid number"});
  EXPECT_TRUE(logic_.CheckNumber(kInput)) << "only the numeric boxes are checked";
}

TEST_F(FormLogicTest, DialogsStartWhereTheFilesAreAndACancelChangesNothing) {
  std::filesystem::create_directory(dir_.path() / "clips");
  logic_.TakeInput(dir_.File("clips/bad.txt"));
  desktop_.answers = {std::nullopt, std::nullopt, dir_.File("clips/other.txt"),
                      dir_.File("cut.avs")};
  logic_.OpenPressed();
  logic_.SavePressed();
  EXPECT_EQ(logic_.values().tInput, dir_.File("clips/bad.txt"));
  EXPECT_EQ(logic_.values().tOutput, dir_.File("clips/bad.avs"));
  logic_.OpenPressed();
  EXPECT_EQ(logic_.values().tOutput, dir_.File("clips/other.avs"));
  logic_.SavePressed();
  EXPECT_EQ(logic_.values().tInput, dir_.File("clips/other.txt"));
  EXPECT_EQ(logic_.values().tOutput, dir_.File("cut.avs"));

  const std::vector<FileFilter> text = {{"Text (*.txt)", "*.txt"}, {"all (*.*)", "*"}};
  const std::vector<FileFilter> scripts = {{"Avisynth (*.avs)", "*.avs"}, {"all (*.*)", "*"}};
  const std::string clips = dir_.File("clips/");
  EXPECT_EQ(desktop_.opened, (std::vector<FileDialog>{{text, clips, ""}, {text, clips, ""}}));
  EXPECT_EQ(desktop_.saved, (std::vector<FileDialog>{{scripts, clips, "bad.avs"},
                                                     {scripts, clips, "other.avs"}}));
  logic_.TakeInput("/nowhere/bad.txt");
  logic_.OpenPressed();
  EXPECT_EQ(desktop_.opened.back().folder, "") << "a folder that is not there is not offered";
#ifndef _WIN32
  // "~/" is the account's home folder, as the password database has it.
  logic_.TakeInput("~/bad.txt");
  logic_.OpenPressed();
  EXPECT_EQ(desktop_.opened.back().folder, HomeOf(CurrentUser()) + "/");
#endif
}

TEST_F(FormLogicTest, AFileTheWindowDidNotWriteIsReplacedOnlyWhenTheUserSaysSo) {
  UseFiles();
  WriteFile(dir_.File("frames.avs"), "hand-written");
  Start();  // declined
  EXPECT_EQ(desktop_.questions, std::vector<std::string>{"frames.avs exists. Replace it?"});
  EXPECT_EQ(ReadFile(dir_.File("frames.avs")), "hand-written");
  EXPECT_EQ(logic_.status(), "Nothing written: frames.avs exists and was left as it is");

  desktop_.replies = {true};
  Start();  // accepted
  EXPECT_EQ(desktop_.questions.size(), 2u);
  EXPECT_EQ(ReadFile(dir_.File("frames.avs")), kScript);

  logic_.SetText(kBefore, "2");
  Start();  // the window's own file: no question
  EXPECT_EQ(desktop_.questions.size(), 2u);
  EXPECT_EQ(ReadFile(dir_.File("frames.avs")), "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 12,0)\r\n");

  // A file chosen in the Save dialog, which has asked already.
  WriteFile(dir_.File("picked.avs"), "hand-written");
  desktop_.answers = {dir_.File("picked.avs")};
  logic_.SavePressed();
  Start();
  EXPECT_EQ(desktop_.questions.size(), 2u);
  EXPECT_EQ(ReadFile(dir_.File("picked.avs")), "Trim(0,-1)++trim(1, 7)++\\\r\ntrim( 12,0)\r\n");
  EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(FormLogicTest, TheStatusLineSaysWhatTheLastStartDid) {
  UseFiles();
  EXPECT_FALSE(logic_.CanOpenFolder());
  Start();
  EXPECT_EQ(logic_.status(), "Wrote frames.avs: good part in 2 trims, 2 frames cut");
  logic_.SetCheck(OptionFor(&ControlValues::chOutputBadFrames), 1);
  logic_.SetText(OptionFor(&ControlValues::tAppendBeforeGood), "Good=");
  Start();
  EXPECT_EQ(logic_.status(),
            "Wrote frames.avs: good part in 2 trims, 2 frames cut; review of 1 bad part");
  logic_.OpenFolderPressed();
  EXPECT_EQ(desktop_.folders, std::vector<std::string>{dir_.path().string()});

  logic_.TakeInput(dir_.File("missing.txt"));
  Start();
  EXPECT_EQ(logic_.status(), "invalid filename: missing.txt: no such file");
  EXPECT_EQ(desktop_.messages, std::vector<std::string>{logic_.status()});
#ifndef _WIN32  // no name holds a line break on Windows
  // A name cannot start a line of its own in a message.
  logic_.TakeInput(dir_.File("missing\nline 2: frame 5 is negative.txt"));
  Start();
  EXPECT_EQ(desktop_.messages.back(),
            "invalid filename: missing\\nline 2: frame 5 is negative.txt: no such file");
#endif
}

TEST_F(FormLogicTest, ACancelledRunKeepsTheOldScriptAndLeavesNothing) {
  std::string list;
  for (int frame = 0; frame < 3'000'000; frame += 2) list += std::to_string(frame) + '\n';
  WriteFile(dir_.File("frames.txt"), list);
  WriteFile(dir_.File("frames.avs"), "old");
  desktop_.replies = {true};
  logic_.TakeInput(dir_.File("frames.txt"));
  logic_.StartPressed();
  logic_.Cancel();
  RunToTheEnd();
  EXPECT_EQ(logic_.status(), "cancelled; nothing was written");
  EXPECT_TRUE(desktop_.messages.empty());
  EXPECT_EQ(ReadFile(dir_.File("frames.avs")), "old");
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"frames.avs", "frames.txt"}));

  // Closing the window stops a run just as well.
  logic_.StartPressed();
  logic_.Close();
  EXPECT_FALSE(logic_.running());
  EXPECT_EQ(ReadFile(dir_.File("frames.avs")), "old");
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"frames.avs", "frames.txt"}));
}

TEST_F(FormLogicTest, ValuesComeBackFromTheStoreAndTOutputAfterTInput) {
  const StoreLocations stores{{dir_.File("machine/settings.ini"), StoreOwner::kMachine},
                              {dir_.File("user/settings.ini"), StoreOwner::kUser},
                              false};
  logic_.TakeInput("/clips/in.txt");
  logic_.SetText(kOutput, "/elsewhere/out.avs");
  logic_.SetText(kBefore, "abc");
  logic_.SetCheck(OptionFor(&ControlValues::chIncText), 2);
  logic_.SetChoice(OptionFor(&ControlValues::cboListFormat), 1);
  ASSERT_TRUE(logic_.Save(stores).ok());
  FormLogic loaded(desktop_);
  loaded.Load(stores);
  EXPECT_EQ(loaded.values(), logic_.values());
}

}  // namespace
}  // namespace snipforge
