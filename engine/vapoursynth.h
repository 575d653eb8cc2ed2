// What a script for VapourSynth holds besides its cuts: the name its result goes to, the lines it
// begins with, and the list's text lines as Python comments.
#pragma once

#include <string>
#include <string_view>

#include "engine/result.h"
#include "engine/script_stream.h"

namespace snipforge {

// The name the fragment leaves its result in: "clip" for an empty "Append before trim", or the
// name it assigns ("Good=", "global Good =" give "Good"). Fails for anything else, and for a name
// that is not a Python identifier or is a keyword.
[[nodiscard]] Result<std::string> VapourSynthResultName(std::string_view appendBefore);

// The lines a fragment begins with: the imports and _snipforge_cut(clip, cuts), which deletes the
// frames of a string of ranges ("8-15,38") that lie below clip.num_frames, each range clamped
// before it is expanded, and raises vs.Error when that would leave no frame.
void WriteVapourSynthHeader(ScriptStream& script);

// Copies text lines into the script as Python comments: "# " and the line, with each byte that
// is not part of valid UTF-8 and each control character but the tab written as \xNN, since
// Python refuses them even in comments. A line may come in pieces; "\r\n" ends it.
class PythonComments {
 public:
  explicit PythonComments(ScriptStream& script) : script_(script) {}
  void Write(std::string_view bytes);

 private:
  void Escape(unsigned char byte);

  ScriptStream& script_;
  bool lineStart_ = true;
  std::string pending_;  // the start of a UTF-8 sequence that the next piece may complete
  std::string out_;
};

}  // namespace snipforge
