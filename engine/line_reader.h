// Reads an open file line by line in large blocks, without copying lines: CR LF, LF and CR alone
// each end a line, and the break after the last line gives no extra empty line. A long line that
// cannot be a number line comes in pieces, so that memory stays bounded whatever its length.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/file_system.h"
#include "engine/list_format.h"
#include "engine/run_control.h"

namespace snipforge {

class LineReader {
 public:
  static constexpr std::size_t kBlockSize = 1 << 18;
  static constexpr std::size_t kPieceLimit = 1 << 20;
  static constexpr std::uint64_t kToTheEnd = std::numeric_limits<std::uint64_t>::max();

  // Reads the bytes of `file` from offset `begin` up to offset `end` (or the end of the file)
  // in blocks of `blockSize` bytes. A line that has grown to `pieceLimit` bytes without a break
  // and whose bytes so far cannot be read as frames (CouldBeFramesLine) comes in pieces;
  // any other line is held whole, the buffer growing never to much more than the rest of the
  // file, so that a line of 256 MiB of digits takes about 256 MiB.
  explicit LineReader(const InputFile& file, std::uint64_t begin = 0,
                      std::uint64_t end = kToTheEnd, std::size_t blockSize = kBlockSize,
                      std::size_t pieceLimit = kPieceLimit);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its break, valid until the next call; nullopt at the end or when
  // reading failed (then ok() is false). For a line that comes in pieces this is its first
  // piece, which like the whole line is never a number text; NextPiece gives the rest.
  [[nodiscard]] std::optional<std::string_view> Next();
  // The next piece of the line Next returned, valid until the next call; nullopt once the line
  // has ended (at once for a line that came whole) or reading failed. Next skips the pieces
  // not asked for.
  [[nodiscard]] std::optional<std::string_view> NextPiece() {
    if (pending_ != Pending::kPieces) return std::nullopt;
    return ReadPiece();
  }

  // The offset in the file of the first byte of the line Next returned last.
  [[nodiscard]] std::uint64_t LineStart() const { return lineStart_; }
  // The offset just past the bytes read so far: after the last line, where reading ended.
  [[nodiscard]] std::uint64_t Offset() const { return bufferStart_ + end_; }

  // Counts the bytes read into `control` and stops with kCancelled once it asks to cancel.
  void ReportTo(RunControl* control) { control_ = control; }
  // Holds a long line whole while the format may still read frames from it
  // (CouldBeFramesLine), rather than only while it could be a number line.
  void ReadAs(ListFormat format) { format_ = format; }

  // False when reading failed; error() then says why.
  [[nodiscard]] bool ok() const { return !error_; }
  [[nodiscard]] const std::error_code& error() const { return error_; }

 private:
  // NextPiece for a line that has pieces left.
  std::optional<std::string_view> ReadPiece();
  // Moves the unread bytes to the front and reads more after them; false at the end.
  bool Refill();
  // Makes room for more of a line that fills the whole buffer.
  void Grow();
  // The first LF or CR at or after `from`, or end_ when the buffer holds none.
  std::size_t FindBreak(std::size_t from);
  // Moves past the break at `breakAt`, a CR LF pair as one break.
  void SkipBreak(std::size_t breakAt);
  // The line from the first unread byte up to the break at `breakAt`, which it moves past.
  std::string_view TakeLine(std::size_t breakAt);
  // Next for a line whose break the buffer does not hold: reads on, holding the line whole or
  // giving its first piece.
  std::optional<std::string_view> NextAcrossReads();
  // Skips what is left of the line before: its pieces not asked for and the LF of a CR LF pair
  // that a read cut apart. False when reading failed.
  bool FinishLastLine();

  const InputFile& file_;
  std::uint64_t rangeEnd_;
  std::uint64_t sizeHint_;     // the file's size when last asked, to bound the buffer's growth
  std::size_t blockSize_;
  std::size_t pieceLimit_;
  char* buffer_ = nullptr;     // from malloc: realloc grows a large buffer without copying it
  std::size_t capacity_ = 0;
  std::uint64_t bufferStart_;  // the file offset of buffer_[0]
  std::size_t begin_ = 0;      // first unread byte
  std::size_t end_ = 0;        // one past the last byte read from the file
  std::uint64_t lineStart_ = 0;
  bool atEnd_ = false;
  enum class Pending : std::uint8_t {
    kNothing,
    kLineFeed,  // the line before ended in a CR at the end of the buffer: skip an LF next
    kPieces,    // the line Next returned has pieces that NextPiece has not given yet
  };
  Pending pending_ = Pending::kNothing;
  std::error_code error_;
  RunControl* control_ = nullptr;
  ListFormat format_ = ListFormat::kPlain;
  bool carriageReturnKnown_ = false;  // nextCarriageReturn_ holds the first CR from some point on
  std::size_t nextCarriageReturn_ = 0;
};

}  // namespace snipforge
