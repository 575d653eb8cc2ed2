// Google Benchmark for the hot pieces of a conversion and for whole runs on generated lists.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/frame_lists.h"
#include "engine/bad_parts.h"
#include "engine/conversion.h"
#include "engine/conversion_options.h"
#include "engine/frame_list.h"
#include "engine/good_parts.h"
#include "engine/number_text.h"
#include "engine/script_stream.h"

namespace snipforge {
namespace {

using bench::ConsecutiveFrames;
using bench::ShuffledFrames;

FrameList ToList(const std::vector<std::int32_t>& frames) { return FrameList(frames, {}); }

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("snipforge-bench-" + std::to_string(getpid()) + "-" + name))
      .string();
}

ConversionOptions Options(const std::string& exclude) {
  ControlValues controls;
  controls.tOffsetBefore = "2";
  controls.tOffsetAfter = "3";
  controls.tMinLength = "5";
  controls.tExcludeOffset = exclude;
  return CaptureOptions(controls).value();
}

void BM_NumberTest(benchmark::State& state) {
  const std::vector<std::string> lines = {"1234567", "  42 ", "2.5", "1e3", "frame 12", "", "trim(1,2)"};
  for (auto _ : state) {
    for (const std::string& line : lines) {
      benchmark::DoNotOptimize(IsNumberText(line));
      benchmark::DoNotOptimize(ToFrameNumber(line));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}
BENCHMARK(BM_NumberTest);

void BM_Normalise(benchmark::State& state) {
  const std::vector<std::int32_t> frames = ShuffledFrames(static_cast<std::int32_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::int32_t> copy = frames;
    state.ResumeTiming();
    const FrameList list(std::move(copy), {});
    benchmark::DoNotOptimize(list.runs().data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Normalise)->Arg(1'000'000)->Arg(4'000'000)->Unit(benchmark::kMillisecond);

template <class Check, class Writer>
void RunWriter(benchmark::State& state, const FrameList& list, const ConversionOptions& options,
               Check check, Writer write) {
  const std::string path = TempPath("writer.avs");
  const auto numbers = check(list, options).value();
  for (auto _ : state) {
    ScriptStream script;
    ResolvedPath target;
    if (target.Resolve(path) || script.Create(std::move(target), {}, "writer.avs")) std::abort();
    write(list, numbers, script);
    if (!script.Close().ok()) std::abort();
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations() * list.FrameCount());
}

// Lists of scattered frames, an expression line each, written as balanced trees: the time per
// line stays the same from 20,000 lines on.
void BM_WriteGoodParts(benchmark::State& state) {
  const FrameList list = ToList(ShuffledFrames(static_cast<std::int32_t>(state.range(0))));
  RunWriter(state, list, Options("0"), CheckGoodPart, WriteGoodParts);
}
BENCHMARK(BM_WriteGoodParts)->Arg(20'000)->Arg(200'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_WriteGoodPartsOneLongRun(benchmark::State& state) {
  RunWriter(state, ToList(ConsecutiveFrames(1'000'000)), Options("1"), CheckGoodPart, WriteGoodParts);
}
BENCHMARK(BM_WriteGoodPartsOneLongRun)->Unit(benchmark::kMillisecond);

void BM_WriteBadParts(benchmark::State& state) {
  const FrameList list = ToList(ShuffledFrames(static_cast<std::int32_t>(state.range(0))));
  RunWriter(state, list, Options("0"), CheckBadPart, WriteBadParts);
}
BENCHMARK(BM_WriteBadParts)->Arg(20'000)->Arg(200'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// How long the review writer goes on once Cancel has been pressed, for a list of millions of
// bad parts: the whole review's text, or nothing once it looks at the request.
void BM_CancelledReview(benchmark::State& state) {
  const FrameList list = ToList(ShuffledFrames(static_cast<std::int32_t>(state.range(0))));
  const std::string path = TempPath("cancelled.avs");
  const auto numbers = CheckBadPart(list, Options("0")).value();
  for (auto _ : state) {
    RunControl control;
    ScriptStream script;
    ResolvedPath target;
    if (target.Resolve(path) || script.Create(std::move(target), {}, "cancelled.avs")) std::abort();
    script.ReportTo(&control);
    control.cancel = true;  // pressed as the review begins
    benchmark::DoNotOptimize(WriteBadParts(list, numbers, script));
    if (script.Close().ok()) std::abort();
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_CancelledReview)->Arg(4'000'000)->Unit(benchmark::kMillisecond);

// Whole runs on a list of state.range(0) shuffled frames that `write` puts into a file, with
// offsets 2 and 3 and minimum length 5, in the given list format.
void TimeRuns(benchmark::State& state,
              bool (*write)(const std::string&, const std::vector<std::int32_t>&),
              ListFormat format) {
  const std::string input = TempPath("frames.txt");
  if (!write(input, ShuffledFrames(static_cast<std::int32_t>(state.range(0))))) std::abort();
  ControlValues controls;
  controls.tInput = input;
  controls.tOutput = TempPath("run.avs");
  controls.tOffsetBefore = "2";
  controls.tOffsetAfter = "3";
  controls.tMinLength = "5";
  controls.cboListFormat = static_cast<int>(format);
  for (auto _ : state) {
    if (!RunConversion(controls).ok) std::abort();
  }
  std::filesystem::remove(input);
  std::filesystem::remove(controls.tOutput);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RunConversion(benchmark::State& state) {
  TimeRuns(state, bench::WriteFrameList, ListFormat::kPlain);
}
BENCHMARK(BM_RunConversion)->Arg(1'000'000)->Arg(4'000'000)->Unit(benchmark::kMillisecond);

// A list of ranges in the auto format, a range a line ("10-14"), as range lists are written.
void BM_RunConversionOfRanges(benchmark::State& state) {
  TimeRuns(state, bench::WriteRangeList, ListFormat::kAuto);
}
BENCHMARK(BM_RunConversionOfRanges)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace snipforge

BENCHMARK_MAIN();
