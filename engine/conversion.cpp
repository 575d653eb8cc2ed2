#include "engine/conversion.h"

#include <exception>
#include <new>

#include "engine/bad_parts.h"
#include "engine/conversion_options.h"
#include "engine/frame_list.h"
#include "engine/good_parts.h"
#include "engine/script_stream.h"

namespace snipforge {
namespace {

RunOutcome Failed(std::string message) { return {false, std::move(message)}; }

// Reads every option the enabled expressions use for this list, so that a value a script
// cannot hold stops the run before any file is created.
StepError CheckWrittenOptions(const FrameList& list, const ConversionOptions& options) {
  if (options.OutputGoodFrames) {
    if (auto error = CheckGoodPartOptions(list, options)) return error;
  }
  if (options.OutputBadFrames) return CheckBadPartOptions(list, options);
  return std::nullopt;
}

RunOutcome Convert(const ControlValues& controls) {
  FrameListFile input = ReadFrameList(controls.tInput);
  if (input.error) return Failed(*input.error);
  FrameList& list = input.list;
  if (list.UpperBound() == 0) {
    return Failed("no frame numbers in " + FileNameForMessage(controls.tInput));
  }
  NormaliseFrameList(list);

  const CapturedOptions captured = CaptureOptions(controls);
  if (captured.error) return Failed(*captured.error);
  const ConversionOptions& options = captured.options;
  if (auto error = CheckWrittenOptions(list, options)) return Failed(*error);

  // Until Close succeeds the script lives in a temporary file, which the stream removes on
  // every early return; the file at the output path changes only when the whole run succeeds.
  ScriptStream script;
  if (auto error = script.Create(options.OutputPath)) return Failed(*error);
  // The input's text is copied from the input file, which is still open, as it is written.
  const auto write = [&script](std::string_view text) { script.Write(text); };
  if (!input.leading.empty() && options.IncludeText) {
    if (auto error = input.leading.CopyTo(write)) return Failed(*error);
  }
  if (options.OutputGoodFrames) {
    if (auto error = WriteGoodParts(list, options, script)) return Failed(*error);
  }
  if (options.OutputBadFrames) {
    if (auto error = WriteBadParts(list, options, script)) return Failed(*error);
  }
  if (options.IncludeText && !input.trailing.empty()) {
    if (auto error = input.trailing.CopyTo(write)) return Failed(*error);
  }
  if (auto error = script.Close()) return Failed(*error);
  return {true, {}};
}

}  // namespace

RunOutcome RunConversion(const ControlValues& controls) {
  // Running out of memory (a huge line, a list beyond this machine) or a failing system call
  // ends the run like any other failure; the script stream removes its temporary file.
  try {
    return Convert(controls);
  } catch (const std::bad_alloc&) {
    return Failed("not enough memory to convert " + FileNameForMessage(controls.tInput));
  } catch (const std::exception& error) {
    return Failed(std::string("the conversion failed: ") + error.what());
  }
}

}  // namespace snipforge
