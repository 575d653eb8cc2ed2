// Helpers for the tests of the desktop side (platform/, settings/, window/): the one application
// object of a test program, a temporary folder, whole-file reads and writes of exact bytes, and
// readable values in failure messages.
#pragma once

#include <QApplication>
#include <QString>
#include <QTemporaryDir>

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

// A folder removed with everything in it when the object goes.
class TempFolder {
 public:
  [[nodiscard]] QString File(const QString& name) const { return dir_.filePath(name); }
  // The names of everything in the folder, sorted.
  [[nodiscard]] std::vector<std::string> Names() const;

 private:
  QTemporaryDir dir_;
};

void WriteFile(const QString& path, const std::string& bytes);
// Writes the file 0600 in a folder made 0700 when missing, as a user's own settings store is.
void WritePrivateFile(const QString& path, const std::string& bytes);
[[nodiscard]] std::string ReadFile(const QString& path);

}  // namespace testing
}  // namespace snipforge
