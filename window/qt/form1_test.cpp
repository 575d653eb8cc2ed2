#include "window/qt/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUrl>

#include <memory>
#include <string>
#include <vector>

#include "window/qt/check_box.h"
#include "window/qt/gap_label.h"
#include "window/testing/qt_test_support.h"
#include "window/testing/fake_desktop.h"
#include "window/testing/form_access.h"

namespace snipforge {
namespace {

using testing::FakeDesktop;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::TestApplication();
    Open();
  }
  void TearDown() override { qApp->setStyleSheet({}); }
  void Open() {
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
  // Presses Start and waits for the run to end.
  void Start() {
    Click("cStartConv");
    EXPECT_TRUE(QTest::qWaitFor([this] { return Find<QWidget>("content")->isEnabled(); }, 20000));
  }

  FakeDesktop desktop_;
  std::unique_ptr<Form1> form_;
};

TEST_F(Form1Test, StartsWithTheStartValuesCaptionsNamesAndTips) {
  EXPECT_EQ(form_->windowTitle(), "Snipforge ver 0.06");
  EXPECT_EQ(Focused(), "tInput");
  EXPECT_EQ(testing::FormAccess::Values(*form_), ControlValues{});
  EXPECT_EQ(Find("tInput")->toolTip(), "Enter the filename or press find to select it.");
  EXPECT_EQ(Find("tOffsetBefore")->accessibleName(), "Cut frames before bad frames (Good frames)");
  EXPECT_EQ(Find<QLabel>("Label9")->buddy(), Find("tOffsetBefore"));
  EXPECT_EQ(Find<QLabel>("Label5")->buddy(), Find("tNumberofGood"));
  EXPECT_EQ(Find<CheckBox>("chOutputGoodFrames")->Value(), 1);
  EXPECT_EQ(Find<QLabel>("Label7")->text(),
            "Ignore offset if there are                                           "
            "or less bad frames in a ro&w");
  EXPECT_EQ(Find<QPushButton>("cOpenFolder")->text(), "Open &folder");
  EXPECT_EQ(Find<QPushButton>("cOpenFolder")->accessibleName(), "Open folder");
  EXPECT_EQ(Find<QGroupBox>("Frame1")->title(), "Good frames");
  for (const char* picture : {"cOpen", "cSave"}) {
    EXPECT_FALSE(Find<QPushButton>(picture)->icon().isNull()) << picture;
  }
  for (const std::size_t control : kFocusOrder) {
    const auto* widget = Find<QWidget>(std::string(NameOf(kControls[control])).c_str());
    EXPECT_FALSE(widget->accessibleName().isEmpty()) << NameOf(kControls[control]);
    EXPECT_FALSE(widget->toolTip().isEmpty()) << NameOf(kControls[control]);
  }
  EXPECT_EQ(Find<QLabel>("lStatus")->text(), "");
  EXPECT_FALSE(Find<QPushButton>("cOpenFolder")->isEnabled());
}

// Whether a pixel of a label's picture is part of its text.
bool Ink(QRgb pixel) { return qGray(pixel) < 160; }

TEST_F(Form1Test, CaptionsFitAndGapBoxesCoverOnlyTheirBlanksAtAnyFontSize) {
  const QSize usual = form_->size();
  for (const char* sheet : {"", "* { font-size: 16pt; }", "* { font-family: serif; font-size: 11pt; }"}) {
    qApp->setStyleSheet(QString::fromLatin1(sheet));
    Open();
    if (*sheet != '\0') {
      EXPECT_GT(testing::FormAccess::Layout(*form_).width, usual.width()) << sheet;
    }
    for (const QLabel* label : form_->findChildren<QLabel*>()) {
      if (qobject_cast<const GapLabel*>(label) != nullptr || label->text().isEmpty()) continue;
      const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic |
                        (label->wordWrap() ? Qt::TextWordWrap : 0);
      const QRect needed = label->fontMetrics().boundingRect(label->rect(), flags, label->text());
      EXPECT_TRUE(label->rect().contains(needed)) << sheet << label->objectName().toStdString();
    }
    for (const CheckBox* box : form_->findChildren<CheckBox*>()) {
      const QRect room = box->TextRect();
      const QRect needed = box->fontMetrics().boundingRect(
          room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
          box->text());
      EXPECT_TRUE(room.contains(needed) && room.right() <= box->width())
          << sheet << box->objectName().toStdString();
    }
    for (const auto& [label, box] : {std::pair{"Label9", "tOffsetBefore"},
                                     std::pair{"Label10", "tOffsetAfter"},
                                     std::pair{"Label7", "tExcludeOffset"}}) {
      auto* sentence = Find<QLabel>(label);
      const QRect place = Find(box)->geometry().translated(-sentence->pos());
      const QImage picture = sentence->grab().toImage();
      // Under the box the sentence has no ink; before it and after it, it has.
      bool under = false, before = false, after = false;
      for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
          if (!Ink(picture.pixel(x, y))) continue;
          const bool rows = y >= place.top() && y <= place.bottom();
          under = under || (rows && x >= place.left() && x <= place.right());
          before = before || y < place.top() || (rows && x < place.left());
          after = after || y > place.bottom() || (rows && x > place.right());
        }
      }
      EXPECT_TRUE(!under && before && after) << sheet << box;
      // A click there reaches the box, not the sentence under it.
      auto* content = Find<QWidget>("content");
      EXPECT_EQ(content->childAt(Find(box)->mapTo(content, QPoint(4, 4))), Find(box)) << box;
    }
  }
}

TEST_F(Form1Test, AWindowTallerThanTheScreenScrollsAndWideningStretchesTheLongBoxes) {
  const QRect screen = form_->screen()->availableGeometry();
  EXPECT_LE(form_->height(), screen.height());
  EXPECT_EQ(Find<QWidget>("content")->minimumHeight(), testing::FormAccess::Layout(*form_).height);

  auto* content = Find<QWidget>("content");
  const int before = content->width();
  const QRect input = Find("tInput")->geometry();
  const QRect open = Find<QPushButton>("cOpen")->geometry();
  const QRect minimum = Find("tMinLength")->geometry();
  form_->resize(form_->width() + 120, form_->height());
  Settle();
  const int wider = content->width() - before;
  EXPECT_GT(wider, 100);
  EXPECT_EQ(Find("tInput")->width(), input.width() + wider);
  EXPECT_EQ(Find<QPushButton>("cOpen")->x(), open.x() + wider);
  EXPECT_EQ(Find("tMinLength")->geometry(), minimum);
}

TEST_F(Form1Test, TypingInTheInputBoxProposesTheOutput) {
  QTest::keyClicks(Find("tInput"), "ab.txt");
  EXPECT_EQ(Find("tOutput")->text(), "ab.avs");
  QTest::keyClicks(Find("tOutput"), "x");
  EXPECT_EQ(testing::FormAccess::Values(*form_).tOutput, "ab.avsx");
}

TEST_F(Form1Test, ANumberCheckThatFailsReturnsTheFocusWithTheTextSelected) {
  Find("tMinLength")->setText(QStringLiteral("7a"));
  Find("tMinLength")->setFocus();
  QTest::keyClick(Find("tMinLength"), Qt::Key_Tab);
  Settle();
  EXPECT_EQ(desktop_.messages, std::vector<std::string>{"ENTER a valid number"});
  EXPECT_EQ(Focused(), "tMinLength");
  EXPECT_EQ(Find("tMinLength")->selectedText(), "7a");
  QTest::keyClicks(Find("tMinLength"), "5");
  EXPECT_EQ(testing::FormAccess::Values(*form_).tMinLength, "5") << "typing replaces the text";

  // Two bad boxes do not hand the focus back and forth, and a click on a button after a bad box
  // is cancelled.
  desktop_.messages.clear();
  Find("tOffsetBefore")->setText(QStringLiteral("x"));
  Find("tOffsetAfter")->setText(QStringLiteral("y"));
  Find("tOffsetBefore")->setFocus();
  QTest::keyClick(Find("tOffsetBefore"), Qt::Key_Tab);
  for (int i = 0; i < 5; ++i) Settle();
  Click("cAbout");
  EXPECT_EQ(desktop_.messages.size(), 2u);
  EXPECT_EQ(Focused(), "tOffsetBefore");
  EXPECT_TRUE(desktop_.abouts.empty());

  // Another window taking the focus does not check.
  desktop_.messages.clear();
  QFocusEvent leave(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(Find("tOffsetBefore"), &leave);
  Settle();
  EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(Form1Test, TabVisitsTheControlsInTheirOrder) {
  std::vector<std::string> visited{Focused().toStdString()};
  for (std::size_t i = 0; i < kFocusOrder.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    Settle();
    visited.push_back(Focused().toStdString());
  }
  std::vector<std::string> expected;
  for (const std::size_t control : kFocusOrder) expected.emplace_back(NameOf(kControls[control]));
  expected.push_back("tInput");
  // Open folder takes the focus once a script has been written.
  expected.erase(std::find(expected.begin(), expected.end(), "cOpenFolder"));
  visited.pop_back();
  EXPECT_EQ(visited, expected);
}

TEST_F(Form1Test, StartRunsApartFromTheWindowAndTheStatusLineSaysWhatItDid) {
  TempFolder dir;
  WriteFile(dir.File("frames.txt"), "clip\n10\n11\n");
  Find("tInput")->setText(dir.File("frames.txt"));
  Find("tOffsetBefore")->setText(QStringLiteral("2"));
  QTest::mouseClick(Find<CheckBox>("chIncText"), Qt::LeftButton);
  Click("cStartConv");
  EXPECT_FALSE(Find<QWidget>("content")->isEnabled()) << "nothing typed meanwhile is applied";
  ASSERT_TRUE(QTest::qWaitFor([this] { return Find<QWidget>("content")->isEnabled(); }, 20000));
  EXPECT_EQ(ReadFile(dir.File("frames.avs")),
            "clip\r\nTrim(0,-1)++trim(1, 7)++\\\r\ntrim( 12,0)\r\n");
  EXPECT_EQ(Find<QLabel>("lStatus")->text(), "Wrote frames.avs: good part in 2 trims, 4 frames cut");
  EXPECT_TRUE(Find<QPushButton>("cOpenFolder")->isEnabled());
  Click("cOpenFolder");
  EXPECT_EQ(desktop_.folders, std::vector<std::string>{testing::Bytes(dir.File(""))});


  Find("tInput")->setText(QStringLiteral("<h1>missing.txt"));
  Start();
  EXPECT_EQ(desktop_.messages,
            std::vector<std::string>{"invalid filename: <h1>missing.txt: no such file"});
  EXPECT_EQ(Find<QLabel>("lStatus")->text(), "invalid filename: <h1>missing.txt: no such file");
  EXPECT_EQ(Find<QLabel>("lStatus")->textFormat(), Qt::PlainText);
}

TEST_F(Form1Test, AltAndALetterGoesWhereTheTableSaysAndEnterPressesTheFocusedButton) {
  Find("tMinLength")->setText(QStringLiteral("12"));
  for (const auto& [key, control] : {std::pair{Qt::Key_M, "tMinLength"},
                                     std::pair{Qt::Key_R, "tOffsetAfter"},
                                     std::pair{Qt::Key_C, "cboScriptFor"}}) {
    QTest::keyClick(form_.get(), key, Qt::AltModifier);
    Settle();
    EXPECT_EQ(Focused(), control);
  }
  EXPECT_EQ(Find("tMinLength")->selectedText(), "") << "left";
  QTest::keyClick(form_.get(), Qt::Key_M, Qt::AltModifier);
  EXPECT_EQ(Find("tMinLength")->selectedText(), "12") << "typing replaces the text";

  Find<QPushButton>("cAbout")->setFocus();
  QTest::keyClick(Find<QPushButton>("cAbout"), Qt::Key_Return);
  Settle();
  EXPECT_EQ(desktop_.abouts.size(), 1u);
}

// Fills the window's screen: the screen of the test program is 1024 x 768 pixels.
TEST_F(Form1Test, TheStatusBarIsInSightAfterStartOnASmallScreenAtAnyFontSize) {
  for (const char* sheet : {"", "* { font-size: 16pt; }"}) {
    TempFolder dir;
    WriteFile(dir.File("frames.txt"), "10\n");
    qApp->setStyleSheet(QString::fromLatin1(sheet));
    Open();
    const QRect screen = form_->screen()->availableGeometry();
    EXPECT_EQ(screen.size(), QSize(1024, 768));
    EXPECT_TRUE(screen.contains(form_->frameGeometry())) << sheet;
    Find("tInput")->setText(dir.File("frames.txt"));
    Start();
    auto* status = Find<QLabel>("lStatus");
    EXPECT_EQ(status->text(), "Wrote frames.avs: good part in 2 trims, 1 frame cut");
    const QRect shown(status->mapTo(form_.get(), QPoint(0, 0)), status->size());
    EXPECT_TRUE(form_->rect().contains(shown)) << sheet;
    EXPECT_TRUE(Find<QPushButton>("cOpenFolder")->visibleRegion().boundingRect() ==
                Find<QPushButton>("cOpenFolder")->rect())
        << sheet;
    EXPECT_EQ(status->toolTip(), "<p>Wrote frames.avs: good part in 2 trims, 1 frame cut</p>");
  }
}

TEST_F(Form1Test, EscapeInTheProgressBoxCancelsTheRun) {
  TempFolder dir;
  std::string list;
  for (int frame = 0; frame < 2'000'000; frame += 2) list += std::to_string(frame) + '\n';
  WriteFile(dir.File("frames.txt"), list);
  Find("tInput")->setText(dir.File("frames.txt"));
  QTest::mouseClick(Find<CheckBox>("chOutputBadFrames"), Qt::LeftButton);
  QTest::mouseClick(Find<CheckBox>("chOutputGoodFrames"), Qt::LeftButton);
  testing::FormAccess::ShowProgressAtOnce(*form_);
  Click("cStartConv");
  QProgressDialog* box = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    box = form_->findChild<QProgressDialog*>();
    return box != nullptr && box->isVisible();
  }, 20000));
  // The box takes the focus, as a new window does, over the middle of the window.
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == box; }, 5000));
  const QPoint middle = form_->frameGeometry().center() - box->frameGeometry().center();
  EXPECT_LE(middle.manhattanLength(), 2) << "centred over the window";
  QTest::keyClick(box, Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([this] { return Find<QWidget>("content")->isEnabled(); }, 20000));
  EXPECT_EQ(Find<QLabel>("lStatus")->text(), "cancelled; nothing was written");
  EXPECT_TRUE(ReadFile(dir.File("frames.avs")).empty()) << "nothing written";
}

TEST_F(Form1Test, AFileDroppedOnTheWindowGoesIntoInputOrOntoOutputIntoOutput) {
  const auto drop = [this](const char* onto, const char* url) {
    QMimeData data;
    data.setUrls({QUrl(QString::fromUtf8(url))});
    auto* control = Find<QWidget>(onto);
    const QPointF at = control->mapTo(form_.get(), control->rect().center());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(form_.get(), &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(form_.get(), &dropped);
    return enter.isAccepted();
  };
  EXPECT_TRUE(drop("Label7", "file:///clips/bad%20frames.txt"));
  EXPECT_EQ(testing::FormAccess::Values(*form_).tOutput, "/clips/bad frames.avs");
  EXPECT_TRUE(drop("tOutput", "file:///scripts/new.avs"));
  EXPECT_EQ(testing::FormAccess::Values(*form_).tInput, "/clips/bad frames.txt");
  EXPECT_EQ(testing::FormAccess::Values(*form_).tOutput, "/scripts/new.avs");
  EXPECT_FALSE(drop("tInput", "https://example.org/c.txt"));
  EXPECT_EQ(testing::FormAccess::Values(*form_).tInput, "/clips/bad frames.txt");
}

// The window as the program opens it, with stores in a temporary folder: the stored values are
// loaded before it is shown and saved when it closes.
TEST(Form1StoreTest, ValuesComeBackAndASaveThatFailsIsSaid) {
  testing::TestApplication();
  TempFolder dir;
  FakeDesktop desktop;
  const StoreLocations stores{{testing::Bytes(dir.File("machine/settings.ini")), StoreOwner::kMachine},
                              {testing::Bytes(dir.File("user/settings.ini")), StoreOwner::kUser},
                              false};
  auto window = std::make_unique<Form1>(desktop, stores);
  for (QLineEdit* box : window->findChildren<QLineEdit*>()) box->setText(box->objectName() + "?");
  window->findChild<CheckBox*>(QStringLiteral("chIncText"))->SetValue(2);
  const ControlValues set = testing::FormAccess::Values(*window);
  window->close();
  window = std::make_unique<Form1>(desktop, stores);
  EXPECT_EQ(testing::FormAccess::Values(*window), set) << "Output as stored, not as Input would give it";
  window->close();
  window = std::make_unique<Form1>(desktop, stores, QStringLiteral("/clips/other.txt"));
  ControlValues expected = set;
  expected.tInput = "/clips/other.txt";
  expected.tOutput = "/clips/other.avs";
  EXPECT_EQ(testing::FormAccess::Values(*window), expected) << "a file given to the program goes in after them";
  window->close();
  EXPECT_TRUE(desktop.messages.empty());

  const StoreLocations broken{stores.machine,
                              {testing::Bytes(dir.File("user/settings.ini/x")), StoreOwner::kUser},
                              false};
  Form1(desktop, broken).close();
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].rfind("cannot save the settings in " +
                                          testing::Bytes(dir.File("user/settings.ini/x")),
                                      0),
            0u)
      << desktop.messages[0];
}

}  // namespace
}  // namespace snipforge
