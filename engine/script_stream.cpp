#include "engine/script_stream.h"

#include <array>
#include <charconv>
#include <cmath>
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

void AppendScriptNumber(std::string& out, double value) {
  constexpr double kWholeLimit = 9.2e18;  // below 2^63, so the whole value fits an int64
  if (std::fabs(value) < kWholeLimit) {
    const auto whole = static_cast<std::int64_t>(value);
    if (static_cast<double>(whole) == value) {
      AppendScriptNumber(out, whole);
      return;
    }
  }
  std::array<char, 400> digits{};  // enough for any double in fixed notation
  const auto end =
      std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed)
          .ptr;
  if (!(value < 0)) out += ' ';
  out.append(digits.data(), end);
}

std::string ScriptNumber(double value) {
  std::string text;
  AppendScriptNumber(text, value);
  return text;
}

ScriptStream::~ScriptStream() { Discard(); }

StepError ScriptStream::Create(const std::string& path) {
  Discard();
  if (path.empty()) return "enter the name of the output file";
  name_ = FileNameForMessage(path);
  if (const std::error_code error = file_.Create(path)) {
    if (error == std::errc::is_a_directory) return "cannot write " + name_ + ": it is a folder";
    return "cannot write " + name_ + ": " + error.message();
  }
  buffer_.reserve(kBufferSize);
  return std::nullopt;
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
  if (file_.created() && !writeError_) writeError_ = file_.Write(bytes);
}

void ScriptStream::Flush() {
  WriteOut(buffer_);
  buffer_.clear();
}

StepError ScriptStream::Close() {
  if (!file_.created()) return "the script was not created";
  Flush();
  const std::string cannotWrite = "cannot write " + name_ + ": ";
  if (writeError_) {
    const std::string message = cannotWrite + writeError_.message();
    Discard();
    return message;
  }
  const ReplacementFile::Committed committed = file_.Commit();
  Discard();
  if (committed.error && committed.replaced) {
    return name_ + " is written, but may not survive a power cut: " + committed.error.message();
  }
  if (committed.error) return cannotWrite + committed.error.message();
  return std::nullopt;
}

void ScriptStream::Discard() {
  file_.Discard();
  buffer_.clear();
  writeError_.clear();
}

}  // namespace snipforge
