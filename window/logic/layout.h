// Where each control stands, in pixels, for the desktop's font and the screen's dots per inch:
// the twips table scaled by the DPI and by how much larger the font is than the 8-point font the
// table was made for (never smaller), and larger still until every caption fits its control.
// Both views lay their controls out with it.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "window/logic/controls.h"

namespace snipforge {

// What the layout needs to know of the fonts a view draws its controls with.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  // The width in pixels of the UTF-8 text as a control of this kind draws it.
  [[nodiscard]] virtual double Width(ControlKind kind, std::string_view text) const = 0;

  double em = 0;            // the size of the largest font the controls use, in pixels
  double ascent = 0;        // of that font
  double height = 0;        // of that font, from the top of its tallest letter to the bottom
  double lineSpacing = 0;   // of that font, from one baseline to the next
  double checkIndicator = 0;  // room the tick box takes before a check box's caption
  double buttonMargin = 0;    // room a button takes around its caption, both sides together
  double frameMargin = 0;     // room a text box's frame takes around its line, top and bottom
  double choiceArrow = 0;     // room a drop-down list's arrow takes beside its text
};

struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A word of a gap label where it is drawn: the start of its baseline in the label.
struct PlacedWord {
  std::string text;
  double x = 0;
  double baseline = 0;
  std::size_t key = std::string::npos;  // the place in `text` of the label's key letter
};

struct FormLayout {
  double scale = 1;  // pixels per twip, divided by those of the table's font at this DPI
  int width = 0;     // the area that scrolls, and the status bar below it
  int height = 0;    // of the area that scrolls
  int statusBarHeight = 0;
  // In the area that scrolls, or in the status bar for the controls that stand there.
  std::array<PixelRect, kControls.size()> rects{};
  std::array<std::vector<PlacedWord>, kControls.size()> words{};  // of each gap label
};

// The size in pixels of the 8-point font the twips table was made for.
[[nodiscard]] inline double ReferenceEm(double dpi) { return 8 * dpi / 72; }

// The controls' places for fonts of these metrics on a screen of `dpi` dots per inch. A gap
// label's box stands over the blank run of its sentence.
[[nodiscard]] FormLayout Layout(const TextMeasure& metrics, double dpi);

// The layout for a client area `width` pixels wide: the path and append boxes (and what holds
// them) grow by as much as the window is wider than laid out, the controls at its right edge
// move with it, and every other control keeps its place. Never narrower than laid out.
[[nodiscard]] FormLayout Widened(FormLayout layout, int width);

// The lines of text wrapped word by word within `width` pixels; empty when a word is wider.
[[nodiscard]] std::vector<std::string> WrapWords(const TextMeasure& metrics, ControlKind kind,
                                                 std::string_view text, double width);

}  // namespace snipforge
