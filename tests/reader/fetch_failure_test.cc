// lastFetchFailure: why a page was not had, as a host reads it after
// L_CONNECT, against real loopback servers.
#include "stratus/reader/fetch_failure.h"

#include <string>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"

#include "reader/page_fetcher.h"
#include "testing/http_server.h"

namespace {

using stratus_test::HttpServer;
using stratus_test::RawServer;

int open(const std::string& url, bool useProxy = false) {
  WPageFetcher fetcher(useProxy, "");
  return fetcher.open(url.c_str());
}

// Purpose: each way a fetch fails gives its kind, and the status, reason
// and first line of a plain-text body when a server answered.
TEST(FetchFailure, TellsEachWayAPageIsNotHad) {
  HttpServer server;
  server.routes().Get(
      "/gone", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        // A first line with control characters and a blank line before it.
        res.set_content("\n  no station KXYZ\x1b[31m here  \nsecond line\n",
                        "text/plain; charset=utf-8");
      });
  server.routes().Get(
      "/html", [](const httplib::Request&, httplib::Response& res) {
        res.status = 503;
        res.set_content("<html><body>busy</body></html>", "text/html");
      });
  server.routes().Get(
      "/long", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content(std::string(100000, 'x') + "\n", "text/plain");
      });
  server.serve("/ok", "fine\n");
  ASSERT_TRUE(server.start());

  EXPECT_EQ(open(server.url("/gone")), L_CONNECT);
  WFetchFailure f = lastFetchFailure();
  EXPECT_EQ(f.kind, WFetchFailure::HTTP_STATUS);
  EXPECT_EQ(f.status, 404);
  EXPECT_EQ(f.reason, "Not Found");
  EXPECT_EQ(f.detail, "  no station KXYZ [31m here");
  EXPECT_EQ(f.url, server.url("/gone"));
  EXPECT_EQ(f.describe(),
            "the server answered 404 Not Found:   no station KXYZ [31m here");

  EXPECT_EQ(open(server.url("/html")), L_CONNECT);
  f = lastFetchFailure();
  EXPECT_EQ(f.status, 503);
  EXPECT_EQ(f.detail, "") << "only a plain-text body is quoted";

  EXPECT_EQ(open(server.url("/long")), L_CONNECT);
  EXPECT_EQ(lastFetchFailure().detail.size(),
            static_cast<size_t>(WFetchFailure::MAX_DETAIL));

  EXPECT_EQ(open(server.url("/ok")), L_OK);
  EXPECT_EQ(lastFetchFailure().kind, WFetchFailure::NONE);

  std::string nobody =
      "http://127.0.0.1:" + std::to_string(stratus_test::closedPort()) + "/";
  EXPECT_EQ(open(nobody), L_CONNECT);
  f = lastFetchFailure();
  EXPECT_EQ(f.kind, WFetchFailure::NO_ANSWER);
  EXPECT_EQ(f.url, nobody);
  EXPECT_EQ(f.describe().rfind("nothing answered (", 0), 0u) << f.describe();

  EXPECT_EQ(open("file:///etc/passwd"), L_CONNECT);
  EXPECT_EQ(lastFetchFailure().kind, WFetchFailure::BAD_URL);
  EXPECT_EQ(open(server.url("/ok"), true), L_CONNECT);
  EXPECT_EQ(lastFetchFailure().kind, WFetchFailure::NO_PROXY);
}

// Purpose: a redirect is not followed, and says where it pointed.
TEST(FetchFailure, RedirectIsAStatus) {
  RawServer server(
      "HTTP/1.1 301 Moved Permanently\r\nLocation: http://127.0.0.1:1/\r\n"
      "Content-Length: 0\r\n\r\n",
      RawServer::End::kClose);
  ASSERT_TRUE(server.start());
  EXPECT_EQ(open(server.url("/x")), L_CONNECT);
  WFetchFailure f = lastFetchFailure();
  EXPECT_EQ(f.kind, WFetchFailure::HTTP_STATUS);
  EXPECT_EQ(f.status, 301);
  EXPECT_EQ(f.reason, "Moved Permanently");
}

}  // namespace
