#include "engine/list_source.h"

#include <array>
#include <optional>
#include <string_view>

namespace snipforge {
namespace {

constexpr std::size_t kBlockSize = 1 << 16;

// UTF-16 into UTF-8, a block at a time. Written here rather than with <codecvt>, which C++20
// deprecates, so that an invalid sequence can be told apart and its line named.
class Utf16Decoder {
 public:
  explicit Utf16Decoder(bool bigEndian) : bigEndian_(bigEndian) {}

  // Decodes the bytes onto `out`; false at the first sequence that is not UTF-16.
  bool Add(std::string_view bytes, std::string& out) {
    for (const char c : bytes) {
      if (!carried_) {
        carry_ = static_cast<unsigned char>(c);
        carried_ = true;
        continue;
      }
      const auto byte = static_cast<unsigned char>(c);
      carried_ = false;
      const auto unit = static_cast<char16_t>(bigEndian_ ? (carry_ << 8) | byte : (byte << 8) | carry_);
      if (!Unit(unit, out)) return false;
    }
    return true;
  }
  // True when the text ended whole: no odd byte and no surrogate left waiting for its pair.
  [[nodiscard]] bool Finish() const { return !carried_ && high_ == 0; }
  // The line the decoding has reached, from 1.
  [[nodiscard]] std::int64_t line() const { return line_; }

 private:
  bool Unit(char16_t unit, std::string& out) {
    if (high_ != 0) {
      if (unit < 0xDC00 || unit > 0xDFFF) return false;
      const char32_t code = 0x10000 + ((char32_t{high_} - 0xD800) << 10) + (unit - 0xDC00);
      high_ = 0;
      Append(code, out);
      return true;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      high_ = unit;
      return true;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    // Lines are counted as the reader splits them: CR LF, LF and CR alone each end one.
    if (unit == u'\n' && !afterCarriageReturn_) ++line_;
    if (unit == u'\r') ++line_;
    afterCarriageReturn_ = unit == u'\r';
    Append(unit, out);
    return true;
  }

  static void Append(char32_t code, std::string& out) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool bigEndian_;
  unsigned char carry_ = 0;
  bool carried_ = false;
  char16_t high_ = 0;  // a high surrogate waiting for its low one
  bool afterCarriageReturn_ = false;
  std::int64_t line_ = 1;
};

Failure CannotRead(const std::string& name, std::error_code error) {
  if (error == FileRefusal::kCancelled) return Cancelled();
  return Fail("cannot read " + name + ": " + error.message());
}

}  // namespace

Result<ListSource> OpenListSource(std::shared_ptr<const InputFile> file, std::string name,
                                  ListFormat format, RunControl* control) {
  std::array<char, 3> mark{};
  const InputFile::Read begin = file->ReadAt(0, mark.data(), mark.size());
  if (begin.error) return CannotRead(name, begin.error);
  const std::string_view head(mark.data(), begin.bytes);
  if (head.starts_with("\xEF\xBB\xBF")) return ListSource{std::move(file), std::move(name), format, 3};
  const bool littleEndian = head.starts_with("\xFF\xFE");
  if (!littleEndian && !head.starts_with("\xFE\xFF")) {
    return ListSource{std::move(file), std::move(name), format, 0};
  }

  Utf16Decoder decoder(!littleEndian);
  bool invalid = false;
  auto copy = std::make_shared<InputFile>();
  const std::error_code error = copy->OpenCopy(
      [&](const InputFile::CopyWriter& write) -> std::error_code {
        std::string block(kBlockSize, '\0');
        std::string text;
        for (std::uint64_t at = 2;;) {
          if (control != nullptr && control->cancel) return FileRefusal::kCancelled;
          const InputFile::Read read = file->ReadAt(at, block.data(), block.size());
          if (read.error) return read.error;
          if (read.bytes == 0) break;
          at += read.bytes;
          text.clear();
          invalid = !decoder.Add({block.data(), read.bytes}, text);
          if (const std::error_code failed = write(text)) return failed;
          if (invalid) return {};
        }
        invalid = !decoder.Finish();
        return {};
      },
      file->info());
  if (error) return CannotRead(name, error);
  if (invalid) {
    return Fail(name + " is not valid UTF-16 on line " + std::to_string(decoder.line()) +
                ", although it begins with a UTF-16 byte-order mark");
  }
  if (control != nullptr) control->inputSize = copy->Size();
  return ListSource{std::move(copy), std::move(name), format, 0};
}

}  // namespace snipforge
