#include "engine/line_reader.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace snipforge {
LineReader::LineReader(const std::string& path, std::size_t blockSize)
    : buffer_(blockSize > 0 ? blockSize : 1) {
  errno = 0;
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) error_ = errno != 0 ? errno : EIO;
}

LineReader::~LineReader() {
  if (file_ != nullptr) std::fclose(file_);
}

std::string LineReader::error() const {
  return std::error_code(error_, std::generic_category()).message();
}

bool LineReader::Refill() {
  if (atEof_ || error_ != 0) return false;
  carriageReturnKnown_ = false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // one very long line
  const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  end_ += got;
  if (got == 0) {
    if (std::ferror(file_) != 0) {
      error_ = errno != 0 ? errno : EIO;
    } else {
      atEof_ = true;
    }
    return false;
  }
  return true;
}

std::size_t LineReader::FindBreak(std::size_t from) {
  // Files hold LF or CR LF breaks almost always, CR alone rarely: the next CR is looked up once
  // and kept, so that a file without any CR costs one search for LF per line.
  const char* data = buffer_.data();
  if (!carriageReturnKnown_ || nextCarriageReturn_ < from) {
    const void* found = std::memchr(data + from, '\r', end_ - from);
    nextCarriageReturn_ = found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - data) : end_;
    carriageReturnKnown_ = true;
  }
  const void* lineFeed = std::memchr(data + from, '\n', nextCarriageReturn_ - from);
  return lineFeed != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lineFeed) - data)
                             : nextCarriageReturn_;
}

std::optional<std::string_view> LineReader::Next() {
  if (file_ == nullptr || error_ != 0) return std::nullopt;
  if (skipLineFeed_) {
    if (begin_ == end_) Refill();
    if (begin_ < end_ && buffer_[begin_] == '\n') ++begin_;
    skipLineFeed_ = false;
  }
  std::size_t scan = begin_;
  for (;;) {
    scan = FindBreak(scan);
    if (scan < end_) break;
    const std::size_t scanned = scan - begin_;
    if (!Refill()) {
      if (error_ != 0 || begin_ == end_) return std::nullopt;
      const std::string_view last(buffer_.data() + begin_, end_ - begin_);
      begin_ = end_;
      return last;
    }
    scan = begin_ + scanned;
  }
  const std::string_view line(buffer_.data() + begin_, scan - begin_);
  begin_ = scan + 1;
  if (buffer_[scan] == '\r') {
    if (begin_ < end_) {
      if (buffer_[begin_] == '\n') ++begin_;
    } else {
      skipLineFeed_ = true;
    }
  }
  return line;
}

}  // namespace snipforge
