// The gateway in process, in front of a fake of the weather service's API
// that serves recorded real answers, asked over real HTTP on loopback ports:
// by an HTTP client and by the library's own reader.
#include <httplib.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "stratus/foundation/result.h"
#include "stratus/reader/reader.h"
#include "stratus/weather/condition.h"

#include "gateway/fake_api.h"
#include "gateway/test_gateway.h"
#include "offices.h"
#include "pages.h"
#include "reader/page_fetcher.h"
#include "server.h"
#include "support/recording_host.h"
#include "testing/corpus_files.h"
#include "testing/temp_dir.h"
#include "tools/tool_runner.h"
#include "upstream.h"

namespace {

using stratus_gateway::UpstreamOptions;
using stratus_test::count;
using stratus_test::FakeApi;
using Fault = FakeApi::Fault;
using Clock = std::chrono::steady_clock;

const std::string kData = STRATUS_SOURCE_DIR "/tests/data/nws-api";

using Gateway = stratus_test::TestGateway;

class GatewayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fake_ = stratus_test::startRecordedApi();
    ASSERT_NE(fake_, nullptr);
  }
  static void TearDownTestSuite() { delete fake_; }
  void TearDown() override {
    fake_->clearFaults();
    fake_->maxAge = 60;
    fake_->keepObservationTimes = false;
  }

  static UpstreamOptions options() {
    UpstreamOptions o;
    o.base = fake_->url();
    o.userAgent = "stratus-gateway/test (test@example.org)";
    o.totalSeconds = 2;
    o.backoffMs = 20;
    o.log = getenv("STRATUS_GATEWAY_TEST_LOG") != nullptr;
    return o;
  }

  static inline FakeApi* fake_ = nullptr;
};

std::string header(const httplib::Result& res, const char* name) {
  return res ? res->get_header_value(name) : "";
}

WLocation place(const std::string& cityData, const std::string& state) {
  WLocation location;
  location.setCityData(cityData.c_str());
  location.setShortState(state.c_str());
  return location;
}

// A station page holds the newest observation with a coded report; a
// station whose reports are all empty or hours old has none.
TEST_F(GatewayTest, StationPageHoldsTheNewestCodedReport) {
  Gateway gateway(options());
  struct Case {
    std::string station;
    int status;
    std::string report;  // expected in the page
  } cases[] = {
      // Its newest record is a 5-minute one without a report.
      {"KDSM", 200,
       "KDSM 051754Z 32015G24KT 3SM -SN BR OVC012 M04/M06 A2987 RMK AO2"},
      {"kdsm", 200, "KDSM 051754Z"},
      {"KNYC", 200, "KNYC 041951Z AUTO"},
      {"KMSP", 200, "KMSP 121553Z"},
      {"KALB", 404, ""},  // only a record without a report
      {"KQQQ", 404, ""},  // the API does not know it
      {std::string(200, 'K'), 404, ""},
      {"K%2FDSM", 404, ""},
  };
  for (const Case& c : cases) {
    auto res = gateway.get("/weather/current/" + c.station + ".html");
    ASSERT_TRUE(res) << c.station;
    EXPECT_EQ(res->status, c.status) << c.station;
    if (c.status != 200) continue;
    EXPECT_NE(res->body.find("<B>ob</B>"), std::string::npos) << c.station;
    EXPECT_NE(res->body.find(c.report), std::string::npos) << res->body;
    EXPECT_EQ(header(res, "Cache-Control").rfind("public, max-age=", 0), 0u);
  }
  EXPECT_EQ(fake_->hits("/stations/" + std::string(200, 'K') + "/observations"),
            0);
  // The recorded time of 2024, kept: no report from the last hours.
  Gateway again(options());
  fake_->keepObservationTimes = true;
  EXPECT_EQ(again.status("/weather/current/KMSP.html"), 404);
}

// The alert pages hold each active alert of their kind as a section under
// a one-line UGC header; the library's line rule finds a zone's section.
TEST_F(GatewayTest, AlertPagesHoldEachAlertUnderItsCodes) {
  Gateway gateway(options());
  // 48 alerts recorded for Iowa: 26 warnings and advisories (17 flood, 6
  // severe thunderstorm, 1 tornado, 1 flash flood warnings, 1 wind
  // advisory), 22 watches (15 flood, 7 tornado), no special statements.
  auto warnings = gateway.get("/iwin/ia/allwarnings.html");
  auto watches = gateway.get("/iwin/ia/watches.html");
  auto special = gateway.get("/iwin/IA/special.html");
  ASSERT_TRUE(warnings && watches && special);
  EXPECT_EQ(count(warnings->body, "\n$$\n"), 26u);
  EXPECT_EQ(count(watches->body, "\n$$\n"), 22u);
  EXPECT_EQ(count(special->body, "$$"), 0u);
  EXPECT_NE(special->body.find("no active special weather statements"),
            std::string::npos);
  EXPECT_EQ(fake_->hits("/alerts/active"), 1) << "one upstream call, cached";
  // The wind advisory's zones: Iowa's first, then Minnesota's and South
  // Dakota's, as one line.
  EXPECT_NE(warnings->body.find("\nIAZ001>003-012>014-MNZ071-072-080-081-089-"
                                "090-097-098-SDZ039-"),
            std::string::npos);

  stratus_test::RecordingKeeper keeper;
  keeper.set("ConditionsBase", gateway.url("/weather/current/"));
  keeper.set("WarningsBase", gateway.url("/iwin/"));
  WReader reader;
  reader.SetKeeper(&keeper);
  LString text;
  EXPECT_EQ(reader.getWatches(place("azone(IAZ060)", "ia"), text), L_OK);
  EXPECT_NE(text.str().find("Flood Watch issued May 21 at 11:32AM CDT"),
            std::string::npos)
      << text.str();
  EXPECT_EQ(reader.getWarnings(place("azone(IAZ002)", "ia"), text), L_OK);
  EXPECT_NE(text.str().find("Northwest winds 25 to 35 mph"), std::string::npos)
      << text.str();
  EXPECT_EQ(reader.getStatements(place("azone(IAZ060)", "ia"), text), L_INPUT);
}

// A page kept from a fresh cached answer is answered at once, as serve()
// answers it, without a call upstream; a page not made yet, a product page
// and a page whose answer may not be kept are left to serve().
TEST_F(GatewayTest, AnswersOnlyKeptPagesOfFreshAnswersAtOnce) {
  Gateway gateway(options());
  auto request = [](const std::string& path) {
    stratus_server::Request r;
    r.method = "GET";
    r.target = r.path = path;
    return r;
  };
  const std::string kept[] = {"/weather/current/KDSM.html",
                              "/iwin/ia/allwarnings.html",
                              "/iwin/IA/watches.html"};
  for (const std::string& path : kept) {
    stratus_server::Response now;
    EXPECT_FALSE(gateway.pages().answerNow(request(path), now)) << path;
    stratus_server::Response served = gateway.pages().serve(request(path));
    ASSERT_EQ(served.status, 200) << path;
    int calls = fake_->hits("/stations/KDSM/observations") +
                fake_->hits("/alerts/active");
    ASSERT_TRUE(gateway.pages().answerNow(request(path), now)) << path;
    EXPECT_EQ(now.status, 200) << path;
    EXPECT_TRUE(now.bodyText() == served.bodyText()) << path;
    EXPECT_EQ(now.headers.size(), served.headers.size()) << path;
    EXPECT_EQ(fake_->hits("/stations/KDSM/observations") +
                  fake_->hits("/alerts/active"),
              calls)
        << path;
  }
  stratus_server::Response now;
  ASSERT_EQ(gateway.pages().serve(request("/iwin/ia/zone.html")).status, 200);
  EXPECT_FALSE(gateway.pages().answerNow(request("/iwin/ia/zone.html"), now));
  EXPECT_FALSE(
      gateway.pages().answerNow(request("/iwin/zz/allwarnings.html"), now));

  fake_->maxAge = 0;  // answers not to be kept: every page asks again
  Gateway uncached(options());
  ASSERT_EQ(uncached.pages().serve(request(kept[0])).status, 200);
  EXPECT_FALSE(uncached.pages().answerNow(request(kept[0]), now));
}

// End to end: the library's reader against the gateway gets the conditions
// of the station page and the sections of every product page.
TEST_F(GatewayTest, LibraryReadsLiveConditionsAndProducts) {
  Gateway gateway(options());
  stratus_test::RecordingKeeper keeper;
  keeper.set("ConditionsBase", gateway.url("/weather/current/"));
  keeper.set("WarningsBase", gateway.url("/iwin/"));
  WReader reader;
  reader.SetKeeper(&keeper);
  const WLocation desMoines = place("azone(IAZ060)acode(KDSM)", "ia");
  WCondition condition;
  ASSERT_EQ(reader.getCondition(desMoines, condition), L_OK);
  // KDSM 051754Z 32015G24KT ... M04/M06 A2987 ... T10441061
  EXPECT_FLOAT_EQ(condition.getTemp(), -4.4f);
  EXPECT_FLOAT_EQ(condition.getDewPoint(), -6.1f);
  EXPECT_FLOAT_EQ(condition.getPressure(), 29.87f);
  EXPECT_EQ(condition.getWindDirection(), 320);
  EXPECT_EQ(condition.getWindSpeed(), 15);
  EXPECT_EQ(condition.getWindGustSpeed(), 24);

  struct Case {
    int (WReader::*getter)(const WLocation&, LString&);
    const char* expected;
  } cases[] = {
      {&WReader::getForecast, ".TODAY...Light snow."},
      {&WReader::getDiscussion, "Area Forecast Discussion"},
      {&WReader::getPublic, "Public Information Statement"},
      {&WReader::getSummary, "Regional Weather Summary"},
  };
  for (const Case& c : cases) {
    LString text;
    EXPECT_EQ((reader.*c.getter)(desMoines, text), L_OK) << c.expected;
    EXPECT_NE(text.str().find(c.expected), std::string::npos) << text.str();
  }
  // Each product page holds one <PRE> per office with a product: Iowa's
  // five offices have only Des Moines's here.
  auto zone = gateway.get("/iwin/ia/zone.html");
  ASSERT_TRUE(zone);
  EXPECT_EQ(count(zone->body, "<PRE>"), 1u);
  for (const char* office : {"ARX", "DMX", "DVN", "FSD", "OAX"})
    EXPECT_EQ(
        fake_->hits(std::string("/products/types/ZFP/locations/") + office), 1)
        << office;
}

// Upstream failures become clear answers: 404 stays 404, a rate limit is
// 503 with Retry-After, a stall 504, anything unusable 502; failures that
// may pass are retried a bounded number of times.
TEST_F(GatewayTest, UpstreamFailuresGetClearAnswers) {
  Gateway gateway(options());
  const std::string problem =
      stratus_test::readFile(kData + "/errors/problem-500-unexpected.json");
  ASSERT_FALSE(problem.empty());
  const std::string blockPage =
      "<HTML><HEAD><TITLE>Access Denied</TITLE></HEAD><BODY>You don't have "
      "permission to access this server.</BODY></HTML>";
  struct Case {
    const char* name;
    Fault fault;
    int status;
    int calls;  // upstream calls for one page
  } cases[] = {
      {"404", {404, problem}, 404, 1},
      {"500", {500, problem}, 502, 3},
      {"503 with the CDN's HTML", {503, blockPage, "text/html"}, 503, 3},
      {"403 block page", {403, blockPage, "text/html"}, 503, 3},
      {"429", {429, "", "text/plain", 0, {{"Retry-After", "30"}}}, 503, 1},
      {"not JSON", {200, "<HTML>oops</HTML>", "application/geo+json"}, 502, 1},
      {"a list", {200, "[1, 2, 3]", "application/geo+json"}, 502, 1},
      {"features not a list",
       {200, R"({"features": {"a": 1}})", "application/geo+json"},
       502,
       1},
      {"over the size cap",
       {200, std::string(9 << 20, ' '), "application/geo+json"},
       502,
       1},
      {"stall", {200, "{}", "application/geo+json", 4000}, 504, 1},
  };
  // A station of its own for each case, so no stored copy stands in.
  int n = 0;
  for (const Case& c : cases) {
    const std::string station = "KF" + std::to_string(n++);
    const std::string api = "/stations/" + station + "/observations";
    fake_->fail(api, c.fault);
    auto start = Clock::now();
    auto res = gateway.get("/weather/current/" + station + ".html");
    ASSERT_TRUE(res) << c.name;
    EXPECT_EQ(res->status, c.status) << c.name << ": " << res->body;
    EXPECT_EQ(fake_->hits(api), c.calls) << c.name;
    if (c.status == 503) {
      EXPECT_GE(std::atoi(header(res, "Retry-After").c_str()), 5) << c.name;
    }
    EXPECT_EQ(res->body.find("Access Denied"), std::string::npos) << c.name;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(8)) << c.name;
  }

  // A product whose text is 10 MB is over the cap: the only office with a
  // product is missing from the page.
  fake_->fail(
      "/products/stratus-zfp-dmx",
      {200, R"({"productText": ")" + std::string(10 << 20, 'x') + R"("})",
       "application/ld+json"});
  auto zone = gateway.get("/iwin/ia/zone.html");
  ASSERT_TRUE(zone);
  EXPECT_EQ(header(zone, "X-Stratus-Missing"), "DMX");
}

// A product page with offices failing or hanging serves the others'
// products within the answer time, names the missing offices (a line and a
// header) and may not be cached; only when every office fails is it an
// error. Before, one failing office made the page 502, one hanging 504.
TEST_F(GatewayTest, ProductPagesServeTheOfficesThatAnswer) {
  UpstreamOptions o = options();
  o.answerSeconds = 2;
  const std::string lists = "/products/types/ZFP/locations/";
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, Fault>> faults;
    int status;
    std::string missing;
  } cases[] = {
      {"one failing", {{"ARX", {500, "{}"}}}, 200, "ARX"},
      {"one hanging",
       {{"DVN", {200, "{}", "application/ld+json", 4000}}},
       200,
       "DVN"},
      {"two failing", {{"ARX", {404, "{}"}}, {"OAX", {502, "{}"}}}, 200, "OAX"},
      {"all failing",
       {{"ARX", {500, "{}"}},
        {"DMX", {500, "{}"}},
        {"DVN", {500, "{}"}},
        {"FSD", {500, "{}"}},
        {"OAX", {500, "{}"}}},
       502,
       ""},
  };
  for (const Case& c : cases) {
    Gateway gateway(o);
    for (const auto& [office, fault] : c.faults)
      fake_->fail(lists + office, fault);
    auto start = Clock::now();
    auto res = gateway.get("/iwin/ia/zone.html");
    ASSERT_TRUE(res) << c.name;
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3500)) << c.name;
    EXPECT_EQ(res->status, c.status) << c.name << ": " << res->body;
    EXPECT_EQ(header(res, "X-Stratus-Missing"), c.missing) << c.name;
    if (c.status == 200) {
      EXPECT_NE(res->body.find("IAZ059>061-052200-"), std::string::npos)
          << c.name << ": DMX's forecast";
      EXPECT_NE(res->body.find("<P>Missing: the products of " + c.missing),
                std::string::npos)
          << c.name;
      EXPECT_EQ(header(res, "Cache-Control"), "no-store") << c.name;
    }
    fake_->clearFaults();
  }
}

// Product pages call the upstream on a pool shared by all pages: however
// many pages of however many offices are asked at once, at most that many
// calls are made at once (before, a thread per office per page).
TEST_F(GatewayTest, ProductPagesCallTheUpstreamOnABoundedPool) {
  Gateway gateway(options());
  const std::string empty = R"({"@context": {}, "@graph": []})";
  const std::vector<std::string> states = {"TX", "CA", "NC", "WY"};
  for (const std::string& state : states)
    for (const std::string& office : stratus_gateway::officesOf(state))
      for (const char* type : {"ZFP", "AFD"})
        fake_->fail(
            std::string("/products/types/") + type + "/locations/" + office,
            {200, empty, "application/ld+json", 200});
  fake_->resetMostAtOnce();
  std::vector<std::thread> clients;
  std::atomic<int> ok{0};
  for (const std::string& state : states)
    for (const char* page : {"zone", "discussion"})
      clients.emplace_back([&, state, page] {
        ok += gateway.status("/iwin/" + state + "/" + page + ".html") == 200;
      });
  for (auto& t : clients) t.join();
  EXPECT_EQ(ok, 8);
  EXPECT_LE(fake_->mostAtOnce(), stratus_gateway::kOfficeCalls);
  EXPECT_GE(fake_->mostAtOnce(), 2);
}

// The whole answer, retries and back-off included, ends by the answer
// time: an upstream that fails slowly is given up at the deadline, with a
// stored copy when there is one, else 504; before, each of three calls had
// its full time (three slow 500s took three times as long).
TEST_F(GatewayTest, AnswersWithinTheAnswerTime) {
  UpstreamOptions o = options();
  o.answerSeconds = 2;
  o.totalSeconds = 2;
  o.retries = 2;
  const std::string path = "/stations/KNYC/observations";
  Gateway gateway(o);
  fake_->maxAge = 1;
  ASSERT_EQ(gateway.status("/weather/current/KNYC.html"), 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  struct Case {
    const char* name;
    std::string station;
    int status;
  } cases[] = {{"a stored copy", "KNYC", 200}, {"no copy", "KMSP", 504}};
  for (const Case& c : cases) {
    fake_->fail("/stations/" + c.station + "/observations",
                {500, "{}", "application/problem+json", 2500});
    auto start = Clock::now();
    auto res = gateway.get("/weather/current/" + c.station + ".html");
    auto took = Clock::now() - start;
    ASSERT_TRUE(res) << c.name;
    EXPECT_EQ(res->status, c.status) << c.name;
    // Three tries of 2.5 s each took 7.5 s; the slack is for a busy
    // machine (a sanitizer build beside other work took 4.2 s).
    EXPECT_LT(took, std::chrono::milliseconds(5000)) << c.name;
    EXPECT_GE(took, std::chrono::milliseconds(1900)) << c.name;
  }
}

// The figures the man page states hold: the gateway answers within its
// answer time, which ends well before the library's reader gives a silent
// server up; one call has at most its own time inside it.
TEST(GatewayBudget, EndsBeforeTheLibraryGivesUp) {
  const UpstreamOptions defaults;
  const stratus::FetchTimeouts library;
  EXPECT_LE(defaults.answerSeconds + 5, library.stallSeconds);
  EXPECT_LE(defaults.totalSeconds, defaults.answerSeconds);
  EXPECT_LE(defaults.connectSeconds, defaults.totalSeconds);
  const std::string man =
      stratus_test::readFile(STRATUS_SOURCE_DIR "/docs/man/stratus-gateway.1");
  for (const std::string& figure :
       {"within " + std::to_string(defaults.answerSeconds) + " seconds",
        "at most " + std::to_string(defaults.totalSeconds) + " seconds",
        std::to_string(library.stallSeconds) + " seconds"})
    EXPECT_NE(man.find(figure), std::string::npos) << figure;
}

// Redirects are not followed, to another server or to the API's own: the
// page is 502 and the place redirected to is never asked.
TEST_F(GatewayTest, DoesNotFollowRedirects) {
  stratus_test::HttpServer elsewhere;
  elsewhere.serve("/stations/KNYC/observations",
                  stratus_test::fillTimeTemplates(
                      stratus_test::readFile(
                          kData + "/stations/KNYC/observations-limit-1.json"),
                      std::time(nullptr)),
                  "application/geo+json");
  ASSERT_TRUE(elsewhere.start());
  const std::string path = "/stations/KNYC/observations";
  for (const std::string& to :
       {elsewhere.url(path), fake_->url() + "/stations/KMSP/observations"}) {
    for (int status : {301, 302, 307, 308}) {
      Gateway gateway(options());
      fake_->fail(path, {status, "", "text/html", 0, {{"Location", to}}});
      int before = fake_->hits("/stations/KMSP/observations");
      EXPECT_EQ(gateway.status("/weather/current/KNYC.html"), 502)
          << status << " to " << to;
      EXPECT_EQ(fake_->hits("/stations/KMSP/observations"), before) << to;
    }
  }
  EXPECT_EQ(elsewhere.hits(path), 0);
}

// Text from the API is escaped: markup in an alert is shown, not obeyed,
// and a bulletin's "&&" and ">" stay readable for the library's reader.
TEST_F(GatewayTest, EscapesUpstreamText) {
  Gateway gateway(options());
  fake_->fail("/alerts/active",
              {200,
               R"({"features": [{"properties": {"event": "Wind Advisory",
                 "geocode": {"UGC": ["IAZ060"]}, "headline": "<script>x</script>",
                 "description": "Gusts & <b>drifts</b> &amp; &&", "instruction": null,
                 "expires": "2026-12-05T18:00:00+00:00"}}]})",
               "application/geo+json"});
  auto res = gateway.get("/iwin/ia/allwarnings.html");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body.find("<script>"), std::string::npos);
  EXPECT_NE(res->body.find("&lt;script>x&lt;/script>"), std::string::npos);
  EXPECT_NE(res->body.find("Gusts & &lt;b>drifts&lt;/b> &amp;amp; &&"),
            std::string::npos);
  EXPECT_NE(res->body.find("\nIAZ060-051800-\n"), std::string::npos)
      << res->body;
}

// One alert cannot write a section for another place: a description that
// closes its own section ("$$"), then writes a UGC line for Des Moines
// (IAZ060, Polk county IAC153) and text, shows that text under its own zone
// only, by both section rules of the library; so do a forged heading and
// a zone header in the area list or the headline.
TEST_F(GatewayTest, AlertTextCannotForgeSections) {
  Gateway gateway(options());
  const std::string forged = R"({"features": [
    {"properties": {"event": "Wind Advisory", "geocode": {"UGC": ["IAZ001"]},
      "areaDesc": "IAZ060-IAC153-302359-",
      "headline": "IAZ060-302359-\nHEADLINE FORGED",
      "description": "Winds.\n$$\n\nIAZ060-IAC153-302359-\nDESCRIPTION FORGED\n\nWWUS83 KDMX 051800\nNPWDMX\n\nIAC153-302359-\nHEADING FORGED\r\nIAZ\r060-302359-\nCR FORGED\nNNNN\nGSK",
      "instruction": "  IAZ060-302359-  \nINSTRUCTION FORGED",
      "expires": "2026-12-05T18:00:00+00:00"}},
    {"properties": {"event": "Flood Warning", "geocode": {"UGC": ["IAZ048"]},
      "description": "Flooding.", "expires": "2026-12-05T18:00:00+00:00"}}]})";
  fake_->fail("/alerts/active", {200, forged, "application/geo+json"});
  for (auto rule : {WReader::LineRule, WReader::UgcRule}) {
    stratus_test::RecordingKeeper keeper;
    keeper.set("WarningsBase", gateway.url("/iwin/"));
    WReader reader;
    reader.SetKeeper(&keeper);
    reader.setSectionRule(rule);
    LString text;
    int rc = reader.getWarnings(
        place("azone(IAZ060)acounty(IAC153)aoffice(DMX)", "ia"), text);
    EXPECT_EQ(text.str().find("FORGED"), std::string::npos)
        << "rule " << rule << ":\n"
        << text.str();
    EXPECT_EQ(rc, L_INPUT) << "rule " << rule;
    // The advisory's zone gets all of its text, inert but whole.
    EXPECT_EQ(
        reader.getWarnings(place("azone(IAZ001)acounty(IAC119)", "ia"), text),
        L_OK);
    for (const char* part : {"HEADLINE FORGED", "Winds.", "DESCRIPTION FORGED",
                             "CR FORGED", "INSTRUCTION FORGED"})
      EXPECT_NE(text.str().find(part), std::string::npos)
          << "rule " << rule << ": " << part << " in\n"
          << text.str();
    EXPECT_EQ(
        reader.getWarnings(place("azone(IAZ048)acounty(IAC015)", "ia"), text),
        L_OK);
    EXPECT_NE(text.str().find("Flooding."), std::string::npos);
  }
}

// The cache answers from memory while an answer is fresh, revalidates it
// with If-Modified-Since when it is not, stands in with a stale copy when
// the upstream fails, and shares one fetch among concurrent requests.
TEST_F(GatewayTest, CachesRevalidatesAndSharesFetches) {
  const std::string path = "/stations/KNYC/observations";
  {
    Gateway gateway(options());
    fake_->maxAge = 1;
    int before = fake_->hits(path);
    EXPECT_EQ(gateway.status("/weather/current/KNYC.html"), 200);
    EXPECT_EQ(gateway.status("/weather/current/KNYC.html"), 200);
    EXPECT_EQ(fake_->hits(path) - before, 1) << "the second came from memory";
    EXPECT_EQ(fake_->requests().back().headers.count("If-Modified-Since"), 0u);
    EXPECT_EQ(fake_->requests().back().headers.find("Accept")->second,
              "application/geo+json");
    EXPECT_EQ(fake_->requests().back().headers.find("User-Agent")->second,
              "stratus-gateway/test (test@example.org)");

    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    auto res = gateway.get("/weather/current/KNYC.html");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_NE(res->body.find("KNYC 041951Z"), std::string::npos);
    EXPECT_EQ(fake_->hits(path) - before, 2) << "expired: asked again";
    auto asked = fake_->requests().back().headers;
    EXPECT_EQ(asked.find("If-Modified-Since")->second, FakeApi::kLastModified);

    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    fake_->fail(path, {500, "{}"});
    res = gateway.get("/weather/current/KNYC.html");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200) << "a stale copy stands in";
    EXPECT_NE(header(res, "Warning").find("110"), std::string::npos);
    EXPECT_EQ(header(res, "Cache-Control"), "public, max-age=0");

    // A new answer makes a new page.
    std::string newer = stratus_test::fillTimeTemplates(
        stratus_test::readFile(kData +
                               "/stations/KNYC/observations-limit-1.json"),
        std::time(nullptr));
    newer.replace(newer.find("KNYC 041951Z"), 12, "KNYC 041952Z");
    fake_->fail(path, {200, newer, "application/geo+json"});
    res = gateway.get("/weather/current/KNYC.html");
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("KNYC 041952Z"), std::string::npos) << res->body;
    EXPECT_EQ(header(res, "Warning"), "");
    fake_->clearFaults();
  }
  {
    // A product page whose answers are cached is made again without the
    // upstream, the same page; a new product after expiry is on the next.
    Gateway gateway(options());
    fake_->maxAge = 1;
    const std::string list = "/products/types/ZFP/locations/DMX";
    const std::string product = "/products/stratus-zfp-dmx";
    int lists = fake_->hits(list), products = fake_->hits(product);
    auto first = gateway.get("/iwin/ia/zone.html");
    auto second = gateway.get("/iwin/ia/zone.html");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->status, 200);
    EXPECT_EQ(second->body, first->body);
    EXPECT_NE(first->body.find("IAZ059>061-052200-"), std::string::npos)
        << first->body;
    EXPECT_EQ(fake_->hits(list) - lists, 1);
    EXPECT_EQ(fake_->hits(product) - products, 1);

    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    std::string newer =
        stratus_test::readFile(kData + "/products/stratus-zfp-dmx.json");
    newer.replace(newer.find("Lows around 5."), 14, "Lows around 4.");
    fake_->fail(product, {200, newer, "application/ld+json"});
    auto third = gateway.get("/iwin/ia/zone.html");
    ASSERT_TRUE(third);
    EXPECT_NE(third->body.find("Lows around 4."), std::string::npos);
    EXPECT_EQ(third->body.find("Lows around 5."), std::string::npos);
    EXPECT_EQ(fake_->hits(product) - products, 2);
    fake_->clearFaults();
  }
  {
    // Sixteen requests at once for pages of one answer parse it once: the
    // waiters take the page the first one makes (before, each parsed the
    // answer itself, twenty times its size in memory each).
    Gateway gateway(options());
    // Iowa's 48 alerts twenty times over: 4 MB, a parse long enough for
    // every request to arrive while it runs.
    nlohmann::json alerts = nlohmann::json::parse(
        stratus_test::readFile(kData + "/alerts/active-area-IA.json"));
    nlohmann::json features = alerts["features"];
    for (int i = 1; i < 20; ++i)
      for (const auto& feature : features)
        alerts["features"].push_back(feature);
    fake_->fail("/alerts/active",
                {200, alerts.dump(), "application/geo+json", 500});
    std::vector<std::thread> clients;
    std::atomic<int> ok{0};
    for (int i = 0; i < 16; ++i)
      clients.emplace_back(
          [&] { ok += gateway.status("/iwin/ia/allwarnings.html") == 200; });
    for (auto& t : clients) t.join();
    EXPECT_EQ(ok, 16);
    EXPECT_EQ(gateway.pages().pagesMade(), 1u);
    fake_->clearFaults();
  }
  {
    // Eight requests at once while the upstream takes 500 ms: one fetch.
    Gateway gateway(options());
    fake_->fail("/stations/KDSM/observations",
                {200,
                 stratus_test::fillTimeTemplates(
                     stratus_test::readFile(
                         kData + "/stations/KNYC/observations-limit-1.json"),
                     std::time(nullptr)),
                 "application/geo+json", 500});
    int before = fake_->hits("/stations/KDSM/observations");
    std::atomic<int> ok{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 8; ++i)
      clients.emplace_back(
          [&] { ok += gateway.status("/weather/current/KDSM.html") == 200; });
    for (auto& t : clients) t.join();
    EXPECT_EQ(ok, 8);
    EXPECT_EQ(fake_->hits("/stations/KDSM/observations") - before, 1);
  }
  {
    // A cache of 16 KiB holds two station answers (5 to 7 KiB each, with
    // their bookkeeping), so the least recently used of three goes.
    UpstreamOptions small = options();
    small.cacheBytes = 16 << 10;
    Gateway gateway(small);
    int before = fake_->hits(path);
    for (const char* station : {"KNYC", "KMSP", "KDSM", "KNYC"}) {
      EXPECT_EQ(
          gateway.status(std::string("/weather/current/") + station + ".html"),
          200);
      if (getenv("STRATUS_GATEWAY_TEST_LOG"))
        std::fprintf(stderr, "cached %zu\n", gateway.api().cachedBytes());
    }
    EXPECT_LE(gateway.api().cachedBytes(), small.cacheBytes);
    EXPECT_EQ(fake_->hits(path) - before, 2) << "KNYC was evicted";
  }
}

// The threads made for a burst of answers that wait on the upstream end
// once idle: before, 500 clients on a slow upstream left 500 threads and
// their stacks in the gateway for good.
TEST_F(GatewayTest, ThreadsOfABurstEndWhenIdle) {
  auto threads = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("Threads:", 0) == 0) return std::atoi(line.c_str() + 8);
    return 0;
  };
  // Waits up to 5 s for the count to reach `most`; the count then.
  auto fallTo = [&threads](int most) {
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (threads() > most && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return threads();
  };
  stratus_server::Limits limits;
  limits.idleThreadSeconds = 1;
  Gateway gateway(options(), false, limits);
  // The first answer starts one thread of the pool, which ends when idle.
  EXPECT_EQ(gateway.status("/weather/current/KNYC.html"), 200);
  const int withOne = threads();
  const int before = fallTo(withOne - 1);
  ASSERT_EQ(before, withOne - 1);

  const int kClients = 16;
  std::vector<std::string> stations;
  for (int i = 0; i < kClients; ++i) {
    stations.push_back("KT" + std::to_string(10 + i));
    fake_->fail("/stations/" + stations.back() + "/observations",
                {404, "{}", "application/problem+json", 300});
  }
  std::vector<std::thread> clients;
  std::atomic<int> answered{0};
  for (const std::string& station : stations)
    clients.emplace_back([&gateway, &answered, station] {
      if (gateway.status("/weather/current/" + station + ".html") != 0)
        ++answered;
    });
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(answered, kClients);
  // The waiting answers had threads of their own, idle now, then gone.
  EXPECT_GE(threads(), before + kClients / 2);
  EXPECT_EQ(fallTo(before), before);
}

// Figures in upstream headers saturate: an answer "fresh for ever" is kept
// (a week at most; a page says a day at most), and a Retry-After of twenty
// digits is a day; before, both overflowed (a page said max-age=-1).
TEST_F(GatewayTest, UpstreamFiguresSaturate) {
  Gateway gateway(options());
  const std::string answer = stratus_test::fillTimeTemplates(
      stratus_test::readFile(kData +
                             "/stations/KNYC/observations-limit-1.json"),
      std::time(nullptr));
  const std::string path = "/stations/KNYC/observations";
  for (const char* age : {"9223372036854775807", "99999999999999999999"}) {
    Gateway fresh(options());
    fake_->fail(path, {200,
                       answer,
                       "application/geo+json",
                       0,
                       {{"Cache-Control", std::string("max-age=") + age}}});
    int before = fake_->hits(path);
    auto first = fresh.get("/weather/current/KNYC.html");
    auto second = fresh.get("/weather/current/KNYC.html");
    ASSERT_TRUE(first && second) << age;
    EXPECT_EQ(header(first, "Cache-Control"), "public, max-age=86400") << age;
    EXPECT_EQ(fake_->hits(path) - before, 1) << age << ": kept, not expired";
  }
  fake_->fail(
      path,
      {429, "", "text/plain", 0, {{"Retry-After", "99999999999999999999"}}});
  auto res = gateway.get("/weather/current/KNYC.html");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 503);
  EXPECT_EQ(header(res, "Retry-After"), "86400");
}

// Bad requests get a clear status and reach no upstream.
TEST_F(GatewayTest, BadRequestsGetAClearStatus) {
  Gateway gateway(options());
  size_t before = fake_->requests().size();
  struct Case {
    std::string path;
    int status;
  } cases[] = {
      {"/weather/current/..%2F..%2Fetc%2Fpasswd.html", 400},
      {"/weather/current/../KDSM.html", 400},
      {"/weather/current/KDSM.html%00", 400},
      {"/iwin/ia/zone.html%00.txt", 400},
      {"/weather/current/" + std::string(100 << 10, 'K') + ".html", 414},
      {"/weather/current/" + std::string(200, 'K') + ".html", 404},
      {"/iwin/zz/zone.html", 404},
      {"/iwin/ia/forecast.html", 404},
      {"/iwin/iowa/zone.html", 404},
      {"/", 404},
  };
  for (const Case& c : cases)
    EXPECT_EQ(gateway.status(c.path), c.status) << c.path.substr(0, 60);
  EXPECT_EQ(fake_->requests().size(), before);
}

// Every recorded answer of the shared corpus that the gateway asks for
// makes its page: the stations with a coded report, the alerts of two
// states with their counts from the corpus's index, the discussions of
// three offices.
TEST(GatewayCorpus, MakesPagesFromEveryRecordedAnswer) {
  if (stratus_test::sharedDir().empty())
    GTEST_SKIP() << "shared corpus not found; the in-repo sample is tested";
  FakeApi fake(stratus_test::sharedDir() + "/corpus/nws-api");
  ASSERT_TRUE(fake.start());
  UpstreamOptions o;
  o.base = fake.url();
  o.userAgent = "stratus-gateway/test (test@example.org)";
  Gateway gateway(o);
  struct Case {
    std::string path;
    int status;
    std::vector<std::string> expected;
    size_t sections = 0;  // "$$" lines
  } cases[] = {
      {"/weather/current/KBHM.html", 200, {"KBHM 201553Z"}},
      {"/weather/current/KFLG.html", 200, {"KFLG 201757Z", "20014G22KT"}},
      {"/weather/current/KTCL.html", 200, {"KTCL 231853Z", "CLR"}},
      {"/weather/current/KMSP.html", 200, {"KMSP 121553Z", "M13/M18"}},
      {"/weather/current/KNYC.html", 200, {"KNYC 041951Z AUTO"}},
      {"/weather/current/KALB.html", 404, {}},
      // Virginia: 8 special weather statements, 3 fire weather watches and
      // a severe thunderstorm watch, a wind advisory.
      {"/iwin/va/special.html", 200, {}, 8},
      {"/iwin/va/watches.html", 200, {}, 4},
      {"/iwin/va/allwarnings.html", 200, {"Wind Advisory"}, 1},
      {"/iwin/ia/watches.html", 200, {}, 22},
      {"/iwin/me/discussion.html", 200, {"FXUS61 KGYX 251000", "AFDGYX"}},
      {"/iwin/nh/discussion.html", 200, {"FXUS61 KGYX 251000"}},
      {"/iwin/fl/discussion.html", 200, {"FXUS62 KTBW 271349"}},
      {"/iwin/ny/discussion.html", 200, {"FXUS61 KOKX 201957"}},
  };
  for (const Case& c : cases) {
    auto res = gateway.get(c.path);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status)
        << c.path << ": " << res->body.substr(0, 300);
    for (const std::string& text : c.expected)
      EXPECT_NE(res->body.find(text), std::string::npos)
          << c.path << ": " << text;
    if (c.sections > 0) {
      EXPECT_EQ(count(res->body, "\n$$\n"), c.sections) << c.path;
    }
  }
}

// The UGC line: zones, then counties, runs of three or more as ranges, the
// purge time in UTC; anything that is not a code is left out.
TEST(GatewayPages, BuildsUgcLinesAndReadsIsoTimes) {
  const std::time_t purge = 1796493600;  // 2026-12-05 18:00 UTC
  struct Case {
    std::vector<std::string> codes;
    std::string line;
  } cases[] = {
      {{"IAZ060"}, "IAZ060-051800-"},
      {{"IAC153", "IAZ061", "IAZ059", "IAZ060", "IAZ048"},
       "IAZ048-059>061-IAC153-051800-"},
      {{"MNZ081", "IAZ001", "IAZ002"}, "IAZ001-002-MNZ081-051800-"},
      {{"IAZ060", "IAZ060"}, "IAZ060-051800-"},
      {{"iaz060", "IAZ0600", "IAX060", "", "IAZ06A"}, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(stratus_gateway::ugcLine(c.codes, purge), c.line) << c.line;

  // Reference values from an independent calendar (Python's datetime).
  EXPECT_EQ(stratus_gateway::parseIsoTime("2024-05-21T19:45:00-05:00"),
            1716338700);
  EXPECT_EQ(stratus_gateway::parseIsoTime("2026-12-05T18:00:00+00:00"),
            1796493600);
  EXPECT_EQ(stratus_gateway::parseIsoTime("2026-12-05T18:00:00.25Z"),
            1796493600);
  for (const char* bad :
       {"", "date:now -5 seconds", "2026-12-05", "2026-12-05T18:00:00+5"})
    EXPECT_EQ(stratus_gateway::parseIsoTime(bad), -1) << bad;
}

// Header figures, worked by hand: max-age wins over Expires, no-store and
// no-cache are 0, s-maxage is not max-age, Expires counts from Date; every
// figure saturates at a week (fresh) or a day (Retry-After).
TEST(GatewayHeaders, ReadsFreshnessAndRetryAfterSaturating) {
  const long long now = 1796493600;  // Sat, 05 Dec 2026 18:00:00 GMT
  const char* date = "Sat, 05 Dec 2026 18:00:00 GMT";
  struct Case {
    std::string cacheControl, expires, date;
    long fresh;
  } cases[] = {
      {"public, max-age=60", "", "", 60},
      {"public, max-age=60, s-maxage=3600", "", "", 60},
      {"s-maxage=3600", "", "", 0},
      {"max-age=60, no-cache", "", "", 0},
      {"no-store", "Sat, 05 Dec 2026 19:00:00 GMT", date, 0},
      {"max-age=abc", "", "", 0},
      {"max-age=-5", "Sat, 05 Dec 2026 19:00:00 GMT", date, 0},
      {"max-age=604801", "", "", 604800},
      {"max-age=9223372036854775807", "", "", 604800},
      {"max-age=99999999999999999999999999", "", "", 604800},
      {"", "Sat, 05 Dec 2026 19:00:00 GMT", date, 3600},
      {"", "Sat, 05 Dec 2026 19:00:00 GMT", "", 3600},
      {"", "Sat, 05 Dec 2026 19:00:00 GMT", "Sat, 05 Dec 2026 18:30:00 GMT",
       1800},
      {"", "Fri, 31 Dec 9999 23:59:59 GMT", date, 604800},
      {"", "Thu, 01 Jan 1970 00:00:00 GMT", date, 0},
      {"", "tomorrow", date, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(
        stratus_gateway::freshnessOf(c.cacheControl, c.expires, c.date, now),
        c.fresh)
        << c.cacheControl << " | " << c.expires << " | " << c.date;

  struct After {
    std::string value;
    long seconds;
  } afters[] = {
      {"30", 30},
      {" 120", 120},
      {"86401", 86400},
      {"99999999999999999999", 86400},
      {"Sat, 05 Dec 2026 18:02:00 GMT", 120},
      {"Sat, 05 Dec 2026 17:00:00 GMT", 0},
      {"Fri, 31 Dec 9999 23:59:59 GMT", 86400},
      {"-5", 0},
      {"soon", 0},
      {"", 0},
  };
  for (const After& a : afters)
    EXPECT_EQ(stratus_gateway::retryAfterOf(a.value, now), a.seconds)
        << a.value;
}

// The program refuses to call the public API without a contact, and says
// why; bad options are usage errors.
TEST(GatewayProgram, RefusesThePublicApiWithoutAContact) {
  FakeApi holder(kData);
  ASSERT_TRUE(holder.start());
  const int busyPort =
      std::atoi(holder.url().substr(holder.url().rfind(':') + 1).c_str());
  auto run = [](std::vector<std::string> args,
                std::vector<std::string> env = {}) {
    args.insert(args.begin(), STRATUS_GATEWAY_PATH);
    return stratus_test::runProgram(args, env, "", false);
  };
  stratus_test::TempDir home;
  const std::vector<std::string> noSettings = {"XDG_CONFIG_HOME=" +
                                               home.path()};
  auto noContact = run({"--listen", "127.0.0.1:0"}, noSettings);
  EXPECT_EQ(noContact.status, 64);
  EXPECT_NE(noContact.err.find("--contact"), std::string::npos)
      << noContact.err;
  EXPECT_EQ(
      run({"--api", "https://api.weather.gov/", "--listen", "127.0.0.1:0"},
          noSettings)
          .status,
      64);
  EXPECT_EQ(run({"--contact", "x@example.org", "--listen", "nowhere"}).status,
            64);
  EXPECT_EQ(run({"--api", "ftp://127.0.0.1/"}).status, 64);
  // A contact from the environment will do; then the busy port (the fake
  // API's) is what stops it.
  auto busy = run({"--listen", "127.0.0.1:" + std::to_string(busyPort)},
                  {"STRATUS_CONTACT=x@example.org"});
  EXPECT_EQ(busy.status, 69) << busy.err;
  // So will one from the settings file that `stratus` uses; a settings file
  // that cannot be read is exit 78.
  const std::string ini =
      home.write("gateway.ini", "[Gateway]\nContact = x@example.org\n");
  auto fromFile = run(
      {"--config", ini, "--listen", "127.0.0.1:" + std::to_string(busyPort)},
      noSettings);
  EXPECT_EQ(fromFile.status, 69) << fromFile.err;
  EXPECT_EQ(run({"--config", home.path()}, noSettings).status, 78);
}

}  // namespace
