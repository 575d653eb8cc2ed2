// Reads an open file line by line in large blocks, without copying lines: CR LF, LF and CR alone
// each end a line, and the break after the last line gives no extra empty line.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/file_system.h"

namespace snipforge {

class LineReader {
 public:
  static constexpr std::size_t kBlockSize = 1 << 18;
  static constexpr std::uint64_t kToTheEnd = std::numeric_limits<std::uint64_t>::max();

  // Reads the bytes of `file` from offset `begin` up to offset `end` (or the end of the file)
  // in blocks of `blockSize` bytes. A longer line grows the buffer, never to much more than the
  // rest of the file, so that one line of 256 MiB takes about 256 MiB.
  explicit LineReader(const InputFile& file, std::uint64_t begin = 0,
                      std::uint64_t end = kToTheEnd, std::size_t blockSize = kBlockSize);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its break, valid until the next call; nullopt at the end or when
  // reading failed (then ok() is false).
  [[nodiscard]] std::optional<std::string_view> Next();

  // The offset in the file of the first byte of the line Next returned last.
  [[nodiscard]] std::uint64_t LineStart() const { return lineStart_; }
  // The offset just past the bytes read so far: after the last line, where reading ended.
  [[nodiscard]] std::uint64_t Offset() const { return bufferStart_ + end_; }

  // False when reading failed; error() then says why.
  [[nodiscard]] bool ok() const { return !error_; }
  [[nodiscard]] std::string error() const { return error_.message(); }

 private:
  // Moves the unread bytes to the front and reads more after them; false at the end.
  bool Refill();
  // Makes room for more of a line that fills the whole buffer.
  void Grow();
  // The first LF or CR at or after `from`, or end_ when the buffer holds none.
  std::size_t FindBreak(std::size_t from);

  const InputFile& file_;
  std::uint64_t rangeEnd_;
  std::uint64_t sizeHint_;     // the file's size when last asked, to bound the buffer's growth
  std::size_t blockSize_;
  char* buffer_ = nullptr;     // from malloc: realloc grows a large buffer without copying it
  std::size_t capacity_ = 0;
  std::uint64_t bufferStart_;  // the file offset of buffer_[0]
  std::size_t begin_ = 0;      // first unread byte
  std::size_t end_ = 0;        // one past the last byte read from the file
  std::uint64_t lineStart_ = 0;
  bool atEnd_ = false;
  bool skipLineFeed_ = false;  // the previous line ended in a CR at the end of the buffer
  std::error_code error_;
  bool carriageReturnKnown_ = false;  // nextCarriageReturn_ holds the first CR from some point on
  std::size_t nextCarriageReturn_ = 0;
};

}  // namespace snipforge
