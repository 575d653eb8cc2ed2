// What the window asks of the desktop: the file dialogs, the message box and the About box.
// The window reaches them only through Desktop, so that tests can answer in their place.
#pragma once

#include <QString>

#include <optional>
#include <vector>

class QWidget;

namespace snipforge {

// One entry of a file dialog's filter list: what the user reads, and the patterns of the files
// it lists ("*" for every file).
struct FileFilter {
  QString name;      // "Text (*.txt)"
  QString patterns;  // "*.txt", blank-separated when several
  friend bool operator==(const FileFilter&, const FileFilter&) = default;
};
using FileFilters = std::vector<FileFilter>;

class Desktop {
 public:
  virtual ~Desktop() = default;

  // The existing file the user chose in an open-file dialog; nothing when the user cancelled.
  // The first filter is selected.
  virtual std::optional<QString> ChooseFileToOpen(QWidget* parent, const FileFilters& filters) = 0;
  // The file the user chose to write in a save-file dialog, which asks before an existing file
  // is replaced and refuses a read-only one; nothing when the user cancelled.
  virtual std::optional<QString> ChooseFileToSave(QWidget* parent, const FileFilters& filters) = 0;
  // A modal box titled "Snipforge" with the text and an OK button only. Boxes are wide enough
  // for their whole title beside the window manager's buttons.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  // The About box with the text and an OK button.
  virtual void ShowAbout(QWidget* parent, const QString& text) = 0;
};

// The desktop's own dialogs. The file dialogs open in the folder last chosen in either.
class SystemDesktop final : public Desktop {
 public:
  std::optional<QString> ChooseFileToOpen(QWidget* parent, const FileFilters& filters) override;
  std::optional<QString> ChooseFileToSave(QWidget* parent, const FileFilters& filters) override;
  void ShowMessage(QWidget* parent, const QString& text) override;
  void ShowAbout(QWidget* parent, const QString& text) override;

 private:
  enum class Purpose { kOpen, kSave };
  std::optional<QString> ChooseFile(QWidget* parent, const FileFilters& filters, Purpose purpose);

  QString folder_;
};

// True when a script may be written to `path`: the file is missing or writable, and its folder
// takes new files (the script is written beside the file, then put in its place).
[[nodiscard]] bool MayWriteFile(const QString& path);

}  // namespace snipforge
