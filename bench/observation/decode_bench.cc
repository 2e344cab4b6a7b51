// Reports decoded per second over the real report corpus, by the exact
// reading (decodeObservation) and the complete reading (decodeReport) side
// by side, beside a plain pass that only splits the same reports into
// blank-separated groups (the least any decoder has to do), so the ratios
// show how near each runs to that limit.
//
//   observation_bench [--benchmark_filter=...] [corpus file]
//
// The corpus defaults to corpus/metar/us.txt of the shared folder; run it
// again with intl.txt for the international reports.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "stratus/observation/observation.h"
#include "stratus/observation/report.h"

namespace {

std::vector<LString>& reports() {
  static std::vector<LString> all;
  return all;
}

bool load(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) reports().emplace_back(line.c_str());
  return !reports().empty();
}

void setCounters(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() *
                          static_cast<int64_t>(reports().size()));
  state.counters["reports/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * reports().size(),
      benchmark::Counter::kIsRate);
}

// The whole decode of every report, the report time included.
void BM_Decode(benchmark::State& state) {
  WObservation out;
  long flags = 0;
  for (auto _ : state) {
    for (const LString& r : reports()) {
      decodeObservation(r, out);
      flags += out.hasTemp + out.hasPressure + out.hasWindSpeed;
    }
    benchmark::DoNotOptimize(flags);
  }
  setCounters(state);
}
BENCHMARK(BM_Decode);

// The complete reading of every report, the report time included.
void BM_DecodeReport(benchmark::State& state) {
  WReport out;
  long flags = 0;
  for (auto _ : state) {
    for (const LString& r : reports()) {
      decodeReport(r, out);
      flags += out.hasTemp + out.hasPressure + out.hasWind + out.layerCount;
    }
    benchmark::DoNotOptimize(flags);
  }
  setCounters(state);
}
BENCHMARK(BM_DecodeReport);

// The blank-separated groups of a report, found with memchr.
long countGroups(const LString& report) {
  long groups = 0;
  const char* s = report;
  const char* end = s + report.length();
  while (s < end) {
    const void* blank = std::memchr(s, ' ', end - s);
    ++groups;
    s = blank ? static_cast<const char*>(blank) + 1 : end;
  }
  return groups;
}

// The floor: find every blank of every report and count the groups.
void BM_SplitGroups(benchmark::State& state) {
  long groups = 0;
  for (auto _ : state) {
    for (const LString& r : reports()) {
      groups += countGroups(r);
    }
    benchmark::DoNotOptimize(groups);
  }
  setCounters(state);
}
BENCHMARK(BM_SplitGroups);

// The split plus the one copy of the text that a decode makes to work on.
void BM_CopyAndSplit(benchmark::State& state) {
  long groups = 0;
  for (auto _ : state) {
    for (const LString& r : reports()) {
      LString work(r);
      groups += countGroups(work);
    }
    benchmark::DoNotOptimize(groups);
  }
  setCounters(state);
}
BENCHMARK(BM_CopyAndSplit);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string path = STRATUS_SHARED_DIR "/corpus/metar/us.txt";
  if (argc > 1) path = argv[1];
  if (!load(path)) {
    std::fprintf(stderr, "no reports in %s\n", path.c_str());
    return 1;
  }
  std::printf("%zu reports from %s\n", reports().size(), path.c_str());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
