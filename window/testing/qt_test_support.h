// Helpers for the tests of the Qt window: the one application object of a test program,
// answering a modal window, a temporary folder, whole-file reads and writes of exact bytes, and
// readable values in failure messages.
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/conversion.h"

// How test failures show Qt's strings.
void PrintTo(const QString& text, std::ostream* out);

namespace snipforge {

// How test failures show option values: name=value, one line each.
void PrintTo(const ControlValues& values, std::ostream* out);

namespace testing {

// Never destroyed: at exit, Qt's own statics may already be gone.
QApplication& TestApplication();

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

// Picks the file in an open dialog and accepts it, as a user would. The dialog only takes the
// name into its name box while that box has no focus, and the focus arrives at a moment of the
// window system's choosing, so the box gives it up first.
inline void ChooseFile(QFileDialog* dialog, const QString& path) {
  if (QWidget* focused = dialog->focusWidget()) focused->clearFocus();
  dialog->selectFile(path);
  static_cast<QDialog*>(dialog)->accept();
}

// A folder removed with everything in it when the object goes.
class TempFolder {
 public:
  [[nodiscard]] QString File(const QString& name) const { return dir_.filePath(name); }

 private:
  QTemporaryDir dir_;
};

void WriteFile(const QString& path, const std::string& bytes);
[[nodiscard]] std::string ReadFile(const QString& path);
[[nodiscard]] std::string Bytes(const QString& path);

}  // namespace testing
}  // namespace snipforge
