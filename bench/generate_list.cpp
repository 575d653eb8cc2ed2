// Writes frame lists for the benchmarks:
//   generate_list shuffled N FILE   N distinct frame numbers below 10*N, 5% of them repeated,
//                                   in random order, one per line (LF)
//   generate_list run N FILE        the frames 0 to N-1, one run of consecutive frames
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s shuffled|run N FILE\n", argv[0]);
    return 2;
  }
  const std::string kind = argv[1];
  const auto n = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  std::vector<std::uint32_t> frames;
  frames.reserve(n + n / 20);
  std::mt19937 random(20261207);
  if (kind == "run") {
    for (std::uint32_t i = 0; i < n; ++i) frames.push_back(i);
  } else if (kind == "shuffled") {
    // Distinct numbers: one from each of n slices of width 10.
    for (std::uint32_t i = 0; i < n; ++i) frames.push_back(i * 10 + static_cast<std::uint32_t>(random() % 10));
    for (std::uint32_t i = 0; i < n / 20; ++i) frames.push_back(frames[random() % n]);
    std::shuffle(frames.begin(), frames.end(), random);
  } else {
    std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
    return 2;
  }
  std::FILE* out = std::fopen(argv[3], "wb");
  if (out == nullptr) {
    std::perror(argv[3]);
    return 1;
  }
  for (const std::uint32_t frame : frames) std::fprintf(out, "%u\n", frame);
  return std::fclose(out) == 0 ? 0 : 1;
}
