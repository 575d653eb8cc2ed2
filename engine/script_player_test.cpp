// Plays the written expressions the way the frame server does and checks the frames they show:
// trim(a,b) with b = 0 runs to the end of the clip and b < 0 takes -b frames from a; the first
// frame is clamped to the clip, the last to the first frame and the clip; a trim is never empty;
// ++ joins clips in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/bad_parts.h"
#include "engine/good_parts.h"
#include "engine/test_support.h"

namespace snipforge {
namespace {

constexpr int kBlack = -1;  // a frame of a blankclip

// Reads an integer as scripts write it: blanks allowed around the sign and the digits.
bool ReadInt(std::string_view& text, long long& value) {
  const auto skipBlanks = [&] {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  };
  skipBlanks();
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  skipBlanks();
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  if (negative) value = -value;
  return true;
}

// The frames one piece of a chain plays: trim(a,b) or Trim(a,b), then a subtitle (which keeps
// the frames) or .blankclip (which makes them black). False when the piece is not of that form.
bool PlayPiece(std::string_view piece, long long length, std::vector<int>& frames) {
  if (!piece.starts_with("trim(") && !piece.starts_with("Trim(")) return false;
  piece.remove_prefix(5);
  long long a = 0;
  long long b = 0;
  if (!ReadInt(piece, a) || !piece.starts_with(',')) return false;
  piece.remove_prefix(1);
  if (!ReadInt(piece, b) || !piece.starts_with(')')) return false;
  piece.remove_prefix(1);
  const bool black = piece == ".blankclip";
  if (!black && !piece.empty() && !piece.starts_with(".subtitle(")) return false;

  long long last = b == 0 ? length - 1 : b < 0 ? a - b - 1 : b;
  const long long first = std::clamp(a, 0LL, length - 1);
  last = std::clamp(last, first, length - 1);
  for (long long frame = first; frame <= last; ++frame) {
    frames.push_back(black ? kBlack : static_cast<int>(frame));
  }
  return true;
}

// The frames an expression of ++-joined pieces, over lines continued by a backslash and after an
// optional name (Junk=), plays on a clip of `length` frames. Fails the test on any other form.
std::vector<int> Play(std::string script, long long length) {
  for (std::size_t at; (at = script.find("\\\r\n")) != std::string::npos;) script.erase(at, 3);
  if (!script.ends_with("\r\n") || script.find("\r\n") != script.size() - 2) {
    ADD_FAILURE() << "not one expression: " << script;
    return {};
  }
  std::string_view chain(script.data(), script.size() - 2);
  const std::size_t name = chain.find('=');
  if (name < chain.find('(')) chain.remove_prefix(name + 1);
  std::vector<int> frames;
  while (true) {
    const std::size_t join = chain.find("++");
    if (!PlayPiece(chain.substr(0, join), length, frames)) {
      ADD_FAILURE() << "not a trim: " << chain.substr(0, join) << " in " << script;
      return {};
    }
    if (join == std::string_view::npos) return frames;
    chain.remove_prefix(join + 2);
  }
}

// Frames as ranges ("0-7 16-37 b"): readable expectations and failure messages.
std::string Ranges(const std::vector<int>& frames) {
  std::string text;
  for (std::size_t i = 0; i < frames.size();) {
    std::size_t j = i;
    while (frames[i] != kBlack && j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) ++j;
    if (!text.empty()) text += ' ';
    text += frames[i] == kBlack ? "b" : std::to_string(frames[i]);
    if (j > i) text += "-" + std::to_string(frames[j]);
    i = j + 1;
  }
  return text;
}

using Input = std::pair<FrameList, ControlValues>;

// A script split after each line that does not continue the expression.
std::vector<std::string> SplitExpressions(const std::string& written, std::size_t expected) {
  std::vector<std::string> expressions(1);
  for (std::size_t start = 0, end; (end = written.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    expressions.back().append(written, start, end + 2 - start);
    if (written[end - 1] != '\\') expressions.emplace_back();
  }
  expressions.pop_back();
  EXPECT_EQ(expressions.size(), expected);
  return expressions;
}

// The expressions one writer appends for each list and its controls, written one after another
// into one script and split up again, each with its line ends.
template <class Check, class Writer>
std::vector<std::string> WriteEach(Check check, Writer write, const std::vector<Input>& inputs) {
  const testing::Written written = testing::WriteScript([&](ScriptStream& script) {
    for (const auto& [list, controls] : inputs) {
      const auto numbers = check(list, CaptureOptions(controls).value());
      EXPECT_TRUE(numbers.ok()) << numbers.error();
      if (numbers) write(list, *numbers, script);
    }
  });
  EXPECT_EQ(written.error, "");
  return SplitExpressions(written.bytes, inputs.size());
}

struct RandomList {
  std::vector<std::int32_t> frames;
  int before, after, minLength, exclude;
};

// Bad frames with runs of several frames and gaps of all sizes, and the options around them.
RandomList MakeRandomList(std::mt19937& random) {
  const auto below = [&](unsigned bound) { return static_cast<int>(random() % bound); };
  RandomList made{{}, below(7), below(7), below(11), below(4)};
  std::int32_t frame = below(12);
  for (int count = 1 + below(12); count > 0; --count) {
    made.frames.push_back(frame);
    frame += below(3) == 0 ? 1 : 1 + below(16);
  }
  return made;
}

// What the good-part expression is meant to play on a clip of `length` frames: every frame but
// those each bad frame cuts (itself and its offsets, none for a run of at most `exclude`
// frames), and but the stretches between cut frames of `minLength` frames or fewer.
std::vector<int> IntendedGood(const RandomList& list, int length) {
  std::vector<bool> cut(static_cast<std::size_t>(length), false);
  const std::size_t n = list.frames.size();
  for (std::size_t runFirst = 0; runFirst < n;) {
    std::size_t runEnd = runFirst + 1;
    while (runEnd < n && list.frames[runEnd] == list.frames[runEnd - 1] + 1) ++runEnd;
    const bool isShort =
        list.exclude != 0 && runEnd - runFirst <= static_cast<std::size_t>(list.exclude);
    for (std::size_t i = runFirst; i < runEnd; ++i) {
      const int from = std::max(0, list.frames[i] - (isShort ? 0 : list.before));
      const int to = list.frames[i] + (isShort ? 0 : list.after);
      for (int frame = from; frame <= to; ++frame) cut[static_cast<std::size_t>(frame)] = true;
    }
    runFirst = runEnd;
  }
  std::vector<int> frames;
  const auto firstCut = std::find(cut.begin(), cut.end(), true) - cut.begin();
  for (int frame = 0; frame < length; ++frame) {
    if (cut[static_cast<std::size_t>(frame)]) continue;
    int stretchEnd = frame;
    while (stretchEnd + 1 < length && !cut[static_cast<std::size_t>(stretchEnd + 1)]) ++stretchEnd;
    const bool interior = frame > firstCut && stretchEnd + 1 < length;
    if (!interior || stretchEnd - frame + 1 > list.minLength) {
      for (int kept = frame; kept <= stretchEnd; ++kept) frames.push_back(kept);
    }
    frame = stretchEnd;
  }
  return frames;
}

TEST(ScriptPlayerTest, GoodPartsPlayEveryFrameOutsideTheCuts) {
  std::mt19937 random(20240611);
  std::vector<RandomList> lists;
  std::vector<Input> inputs;
  for (int round = 0; round < 3000; ++round) {
    const RandomList& list = lists.emplace_back(MakeRandomList(random));
    ControlValues controls;
    controls.tOffsetBefore = std::to_string(list.before);
    controls.tOffsetAfter = std::to_string(list.after);
    controls.tMinLength = std::to_string(list.minLength);
    controls.tExcludeOffset = std::to_string(list.exclude);
    inputs.emplace_back(FrameList(list.frames, {}), std::move(controls));
  }
  const std::vector<std::string> scripts = WriteEach(CheckGoodPart, WriteGoodParts, inputs);
  int failures = 0;
  for (std::size_t i = 0; i < scripts.size() && failures < 5; ++i) {
    const RandomList& list = lists[i];
    // The clip ends a little after the last frame cut, so the final trim(T,0) starts inside it.
    int lastCut = 0;
    for (const std::int32_t frame : list.frames) lastCut = std::max(lastCut, frame + list.after);
    const int length = lastCut + 2 + static_cast<int>(i % 4);
    const std::string played = Ranges(Play(scripts[i], length));
    const std::string intended = Ranges(IntendedGood(list, length));
    if (played != intended) {
      ++failures;
      std::string bad;
      for (const std::int32_t frame : list.frames) bad += std::to_string(frame) + " ";
      ADD_FAILURE() << "bad frames " << bad << "before " << list.before << " after " << list.after
                    << " minimum " << list.minLength << " exclude " << list.exclude << " clip "
                    << length << "\n" << scripts[i] << "plays    " << played << "\nintended "
                    << intended;
    }
  }
}

TEST(ScriptPlayerTest, ReviewPartsPlayTheirContextAndBlackFrames) {
  const struct {
    std::string name;
    FrameList list;
    std::string minLength, good, black;
    std::string played;
  } cases[] = {
      {"two parts of several frames", testing::MakeFrameList({10, 11, 12, 40, 41}), "5", "3", "1",
       "6-16 b 36-45 b"},
      {"one bad frame 3: context from frame 0", testing::MakeFrameList({3}), "0", "3", "1",
       "0-7 b"},
      {"part at frame 1 with one good frame", testing::MakeFrameList({1}), "0", "1", "0", "0-3"},
      {"part that is frame 0 alone", testing::MakeFrameList({0}), "0", "3", "2", "0-4 b b"},
      {"part below the good count", testing::MakeFrameList({2}), "0", "3", "0", "2-6"},
      {"one good frame inside a part", testing::MakeFrameList({10, 12}), "1", "0", "1", "10-12 b"},
      {"contexts overlap", testing::MakeFrameList({10, 20}), "0", "6", "0", "3-17 13-27"},
      {"context past the clip's end plays the last frame", testing::MakeFrameList({97}), "0", "3",
       "0", "93-99"},
  };
  std::vector<Input> inputs;
  for (const auto& c : cases) {
    ControlValues controls;
    controls.tMinLength = c.minLength;
    controls.tNumberofGood = c.good;
    controls.tNumberOfBlack = c.black;
    inputs.emplace_back(c.list, controls);
  }
  const std::vector<std::string> scripts = WriteEach(CheckBadPart, WriteBadParts, inputs);
  for (std::size_t i = 0; i < scripts.size(); ++i) {
    EXPECT_EQ(Ranges(Play(scripts[i], 100)), cases[i].played) << cases[i].name;
  }
}

TEST(ScriptPlayerTest, AFinalTrimPastTheClipsEndPlaysTheLastFrame) {
  ControlValues controls;
  controls.tOffsetAfter = "2";
  const std::vector<std::string> scripts =
      WriteEach(CheckGoodPart, WriteGoodParts, {{testing::MakeFrameList({50, 98}), controls}});
  ASSERT_EQ(scripts.size(), 1u);
  EXPECT_EQ(Ranges(Play(scripts[0], 100)), "0-49 53-97 99");
}

}  // namespace
}  // namespace snipforge
