// The output script: written through a buffer into a temporary file in the target's folder,
// which replaces the target durably and only when the whole script has been written. Also the
// one text form of the numbers in a script.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file_system.h"
#include "engine/step_error.h"

namespace snipforge {

// Appends a number as scripts write it: a space before a value that is zero or positive, a
// minus sign before a negative one; whole numbers without a point, fractions with a point and
// the shortest digits that read back as the same double, never with an exponent.
void AppendScriptNumber(std::string& out, double value);
void AppendScriptNumber(std::string& out, std::int64_t value);
[[nodiscard]] std::string ScriptNumber(double value);

class ScriptStream {
 public:
  ScriptStream() = default;
  // Removes the temporary file when the script was not closed.
  ~ScriptStream();
  ScriptStream(const ScriptStream&) = delete;
  ScriptStream& operator=(const ScriptStream&) = delete;

  // Creates the temporary file in the folder of the file `path` names (a link there is followed
  // when it belongs to the user or root); nothing at `path` changes yet.
  [[nodiscard]] StepError Create(const std::string& path);
  // Appends the text unchanged.
  void Write(std::string_view text);
  // Appends the text and CR LF.
  void WriteLine(std::string_view text);
  // Writes out what is buffered, syncs it to the disk and puts the script in place of the file
  // at `path`, keeping that file's permissions. On failure the temporary file is removed and the
  // file at `path` is left as it was.
  [[nodiscard]] StepError Close();

  // True when the temporary file has no name in the folder (for tests).
  [[nodiscard]] bool unnamed() const { return file_.unnamed(); }

 private:
  void Flush();
  void WriteOut(std::string_view bytes);
  void Discard();

  std::string name_;  // the file's name for messages
  ReplacementFile file_;
  std::string buffer_;
  std::error_code writeError_;
};

}  // namespace snipforge
