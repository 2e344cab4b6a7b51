// Figures for the reader, each beside a baseline from the same run:
//   BM_GetWarnings50MB   getWarnings on a state page of at least 50 MB built
//                        from real bulletins, in MB/s, and the ratio of its
//                        time to that of `curl -s URL -o /dev/null` for the
//                        same page (goal: at most 1.5), also of the best
//                        round of each; arg 0 by the line rule, arg 1 by the
//                        UGC rule
//   BM_FetchLines50MB    the page fetcher alone on the same page
//   BM_PeakMemory200MB   peak resident memory over the process's baseline
//                        while getWarnings reads a 200 MB page (goal: under
//                        16 MB)
//   BM_GetCondition      getCondition round trips per second
// The pages come from a server in a child process, so that its memory and
// threads do not count. The bulletins are those of the shared corpus when
// present, else the test pages of tests/reader/data.
#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "stratus/foundation/result.h"
#include "stratus/reader/reader.h"

#include "reader/page_fetcher.h"
#include "support/run_with_server.h"
#include "testing/corpus_files.h"
#include "testing/http_server.h"

extern char** environ;

namespace {

constexpr size_t kBigPage = 50u << 20;
constexpr size_t kHugePage = 200u << 20;
const char kStation[] =
    "<html><body>\n<p>\nob\n\n<tt>METAR KAAA 101156Z 29012G20KT 10SM FEW008 "
    "18/12 A2996 RMK AO2 T01830122</tt>\n</p>\n</body></html>\n";

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> filesUnder(const std::string& dir) {
  std::vector<std::string> files;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
    }
    closedir(d);
  }
  return files;
}

// One round of bulletins, each in <PRE> ... </PRE> and separated by <HR>,
// as on a product server's state page.
std::string bulletinRound(std::string& origin) {
  // The shared corpus where STRATUS_SHARED_DIR (or the build's default)
  // names it; a clone without it runs on the repository's test pages.
  std::string shared = stratus_test::sharedDir() + "/corpus/products";
  std::vector<std::string> files;
  for (const char* kind :
       {"warnings", "watches", "special", "zfp", "public", "summary"}) {
    for (const std::string& f : filesUnder(shared + "/" + kind))
      files.push_back(f);
  }
  origin = "shared corpus bulletins";
  if (files.empty()) {
    files = filesUnder(STRATUS_SOURCE_DIR "/tests/reader/data/iwin/XX");
    origin = "test pages";
  }
  std::string round;
  for (const std::string& f : files)
    round += "<PRE>" + slurp(f) + "</PRE>\n<HR>\n";
  return round;
}

// Serves the pages from the current process until killed; writes its port
// and the sizes to `out` first.
[[noreturn]] void serve(int out) {
  std::string origin;
  std::string round = bulletinRound(origin);
  std::string big = "<HTML><BODY>\n";
  while (big.size() < kBigPage) big += round;
  big += "</BODY></HTML>\n";

  stratus_test::HttpServer server;
  auto& r = server.routes();
  r.Get("/iwin/BG/allwarnings.html", [&](const httplib::Request&,
                                         httplib::Response& res) {
    res.set_content_provider(
        big.size(), "text/html",
        [&](size_t offset, size_t length, httplib::DataSink& sink) {
          sink.write(big.data() + offset, std::min<size_t>(length, 1 << 16));
          return true;
        });
  });
  // A page made up as it is sent: rounds of bulletins cut at 200 MB, then
  // one section for a zone that no bulletin names.
  static const std::string tail = "\nZZZ001-120000-\nEND OF THE PAGE.\n$$\n";
  r.Get("/iwin/HG/allwarnings.html",
        [&](const httplib::Request&, httplib::Response& res) {
          res.set_content_provider(
              kHugePage + tail.size(), "text/html",
              [&](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset >= kHugePage) {
                  sink.write(tail.data() + offset - kHugePage, length);
                  return true;
                }
                size_t at = offset % round.size();
                size_t n = std::min(
                    {kHugePage - offset, round.size() - at, size_t{1} << 16});
                sink.write(round.data() + at, n);
                return true;
              });
        });
  server.serve("/weather/current/KAAA.html", kStation);
  if (!server.start()) _exit(1);
  std::string hello = std::to_string(server.port()) + " " +
                      std::to_string(big.size()) + " " + origin + "\n";
  (void)!write(out, hello.data(), hello.size());
  close(out);
  for (;;) pause();
}

struct Child {
  pid_t pid = -1;
  int port = 0;
  size_t bigSize = 0;
  std::string origin;
} gServer;

std::string url(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(gServer.port) + path;
}

class NullKeeper : public LKeeper {
 public:
  bool isPresent(const LString&, const LString&, int) override { return true; }
  int readInt(const LString&, const LString& key, int& value, int) override {
    value = 0;
    return key == "UseProxy" ? 0 : 1;
  }
  int readString(const LString&, const LString& key, LString& value,
                 int) override {
    if (key == "WarningsBase") value = url("/iwin/").c_str();
    if (key == "ConditionsBase") value = url("/weather/current/").c_str();
    if (key == "ProxyLocation") value = "";
    return 0;
  }
  int storeInt(const LString&, const LString&, int, int) override { return 0; }
  int storeString(const LString&, const LString&, const LString&,
                  int) override {
    return 0;
  }
};

NullKeeper gKeeper;

// The zone every round of bulletins holds a section for: one of the shared
// corpus's warnings, or of the test pages when the corpus is absent.
std::string roundZone() {
  return gServer.origin == "test pages" ? "XXZ009" : "IAZ004";
}

WLocation place(const char* state) {
  WLocation location;
  location.setShortState(state);
  location.setCityData(
      ("azone(" + roundZone() + ")acounty(IAC127)acode(KAAA)aoffice(DMX)")
          .c_str());
  return location;
}

double seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Wall time of `curl -s URL -o /dev/null`, process start included.
double curlSeconds(const std::string& target) {
  const char* argv[] = {"curl", "-s",        target.c_str(),
                        "-o",   "/dev/null", nullptr};
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv),
                   environ) != 0) {
    return -1;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return seconds(std::chrono::steady_clock::now() - start);
}

long procStatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  size_t n = std::strlen(field);
  while (std::getline(in, line)) {
    if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
  }
  return -1;
}

// First, while the heap is fresh: memory that earlier benchmarks freed
// would hide what a read needs.
// Arg 0: the zone of the one section at the end of the page (what the
// fetcher and the scan hold); arg 1: a zone of every round of bulletins, so
// the collected text grows with the page.
void BM_PeakMemory200MB(benchmark::State& state) {
  WReader reader;
  reader.SetKeeper(&gKeeper);
  WLocation location;
  location.setShortState("HG");
  location.setCityData(
      (state.range(0) == 0 ? "azone(ZZZ001)" : "azone(" + roundZone() + ")")
          .c_str());
  for (auto _ : state) {
    LString text;
    long baseline = procStatusKb("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak restarts here
    int rc = reader.getWarnings(location, text);
    long peak = procStatusKb("VmHWM:");
    // Arg 1 collects more than the 4 MiB a getter keeps: L_RANGE, with the
    // text that fit, is the expected end.
    if (rc != L_OK && rc != L_RANGE) state.SkipWithError("getWarnings failed");
    state.counters["baseline_MB"] = baseline / 1024.0;
    state.counters["peak_over_baseline_MB"] = (peak - baseline) / 1024.0;
    state.counters["collected_MB"] = text.length() / 1048576.0;
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kHugePage);
}
BENCHMARK(BM_PeakMemory200MB)
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_GetWarnings50MB(benchmark::State& state) {
  WReader reader;
  reader.SetKeeper(&gKeeper);
  bool ugc = state.range(0) == 1;
  reader.setSectionRule(ugc ? WReader::UgcRule : WReader::LineRule);
  WLocation location = place("BG");
  double ours = 0, theirs = 0, oursBest = 1e9, theirsBest = 1e9;
  size_t collected = 0;
  {
    // One untimed round each, so that neither pays for a cold start.
    LString text;
    reader.getWarnings(location, text);
    curlSeconds(url("/iwin/BG/allwarnings.html"));
  }
  for (auto _ : state) {
    LString text;
    auto start = std::chrono::steady_clock::now();
    int rc = reader.getWarnings(location, text);
    double t = seconds(std::chrono::steady_clock::now() - start);
    state.SetIterationTime(t);
    if (rc != L_OK)
      state.SkipWithError(("getWarnings: " + std::to_string(rc)).c_str());
    collected = text.length();
    ours += t;
    oursBest = std::min(oursBest, t);
    double c = curlSeconds(url("/iwin/BG/allwarnings.html"));
    if (c < 0) state.SkipWithError("curl failed");
    theirs += c;
    theirsBest = std::min(theirsBest, c);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * gServer.bigSize);
  state.counters["page_MB"] = gServer.bigSize / 1048576.0;
  state.counters["collected_KB"] = collected / 1024.0;
  state.counters["curl_MB/s"] =
      state.iterations() * gServer.bigSize / 1048576.0 / theirs;
  state.counters["ratio_to_curl"] = ours / theirs;
  // Best against best: on a busy machine the least disturbed rounds.
  state.counters["best_ratio"] = oursBest / theirsBest;
  state.SetLabel((ugc ? "UGC rule, " : "line rule, ") + gServer.origin);
}
BENCHMARK(BM_GetWarnings50MB)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

void BM_FetchLines50MB(benchmark::State& state) {
  size_t lines = 0;
  for (auto _ : state) {
    WPageFetcher fetcher(false, "");
    if (fetcher.open(url("/iwin/BG/allwarnings.html").c_str()) != L_OK) {
      state.SkipWithError("open failed");
    }
    LString line;
    lines = 0;
    while (fetcher.readLine(line) == L_OK) ++lines;
    fetcher.close();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * gServer.bigSize);
  state.counters["lines"] = lines;
}
BENCHMARK(BM_FetchLines50MB)
    ->UseRealTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_GetCondition(benchmark::State& state) {
  WReader reader;
  reader.SetKeeper(&gKeeper);
  WLocation location = place("BG");
  for (auto _ : state) {
    WCondition condition;
    if (reader.getCondition(location, condition) != L_OK)
      state.SkipWithError("failed");
    benchmark::DoNotOptimize(condition);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetCondition)
    ->UseRealTime()
    ->MinTime(2.0)
    ->Unit(benchmark::kMicrosecond);

bool startServer() {
  int fds[2];
  if (pipe(fds) != 0) return false;
  gServer.pid = fork();
  if (gServer.pid == 0) {
    close(fds[0]);
    serve(fds[1]);
  }
  close(fds[1]);
  std::string hello;
  char buf[256];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) hello.append(buf, n);
  close(fds[0]);
  std::istringstream in(hello);
  in >> gServer.port >> gServer.bigSize;
  std::getline(in >> std::ws, gServer.origin);
  return gServer.port > 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The server is forked before any thread exists.
  if (!startServer()) {
    std::fprintf(stderr, "the page server did not start\n");
    return 1;
  }
  return stratus_bench::runWithServer(argc, argv, gServer.pid);
}
