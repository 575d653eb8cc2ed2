#include "window/logic/form_logic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/test_support.h"
#include "window/logic/controls.h"
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
  void SetUp() override { logic_.Opened(); }
  // Polls the run to its end, as the view's timer does.
  void RunToTheEnd() { desktop_.RunTasks(); }
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
  FormLogic logic_{desktop_, desktop_};
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
  EXPECT_EQ(logic_.values().tOutput, "") << "no list, no script";
  logic_.SetText(kOutput, "mine.avs");
  logic_.TakeInput("");  // the same Input again still brings Output in step
  EXPECT_EQ(logic_.values().tOutput, "");
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

  // A file chosen in the Save dialog is asked about there, once.
  WriteFile(dir_.File("picked.avs"), "hand-written");
  desktop_.answers = {dir_.File("picked.avs")};
  desktop_.replies = {true};
  logic_.SavePressed();
  Start();
  EXPECT_EQ(desktop_.questions.size(), 3u);
  EXPECT_EQ(desktop_.questions.back(), "picked.avs exists. Replace it?");
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
  EXPECT_TRUE(desktop_.messages.empty());
  desktop_.fileManager = false;
  logic_.OpenFolderPressed();
  EXPECT_EQ(desktop_.messages, std::vector<std::string>{"cannot show the folder " +
                                                        dir_.path().string() +
                                                        ": no file manager opened it"});
  desktop_.messages.clear();

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

  // Closing the window stops a run just as well, one that may replace the script too: the Save
  // dialog chose it, and the user said to replace it.
  desktop_.answers = {dir_.File("frames.avs")};
  desktop_.replies = {true};
  logic_.SavePressed();
  ASSERT_EQ(logic_.values().tOutput, dir_.File("frames.avs"));
  logic_.StartPressed();
  logic_.Close();
  EXPECT_FALSE(logic_.running());
  EXPECT_EQ(ReadFile(dir_.File("frames.avs")), "old");
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"frames.avs", "frames.txt"}));
}

TEST_F(FormLogicTest, ValuesComeBackFromTheStoreAndShowingThemChangesNone) {
  const StoreLocations stores{{dir_.File("machine/settings.ini"), StoreOwner::kMachine},
                              {dir_.File("user/settings.ini"), StoreOwner::kUser},
                              false};
  logic_.TakeInput("/clips/in.txt");
  logic_.SetText(kOutput, "/elsewhere/out.avs");
  logic_.SetText(kBefore, "abc");
  logic_.SetCheck(OptionFor(&ControlValues::chIncText), 2);
  logic_.SetChoice(OptionFor(&ControlValues::cboListFormat), 1);
  ASSERT_TRUE(logic_.Save(stores).ok());
  FakeDesktop view;
  FormLogic loaded(view, view, stores);
  // A view's boxes report each text they are given as an edit, Input's before Output's.
  view.whileShowing = [&] {
    for (const Option& option : kOptions) {
      if (option.text != nullptr) loaded.SetText(option, loaded.values().*option.text);
    }
  };
  loaded.Opened();
  EXPECT_EQ(loaded.values(), logic_.values());
  EXPECT_EQ(view.shown, 1);
}

TEST_F(FormLogicTest, TheFirstFocusIsInputAndAfterARunStart) {
  EXPECT_EQ(desktop_.focused, std::vector<std::size_t>{FindControl("tInput")});
  UseFiles();
  Start();
  EXPECT_EQ(desktop_.focused.back(), FindControl("cStartConv"));
}

TEST_F(FormLogicTest, LeavingANumericBoxChecksItOnceTheFocusHasArrived) {
  const std::size_t before = ControlOf(kBefore);
  const std::size_t after = ControlOf(OptionFor(&ControlValues::tOffsetAfter));
  desktop_.focusLeaves = [this](std::size_t control) { logic_.FocusLeft(control); };
  logic_.SetText(kBefore, "x");
  logic_.SetText(OptionFor(&ControlValues::tOffsetAfter), "y");

  // Tab from one bad box to the other: the focus comes back to the first, and the second, left
  // by that, is not checked.
  desktop_.Focus(before);
  desktop_.Focus(after);
  EXPECT_TRUE(desktop_.messages.empty()) << "not in the middle of the move";
  desktop_.RunTasks();
  EXPECT_EQ(desktop_.messages, std::vector<std::string>{"ENTER a valid number"});
  EXPECT_EQ(desktop_.focus, before);

  // A click that leaves a bad box is cancelled, whatever it clicks.
  for (const char* control : {"cAbout", "cStartConv", "chIncText"}) {
    desktop_.messages.clear();
    desktop_.Focus(FindControl(control));
    if (kControls[FindControl(control)].kind == ControlKind::kCheckBox) {
      logic_.ToggleCheck(OptionFor(&ControlValues::chIncText));
    } else {
      logic_.Pressed(FindControl(control));
    }
    EXPECT_EQ(desktop_.messages.size(), 1u) << control;
    EXPECT_EQ(desktop_.focus, before) << control;
  }
  EXPECT_TRUE(desktop_.abouts.empty());
  EXPECT_FALSE(logic_.running());
  EXPECT_EQ(logic_.values().chIncText, 0);

  // The focus gone to another window does not leave the box; a number passes.
  desktop_.messages.clear();
  desktop_.focus.reset();
  logic_.FocusLeft(before);
  desktop_.RunTasks();
  EXPECT_TRUE(desktop_.messages.empty());
  logic_.SetText(kBefore, " 2 ");
  desktop_.Focus(before);
  desktop_.Focus(FindControl("cAbout"));
  logic_.Pressed(FindControl("cAbout"));
  EXPECT_TRUE(desktop_.messages.empty());
  EXPECT_EQ(desktop_.abouts.size(), 1u);
}

TEST_F(FormLogicTest, NothingComesInWhileTheQuestionAboutAnEndedRunIsOpen) {
  UseFiles();
  WriteFile(dir_.File("frames.avs"), "hand-written");
  desktop_.replies = {true};
  desktop_.whileAsking = [this] {
    desktop_.RunTasks();  // the timer fires meanwhile
    logic_.StartPressed();
    static_cast<void>(logic_.KeyPressed('s'));
    logic_.TakeInput(dir_.File("other.txt"));
  };
  Start();
  EXPECT_EQ(desktop_.questions.size(), 1u);
  EXPECT_EQ(ReadFile(dir_.File("frames.avs")), kScript);
  EXPECT_EQ(logic_.values().tInput, dir_.File("frames.txt"));
  EXPECT_FALSE(logic_.busy());
  ASSERT_GE(desktop_.runs.size(), 2u);
  EXPECT_TRUE(desktop_.runs.front().running);
  EXPECT_FALSE(desktop_.runs.back().running);

  // A window closed while the question is open writes nothing, whatever the answer.
  logic_.SetText(kOutput, dir_.File("mine.avs"));
  WriteFile(dir_.File("mine.avs"), "hand-written");
  desktop_.replies = {true};
  desktop_.whileAsking = [this] { logic_.CloseWindow(); };
  Start();
  EXPECT_EQ(desktop_.questions.size(), 2u);
  EXPECT_EQ(ReadFile(dir_.File("mine.avs")), "hand-written");
  EXPECT_FALSE(logic_.running());
}

TEST_F(FormLogicTest, TheSaveDialogsChoiceOfAnExistingFileIsAskedAbout) {
  WriteFile(dir_.File("old.avs"), "hand-written");
  desktop_.answers = {dir_.File("old.avs"), dir_.File("old.avs"), dir_.File("new.avs")};
  desktop_.replies = {false, true};
  logic_.SavePressed();  // No, then the dialog again, then Yes
  EXPECT_EQ(desktop_.questions, (std::vector<std::string>{"old.avs exists. Replace it?",
                                                          "old.avs exists. Replace it?"}));
  ASSERT_EQ(desktop_.saved.size(), 2u);
  EXPECT_EQ(desktop_.saved[1].folder, dir_.File(""));
  EXPECT_EQ(desktop_.saved[1].name, "");
  EXPECT_EQ(logic_.values().tOutput, dir_.File("old.avs"));
  logic_.SavePressed();  // a new file: no question
  EXPECT_EQ(desktop_.questions.size(), 2u);
  EXPECT_EQ(logic_.values().tOutput, dir_.File("new.avs"));
}

TEST_F(FormLogicTest, AltAndALetterGoesToTheControlTheTableNames) {
  const struct {
    char letter;
    const char* control;
  } moves[] = {{'m', "tMinLength"}, {'U', "tOffsetBefore"}, {'r', "tOffsetAfter"},
               {'c', "cboScriptFor"}, {'v', "tAppendBeforeGood"}, {'i', "tInput"}};
  for (const auto& move : moves) {
    EXPECT_TRUE(logic_.KeyPressed(move.letter)) << move.letter;
    EXPECT_EQ(desktop_.focus, FindControl(move.control)) << move.letter;
  }
  EXPECT_FALSE(logic_.KeyPressed('j')) << "no control's key";
  // A check box is clicked and a button pressed.
  EXPECT_TRUE(logic_.KeyPressed('b'));
  EXPECT_EQ(logic_.values().chOutputBadFrames, 1);
  EXPECT_TRUE(logic_.KeyPressed('a'));
  EXPECT_EQ(desktop_.abouts.size(), 1u);
  // A greyed-out control takes none.
  logic_.SetChoice(OptionFor(&ControlValues::cboScriptFor), 1);
  EXPECT_TRUE(logic_.KeyPressed('x'));
  EXPECT_EQ(desktop_.focus, FindControl("cAbout"));
  EXPECT_EQ(logic_.values().chExactEnd, 0);
}

}  // namespace
}  // namespace snipforge
