#include "window/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/qt_test_support.h"
#include "window/check_box.h"
#include "window/gap_label.h"

namespace snipforge {
namespace {

using testing::FakeDesktop;
using testing::ReadFile;
using testing::TempFolder;
using testing::WhenShown;
using testing::WriteFile;

class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApplication();
    form_ = std::make_unique<Form1>(desktop_);
    form_->show();
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
  }

  template <class Control = QLineEdit>
  Control* Find(const char* name) const {
    auto* control = form_->findChild<Control*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QString Focused() const {
    QWidget* focus = QApplication::focusWidget();
    return focus == nullptr ? QStringLiteral("(none)") : focus->objectName();
  }
  // Lets the checks that leaving a box set off run.
  static void Settle() { QCoreApplication::processEvents(); }
  void Click(const char* button) {
    QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
    Settle();
  }

  FakeDesktop desktop_;
  std::unique_ptr<Form1> form_;
};

TEST_F(Form1Test, StartsWithTheStartValues) {
  EXPECT_EQ(form_->windowTitle(), "Snipforge ver 0.06");
  EXPECT_EQ(form_->size(), QSize(315, 616));
  EXPECT_EQ(form_->minimumSize(), form_->maximumSize());
  EXPECT_EQ(form_->windowIcon().pixmap(32, 32).size(), QSize(32, 32));
  EXPECT_EQ(Focused(), "tInput");
  EXPECT_EQ(form_->Values(), ControlValues{});

  const struct {
    const char* name;
    const char* text;
  } boxes[] = {
      {"tInput", ""},          {"tOutput", ""},
      {"tAppendBeforeBad", "Junk="},
      {"tAppendBeforeGood", ""},
      {"tAppendtoBad", "subtitle(\"JUNK\",x=-1,size=34)"},
      {"tAppendToGood", "subtitle(\"GOOD\",x=-1,size=34)"},
      {"tMinLength", "0"},     {"tNumberOfBlack", "1"},   {"tNumberofGood", "3"},
      {"tOffsetAfter", "0"},   {"tOffsetBefore", "0"},    {"tExcludeOffset", "0"},
  };
  for (const auto& box : boxes) EXPECT_EQ(Find(box.name)->text(), box.text) << box.name;

  const struct {
    const char* name;
    const char* caption;
    int value;
  } checks[] = {
      {"chOutputBadFrames", "Output Badframes", 0},
      {"chIncludeFramenumber", "Include ShowFramenumber", 0},
      {"chIncText", "Include text from input in output", 0},
      {"chOutputGoodFrames", "Output Goodframes", 1},
  };
  for (const auto& check : checks) {
    EXPECT_EQ(Find<CheckBox>(check.name)->text(), check.caption);
    EXPECT_EQ(Find<CheckBox>(check.name)->Value(), check.value) << check.name;
  }

  const struct {
    const char* name;
    QString text;
  } labels[] = {
      {"Label3", "Input"},
      {"Label4", "Output"},
      {"Label6", "Append before trim. Leave blank for none"},
      {"Label12", "Append to trim for bad frames"},
      {"Label11", "Append to trim for good frames"},
      {"Label2", "Number of black frames to include between bad parts"},
      {"Label5", "Number of good frames to include before and after bad frames"},
      {"Label1", "Minimum length of good parts in frames"},
      {"Label8", "Append before trim. Leave blank for none"},
      {"Label9", "Cut             frames before bad frames"},
      {"Label10", "Cut             frames after bad frames"},
      {"Label7", "Ignore offset if there are                                           "
                 "or less bad frames in a row"},
  };
  for (const auto& label : labels) EXPECT_EQ(Find<QLabel>(label.name)->text(), label.text);
  EXPECT_EQ(Find<QGroupBox>("Frame2")->title(), "Bad frames");
  EXPECT_EQ(Find<QGroupBox>("Frame1")->title(), "Good frames");
  EXPECT_EQ(Find<QPushButton>("cStartConv")->text(), "Start");
  EXPECT_EQ(Find<QPushButton>("cAbout")->text(), "About");
  EXPECT_EQ(Find("tInput")->toolTip(), "Enter the filename or press find to select it.");
  for (const char* picture : {"cOpen", "cSave"}) {
    const auto* button = Find<QPushButton>(picture);
    EXPECT_TRUE(button->text().isEmpty()) << picture;
    EXPECT_FALSE(button->icon().isNull()) << picture;
    EXPECT_FALSE(button->toolTip().isEmpty()) << picture;
    EXPECT_FALSE(button->accessibleName().isEmpty()) << picture;
  }
}

TEST_F(Form1Test, EveryCaptionFitsItsControl) {
  for (const QLabel* label : form_->findChildren<QLabel*>()) {
    if (const auto* gap = qobject_cast<const GapLabel*>(label)) {
      EXPECT_TRUE(gap->TextFits()) << gap->objectName().toStdString();
      continue;
    }
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = label->fontMetrics().boundingRect(label->rect(), flags, label->text());
    EXPECT_TRUE(label->rect().contains(needed)) << label->objectName().toStdString();
  }
  for (const CheckBox* box : form_->findChildren<CheckBox*>()) {
    const QRect room = box->TextRect();
    EXPECT_LE(room.right(), box->width()) << box->objectName().toStdString();
    const QRect needed = box->fontMetrics().boundingRect(
        room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, box->text());
    EXPECT_TRUE(room.contains(needed)) << box->objectName().toStdString();
  }
}

// Whether a pixel of a label's picture is part of its text.
bool Ink(QRgb pixel) { return qGray(pixel) < 160; }

TEST_F(Form1Test, GapBoxesSitOnTheBlankRunsOfTheirSentences) {
  const struct {
    const char* label;
    const char* box;
  } cases[] = {{"Label9", "tOffsetBefore"}, {"Label10", "tOffsetAfter"},
               {"Label7", "tExcludeOffset"}};
  for (const auto& c : cases) {
    auto* label = Find<QLabel>(c.label);
    const QRect box = Find(c.box)->geometry().translated(-label->pos());
    const QImage picture = label->grab().toImage();
    ASSERT_FALSE(picture.isNull());
    // Under the box the sentence has no ink; before the box (to its left or on lines above) and
    // after it (to its right or on lines below) it has.
    bool under = false, before = false, after = false;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        if (!Ink(picture.pixel(x, y))) continue;
        const bool sameRows = y >= box.top() && y <= box.bottom();
        if (sameRows && x >= box.left() && x <= box.right()) under = true;
        if (y < box.top() || (sameRows && x < box.left())) before = true;
        if (y > box.bottom() || (sameRows && x > box.right())) after = true;
      }
    }
    EXPECT_FALSE(under) << c.box;
    EXPECT_TRUE(before) << c.box;
    EXPECT_TRUE(after) << c.box;
    EXPECT_GE(box.left(), 0) << c.box;
    EXPECT_LE(box.right(), label->width()) << c.box;
    // A click there reaches the box, not the sentence under it.
    EXPECT_EQ(form_->childAt(Find(c.box)->mapTo(form_.get(), QPoint(4, 4))), Find(c.box)) << c.box;
  }
}

TEST_F(Form1Test, TypingInTheInputBoxProposesTheOutputAfterEveryKey) {
  std::vector<QString> outputs;
  for (const char key : std::string("ab.txt")) {
    QTest::keyClick(Find("tInput"), key);
    outputs.push_back(Find("tOutput")->text());
  }
  EXPECT_EQ(outputs, (std::vector<QString>{"a.avs", "ab.avs", "ab.avs", "ab.avs", "ab.avs",
                                           "ab.avs"}));

  QTest::keyClick(Find("tInput"), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(Find("tInput"), Qt::Key_Backspace);
  EXPECT_EQ(Find("tOutput")->text(), ".avs");

  QTest::keyClicks(Find("tOutput"), "x");
  EXPECT_EQ(Find("tInput")->text(), "") << "typing into tOutput changes nothing else";
  EXPECT_EQ(Find("tOutput")->text(), ".avsx");
}

TEST_F(Form1Test, LeavingANumericBoxChecksItsText) {
  const struct {
    const char* text;
    bool message;
  } cases[] = {
      {"", true},    {" 7 ", false}, {"-3", false},   {"2.5", false},
      {"1e2", false}, {"7a", true},  {"abc", true},   {"1,5", true},
  };
  for (const char* name : {"tMinLength", "tNumberOfBlack", "tNumberofGood", "tOffsetBefore",
                           "tOffsetAfter", "tExcludeOffset"}) {
    for (const auto& c : cases) {
      desktop_.messages.clear();
      Find(name)->setText(QString::fromLatin1(c.text));
      Find(name)->setFocus();
      QTest::keyClick(Find(name), Qt::Key_Tab);
      Settle();
      const std::vector<QString> expected =
          c.message ? std::vector<QString>{"ENTER a valid number"} : std::vector<QString>{};
      EXPECT_EQ(desktop_.messages, expected) << name << " \"" << c.text << '"';
      // After a message the focus goes back to the box; otherwise it moved on.
      EXPECT_EQ(Focused() == name, c.message) << name << " \"" << c.text << '"';
      EXPECT_EQ(Find(name)->text(), c.text) << "the text stays as it was";
      Find(name)->setText(QStringLiteral("0"));  // so that the next case may leave it
    }
  }
}

TEST_F(Form1Test, OtherBoxesAndCheckBoxesAreNotChecked) {
  for (const char* name : {"tInput", "tOutput", "tAppendBeforeBad", "tAppendBeforeGood",
                           "tAppendtoBad", "tAppendToGood"}) {
    Find(name)->setText(QStringLiteral("7a"));
    Find(name)->setFocus();
    QTest::keyClick(Find(name), Qt::Key_Tab);
  }
  const ControlValues before = form_->Values();
  QTest::mouseClick(Find<CheckBox>("chIncText"), Qt::LeftButton);
  Settle();
  ControlValues expected = before;
  expected.chIncText = 1;
  EXPECT_EQ(form_->Values(), expected) << "a click changes the check box alone";
  EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(Form1Test, TwoBadBoxesDoNotHandTheFocusBackAndForth) {
  Find("tOffsetBefore")->setText(QStringLiteral("x"));
  Find("tOffsetAfter")->setText(QStringLiteral("y"));
  Find("tOffsetBefore")->setFocus();
  QTest::keyClick(Find("tOffsetBefore"), Qt::Key_Tab);  // next in the focus order: tOffsetAfter
  for (int i = 0; i < 5; ++i) Settle();
  EXPECT_EQ(desktop_.messages, std::vector<QString>{"ENTER a valid number"});
  EXPECT_EQ(Focused(), "tOffsetBefore");

  desktop_.messages.clear();
  QTest::mouseClick(Find("tOffsetAfter"), Qt::LeftButton);
  for (int i = 0; i < 5; ++i) Settle();
  EXPECT_EQ(desktop_.messages, std::vector<QString>{"ENTER a valid number"});
  EXPECT_EQ(Focused(), "tOffsetBefore");
}

TEST_F(Form1Test, LeavingABadBoxByClickingAButtonCancelsTheClick) {
  TempFolder dir;
  WriteFile(dir.File("frames.txt"), "10\n");
  Find("tInput")->setText(dir.File("frames.txt"));
  desktop_.answers = {QStringLiteral("/clips/other.txt")};
  Find("tOffsetBefore")->setText(QStringLiteral("7a"));
  for (const char* button : {"cStartConv", "cOpen", "cSave", "cAbout"}) {
    desktop_.messages.clear();
    Find("tOffsetBefore")->setFocus();
    Click(button);  // pressed and released before the check could run on its own
    EXPECT_EQ(desktop_.messages, std::vector<QString>{"ENTER a valid number"}) << button;
    EXPECT_EQ(Focused(), "tOffsetBefore") << button;
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"frames.txt"}) << "no conversion ran";
  EXPECT_TRUE(desktop_.openFilters.empty() && desktop_.saveFilters.empty() &&
              desktop_.abouts.empty());
}

TEST_F(Form1Test, AnotherWindowTakingTheFocusDoesNotCheck) {
  Find("tMinLength")->setText(QStringLiteral("7a"));
  Find("tMinLength")->setFocus();
  for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
    QFocusEvent leave(QEvent::FocusOut, reason);
    QApplication::sendEvent(Find("tMinLength"), &leave);
    Settle();
  }
  EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(Form1Test, FileDialogsFillTheirBoxesAndACancelChangesNothing) {
  desktop_.answers = {QStringLiteral("/clips/bad.txt"), QStringLiteral("/scripts/cut.avs"),
                      std::nullopt, std::nullopt, QStringLiteral("/clips/bad.txt")};
  Click("cOpen");
  EXPECT_EQ(Find("tInput")->text(), "/clips/bad.txt");
  EXPECT_EQ(Find("tOutput")->text(), "/clips/bad.avs");
  Click("cSave");
  EXPECT_EQ(Find("tInput")->text(), "/clips/bad.txt");
  EXPECT_EQ(Find("tOutput")->text(), "/scripts/cut.avs");
  Click("cOpen");
  Click("cSave");
  EXPECT_EQ(Find("tInput")->text(), "/clips/bad.txt");
  EXPECT_EQ(Find("tOutput")->text(), "/scripts/cut.avs");
  Click("cOpen");  // the same file again still brings the output path back in step
  EXPECT_EQ(Find("tOutput")->text(), "/clips/bad.avs");

  const std::vector<FileFilters> open(3, {{"Text (*.txt)", "*.txt"}, {"all (*.*)", "*"}});
  const std::vector<FileFilters> save(2, {{"Avisynth (*.avs)", "*.avs"}, {"all (*.*)", "*"}});
  EXPECT_EQ(desktop_.openFilters, open);
  EXPECT_EQ(desktop_.saveFilters, save);
  EXPECT_TRUE(desktop_.messages.empty());
}

// What the open-file dialog lists, the way the user sees it: under each filter's shown name,
// the names of the files that can be chosen.
TEST(Form1FileDialogTest, AllListsEveryFileAlsoNamesWithoutAPoint) {
  testing::TestApplication();
  TempFolder dir;
  for (const char* name : {"frames", "frames.txt", "clip.d2v"}) WriteFile(dir.File(name), "1\n");
  SystemDesktop desktop;
  Form1 form(desktop);
  const std::vector<std::pair<QString, QStringList>> expected = {
      {"Text (*.txt)", {"frames.txt"}},
      {"all (*.*)", {"clip.d2v", "frames", "frames.txt"}},
  };
  std::vector<std::pair<QString, QStringList>> listed;
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    dialog->setDirectory(dir.File(""));
    const auto* shown = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    const auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    if (shown == nullptr || view == nullptr) {
      ADD_FAILURE() << "the dialog has no filter list or file list";
      dialog->reject();
      return;
    }
    const auto listing = [view] {
      QStringList names;
      for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        const QModelIndex item = view->model()->index(row, 0, view->rootIndex());
        if (item.flags() & Qt::ItemIsEnabled) names.push_back(item.data().toString());
      }
      names.sort();
      return names;
    };
    for (int i = 0; i < shown->count(); ++i) {
      dialog->selectNameFilter(dialog->nameFilters().at(i));
      // The folder is read and filtered in the background.
      if (std::size_t(i) < expected.size()) {
        (void)QTest::qWaitFor([&] { return listing() == expected[std::size_t(i)].second; }, 5000);
      }
      listed.emplace_back(shown->itemText(i), listing());
    }
    dialog->reject();
  });
  QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("cOpen")), Qt::LeftButton);
  EXPECT_EQ(listed, expected);
}

TEST_F(Form1Test, AFileDroppedOnTheWindowGoesIntoInputOrOntoOutputIntoOutput) {
  Find("tInput")->setText(QStringLiteral("/clips/old.txt"));
  Find("tOutput")->setText(QStringLiteral("/scripts/kept.avs"));
  const auto files = [](std::initializer_list<const char*> urls) {
    auto* data = new QMimeData;
    QList<QUrl> list;
    for (const char* url : urls) list.push_back(QUrl(QString::fromUtf8(url)));
    data->setUrls(list);
    return data;
  };
  const auto text = [](const char* words) {
    auto* data = new QMimeData;
    data->setText(QString::fromUtf8(words));
    return data;
  };
  const struct {
    const char* onto;  // the control under the drop
    QMimeData* data;
    bool taken;
    const char* input;
    const char* output;
  } cases[] = {
      {"tInput", files({"file:///clips/bad%20frames.txt"}), true, "/clips/bad frames.txt",
       "/clips/bad frames.avs"},
      {"tAppendBeforeGood", files({"file:///clips/frames"}), true, "/clips/frames",
       "/clips/frames.avs"},
      {"Label7", files({"file:///clips/b.txt"}), true, "/clips/b.txt", "/clips/b.avs"},
      {"cStartConv", files({"file:///clips/b.txt"}), true, "/clips/b.txt", "/clips/b.avs"},
      {"tOutput", files({"file:///scripts/new.avs"}), true, "/clips/b.txt", "/scripts/new.avs"},
      // Anything else changes nothing: text, several files, a file that is not local.
      {"tInput", text("file:///clips/c.txt"), false, "/clips/b.txt", "/scripts/new.avs"},
      {"tAppendToGood", text("words"), false, "/clips/b.txt", "/scripts/new.avs"},
      {"tInput", files({"file:///clips/c.txt", "file:///clips/d.txt"}), false, "/clips/b.txt",
       "/scripts/new.avs"},
      {"tOutput", files({"https://example.org/c.txt"}), false, "/clips/b.txt",
       "/scripts/new.avs"},
  };
  const ControlValues untouched = form_->Values();
  for (const auto& c : cases) {
    std::unique_ptr<QMimeData> data(c.data);
    auto* onto = Find<QWidget>(c.onto);
    const QPointF at = onto->mapTo(form_.get(), onto->rect().center());
    // The window system hands a drag to the widget under it that takes drops, or its parent
    // that does.
    QWidget* target = form_->childAt(at.toPoint());
    while (!target->acceptDrops() && !target->isWindow()) target = target->parentWidget();
    const QPointF local = target->mapFrom(form_.get(), at);
    QDragEnterEvent enter(local.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    EXPECT_EQ(enter.isAccepted(), c.taken) << c.onto;
    if (enter.isAccepted()) {
      QDropEvent drop(local, Qt::CopyAction, data.get(), Qt::LeftButton, {});
      QApplication::sendEvent(target, &drop);
      EXPECT_TRUE(drop.isAccepted()) << c.onto;
    }
    ControlValues expected = untouched;
    expected.tInput = c.input;
    expected.tOutput = c.output;
    EXPECT_EQ(form_->Values(), expected) << c.onto;
  }
}

TEST_F(Form1Test, AboutShowsTheVersion) {
  Click("cAbout");
  ASSERT_EQ(desktop_.abouts.size(), 1u);
  EXPECT_EQ(desktop_.abouts[0].section(u'\n', 0, 0), "Snipforge ver 0.06");
}

TEST_F(Form1Test, StartConvertsWithTheControlsValues) {
  TempFolder dir;
  WriteFile(dir.File("frames.txt"), "clip\n10\n11\n");
  Find("tInput")->setText(dir.File("frames.txt"));
  Find("tOffsetBefore")->setText(QStringLiteral("2"));
  QTest::mouseClick(Find<CheckBox>("chIncText"), Qt::LeftButton);
  Click("cStartConv");
  EXPECT_TRUE(desktop_.messages.empty());
  EXPECT_EQ(ReadFile(dir.File("frames.avs")),
            "clip\r\nTrim(0,-1)++trim(1, 7)++\\\r\ntrim( 12,0)\r\n");
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the wait cursor is gone";

  // From the keyboard: Space on the focused Start button.
  Find("tOffsetBefore")->setText(QStringLiteral("0"));
  Find<QPushButton>("cStartConv")->setFocus();
  QTest::keyClick(Find<QPushButton>("cStartConv"), Qt::Key_Space);
  EXPECT_EQ(ReadFile(dir.File("frames.avs")),
            "clip\r\nTrim(0,-1)++trim(1, 9)++\\\r\ntrim( 12,0)\r\n");
}

TEST_F(Form1Test, AFailedStartShowsWhy) {
  TempFolder dir;
  const struct {
    QString input;
    const char* message;
  } cases[] = {
      {dir.File("missing.txt"), "invalid filename"},
      {dir.File("words.txt"), "no frame numbers in words.txt"},
  };
  WriteFile(dir.File("words.txt"), "no numbers here\n");
  for (const auto& c : cases) {
    desktop_.messages.clear();
    Find("tInput")->setText(c.input);
    Click("cStartConv");
    EXPECT_EQ(desktop_.messages, std::vector<QString>{c.message}) << c.input.toStdString();
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"words.txt"}) << "no script was written";
}

TEST_F(Form1Test, ValuesTakeEachControlUnderItsOwnName) {
  for (QLineEdit* box : form_->findChildren<QLineEdit*>()) box->setText(box->objectName() + "!");
  Find<CheckBox>("chIncludeFramenumber")->SetValue(2);
  Find<CheckBox>("chIncText")->SetValue(1);
  Find<CheckBox>("chOutputBadFrames")->SetValue(1);
  Find<CheckBox>("chOutputGoodFrames")->SetValue(0);
  const ControlValues values = form_->Values();
  EXPECT_EQ(values.tInput, "tInput!");
  EXPECT_EQ(values.tOutput, "tOutput!");
  EXPECT_EQ(values.tAppendBeforeBad, "tAppendBeforeBad!");
  EXPECT_EQ(values.tAppendBeforeGood, "tAppendBeforeGood!");
  EXPECT_EQ(values.tAppendtoBad, "tAppendtoBad!");
  EXPECT_EQ(values.tAppendToGood, "tAppendToGood!");
  EXPECT_EQ(values.tMinLength, "tMinLength!");
  EXPECT_EQ(values.tNumberOfBlack, "tNumberOfBlack!");
  EXPECT_EQ(values.tNumberofGood, "tNumberofGood!");
  EXPECT_EQ(values.tOffsetAfter, "tOffsetAfter!");
  EXPECT_EQ(values.tOffsetBefore, "tOffsetBefore!");
  EXPECT_EQ(values.tExcludeOffset, "tExcludeOffset!");
  EXPECT_EQ(values.chIncludeFramenumber, 2);
  EXPECT_EQ(values.chIncText, 1);
  EXPECT_EQ(values.chOutputBadFrames, 1);
  EXPECT_EQ(values.chOutputGoodFrames, 0);
}

TEST_F(Form1Test, TabVisitsTheControlsInTheirOrder) {
  std::vector<QString> visited{Focused()};
  for (int i = 0; i < 20; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    Settle();
    visited.push_back(Focused());
  }
  EXPECT_EQ(visited, (std::vector<QString>{
                         "tInput", "cOpen", "cStartConv", "tOffsetBefore", "tOffsetAfter",
                         "cAbout", "tOutput", "cSave", "chOutputBadFrames", "tAppendtoBad",
                         "tAppendToGood", "tNumberofGood", "tNumberOfBlack",
                         "chIncludeFramenumber", "chIncText", "tAppendBeforeBad", "tMinLength",
                         "chOutputGoodFrames", "tAppendBeforeGood", "tExcludeOffset",
                         "tInput"}));
  EXPECT_TRUE(desktop_.messages.empty());
}

// The window as the program opens it, with a store of this user's own in a temporary folder: the
// stored values are loaded before it is shown and saved when it closes.
class Form1StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::TestApplication(); }

  std::unique_ptr<Form1> Open() { return std::make_unique<Form1>(desktop_, files_); }
  static void Close(std::unique_ptr<Form1>& window) {
    window->close();
    window.reset();
  }
  void Store(const std::string& lines) {
    testing::WritePrivateFile(files_.user, "[Snipforge]\n" + lines);
  }

  TempFolder dir_;
  SettingsFiles files_{dir_.File("machine/settings.ini"), dir_.File("user/settings.ini")};
  FakeDesktop desktop_;
};

TEST_F(Form1StoreTest, EachControlGetsBackItsOwnValue) {
  auto window = Open();
  EXPECT_EQ(window->Values(), ControlValues{});
  // Every text box gets its own name, so that two values that changed places would show; the
  // numeric boxes hold text that is not a number, tOutput a path not derived from tInput.
  for (QLineEdit* box : window->findChildren<QLineEdit*>()) box->setText(box->objectName() + "?");
  window->findChild<CheckBox*>(QStringLiteral("chIncludeFramenumber"))->SetValue(1);
  window->findChild<CheckBox*>(QStringLiteral("chIncText"))->SetValue(2);
  window->findChild<CheckBox*>(QStringLiteral("chOutputBadFrames"))->SetValue(1);
  window->findChild<CheckBox*>(QStringLiteral("chOutputGoodFrames"))->SetValue(0);
  const ControlValues set = window->Values();
  ASSERT_EQ(set.tOutput, "tOutput?");
  ASSERT_EQ(set.tMinLength, "tMinLength?");
  Close(window);

  window = Open();
  EXPECT_EQ(window->Values(), set);
  EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(Form1StoreTest, TOutputFollowsTheRestoredInputUnlessItWasStoredItself) {
  Store("tInput=/clips/in.txt\n");
  EXPECT_EQ(Open()->Values().tOutput, "/clips/in.avs");
  Store("tInput=/clips/in.txt\ntOutput=/elsewhere/out.avs\n");
  EXPECT_EQ(Open()->Values().tOutput, "/elsewhere/out.avs");
  Store("tOutput=\ntInput=/clips/in.txt\n");
  EXPECT_EQ(Open()->Values().tOutput, "") << "an empty stored tOutput wins as well";
}

TEST_F(Form1StoreTest, AFileGivenToTheProgramGoesIntoInputAfterTheStoredValues) {
  Store("tInput=/clips/in.txt\ntOutput=/elsewhere/out.avs\ntMinLength=4\n");
  const struct {
    const char* file;
    const char* output;
  } cases[] = {
      {"/clips/other.txt", "/clips/other.avs"},
      {"/clips/in.txt", "/clips/in.avs"},  // the stored file again: Output still follows it
  };
  for (const auto& c : cases) {
    auto window = std::make_unique<Form1>(desktop_, files_, QString::fromUtf8(c.file));
    const ControlValues values = window->Values();
    EXPECT_EQ(values.tInput, c.file);
    EXPECT_EQ(values.tOutput, c.output) << c.file;
    EXPECT_EQ(values.tMinLength, "4") << "the other stored values stay";
  }
}

TEST_F(Form1StoreTest, AStoredCheckBoxTextThatIsNoValueLeavesTheBox) {
  Store("chOutputGoodFrames=2\nchIncText=1\nchOutputBadFrames=x\n");
  const ControlValues values = Open()->Values();
  EXPECT_EQ(values.chOutputGoodFrames, 2);
  EXPECT_EQ(values.chIncText, 1);
  EXPECT_EQ(values.chOutputBadFrames, 0);
}

}  // namespace
}  // namespace snipforge
