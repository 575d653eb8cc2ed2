// Whole conversions on arbitrary input bytes and option texts: either a script or a clear
// message, and a failed run leaves the old script and no temporary file behind.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/conversion.h"
#include "engine/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace snipforge;
  // Fields separated by byte 0x1F: the input file, then the option texts in a fixed order;
  // the first byte holds the four check boxes, two bits each.
  if (size == 0) return 0;
  const unsigned boxes = data[0];
  std::vector<std::string> fields(1);
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == 0x1F) {
      fields.emplace_back();
    } else {
      fields.back() += static_cast<char>(data[i]);
    }
  }
  fields.resize(11);

  const auto folder = testing::ProcessTempDir() / "run";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  ControlValues controls;
  controls.tInput = (folder / "frames.txt").string();
  controls.tOutput = (folder / "out.avs").string();
  testing::WriteFile(controls.tInput, fields[0]);
  testing::WriteFile(controls.tOutput, "old script");
  std::string* options[] = {&controls.tAppendBeforeBad, &controls.tAppendBeforeGood,
                            &controls.tAppendtoBad,     &controls.tAppendToGood,
                            &controls.tMinLength,       &controls.tNumberOfBlack,
                            &controls.tNumberofGood,    &controls.tOffsetAfter,
                            &controls.tOffsetBefore,    &controls.tExcludeOffset};
  for (std::size_t i = 0; i < std::size(options); ++i) {
    if (!fields[i + 1].empty()) *options[i] = fields[i + 1];
  }
  controls.chIncludeFramenumber = static_cast<int>(boxes & 3u);
  controls.chIncText = static_cast<int>((boxes >> 2) & 3u);
  controls.chOutputBadFrames = static_cast<int>((boxes >> 4) & 3u);
  controls.chOutputGoodFrames = static_cast<int>((boxes >> 6) & 3u);

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
