// Figures for stratus-gateway, in process, in front of a fake API that a
// child process serves on loopback (so its memory and threads do not count):
//   BM_CachedPages     station pages answered from the cache, 8 clients at
//                      once on kept-alive connections, in requests/s (goal:
//                      at least 10,000/s on a 2-core machine)
//   BM_CachedProducts  the same for a state's forecast page, made from the
//                      latest product of each of Texas's 13 offices (a
//                      product list and a product per office, all cached)
//   BM_AddedLatency    median time of an uncached page through the gateway
//                      beside the median of the same upstream answer asked
//                      directly (goal: at most 2 ms added)
//   BM_MemoryUnderCap  resident memory added by 100,000 requests over 1,000
//                      distinct stations in random order with a 16 MiB
//                      cache, each answer about 38 KiB, so that the cap
//                      holds under half of them (goal: at most the cap +
//                      10 MiB)
// The upstream answers are the KDSM sample of tests/data/nws-api, with its
// time templates filled in and padded for the memory figure, and that
// folder's real discussion as every office's product.
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "offices.h"
#include "pages.h"
#include "server.h"
#include "support/run_with_server.h"
#include "upstream.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Upstream {
  pid_t pid = -1;
  int port = 0;
} gUpstream;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The sample's "date:now -N seconds" templates as times N seconds ago.
std::string filled(std::string text) {
  const std::string mark = "\"date:now ";
  for (size_t at; (at = text.find(mark)) != std::string::npos;) {
    size_t end = text.find(" seconds\"", at);
    std::time_t t =
        std::time(nullptr) + std::stol(text.substr(at + mark.size()));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char iso[40];
    std::strftime(iso, sizeof iso, "\"%Y-%m-%dT%H:%M:%S+00:00\"", &tm);
    text.replace(at, end + 9 - at, iso);
  }
  return text;
}

// The child: answers every station's observations with the sample, fresh
// for an hour ("/padded/..." with 32 KiB more, "/fresh0/..." never fresh).
[[noreturn]] void serve(int out) {
  const std::string body =
      filled(slurp(STRATUS_SOURCE_DIR
                   "/tests/data/nws-api/stations/KDSM/observations.json"));
  const std::string product = slurp(
      STRATUS_SOURCE_DIR
      "/tests/data/nws-api/products/2a244c90-fec3-446c-b73b-d333569c0329.json");
  std::string padded = body;
  padded.insert(padded.rfind('}'),
                ", \"padding\": \"" + std::string(32 << 10, ' ') + "\"");
  httplib::Server server;
  server.set_tcp_nodelay(true);
  server.Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    const std::string types = "/products/types/ZFP/locations/";
    if (req.path.rfind(types, 0) == 0) {  // one product per office
      std::string id = "zfp-" + req.path.substr(types.size());
      res.set_header("Cache-Control", "public, max-age=3600");
      res.set_content("{\"@graph\": [{\"id\": \"" + id + "\"}]}",
                      "application/ld+json");
      return;
    }
    if (req.path.rfind("/products/", 0) == 0) {
      res.set_header("Cache-Control", "public, max-age=3600");
      res.set_content(product, "application/ld+json");
      return;
    }
    bool pad = req.path.rfind("/padded/", 0) == 0;
    bool never = req.path.rfind("/fresh0/", 0) == 0;
    res.set_header("Cache-Control",
                   never ? "no-cache" : "public, max-age=3600");
    res.set_content(pad ? padded : body, "application/geo+json");
  });
  int port = server.bind_to_any_port("127.0.0.1");
  std::string hello = std::to_string(port) + "\n";
  if (write(out, hello.data(), hello.size()) < 0) _exit(1);
  close(out);
  server.listen_after_bind();
  _exit(0);
}

bool startUpstream() {
  int fds[2];
  if (pipe(fds) != 0) return false;
  gUpstream.pid = fork();
  if (gUpstream.pid == 0) {
    close(fds[0]);
    serve(fds[1]);
  }
  close(fds[1]);
  char buf[32] = {};
  ssize_t n = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  gUpstream.port = n > 0 ? std::atoi(buf) : 0;
  return gUpstream.port > 0;
}

long rssKb() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// The gateway over the child's API under `prefix`, on a loopback port.
class Gateway {
 public:
  Gateway(const std::string& prefix, std::size_t cacheBytes)
      : api_(options(prefix, cacheBytes)),
        pages_(api_),
        server_(pages_, {}, false) {
    std::string error;
    stratus_gateway::loadOffices(STRATUS_SOURCE_DIR "/data/us/offices.tsv",
                                 error);
    port_ = server_.bind("127.0.0.1", 0);
    thread_ = std::thread([this] { server_.run(); });
  }
  ~Gateway() {
    server_.stop();
    thread_.join();
  }
  int port() const { return port_; }

 private:
  static stratus_gateway::UpstreamOptions options(const std::string& prefix,
                                                  std::size_t cacheBytes) {
    stratus_gateway::UpstreamOptions o;
    o.base = "http://127.0.0.1:" + std::to_string(gUpstream.port) + prefix;
    o.userAgent = "stratus-gateway-bench";
    o.cacheBytes = cacheBytes;
    return o;
  }
  stratus_gateway::Api api_;
  stratus_gateway::ApiSource pages_;
  stratus_server::Server server_;
  int port_ = 0;
  std::thread thread_;
};

// `clients` kept-alive clients each asking `each` times for `path`, which
// is made once first; requests/s.
void cachedRequests(benchmark::State& state, const char* path, int each) {
  Gateway gateway("", 32 << 20);
  const int clients = 8;
  httplib::Client warm("127.0.0.1", gateway.port());
  if (!warm.Get(path)) state.SkipWithError("no page");
  long total = 0;
  double seconds = 0;
  for (auto _ : state) {
    std::atomic<long> ok{0};
    auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
      threads.emplace_back([&] {
        httplib::Client client("127.0.0.1", gateway.port());
        client.set_keep_alive(true);
        client.set_tcp_nodelay(true);
        for (int i = 0; i < each; ++i) {
          auto res = client.Get(path);
          ok += res && res->status == 200;
        }
      });
    }
    for (auto& t : threads) t.join();
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    total += ok;
    if (ok != clients * each) state.SkipWithError("a request failed");
  }
  state.counters["requests_per_s"] = total / seconds;
}

void BM_CachedPages(benchmark::State& state) {
  cachedRequests(state, "/weather/current/KDSM.html", 5000);
}
BENCHMARK(BM_CachedPages)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_CachedProducts(benchmark::State& state) {
  cachedRequests(state, "/iwin/tx/zone.html", 500);
}
BENCHMARK(BM_CachedProducts)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void BM_AddedLatency(benchmark::State& state) {
  Gateway gateway("/fresh0", 32 << 20);
  httplib::Client viaGateway("127.0.0.1", gateway.port());
  httplib::Client direct("127.0.0.1", gUpstream.port);
  viaGateway.set_keep_alive(true);
  direct.set_keep_alive(true);
  viaGateway.set_tcp_nodelay(true);
  direct.set_tcp_nodelay(true);
  std::vector<double> through, straight;
  for (auto _ : state) {
    auto t0 = Clock::now();
    auto a = direct.Get("/fresh0/stations/KDSM/observations?limit=12");
    auto t1 = Clock::now();
    auto b = viaGateway.Get("/weather/current/KDSM.html");
    auto t2 = Clock::now();
    if (!a || !b || b->status != 200) state.SkipWithError("failed");
    straight.push_back(
        std::chrono::duration<double, std::milli>(t1 - t0).count());
    through.push_back(
        std::chrono::duration<double, std::milli>(t2 - t1).count());
  }
  state.counters["upstream_ms"] = median(straight);
  state.counters["gateway_ms"] = median(through);
  state.counters["added_ms"] = median(through) - median(straight);
}
BENCHMARK(BM_AddedLatency)->Iterations(2000)->UseRealTime();

void BM_MemoryUnderCap(benchmark::State& state) {
  const std::size_t cap = 16 << 20;
  for (auto _ : state) {
    long before = rssKb();
    {
      Gateway gateway("/padded", cap);
      std::vector<std::thread> threads;
      std::atomic<long> ok{0};
      for (int c = 0; c < 4; ++c) {
        threads.emplace_back([&, c] {
          httplib::Client client("127.0.0.1", gateway.port());
          client.set_keep_alive(true);
          client.set_tcp_nodelay(true);
          unsigned seed = 12345u + static_cast<unsigned>(c);
          for (int i = c; i < 100000; i += 4) {
            seed = seed * 1103515245u + 12345u;  // pages in random order
            std::string path = "/weather/current/S" +
                               std::to_string((seed >> 8) % 1000) + ".html";
            auto res = client.Get(path.c_str());
            ok += res && res->status == 200;
          }
        });
      }
      for (auto& t : threads) t.join();
      state.counters["added_rss_mb"] = (rssKb() - before) / 1024.0;
      state.counters["cap_mb"] = cap >> 20;
      if (ok != 100000) state.SkipWithError("a request failed");
    }
  }
}
BENCHMARK(BM_MemoryUnderCap)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  stratus_gateway::limitHeapGrowth();
  // The upstream is forked before any thread exists.
  if (!startUpstream()) {
    std::fprintf(stderr, "the fake API did not start\n");
    return 1;
  }
  return stratus_bench::runWithServer(argc, argv, gUpstream.pid);
}
