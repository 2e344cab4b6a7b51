// The sample weather server: the real server binary, asked over real HTTP
// on a loopback port, serving the bundled pages.
#include <httplib.h>

#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "tool_runner.h"

namespace stratus_test {
namespace {

const std::string kPages = sourcePath("tools/sample_pages");

// ---------------------------------------------------------------------------
// Serving: pages under the library's paths with an HTML type, 404 for what
// is not there (also outside the root), a free port announced, a clean stop.

TEST(SampleServer, ServesPagesAndStopsCleanly) {
  SampleServer server(kPages);
  ASSERT_TRUE(server.started()) << server.banner();
  EXPECT_EQ(server.banner(), "stratus-sample-server: serving " + kPages +
                                 " on http://127.0.0.1:" +
                                 std::to_string(server.port()) + "/\n");
  httplib::Client client("127.0.0.1", server.port());
  struct Case {
    std::string path;
    int status;
  } cases[] = {{"/iwin/ma/zone.html", 200},
               {"/weather/current/KBOS.html", 200},
               {"/index.html", 200},
               {"/iwin/zz/zone.html", 404},
               {"/weather/current/KTCM.html", 404},
               {"/../../../etc/passwd", 404}};
  for (const Case& c : cases) {
    auto res = client.Get(c.path.c_str());
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    if (c.status == 200) {
      EXPECT_EQ(res->get_header_value("Content-Type").substr(0, 9), "text/html")
          << c.path;
    }
  }
  EXPECT_EQ(server.stop(), 0);
}

TEST(SampleServer, ReportsMissingRootAndBusyPort) {
  SampleServer noRoot("/nonexistent/pages");
  EXPECT_FALSE(noRoot.started());
  EXPECT_EQ(noRoot.stop(), 66);

  SampleServer first(kPages);
  ASSERT_TRUE(first.started());
  SampleServer second(kPages, first.port());
  EXPECT_FALSE(second.started()) << second.banner();
  EXPECT_NE(second.banner().find("cannot listen on 127.0.0.1:" +
                                 std::to_string(first.port())),
            std::string::npos)
      << second.banner();
  EXPECT_EQ(second.stop(), 69);
}

// ---------------------------------------------------------------------------
// The index page links every sample page, and every link is served.

TEST(SampleServer, IndexLinksResolve) {
  SampleServer server(kPages);
  ASSERT_TRUE(server.started()) << server.banner();
  httplib::Client client("127.0.0.1", server.port());
  auto index = client.Get("/index.html");
  ASSERT_TRUE(index);
  size_t links = 0;
  for (size_t at = index->body.find("HREF=\""); at != std::string::npos;
       at = index->body.find("HREF=\"", at + 1)) {
    std::string path =
        index->body.substr(at + 6, index->body.find('"', at + 6) - at - 6);
    auto res = client.Get(path.c_str());
    EXPECT_TRUE(res && res->status == 200) << path;
    ++links;
  }
  EXPECT_EQ(links, 5u * 7 + 8) << "five states of seven pages, eight stations";
}

}  // namespace
}  // namespace stratus_test
