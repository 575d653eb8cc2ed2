// Whole conversions on arbitrary input bytes and option texts: either a script or a clear
// message, and a failed run leaves the old script and no temporary file behind.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/conversion.h"
#include "engine/option_table.h"
#include "engine/test_support.h"

namespace {

using namespace snipforge;

// True for a row set from two bits: a check box, or a choice (2 and 3 are no word of one).
constexpr bool IsBox(const Option& option) {
  return option.kind == OptionKind::kCheckBox || option.kind == OptionKind::kChoice;
}

// The rows the target sets, in the table's order: every text that names no file, and every
// check box and choice.
constexpr std::size_t Count(bool boxes) {
  std::size_t count = 0;
  for (const Option& option : kOptions) {
    if (IsBox(option) ? boxes : (!boxes && !option.path)) ++count;
  }
  return count;
}
constexpr std::size_t kTexts = Count(false);
constexpr std::size_t kBoxes = Count(true);
constexpr std::size_t kBoxBytes = (kBoxes + 3) / 4;  // two bits a box

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The check boxes' bytes, two bits a box (3 is no value a box has); then fields separated
  // by byte 0x1F: the input file, then the option texts.
  if (size < kBoxBytes) return 0;
  std::vector<std::string> fields(1);
  for (std::size_t i = kBoxBytes; i < size; ++i) {
    if (data[i] == 0x1F) {
      fields.emplace_back();
    } else {
      fields.back() += static_cast<char>(data[i]);
    }
  }
  fields.resize(1 + kTexts);

  const auto folder = testing::ProcessTempDir() / "run";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  ControlValues controls;
  controls.tInput = (folder / "frames.txt").string();
  controls.tOutput = (folder / "out.avs").string();
  testing::WriteFile(controls.tInput, fields[0]);
  testing::WriteFile(controls.tOutput, "old script");
  std::size_t text = 0;
  std::size_t box = 0;
  for (const Option& option : kOptions) {
    if (IsBox(option)) {
      const unsigned bits = data[box / 4] >> (2 * (box % 4));
      controls.*(option.check != nullptr ? option.check : option.choice) = static_cast<int>(bits & 3u);
      ++box;
    } else if (!option.path) {
      if (const std::string& field = fields[1 + text++]; !field.empty()) {
        controls.*option.text = field;
      }
    }
  }

  const RunOutcome outcome = RunConversion(controls);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++files;
  if (files != 2) std::abort();  // no temporary file is ever left behind
  if (!outcome.ok) {
    if (outcome.message.empty()) std::abort();
    if (testing::ReadFile(controls.tOutput) != "old script") std::abort();
  } else if (!outcome.message.empty()) {
    std::abort();
  }
  return 0;
}
