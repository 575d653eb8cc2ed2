// The engine's public entry: the values of the window's option controls, and one whole
// conversion from the frame list file to the Avisynth script.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/file_system.h"
#include "engine/list_format.h"
#include "engine/result.h"
#include "engine/run_control.h"

namespace snipforge {

// The option controls as the user left them, named like the controls. A default ControlValues
// holds the window's start values. kOptions in engine/option_table.h lists them with their
// kinds.
struct ControlValues {
  std::string tInput;
  std::string tOutput;
  std::string tAppendBeforeBad = "Junk=";
  std::string tAppendBeforeGood;
  std::string tAppendtoBad = "subtitle(\"JUNK\",x=-1,size=34)";
  std::string tAppendToGood = "subtitle(\"GOOD\",x=-1,size=34)";
  std::string tMinLength = "0";
  std::string tNumberOfBlack = "1";
  std::string tNumberofGood = "3";
  std::string tOffsetAfter = "0";
  std::string tOffsetBefore = "0";
  std::string tExcludeOffset = "0";
  int chIncludeFramenumber = 0;  // check boxes: 0 unchecked, 1 checked, 2 greyed
  int chIncText = 0;
  int chOutputBadFrames = 0;
  int chOutputGoodFrames = 1;
  int chExactEnd = 0;
  // Choices: the place of the word among the option's choices (kListFormats, kScriptTargets).
  int cboListFormat = 0;  // plain, auto
  int cboScriptFor = 0;   // avisynth, vapoursynth

  friend bool operator==(const ControlValues&, const ControlValues&) = default;
};

// The frame server the script is for. In the order of kScriptTargets.
enum class ScriptTarget { kAviSynth, kVapourSynth };

// The choices the controls hold; an index beyond the choices is the first.
[[nodiscard]] ListFormat ListFormatOf(const ControlValues& controls);
[[nodiscard]] ScriptTarget ScriptTargetOf(const ControlValues& controls);
// The extension of the script's name without its point: "avs", or "vpy" for VapourSynth.
[[nodiscard]] std::string_view ScriptExtension(ScriptTarget target);

// What a successful run wrote.
struct RunSummary {
  FileId script;            // the file the script went to (nothing for an open handle)
  bool goodPart = false;
  std::int64_t goodTrims = 0;  // stretches the good part keeps, the final trim(T,0) included
  std::int64_t framesCut = 0;  // frames 0 to T-1 that no trim of the good part keeps
  bool review = false;
  std::int64_t badParts = 0;
  // Lines of the list that looked like frames but were read as text; empty for none.
  std::string warning;
};

struct RunOutcome {
  bool ok = false;
  std::string message;  // what to show the user when ok is false
  RunSummary summary;   // when ok is true
  // When the run was not allowed to replace anything and a file stands at the output: that
  // file, which the user may be asked about.
  std::optional<FileId> existing;
};

// How a run reads its list and where its script may go, beyond tInput and tOutput.
struct RunOptions {
  // Which file at tOutput the script may replace.
  ReplacePolicy replace;
  // Progress and cancel, for a run on another thread.
  RunControl* control = nullptr;
  // A list opened already (a copy of standard input) to read instead of the file tInput names;
  // tInput then only names it in messages.
  std::shared_ptr<const InputFile> input;
  // An open handle (standard output) to write the script to instead of tOutput.
  NativeHandle scriptHandle = kNoHandle;
  // What the warning about a plain list's lines that look like frames tells the user to do, to
  // which " to read them" is added: the window's words unless the caller has its own.
  std::string_view autoRemedy = "choose the list format Auto";
  // Asked when a file stands at the output, with its identity and the list's, once the list is
  // open and before anything is written; a failure refuses the output. The command line refuses
  // this way to write over another list of its run or over a script it wrote for another list.
  std::function<Result<void>(const FileId& list, const FileId& script)> claim;
};

// Reads the frame list named by tInput and writes the script to tOutput, replacing whatever
// stands there but the list itself. A failed run leaves every existing file as it was.
[[nodiscard]] RunOutcome RunConversion(const ControlValues& controls);
[[nodiscard]] RunOutcome RunConversion(const ControlValues& controls, const RunOptions& run);

// The refusal that a run with these values would give for some list, before any list is read:
// values that are no numbers, out of range or negative where the script needs them, nothing
// to write, or an unnamed good part beside the review.
[[nodiscard]] Result<void> CheckOptionsForAnyList(const ControlValues& controls);

}  // namespace snipforge
