#include "window/logic/layout.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace snipforge {
namespace {

constexpr int kMaxScaleSteps = 400;
constexpr double kScaleStep = 1.01;
constexpr double kPictureSize = 16;

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const std::size_t end = std::min(text.find(' '), text.size());
    words.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return words;
}

PixelRect Scaled(const ControlRow& control, double pixelsPerTwip) {
  const auto at = [pixelsPerTwip](int twips) {
    return static_cast<int>(std::lround(twips * pixelsPerTwip));
  };
  const int left = at(control.left);
  const int top = at(control.top);
  return {left, top, at(control.left + control.width) - left, at(control.top + control.height) - top};
}

// A gap label's words and the place of its box in it: the sentence wrapped word by word with
// the blank run taking the room of the box, a line holding the box as high as the box, the
// lines centred in the label. Nothing when it does not fit.
std::optional<std::vector<PlacedWord>> LayOutGap(const TextMeasure& metrics,
                                                 std::string_view sentence, std::size_t key,
                                                 PixelRect label, PixelRect& box) {
  const BlankRun run = FindBlankRun(sentence);
  std::vector<std::string_view> tokens = Words(sentence.substr(0, run.first));
  const std::size_t boxToken = tokens.size();
  tokens.emplace_back();
  if (run.end != std::string_view::npos) {
    for (const std::string_view word : Words(sentence.substr(run.end))) tokens.push_back(word);
  }
  const double space = metrics.Width(ControlKind::kGapLabel, " ");
  struct Line {
    std::size_t first = 0;
    std::size_t end = 0;
    bool hasBox = false;
  };
  std::vector<Line> lines;
  std::vector<double> lefts(tokens.size());
  double x = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const double advance =
        i == boxToken ? box.width : metrics.Width(ControlKind::kGapLabel, tokens[i]);
    if (lines.empty() || x + space + advance > label.width) {
      lines.push_back({i, i, false});
      x = 0;
    } else {
      x += space;
    }
    lefts[i] = x;
    x += advance;
    if (x > label.width) return std::nullopt;
    lines.back().end = i + 1;
    lines.back().hasBox = lines.back().hasBox || i == boxToken;
  }
  const auto heightOf = [&](const Line& line) {
    return line.hasBox ? std::max(metrics.lineSpacing, double(box.height)) : metrics.lineSpacing;
  };
  double total = 0;
  for (const Line& line : lines) total += heightOf(line);
  if (total > std::max(label.height, box.height) + 0.5) return std::nullopt;
  std::vector<PlacedWord> words;
  double top = (label.height - total) / 2;
  for (const Line& line : lines) {
    const double height = heightOf(line);
    const double textTop = top + (height - metrics.lineSpacing) / 2;
    for (std::size_t i = line.first; i < line.end; ++i) {
      if (i == boxToken) {
        box.left = label.left + static_cast<int>(std::lround(lefts[i]));
        box.top = label.top + static_cast<int>(std::lround(top + (height - box.height) / 2));
      } else {
        const auto start = static_cast<std::size_t>(tokens[i].data() - sentence.data());
        const bool keyed = key >= start && key < start + tokens[i].size();
        words.push_back({std::string(tokens[i]), lefts[i], textTop + metrics.ascent,
                         keyed ? key - start : std::string::npos});
      }
    }
    top += height;
  }
  return words;
}

// True when the control's words fit its place.
bool Fits(const TextMeasure& metrics, const ControlRow& control, const PixelRect& rect) {
  const std::string_view text = CaptionOf(control);
  const auto linesFit = [&](double width) {
    const std::size_t lines = WrapWords(metrics, control.kind, text, width).size();
    return lines > 0 && static_cast<double>(lines - 1) * metrics.lineSpacing + metrics.height <=
                            rect.height + 0.5;
  };
  switch (control.kind) {
    case ControlKind::kLabel:
      return metrics.Width(control.kind, text) <= rect.width && metrics.height <= rect.height + 0.5;
    case ControlKind::kWrappedLabel:
      return linesFit(rect.width);
    case ControlKind::kCheckBox:
      return linesFit(rect.width - metrics.checkIndicator);
    case ControlKind::kButton:
      return metrics.Width(control.kind, text) + metrics.buttonMargin <= rect.width &&
             metrics.height <= rect.height;
    case ControlKind::kPictureButton:
      return kPictureSize + 4 <= std::min(rect.width, rect.height);
    case ControlKind::kGroupBox:
      return metrics.Width(control.kind, text) + 2 * metrics.em <= rect.width;
    case ControlKind::kTextBox:
      return metrics.height + metrics.frameMargin <= rect.height + 0.5;
    case ControlKind::kChoiceBox: {
      double widest = 0;
      for (const Choice& choice : control.option->choices) {
        widest = std::max(widest, metrics.Width(control.kind, choice.caption));
      }
      return widest + metrics.buttonMargin + metrics.choiceArrow <= rect.width &&
             metrics.height + metrics.frameMargin <= rect.height + 0.5;
    }
    case ControlKind::kStatusLine:
      return metrics.lineSpacing + metrics.height <= rect.height + 0.5;
    case ControlKind::kGapLabel:
      return true;  // laid out with its box
  }
  return true;
}

// The layout at one scale; `fits` is false when some caption does not fit.
FormLayout LayOutAt(const TextMeasure& metrics, double dpi, double scale, bool& fits) {
  fits = true;
  FormLayout layout;
  layout.scale = scale;
  const double pixelsPerTwip = dpi / 1440 * scale;
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    layout.rects[i] = Scaled(kControls[i], pixelsPerTwip);
  }
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& control = kControls[i];
    if (control.kind == ControlKind::kGapLabel) {
      std::optional<std::vector<PlacedWord>> words =
          LayOutGap(metrics, CaptionOf(control), KeyOffset(control), layout.rects[i],
                    layout.rects[ControlOf(*control.option)]);
      if (words) {
        layout.words[i] = std::move(*words);
      } else {
        fits = false;
      }
    } else if (!Fits(metrics, control, layout.rects[i])) {
      fits = false;
    }
  }
  layout.width = static_cast<int>(std::lround(kClientWidth * pixelsPerTwip));
  layout.height = static_cast<int>(std::lround(kClientHeight * pixelsPerTwip));
  layout.statusBarHeight = static_cast<int>(std::lround(kStatusBarHeight * pixelsPerTwip));
  return layout;
}

}  // namespace

std::vector<std::string> WrapWords(const TextMeasure& metrics, ControlKind kind,
                                   std::string_view text, double width) {
  std::vector<std::string> lines;
  const double space = metrics.Width(kind, " ");
  double x = 0;
  for (const std::string_view word : Words(text)) {
    const double advance = metrics.Width(kind, word);
    if (advance > width) return {};
    if (lines.empty() || x + space + advance > width) {
      lines.emplace_back(word);
      x = advance;
    } else {
      lines.back() += ' ';
      lines.back() += word;
      x += space + advance;
    }
  }
  return lines;
}

FormLayout Layout(const TextMeasure& metrics, double dpi) {
  // The boxes grow with the scale and the words do not, so some scale makes every caption fit.
  double scale = std::max(1.0, metrics.em / ReferenceEm(dpi));
  bool fits = false;
  FormLayout layout = LayOutAt(metrics, dpi, scale, fits);
  for (int step = 0; !fits && step < kMaxScaleSteps; ++step) {
    scale *= kScaleStep;
    layout = LayOutAt(metrics, dpi, scale, fits);
  }
  return layout;
}

FormLayout Widened(FormLayout layout, int width) {
  const int extra = width - layout.width;
  if (extra <= 0) return layout;
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].stretches) layout.rects[i].width += extra;
    if (kControls[i].followsRightEdge) layout.rects[i].left += extra;
  }
  layout.width = width;
  return layout;
}

}  // namespace snipforge
