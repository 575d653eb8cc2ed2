// What the window does, apart from drawing it: the values of its option controls,
// Output kept in step with Input, the check of the numeric boxes, the file dialogs, the question
// before a file the window did not write is replaced, the conversion on a thread of its own with
// progress and cancel, the status line, and loading and saving the values. Both views pass their
// events in and show what it says; it calls no toolkit.
#pragma once

#include <atomic>
#include <chrono>
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

// The window's title.
extern const std::string_view kWindowTitle;

// How far a conversion has come, for the progress dialog.
struct RunProgress {
  bool running = false;
  bool showDialog = false;  // the run has gone on for half a second: show progress with Cancel
  int percent = 0;          // 0 to 100
  std::string stage;        // "Reading frames.txt", "Writing clip.avs"
  bool tooLateToCancel = false;  // the script is taking its name: Cancel can no longer stop it
};

class FormLogic {
 public:
  // With stores, the stored values are put over the start values at once (Load), and closing
  // the window saves them (CloseWindow).
  explicit FormLogic(Desktop& desktop, std::optional<StoreLocations> stores = std::nullopt);
  // Cancels a conversion that is still running and waits for it.
  ~FormLogic();
  FormLogic(const FormLogic&) = delete;
  FormLogic& operator=(const FormLogic&) = delete;

  [[nodiscard]] const ControlValues& values() const { return values_; }

  // A text box's text changed, by typing or from code; a new Input brings Output in step.
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
  // number" has been shown and the view puts the focus back into the box with its text selected.
  bool CheckNumber(const Option& option);

  void OpenPressed();
  void SavePressed();
  void AboutPressed();
  void OpenFolderPressed();
  // Starts a conversion on a thread of its own. The view disables the window until Poll says the
  // run has ended, so that nothing typed meanwhile is applied later.
  void StartPressed();
  // Called on the window's thread while a run goes (from a timer or a posted event): the run's
  // progress. A run that has ended is finished here: the question before a file the window did
  // not write is asked, and the status line is set.
  RunProgress Poll();
  // Asks the running conversion to stop; the old script stays as it was.
  void Cancel();
  [[nodiscard]] bool running() const { return worker_.joinable(); }

  // What the last Start did: the status line.
  [[nodiscard]] const std::string& status() const { return status_; }
  // True once a script has been written, whose folder Open folder shows.
  [[nodiscard]] bool CanOpenFolder() const { return !scriptFolder_.empty(); }

  // Creates the user's store when it is missing and puts the stored values over the start
  // values, in load order.
  void Load(const StoreLocations& stores);
  // Stores the values; fails with the message the view shows when they could not be stored.
  [[nodiscard]] Status Save(const StoreLocations& stores) const;
  // Cancels a running conversion and waits for it to end.
  void Close();
  // The window closes: a running conversion stops, leaving the old script, and the values are
  // saved in the stores, with a message when they could not be.
  void CloseWindow();

 private:
  void Run(ReplacePolicy policy);
  void Finish(RunOutcome outcome);
  [[nodiscard]] ControlValues ValuesToRun() const;

  Desktop& desktop_;
  std::optional<StoreLocations> stores_;
  ControlValues values_;
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
