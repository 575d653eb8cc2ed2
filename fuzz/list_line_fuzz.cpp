// One line of a list, read in both formats, on arbitrary bytes: the frames are runs within the
// range a script holds, never more of them than the line has bytes (a range costs what one frame
// costs), nothing is appended for a text line or one the run stops on, and a line the reader
// passes in pieces is read from its first piece as it would be whole.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/list_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace snipforge;
  std::string line(reinterpret_cast<const char*>(data), size);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';  // a line has no break
  }
  for (const ListFormat format : {ListFormat::kPlain, ListFormat::kAuto}) {
    std::vector<FrameRun> frames;
    const ListLine whole = ReadListLine(line, format, frames);
    if ((whole.kind == ListLine::Kind::kFrames) == frames.empty()) std::abort();
    if (frames.size() > line.size()) std::abort();
    for (const FrameRun& run : frames) {
      if (run.first < 0 || run.last < run.first) std::abort();
    }
    if ((whole.kind == ListLine::Kind::kStop) == whole.problem.empty()) std::abort();
    // Every start after which the line may come in pieces is read as the whole line is.
    bool decided = false;
    for (std::size_t length = 1; length < line.size(); ++length) {
      const std::string_view start(line.data(), length);
      if (!decided && CouldBeFramesLine(start, format)) continue;
      decided = true;
      std::vector<FrameRun> fromStart;
      const ListLine first = ReadListLine(start, format, fromStart);
      if (first.kind != whole.kind || fromStart != frames) std::abort();
    }
  }
  return 0;
}
