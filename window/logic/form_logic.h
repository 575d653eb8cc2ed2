// What the window does, apart from drawing it: the values of its option controls,
// Output kept in step with Input, the check of the numeric boxes when the focus leaves them, the
// Alt+letter keys, which control has the focus first, the file dialogs and the question before
// an existing file is replaced, the conversion on a thread of its own polled with the desktop's
// timer, with progress and cancel, the status line, and loading and saving the values. Both
// views pass their events in and show what it says; it calls no toolkit.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/conversion.h"
#include "engine/option_table.h"
#include "engine/result.h"
#include "settings/settings_store.h"
#include "window/logic/desktop.h"

namespace snipforge {
namespace testing {
struct FormAccess;
}  // namespace testing

// The window's title.
extern const std::string_view kWindowTitle;

class FormLogic {
 public:
  // With stores, the stored values are put over the start values at once (Load), and closing
  // the window saves them (CloseWindow). Nothing is shown before Opened.
  FormLogic(DesktopDialogs& dialogs, WindowView& window,
            std::optional<StoreLocations> stores = std::nullopt);
  // Cancels a conversion that is still running and waits for it.
  ~FormLogic();
  FormLogic(const FormLogic&) = delete;
  FormLogic& operator=(const FormLogic&) = delete;

  [[nodiscard]] const ControlValues& values() const { return values_; }

  // The view has made its controls: the values are shown and the first control takes the
  // focus.
  void Opened();
  // The control that has the focus when the window opens.
  [[nodiscard]] static std::size_t FirstFocus();

  // A text box's text changed, by typing or from code; a new Input brings Output in step (an
  // empty Input gives an empty Output).
  void SetText(const Option& option, std::string text);
  // A check box's value from code (0, 1 or 2); other values change nothing.
  void SetCheck(const Option& option, int value);
  // A click on a check box: checked becomes unchecked, anything else checked.
  void ToggleCheck(const Option& option);
  // A choice picked by its place among the option's choices; other values change nothing. A
  // new frame server brings an Output that was derived from Input in step.
  void SetChoice(const Option& option, int index);
  // Why the option's control is greyed out, said in its tooltip; empty while it is not: with a
  // VapourSynth script the review and the exact end have no effect.
  [[nodiscard]] std::string_view DisabledBecause(const Option& option) const;
  // A file given to the program, chosen in the open dialog or dropped on the window goes into
  // Input, and Output follows it, also when Input held that file already. Nothing changes
  // while a conversion runs.
  void TakeInput(std::string path);
  // A file dropped onto Output; likewise.
  void TakeOutput(std::string path);

  // Leaving a numeric box: true when its text is a number; otherwise the message "ENTER a valid
  // number" has been shown.
  bool CheckNumber(const Option& option);
  // The focus has left the control for another control of the window (not for another window).
  // A numeric box is checked once the focus has arrived, or before a click that left it does
  // anything; a check that fails shows its message, cancels that click and puts the focus back
  // into the box with its text selected.
  void FocusLeft(std::size_t control);
  // Alt and a letter: the control whose key it is takes the focus; a button is pressed and a
  // check box clicked. False when the letter is no control's key.
  bool KeyPressed(char letter);

  // A button of the window, by its row in kControls.
  void Pressed(std::size_t control);
  void OpenPressed();
  void SavePressed();
  void AboutPressed();
  void OpenFolderPressed();
  // Starts a conversion on a thread of its own and polls it with the desktop's timer until it
  // ends; the window takes no input meanwhile, so that nothing typed is applied later. A run
  // that has ended is finished there: the question before a file the window did not write is
  // asked, and the status line is set.
  void StartPressed();
  // Asks the running conversion to stop; the old script stays as it was.
  void Cancel();
  [[nodiscard]] bool running() const { return worker_.joinable(); }
  // True while a run goes or is being finished (its question may be open): the window takes no
  // input.
  [[nodiscard]] bool busy() const { return running() || finishing_; }

  // What the last Start did, for the status bar: the run's warning on a line of its own, if
  // any, then what was written or why not.
  [[nodiscard]] const std::string& status() const { return status_; }
  // True once a script has been written, whose folder Open folder shows.
  [[nodiscard]] bool CanOpenFolder() const { return !scriptFolder_.empty(); }

  // Creates the user's store when it is missing and puts the stored values over the start
  // values, in load order.
  void Load(const StoreLocations& stores);
  // Stores the values; fails with the message the view shows when they could not be stored.
  [[nodiscard]] Result<void> Save(const StoreLocations& stores) const;
  // Cancels a running conversion and waits for it to end.
  void Close();
  // The window closes: a running conversion stops, leaving the old script, and the values are
  // saved in the stores, with a message when they could not be. Nothing is shown after it.
  void CloseWindow();

 private:
  friend struct testing::FormAccess;

  void Run(ReplacePolicy policy);
  void Tick();
  [[nodiscard]] RunProgress Poll();
  void Finish(RunOutcome outcome);
  [[nodiscard]] ControlValues ValuesToRun() const;
  // Shows the values; the edits the view reports meanwhile are ignored.
  void Show();
  // Checks the numeric boxes the focus has left; false when one failed.
  bool SettleNumbers();
  void PutValue(const Option& option, std::string text);

  DesktopDialogs& dialogs_;
  WindowView& window_;
  std::chrono::milliseconds progressDelay_{500};  // how long a run goes before its progress shows
  std::optional<StoreLocations> stores_;
  ControlValues values_;
  bool opened_ = false;
  bool closed_ = false;
  bool showing_ = false;          // set while the view is given the values
  bool returningFocus_ = false;   // set while a failed check puts the focus back
  bool finishing_ = false;        // set while a run that has ended is finished
  std::vector<std::size_t> leftBoxes_;  // numeric boxes left and not checked yet
  std::string savePicked_;           // the Output the user chose in the Save dialog
  std::vector<FileId> written_;      // the files this window has written
  std::string status_;
  std::string scriptFolder_;         // of the script written last
  std::string runOutput_;            // the Output of the run going on
  ReplacePolicy runPolicy_;
  RunControl control_;
  std::thread worker_;
  std::atomic<bool> done_{false};
  RunOutcome outcome_;               // the run's, once done_ is set
  std::chrono::steady_clock::time_point started_;
};

}  // namespace snipforge
