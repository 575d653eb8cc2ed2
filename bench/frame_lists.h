// The frame lists the benchmarks run on, shared by the list generator and the benchmarks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace snipforge::bench {

// n distinct frames below 10 * n (one from each slice of width 10), 5% of them repeated, in
// random order: the shape of a real list.
inline std::vector<std::int32_t> ShuffledFrames(std::int32_t n) {
  std::mt19937 random(20261207);
  std::vector<std::int32_t> frames;
  frames.reserve(static_cast<std::size_t>(n + n / 20));
  for (std::int32_t i = 0; i < n; ++i) {
    frames.push_back(i * 10 + static_cast<std::int32_t>(random() % 10));
  }
  for (std::int32_t i = 0; i < n / 20; ++i) {
    frames.push_back(frames[random() % static_cast<std::uint32_t>(n)]);
  }
  std::shuffle(frames.begin(), frames.end(), random);
  return frames;
}

// The frames 0 to n - 1: one run of consecutive frames.
inline std::vector<std::int32_t> ConsecutiveFrames(std::int32_t n) {
  std::vector<std::int32_t> frames(static_cast<std::size_t>(n));
  std::iota(frames.begin(), frames.end(), 0);
  return frames;
}

// Writes the frames one per line (LF); false when the file could not be written.
inline bool WriteFrameList(const std::string& path, const std::vector<std::int32_t>& frames) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  for (const std::int32_t frame : frames) std::fprintf(out, "%d\n", frame);
  return std::fclose(out) == 0;
}

// Writes a range a line, each frame to the frame four after it ("10-14"); false when the file
// could not be written.
inline bool WriteRangeList(const std::string& path, const std::vector<std::int32_t>& frames) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  for (const std::int32_t frame : frames) std::fprintf(out, "%d-%d\n", frame, frame + 4);
  return std::fclose(out) == 0;
}

}  // namespace snipforge::bench
