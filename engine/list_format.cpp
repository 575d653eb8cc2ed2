#include "engine/list_format.h"

#include <algorithm>
#include <array>
#include <optional>

#include "engine/number_text.h"

namespace snipforge {
namespace {

constexpr std::int64_t kLargest = 2147483647;
constexpr std::string_view kTooLarge = "is too large (the largest is 2147483647)";

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A number as messages show it: its first 40 characters.
std::string Shown(std::string_view number) {
  std::string shown(number.substr(0, 40));
  if (number.size() > 40) shown += "...";
  return shown;
}

ListLine Stop(std::string subject, std::string_view problem) {
  ListLine line;
  line.kind = ListLine::Kind::kStop;
  line.subject = std::move(subject);
  line.problem = std::string(problem);
  return line;
}

ListLine Frames(bool noted = false) {
  ListLine line;
  line.kind = ListLine::Kind::kFrames;
  line.noted = noted;
  return line;
}

ListLine Text(bool noted) {
  ListLine line;
  line.noted = noted;
  return line;
}

// A line that passes the number test, read as plain reads it: rounded to a frame, which must be
// 0 or more and fit the 32-bit range.
ListLine ReadNumber(std::string_view line, std::vector<FrameRun>& frames) {
  const std::optional<std::int32_t> frame = ToFrameNumber(line);
  if (frame && *frame >= 0) {
    frames.push_back({*frame, *frame});
    return Frames();
  }
  const std::string_view number = TrimBlanks(line);
  const bool negative = frame ? true : number.front() == '-';
  return Stop("frame number " + Shown(number), negative ? "is negative" : kTooLarge);
}

// A whole number of a list line as written, its sign included; its value is held no further
// than one past the largest frame.
struct Number {
  std::string_view text;
  std::int64_t value = 0;
  char sign = 0;  // '+', '-' or none
};

// Walks a line made only of items and separators. Without a sink it only tells whether the line
// is one; with one it appends the frames of the items in order and stops at the first number no
// script can take.
class ItemWalk {
 public:
  explicit ItemWalk(std::string_view text) : t_(text) {}

  // True when the whole text is items and separators; a separator may end it.
  bool Walk(std::vector<FrameRun>* frames, ListLine* stop) {
    frames_ = frames;
    stop_ = stop;
    if (t_.empty()) return false;
    for (;;) {
      if (!Item()) return false;
      if (stopped_) return true;
      if (i_ == t_.size()) return true;
      if (!Separator(nullptr)) return false;
      if (i_ == t_.size()) return true;
    }
  }
  [[nodiscard]] bool stopped() const { return stopped_; }

 private:
  [[nodiscard]] char At(std::size_t i) const { return i < t_.size() ? t_[i] : '\0'; }
  void SkipBlanks() {
    while (i_ < t_.size() && IsBlank(t_[i_])) ++i_;
  }
  bool Take(char c) {
    if (At(i_) != c) return false;
    ++i_;
    return true;
  }

  // A run of blanks holding at most one comma, at least one character long.
  bool Separator(bool* comma) {
    const std::size_t start = i_;
    int commas = 0;
    while (i_ < t_.size() && (IsBlank(t_[i_]) || t_[i_] == ',')) {
      if (t_[i_] == ',' && ++commas > 1) return false;
      ++i_;
    }
    if (comma != nullptr && commas > 0) *comma = true;
    return i_ > start;
  }

  // Digits with an optional sign, which only a message makes use of.
  std::optional<Number> WholeNumber() {
    const std::size_t start = i_;
    Number number;
    if (At(i_) == '+' || At(i_) == '-') number.sign = t_[i_++];
    const std::size_t digits = i_;
    while (IsDigit(At(i_))) {
      number.value = std::min(number.value * 10 + (t_[i_] - '0'), kLargest + 1);
      ++i_;
    }
    if (i_ == digits) return std::nullopt;
    number.text = t_.substr(start, i_ - start);
    return number;
  }

  // Checks a number for a script: false, with the reason in the stop, when it has a sign or is
  // too large.
  bool Usable(const Number& number) {
    if (number.sign != 0) {
      Halt("frame number " + Shown(number.text),
           number.sign == '-' ? "is negative" : "has a sign, which a list of frames does not take");
      return false;
    }
    if (number.value > kLargest) {
      Halt("frame number " + Shown(number.text), kTooLarge);
      return false;
    }
    return true;
  }
  void Halt(std::string subject, std::string_view problem) {
    stopped_ = true;
    if (stop_ != nullptr) *stop_ = Stop(std::move(subject), problem);
  }

  void Emit(const Number& first, const Number& last) {
    if (frames_ == nullptr) return;
    if (!Usable(first) || !Usable(last)) return;
    if (last.value < first.value) {
      Halt("the range " + Shown(first.text) + "-" + Shown(last.text), "runs backwards");
      return;
    }
    frames_->push_back(
        {static_cast<std::int32_t>(first.value), static_cast<std::int32_t>(last.value)});
  }

  // A number, a range, a pair in brackets or a list in square brackets.
  bool Item() {
    if (At(i_) == '[') return SquareBrackets();
    if (At(i_) == '(') return Pair(false);
    if (Lower(At(i_)) == 't' && Lower(At(i_ + 1)) == 'r' && Lower(At(i_ + 2)) == 'i' &&
        Lower(At(i_ + 3)) == 'm' && At(i_ + 4) == '(') {
      i_ += 4;
      return Pair(true);
    }
    const std::optional<Number> first = WholeNumber();
    if (!first) return false;
    const std::size_t after = i_;
    SkipBlanks();
    if (Take('-')) {  // A-B, blanks around the dash allowed
      SkipBlanks();
      const std::optional<Number> last = WholeNumber();
      if (!last) return false;
      Emit(*first, *last);
      return true;
    }
    i_ = after;
    Emit(*first, *first);
    return true;
  }

  // (A, B), (A B) or trim(A, B): the frames A to B.
  bool Pair(bool commaNeeded) {
    ++i_;  // the opening bracket
    SkipBlanks();
    const std::optional<Number> first = WholeNumber();
    if (!first) return false;
    const std::size_t before = i_;
    SkipBlanks();
    const bool blanks = i_ > before;
    if (Take(',')) {
      SkipBlanks();
    } else if (commaNeeded || !blanks) {
      return false;
    }
    const std::optional<Number> last = WholeNumber();
    if (!last) return false;
    SkipBlanks();
    if (!Take(')')) return false;
    Emit(*first, *last);
    return true;
  }

  // [A B], two numbers and blanks only: the frames A to B. [N, N, ...] with a comma, or with
  // one number or three and more: each a frame.
  bool SquareBrackets() {
    ++i_;
    SkipBlanks();
    const std::size_t firstEmitted = frames_ != nullptr ? frames_->size() : 0;
    std::optional<Number> first;
    std::optional<Number> second;
    int count = 0;
    bool comma = false;
    for (;;) {
      const std::optional<Number> number = WholeNumber();
      if (!number) return false;
      ++count;
      if (count == 1) first = number;
      if (count == 2) second = number;
      Emit(*number, *number);
      if (stopped_) return true;
      if (Take(']')) break;
      if (!Separator(&comma)) return false;
      if (Take(']')) break;
    }
    if (count == 2 && !comma) {
      if (frames_ != nullptr) frames_->resize(firstEmitted);
      Emit(*first, *second);
    }
    return true;
  }

  std::string_view t_;
  std::size_t i_ = 0;
  std::vector<FrameRun>* frames_ = nullptr;
  ListLine* stop_ = nullptr;
  bool stopped_ = false;
};

enum class Items { kNone, kRead, kStop };

// Rule 5: a line of items. An unmatched "[" at its start or "]" at its end belongs to a list
// spread over several lines and is set aside.
Items ReadItems(std::string_view text, std::vector<FrameRun>& frames, ListLine& stop) {
  const bool opens = text.starts_with('[');
  const bool closes = text.ends_with(']');
  const std::array<std::pair<bool, bool>, 4> variants = {
      {{false, false}, {true, false}, {false, true}, {true, true}}};
  for (const auto& [dropOpen, dropClose] : variants) {
    if ((dropOpen && !opens) || (dropClose && !closes)) continue;
    std::string_view variant = text;
    if (dropOpen) variant = TrimBlanks(variant.substr(1));
    if (dropClose && !variant.empty()) variant = TrimBlanks(variant.substr(0, variant.size() - 1));
    if (!ItemWalk(variant).Walk(nullptr, nullptr)) continue;
    const std::size_t mark = frames.size();
    ItemWalk read(variant);
    read.Walk(&frames, &stop);
    if (read.stopped()) {
      frames.resize(mark);
      return Items::kStop;
    }
    return Items::kRead;
  }
  return Items::kNone;
}

// True for a separator after the first number of a log line (rule 6).
constexpr bool IsLogSeparator(char c) {
  return IsBlank(c) || c == ',' || c == ';' || c == ':';
}

// True when the rest of a log line holds a whole number standing alone between separators: not
// part of -1, 31.4 or 0,52.
bool HoldsAnotherNumber(std::string_view rest) {
  const auto separates = [&rest](std::size_t i) {
    if (rest[i] != ',') return IsLogSeparator(rest[i]);
    return !(i > 0 && i + 1 < rest.size() && IsDigit(rest[i - 1]) && IsDigit(rest[i + 1]));
  };
  std::size_t i = 0;
  while (i < rest.size()) {
    if (separates(i)) {
      ++i;
      continue;
    }
    bool digitsOnly = true;
    for (; i < rest.size() && !separates(i); ++i) digitsOnly = digitsOnly && IsDigit(rest[i]);
    if (digitsOnly) return true;
  }
  return false;
}

// Rule 2: a comment line, or a header "fps N".
bool IsComment(std::string_view text) {
  if (text.starts_with('#') || text.starts_with(';') || text.starts_with("//")) return true;
  return text.starts_with("fps") && text.size() > 3 && IsBlank(text[3]) &&
         IsNumberText(text.substr(3));
}

// Rule 3: the line without a trailing comment, a blank followed by "#" or "//" and all after.
std::string_view WithoutTrailingComment(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (IsBlank(text[i]) && (text[i + 1] == '#' || text.substr(i + 1).starts_with("//"))) {
      return TrimBlanks(text.substr(0, i));
    }
  }
  return text;
}

ListLine ReadAutoLine(std::string_view line, std::vector<FrameRun>& frames) {
  std::string_view text = TrimBlanks(line);
  if (text.empty() || IsComment(text)) return Text(false);
  text = WithoutTrailingComment(text);
  if (IsNumberText(text)) return ReadNumber(text, frames);
  ListLine stop;
  switch (ReadItems(text, frames, stop)) {
    case Items::kRead: return Frames();
    case Items::kStop: return stop;
    case Items::kNone: break;
  }
  // Rule 6: a whole number, a separator and anything: the first number.
  const std::size_t digits = static_cast<std::size_t>(
      std::find_if(text.begin(), text.end(), [](char c) { return !IsDigit(c); }) - text.begin());
  if (digits > 0 && digits < text.size() && IsLogSeparator(text[digits])) {
    const std::string_view number = text.substr(0, digits);
    const std::optional<std::int32_t> frame = ToFrameNumber(number);
    if (!frame) return Stop("frame number " + Shown(number), kTooLarge);
    frames.push_back({*frame, *frame});
    return Frames(HoldsAnotherNumber(text.substr(digits + 1)));
  }
  return Text(std::any_of(text.begin(), text.end(), IsDigit));
}

}  // namespace

ListLine ReadListLine(std::string_view line, ListFormat format, std::vector<FrameRun>& frames) {
  if (format == ListFormat::kAuto) return ReadAutoLine(line, frames);
  if (IsNumberText(line)) return ReadNumber(line, frames);
  // A text line that auto would read otherwise is noted.
  const std::size_t mark = frames.size();
  const bool noted = ReadAutoLine(line, frames).kind != ListLine::Kind::kText;
  frames.resize(mark);
  return Text(noted);
}

bool CouldBeFramesLine(std::string_view start, ListFormat format) noexcept {
  if (CouldStartNumberText(start)) return true;
  if (format == ListFormat::kPlain) return false;
  // A "/" at the end of what is held may start a trailing comment, which decides what is read.
  if (start.ends_with('/')) return true;
  // Items and separators use few characters; anything else decides the line (a trailing comment
  // ends what is read of it, a log line is read by its first number).
  return std::all_of(start.begin(), start.end(), [](char c) {
    return IsDigit(c) || IsBlank(c) || c == ',' || c == '-' || c == '+' || c == '[' || c == ']' ||
           c == '(' || c == ')' || std::string_view("trimTRIM").find(c) != std::string_view::npos;
  });
}

}  // namespace snipforge
