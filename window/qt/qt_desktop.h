// The desktop's own dialogs for the Qt window: the file dialogs, message boxes, the
// questions, the About box and the file manager, all showing text as plain text.
#pragma once

#include <QFile>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

#include "window/logic/desktop.h"

namespace snipforge {

// Text between the program's bytes and Qt's: UTF-8 for texts and for paths. A path's byte that
// is not part of a UTF-8 character becomes a lone surrogate (U+DC80 to U+DCFF, which no UTF-8
// text holds) and turns back into that byte, so that a name survives a text box as the bytes it
// is: Qt's own conversion would make "ann\xff.txt" the look-alike "ann\uFFFD.txt", another file.
inline QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
[[nodiscard]] QString FromPath(std::string_view path);
[[nodiscard]] std::string ToPath(const QString& path);

class QtDesktop final : public DesktopDialogs {
 public:
  // The window the dialogs belong to; none until it is set.
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::optional<std::string> ChooseFileToOpen(const FileDialog& dialog) override;
  std::optional<std::string> ChooseFileToSave(const FileDialog& dialog) override;
  void ShowMessage(const std::string& text) override;
  bool Ask(const std::string& question) override;
  void ShowAbout(const std::string& text) override;
  bool OpenFolder(const std::string& path) override;

 private:
  enum class Purpose { kOpen, kSave };
  std::optional<std::string> ChooseFile(const FileDialog& dialog, Purpose purpose);

  QPointer<QWidget> parent_;
};

// True when a script may be written to `path`: the file is missing or writable, and its folder
// takes new files (the script is written beside the file, then put in its place).
[[nodiscard]] bool MayWriteFile(const QString& path);

}  // namespace snipforge
