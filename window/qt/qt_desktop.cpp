#include "window/qt/qt_desktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QUrl>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "engine/message_text.h"

namespace snipforge {
namespace {

// Room, in pixels, that a window manager's title bar takes beside the title: the window's icon
// and up to four buttons.
constexpr int kTitleBarRoom = 160;

// Where a path's stray bytes go among UTF-16's lone surrogates: 0x80 to 0xFF.
constexpr char16_t kStrayByte = 0xDC00;

// The absolute form of a path given as bytes, from the working folder.
std::string AbsolutePath(const std::string& path) {
  if (path.starts_with('/')) return path;
  std::error_code error;
  const std::string folder = std::filesystem::current_path(error).native();
  return error ? path : folder + '/' + path;
}

// How long, in milliseconds, xdg-open may take to say whether a program showed a folder.
constexpr int kOpenerWait = 1500;

// Qt sizes a message box by its text and by its title in a small font with little room for the
// title bar's buttons, so a window manager cut "Snipforge" short above a short message. A
// spacer across the box's grid keeps it as wide as the title in bold beside those buttons.
// Call it after the box's text and icon are set: setting them lays the box out anew.
void FitTitle(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  QFont font = box.font();
  font.setBold(true);
  const int width = QFontMetrics(font).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

QString FromPath(std::string_view path) {
  QString text;
  text.reserve(static_cast<qsizetype>(path.size()));
  while (!path.empty()) {
    std::size_t valid = 0;  // bytes of whole UTF-8 characters from the start
    while (valid < path.size()) {
      const std::size_t length = Utf8CharacterLength(path.substr(valid));
      if (length == 0) break;
      valid += length;
    }
    text += QString::fromUtf8(path.data(), static_cast<qsizetype>(valid));
    path.remove_prefix(valid);
    if (!path.empty()) {
      text += QChar(static_cast<char16_t>(kStrayByte + static_cast<unsigned char>(path.front())));
      path.remove_prefix(1);
    }
  }
  return text;
}

std::string ToPath(const QString& path) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(path.size()));
  qsizetype start = 0;  // of the characters not yet added
  for (qsizetype i = 0; i < path.size(); ++i) {
    const char16_t unit = path[i].unicode();
    const bool afterHigh = i > 0 && path[i - 1].isHighSurrogate();
    if (unit < kStrayByte + 0x80 || unit > kStrayByte + 0xFF || afterHigh) continue;
    bytes += QStringView(path).mid(start, i - start).toUtf8().toStdString();
    bytes += static_cast<char>(unit - kStrayByte);
    start = i + 1;
  }
  bytes += QStringView(path).mid(start).toUtf8().toStdString();
  return bytes;
}

bool MayWriteFile(const QString& path) {
  const QFileInfo file(path);
  return (!file.exists() || (file.isFile() && file.isWritable())) &&
         QFileInfo(file.absolutePath()).isWritable();
}

std::optional<std::string> QtDesktop::ChooseFileToOpen(const FileDialog& dialog) {
  return ChooseFile(dialog, Purpose::kOpen);
}

std::optional<std::string> QtDesktop::ChooseFileToSave(const FileDialog& dialog) {
  return ChooseFile(dialog, Purpose::kSave);
}

std::optional<std::string> QtDesktop::ChooseFile(const FileDialog& request, Purpose purpose) {
  // A dialog takes a filter's patterns from the last parenthesised group of its text and, with
  // HideNameFilterDetails, shows what stands before that group: "all (*.*) (*)" reads
  // "all (*.*)" and lists every file, also names without a point.
  QStringList nameFilters;
  for (const FileFilter& filter : request.filters) {
    nameFilters.push_back(FromUtf8(filter.name) + QStringLiteral(" (") + FromUtf8(filter.patterns) +
                          u')');
  }
  QString folder = FromPath(request.folder);
  QString name = FromPath(request.name);
  for (;;) {
    QFileDialog dialog(parent_);
    dialog.setOption(QFileDialog::HideNameFilterDetails);  // before the filters: it shapes them
    dialog.setNameFilters(nameFilters);
    if (purpose == Purpose::kOpen) {
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
      dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
      // Qt's own question would read the file's name as markup; this desktop asks in plain text.
      dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    if (!name.isEmpty()) dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return std::nullopt;
    }
    const QString path = dialog.selectedFiles().constFirst();
    const QFileInfo file(path);
    const std::string shown = EscapeControlCharacters(ToPath(file.fileName()));
    folder = file.absolutePath();
    name.clear();
    // The dialog hands over names as Qt decodes them, a byte that is not UTF-8 as U+FFFD: the
    // name of another file, which a second account may have made to look the same.
    if (path.contains(QChar::ReplacementCharacter)) {
      ShowMessage(shown +
                  ": the file dialog cannot tell this name from a look-alike (it holds bytes "
                  "that are not UTF-8, or U+FFFD). Rename the file, or drop it onto the window.");
      continue;
    }
    if (purpose == Purpose::kOpen) return ToPath(path);
    if (!MayWriteFile(path)) {
      ShowMessage(shown + " cannot be written. Choose another file.");
    } else {
      return ToPath(path);
    }
  }
}

void QtDesktop::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Snipforge"), FromUtf8(text),
                  QMessageBox::Ok, parent_);
  box.setTextFormat(Qt::PlainText);  // a file's name is shown as it is, never as markup
  FitTitle(box);
  box.exec();
}

bool QtDesktop::Ask(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Snipforge"), FromUtf8(question),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  FitTitle(box);
  return box.exec() == QMessageBox::Yes;
}

void QtDesktop::ShowAbout(const std::string& text) {
  // As QMessageBox::about shows it, the application's icon beside the text.
  QMessageBox box(QMessageBox::Information, QStringLiteral("About Snipforge"), FromUtf8(text),
                  QMessageBox::Ok, parent_);
  box.setTextFormat(Qt::PlainText);
  const QIcon icon = box.windowIcon();
  box.setIconPixmap(icon.pixmap(icon.actualSize(QSize(64, 64))));
  FitTitle(box);
  box.exec();
}

bool QtDesktop::OpenFolder(const std::string& path) {
  // Named by a URL made from the bytes, so that a folder whose name is not UTF-8 is the folder
  // shown.
  const QByteArray url =
      "file://" + QByteArray::fromStdString(AbsolutePath(path)).toPercentEncoding("/");
  // Root's window starts no program that a folder in its PATH another user may write could
  // hold: only the system's xdg-open, and no other opener.
  const bool root = ::geteuid() == 0;
  const QString opener = QStandardPaths::findExecutable(
      QStringLiteral("xdg-open"),
      root ? QStringList{QStringLiteral("/usr/bin"), QStringLiteral("/bin")} : QStringList{});
  if (opener.isEmpty()) {
    return !root && QDesktopServices::openUrl(QUrl::fromEncoded(url, QUrl::StrictMode));
  }
  // Qt would start xdg-open and call that success. xdg-open ends at once with an error when no
  // program is set up for folders; one still running after a moment is showing the folder, and
  // is left to run.
  auto* process = new QProcess;
  process->start(opener, {QString::fromLatin1(url)});
  if (!process->waitForStarted()) {
    delete process;
    return false;
  }
  if (!process->waitForFinished(kOpenerWait)) {
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return true;
  }
  const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
  delete process;
  return opened;
}

}  // namespace snipforge
