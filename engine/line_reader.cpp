#include "engine/line_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>


namespace snipforge {

LineReader::LineReader(const InputFile& file, std::uint64_t begin, std::uint64_t end,
                       std::size_t blockSize, std::size_t pieceLimit)
    : file_(file),
      rangeEnd_(end),
      sizeHint_(file.Size()),
      blockSize_(blockSize > 0 ? blockSize : 1),
      pieceLimit_(pieceLimit > 0 ? pieceLimit : 1),
      capacity_(blockSize_),
      bufferStart_(begin),
      lineStart_(begin) {
  buffer_ = static_cast<char*>(std::malloc(capacity_));
  if (buffer_ == nullptr) throw std::bad_alloc();
}

LineReader::~LineReader() { std::free(buffer_); }

void LineReader::Grow() {
  // Twice the room, but no more than the rest of the file asks for (a line of 256 MiB must not
  // take 512 MiB), and at least one more block, for a file that grows while it is read.
  const std::uint64_t filled = bufferStart_ + end_;
  std::uint64_t limit = std::min(rangeEnd_, sizeHint_);
  if (limit <= filled) {
    sizeHint_ = file_.Size();
    limit = std::min(rangeEnd_, sizeHint_);
  }
  const std::uint64_t rest = limit > filled ? limit - filled : 0;
  const auto more = static_cast<std::size_t>(std::clamp<std::uint64_t>(rest, blockSize_, capacity_));
  // realloc moves a large block by remapping its pages, so the old and the new buffer never
  // take memory at the same time.
  void* grown = std::realloc(buffer_, capacity_ + more);
  if (grown == nullptr) throw std::bad_alloc();
  buffer_ = static_cast<char*>(grown);
  capacity_ += more;
}

bool LineReader::Refill() {
  if (atEnd_ || error_) return false;
  carriageReturnKnown_ = false;
  if (begin_ > 0) {
    std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    bufferStart_ += begin_;
    begin_ = 0;
  }
  const std::uint64_t at = bufferStart_ + end_;
  if (at >= rangeEnd_) {
    atEnd_ = true;
    return false;
  }
  if (end_ == capacity_) Grow();
  const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(capacity_ - end_, rangeEnd_ - at));
  if (control_ != nullptr && control_->cancel) {
    error_ = FileRefusal::kCancelled;
    return false;
  }
  const InputFile::Read read = file_.ReadAt(at, buffer_ + end_, room);
  if (read.error) {
    error_ = read.error;
    return false;
  }
  if (control_ != nullptr) control_->bytesRead += read.bytes;
  if (read.bytes == 0) {
    atEnd_ = true;
    return false;
  }
  end_ += read.bytes;
  return true;
}

std::size_t LineReader::FindBreak(std::size_t from) {
  // Files hold LF or CR LF breaks almost always, CR alone rarely: the next CR is looked up once
  // and kept, so that a file without any CR costs one search for LF per line.
  if (!carriageReturnKnown_ || nextCarriageReturn_ < from) {
    const void* found = std::memchr(buffer_ + from, '\r', end_ - from);
    nextCarriageReturn_ =
        found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - buffer_) : end_;
    carriageReturnKnown_ = true;
  }
  const void* lineFeed = std::memchr(buffer_ + from, '\n', nextCarriageReturn_ - from);
  return lineFeed != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lineFeed) - buffer_)
                             : nextCarriageReturn_;
}

void LineReader::SkipBreak(std::size_t breakAt) {
  begin_ = breakAt + 1;
  if (buffer_[breakAt] == '\r') {
    if (begin_ < end_) {
      if (buffer_[begin_] == '\n') ++begin_;
    } else {
      pending_ = Pending::kLineFeed;
    }
  }
}

std::string_view LineReader::TakeLine(std::size_t breakAt) {
  const std::string_view line(buffer_ + begin_, breakAt - begin_);
  lineStart_ = bufferStart_ + begin_;
  SkipBreak(breakAt);
  return line;
}

std::optional<std::string_view> LineReader::Next() {
  if (error_ || pending_ != Pending::kNothing) [[unlikely]] {
    if (!FinishLastLine()) return std::nullopt;
  }
  const std::size_t breakAt = FindBreak(begin_);
  if (breakAt == end_) [[unlikely]] return NextAcrossReads();
  return TakeLine(breakAt);
}

bool LineReader::FinishLastLine() {
  if (error_) return false;
  if (pending_ == Pending::kPieces) {
    while (NextPiece()) {
    }
    if (error_) return false;
  }
  if (pending_ == Pending::kLineFeed) {
    if (begin_ == end_) Refill();
    if (begin_ < end_ && buffer_[begin_] == '\n') ++begin_;
    pending_ = Pending::kNothing;
  }
  return true;
}

std::optional<std::string_view> LineReader::NextAcrossReads() {
  std::size_t pieceTest = pieceLimit_;  // the length at which the line is next tested for pieces
  for (;;) {
    const std::size_t scanned = end_ - begin_;
    if (scanned >= pieceTest) {
      const std::string_view held(buffer_ + begin_, scanned);
      if (!CouldBeFramesLine(held, format_)) {  // text: give out what is held as its first piece
        lineStart_ = bufferStart_ + begin_;
        begin_ = end_;
        pending_ = Pending::kPieces;
        return held;
      }
      // It may still be read as frames and stays whole. Testing it again each time it has
      // doubled keeps the tests' cost linear in its length.
      pieceTest = scanned * 2;
    }
    if (!Refill()) {
      if (error_ || begin_ == end_) return std::nullopt;
      const std::string_view last(buffer_ + begin_, end_ - begin_);
      lineStart_ = bufferStart_ + begin_;
      begin_ = end_;
      return last;
    }
    const std::size_t breakAt = FindBreak(begin_ + scanned);
    if (breakAt < end_) return TakeLine(breakAt);
  }
}

std::optional<std::string_view> LineReader::ReadPiece() {
  // Every piece so far was the whole rest of the buffer: the next one starts with a new read,
  // into the same buffer.
  if (!Refill()) {
    pending_ = Pending::kNothing;
    return std::nullopt;
  }
  const std::size_t breakAt = FindBreak(begin_);
  if (breakAt == end_) {
    const std::string_view piece(buffer_ + begin_, end_ - begin_);
    begin_ = end_;
    return piece;
  }
  const std::string_view piece(buffer_ + begin_, breakAt - begin_);
  pending_ = Pending::kNothing;
  SkipBreak(breakAt);
  if (piece.empty()) return std::nullopt;  // the line ended at the first byte read
  return piece;
}

}  // namespace snipforge
