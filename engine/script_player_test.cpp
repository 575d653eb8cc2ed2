// Plays the written expressions the way the frame servers do and checks the frames they show.
// Avisynth: trim(a,b) with b = 0 runs to the end of the clip and b < 0 takes -b frames from a;
// the first frame is clamped to the clip, the last to the first frame and the clip; a trim is
// never empty; ++ joins clips in order, an empty one too; parentheses group; the exact end's
// (FrameCount() > T ? trim(T,0) : BlankClip(last, length=0)) takes the branch its test picks.
// VapourSynth: the fragment deletes the frames of its cuts that lie below the clip's length.
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

bool Take(std::string_view& text, std::string_view expected) {
  if (!text.starts_with(expected)) return false;
  text.remove_prefix(expected.size());
  return true;
}

// An Avisynth expression of the forms the writers use, parsed and played on a clip of `length`
// frames as it is read.
class AvisynthPlayer {
 public:
  AvisynthPlayer(std::string_view text, long long length) : text_(text), length_(length) {}

  // The frames of the whole expression; fails the test on any other form.
  std::vector<int> Play() {
    std::vector<int> frames;
    if (!Expression(frames) || !text_.empty()) {
      ADD_FAILURE() << "cannot play from: " << text_.substr(0, 80);
      return {};
    }
    return frames;
  }

 private:
  // Terms joined by ++.
  bool Expression(std::vector<int>& frames) {
    do {
      if (!Term(frames)) return false;
    } while (Take(text_, "++"));
    return true;
  }
  bool Term(std::vector<int>& frames) {
    if (Take(text_, "(FrameCount() >")) {
      long long first = 0;
      if (!ReadInt(text_, first) || !Take(text_, " ? ")) return false;
      std::vector<int> tail;
      if (!Piece(tail) || !Take(text_, " : BlankClip(last, length=0))")) return false;
      if (length_ > first) frames.insert(frames.end(), tail.begin(), tail.end());
      return true;
    }
    if (Take(text_, "(")) return Expression(frames) && Take(text_, ")");
    return Piece(frames);
  }
  // trim(a,b) or Trim(a,b), then a subtitle (which keeps the frames) or .blankclip (which makes
  // them black).
  bool Piece(std::vector<int>& frames) {
    if (!Take(text_, "trim(") && !Take(text_, "Trim(")) return false;
    long long a = 0;
    long long b = 0;
    if (!ReadInt(text_, a) || !Take(text_, ",") || !ReadInt(text_, b) || !Take(text_, ")")) {
      return false;
    }
    const bool black = Take(text_, ".blankclip");
    if (!black && Take(text_, ".subtitle(")) {
      const std::size_t close = text_.find(')');
      if (close == std::string_view::npos) return false;
      text_.remove_prefix(close + 1);
    }
    long long last = b == 0 ? length_ - 1 : b < 0 ? a - b - 1 : b;
    const long long first = std::clamp(a, 0LL, length_ - 1);
    last = std::clamp(last, first, length_ - 1);
    for (long long frame = first; frame <= last; ++frame) {
      frames.push_back(black ? kBlack : static_cast<int>(frame));
    }
    return true;
  }

  std::string_view text_;
  long long length_;
};

// The frames an expression, over lines continued by a backslash and after an optional name
// (Junk=), plays on a clip of `length` frames. Fails the test on any other form.
std::vector<int> Play(std::string script, long long length) {
  for (std::size_t at; (at = script.find("\\\r\n")) != std::string::npos;) script.erase(at, 3);
  if (!script.ends_with("\r\n") || script.find("\r\n") != script.size() - 2) {
    ADD_FAILURE() << "not one expression: " << script;
    return {};
  }
  std::string_view chain(script.data(), script.size() - 2);
  const std::size_t name = chain.find('=');
  if (name < chain.find('(')) chain.remove_prefix(name + 1);
  return AvisynthPlayer(chain, length).Play();
}

// The frames a VapourSynth fragment's cut leaves of a clip of `length` frames: it deletes the
// frames of its ranges that lie below the length; "error" when that deletes every frame.
// Fails the test when the ranges overlap or are out of order, which DeleteFrames refuses.
std::vector<int> PlayVapourSynth(const std::string& fragment, long long length) {
  const std::size_t start = fragment.find("_snipforge_cut(clip, '");
  const std::size_t end = fragment.rfind("')");
  if (start == std::string::npos || end == std::string::npos) {
    ADD_FAILURE() << "no cut: " << fragment;
    return {};
  }
  std::string_view cuts(fragment.data() + start + 22, end - start - 22);
  std::vector<bool> cut(static_cast<std::size_t>(length), false);
  long long after = -1;
  while (!cuts.empty()) {
    long long first = 0;
    long long last = 0;
    if (!ReadInt(cuts, first)) break;
    last = first;
    if (Take(cuts, "-") && !ReadInt(cuts, last)) break;
    EXPECT_GT(first, after) << fragment;
    EXPECT_LE(first, last) << fragment;
    after = last;
    for (long long frame = first; frame <= std::min(last, length - 1); ++frame) {
      cut[static_cast<std::size_t>(frame)] = true;
    }
    if (!Take(cuts, ",")) break;
  }
  EXPECT_TRUE(cuts.empty()) << fragment;
  std::vector<int> frames;
  for (int frame = 0; frame < length; ++frame) {
    if (!cut[static_cast<std::size_t>(frame)]) frames.push_back(frame);
  }
  if (frames.empty()) return {kBlack, kBlack};  // the fragment raises vs.Error
  return frames;
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

// What the good part is meant to keep of a clip of `length` frames: every frame but those each
// bad frame cuts (itself and its offsets, none for a run of at most `exclude` frames), and but
// the stretches between cut frames of `minLength` frames or fewer. The stretches are judged
// where the list puts them, also past the clip's end.
std::vector<int> IntendedGood(const RandomList& list, int length) {
  int lastCut = 0;
  for (const std::int32_t frame : list.frames) lastCut = std::max(lastCut, frame + list.after);
  const int timeline = std::max(length, lastCut + 2);
  std::vector<bool> cut(static_cast<std::size_t>(timeline), false);
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
  for (int frame = 0; frame < timeline; ++frame) {
    if (cut[static_cast<std::size_t>(frame)]) continue;
    int stretchEnd = frame;
    while (stretchEnd + 1 < timeline && !cut[static_cast<std::size_t>(stretchEnd + 1)]) ++stretchEnd;
    const bool interior = frame > firstCut && stretchEnd + 1 < timeline;
    if (!interior || stretchEnd - frame + 1 > list.minLength) {
      for (int kept = frame; kept <= std::min(stretchEnd, length - 1); ++kept) frames.push_back(kept);
    }
    frame = stretchEnd;
  }
  return frames;
}

ControlValues ControlsOf(const RandomList& list, int exactEnd = 0) {
  ControlValues controls;
  controls.tOffsetBefore = std::to_string(list.before);
  controls.tOffsetAfter = std::to_string(list.after);
  controls.tMinLength = std::to_string(list.minLength);
  controls.tExcludeOffset = std::to_string(list.exclude);
  controls.chExactEnd = exactEnd;
  return controls;
}

void WriteVapourSynth(const FrameList& list, const GoodPartNumbers& numbers, ScriptStream& script) {
  WriteVapourSynthCuts(list, numbers, "clip", script);
}

// How a script is played, and the clip lengths it is played at for a list whose last bad frame
// is `last` and whose last frame cut is `lastCut`.
struct Server {
  const char* name;
  int exactEnd;
  bool vapourSynth;
  std::vector<int> (*lengths)(int last, int lastCut, std::size_t round);
};

TEST(ScriptPlayerTest, GoodPartsPlayEveryFrameOutsideTheCuts) {
  const Server servers[] = {
      // Avisynth plays the clip's last frame for a final trim past its end: a clip that goes on.
      {"Avisynth", 0, false,
       [](int, int lastCut, std::size_t round) {
         return std::vector<int>{lastCut + 2 + static_cast<int>(round % 4)};
       }},
      // The exact end, also where the last bad frame is the clip's last frame.
      {"Avisynth, exact end", 1, false,
       [](int last, int lastCut, std::size_t round) {
         return std::vector<int>{last + 1, lastCut + 1, lastCut + 2 + static_cast<int>(round % 3)};
       }},
      // VapourSynth, also on a clip shorter than the list.
      {"VapourSynth", 0, true,
       [](int last, int lastCut, std::size_t round) {
         return std::vector<int>{1 + static_cast<int>(round % static_cast<std::size_t>(last + 1)),
                                 last + 1, lastCut + 1, lastCut + 3};
       }},
  };
  std::mt19937 random(20240611);
  std::vector<RandomList> lists;
  for (int round = 0; round < 3000; ++round) lists.push_back(MakeRandomList(random));
  for (const Server& server : servers) {
    std::vector<Input> inputs;
    for (const RandomList& list : lists) {
      inputs.emplace_back(FrameList(list.frames, {}), ControlsOf(list, server.exactEnd));
    }
    const std::vector<std::string> scripts =
        server.vapourSynth ? WriteEach(CheckGoodPart, WriteVapourSynth, inputs)
                           : WriteEach(CheckGoodPart, WriteGoodParts, inputs);
    int failures = 0;
    for (std::size_t i = 0; i < scripts.size() && failures < 5; ++i) {
      const RandomList& list = lists[i];
      int lastCut = 0;
      for (const std::int32_t frame : list.frames) lastCut = std::max(lastCut, frame + list.after);
      for (const int length : server.lengths(list.frames.back(), lastCut, i)) {
        const std::vector<int> intended = IntendedGood(list, length);
        const std::string played =
            Ranges(server.vapourSynth ? PlayVapourSynth(scripts[i], length) : Play(scripts[i], length));
        // VapourSynth has no empty clip: its fragment raises an error instead.
        const std::string meant =
            server.vapourSynth && intended.empty() ? "b b" : Ranges(intended);
        if (played == meant) continue;
        ++failures;
        std::string bad;
        for (const std::int32_t frame : list.frames) bad += std::to_string(frame) + " ";
        ADD_FAILURE() << server.name << ": bad frames " << bad << "before " << list.before
                      << " after " << list.after << " minimum " << list.minLength << " exclude "
                      << list.exclude << " clip " << length << "\n" << scripts[i] << "plays    "
                      << played << "\nintended " << meant;
      }
    }
  }
}

// What the review is meant to show of a clip long enough for every context: each part, the bad
// frames closer together than `minLength` good frames, with `good` frames of context before
// (from frame 0 when the part starts closer to it) and good + 1 after, then the black frames.
std::vector<int> IntendedReview(const std::vector<std::int32_t>& frames, int minLength, int good,
                                int black) {
  std::vector<int> shown;
  for (std::size_t first = 0; first < frames.size();) {
    std::size_t last = first;
    while (last + 1 < frames.size() && frames[last + 1] - frames[last] - 1 <= minLength) ++last;
    const int s = frames[first];
    const int e = frames[last];
    if (good > 0 && s >= good) {
      for (int frame = std::max(0, s - good - 1); frame < s; ++frame) shown.push_back(frame);
    }
    for (int frame = s; frame <= e; ++frame) shown.push_back(frame);
    if (good > 0) {
      for (int frame = e + 1; frame <= e + 1 + good; ++frame) shown.push_back(frame);
    }
    shown.insert(shown.end(), static_cast<std::size_t>(std::max(black, 0)), kBlack);
    first = last + 1;
  }
  return shown;
}

TEST(ScriptPlayerTest, LongExpressionsPlayLikeChains) {
  // Scattered frames and short runs: good parts and reviews of about 300 to 900 lines, written
  // as trees.
  std::mt19937 random(777);
  for (int round = 0; round < 20; ++round) {
    RandomList list{{}, static_cast<int>(random() % 3), static_cast<int>(random() % 3),
                    static_cast<int>(random() % 4), static_cast<int>(random() % 3)};
    std::int32_t frame = static_cast<std::int32_t>(random() % 5);
    for (int count = 400 + static_cast<int>(random() % 500); count > 0; --count) {
      list.frames.push_back(frame);
      frame += random() % 5 == 0 ? 1 : 10 + static_cast<std::int32_t>(random() % 8);
    }
    ControlValues controls = ControlsOf(list, round % 2);
    controls.tNumberofGood = std::to_string(random() % 3);
    controls.tNumberOfBlack = std::to_string(random() % 2);
    const std::vector<Input> inputs = {{FrameList(list.frames, {}), controls}};
    const std::string good = WriteEach(CheckGoodPart, WriteGoodParts, inputs).at(0);
    const std::string review = WriteEach(CheckBadPart, WriteBadParts, inputs).at(0);
    ASSERT_NE(good.find("(("), std::string::npos) << "a tree";
    const int length = frame + 20;
    EXPECT_EQ(Ranges(Play(good, length)), Ranges(IntendedGood(list, length))) << round;
    EXPECT_EQ(Ranges(Play(review, length)),
              Ranges(IntendedReview(list.frames, list.minLength, std::stoi(controls.tNumberofGood),
                                    std::stoi(controls.tNumberOfBlack))))
        << round;
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
