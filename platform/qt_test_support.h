// Helpers for tests of the window and its store: the one application object of a test program,
// a desktop that answers in the user's place and records what it was asked to show, and a file
// made read-only for this process, root included.
#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"

// How test failures show Qt's strings.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace snipforge::testing {

// Never destroyed: at exit, Qt's own statics may already be gone.
inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "snipforge_tests";
  static char* argv[] = {name, nullptr};
  static auto* application = new QApplication(argc, argv);
  return *application;
}

class FakeDesktop final : public Desktop {
 public:
  // The answers of the next file dialogs, in turn: a file name, or nothing for a cancel.
  std::deque<std::optional<QString>> answers;
  std::vector<QStringList> openFilters;
  std::vector<QStringList> saveFilters;
  std::vector<QString> messages;
  std::vector<QString> abouts;

  std::optional<QString> ChooseFileToOpen(QWidget*, const QStringList& filters) override {
    openFilters.push_back(filters);
    return NextAnswer();
  }
  std::optional<QString> ChooseFileToSave(QWidget*, const QStringList& filters) override {
    saveFilters.push_back(filters);
    return NextAnswer();
  }
  void ShowMessage(QWidget*, const QString& text) override { messages.push_back(text); }
  void ShowAbout(QWidget*, const QString& text) override { abouts.push_back(text); }

 private:
  std::optional<QString> NextAnswer() {
    if (answers.empty()) return std::nullopt;
    std::optional<QString> answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// While it lives, the file cannot be opened for writing by this process: through its mode for
// an ordinary user, through the immutable attribute for root, who ignores modes.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
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

}  // namespace snipforge::testing
