#include "window/testing/qt_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "engine/option_table.h"

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace snipforge {

void PrintTo(const ControlValues& values, std::ostream* out) {
  for (const Option& option : kOptions) {
    *out << '\n' << option.name << '=' << ::testing::PrintToString(OptionText(values, option));
  }
}

namespace testing {

QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "snipforge_tests";
  static char* argv[] = {name, nullptr};
  static auto* application = new QApplication(argc, argv);
  return *application;
}

void WriteFile(const QString& path, const std::string& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
}

std::string ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

std::string Bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace testing
}  // namespace snipforge
