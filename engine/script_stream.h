// The output script: written through a buffer into a temporary file beside the target, which
// replaces the target only when the whole script has been written. Also the one text form of
// the numbers in a script.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

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

  // Creates the temporary file in the folder of `path`; nothing at `path` changes yet.
  [[nodiscard]] StepError Create(const std::string& path);
  // Appends the text unchanged.
  void Write(std::string_view text);
  // Appends the text and CR LF.
  void WriteLine(std::string_view text);
  // Writes out what is buffered and puts the script in place of the file at `path`. On failure
  // the temporary file is removed and the file at `path` is left as it was.
  [[nodiscard]] StepError Close();

 private:
  void Flush();
  void Discard();

  std::string path_;
  std::string tempPath_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
  int writeError_ = 0;
};

}  // namespace snipforge
