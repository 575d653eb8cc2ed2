// The reader on arbitrary bytes: both passes always agree, and the list and the two text
// blocks, copied out of the file, match what a plain line splitter and the number test give;
// lines cut into pieces join up to the same lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/frame_list.h"
#include "engine/line_reader.h"
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
  std::size_t lastNumber = lines.size();
  std::vector<std::int32_t> frames;
  bool refused = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!IsNumberText(lines[i])) continue;
    lastNumber = i;
    const auto frame = ToFrameNumber(lines[i]);
    if (!frame || *frame < 0) refused = true;
    if (frame) frames.push_back(*frame);
  }
  std::string leading;
  std::string trailing;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (IsNumberText(lines[i])) continue;
    std::string& text = lastNumber == lines.size() || i > lastNumber ? trailing : leading;
    text += lines[i] + "\r\n";
  }

  const Result<FrameListFile> read = ReadFrameList(file, "frames.txt");
  if (refused) {
    if (read || read.error().rfind("frame number ", 0) != 0) std::abort();
    return 0;
  }
  if (!read) std::abort();
  if (read->list[0] != 0) std::abort();
  if (testing::Frames(read->list) != frames) std::abort();
  // The text blocks are copied from the file again, as the script receives them.
  if (testing::Text(read->leading) != leading || testing::Text(read->trailing) != trailing) {
    std::abort();
  }
  return 0;
}
