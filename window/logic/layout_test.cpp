#include "window/logic/layout.h"

#include <gtest/gtest.h>

namespace snipforge {
namespace {

// A font whose every character is `advance` pixels wide, `em` pixels in size.
class FixedFont final : public TextMeasure {
 public:
  FixedFont(double emSize, double advance) : advance_(advance) {
    em = emSize;
    ascent = emSize;
    height = emSize * 1.1;
    lineSpacing = emSize * 1.25;
    checkIndicator = emSize * 1.5;
    buttonMargin = emSize;
    frameMargin = emSize / 2;
    choiceArrow = emSize;
  }
  double Width(ControlKind, std::string_view text) const override {
    return advance_ * static_cast<double>(text.size());
  }

 private:
  double advance_;
};

PixelRect RectOf(const FormLayout& layout, std::string_view name) {
  return layout.rects[FindControl(name)];
}

TEST(LayoutTest, TheTableFontGivesTheTwipsLayout) {
  const FormLayout layout = Layout(FixedFont(ReferenceEm(96), 4), 96);
  EXPECT_EQ(layout.scale, 1);
  EXPECT_EQ(layout.width, 315);
  EXPECT_EQ(layout.height, 648);
  EXPECT_EQ(layout.statusBarHeight, 41);
  EXPECT_EQ(RectOf(layout, "tInput"), (PixelRect{8, 24, 185, 25}));
  EXPECT_EQ(RectOf(layout, "Frame1"), (PixelRect{8, 464, 305, 177}));
  EXPECT_EQ(RectOf(layout, "lStatus"), (PixelRect{8, 4, 232, 33})) << "in the status bar";
  // The box of a gap sentence stands after "Cut" and a blank, and the key of the sentence is
  // underlined in the word that holds it.
  EXPECT_EQ(RectOf(layout, "tOffsetBefore").left, RectOf(layout, "Label9").left + 16);
  for (const PlacedWord& word : layout.words[FindControl("Label10")]) {
    EXPECT_EQ(word.key, word.text == "after" ? 4u : std::string::npos) << word.text;
  }
}

TEST(LayoutTest, ALargerFontOrDpiMakesEverythingLargerInProportion) {
  const FormLayout usual = Layout(FixedFont(ReferenceEm(96), 4), 96);
  const struct {
    const char* name;
    double em;
    double advance;
    double dpi;
    double scale;
  } cases[] = {
      {"twice the font", 2 * ReferenceEm(96), 8, 96, 2},
      {"twice the dpi", ReferenceEm(192), 8, 192, 1},
      {"a smaller font keeps the table's size", ReferenceEm(96) / 2, 2, 96, 1},
  };
  for (const auto& c : cases) {
    const FormLayout layout = Layout(FixedFont(c.em, c.advance), c.dpi);
    EXPECT_DOUBLE_EQ(layout.scale, c.scale) << c.name;
    const double pixels = c.scale * c.dpi / 96;
    EXPECT_NEAR(layout.width, usual.width * pixels, 1) << c.name;
    EXPECT_NEAR(RectOf(layout, "tMinLength").top, RectOf(usual, "tMinLength").top * pixels, 1)
        << c.name;
  }
}

TEST(LayoutTest, AWideFontMakesTheWindowLargerUntilEveryCaptionFits) {
  const FixedFont wide(ReferenceEm(96), 9);
  const FormLayout layout = Layout(wide, 96);
  EXPECT_GT(layout.scale, 1.5);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const ControlRow& control = kControls[i];
    const PixelRect& rect = layout.rects[i];
    if (control.kind == ControlKind::kLabel) {
      EXPECT_LE(wide.Width(control.kind, CaptionOf(control)), rect.width) << control.name;
    }
    if (control.kind == ControlKind::kWrappedLabel) {
      const auto lines = WrapWords(wide, control.kind, CaptionOf(control), rect.width);
      EXPECT_FALSE(lines.empty()) << control.name;
      EXPECT_LE(static_cast<double>(lines.size() - 1) * wide.lineSpacing + wide.height,
                rect.height + 0.5)
          << control.name;
    }
  }
}

TEST(LayoutTest, WideningStretchesTheLongBoxesAndMovesWhatStandsAtTheRightEdge) {
  const FormLayout usual = Layout(FixedFont(ReferenceEm(96), 4), 96);
  const FormLayout wide = Widened(usual, usual.width + 100);
  EXPECT_EQ(wide.width, usual.width + 100);
  EXPECT_EQ(RectOf(wide, "tInput").width, RectOf(usual, "tInput").width + 100);
  EXPECT_EQ(RectOf(wide, "cOpen").left, RectOf(usual, "cOpen").left + 100);
  EXPECT_EQ(RectOf(wide, "tMinLength"), RectOf(usual, "tMinLength"));
  EXPECT_EQ(Widened(usual, usual.width - 50).width, usual.width) << "never narrower";
}

}  // namespace
}  // namespace snipforge
