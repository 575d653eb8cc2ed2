// The output script: written through a buffer into a temporary file in the target's folder,
// which replaces the target durably and only when the whole script has been written (or, for
// standard output, straight to an open handle). Also the one text form of the numbers in a
// script.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file_system.h"
#include "engine/result.h"
#include "engine/run_control.h"

namespace snipforge {

// Appends a number as scripts write it: a space before a value that is zero or positive, a
// minus sign before a negative one.
void AppendScriptNumber(std::string& out, std::int64_t value);

class ScriptStream {
 public:
  ScriptStream() = default;
  // Removes the temporary file when the script was not closed.
  ~ScriptStream();
  ScriptStream(const ScriptStream&) = delete;
  ScriptStream& operator=(const ScriptStream&) = delete;

  // Creates the temporary file in the target's folder; nothing at the target changes yet.
  // `name` names the script in messages.
  [[nodiscard]] std::error_code Create(ResolvedPath target, const ReplacementOptions& options,
                                       std::string name);
  // Writes the script to an open handle (standard output) instead of a file.
  void WriteTo(NativeHandle handle, std::string name);
  // Counts the bytes written into `control`, and stops writing once it asks to cancel.
  void ReportTo(RunControl* control) { control_ = control; }
  // A writer has passed one more entry of the list; reported with the next block written.
  void CountEntry() { ++entries_; }
  // True once nothing more will be written: a write failed or the user cancelled. A writer
  // stops walking the list then.
  [[nodiscard]] bool Stopped() const {
    return writeError_ || (control_ != nullptr && control_->cancel);
  }
  // Appends the text unchanged.
  void Write(std::string_view text);
  // Appends the text and CR LF.
  void WriteLine(std::string_view text);
  // Writes out what is buffered, syncs it to the disk and puts the script in place of the file
  // at the target. On failure the temporary file is removed and the target is left as it was.
  [[nodiscard]] Result<void> Close();

  [[nodiscard]] const ReplacementFile& file() const { return file_; }

 private:
  void Flush();
  void WriteOut(std::string_view bytes);
  void Discard();

  std::string name_;  // the file's name for messages
  ReplacementFile file_;
  NativeHandle handle_ = kNoHandle;  // standard output, when the script goes there
  RunControl* control_ = nullptr;
  std::string buffer_;
  std::error_code writeError_;
  std::uint64_t entries_ = 0;
};

}  // namespace snipforge
