// The location database over the full US data set (data/us), each figure
// printed beside the time of plainly reading the same file's bytes into
// memory in the same run, and beside awk doing the list's selection.
//
// The database keeps no index and no cache: every call reads its file, so
// a lookup can at best approach one plain read of the file and a list (two
// passes) two of them.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "stratus/location/location_db.h"

namespace {

std::string dataDir() {
  const char* env = std::getenv("STRATUS_DATA_DIR");
  return env && *env ? env : STRATUS_SOURCE_DIR "/data/us";
}

std::string path(const char* file) { return dataDir() + "/" + file; }

// The whole file into memory, as a baseline for one pass over it.
size_t plainRead(const std::string& file) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (f == nullptr) return 0;
  struct stat st;
  fstat(fileno(f), &st);
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t n = std::fread(&bytes[0], 1, bytes.size(), f);
  std::fclose(f);
  benchmark::DoNotOptimize(bytes.data());
  return n;
}

// Facts about cities.ldt that the benchmarks need: the id and state of its
// last record, and the state with the most cities.
struct Facts {
  unsigned lastCity = 0;
  unsigned lastState = 0;
  unsigned largestState = 0;
  unsigned largestCount = 0;
};

// Read once with stdio, independently of the code under measurement.
const Facts& facts() {
  static Facts f = [] {
    Facts out;
    std::FILE* file = std::fopen(path("cities.ldt").c_str(), "rb");
    if (file == nullptr) return out;
    std::map<unsigned, unsigned> perState;
    char line[4096];
    while (std::fgets(line, sizeof line, file) != nullptr) {
      unsigned id = 0, country = 0, state = 0;
      if (std::sscanf(line, "%u\t%u\t%u", &id, &country, &state) != 3) continue;
      ++perState[state];
      out.lastCity = id;
      out.lastState = state;
    }
    std::fclose(file);
    for (const auto& [state, n] : perState) {
      if (n > out.largestCount) {
        out.largestCount = n;
        out.largestState = state;
      }
    }
    return out;
  }();
  return f;
}

// Each figure is taken nine times; the table below uses the best and the
// median of the nine, which the other helpers' load on a shared machine
// disturbs least.
double minOf(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}
#define STRATUS_BENCH(fn)             \
  BENCHMARK(fn)                       \
      ->Unit(benchmark::kMicrosecond) \
      ->MinTime(0.2)                  \
      ->Repetitions(9)                \
      ->ReportAggregatesOnly(true)    \
      ->ComputeStatistics("min", minOf)

void checkData(benchmark::State& state) {
  if (facts().lastCity == 0 || facts().largestState == 0)
    state.SkipWithError("data/us not found; set STRATUS_DATA_DIR");
}

void BM_PlainRead_Cities(benchmark::State& state) {
  std::string file = path("cities.ldt");
  size_t bytes = 0;
  for (auto _ : state) bytes = plainRead(file);
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}
STRATUS_BENCH(BM_PlainRead_Cities);

void BM_PlainRead_CitiesAndStates(benchmark::State& state) {
  std::string cities = path("cities.ldt");
  std::string states = path("states.ldt");
  for (auto _ : state) {
    plainRead(cities);
    plainRead(states);
  }
}
STRATUS_BENCH(BM_PlainRead_CitiesAndStates);

void BM_GetCityList_LargestState(benchmark::State& state) {
  checkData(state);
  WLocationDB db(dataDir().c_str());
  unsigned n = 0;
  for (auto _ : state) {
    // A fresh vector each time, as a chooser makes one per list shown; its
    // release is timed too.
    LVector<WCity> list;
    if (db.getCityList(1, facts().largestState, list) != 0)
      state.SkipWithError("getCityList failed");
    n = list.getSize();
  }
  state.counters["cities"] = n;
}

// The same into a vector that still holds the previous result: the resize
// copies the old elements over before they are replaced.
void BM_GetCityList_LargestStateReused(benchmark::State& state) {
  checkData(state);
  WLocationDB db(dataDir().c_str());
  LVector<WCity> list;
  for (auto _ : state) {
    if (db.getCityList(1, facts().largestState, list) != 0)
      state.SkipWithError("getCityList failed");
  }
}
STRATUS_BENCH(BM_GetCityList_LargestStateReused);
STRATUS_BENCH(BM_GetCityList_LargestState);

void BM_GetCity_LastRecord(benchmark::State& state) {
  checkData(state);
  WLocationDB db(dataDir().c_str());
  WCity city;
  for (auto _ : state) {
    if (db.getCity(facts().lastCity, city) != 0)
      state.SkipWithError("getCity failed");
  }
}
STRATUS_BENCH(BM_GetCity_LastRecord);

void BM_CityIteration_LargestState(benchmark::State& state) {
  checkData(state);
  WLocationDB db(dataDir().c_str());
  WCity city;
  unsigned n = 0;
  for (auto _ : state) {
    n = 0;
    db.initCityIterator(1, facts().largestState);
    while (db.getNextCity(city) == 0) ++n;
    db.closeCityIterator();
  }
  state.counters["cities"] = n;
}
STRATUS_BENCH(BM_CityIteration_LargestState);

void BM_MakeUSLocation_LastRecord(benchmark::State& state) {
  checkData(state);
  WLocationDB db(dataDir().c_str());
  WLocation loc;
  for (auto _ : state) {
    if (db.makeUSLocation(facts().lastState, facts().lastCity, loc) != 0)
      state.SkipWithError("makeUSLocation failed");
  }
}
STRATUS_BENCH(BM_MakeUSLocation_LastRecord);

// The same selection as the list, by awk, process start included.
void BM_Awk_SelectLargestState(benchmark::State& state) {
  checkData(state);
  std::string cmd = "awk -F'\\t' '$3==" + std::to_string(facts().largestState) +
                    "' '" + path("cities.ldt") + "' > /dev/null";
  for (auto _ : state) {
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("awk failed");
  }
}
STRATUS_BENCH(BM_Awk_SelectLargestState);

// Prints the usual table, then each figure as a multiple of the plain read
// of the files it reads, measured in the same run: best against best and
// median against median.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred || r.run_type != Run::RT_Aggregate) continue;
      std::string name = r.run_name.function_name;
      if (r.aggregate_name == "min") best_[name] = r.GetAdjustedRealTime();
      if (r.aggregate_name == "median") median_[name] = r.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const char* cities = "BM_PlainRead_Cities";
    const char* both = "BM_PlainRead_CitiesAndStates";
    if (best_.count(cities) == 0) return;
    std::printf("\n%-34s %18s %18s %14s\n", "against a plain read (us)",
                "best: time/plain", "median: time/plain", "ratio b/m");
    const std::pair<const char*, const char*> rows[] = {
        {"BM_GetCityList_LargestState", cities},
        {"BM_GetCityList_LargestStateReused", cities},
        {"BM_GetCity_LastRecord", cities},
        {"BM_CityIteration_LargestState", cities},
        {"BM_MakeUSLocation_LastRecord", both},
        {"BM_Awk_SelectLargestState", cities},
    };
    for (const auto& [name, plain] : rows) {
      if (best_.count(name) == 0) continue;
      double b = best_[name], pb = best_[plain];
      double m = median_[name], pm = median_[plain];
      std::printf("%-34s %9.0f/%-8.0f %9.0f/%-8.0f %5.1fx/%4.1fx\n", name + 3,
                  b, pb, m, pm, b / pb, m / pm);
    }
    const Facts& f = facts();
    std::printf("(largest state %u with %u cities; last city %u)\n",
                f.largestState, f.largestCount, f.lastCity);
  }

 private:
  std::map<std::string, double> best_;
  std::map<std::string, double> median_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
