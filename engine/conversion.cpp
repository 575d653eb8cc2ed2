#include "engine/conversion.h"

#include <exception>
#include <new>

#include "engine/bad_parts.h"
#include "engine/conversion_options.h"
#include "engine/frame_list.h"
#include "engine/list_source.h"
#include "engine/good_parts.h"
#include "engine/message_text.h"
#include "engine/output_path.h"
#include "engine/script_stream.h"
#include "engine/vapoursynth.h"

namespace snipforge {
namespace {

// What the run writes for one list, every option it uses checked.
struct ScriptPlan {
  std::optional<GoodPartNumbers> good;
  std::optional<BadPartNumbers> bad;
  bool leadingText = false;
  bool trailingText = false;
  ScriptTarget target = ScriptTarget::kAviSynth;
  std::string result;  // VapourSynth: the name the good part's clip goes to
};

Failure InvalidFilename(const std::string& detail) { return Fail("invalid filename: " + detail); }

// The message for a path the system refused: what is wrong with the name, or what the system
// said.
Failure PathRefused(const std::string& path, std::error_code error, bool output) {
  const std::string name = FileNameForMessage(path);
  if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
    if (!output) return InvalidFilename(name + ": no such file");
    return InvalidFilename("no folder " + std::string(FolderNameOf(path)));
  }
  if (error == std::errc::is_a_directory) return InvalidFilename(name + ": a folder");
  if (error == FileRefusal::kNotRegularFile) return InvalidFilename(name + ": not a regular file");
  if (error == FileRefusal::kForeignLink || error == FileRefusal::kDeviceFileSystem) {
    return InvalidFilename(name + ": " + error.message());
  }
  return Fail((output ? "cannot write " : "cannot read ") + name + ": " + error.message());
}

// True when the text begins by naming the expression after it ("Good=", "global Good = "), so
// that the expression does not become the clip the next one trims.
bool NamesExpression(std::string_view text) {
  const auto skipBlanks = [&text] {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  };
  const auto isLetter = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  };
  skipBlanks();
  if (text.starts_with("global") && text.size() > 6 && (text[6] == ' ' || text[6] == '\t')) {
    text.remove_prefix(6);
    skipBlanks();
  }
  if (text.empty() || !isLetter(text.front())) return false;
  while (!text.empty() && (isLetter(text.front()) || (text.front() >= '0' && text.front() <= '9'))) {
    text.remove_prefix(1);
  }
  skipBlanks();
  return text.starts_with('=') && !text.starts_with("==");
}

Failure NothingToWrite() {
  return Fail("nothing to write: tick \"Output Goodframes\" or \"Output Badframes\"");
}

Failure UnnamedGoodPart() {
  return Fail(
      "name the good part: with both expressions in one script, begin the good part's "
      "\"Append before trim\" with a name such as Good= and end the script with the name of "
      "the expression to play");
}

// The refusals that hold whatever the list.
Failure ReviewForAviSynthOnly() {
  return Fail(
      "the review is written for AviSynth only: untick \"Output Badframes\", or choose AviSynth "
      "in \"Script for\"");
}

// The refusals that hold whatever the list; for VapourSynth the name the good part's clip goes
// to.
Result<std::string> CheckExpressions(const ConversionOptions& options, bool textToCopy) {
  if (options.Target == ScriptTarget::kVapourSynth) {
    if (options.OutputBadFrames) return ReviewForAviSynthOnly();
    if (!options.OutputGoodFrames && !textToCopy) return NothingToWrite();
    if (!options.OutputGoodFrames) return std::string();
    return VapourSynthResultName(options.AppendBeforeGood);
  }
  if (!options.OutputGoodFrames && !options.OutputBadFrames && !textToCopy) {
    return NothingToWrite();
  }
  if (options.OutputGoodFrames && options.OutputBadFrames &&
      !NamesExpression(options.AppendBeforeGood)) {
    return UnnamedGoodPart();
  }
  return std::string();
}

Result<ScriptPlan> Plan(const FrameListFile& read, const ConversionOptions& options) {
  ScriptPlan plan;
  plan.leadingText = options.IncludeText && !read.leading.empty();
  plan.trailingText = options.IncludeText && !read.trailing.empty();
  Result<std::string> result = CheckExpressions(options, plan.leadingText || plan.trailingText);
  if (!result) return result.failure();
  plan.target = options.Target;
  plan.result = std::move(*result);
  if (options.OutputGoodFrames) {
    Result<GoodPartNumbers> good = CheckGoodPart(read.list, options);
    if (!good) return good.failure();
    plan.good = std::move(*good);
  }
  if (options.OutputBadFrames) {
    Result<BadPartNumbers> bad = CheckBadPart(read.list, options);
    if (!bad) return bad.failure();
    plan.bad = std::move(*bad);
  }
  return plan;
}

// A frame whose trims would reach beyond the frame numbers a script may hold, named with its
// line.
Result<void> CheckRange(const ScriptPlan& plan, const FrameList& list, const ConversionOptions& options,
                  const ListSource& source) {
  const auto outOfRange = [&source](std::int32_t frame, const std::string& detail) {
    return Fail("frame " + std::to_string(frame) + " on line " +
                std::to_string(FindFrameLine(source, frame)) + " is out of range: " + detail +
                " (the largest is 2147483647)");
  };
  if (plan.good) {
    if (const auto frame = GoodPartOverflow(list, *plan.good)) {
      return outOfRange(*frame, "with " + options.OffsetAfter.what() + " " +
                                    QuoteForMessage(options.OffsetAfter.text()) +
                                    " the good part would go on beyond it");
    }
  }
  if (plan.bad) {
    if (const auto frame = BadPartOverflow(list, *plan.bad)) {
      return outOfRange(*frame, "with number of good frames " +
                                    std::to_string(plan.bad->context) +
                                    " the review's context would end beyond it");
    }
  }
  return {};
}

// `existing` learns the file that stands at the output when the policy lets the run replace
// nothing.
Result<RunSummary> Convert(const ControlValues& controls, const RunOptions& run,
                           std::optional<FileId>& existing) {
  RunControl* const control = run.control;
  std::shared_ptr<const InputFile> input = run.input;
  if (!input) {
    if (controls.tInput.empty()) return InvalidFilename("choose a frame list first");
    auto opened = std::make_shared<InputFile>();
    if (const std::error_code error = opened->Open(controls.tInput)) {
      return PathRefused(controls.tInput, error, false);
    }
    input = std::move(opened);
  }
  const std::string listName = FileNameForMessage(controls.tInput);
  if (control != nullptr) control->inputSize = input->Size();

  const ListFormat format = ListFormatOf(controls);
  const Result<ListSource> source = OpenListSource(input, listName, format, control);
  if (!source) return source.failure();
  const Result<ListCounts> counts = CountListLines(*source, control);
  if (!counts) return counts.failure();
  Result<FrameListFile> read = FillFrameList(*source, *counts, control);
  if (!read) return read.failure();
  const FrameList& list = read->list;
  const std::string note = NoteMessage(read->note, format, run.autoRemedy);
  if (list.empty()) {
    return Fail("no frame numbers in " + listName + (note.empty() ? "" : "; " + note));
  }

  const Result<ConversionOptions> options = CaptureOptions(controls);
  if (!options) return options.failure();
  const Result<ScriptPlan> plan = Plan(*read, *options);
  if (!plan) return plan.failure();
  if (const Result<void> range = CheckRange(*plan, list, *options, *source); !range) {
    return range.failure();
  }

  // Until Close succeeds the script lives in a temporary file, which the stream removes on
  // every early return; the file at the output path changes only when the whole run succeeds.
  ScriptStream script;
  script.ReportTo(control);
  if (run.scriptHandle != kNoHandle) {
    script.WriteTo(run.scriptHandle, "the script");
  } else {
    if (controls.tOutput.empty()) return InvalidFilename("enter the name of the output file");
    const std::string scriptName = FileNameForMessage(controls.tOutput);
    ResolvedPath target;
    if (const std::error_code error = target.Resolve(controls.tOutput)) {
      return PathRefused(controls.tOutput, error, true);
    }
    const std::error_code error = script.Create(std::move(target), {.replace = run.replace},
                                                scriptName);
    const std::optional<FileInfo>& there = script.file().existing();
    // Compared as files, so that the list reached through a link or a hard link counts too.
    if (there && there->id == input->info().id) {
      return Fail("the script would replace the list; name another output file");
    }
    if (error == FileRefusal::kExists) {
      existing = there->id;
      return Fail(scriptName + " exists");
    }
    if (error == FileRefusal::kChanged) {
      return Fail("another file has taken the place of " + scriptName +
                  " since you were asked; nothing was written");
    }
    if (error) return PathRefused(controls.tOutput, error, true);
    if (run.claim && there) {
      if (const Result<void> claimed = run.claim(input->info().id, there->id); !claimed) {
        return claimed.failure();
      }
    }
  }

  if (control != nullptr) {
    control->entriesToWrite = std::uint64_t{(plan->good ? 1U : 0U) + (plan->bad ? 1U : 0U)} *
                              list.runs().size();
  }
  RunSummary summary;
  summary.warning = note;
  // The input's text is copied from the input file, which is still open, as it is written.
  const auto write = [&script](std::string_view text) { script.Write(text); };
  // For VapourSynth the text lines become comments, and the cuts follow the lines a fragment
  // begins with.
  const bool vapourSynth = plan->target == ScriptTarget::kVapourSynth;
  PythonComments comments(script);
  const std::function<void(std::string_view)> copy =
      vapourSynth ? std::function<void(std::string_view)>(
                        [&comments](std::string_view text) { comments.Write(text); })
                  : write;
  if (vapourSynth && plan->good) WriteVapourSynthHeader(script);
  if (plan->leadingText) {
    if (const Result<void> copied = read->leading.CopyTo(copy, control); !copied) {
      return copied.failure();
    }
  }
  if (plan->good) {
    const GoodPartSummary good = vapourSynth
                                     ? WriteVapourSynthCuts(list, *plan->good, plan->result, script)
                                     : WriteGoodParts(list, *plan->good, script);
    summary.goodPart = true;
    summary.goodTrims = good.trims;
    summary.framesCut = good.framesCut;
  }
  if (plan->bad) {
    summary.review = true;
    summary.badParts = WriteBadParts(list, *plan->bad, script);
  }
  if (plan->trailingText) {
    if (const Result<void> copied = read->trailing.CopyTo(copy, control); !copied) {
      return copied.failure();
    }
  }
  summary.script = script.file().id();
  if (const Result<void> closed = script.Close(); !closed) return closed.failure();
  return summary;
}

}  // namespace

RunOutcome RunConversion(const ControlValues& controls) { return RunConversion(controls, {}); }

RunOutcome RunConversion(const ControlValues& controls, const RunOptions& run) {
  // Running out of memory (a huge line, a list beyond this machine) or a failing system call
  // ends the run like any other failure; the script stream removes its temporary file.
  try {
    std::optional<FileId> existing;
    Result<RunSummary> summary = Convert(controls, run, existing);
    if (summary) return {true, {}, std::move(*summary), std::nullopt};
    return {false, summary.error(), {}, existing};
  } catch (const std::bad_alloc&) {
    return {false, "not enough memory to convert " + FileNameForMessage(controls.tInput), {},
            std::nullopt};
  } catch (const std::exception& error) {
    return {false, std::string("the conversion failed: ") + error.what(), {}, std::nullopt};
  }
}

Result<void> CheckOptionsForAnyList(const ControlValues& controls) {
  const Result<ConversionOptions> options = CaptureOptions(controls);
  if (!options) return options.failure();
  if (const Result<std::string> checked = CheckExpressions(*options, options->IncludeText);
      !checked) {
    return checked.failure();
  }
  if (options->OutputGoodFrames) {
    if (const Result<void> good = CheckGoodPartOptions(*options); !good) return good;
  }
  if (options->OutputBadFrames) return CheckBadPartOptions(*options);
  return {};
}

}  // namespace snipforge
