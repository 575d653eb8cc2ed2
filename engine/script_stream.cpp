#include "engine/script_stream.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <random>
#include <system_error>

namespace snipforge {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;

std::string ErrorText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

std::string TempNameFor(const std::filesystem::path& target) {
  static std::mt19937_64 random{std::random_device{}()};
  std::array<char, 17> hex{};
  const auto end = std::to_chars(hex.data(), hex.data() + 16, random(), 16).ptr;
  // A name of its own length, so that the longest name the target may have still works.
  std::string name = ".snipforge-";
  name.append(hex.data(), end);
  name += ".tmp";
  std::filesystem::path temp = target;
  temp.replace_filename(name);
  return temp.string();
}

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
  namespace fs = std::filesystem;
  Discard();
  if (path.empty()) return "enter the name of the output file";
  const std::string name = FileNameForMessage(path);
  const auto cannotWrite = [&](const std::string& why) {
    return "cannot write " + name + ": " + why;
  };
  std::error_code error;
  // A link is followed, so that the script it names is the file replaced, not the link.
  fs::path target(path);
  if (fs::is_symlink(target, error)) {
    fs::path resolved = fs::weakly_canonical(target, error);
    if (!error) target = std::move(resolved);
  }
  const fs::file_status status = fs::status(target, error);
  if (fs::is_directory(status)) return cannotWrite("it is a folder");
  if (fs::exists(status)) {
    if (!fs::is_regular_file(status)) return cannotWrite("it is not a regular file");
    // An existing script is replaced only when it could be written in place.
    errno = 0;
    std::FILE* existing = std::fopen(target.c_str(), "ab");
    if (existing == nullptr) return cannotWrite(ErrorText(errno));
    std::fclose(existing);
  }
  int reason = EEXIST;
  for (int attempt = 0; attempt < 100 && reason == EEXIST; ++attempt) {
    tempPath_ = TempNameFor(target);
    errno = 0;
    file_ = std::fopen(tempPath_.c_str(), "wbx");
    reason = file_ != nullptr ? 0 : (errno != 0 ? errno : EIO);
  }
  if (file_ == nullptr) {
    tempPath_.clear();
    return cannotWrite(ErrorText(reason));
  }
  path_ = target.string();
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  writeError_ = 0;
  return std::nullopt;
}

void ScriptStream::Write(std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() >= kBufferSize) Flush();
}

void ScriptStream::WriteLine(std::string_view text) {
  buffer_.append(text);
  buffer_.append("\r\n");
  if (buffer_.size() >= kBufferSize) Flush();
}

void ScriptStream::Flush() {
  if (file_ != nullptr && writeError_ == 0 && !buffer_.empty()) {
    errno = 0;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      writeError_ = errno != 0 ? errno : EIO;
    }
  }
  buffer_.clear();
}

StepError ScriptStream::Close() {
  if (file_ == nullptr) return "the script was not created";
  Flush();
  errno = 0;
  if (writeError_ == 0 && std::fflush(file_) != 0) writeError_ = errno != 0 ? errno : EIO;
  errno = 0;
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (writeError_ == 0 && closed != 0) writeError_ = errno != 0 ? errno : EIO;
  const std::string name = FileNameForMessage(path_);
  if (writeError_ != 0) {
    Discard();
    return "cannot write " + name + ": " + ErrorText(writeError_);
  }
  std::error_code error;
  std::filesystem::rename(tempPath_, path_, error);
  if (error) {
    Discard();
    return "cannot write " + name + ": " + error.message();
  }
  tempPath_.clear();
  return std::nullopt;
}

void ScriptStream::Discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!tempPath_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(tempPath_, ignored);
    tempPath_.clear();
  }
  buffer_.clear();
}

}  // namespace snipforge
