#include "reader/page_fetcher.h"

#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"
#include "stratus/version.h"

#include "testing/http_server.h"
#include "testing/tiny_proxy.h"

namespace {

using stratus_test::HttpServer;
using stratus_test::RawServer;
using stratus_test::TinyProxy;
using Lines = std::vector<std::string>;
using End = RawServer::End;

struct Fetched {
  int open = -1, end = -1;  // end: the readLine result that ended the page
  Lines lines;
};

Fetched fetch(const std::string& url, const std::string& proxy = "") {
  Fetched r;
  WPageFetcher fetcher(!proxy.empty(), proxy.c_str());
  r.open = fetcher.open(url.c_str());
  LString line;
  while ((r.end = fetcher.readLine(line)) == L_OK && r.lines.size() < 1000) {
    r.lines.push_back(line.str());
  }
  return r;
}

std::string xs(size_t n) { return std::string(n, 'x'); }
std::string dead() {
  return "127.0.0.1:" + std::to_string(stratus_test::closedPort());
}
const Lines kThree = {"line 0\n", "line 1\n", "line 2\n"};

// A header of the last request the server received; "" when it had none.
std::string lastHeader(const HttpServer& server, const char* name) {
  httplib::Headers headers = server.requests().back().headers;
  auto it = headers.find(name);
  return it == headers.end() ? "" : it->second;
}

// Loopback servers for every kind of answer, and tinyproxy, for the suite.
class Fetcher : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* name : {"http_proxy", "all_proxy", "no_proxy"})
      unsetenv(name);
    http_ = new HttpServer;
    http_->serve("/ok", "alpha\nbeta\r\ngamma\n");
    http_->serve("/empty", "");
    http_->serve("/long", xs(2000) + '\0' + xs(999) + "\n");
    auto& r = http_->routes();
    r.Get("/500", [](const auto&, auto& res) { res.status = 500; });
    r.Get("/302", [](const auto&, auto& res) { res.set_redirect("/ok", 302); });
    // Slow chunks that split lines and a CR from its LF; no final LF.
    r.Get("/drip", [](const auto&, httplib::Response& res) {
      res.set_chunked_content_provider("text/plain", [](size_t, auto& sink) {
        for (std::string s : {"al", "pha\nbe", "ta\r", "\ngam", "ma"}) {
          if (!http_->wait(50)) return false;
          sink.write(s.data(), s.size());
        }
        sink.done();
        return true;
      });
    });
    // Bodies with no end in sight: one byte every 250 ms, or a stream of
    // x without a line feed as fast as the client takes it. Each gives up by
    // itself after 15 s so that a fetcher without a page time-out fails the
    // test instead of hanging it.
    r.Get("/trickle", [](const auto&, httplib::Response& res) {
      res.set_chunked_content_provider("text/plain", [](size_t, auto& sink) {
        for (int i = 0; i < 60 && http_->wait(250); ++i)
          if (!sink.write(i % 3 == 2 ? "\n" : "a", 1)) return false;
        sink.done();
        return true;
      });
    });
    r.Get("/endless", [](const auto&, httplib::Response& res) {
      res.set_chunked_content_provider("text/plain", [](size_t, auto& sink) {
        const std::string block = xs(64 << 10);
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < end && http_->wait(0))
          if (!sink.write(block.data(), block.size())) return false;
        sink.done();
        return true;
      });
    });
    ASSERT_TRUE(http_->start());
    // Part of a body, then closed, reset or stalled; a 300 KB header; silence.
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const std::string cut =
        ok + "Content-Length: 99999\r\n\r\nline 0\nline 1\nline 2\n";
    for (auto [reply, end] : std::vector<std::pair<std::string, End>>{
             {cut, End::kClose},
             {cut, End::kReset},
             {cut, End::kHold},
             {ok + "X-Big: " + xs(300 << 10) + "\r\n\r\nx\n", End::kClose},
             {"", End::kHold}})
      ASSERT_TRUE(raw_.emplace_back(new RawServer(reply, end))->start());
    proxy_ = new TinyProxy;
    proxyUp_ = proxy_->start();
  }
  static void TearDownTestSuite() {
    delete proxy_;
    raw_.clear();
    delete http_;
    stratus::setFetchTimeouts({});
  }

  static inline HttpServer* http_ = nullptr;
  static inline std::vector<std::unique_ptr<RawServer>> raw_;
  static inline TinyProxy* proxy_ = nullptr;
  static inline bool proxyUp_ = false;
};

// Sets environment variables for one scope and puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv& set(const char* name, const std::string& value) {
    const char* old = getenv(name);
    saved_.push_back({name, old != nullptr, old ? old : ""});
    setenv(name, value.c_str(), 1);
    return *this;
  }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->had)
        setenv(it->name, it->value.c_str(), 1);
      else
        unsetenv(it->name);
    }
  }

 private:
  struct Saved {
    const char* name;
    bool had;
    std::string value;
  };
  std::vector<Saved> saved_;
};

// The three routes a page can take: straight to the server, through the
// proxy the settings name, through the proxy of the environment.
enum class Route { kDirect, kNamedProxy, kEnvironmentProxy };

class FetcherRoute : public Fetcher,
                     public ::testing::WithParamInterface<Route> {};

// open and readLine keep their contract for every answer.
TEST_P(FetcherRoute, KeepsItsContractForEveryKindOfAnswer) {
  const Route route = GetParam();
  const bool direct = route == Route::kDirect;
  const bool named = route == Route::kNamedProxy;
  if (!direct && TinyProxy::program().empty())
    GTEST_SKIP() << "tinyproxy not installed";
  ASSERT_TRUE(direct || proxyUp_) << "tinyproxy did not start";
  ScopedEnv env;
  env.set("no_proxy", named ? "*" : "");  // the named proxy holds
  if (route == Route::kEnvironmentProxy)
    env.set("http_proxy", "http://" + proxy_->location());

  auto url = [](const std::string& path) { return http_->url(path); };
  if (direct) {
    const int hits = http_->hits("/ok");
    EXPECT_EQ(fetch(url("/ok"), dead()).open, L_CONNECT) << "unreachable proxy";
    EXPECT_EQ(http_->hits("/ok"), hits) << "a request went around the proxy";
  }
  const Lines pieces = {xs(1022), xs(978) + '\0' + xs(43), xs(956) + "\n"};
  struct Case {
    const char* name;
    std::string url;
    int open;
    Lines lines = {};
    bool prefix = false;  // the lines that arrive may stop short of `lines`
  } cases[] = {
      {"404", url("/none"), L_CONNECT},
      {"500", url("/500"), L_CONNECT},
      {"302, not followed", url("/302"), L_CONNECT},
      {"empty body", url("/empty"), L_OK},
      {"3,000 characters and a NUL", url("/long"), L_OK, pieces},
      {"slow chunks", url("/drip"), L_OK, {"alpha\n", "beta\n", "gamma"}},
      {"closed mid-body", raw_[0]->url(), L_OK, kThree},
      {"reset mid-body", raw_[1]->url(), L_OK, kThree, true},
      {"300 KB header", raw_[3]->url(), L_CONNECT},
      {"closed port", "http://" + dead() + "/", L_CONNECT},
      {"file scheme", "file:///etc/hostname", L_CONNECT},
      {"no scheme", url("/ok").substr(7), L_CONNECT},
      // Last: the headers checked below are those of its request.
      {"200", url("/ok"), L_OK, {"alpha\n", "beta\n", "gamma\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int okHits = http_->hits("/ok");
    Fetched f = fetch(c.url, named ? proxy_->location() : "");
    EXPECT_EQ(f.open, c.open);
    EXPECT_EQ(f.end, c.open == L_OK ? L_INPUT : L_ERROR);
    Lines want = c.lines;
    if (c.prefix && f.lines.size() <= want.size()) want.resize(f.lines.size());
    EXPECT_EQ(f.lines, want);
    EXPECT_EQ(http_->hits("/ok"), okHits + (c.url == url("/ok")));
  }
  EXPECT_EQ(lastHeader(*http_, "User-Agent"),
            "stratus/" STRATUS_VERSION_STRING);
  EXPECT_EQ(lastHeader(*http_, "Cache-Control"), "no-cache");
  const std::string via = lastHeader(*http_, "Via");
  EXPECT_EQ(via.find(TinyProxy::viaName()) == via.npos, direct);
}

std::string routeName(const ::testing::TestParamInfo<Route>& info) {
  switch (info.param) {
    case Route::kDirect:
      return "Direct";
    case Route::kNamedProxy:
      return "NamedProxy";
    case Route::kEnvironmentProxy:
      return "EnvironmentProxy";
  }
  return "";
}

INSTANTIATE_TEST_SUITE_P(Routes, FetcherRoute,
                         ::testing::Values(Route::kDirect, Route::kNamedProxy,
                                           Route::kEnvironmentProxy),
                         routeName);

// A silent server ends the transfer after the stall time-out: nothing hangs.
TEST_F(Fetcher, SilentServerEndsThePage) {
  stratus::setFetchTimeouts({2, 1});
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(fetch(raw_[2]->url()).lines, kThree) << "silent after some lines";
  EXPECT_EQ(fetch(raw_[4]->url()).open, L_CONNECT) << "silent from the start";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(12));
}

// A page whose transfer outlasts the page time-out ends there as a broken
// transfer does: what arrived is handed out, then L_INPUT.
TEST_F(Fetcher, PageTimeOutEndsATrickleOrAnEndlessBody) {
  stratus::setFetchTimeouts({2, 5, 2});
  for (const char* path : {"/trickle", "/endless"}) {
    auto start = std::chrono::steady_clock::now();
    WPageFetcher fetcher(false, "");
    ASSERT_EQ(fetcher.open(http_->url(path).c_str()), L_OK) << path;
    const char* data;
    size_t n, lines = 0;
    int end;
    while ((end = fetcher.readLine(data, n)) == L_OK) {
      if (path[1] == 't') {
        std::string line(data, n);
        EXPECT_EQ(line, std::string("aa\n").substr(0, line.size())) << path;
      }
      ++lines;
    }
    EXPECT_EQ(end, L_INPUT) << path;
    EXPECT_GT(lines, 0u) << path;
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::seconds(10))
        << path << " ran on past the page time-out";
  }
}

}  // namespace
