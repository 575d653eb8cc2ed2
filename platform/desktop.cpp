#include "platform/desktop.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QSpacerItem>

namespace snipforge {
namespace {

// Room, in pixels, that a window manager's title bar takes beside the title: the window's icon
// and up to four buttons.
constexpr int kTitleBarRoom = 160;

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

bool MayWriteFile(const QString& path) {
  const QFileInfo file(path);
  return (!file.exists() || (file.isFile() && file.isWritable())) &&
         QFileInfo(file.absolutePath()).isWritable();
}

std::optional<QString> SystemDesktop::ChooseFileToOpen(QWidget* parent,
                                                       const FileFilters& filters) {
  return ChooseFile(parent, filters, Purpose::kOpen);
}

std::optional<QString> SystemDesktop::ChooseFileToSave(QWidget* parent,
                                                       const FileFilters& filters) {
  return ChooseFile(parent, filters, Purpose::kSave);
}

std::optional<QString> SystemDesktop::ChooseFile(QWidget* parent, const FileFilters& filters,
                                                 Purpose purpose) {
  // A dialog takes a filter's patterns from the last parenthesised group of its text and, with
  // HideNameFilterDetails, shows what stands before that group: "all (*.*) (*)" reads
  // "all (*.*)" and lists every file, also names without a point.
  QStringList nameFilters;
  for (const FileFilter& filter : filters) {
    nameFilters.push_back(filter.name + QStringLiteral(" (") + filter.patterns + u')');
  }
  for (;;) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::HideNameFilterDetails);  // before the filters: it shapes them
    dialog.setNameFilters(nameFilters);
    if (purpose == Purpose::kOpen) {
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
      dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
    }
    if (!folder_.isEmpty()) dialog.setDirectory(folder_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return std::nullopt;
    }
    const QString path = dialog.selectedFiles().constFirst();
    folder_ = QFileInfo(path).absolutePath();
    if (purpose == Purpose::kOpen || MayWriteFile(path)) return path;
    ShowMessage(parent, QFileInfo(path).fileName() + " cannot be written. Choose another file.");
  }
}

void SystemDesktop::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Snipforge"), text, QMessageBox::Ok,
                  parent);
  FitTitle(box);
  box.exec();
}

void SystemDesktop::ShowAbout(QWidget* parent, const QString& text) {
  // As QMessageBox::about shows it, the application's icon beside the text.
  QMessageBox box(QMessageBox::Information, QStringLiteral("About Snipforge"), text,
                  QMessageBox::Ok, parent);
  const QIcon icon = box.windowIcon();
  box.setIconPixmap(icon.pixmap(icon.actualSize(QSize(64, 64))));
  FitTitle(box);
  box.exec();
}

}  // namespace snipforge
