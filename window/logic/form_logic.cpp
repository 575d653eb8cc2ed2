#include "window/logic/form_logic.h"

#include <algorithm>
#include <utility>

#include "engine/message_text.h"
#include "engine/number_text.h"
#include "engine/output_path.h"

#ifndef _WIN32
#include "platform/environment.h"
#endif

namespace snipforge {
namespace {

constexpr auto kProgressDelay = std::chrono::milliseconds(500);

const FileFilter kAllFiles = {"all (*.*)", "*"};

const Option& kInput = OptionFor(&ControlValues::tInput);
const Option& kOutput = OptionFor(&ControlValues::tOutput);
const Option& kScriptFor = OptionFor(&ControlValues::cboScriptFor);
const Option& kReview = OptionFor(&ControlValues::chOutputBadFrames);
const Option& kExactEnd = OptionFor(&ControlValues::chExactEnd);

// The script's path that goes with the list for the chosen frame server.
// The script's path that goes with the list for the chosen frame server; a short name (Windows'
// MYLIST~1.TXT) is taken by its long name first, so that it derives no other script's short name.
std::string DerivedOutput(const ControlValues& values) {
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

FormLogic::FormLogic(Desktop& desktop, std::optional<StoreLocations> stores)
    : desktop_(desktop), stores_(std::move(stores)) {
  if (stores_) Load(*stores_);
}

FormLogic::~FormLogic() { Close(); }

void FormLogic::SetText(const Option& option, std::string text) {
  if (option.text == nullptr) return;
  values_.*option.text = std::move(text);
  if (&option == &kInput) values_.tOutput = DerivedOutput(values_);
}

void FormLogic::SetCheck(const Option& option, int value) {
  if (option.check != nullptr && value >= 0 && value <= 2) values_.*option.check = value;
}

void FormLogic::ToggleCheck(const Option& option) {
  if (option.check != nullptr) values_.*option.check = values_.*option.check == 1 ? 0 : 1;
}

void FormLogic::SetChoice(const Option& option, int index) {
  if (option.choice == nullptr || index < 0 ||
      static_cast<std::size_t>(index) >= option.choices.size()) {
    return;
  }
  const bool derived = values_.tOutput == DerivedOutput(values_);
  values_.*option.choice = index;
  if (&option == &kScriptFor && derived) values_.tOutput = DerivedOutput(values_);
}

std::string_view FormLogic::DisabledBecause(const Option& option) const {
  if (ScriptTargetOf(values_) != ScriptTarget::kVapourSynth) return {};
  if (&option == &kReview) return "The review is written for AviSynth only.";
  if (&option == &kExactEnd) return "A VapourSynth script always ends exactly.";
  return {};
}

void FormLogic::TakeInput(std::string path) {
  if (!running()) SetText(kInput, std::move(path));
}

void FormLogic::TakeOutput(std::string path) {
  if (!running()) values_.tOutput = std::move(path);
}

bool FormLogic::CheckNumber(const Option& option) {
  if (option.kind != OptionKind::kNumericText || IsNumberText(values_.*option.text)) return true;
  desktop_.ShowMessage("ENTER a valid number");
  return false;
}

void FormLogic::OpenPressed() {
  const FileDialog dialog{{{"Text (*.txt)", "*.txt"}, kAllFiles},
                          ExistingFolderOf(ExpandHome(values_.tInput)),
                          {}};
  if (std::optional<std::string> path = desktop_.ChooseFileToOpen(dialog)) {
    TakeInput(std::move(*path));
  }
}

void FormLogic::SavePressed() {
  const std::string output = ExpandHome(values_.tOutput);
  const FileFilter scripts = ScriptTargetOf(values_) == ScriptTarget::kVapourSynth
                                ? FileFilter{"VapourSynth (*.vpy)", "*.vpy"}
                                : FileFilter{"Avisynth (*.avs)", "*.avs"};
  const FileDialog dialog{{scripts, kAllFiles},
                          ExistingFolderOf(output),
                          std::string(LastNameOf(output))};
  if (std::optional<std::string> path = desktop_.ChooseFileToSave(dialog)) {
    values_.tOutput = std::move(*path);
    savePicked_ = values_.tOutput;  // the dialog has asked before a file there is replaced
  }
}

void FormLogic::AboutPressed() {
  desktop_.ShowAbout(std::string(kWindowTitle) + "\n\nMade by the Snipforge developers.");
}

void FormLogic::OpenFolderPressed() {
  if (CanOpenFolder()) desktop_.OpenFolder(scriptFolder_);
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
  if (running()) return;
  // A file at the Output that this window did not write is replaced only when the user says so:
  // the run first may replace nothing, and asks when it meets a file.
  Run(!values_.tOutput.empty() && values_.tOutput == savePicked_ ? ReplacePolicy::Always()
                                                                 : ReplacePolicy::Never());
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

RunProgress FormLogic::Poll() {
  if (!running()) return {};
  if (done_) {
    worker_.join();
    Finish(std::move(outcome_));
    if (running()) return Poll();  // asked and started again
    return {};
  }
  RunProgress progress;
  progress.running = true;
  progress.showDialog = std::chrono::steady_clock::now() - started_ >= kProgressDelay;
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
    const std::string_view folder = FolderNameOf(runOutput_);
    scriptFolder_ = folder.empty() ? "." : std::string(folder);
    return;
  }
  if (outcome.existing && runPolicy_.kind == ReplacePolicy::Kind::kNever) {
    const FileId existing = *outcome.existing;
    const std::string name = Shown(runOutput_);
    if (std::find(written_.begin(), written_.end(), existing) != written_.end() ||
        desktop_.Ask(name + " exists. Replace it?")) {
      Run(ReplacePolicy::OnlyFile(existing));
      return;
    }
    status_ = "Nothing written: " + name + " exists and was left as it is";
    return;
  }
  // The run's messages name files and quote values as they are.
  status_ = EscapeControlCharacters(outcome.message);
  if (control_.cancel) return;  // the user knows: the status line says it
  desktop_.ShowMessage(status_);
}

void FormLogic::Cancel() {
  if (running()) control_.cancel = true;
}

void FormLogic::Load(const StoreLocations& stores) {
  const LoadedSettings loaded = LoadSettings(stores);
  // A store made now would be empty: the values loaded are the same either way.
  if (!loaded.ownStoreRead) CreateSettingsStore(stores);
  for (const StoredText& stored : loaded.texts) {
    if (stored.option->check != nullptr) {
      if (const std::optional<int> value = CheckBoxValue(stored.text)) {
        SetCheck(*stored.option, *value);
      }
    } else if (stored.option->choice != nullptr) {
      if (const std::optional<int> index = ChoiceIndex(*stored.option, stored.text)) {
        SetChoice(*stored.option, *index);
      }
    } else {
      SetText(*stored.option, stored.text);
    }
  }
}

Status FormLogic::Save(const StoreLocations& stores) const {
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
  if (!stores_) return;
  if (const Status saved = Save(*stores_); !saved) desktop_.ShowMessage(saved.error());
}

}  // namespace snipforge
