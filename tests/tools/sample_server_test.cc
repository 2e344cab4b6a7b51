// The sample weather server: the real server binary, asked over real HTTP
// on a loopback port, serving the bundled pages.
#include <httplib.h>

#include <string>

#include <gtest/gtest.h>

#include "tool_runner.h"

namespace stratus_test {
namespace {

// The index links every sample page, each served as HTML; what is not
// there (also outside the root) is 404; a busy port (exit status 69) and a
// missing root (66) are reported; SIGTERM stops the server cleanly.
TEST(SampleServer, ServesEveryIndexedPageAndReportsFailures) {
  SampleServer server(kSamplePages);
  ASSERT_GT(server.port, 0) << server.banner;
  EXPECT_EQ(server.banner, "stratus-sample-server: serving " + kSamplePages +
                               " on " + server.url());
  httplib::Client client("127.0.0.1", server.port);
  auto index = client.Get("/index.html");
  ASSERT_TRUE(index);
  size_t links = 0;
  for (size_t at = index->body.find("HREF=\""); at != std::string::npos;
       at = index->body.find("HREF=\"", at + 1), ++links) {
    std::string path =
        index->body.substr(at + 6, index->body.find('"', at + 6) - at - 6);
    auto res = client.Get(path.c_str());
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 200) << path;
    EXPECT_EQ(res->get_header_value("Content-Type").substr(0, 9), "text/html")
        << path;
  }
  EXPECT_EQ(links, 5u * 7 + 8) << "five states of seven pages, eight stations";
  for (const char* path : {"/iwin/zz/zone.html", "/../../../etc/passwd"}) {
    auto res = client.Get(path);
    EXPECT_TRUE(res && res->status == 404) << path;
  }

  SampleServer busy(kSamplePages, server.port);
  EXPECT_EQ(busy.banner,
            "Error: cannot listen on 127.0.0.1:" + std::to_string(server.port) +
                " (is the port in use?)");
  EXPECT_EQ(busy.stop(), 69);
  SampleServer noRoot("/nonexistent/pages");
  EXPECT_EQ(noRoot.port, 0);
  EXPECT_EQ(noRoot.stop(), 66);
  EXPECT_EQ(server.stop(), 0);
}

}  // namespace
}  // namespace stratus_test
