// What the window logic asks of the desktop it runs on: the file dialogs, the message boxes, the
// About box and the file manager. Each view answers with its toolkit's own; tests answer in the
// user's place. Texts are UTF-8 and shown as plain text, never as markup.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace snipforge {

// One entry of a file dialog's filter list: what the user reads, and the patterns of the files
// it lists ("*" for every file).
struct FileFilter {
  std::string name;      // "Text (*.txt)"
  std::string patterns;  // "*.txt", blank-separated when several
  friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

struct FileDialog {
  std::vector<FileFilter> filters;  // the first is selected
  std::string folder;               // where the dialog starts; empty for the desktop's choice
  std::string name;                 // the file name filled in
  friend bool operator==(const FileDialog&, const FileDialog&) = default;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // The existing file the user chose in an open-file dialog; nothing when the user cancelled.
  virtual std::optional<std::string> ChooseFileToOpen(const FileDialog& dialog) = 0;
  // The file the user chose to write in a save-file dialog, which asks before an existing file
  // is replaced and refuses a read-only one; nothing when the user cancelled.
  virtual std::optional<std::string> ChooseFileToSave(const FileDialog& dialog) = 0;
  // A modal box titled "Snipforge" with the text and an OK button only.
  virtual void ShowMessage(const std::string& text) = 0;
  // A modal question with the buttons Yes and No; No is the default and Escape means No.
  // True for Yes.
  virtual bool Ask(const std::string& question) = 0;
  // The About box with the text and an OK button.
  virtual void ShowAbout(const std::string& text) = 0;
  // Shows the folder in the desktop's file manager.
  virtual void OpenFolder(const std::string& path) = 0;
};

}  // namespace snipforge
