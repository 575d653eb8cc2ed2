// Reads a file line by line in large blocks, without copying lines: CR LF, LF and CR alone each
// end a line, and the break after the last line gives no extra empty line.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace snipforge {

class LineReader {
 public:
  static constexpr std::size_t kBlockSize = 1 << 18;

  // Opens the file for reading, to be read in blocks of `blockSize` bytes (a longer line grows
  // the buffer); check ok() before reading.
  explicit LineReader(const std::string& path, std::size_t blockSize = kBlockSize);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its break, valid until the next call; nullopt at the end of the file
  // or when reading failed (then ok() is false).
  [[nodiscard]] std::optional<std::string_view> Next();

  // False when the file could not be opened or read; error() then says why.
  [[nodiscard]] bool ok() const { return error_ == 0; }
  [[nodiscard]] std::string error() const;

 private:
  // Moves the unread bytes to the front and reads more after them; false at the end of the file.
  bool Refill();
  // The first LF or CR at or after `from`, or end_ when the buffer holds none.
  std::size_t FindBreak(std::size_t from);

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // one past the last byte read from the file
  bool atEof_ = false;
  bool skipLineFeed_ = false;  // the previous line ended in a CR at the end of the buffer
  int error_ = 0;
  bool carriageReturnKnown_ = false;  // nextCarriageReturn_ holds the first CR from some point on
  std::size_t nextCarriageReturn_ = 0;
};

}  // namespace snipforge
