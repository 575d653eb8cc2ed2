#include "engine/vapoursynth.h"

#include <algorithm>
#include <array>

namespace snipforge {
namespace {

// Python's keywords, which no name may be (the soft keywords "match", "case", "type" and "_" are
// names).
constexpr std::array<std::string_view, 35> kKeywords = {
    "False",  "None",     "True",    "and",    "as",       "assert", "async",
    "await",  "break",    "class",   "continue", "def",    "del",    "elif",
    "else",   "except",   "finally", "for",    "from",     "global", "if",
    "import", "in",       "is",      "lambda", "nonlocal", "not",    "or",
    "pass",   "raise",    "return",  "try",    "while",    "with",   "yield"};

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
constexpr bool IsNamePart(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

// The lines every fragment begins with. The cuts are parsed where the clip's length is known,
// so that a range is clamped to it before it is expanded and 5-2000000000 costs nothing;
// DeleteFrames refuses frames past the end and a clip of no frames.
constexpr std::string_view kHeader =
    "from vapoursynth import core\r\n"
    "import vapoursynth as vs\r\n"
    "\r\n"
    "\r\n"
    "def _snipforge_cut(clip, cuts):\r\n"
    "    frames = []\r\n"
    "    for cut in cuts.split(',') if cuts else []:\r\n"
    "        first, _, last = cut.partition('-')\r\n"
    "        frames.extend(range(int(first), min(int(last or first), clip.num_frames - 1) + 1))\r\n"
    "    if len(frames) >= clip.num_frames:\r\n"
    "        raise vs.Error('Snipforge: every frame of the clip is cut')\r\n"
    "    return core.std.DeleteFrames(clip, frames) if frames else clip\r\n"
    "\r\n"
    "\r\n";

// The number of bytes of the UTF-8 sequence that `lead` begins, 0 for a byte no sequence
// begins with; and the range its second byte must lie in, which rules out overlong forms,
// surrogates and code points beyond U+10FFFF.
struct Lead {
  int length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
};
Lead LeadOf(unsigned char byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {2};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {4};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {};
}

}  // namespace

Result<std::string> VapourSynthResultName(std::string_view appendBefore) {
  std::string_view text = SkipBlanks(appendBefore);
  if (text.empty()) return std::string("clip");
  const auto refuse = [](const std::string& why) {
    return Fail("for VapourSynth the good part's \"Append before trim\" names the clip it makes: "
                "leave it blank for clip, or give a Python name and =, such as Good=; " + why);
  };
  if (text.starts_with("global") && text.size() > 6 && IsBlank(text[6])) {
    text = SkipBlanks(text.substr(6));
  }
  std::size_t end = 0;
  while (end < text.size() && IsNamePart(text[end])) ++end;
  const std::string_view name = text.substr(0, end);
  std::string_view rest = SkipBlanks(text.substr(end));
  while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
  const std::string quoted = "\"" + std::string(appendBefore.substr(0, 40)) + "\"";
  if (name.empty() || !IsNameStart(name.front()) || rest != "=") {
    return refuse(quoted + " is none");
  }
  if (std::find(kKeywords.begin(), kKeywords.end(), name) != kKeywords.end()) {
    return refuse("\"" + std::string(name) + "\" is a Python keyword");
  }
  return std::string(name);
}

void WriteVapourSynthHeader(ScriptStream& script) { script.Write(kHeader); }

void PythonComments::Escape(unsigned char byte) {
  constexpr char kDigits[] = "0123456789abcdef";
  out_ += "\\x";
  out_ += kDigits[byte >> 4];
  out_ += kDigits[byte & 0xF];
}

void PythonComments::Write(std::string_view bytes) {
  out_.clear();
  if (bytes == "\r\n") {
    for (const char c : pending_) Escape(static_cast<unsigned char>(c));
    pending_.clear();
    out_ += bytes;
    lineStart_ = true;
    script_.Write(out_);
    return;
  }
  if (lineStart_) out_ += "# ";
  lineStart_ = false;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (!pending_.empty()) {
      const Lead lead = LeadOf(static_cast<unsigned char>(pending_.front()));
      const bool second = pending_.size() == 1;
      if (byte >= (second ? lead.low : 0x80) && byte <= (second ? lead.high : 0xBF)) {
        pending_ += c;
        if (static_cast<int>(pending_.size()) == lead.length) {
          out_ += pending_;
          pending_.clear();
        }
        continue;
      }
      for (const char earlier : pending_) Escape(static_cast<unsigned char>(earlier));
      pending_.clear();
    }
    if (byte < 0x80) {
      if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
        Escape(byte);
      } else {
        out_ += c;
      }
    } else if (LeadOf(byte).length > 0) {
      pending_ += c;
    } else {
      Escape(byte);
    }
  }
  script_.Write(out_);
}

}  // namespace snipforge
