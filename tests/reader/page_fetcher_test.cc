#include "reader/page_fetcher.h"

#include <dirent.h>
#include <stdlib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"
#include "stratus/version.h"

#include "support/http_server.h"
#include "support/tiny_proxy.h"

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
const std::string kLines = "line 0\nline 1\nline 2\n";

std::string via(const HttpServer& server) {
  auto r = server.requests();
  auto it =
      r.empty() ? httplib::Headers::iterator() : r.back().headers.find("Via");
  return r.empty() || it == r.back().headers.end() ? "<direct>" : it->second;
}

void chunked(httplib::Server& s, const char* path,
             std::function<bool(httplib::DataSink&)> f) {
  s.Get(path, [f](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider(
        "text/plain", [f](size_t, httplib::DataSink& sink) { return f(sink); });
  });
}

// One server with the well-formed answers, a raw server per malformed one,
// and tinyproxy: shared by the suite, which runs direct and proxied.
class Fetcher : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() {
    for (const char* name : {"http_proxy", "all_proxy", "no_proxy"})
      unsetenv(name);
    stratus::setFetchTimeouts({5, 5});
    http_ = new HttpServer;
    for (auto& [path, body] : std::vector<std::pair<std::string, std::string>>{
             {"/ok", "alpha\nbeta\r\ngamma\n"},
             {"/empty", ""},
             {"/nolf", "first\nlast"},
             {"/long", xs(3000) + "\n"},
             {"/nul", std::string("a\0b\n", 4)},
             {"/edge", xs(1021) + "\n" + xs(1022) + "\n" + xs(1023) + "\n"}}) {
      http_->serve(path, body);
    }
    auto& r = http_->routes();
    r.Get("/500", [](const httplib::Request&, httplib::Response& res) {
      res.status = 500;
    });
    r.Get("/302", [](const auto&, auto& res) { res.set_redirect("/ok", 302); });
    chunked(r, "/chunked", [](httplib::DataSink& sink) {
      for (std::string s : {"al", "pha\nbe", "ta\r", "\ngam", "ma"})
        sink.write(s.data(), s.size());
      sink.done();
      return true;
    });
    chunked(r, "/drip", [](httplib::DataSink& sink) {
      for (size_t at = 0; at < kLines.size(); at += 7) {
        if (!http_->wait(100)) return false;
        sink.write(kLines.data() + at, 7);
      }
      sink.done();
      return true;
    });
    r.Get("/cut", [](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(10000, "text/plain",
                               [](size_t, size_t, httplib::DataSink& sink) {
                                 sink.write(kLines.data(), kLines.size());
                                 return false;  // the connection closes with
                                                // most of the body missing
                               });
    });
    ASSERT_TRUE(http_->start());
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    for (auto& [reply, end] : std::vector<std::pair<std::string, End>>{
             {ok + "Content-Length: 99999\r\n\r\n" + kLines, End::kReset},
             {ok + "Transfer-Encoding: chunked\r\n\r\n6\r\nfirst\n\r\nzz\r\n",
              End::kClose},
             {"no status line\n", End::kClose},
             {ok + "X-Big: " + xs(300 << 10) + "\r\n\r\nbody\n", End::kClose},
             {"HTTP/1.1 99999999999 Odd\r\n\r\nbody\n", End::kClose}}) {
      raw_.emplace_back(new RawServer(reply, end));
      ASSERT_TRUE(raw_.back()->start());
    }
    proxy_ = new TinyProxy;
    proxyUp_ = proxy_->start();
  }
  static void TearDownTestSuite() {
    delete proxy_;
    raw_.clear();
    delete http_;
    stratus::setFetchTimeouts({});
  }
  void SetUp() override {
    if (!GetParam()) return;
    if (TinyProxy::program().empty()) GTEST_SKIP() << "tinyproxy not installed";
    ASSERT_TRUE(proxyUp_) << "tinyproxy did not start";
  }
  Fetched get(const std::string& url) {
    return fetch(url, GetParam() ? proxy_->location() : "");
  }

  static HttpServer* http_;
  static std::vector<std::unique_ptr<RawServer>> raw_;
  static TinyProxy* proxy_;
  static bool proxyUp_;
};

HttpServer* Fetcher::http_ = nullptr;
std::vector<std::unique_ptr<RawServer>> Fetcher::raw_;
TinyProxy* Fetcher::proxy_ = nullptr;
bool Fetcher::proxyUp_ = false;

// open gives L_OK only for status 200; the body comes line by line (line
// feeds kept, carriage returns dropped, pieces of at most 1,022 characters);
// a transfer that breaks ends the page after the lines that arrived;
// readLine after a failed open is L_ERROR.
TEST_P(Fetcher, KeepsItsContractForEveryKindOfAnswer) {
  const Lines three = {"line 0\n", "line 1\n", "line 2\n"};
  struct Case {
    const char* name;
    std::string url;
    int open;
    Lines lines;
    bool prefix;  // the lines that arrive may stop short of `lines`
  } cases[] = {
      {"200", http_->url("/ok"), L_OK, {"alpha\n", "beta\n", "gamma\n"}, false},
      {"404", http_->url("/none"), L_CONNECT, {}, false},
      {"500", http_->url("/500"), L_CONNECT, {}, false},
      {"302, not followed", http_->url("/302"), L_CONNECT, {}, false},
      {"empty body", http_->url("/empty"), L_OK, {}, false},
      {"last line without LF",
       http_->url("/nolf"),
       L_OK,
       {"first\n", "last"},
       false},
      {"3,000 characters",
       http_->url("/long"),
       L_OK,
       {xs(1022), xs(1022), xs(956) + "\n"},
       false},
      {"1,021/1,022/1,023 + LF",
       http_->url("/edge"),
       L_OK,
       {xs(1021) + "\n", xs(1022), "\n", xs(1022), "x\n"},
       false},
      {"NUL byte", http_->url("/nul"), L_OK, {std::string("a\0b\n", 4)}, false},
      {"chunked across lines",
       http_->url("/chunked"),
       L_OK,
       {"alpha\n", "beta\n", "gamma"},
       false},
      {"slow drip", http_->url("/drip"), L_OK, three, false},
      {"closed mid-body", http_->url("/cut"), L_OK, three, false},
      {"reset mid-body", raw_[0]->url(), L_OK, three, true},
      {"bad chunk size", raw_[1]->url(), L_OK, {"first\n"}, true},
      {"no status line", raw_[2]->url(), L_CONNECT, {}, false},
      {"300 KB header", raw_[3]->url(), L_CONNECT, {}, false},
      {"status out of range", raw_[4]->url(), L_CONNECT, {}, false},
      {"closed port", "http://" + dead() + "/", L_CONNECT, {}, false},
      {"ftp scheme", "ftp" + http_->url("/ok").substr(4), L_CONNECT, {}, false},
      {"file scheme", "file:///etc/hostname", L_CONNECT, {}, false},
      {"no scheme", http_->url("/ok").substr(7), L_CONNECT, {}, false},
      {"CR LF in URL",
       http_->url("/ok\r\nX-Injected: 1"),
       L_CONNECT,
       {},
       false},
  };
  for (Case& c : cases) {
    int okHits = http_->hits("/ok");
    Fetched f = get(c.url);
    EXPECT_EQ(f.open, c.open) << c.name;
    EXPECT_EQ(f.end, c.open == L_OK ? L_INPUT : L_ERROR) << c.name;
    if (c.prefix && f.lines.size() <= c.lines.size())
      c.lines.resize(f.lines.size());
    EXPECT_EQ(f.lines, c.lines) << c.name;
    EXPECT_EQ(http_->hits("/ok"), okHits + (c.url == http_->url("/ok")))
        << c.name;
  }
}

// Each open goes to the server and names the library; no socket is left
// behind, whatever the outcome.
TEST_P(Fetcher, NamesItselfAndLeaksNoSocket) {
  auto openFiles = [] {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    while (d != nullptr && readdir(d) != nullptr) ++n;
    if (d != nullptr) closedir(d);
    return n;
  };
  auto round = [&] {
    for (const std::string& url :
         {http_->url("/500"), raw_[0]->url(), "http://" + dead()}) {
      get(url);
    }
    get(http_->url("/ok"));
  };
  round();  // whatever libcurl opens once and keeps is open from here on
  int files = openFiles();
  for (int i = 0; i < 3; ++i) round();
  // The servers in this process close their side of a connection a moment
  // after the fetcher, and may close older ones meanwhile.
  for (int i = 0; i < 200 && openFiles() > files; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_LE(openFiles(), files);
  const httplib::Headers headers = http_->requests().back().headers;
  EXPECT_EQ(headers.find("User-Agent")->second,
            "stratus/" STRATUS_VERSION_STRING);
  EXPECT_EQ(headers.find("Cache-Control")->second, "no-cache");
  EXPECT_EQ(via(*http_).find(TinyProxy::viaName()) != std::string::npos,
            GetParam());
}

INSTANTIATE_TEST_SUITE_P(Route, Fetcher, ::testing::Values(false, true),
                         [](const auto& p) {
                           return p.param ? "ViaProxy" : "Direct";
                         });

// The named proxy is used when asked for, also against a no_proxy in the
// environment; without it the environment's proxy is; a proxy that cannot
// be used (dead, or none named) gives L_CONNECT and no request.
TEST(FetcherProxy, GoesWhereTheSettingsSay) {
  TinyProxy proxy;
  if (TinyProxy::program().empty()) GTEST_SKIP() << "tinyproxy not installed";
  ASSERT_TRUE(proxy.start()) << "tinyproxy did not start";
  HttpServer server;
  server.serve("/page", "through\n");
  ASSERT_TRUE(server.start());
  const std::string url = server.url("/page"), name = TinyProxy::viaName();
  for (const char* noProxy : {"", "*"}) {
    setenv("no_proxy", noProxy, 1);
    EXPECT_EQ(fetch(url, proxy.location()).open, L_OK)
        << "no_proxy=" << noProxy;
    EXPECT_NE(via(server).find(name), std::string::npos)
        << "no_proxy=" << noProxy;
  }
  unsetenv("no_proxy");
  setenv("http_proxy", ("http://" + proxy.location()).c_str(), 1);
  EXPECT_EQ(fetch(url).open, L_OK);
  EXPECT_NE(via(server).find(name), std::string::npos)
      << "the environment's proxy";
  unsetenv("http_proxy");

  int hits = server.hits("/page");
  EXPECT_EQ(fetch(url, dead()).open, L_CONNECT) << "unreachable proxy";
  WPageFetcher unnamed(true, "");
  EXPECT_EQ(unnamed.open(url.c_str()), L_CONNECT)
      << "proxy asked for, none named";
  EXPECT_EQ(server.hits("/page"), hits) << "a request went around the proxy";
}

// A server that goes silent, before or after its header, ends the transfer
// after the stall time-out (plus the few seconds over which libcurl
// averages): nothing waits forever.
TEST(FetcherTimeouts, SilentServerEndsThePage) {
  unsetenv("http_proxy");
  stratus::setFetchTimeouts({2, 1});
  HttpServer server;
  chunked(server.routes(), "/stall", [&server](httplib::DataSink& sink) {
    sink.write("first\n", 6);
    server.wait(30000);
    return false;
  });
  RawServer silent("", End::kHold);
  ASSERT_TRUE(server.start() && silent.start());
  for (const std::string& url : {server.url("/stall"), silent.url()}) {
    auto start = std::chrono::steady_clock::now();
    Fetched f = fetch(url);
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::seconds(1 + 8))
        << url;
    EXPECT_EQ(f.lines, url == silent.url() ? Lines{} : Lines{"first\n"}) << url;
    EXPECT_EQ(f.end, url == silent.url() ? L_ERROR : L_INPUT) << url;
  }
  stratus::setFetchTimeouts({});
}

}  // namespace
