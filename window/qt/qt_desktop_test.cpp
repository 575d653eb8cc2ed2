#include "window/qt/qt_desktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "window/qt/form1.h"
#include "window/testing/fake_desktop.h"
#include "window/testing/form_access.h"
#include "window/testing/qt_test_support.h"

namespace snipforge {
namespace {

using testing::TempFolder;
using testing::ChooseFile;
using testing::WhenShown;
using testing::WriteFile;

// While it lives, the file cannot be opened for writing by this process: through its mode for
// an ordinary user, through the immutable attribute for root, who ignores modes.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const QString& path) : path_(QFile::encodeName(path).toStdString()) {
    denied_ = ::geteuid() == 0 ? SetImmutable(true) : ::chmod(path_.c_str(), 0444) == 0;
  }
  ~ReadOnlyFile() {
    if (!denied_) return;
    if (::geteuid() == 0) {
      SetImmutable(false);
    } else {
      ::chmod(path_.c_str(), 0644);
    }
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // False where the file system or the process's rights do not allow it.
  [[nodiscard]] bool denied() const { return denied_; }

 private:
  bool SetImmutable(bool on) const {
    const int file = ::open(path_.c_str(), O_RDONLY);
    if (file < 0) return false;
    int flags = 0;
    bool done = ::ioctl(file, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      done = ::ioctl(file, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(file);
    return done;
  }

  std::string path_;
  bool denied_ = false;
};

TEST(PathTextTest, NamesPassThroughQtAsTheirBytes) {
  std::string everyHighByte;
  for (int byte = 0x80; byte <= 0xFF; ++byte) everyHighByte += static_cast<char>(byte);
  const std::string paths[] = {"/clips/bad frames.txt",
                               "/clips/\xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xac.txt",
                               "/clips/ann\xff.txt",
                               "/clips/ann\xef\xbf\xbd.txt",
                               "\xed\xa0\x80\xc0\xaf\xf4\x90\x80\x80\xe2\x82",
                               everyHighByte};
  for (const std::string& path : paths) {
    EXPECT_EQ(ToPath(FromPath(path)), path) << path;
  }
  // A name that is not UTF-8 is not its look-alike, and typed text is UTF-8.
  EXPECT_NE(FromPath("ann\xff.txt"), FromPath("ann\xef\xbf\xbd.txt"));
  EXPECT_EQ(FromPath("\xc3\xa9t\xc3\xa9"), QStringLiteral("\u00e9t\u00e9"));
  EXPECT_EQ(ToPath(QStringLiteral("\u00e9t\u00e9")), "\xc3\xa9t\xc3\xa9");
}

TEST(MayWriteFileTest, RefusesReadOnlyFilesAndFoldersThatAreMissing) {
  TempFolder dir;
  WriteFile(dir.File("old.avs"), "old");
  WriteFile(dir.File("locked.avs"), "locked");
  QDir().mkdir(dir.File("folder"));
  const ReadOnlyFile locked(dir.File("locked.avs"));
  EXPECT_TRUE(MayWriteFile(dir.File("old.avs")));
  EXPECT_TRUE(MayWriteFile(dir.File("new.avs")));
  EXPECT_FALSE(MayWriteFile(dir.File("missing/new.avs")));
  EXPECT_FALSE(MayWriteFile(dir.File("folder")));
  if (!locked.denied()) GTEST_SKIP() << "cannot make a file read-only here";
  EXPECT_FALSE(MayWriteFile(dir.File("locked.avs")));
}

class QtDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::TestApplication(); }
  std::string In(const char* name) const { return testing::Bytes(dir_.File(name)); }

  TempFolder dir_;
  QtDesktop desktop_;
};

TEST_F(QtDesktopTest, OpenDialogStartsInTheFoldersOfTheFilesAndGivesTheChoice) {
  QDir().mkdir(dir_.File("clips"));
  WriteFile(dir_.File("clips/frames.txt"), "1\n");
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->directory().absolutePath(), dir_.File("clips"));
    ChooseFile(dialog, dir_.File("clips/frames.txt"));
  });
  EXPECT_EQ(desktop_.ChooseFileToOpen({{{"Text (*.txt)", "*.txt"}}, In("clips"), {}}),
            In("clips/frames.txt"));

  WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_EQ(desktop_.ChooseFileToOpen({{{"Text (*.txt)", "*.txt"}}, {}, {}}), std::nullopt);
}

// Ann's list "ann\xff.txt" beside "ann\uFFFD.txt", which another account made to look the same:
// the window works on Ann's, whether it comes from the command line or a drop, and the dialog,
// which cannot tell them apart, passes on neither.
TEST_F(QtDesktopTest, ANameThatIsNotUtf8IsNeverTakenForItsLookAlike) {
  // Paths in the test's folder, as bytes (In() would take the name as UTF-8).
  const auto at = [folder = In("x")](const std::string& name) {
    return folder.substr(0, folder.size() - 1) + name;
  };
  const std::string own = at("ann\xff.txt");
  const std::string planted = at("ann\xef\xbf\xbd.txt");
  WriteFile(FromPath(own), "5\n");
  WriteFile(FromPath(planted), "7\n");
  WriteFile(dir_.File("good.txt"), "1\n");

  testing::FakeDesktop desktop;
  Form1 window(desktop, std::nullopt, FromPath(own));
  EXPECT_EQ(testing::FormAccess::Values(window).tInput, own);
  EXPECT_EQ(testing::FormAccess::Values(window).tOutput, at("ann\xff.avs"));
  QMimeData data;
  data.setData(QStringLiteral("text/uri-list"),
               "file://" + QByteArray::fromStdString(at("other\xfe.txt")).toPercentEncoding("/") +
                   "\r\n");
  window.show();
  auto* label = window.findChild<QWidget*>(QStringLiteral("Label7"));
  const QPointF point = label->mapTo(&window, label->rect().center());
  QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(&window, &enter);
  QDropEvent dropped(point, Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(&window, &dropped);
  EXPECT_EQ(testing::FormAccess::Values(window).tInput, at("other\xfe.txt"));

  QString refusal;
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    ChooseFile(dialog, FromPath(planted));  // as the dialog lists either of them
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      refusal = box->text();
      box->accept();
      WhenShown<QFileDialog>([&](QFileDialog* again) { ChooseFile(again, dir_.File("good.txt")); });
    });
  });
  EXPECT_EQ(desktop_.ChooseFileToOpen({{{"Text (*.txt)", "*.txt"}}, In(""), {}}), In("good.txt"));
  EXPECT_EQ(refusal, QStringLiteral("ann\uFFFD.txt: the file dialog cannot tell this name from a "
                                    "look-alike (it holds bytes that are not UTF-8, or U+FFFD). "
                                    "Rename the file, or drop it onto the window."));
}

TEST_F(QtDesktopTest, SaveDialogShowsTheNameAndRefusesAReadOnlyFile) {
  WriteFile(dir_.File("<h1>old.avs"), "hand-written");  // a name another user may have chosen
  WriteFile(dir_.File("<h1>locked.avs"), "locked");
  const ReadOnlyFile locked(dir_.File("<h1>locked.avs"));
  if (!locked.denied()) GTEST_SKIP() << "cannot make a file read-only here";
  QString shownName;
  QStringList boxes;
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    shownName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    ChooseFile(dialog, dir_.File("<h1>locked.avs"));
    WhenShown<QMessageBox>([&](QMessageBox* refusal) {
      boxes.push_back(refusal->text());
      EXPECT_EQ(refusal->textFormat(), Qt::PlainText);
      QTest::keyClick(refusal, Qt::Key_Escape);
      // An existing file is taken without a question: the window asks.
      WhenShown<QFileDialog>(
          [&](QFileDialog* last) { ChooseFile(last, dir_.File("<h1>old.avs")); });
    });
  });
  EXPECT_EQ(desktop_.ChooseFileToSave({{{"Avisynth (*.avs)", "*.avs"}}, In(""), "clip.avs"}),
            In("<h1>old.avs"));
  EXPECT_EQ(shownName, "clip.avs");
  EXPECT_EQ(boxes, QStringList{"<h1>locked.avs cannot be written. Choose another file."});
}

TEST_F(QtDesktopTest, BoxesShowPlainTextAreWideEnoughAndTheQuestionDefaultsToNo) {
  // Room a window manager's title bar takes beside the title: its icon and buttons.
  constexpr int kButtons = 120;
  const std::function<void()> shows[] = {
      [this] { desktop_.ShowMessage("<h1>invalid filename</h1>"); },
      [this] { desktop_.ShowAbout("Snipforge ver 0.06"); },
      [this] { EXPECT_FALSE(desktop_.Ask("out.avs exists. Replace it?")); },
  };
  for (const auto& show : shows) {
    QString title;
    int width = 0;
    int needed = 0;
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      title = box->windowTitle();
      width = box->width();
      EXPECT_EQ(box->textFormat(), Qt::PlainText);
      QFont font = box->font();
      font.setBold(true);
      needed = QFontMetrics(font).horizontalAdvance(title) + kButtons;
      if (box->standardButtons() != QMessageBox::Ok) {
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
        QTest::keyClick(box, Qt::Key_Escape);
      } else {
        box->accept();
      }
    });
    show();
    EXPECT_GE(width, needed) << title.toStdString();
  }
}

}  // namespace
}  // namespace snipforge
