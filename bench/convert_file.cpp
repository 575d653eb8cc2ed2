// Runs one whole conversion from the command line, for timing and memory measurements:
//   convert_file INPUT OUTPUT [--bad] [--exclude N] [--no-good] [--text] [--auto]
// with offsets 2 and 3 and minimum length 5 (and the good part named Good= beside the review).
// Prints the wall time and the peak resident memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/conversion.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s INPUT OUTPUT [--bad] [--exclude N] [--no-good] [--text] [--auto]\n",
                 argv[0]);
    return 2;
  }
  snipforge::ControlValues controls;
  controls.tInput = argv[1];
  controls.tOutput = argv[2];
  controls.tOffsetBefore = "2";
  controls.tOffsetAfter = "3";
  controls.tMinLength = "5";
  for (int i = 3; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--bad") {
      controls.chOutputBadFrames = 1;
      controls.tAppendBeforeGood = "Good=";  // both expressions need the good part named
    } else if (flag == "--no-good") {
      controls.chOutputGoodFrames = 0;
    } else if (flag == "--text") {
      controls.chIncText = 1;
    } else if (flag == "--auto") {
      controls.cboListFormat = static_cast<int>(snipforge::ListFormat::kAuto);
    } else if (flag == "--exclude" && i + 1 < argc) {
      controls.tExcludeOffset = argv[++i];
    } else {
      std::fprintf(stderr, "unknown argument %s\n", flag.c_str());
      return 2;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  const snipforge::RunOutcome outcome = snipforge::RunConversion(controls);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("seconds %.4f peak_kib %ld\n", elapsed.count(), usage.ru_maxrss);
  if (!outcome.ok) {
    std::fprintf(stderr, "%s\n", outcome.message.c_str());
    return 1;
  }
  return 0;
}
