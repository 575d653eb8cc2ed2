#include "engine/good_parts.h"

namespace snipforge {
namespace {

// A working offset: the number 0, or the option's value, read where a formula first needs it.
class WorkingOffset {
 public:
  explicit WorkingOffset(const NumericText& option) : option_(option) {}
  void UseOption(bool use) { useOption_ = use; }
  // False when the option's text is not a number.
  [[nodiscard]] bool Read(double& value) const {
    if (!useOption_) {
      value = 0;
      return true;
    }
    const std::optional<double>& number = option_.Value();
    if (number) value = *number;
    return number.has_value();
  }

 private:
  const NumericText& option_;
  bool useOption_ = true;
};

}  // namespace

StepError WriteGoodParts(const FrameList& list, const ConversionOptions& options,
                         ScriptStream& script) {
  const std::int32_t n = list.UpperBound();
  const bool exclude = options.ExcludeOffset != 0;
  RunLengthCursor runs(list);
  const auto isShort = [&](std::int32_t r) { return runs.RunLength(r) <= options.ExcludeOffset; };
  const auto frame = [&](std::int32_t r) { return static_cast<double>(list[r]); };
  WorkingOffset before(options.OffsetBefore);
  WorkingOffset after(options.OffsetAfter);
  double b = 0;
  double a = 0;
  std::string line;

  if (options.IncludeFrameNumber) script.WriteLine("showframenumber");
  script.Write(options.AppendBeforeGood);

  if (exclude && isShort(1)) {
    before.UseOption(false);
    after.UseOption(false);
  }
  if (!before.Read(b)) return options.OffsetBefore.NotANumber();
  const double x = frame(1) - b - 1;
  if (x > 0) {
    line = "Trim(0,-1)++trim(1,";
    AppendScriptNumber(line, x);
    line += ")++\\";
    script.WriteLine(line);
  } else if (x == 0) {
    script.WriteLine("Trim(0,-1)++\\");
  }

  for (std::int32_t r = 2; r <= n; ++r) {
    if (exclude) before.UseOption(!isShort(r));
    if (!before.Read(b)) return options.OffsetBefore.NotANumber();
    const std::optional<double>& m = options.MinLength.Value();
    if (!m) return options.MinLength.NotANumber();
    if (!after.Read(a)) return options.OffsetAfter.NotANumber();
    if (frame(r) - b - *m - 1 > frame(r - 1) + a) {
      line = "trim(";
      AppendScriptNumber(line, frame(r - 1) + a + 1);
      line += ',';
      AppendScriptNumber(line, frame(r) - b - 1);
      line += ")++\\";
      script.WriteLine(line);
    }
    if (exclude) after.UseOption(!isShort(r));
  }

  if (!after.Read(a)) return options.OffsetAfter.NotANumber();
  line = "trim(";
  AppendScriptNumber(line, frame(n) + a + 1);
  line += ",0)";
  script.WriteLine(line);
  return std::nullopt;
}

}  // namespace snipforge
