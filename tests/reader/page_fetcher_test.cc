#include "reader/page_fetcher.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "stratus/foundation/result.h"
#include "stratus/version.h"

#include "support/http_server.h"
#include "support/tiny_proxy.h"

namespace {

using stratus_test::HttpServer;
using stratus_test::RawServer;
using stratus_test::TinyProxy;

struct Fetched {
  int open = -1;
  std::vector<std::string> lines;
  int end = -1;  // the readLine result that ended the page
};

Fetched fetch(const std::string& url, bool useProxy = false,
              const std::string& proxy = "") {
  Fetched r;
  WPageFetcher fetcher(useProxy, proxy.c_str());
  r.open = fetcher.open(url.c_str());
  LString line;
  while ((r.end = fetcher.readLine(line)) == L_OK && r.lines.size() < 100000) {
    r.lines.push_back(line.str());
  }
  fetcher.close();
  return r;
}

std::string xs(size_t n) { return std::string(n, 'x'); }

std::vector<std::string> numberedLines(int n) {
  std::vector<std::string> lines;
  for (int i = 0; i < n; ++i)
    lines.push_back("line " + std::to_string(i) + "\n");
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l;
  return s;
}

int openFileCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++n;
    closedir(d);
  }
  return n;
}

// No proxy from the environment of whoever runs the tests.
void clearProxyEnvironment() {
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY",
                           "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
    unsetenv(name);
  }
}

// One loopback server with every well-formed answer, a raw server per
// malformed one, and tinyproxy when it is installed; shared by the suite.
class Fetcher : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() {
    clearProxyEnvironment();
    stratus::setFetchTimeouts({5, 5});
    http_ = new HttpServer;
    addRoutes(*http_);
    ASSERT_TRUE(http_->start());
    raw_.emplace_back(
        new RawServer("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" +
                          joined(numberedLines(20)),
                      RawServer::End::kReset));
    raw_.emplace_back(
        new RawServer("HTTP/1.1 200 OK\r\nTransfer-Encoding: "
                      "chunked\r\n\r\n6\r\nfirst\n\r\nzz\r\nmore\r\n",
                      RawServer::End::kClose));
    raw_.emplace_back(
        new RawServer("hello, no status line\n", RawServer::End::kClose));
    raw_.emplace_back(new RawServer(
        "HTTP/1.1 200 OK\r\nX-Big: " + xs(300 * 1024) + "\r\n\r\nbody\n",
        RawServer::End::kClose));
    raw_.emplace_back(new RawServer("HTTP/1.1 99999999999 Odd\r\n\r\nbody\n",
                                    RawServer::End::kClose));
    for (auto& s : raw_) ASSERT_TRUE(s->start());
    proxy_ = new TinyProxy;
    if (!proxy_->start()) {
      delete proxy_;
      proxy_ = nullptr;
    }
  }

  static void TearDownTestSuite() {
    delete proxy_;
    raw_.clear();
    delete http_;
    stratus::setFetchTimeouts({});
  }

  void SetUp() override {
    if (!viaProxy()) return;
    if (TinyProxy::program().empty()) GTEST_SKIP() << "tinyproxy not installed";
    ASSERT_NE(proxy_, nullptr) << "tinyproxy did not start";
  }

  bool viaProxy() const { return GetParam(); }
  Fetched get(const std::string& url) const {
    return viaProxy() ? fetch(url, true, proxy_->location()) : fetch(url);
  }

  static void addRoutes(HttpServer& s) {
    s.serve("/ok", "alpha\nbeta\r\ngamma\n");
    s.serve("/empty", "");
    s.serve("/nolf", "first\nlast line without LF");
    s.serve("/long", xs(3000) + "\n");
    s.serve("/target", "redirected\n");
    s.serve("/nul", std::string("a\0b\n", 4));
    auto& r = s.routes();
    r.Get("/404", [](const httplib::Request&, httplib::Response& res) {
      res.status = 404;
    });
    r.Get("/500", [](const httplib::Request&, httplib::Response& res) {
      res.status = 500;
    });
    r.Get("/302", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/target", 302);
    });
    r.Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider(
          "text/plain", [](size_t, httplib::DataSink& sink) {
            for (const char* piece : {"al", "pha\nbe", "ta\r", "\ngam", "ma"})
              sink.write(piece, strlen(piece));
            sink.done();
            return true;
          });
    });
    r.Get("/drip", [&s](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider(
          "text/plain", [&s](size_t, httplib::DataSink& sink) {
            for (const std::string& l : numberedLines(5)) {
              if (!s.wait(100)) return false;
              sink.write(l.data(), l.size());
            }
            sink.done();
            return true;
          });
    });
    r.Get("/cut", [](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(
          10000, "text/plain", [](size_t, size_t, httplib::DataSink& sink) {
            std::string part = joined(numberedLines(2));
            sink.write(part.data(), part.size());
            return false;  // the connection closes with 9,986 bytes missing
          });
    });
    r.Get("/stall", [&s](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("text/plain",
                                       [&s](size_t, httplib::DataSink& sink) {
                                         sink.write("first\n", 6);
                                         s.wait(30000);
                                         return false;
                                       });
    });
  }

  static HttpServer* http_;
  static std::vector<std::unique_ptr<RawServer>> raw_;
  static TinyProxy* proxy_;
};

HttpServer* Fetcher::http_ = nullptr;
std::vector<std::unique_ptr<RawServer>> Fetcher::raw_;
TinyProxy* Fetcher::proxy_ = nullptr;

// The fetcher's contract over real answers, direct and through a proxy:
// open gives L_OK only for status 200, the body comes line by line (line
// feeds kept, carriage returns dropped, pieces of at most 1,022 characters),
// and a transfer that breaks ends the page after the lines that arrived.
TEST_P(Fetcher, KeepsItsContractForEveryKindOfAnswer) {
  struct Case {
    const char* name;
    std::string url;
    int open;
    std::vector<std::string> lines;
    bool prefix;  // the lines that arrive may stop short of `lines`
  } cases[] = {
      {"200", http_->url("/ok"), L_OK, {"alpha\n", "beta\n", "gamma\n"}, false},
      {"404", http_->url("/404"), L_CONNECT, {}, false},
      {"500", http_->url("/500"), L_CONNECT, {}, false},
      {"302 not followed", http_->url("/302"), L_CONNECT, {}, false},
      {"empty body", http_->url("/empty"), L_OK, {}, false},
      {"last line without LF",
       http_->url("/nolf"),
       L_OK,
       {"first\n", "last line without LF"},
       false},
      {"3,000-character line",
       http_->url("/long"),
       L_OK,
       {xs(1022), xs(1022), xs(956) + "\n"},
       false},
      {"NUL byte", http_->url("/nul"), L_OK, {std::string("a\0b\n", 4)}, false},
      {"chunked, lines across chunks",
       http_->url("/chunked"),
       L_OK,
       {"alpha\n", "beta\n", "gamma"},
       false},
      {"slow drip", http_->url("/drip"), L_OK, numberedLines(5), false},
      {"closed mid-body", http_->url("/cut"), L_OK, numberedLines(2), false},
      {"reset mid-body", raw_[0]->url("/"), L_OK, numberedLines(20), true},
      {"bad chunk size", raw_[1]->url("/"), L_OK, {"first\n"}, true},
      {"no status line", raw_[2]->url("/"), L_CONNECT, {}, false},
      {"300 KB header", raw_[3]->url("/"), L_CONNECT, {}, false},
      {"status out of range", raw_[4]->url("/"), L_CONNECT, {}, false},
      {"closed port",
       "http://127.0.0.1:" + std::to_string(stratus_test::closedPort()) + "/",
       L_CONNECT,
       {},
       false},
      {"ftp scheme",
       "ftp://127.0.0.1:" + std::to_string(http_->port()) + "/ok",
       L_CONNECT,
       {},
       false},
      {"file scheme", "file:///etc/hostname", L_CONNECT, {}, false},
      {"no scheme",
       "127.0.0.1:" + std::to_string(http_->port()) + "/ok",
       L_CONNECT,
       {},
       false},
      {"CR LF in URL",
       http_->url("/ok\r\nX-Injected: 1"),
       L_CONNECT,
       {},
       false},
  };
  for (Case& c : cases) {
    Fetched f = get(c.url);
    EXPECT_EQ(f.open, c.open) << c.name;
    if (c.open != L_OK) {
      EXPECT_EQ(f.end, L_ERROR) << c.name << ": readLine after a failed open";
      continue;
    }
    EXPECT_EQ(f.end, L_INPUT) << c.name;
    if (c.prefix) {
      ASSERT_LE(f.lines.size(), c.lines.size()) << c.name;
      c.lines.resize(f.lines.size());
    }
    EXPECT_EQ(f.lines, c.lines) << c.name;
  }
  EXPECT_EQ(http_->hits("/target"), 0) << "a redirection was followed";
  for (const auto& r : http_->requests()) {
    EXPECT_EQ(r.headers.count("X-Injected"), 0u)
        << "a header was injected through the URL";
  }
}

// Each open goes to the server and names the library; failures leave no
// socket behind.
TEST_P(Fetcher, AsksTheServerEveryTimeAndLeaksNoSocket) {
  int before = http_->hits("/ok");
  int files = openFileCount();
  for (int i = 0; i < 3; ++i) {
    get(http_->url("/ok"));
    get(http_->url("/404"));
    get(raw_[0]->url("/"));
    get("http://127.0.0.1:" + std::to_string(stratus_test::closedPort()) + "/");
  }
  EXPECT_EQ(http_->hits("/ok"), before + 3);
  EXPECT_EQ(openFileCount(), files);
  auto requests = http_->requests();
  const auto& headers = requests.back().headers;
  auto header = [&](const char* name) {
    auto it = headers.find(name);
    return it == headers.end() ? std::string("<none>") : it->second;
  };
  EXPECT_EQ(header("User-Agent"), "stratus/" STRATUS_VERSION_STRING);
  EXPECT_EQ(header("Cache-Control"), "no-cache");
  EXPECT_EQ(header("Via").find(TinyProxy::viaName()) != std::string::npos,
            viaProxy())
      << "Via: " << header("Via");
}

INSTANTIATE_TEST_SUITE_P(DirectAndProxied, Fetcher,
                         ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return p.param ? "ViaProxy" : "Direct";
                         });

// Calls out of order give L_ERROR instead of touching a request that is
// not there.
TEST(FetcherOrder, ReadLineNeedsASuccessfulOpen) {
  LString line("kept");
  WPageFetcher never(false, "");
  EXPECT_EQ(never.readLine(line), L_ERROR);
  HttpServer server;
  server.serve("/", "a\n");
  ASSERT_TRUE(server.start());
  WPageFetcher closed(false, "");
  ASSERT_EQ(closed.open(server.url().c_str()), L_OK);
  closed.close();
  EXPECT_EQ(closed.readLine(line), L_ERROR);
  EXPECT_EQ(line, "kept");
}

// The proxy settings decide the route: the named proxy when asked for (also
// against a no_proxy in the environment), the environment's proxy when not,
// and L_CONNECT when the named proxy cannot be used.
TEST(FetcherProxy, GoesWhereTheSettingsSay) {
  clearProxyEnvironment();
  TinyProxy proxy;
  if (stratus_test::TinyProxy::program().empty())
    GTEST_SKIP() << "tinyproxy not installed";
  ASSERT_TRUE(proxy.start()) << "tinyproxy did not start";
  HttpServer server;
  server.serve("/page", "through\n");
  ASSERT_TRUE(server.start());
  auto lastVia = [&] {
    auto requests = server.requests();
    if (requests.empty()) return std::string("<no request>");
    auto it = requests.back().headers.find("Via");
    return it == requests.back().headers.end() ? std::string("<direct>")
                                               : it->second;
  };
  const std::string url = server.url("/page");
  const std::string dead =
      "127.0.0.1:" + std::to_string(stratus_test::closedPort());

  Fetched f = fetch(url, true, proxy.location());
  EXPECT_EQ(f.open, L_OK);
  EXPECT_NE(lastVia().find(TinyProxy::viaName()), std::string::npos)
      << lastVia();

  setenv("no_proxy", "*", 1);
  f = fetch(url, true, proxy.location());
  EXPECT_EQ(f.open, L_OK);
  EXPECT_NE(lastVia().find(TinyProxy::viaName()), std::string::npos)
      << "no_proxy sent the request around the chosen proxy: " << lastVia();
  unsetenv("no_proxy");

  setenv("http_proxy", ("http://" + proxy.location()).c_str(), 1);
  int hits = server.hits("/page");
  f = fetch(url, false, "");
  EXPECT_EQ(f.open, L_OK) << "system proxy";
  EXPECT_EQ(server.hits("/page"), hits + 1);
  EXPECT_NE(lastVia().find(TinyProxy::viaName()), std::string::npos)
      << lastVia();
  unsetenv("http_proxy");

  hits = server.hits("/page");
  EXPECT_EQ(fetch(url, true, dead).open, L_CONNECT) << "unreachable proxy";
  EXPECT_EQ(fetch(url, true, "").open, L_CONNECT)
      << "proxy asked for, none named";
  EXPECT_EQ(server.hits("/page"), hits) << "a request went around the proxy";
}

// A server that goes silent ends the transfer after the stall time-out
// (plus the few seconds over which libcurl averages), before or after the
// header: nothing waits forever.
TEST(FetcherTimeouts, SilentServerEndsThePage) {
  clearProxyEnvironment();
  stratus::setFetchTimeouts({2, 1});
  HttpServer server;
  server.routes().Get(
      "/stall", [&server](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider(
            "text/plain", [&server](size_t, httplib::DataSink& sink) {
              sink.write("first\n", 6);
              server.wait(30000);
              return false;
            });
      });
  ASSERT_TRUE(server.start());
  RawServer silent("", RawServer::End::kHold);
  ASSERT_TRUE(silent.start());

  auto start = std::chrono::steady_clock::now();
  Fetched f = fetch(server.url("/stall"));
  double stalled =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_EQ(f.open, L_OK);
  EXPECT_EQ(f.lines, std::vector<std::string>{"first\n"});
  EXPECT_EQ(f.end, L_INPUT);
  EXPECT_LT(stalled, 1 + 8) << "stall after the first line";

  start = std::chrono::steady_clock::now();
  EXPECT_EQ(fetch(silent.url()).open, L_CONNECT);
  double silentFor =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_LT(silentFor, 1 + 8) << "no status line";
  stratus::setFetchTimeouts({});
}

}  // namespace
