#include "engine/script_stream.h"

#include <array>
#include <charconv>
#include <system_error>

namespace snipforge {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;

}  // namespace

void AppendScriptNumber(std::string& out, std::int64_t value) {
  // A negative value gets its minus sign from to_chars; any other gets the space in front.
  std::array<char, 24> text{};
  text[0] = ' ';
  char* const first = value < 0 ? text.data() : text.data() + 1;
  const auto end = std::to_chars(first, text.data() + text.size(), value).ptr;
  out.append(text.data(), static_cast<std::size_t>(end - text.data()));
}

ScriptStream::~ScriptStream() { Discard(); }

std::error_code ScriptStream::Create(ResolvedPath target, const ReplacementOptions& options,
                                     std::string name) {
  Discard();
  handle_ = kNoHandle;
  name_ = std::move(name);
  if (const std::error_code error = file_.Create(std::move(target), options)) return error;
  buffer_.reserve(kBufferSize);
  return {};
}

void ScriptStream::WriteTo(NativeHandle handle, std::string name) {
  Discard();
  handle_ = handle;
  name_ = std::move(name);
  buffer_.reserve(kBufferSize);
}

void ScriptStream::Write(std::string_view text) {
  if (text.size() >= kBufferSize) {  // a long text goes out as it is, not through a copy
    Flush();
    WriteOut(text);
    return;
  }
  buffer_.append(text);
  if (buffer_.size() >= kBufferSize) Flush();
}

void ScriptStream::WriteLine(std::string_view text) {
  if (text.size() >= kBufferSize) {
    Write(text);
    Write("\r\n");
    return;
  }
  buffer_.append(text);
  buffer_.append("\r\n");
  if (buffer_.size() >= kBufferSize) Flush();
}

void ScriptStream::WriteOut(std::string_view bytes) {
  if (writeError_ || bytes.empty()) return;
  if (control_ != nullptr && control_->cancel) {
    writeError_ = FileRefusal::kCancelled;
    return;
  }
  if (handle_ != kNoHandle) {
    writeError_ = WriteAll(handle_, bytes);
  } else if (file_.created()) {
    writeError_ = file_.Write(bytes);
  } else {
    return;
  }
  if (control_ != nullptr) {
    control_->bytesWritten += bytes.size();
    control_->entriesWritten = entries_;
  }
}

void ScriptStream::Flush() {
  WriteOut(buffer_);
  buffer_.clear();
}

Result<void> ScriptStream::Close() {
  if (handle_ == kNoHandle && !file_.created()) return Fail("the script was not created");
  Flush();
  const std::string cannotWrite = "cannot write " + name_ + ": ";
  if (writeError_) {
    const std::error_code error = writeError_;
    Discard();
    if (error == FileRefusal::kCancelled) return Cancelled();
    return Fail(cannotWrite + error.message());
  }
  if (handle_ != kNoHandle) return {};
  if (control_ != nullptr) {
    // From here on the old script is replaced whatever the user asks: cancelling now could
    // only leave it half done.
    control_->committing = true;
    if (control_->cancel) {
      Discard();
      return Cancelled();
    }
  }
  const ReplacementFile::Committed committed = file_.Commit();
  Discard();
  if (committed.error && committed.replaced) {
    return Fail(name_ + " is written, but may not survive a power cut: " +
                committed.error.message());
  }
  if (committed.error == FileRefusal::kExists) {
    return Fail(name_ + " appeared while the script was written; it was left as it is");
  }
  if (committed.error == FileRefusal::kChanged) {
    return Fail("another file took the place of " + name_ +
                " while the script was written; it was left as it is");
  }
  if (committed.error) return Fail(cannotWrite + committed.error.message());
  return {};
}

void ScriptStream::Discard() {
  file_.Discard();
  buffer_.clear();
  writeError_.clear();
}

}  // namespace snipforge
