// The reader on arbitrary bytes, in both formats: both passes always agree, and the list and the
// two text blocks, copied out of the file, match what a plain line splitter and the line rules
// give; lines cut into pieces join up to the same lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/frame_list.h"
#include "engine/line_reader.h"
#include "engine/list_source.h"
#include "engine/number_text.h"
#include "engine/test_support.h"

namespace {

std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      lines.push_back(line);
      line.clear();
    } else {
      line += bytes[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace snipforge;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto path = (testing::ProcessTempDir() / "frames.txt").string();
  testing::WriteFile(path, bytes);

  const std::vector<std::string> lines = SplitLines(bytes);
  const auto file = testing::OpenInput(path);
  // Small blocks put line breaks, CR LF pairs among them, at every place of a block, and small
  // piece limits at every place of a piece. A line in pieces is never a number line.
  for (const std::size_t block : {1u, 2u, 3u, 7u}) {
    for (const std::size_t pieceLimit : {std::size_t{1}, std::size_t{5}, LineReader::kPieceLimit}) {
      LineReader reader(*file, 0, LineReader::kToTheEnd, block, pieceLimit);
      std::size_t i = 0;
      while (const auto first = reader.Next()) {
        std::string line(*first);
        const bool firstIsNumber = IsNumberText(*first);
        bool inPieces = false;
        while (const auto piece = reader.NextPiece()) {
          line += *piece;
          inPieces = true;
        }
        if (i >= lines.size() || line != lines[i]) std::abort();
        if (inPieces && (firstIsNumber || IsNumberText(line))) std::abort();
        ++i;
      }
      if (!reader.ok() || i != lines.size()) std::abort();
    }
  }
  // A list with a byte-order mark of UTF-16 is read from a decoded copy: whole or refused.
  const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
  const std::size_t skipped = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  const std::vector<std::string> text = SplitLines(bytes.substr(skipped));
  for (const ListFormat format : {ListFormat::kPlain, ListFormat::kAuto}) {
    const Result<ListSource> source = OpenListSource(file, "frames.txt", format);
    if (!source) {
      if (!utf16 || source.error().find("is not valid UTF-16 on line") == std::string::npos) {
        std::abort();
      }
      continue;
    }
    const Result<ListCounts> counts = CountListLines(*source);
    if (!counts) std::abort();
    const Result<FrameListFile> read = FillFrameList(*source, *counts);
    if (utf16) {
      if (!read && read.error().find(" on line ") == std::string::npos) std::abort();
      continue;
    }
    // The model: each line read alone, the text before the last line of frames leading.
    std::vector<std::int32_t> frames;
    std::vector<FrameRun> ranges;
    std::vector<bool> isFrames(text.size(), false);
    std::size_t lastFrames = text.size();
    bool stopped = false;
    for (std::size_t i = 0; i < text.size() && !stopped; ++i) {
      std::vector<FrameRun> runs;
      const ListLine line = ReadListLine(text[i], format, runs);
      stopped = line.kind == ListLine::Kind::kStop;
      if (line.kind != ListLine::Kind::kFrames) continue;
      isFrames[i] = true;
      lastFrames = i;
      for (const FrameRun& run : runs) {
        if (run.first == run.last) {
          frames.push_back(run.first);
        } else {
          ranges.push_back(run);
        }
      }
    }
    if (stopped) {
      if (read || read.error().find(" on line ") == std::string::npos) std::abort();
      continue;
    }
    if (!read) std::abort();
    std::string leading;
    std::string trailing;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (isFrames[i]) continue;
      (lastFrames == text.size() || i > lastFrames ? trailing : leading) += text[i] + "\r\n";
    }
    const FrameList expected(frames, ranges);
    if (read->list.runs() != expected.runs()) std::abort();
    if (read->list.runs().size() > bytes.size()) std::abort();  // never one entry per frame
    // The text blocks are copied from the file again, as the script receives them.
    if (testing::Text(read->leading) != leading || testing::Text(read->trailing) != trailing) {
      std::abort();
    }
  }
  return 0;
}
