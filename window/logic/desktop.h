// What the window logic asks of the desktop it runs on: the file dialogs, the message boxes, the
// About box and the file manager, and of the window itself: showing the values, the focus, a
// timer and the progress of a run. Each view answers with its toolkit's own; tests answer in the
// user's place. Texts are UTF-8 and shown as plain text, never as markup.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
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

// How far a conversion has come.
struct RunProgress {
  bool running = false;     // the window takes no input while it is set
  bool showDialog = false;  // the run has gone on for half a second: show progress with Cancel
  int percent = 0;          // 0 to 100
  std::string stage;        // "Reading frames.txt", "Writing clip.avs"
  bool tooLateToCancel = false;  // the script is taking its name: Cancel can no longer stop it
};

// The desktop's own dialogs and the file manager.
class DesktopDialogs {
 public:
  virtual ~DesktopDialogs() = default;

  // The existing file the user chose in an open-file dialog; nothing when the user cancelled.
  virtual std::optional<std::string> ChooseFileToOpen(const FileDialog& dialog) = 0;
  // The file the user chose to write in a save-file dialog, which refuses a file that cannot
  // be written; nothing when the user cancelled. It does not ask before an existing file is
  // replaced: the window asks.
  virtual std::optional<std::string> ChooseFileToSave(const FileDialog& dialog) = 0;
  // A modal box titled "Snipforge" with the text and an OK button only.
  virtual void ShowMessage(const std::string& text) = 0;
  // A modal question with the buttons Yes and No; No is the default and Escape means No.
  // True for Yes.
  virtual bool Ask(const std::string& question) = 0;
  // The About box with the text and an OK button.
  virtual void ShowAbout(const std::string& text) = 0;
  // Shows the folder in the desktop's file manager; false when none could be started.
  virtual bool OpenFolder(const std::string& path) = 0;
};

// The window the logic drives: each view answers with its controls, which it names by their
// rows in kControls.
class WindowView {
 public:
  virtual ~WindowView() = default;

  // Shows the logic's values, which controls are greyed out and why, and the status line. The
  // edits the controls report meanwhile are these values coming back; the logic ignores them.
  virtual void ShowValues() = 0;
  // Puts the focus into the control, with a text box's text selected, so that typing replaces
  // it.
  virtual void Focus(std::size_t control) = 0;
  // The control that has the focus; nothing when the focus is in another window.
  [[nodiscard]] virtual std::optional<std::size_t> FocusedControl() const = 0;
  // Calls `task` on the window's thread after `delay`, once the event being handled is done.
  virtual void After(std::chrono::milliseconds delay, std::function<void()> task) = 0;
  // A run's progress: while it is running the window takes no input, and from showDialog on a
  // progress box with Cancel, centred over the window, shows it. Once it has ended, the box
  // goes and the window takes input again.
  virtual void ShowRun(const RunProgress& run) = 0;
};

}  // namespace snipforge
