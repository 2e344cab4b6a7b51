// The place pages of the gateway in process, in front of the fake API that
// serves recorded answers: every part read from the library's decoding of
// the coded reports, each part standing alone when its source fails, and
// no upstream text reaching the page as markup. Then the page in a real
// browser, headless Chromium, when it is installed.
#include <httplib.h>
#include <stdlib.h>
#include <unistd.h>
// <netdb.h>, which httplib includes, names a resolver error NO_DATA; the
// host layer's WPlaces::UNREADABLE is meant below.
#undef NO_DATA

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "gateway/fake_api.h"
#include "gateway/test_gateway.h"
#include "pages.h"
#include "place_page.h"
#include "server.h"
#include "testing/corpus_files.h"
#include "testing/temp_dir.h"
#include "tools/tool_runner.h"
#include "upstream.h"

namespace {

using stratus_test::count;
using stratus_test::FakeApi;

// The whole gateway, library pages and place pages, on a loopback port.
// The gateway with its place pages.
struct Gateway : stratus_test::TestGateway {
  explicit Gateway(const stratus_gateway::UpstreamOptions& options)
      : TestGateway(options, true) {}
};

class PlacePageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fake_ = stratus_test::startRecordedApi();
    ASSERT_NE(fake_, nullptr);
  }
  static void TearDownTestSuite() { delete fake_; }
  void TearDown() override { fake_->clearFaults(); }

  static stratus_gateway::UpstreamOptions options() {
    stratus_gateway::UpstreamOptions o;
    o.base = fake_->url();
    o.userAgent = "stratus-gateway/test (test@example.org)";
    o.totalSeconds = 2;
    o.answerSeconds = 4;
    o.retries = 0;
    return o;
  }

  static inline FakeApi* fake_ = nullptr;
};

// The points of the <polyline> of class `cls`.
size_t polylinePoints(const std::string& page, const std::string& cls) {
  size_t at = page.find("<polyline class=\"" + cls + "\" points=\"");
  if (at == std::string::npos) return 0;
  at = page.find("points=\"", at) + 8;
  std::string points = page.substr(at, page.find('"', at) - at);
  return points.empty() ? 0 : count(points, " ") + 1;
}

// httplib's client escapes a "+" in a path, so blanks are "%20" here; a
// browser's form sends "+" (FormValuesAreDecoded).
const char kDesMoines[] = "/place?q=Des%20Moines%2C%20IA";

// Purpose: the page holds every part, in order, its figures the library's
// reading of KDSM's newest coded report ("32015G24KT 3SM -SN BR OVC012
// M04/M06 A2987 ... T10441061", worked by hand below), never the API's own
// converted values (its record says 25 C); Des Moines's five alerts, the
// tornado watch (Extreme) first; its zone's five forecast periods; a chart
// of the 72 coded reports served.
TEST_F(PlacePageTest, ShowsEveryPartFromTheDecodedReports) {
  Gateway gateway(options());
  auto res = gateway.get(kDesMoines);
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200) << res->body;
  const std::string& page = res->body;
  const char* inOrder[] = {"<h1>Des Moines, IA</h1>",
                           "id=\"now-h\">Current conditions",
                           "id=\"alerts-h\">Alerts",
                           "id=\"forecast-h\">Forecast<",
                           "id=\"chart-h\">Last 72 hours",
                           "id=\"discussion-h\">Forecast discussion"};
  size_t last = 0;
  for (const char* part : inOrder) {
    size_t at = page.find(part);
    ASSERT_NE(at, std::string::npos) << part;
    EXPECT_GT(at, last) << part << " out of order";
    last = at;
  }
  // -4.4 C = 24.1 F; dew point -6.1 C = 21.0 F; humidity 100 * es(-6.1) /
  // es(-4.4) = 100 * 3.874 / 4.409 = 88 %; wind 15 kt = 17.3 mph, gust
  // 24 kt = 27.6 mph; wind chill 35.74 + 0.6215 * 24.08 + (0.4275 * 24.08
  // - 35.75) * 17.3^0.16 = 10.5 F; ceiling 1,200 ft with 3 miles is MVFR.
  for (const char* shown :
       {"<p class=\"big\">24 °F</p>", "<dd>21 °F</dd>", "<dd>88%</dd>",
        "<dd>11 °F (wind chill)</dd>", "NW (320°) at 17 mph</dd>",
        "<dd>28 mph</dd>", "<dd>29.87 inHg</dd>", "<dd>3 miles</dd>",
        "<dd>light snow; mist</dd>", "<dd>overcast at 1,200 ft</dd>",
        "<dd>MVFR</dd>", "CST</dd>", "min ago</dd>",
        "<pre>KDSM 051754Z 32015G24KT 3SM -SN BR OVC012 M04/M06 A2987",
        "Des Moines International Airport"})
    EXPECT_NE(page.find(shown), std::string::npos) << shown;
  EXPECT_EQ(page.find("77 °F"), std::string::npos) << "the API's 25 C";

  EXPECT_EQ(count(page, "<article class=\"alert"), 5u);
  EXPECT_LT(page.find("s-extreme\">\n<h3><span class=\"sev\">Extreme</span>"
                      "Tornado Watch"),
            page.find("Flood Warning"));
  EXPECT_EQ(count(page, "<dt>"), 12u + 5u) << "12 readings, 5 periods";
  EXPECT_NE(page.find("<dt>SUNDAY NIGHT</dt><dd>Mostly clear. Lows around "
                      "5.</dd>"),
            std::string::npos);
  const std::string forecast =
      page.substr(page.find("id=\"forecast\""),
                  page.find("id=\"chart\"") - page.find("id=\"forecast\""));
  EXPECT_EQ(forecast.find("Boone"), std::string::npos) << "another zone's";
  EXPECT_EQ(polylinePoints(page, "temp"), 72u);
  EXPECT_EQ(polylinePoints(page, "pressure"), 72u);
  EXPECT_EQ(count(page, "<tr><td>"), 72u);
  EXPECT_NE(page.find("Area Forecast Discussion"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(res->get_header_value("Cache-Control"), "public, max-age=60");
}

// Purpose: an uncached page asks each upstream URL once, through the cache
// the library's pages share; made again, it asks nothing and parses
// nothing, and the state's alert and zone pages use the same answers.
TEST_F(PlacePageTest, AsksEachUpstreamOnceThroughTheSharedCache) {
  Gateway gateway(options());
  const std::vector<std::string> asked = {
      "/stations/KDSM/observations",       "/alerts/active",
      "/products/types/ZFP/locations/DMX", "/products/stratus-zfp-dmx",
      "/products/types/AFD/locations/DMX", "/products/stratus-afd-dmx"};
  std::vector<int> before;
  for (const std::string& path : asked) before.push_back(fake_->hits(path));
  ASSERT_EQ(gateway.get(kDesMoines)->status, 200);
  size_t read = gateway.places().answersRead();
  EXPECT_EQ(read, 4u) << "observations, alerts and two products";
  ASSERT_EQ(gateway.get("/place?q=50309")->status, 200);
  ASSERT_EQ(gateway.get("/iwin/ia/allwarnings.html")->status, 200);
  ASSERT_EQ(gateway.get("/iwin/ia/zone.html")->status, 200);
  for (size_t i = 0; i < asked.size(); ++i)
    EXPECT_EQ(fake_->hits(asked[i]) - before[i], 1) << asked[i];
  EXPECT_EQ(gateway.places().answersRead(), read);
}

// Purpose: the search page, an ambiguous, an unknown and a too long place,
// and metric units (-4.4 C; 29.87 inHg = 1011.5 hPa; 15 kt = 27.8 km/h).
TEST_F(PlacePageTest, SearchCandidatesUnknownAndUnits) {
  Gateway gateway(options());
  struct Case {
    std::string path;
    int status;
    std::vector<std::string> shown;
  } cases[] = {
      {"/", 200, {"<form action=\"/place\"", "name=\"q\""}},
      {"/place?q=%20", 200, {"<form action=\"/place\""}},
      {"/place?q=Springfield",
       200,
       {"Which place?", "<a href=\"/place?q=", "Springfield, Illinois"}},
      {"/place?q=Nowhere%2C%20ZZ",
       404,
       {"Place not found", "<code>50309</code>", "<code>41.59,-93.62</code>"}},
      {"/place?q=" + std::string(300, 'x'), 404, {"too long"}},
      {"/place?q=KDSM&units=metric",
       200,
       {"<p class=\"big\">-4 °C</p>", "<dd>1011.5 hPa</dd>", "at 28 km/h</dd>",
        "Temperature</tspan> and", "(°C)", "US units"}},
  };
  for (const Case& c : cases) {
    auto res = gateway.get(c.path);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    for (const std::string& text : c.shown)
      EXPECT_NE(res->body.find(text), std::string::npos)
          << c.path.substr(0, 40) << ": " << text;
  }
  EXPECT_EQ(gateway.get("/")->body.find("<section"), std::string::npos)
      << "an empty search page holds the form only";
}

// Purpose: a part whose source fails (an error, an answer that is not
// JSON or holds a NaN, a station without a coded report) says so in its
// place; the others still show, and the page may not be kept by a cache.
TEST_F(PlacePageTest, EachPartStandsAlone) {
  struct Case {
    const char* name;
    std::string path;
    FakeApi::Fault fault;
    std::string says;
    const char* stillShown;
  } cases[] = {
      {"alerts 500",
       "/alerts/active",
       {500, "{}"},
       "Alerts cannot be shown",
       "<p class=\"big\">24 °F</p>"},
      {"observations not JSON",
       "/stations/KDSM/observations",
       {200, "<html>", "application/geo+json"},
       "could not be used",
       "Tornado Watch"},
      {"NaN in the observations",
       "/stations/KDSM/observations",
       {200, R"({"features": [{"properties": {"temperature": NaN}}]})",
        "application/geo+json"},
       "could not be used",
       "Tornado Watch"},
      {"no coded report",
       "/stations/KDSM/observations",
       {200, R"({"features": [{"properties": {"rawMessage": "",
          "timestamp": "2026-12-05T17:54:00+00:00"}}]})",
        "application/geo+json"},
       "no coded report from the last 3 hours",
       "Tornado Watch"},
      {"forecast list 404",
       "/products/types/ZFP/locations/DMX",
       {404, "{}"},
       "no such data",
       "Tornado Watch"},
  };
  for (const Case& c : cases) {
    Gateway gateway(options());
    fake_->fail(c.path, c.fault);
    auto res = gateway.get(kDesMoines);
    ASSERT_TRUE(res) << c.name;
    EXPECT_EQ(res->status, 200) << c.name;
    EXPECT_NE(res->body.find(c.says), std::string::npos) << c.name;
    EXPECT_NE(res->body.find(c.stillShown), std::string::npos) << c.name;
    EXPECT_NE(res->body.find("<h1>Des Moines, IA</h1>"), std::string::npos);
    EXPECT_EQ(res->get_header_value("Cache-Control"), "no-store") << c.name;
    fake_->clearFaults();
  }
}

// Purpose: hostile upstream text (markup, "</svg>", scripts, attribute
// breakers, huge numbers, missing fields) is shown as text or left out,
// never obeyed, and never breaks the page's structure.
TEST_F(PlacePageTest, HostileUpstreamTextIsOnlyText) {
  const std::string markup =
      "</svg></pre></details><script>alert(1)</script><img src=x "
      "onerror=alert(2)>\\\" onload=\\\"x";
  struct Case {
    const char* name;
    std::string path;
    std::string body;
  } cases[] = {
      {"alert", "/alerts/active",
       R"({"features": [{"properties": {"event": ")" + markup +
           R"(", "severity": "<b>Extreme</b>", "headline": ")" + markup +
           R"(", "description": ")" + markup + R"(", "areaDesc": ")" + markup +
           R"(", "instruction": 12, "geocode": {"UGC": ["IAZ060", 5]},
           "onset": "99999-01-01T00:00:00+00:00",
           "ends": "2026-12-05T18:00:00+99:99"}},
           {"properties": {"geocode": {"UGC": ["IAC153"]}}},
           {"properties": null}, 7]})"},
      {"observation", "/stations/KDSM/observations",
       R"({"features": [{"properties": {"stationName": ")" + markup +
           R"(", "timestamp": "date:now -600 seconds", "rawMessage":
           "KDSM 051754Z 99999KT 1/0SM M04/M06 A2987 )" +
           markup +
           R"("}}, {"properties": {"timestamp": "date:now -900 seconds",
           "rawMessage": "KDSM 051739Z 32015KT 10SM CLR 99/99 A9999"}}]})"},
      {"forecast", "/products/stratus-zfp-dmx",
       R"({"productText": "IAZ060-052200-\n.TODAY...)" + markup +
           R"(\n.<B>NIGHT...x\n$$\n"})"},
  };
  Gateway gateway(options());
  for (const Case& c : cases) {
    fake_->fail(c.path,
                {200, stratus_test::fillTimeTemplates(c.body, time(nullptr)),
                 "application/geo+json"});
  }
  auto res = gateway.get(kDesMoines);
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200);
  const std::string& page = res->body;
  for (const char* never : {"<script", "<img", "<b>", "<B>", "\" onload"})
    EXPECT_EQ(page.find(never), std::string::npos) << never;
  EXPECT_EQ(count(page, "</svg>"), 1u) << "the chart's own";
  EXPECT_EQ(count(page, "<svg"), 1u);
  EXPECT_GE(
      count(page, "&lt;/svg&gt;&lt;/pre&gt;&lt;/details&gt;&lt;script&gt;"), 5u)
      << "event, headline, text, areas, report, station";
  // An alert of missing fields is still an alert; a malformed time shows
  // none; the report's out-of-range groups are not read.
  EXPECT_EQ(count(page, "<article class=\"alert"), 2u);
  EXPECT_EQ(page.find("From "), std::string::npos);
  EXPECT_EQ(page.find("99 °F"), std::string::npos);
  EXPECT_EQ(polylinePoints(page, "temp"), 2u);
  EXPECT_NE(page.find("<dt>TODAY</dt>"), std::string::npos);
}

// Purpose: form fields as browsers send them: "+" for a blank, %XX for a
// byte, fields in any order, a field without "=" empty.
TEST(PlaceForm, FormValuesAreDecoded) {
  struct Case {
    const char* query;
    const char* name;
    const char* value;
  } cases[] = {
      {"q=Des+Moines%2C+IA", "q", "Des Moines, IA"},
      {"units=metric&q=50309", "q", "50309"},
      {"units=metric&q=50309", "units", "metric"},
      {"q", "q", ""},
      {"qq=1&q=%3Cb%3E", "q", "<b>"},
      {"q=%zz%4", "q", "%zz%4"},
      {"", "q", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(stratus_gateway::formValue(c.query, c.name), c.value)
        << c.query << " " << c.name;
}

}  // namespace

namespace {

// The browser, or "" when none is installed.
std::string chromium() {
  const char* path = getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (size_t at = 0; at <= dirs.size();) {
    size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    for (const char* name : {"chromium", "chromium-browser"}) {
      std::string candidate = dirs.substr(at, end - at) + "/" + name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    at = end + 1;
  }
  return "";
}

// Headless Chromium with a profile of its own, on `url`, with `options`.
stratus_test::RunResult browse(const std::string& browser,
                               const stratus_test::TempDir& home,
                               std::vector<std::string> options,
                               const std::string& url) {
  std::vector<std::string> args = {browser,
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--no-first-run",
                                   "--user-data-dir=" + home.file("profile"),
                                   "--enable-logging=stderr",
                                   "--v=0"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(url);
  return stratus_test::runProgram(
      args, {"HOME=" + home.path(), "PATH=/usr/bin:/bin"}, "", false);
}

// Purpose: in a real browser the page renders its reading, its alerts, its
// forecast periods and a chart whose temperature line has a point for each
// of the 72 coded reports served, with no script and no console error;
// screenshots at a phone's and a desktop's width are written for a person
// to look at (tests/gateway/artifacts/ in the build folder).
TEST_F(PlacePageTest, RendersInHeadlessChromium) {
  const std::string browser = chromium();
  if (browser.empty())
    GTEST_SKIP() << "chromium is not installed (apt-get install chromium); "
                    "the page is not tested in a browser";
  Gateway gateway(options());
  stratus_test::TempDir home;
  auto dom = browse(browser, home, {"--dump-dom"}, gateway.url(kDesMoines));
  ASSERT_EQ(dom.status, 0) << dom.err;
  const std::string& page = dom.out;
  for (const char* shown :
       {"<h1>Des Moines, IA</h1>", "<p class=\"big\">24 °F</p>",
        "Tornado Watch", "<dt>TODAY</dt>", "<svg", "<table>",
        "<h2 id=\"discussion-h\">"})
    EXPECT_NE(page.find(shown), std::string::npos) << shown;
  EXPECT_EQ(polylinePoints(page, "temp"), 72u);
  EXPECT_EQ(count(page, "<article class=\"alert"), 5u);
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(dom.err.find("CONSOLE"), std::string::npos) << dom.err;

  const std::string artifacts = STRATUS_BINARY_DIR "/tests/gateway/artifacts";
  stratus_test::runProgram({"/bin/mkdir", "-p", artifacts}, {}, "", false);
  for (const char* width : {"390", "1280"}) {
    const std::string shot = artifacts + "/place-" + width + ".png";
    std::remove(shot.c_str());
    auto res = browse(browser, home,
                      {"--hide-scrollbars", "--screenshot=" + shot,
                       std::string("--window-size=") + width + ",3200"},
                      gateway.url(kDesMoines));
    EXPECT_EQ(res.status, 0) << width << ": " << res.err;
    EXPECT_GT(stratus_test::readFile(shot).size(), 10000u) << shot;
  }
}

}  // namespace
