#include "platform/desktop.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace snipforge {

bool MayWriteFile(const QString& path) {
  const QFileInfo file(path);
  return (!file.exists() || (file.isFile() && file.isWritable())) &&
         QFileInfo(file.absolutePath()).isWritable();
}

std::optional<QString> SystemDesktop::ChooseFileToOpen(QWidget* parent,
                                                       const QStringList& filters) {
  return ChooseFile(parent, filters, Purpose::kOpen);
}

std::optional<QString> SystemDesktop::ChooseFileToSave(QWidget* parent,
                                                       const QStringList& filters) {
  return ChooseFile(parent, filters, Purpose::kSave);
}

std::optional<QString> SystemDesktop::ChooseFile(QWidget* parent, const QStringList& filters,
                                                 Purpose purpose) {
  for (;;) {
    QFileDialog dialog(parent);
    dialog.setNameFilters(filters);
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
  box.exec();
}

void SystemDesktop::ShowAbout(QWidget* parent, const QString& text) {
  QMessageBox::about(parent, QStringLiteral("About Snipforge"), text);
}

}  // namespace snipforge
