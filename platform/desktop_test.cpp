#include "platform/desktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <string>

#include "engine/test_support.h"
#include "platform/qt_test_support.h"

namespace snipforge {
namespace {

using testing::TempDir;
using testing::WriteFile;

QString Q(const std::string& path) { return QFile::decodeName(path.c_str()); }

// Once a modal window of type Window is open, hands it to `answer`.
template <class Window>
void WhenShown(std::function<void(Window*)> answer) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      answer(window);
    }
  });
  timer->start(10);
}

TEST(MayWriteFileTest, RefusesReadOnlyFilesAndFoldersThatAreMissing) {
  TempDir dir;
  WriteFile(dir.File("old.avs"), "old");
  WriteFile(dir.File("locked.avs"), "locked");
  std::filesystem::create_directory(dir.File("folder"));
  const testing::ReadOnlyFile locked(dir.File("locked.avs"));
  EXPECT_TRUE(MayWriteFile(Q(dir.File("old.avs"))));
  EXPECT_TRUE(MayWriteFile(Q(dir.File("new.avs"))));
  EXPECT_FALSE(MayWriteFile(Q(dir.File("missing/new.avs"))));
  EXPECT_FALSE(MayWriteFile(Q(dir.File("folder"))));
  if (!locked.denied()) GTEST_SKIP() << "cannot make a file read-only here";
  EXPECT_FALSE(MayWriteFile(Q(dir.File("locked.avs"))));
}

class SystemDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::TestApplication(); }

  TempDir dir_;
  SystemDesktop desktop_;
};

TEST_F(SystemDesktopTest, OpenDialogGivesTheChosenFileOrNothingWhenCancelled) {
  WriteFile(dir_.File("frames.txt"), "1\n");
  QStringList filters;
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    filters = dialog->nameFilters();
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    dialog->selectFile(Q(dir_.File("frames.txt")));
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_EQ(desktop_.ChooseFileToOpen(nullptr, {"Text (*.txt)", "all (*.*)"}),
            Q(dir_.File("frames.txt")));
  EXPECT_EQ(filters, QStringList({"Text (*.txt)", "all (*.*)"}));

  WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_EQ(desktop_.ChooseFileToOpen(nullptr, {"Text (*.txt)"}), std::nullopt);
}

TEST_F(SystemDesktopTest, SaveDialogRefusesAReadOnlyFileAndAsksAgain) {
  WriteFile(dir_.File("locked.avs"), "locked");
  const testing::ReadOnlyFile locked(dir_.File("locked.avs"));
  if (!locked.denied()) GTEST_SKIP() << "cannot make a file read-only here";
  QString refusal;
  WhenShown<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));  // asks before replacing
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->selectFile(Q(dir_.File("locked.avs")));
    static_cast<QDialog*>(dialog)->accept();
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      refusal = box->windowTitle() + ": " + box->text();
      EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
      box->accept();
      WhenShown<QFileDialog>([&](QFileDialog* again) {
        again->selectFile(Q(dir_.File("new.avs")));
        static_cast<QDialog*>(again)->accept();
      });
    });
  });
  EXPECT_EQ(desktop_.ChooseFileToSave(nullptr, {"Avisynth (*.avs)", "all (*.*)"}),
            Q(dir_.File("new.avs")));
  EXPECT_EQ(refusal, "Snipforge: locked.avs cannot be written. Choose another file.");
}

}  // namespace
}  // namespace snipforge
