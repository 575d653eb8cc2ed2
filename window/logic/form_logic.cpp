#include "window/logic/form_logic.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "engine/message_text.h"
#include "engine/number_text.h"
#include "engine/output_path.h"
#include "window/logic/controls.h"

#ifndef _WIN32
#include "platform/environment.h"
#endif

namespace snipforge {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);

const FileFilter kAllFiles = {"all (*.*)", "*"};

const Option& kInput = OptionFor(&ControlValues::tInput);
const Option& kOutput = OptionFor(&ControlValues::tOutput);
const Option& kScriptFor = OptionFor(&ControlValues::cboScriptFor);
const Option& kReview = OptionFor(&ControlValues::chOutputBadFrames);
const Option& kExactEnd = OptionFor(&ControlValues::chExactEnd);

// The script's path that goes with the list for the chosen frame server, none for no list; a
// short name (Windows' MYLIST~1.TXT) is taken by its long name first, so that it derives no
// other script's short name.
std::string DerivedOutput(const ControlValues& values) {
  if (values.tInput.empty()) return {};
  return DeriveOutputPath(LongPathName(values.tInput), ScriptExtension(ScriptTargetOf(values)));
}

// A path as the user means it: a leading "~/" is the account's home folder, taken from the
// password database rather than from HOME.
std::string ExpandHome(const std::string& path) {
#ifndef _WIN32
  if (path.starts_with("~/")) {
    const std::string home = HomeOf(CurrentUser());
    if (!home.empty()) return home + path.substr(1);
  }
#endif
  return path;
}

// The folder part of a path when it names an existing folder; empty otherwise.
std::string ExistingFolderOf(const std::string& path) {
  std::string folder(FolderOf(path));
  if (folder.empty()) return {};
  ResolvedPath resolved;
  return resolved.Resolve(folder) ? std::string() : folder;
}

// A file as the window's texts name it: its last name, with any control character written out
// so that a name cannot start a line of its own in a message or the status line.
std::string Shown(const std::string& path) {
  return EscapeControlCharacters(FileNameForMessage(path));
}

// True when something stands at the path, a file, a folder or a link, or the path cannot be
// looked at: the user is asked before the Save dialog's choice takes its place.
bool SomethingAt(const std::string& path) {
  std::error_code error;
  std::filesystem::file_type type = std::filesystem::file_type::none;
  try {
    type = std::filesystem::symlink_status(
        std::filesystem::path(std::u8string(path.begin(), path.end())), error).type();
  } catch (const std::exception&) {  // a name that is not UTF-8 on Windows
    return true;
  }
  if (type == std::filesystem::file_type::not_found) return false;
  return !error || (error != std::errc::no_such_file_or_directory &&
                    error != std::errc::not_a_directory);
}

std::string Count(std::int64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + ' ' + std::string(count == 1 ? one : many);
}

std::string Written(const std::string& script, const RunSummary& summary) {
  std::string text = "Wrote " + Shown(script) + ": ";
  if (summary.goodPart) {
    text += "good part in " + Count(summary.goodTrims, "trim", "trims") + ", " +
            Count(summary.framesCut, "frame", "frames") + " cut";
  }
  if (summary.review) {
    if (summary.goodPart) text += "; ";
    text += "review of " + Count(summary.badParts, "bad part", "bad parts");
  }
  if (!summary.goodPart && !summary.review) text += "the list's text only";
  return text;
}

}  // namespace

const std::string_view kWindowTitle = "Snipforge ver " SNIPFORGE_VERSION;

FormLogic::FormLogic(DesktopDialogs& dialogs, WindowView& window,
                     std::optional<StoreLocations> stores)
    : dialogs_(dialogs), window_(window), stores_(std::move(stores)) {
  if (stores_) Load(*stores_);
}

FormLogic::~FormLogic() { Close(); }

std::size_t FormLogic::FirstFocus() { return kFocusOrder.front(); }

void FormLogic::Opened() {
  opened_ = true;
  Show();
  window_.Focus(FirstFocus());
}

void FormLogic::Show() {
  if (!opened_ || closed_ || showing_) return;
  showing_ = true;
  window_.ShowValues();
  showing_ = false;
}

void FormLogic::PutValue(const Option& option, std::string text) {
  if (option.text == nullptr) return;
  values_.*option.text = std::move(text);
  if (&option == &kInput) values_.tOutput = DerivedOutput(values_);
}

void FormLogic::SetText(const Option& option, std::string text) {
  // The view showing the values reports them back as edits.
  if (showing_) return;
  PutValue(option, std::move(text));
  Show();
}

void FormLogic::SetCheck(const Option& option, int value) {
  if (showing_ || option.check == nullptr || value < 0 || value > 2) return;
  values_.*option.check = value;
  Show();
}

void FormLogic::ToggleCheck(const Option& option) {
  if (showing_ || option.check == nullptr || busy() || !SettleNumbers()) {
    Show();  // the box shows the value it holds again
    return;
  }
  values_.*option.check = values_.*option.check == 1 ? 0 : 1;
  Show();
}

void FormLogic::SetChoice(const Option& option, int index) {
  if (showing_ || option.choice == nullptr || index < 0 ||
      static_cast<std::size_t>(index) >= option.choices.size()) {
    return;
  }
  const bool derived = values_.tOutput == DerivedOutput(values_);
  values_.*option.choice = index;
  if (&option == &kScriptFor && derived) values_.tOutput = DerivedOutput(values_);
  Show();
}

std::string_view FormLogic::DisabledBecause(const Option& option) const {
  if (ScriptTargetOf(values_) != ScriptTarget::kVapourSynth) return {};
  if (&option == &kReview) return "The review is written for AviSynth only.";
  if (&option == &kExactEnd) return "A VapourSynth script always ends exactly.";
  return {};
}

void FormLogic::TakeInput(std::string path) {
  if (busy()) return;
  PutValue(kInput, std::move(path));
  Show();
}

void FormLogic::TakeOutput(std::string path) {
  if (busy()) return;
  values_.tOutput = std::move(path);
  Show();
}

bool FormLogic::CheckNumber(const Option& option) {
  if (option.kind != OptionKind::kNumericText || IsNumberText(values_.*option.text)) return true;
  dialogs_.ShowMessage("ENTER a valid number");
  return false;
}

void FormLogic::FocusLeft(std::size_t control) {
  if (returningFocus_ || control >= kControls.size()) return;
  const Option* option = kControls[control].option;
  if (option == nullptr || option->kind != OptionKind::kNumericText ||
      kControls[control].kind != ControlKind::kTextBox) {
    return;
  }
  // Checked once the focus has arrived where it was going, not in the middle of the move.
  leftBoxes_.push_back(control);
  window_.After(std::chrono::milliseconds(0), [this] { SettleNumbers(); });
}

bool FormLogic::SettleNumbers() {
  while (!leftBoxes_.empty()) {
    const std::size_t control = leftBoxes_.front();
    leftBoxes_.erase(leftBoxes_.begin());
    // The focus gone to another window, the message box among them, has not left the box.
    if (closed_ || !window_.FocusedControl()) continue;
    if (CheckNumber(*kControls[control].option)) continue;
    leftBoxes_.clear();
    // The control that had the focus meanwhile loses it now; that starts no check of its own.
    returningFocus_ = true;
    window_.Focus(control);
    returningFocus_ = false;
    return false;
  }
  return true;
}

bool FormLogic::KeyPressed(char letter) {
  const std::size_t control = ControlForKey(letter);
  if (control == kControls.size()) return false;
  const ControlRow& row = kControls[control];
  if (busy() || closed_ || (row.option != nullptr && !DisabledBecause(*row.option).empty()) ||
      (row.name == "cOpenFolder" && !CanOpenFolder())) {
    return true;  // a greyed-out control takes no key
  }
  window_.Focus(control);
  if (row.kind == ControlKind::kButton) Pressed(control);
  if (row.kind == ControlKind::kCheckBox) ToggleCheck(*row.option);
  return true;
}

void FormLogic::Pressed(std::size_t control) {
  if (control >= kControls.size()) return;
  const std::string_view name = kControls[control].name;
  if (name == "cOpen") OpenPressed();
  if (name == "cSave") SavePressed();
  if (name == "cAbout") AboutPressed();
  if (name == "cOpenFolder") OpenFolderPressed();
  if (name == "cStartConv") StartPressed();
}

void FormLogic::OpenPressed() {
  if (busy() || !SettleNumbers()) return;
  const FileDialog dialog{{{"Text (*.txt)", "*.txt"}, kAllFiles},
                          ExistingFolderOf(ExpandHome(values_.tInput)),
                          {}};
  if (std::optional<std::string> path = dialogs_.ChooseFileToOpen(dialog)) {
    TakeInput(std::move(*path));
  }
}

void FormLogic::SavePressed() {
  if (busy() || !SettleNumbers()) return;
  const std::string output = ExpandHome(values_.tOutput);
  const FileFilter scripts = ScriptTargetOf(values_) == ScriptTarget::kVapourSynth
                                ? FileFilter{"VapourSynth (*.vpy)", "*.vpy"}
                                : FileFilter{"Avisynth (*.avs)", "*.avs"};
  FileDialog dialog{{scripts, kAllFiles}, ExistingFolderOf(output),
                    std::string(LastNameOf(output))};
  while (std::optional<std::string> path = dialogs_.ChooseFileToSave(dialog)) {
    if (!SomethingAt(*path) || dialogs_.Ask(Shown(*path) + " exists. Replace it?")) {
      values_.tOutput = std::move(*path);
      savePicked_ = values_.tOutput;  // the user has said the file there may be replaced
      Show();
      return;
    }
    // No: the dialog again, in the folder of the file left as it is.
    dialog.folder = std::string(FolderOf(*path));
    dialog.name.clear();
  }
}

void FormLogic::AboutPressed() {
  if (!SettleNumbers()) return;
  dialogs_.ShowAbout(std::string(kWindowTitle) + "\n\nMade by the Snipforge developers.");
}

void FormLogic::OpenFolderPressed() {
  if (!CanOpenFolder() || !SettleNumbers()) return;
  if (!dialogs_.OpenFolder(scriptFolder_)) {
    dialogs_.ShowMessage("cannot show the folder " + EscapeControlCharacters(scriptFolder_) +
                         ": no file manager opened it");
  }
}

ControlValues FormLogic::ValuesToRun() const {
  ControlValues values = values_;
  values.tInput = ExpandHome(values.tInput);
  values.tOutput = ExpandHome(values.tOutput);
  // A greyed-out box has no say in the run.
  for (const Option* option : {&kReview, &kExactEnd}) {
    if (!DisabledBecause(*option).empty()) values.*option->check = 0;
  }
  return values;
}

void FormLogic::StartPressed() {
  if (busy() || closed_ || !SettleNumbers()) return;
  // A file at the Output that this window did not write is replaced only when the user says so:
  // the run first may replace nothing, and asks when it meets a file.
  Run(!values_.tOutput.empty() && values_.tOutput == savePicked_ ? ReplacePolicy::Always()
                                                                 : ReplacePolicy::Never());
  if (!opened_) return;
  window_.ShowRun(RunProgress{.running = true});
  window_.After(kPollInterval, [this] { Tick(); });
}

void FormLogic::Run(ReplacePolicy policy) {
  control_.cancel = false;
  control_.committing = false;
  control_.inputSize = 0;
  control_.bytesRead = 0;
  control_.bytesWritten = 0;
  control_.entriesToWrite = 0;
  control_.entriesWritten = 0;
  done_ = false;
  runPolicy_ = policy;
  started_ = std::chrono::steady_clock::now();
  const ControlValues values = ValuesToRun();
  runOutput_ = values.tOutput;
  worker_ = std::thread([this, values, policy] {
    RunOptions run;
    run.replace = policy;
    run.control = &control_;
    outcome_ = RunConversion(values, run);
    done_ = true;
  });
}

void FormLogic::Tick() {
  // A timer that fires while a question about the ended run is open finds it being finished.
  if (finishing_ || closed_ || !running()) return;
  const RunProgress progress = Poll();
  if (closed_) return;
  window_.ShowRun(progress);
  if (progress.running) {
    window_.After(kPollInterval, [this] { Tick(); });
    return;
  }
  Show();
  window_.Focus(ControlIndex("cStartConv"));
}

RunProgress FormLogic::Poll() {
  if (!running()) return {};
  if (done_) {
    worker_.join();
    finishing_ = true;
    Finish(std::move(outcome_));
    finishing_ = false;
    if (running()) return Poll();  // asked and started again
    return {};
  }
  RunProgress progress;
  progress.running = true;
  progress.showDialog = std::chrono::steady_clock::now() - started_ >= progressDelay_;
  const std::uint64_t size = control_.inputSize;
  const std::uint64_t read = control_.bytesRead;
  // Reading is the first half: two passes over the list (copying its text out reads some more).
  // Writing is the second: the writers' walks over the list.
  const std::uint64_t toWrite = control_.entriesToWrite;
  const std::uint64_t written = control_.entriesWritten;
  const std::uint64_t reading = size == 0 ? 0 : std::min<std::uint64_t>(50, read * 25 / size);
  const std::uint64_t writing = toWrite == 0 ? 0 : std::min<std::uint64_t>(49, written * 49 / toWrite);
  progress.stage = control_.bytesWritten == 0 ? "Reading " + Shown(values_.tInput)
                                              : "Writing " + Shown(runOutput_);
  progress.percent = static_cast<int>(reading + writing);
  progress.tooLateToCancel = control_.committing;
  return progress;
}

void FormLogic::Finish(RunOutcome outcome) {
  if (outcome.ok) {
    written_.push_back(outcome.summary.script);
    status_ = Written(runOutput_, outcome.summary);
    // What the run read as text that looked like frames comes first, on a line of its own.
    if (!outcome.summary.warning.empty()) {
      status_ = EscapeControlCharacters(outcome.summary.warning) + '\n' + status_;
    }
    const std::string_view folder = FolderNameOf(runOutput_);
    scriptFolder_ = folder.empty() ? "." : std::string(folder);
    return;
  }
  if (outcome.existing && runPolicy_.kind == ReplacePolicy::Kind::kNever) {
    const FileId existing = *outcome.existing;
    const std::string name = Shown(runOutput_);
    const bool ours = std::find(written_.begin(), written_.end(), existing) != written_.end();
    if (!ours && opened_) window_.ShowRun(RunProgress{.running = true});  // the box goes first
    if (ours || dialogs_.Ask(name + " exists. Replace it?")) {
      // A window closed while the question was open writes nothing more.
      if (!closed_) {
        Run(ReplacePolicy::OnlyFile(existing));
        return;
      }
    }
    status_ = "Nothing written: " + name + " exists and was left as it is";
    return;
  }
  // The run's messages name files and quote values as they are.
  status_ = EscapeControlCharacters(outcome.message);
  if (control_.cancel) return;  // the user knows: the status line says it
  dialogs_.ShowMessage(status_);
}

void FormLogic::Cancel() {
  if (running()) control_.cancel = true;
}

void FormLogic::Load(const StoreLocations& stores) {
  const LoadedSettings loaded = LoadSettings(stores);
  // A store made now would be empty: the values loaded are the same either way.
  if (!loaded.ownStoreRead) CreateSettingsStore(stores);
  for (const StoredText& stored : loaded.texts) {
    if (stored.option->text != nullptr) {
      PutValue(*stored.option, stored.text);  // tInput first, so that tOutput stays as stored
    } else {
      // A value the control cannot hold keeps the start value.
      static_cast<void>(SetOptionText(values_, *stored.option, stored.text));
    }
  }
  Show();
}

Result<void> FormLogic::Save(const StoreLocations& stores) const {
  return SaveSettings(stores, values_);
}

void FormLogic::Close() {
  if (!running()) return;
  control_.cancel = true;
  worker_.join();
  done_ = false;
}

void FormLogic::CloseWindow() {
  Close();
  if (closed_) return;
  closed_ = true;
  if (!stores_) return;
  if (const Result<void> saved = Save(*stores_); !saved) dialogs_.ShowMessage(saved.error());
}

}  // namespace snipforge
