// Writes frame lists for the benchmarks:
//   generate_list shuffled N FILE   N distinct frame numbers below 10*N, 5% of them repeated,
//                                   in random order, one per line (LF)
//   generate_list run N FILE        the frames 0 to N-1, one run of consecutive frames
//   generate_list ranges N FILE     the shuffled frames as ranges of five frames ("10-14")
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/frame_lists.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s shuffled|run|ranges N FILE\n", argv[0]);
    return 2;
  }
  const std::string kind = argv[1];
  const auto n = static_cast<std::int32_t>(std::strtol(argv[2], nullptr, 10));
  if (kind != "run" && kind != "shuffled" && kind != "ranges") {
    std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
    return 2;
  }
  const auto frames = kind == "run" ? snipforge::bench::ConsecutiveFrames(n)
                                    : snipforge::bench::ShuffledFrames(n);
  const bool written = kind == "ranges" ? snipforge::bench::WriteRangeList(argv[3], frames)
                                        : snipforge::bench::WriteFrameList(argv[3], frames);
  if (!written) {
    std::perror(argv[3]);
    return 1;
  }
  return 0;
}
