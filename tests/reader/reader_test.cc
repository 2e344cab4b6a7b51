#include "stratus/reader/reader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "stratus/foundation/result.h"

#include "reader/page_fetcher.h"
#include "support/http_server.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/tiny_proxy.h"

namespace {

using stratus_test::HttpServer;
using stratus_test::RecordingInfoLine;
using stratus_test::RecordingKeeper;
using Calls = std::vector<std::string>;
using Getter = int (WReader::*)(const WLocation&, LString&);

const std::string kData = STRATUS_SOURCE_DIR "/tests/reader/data";

WLocation place(const std::string& cityData, const std::string& state = "XX") {
  WLocation location;
  location.setCityData(cityData.c_str());
  location.setShortState(state.c_str());
  return location;
}

std::string withCrLf(std::string s) {
  std::string out;
  for (char c : s) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// Bytes of every value, NUL and line ends included, in a fixed order.
std::string junk(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i)
    s += static_cast<char>((i * 7919 + i / 251) % 256);
  return s;
}

int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + 1))
    ++n;
  return n;
}

// The reader against a loopback server holding the test pages (and the
// shared corpus pages when present), with a recording status line and
// keeper.
class Reader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* name :
         {"http_proxy", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
      unsetenv(name);
    }
    stratus::setFetchTimeouts({5, 5});
    server_ = new HttpServer;
    server_->serveDirectory("/iwin/", kData + "/iwin");
    server_->serveDirectory("/mirror/", kData + "/iwin");
    server_->serve("/iwin/JJ/zone.html", junk(1 << 16));
    if (!stratus_test::sharedDir().empty()) {
      server_->serveDirectory("/corpus/",
                              stratus_test::sharedDir() + "/corpus/pages");
    }
    ASSERT_TRUE(server_->start());
  }
  static void TearDownTestSuite() {
    delete server_;
    stratus::setFetchTimeouts({});
  }

  void SetUp() override {
    keeper_.set("UseProxy", "0");
    keeper_.set("ProxyLocation", "");
    keeper_.set("ConditionsBase", server_->url("/weather/current/"));
    keeper_.set("WarningsBase", server_->url("/iwin/"));
    reader_.SetKeeper(&keeper_);
    forget();
  }
  void forget() {
    info_.calls.clear();
    keeper_.calls.clear();
  }

  static HttpServer* server_;
  RecordingInfoLine info_;
  RecordingKeeper keeper_;
  WReader reader_{&info_};
};

HttpServer* Reader::server_ = nullptr;

const Calls kReadsForAPage = {"readString Internet WarningsBase",
                              "readInt Internet UseProxy",
                              "readString Internet ProxyLocation"};

// Each getter fetches its own page under "WarningsBase" + state, cuts it by
// zone or city, shows its label, and hands back "\r\n" line ends.
TEST_F(Reader, EveryGetterReturnsItsSectionOfItsPage) {
  struct Case {
    const char* name;
    Getter getter;
    const char* page;
    const char* label;
    std::string text;
  } cases[] = {
      {"forecast: first section only", &WReader::getForecast,
       "/iwin/XX/zone.html", "forecast",
       "ZONE TWO AND NEIGHBOURS-\n TODAY ...SUNNY.\n TONIGHT...CLEAR.\n"},
      {"warnings: every section", &WReader::getWarnings,
       "/iwin/XX/allwarnings.html", "warnings",
       "WINTER STORM WARNING.\n SNOW 6 TO 10 INCHES.\n DENSE FOG ADVISORY.\n"},
      {"watches", &WReader::getWatches, "/iwin/XX/watches.html", "watches",
       "SEVERE THUNDERSTORM WATCH 100.\n \n"},
      {"special statements", &WReader::getStatements, "/iwin/XX/special.html",
       "special statements",
       "SPECIAL WEATHER STATEMENT.\n STRONG THUNDERSTORM NEAR TOWN.\n"},
      {"discussion", &WReader::getDiscussion, "/iwin/XX/discussion.html",
       "weather discussion",
       "AREA FORECAST DISCUSSION.\n $$\n FORECASTER\n \n \n"},
      {"summary", &WReader::getSummary, "/iwin/XX/summary.html",
       "weather summary", "WEATHER SUMMARY FOR THE CITY.\n \n"},
      {"public messages", &WReader::getPublic, "/iwin/XX/public.html",
       "public messages", "PUBLIC INFORMATION STATEMENT.\n \n \n"},
  };
  WLocation location = place("azone(XXZ002)acode(CCC)");
  for (const Case& c : cases) {
    forget();
    int hits = server_->hits(c.page);
    LString text("old");
    EXPECT_EQ((reader_.*c.getter)(location, text), L_OK) << c.name;
    EXPECT_EQ(text.str(), withCrLf(c.text)) << c.name;
    EXPECT_EQ(server_->hits(c.page), hits + 1) << c.name;
    EXPECT_EQ(info_.calls,
              (Calls{"show Getting " + std::string(c.label) + "...",
                     "show Reading data from server...", "end"}))
        << c.name;
    EXPECT_EQ(keeper_.calls, kReadsForAPage) << c.name;
  }
}

// A location that lacks the key of a product kind gets L_NOTFOUND for that
// kind, silently and without a request, while the other kind still works.
TEST_F(Reader, MissingZoneOrCodeGivesNotFoundForThatKindOnly) {
  const std::vector<Getter> zoneGetters = {
      &WReader::getForecast, &WReader::getWarnings, &WReader::getWatches,
      &WReader::getStatements};
  const std::vector<Getter> cityGetters = {
      &WReader::getDiscussion, &WReader::getSummary, &WReader::getPublic};
  struct Case {
    const char* cityData;
    const std::vector<Getter>& missing;
    const std::vector<Getter>& working;
  } cases[] = {{"acode(CCC)", zoneGetters, cityGetters},
               {"azone(XXZ002)", cityGetters, zoneGetters},
               {"azone(XXZ002", cityGetters, {}}};
  for (const Case& c : cases) {
    WLocation location = place(c.cityData);
    for (Getter g : c.missing) {
      forget();
      size_t requests = server_->requests().size();
      LString text("old");
      EXPECT_EQ((reader_.*g)(location, text), L_NOTFOUND) << c.cityData;
      EXPECT_EQ(text, "old") << c.cityData;
      EXPECT_EQ(info_.calls, Calls{}) << c.cityData;
      EXPECT_EQ(keeper_.calls, Calls{"readString Internet WarningsBase"})
          << c.cityData;
      EXPECT_EQ(server_->requests().size(), requests) << c.cityData;
    }
    for (Getter g : c.working) {
      LString text;
      EXPECT_EQ((reader_.*g)(location, text), L_OK) << c.cityData;
    }
  }
}

// Pages that cannot be had give L_CONNECT with the error on the status line
// and the text untouched; a page without the location gives L_INPUT and an
// empty text; a changed base URL is used at once.
TEST_F(Reader, ReportsPagesThatCannotBeHadOrHoldNothing) {
  const Calls failed = {"show Getting forecast...",
                        "show Error: cannot connect to server"};
  const Calls read = {"show Getting forecast...",
                      "show Reading data from server...", "end"};
  struct Case {
    const char* name;
    std::string base;
    WLocation location;
    int result;
    std::string text;
    Calls calls;
  } cases[] = {
      {"no page for the state", server_->url("/iwin/"),
       place("azone(XXZ002)", "QQ"), L_CONNECT, "old", failed},
      {"no short state", server_->url("/iwin/"), place("azone(XXZ002)", ""),
       L_CONNECT, "old", failed},
      {"server down",
       "http://127.0.0.1:" + std::to_string(stratus_test::closedPort()) +
           "/iwin/",
       place("azone(XXZ002)"), L_CONNECT, "old", failed},
      {"zone not on the page", server_->url("/iwin/"), place("azone(XXZ099)"),
       L_INPUT, "", read},
      {"binary junk page", server_->url("/iwin/"), place("azone(XXZ002)", "JJ"),
       L_INPUT, "", read},
      {"zone id too short", server_->url("/iwin/"), place("azone(XZ)"), L_INPUT,
       "", read},
      {"changed base", server_->url("/mirror/"), place("azone(XXZ002)"), L_OK,
       withCrLf(
           "ZONE TWO AND NEIGHBOURS-\n TODAY ...SUNNY.\n TONIGHT...CLEAR.\n"),
       read},
  };
  for (const Case& c : cases) {
    keeper_.set("WarningsBase", c.base);
    forget();
    LString text("old");
    EXPECT_EQ(reader_.getForecast(c.location, text), c.result) << c.name;
    EXPECT_EQ(text.str(), c.text) << c.name;
    EXPECT_EQ(info_.calls, c.calls) << c.name;
  }
  EXPECT_EQ(server_->hits("/mirror/XX/zone.html"), 1);
}

// SetKeeper stores the four defaults in order where the keeper lacks them
// and never overwrites what the host set.
TEST(ReaderSettings, SetKeeperSeedsMissingDefaultsOnly) {
  RecordingKeeper empty;
  WReader reader;
  reader.SetKeeper(&empty);
  EXPECT_EQ(
      empty.calls,
      (Calls{"isPresent Internet UseProxy", "storeInt Internet UseProxy 0",
             "isPresent Internet ProxyLocation",
             "storeString Internet ProxyLocation ",
             "isPresent Internet ConditionsBase",
             "storeString Internet ConditionsBase "
             "http://127.0.0.1:8086/weather/current/",
             "isPresent Internet WarningsBase",
             "storeString Internet WarningsBase http://127.0.0.1:8086/iwin/"}));
  EXPECT_EQ(empty.flags, std::vector<int>(8, 0));

  empty.calls.clear();
  reader.SetKeeper(&empty);
  EXPECT_EQ(empty.calls, (Calls{"isPresent Internet UseProxy",
                                "isPresent Internet ProxyLocation",
                                "isPresent Internet ConditionsBase",
                                "isPresent Internet WarningsBase"}));

  RecordingKeeper host;
  host.set("WarningsBase", "http://example.invalid/products/");
  host.set("UseProxy", "1");
  reader.SetKeeper(&host);
  EXPECT_EQ(host.get("WarningsBase"), "http://example.invalid/products/");
  EXPECT_EQ(host.get("UseProxy"), "1");
  EXPECT_EQ(host.get("ConditionsBase"),
            "http://127.0.0.1:8086/weather/current/");
}

// Without a status line every call works the same and shows nothing; a
// status line set later is used from then on.
TEST_F(Reader, RunsWithoutAStatusLine) {
  WReader quiet;
  quiet.SetKeeper(&keeper_);
  LString text;
  WLocation location = place("azone(XXZ002)acode(CCC)");
  EXPECT_EQ(quiet.getWarnings(location, text), L_OK);
  EXPECT_EQ(quiet.getDiscussion(location, text), L_OK);
  keeper_.set("WarningsBase", server_->url("/nowhere/"));
  EXPECT_EQ(quiet.getForecast(location, text), L_CONNECT);
  quiet.SetInfoLine(&info_);
  EXPECT_EQ(quiet.getForecast(location, text), L_CONNECT);
  EXPECT_EQ(info_.calls, (Calls{"show Getting forecast...",
                                "show Error: cannot connect to server"}));
}

// "UseProxy" and "ProxyLocation" are read for every page: a page comes
// through the named proxy, and a proxy asked for without a name fails.
TEST_F(Reader, FetchesThroughTheConfiguredProxy) {
  WLocation location = place("azone(XXZ002)");
  LString text;
  keeper_.set("UseProxy", "1");
  keeper_.set("ProxyLocation", "");
  EXPECT_EQ(reader_.getForecast(location, text), L_CONNECT);
  EXPECT_EQ(info_.calls, (Calls{"show Getting forecast...",
                                "show Error: cannot connect to server"}));

  stratus_test::TinyProxy proxy;
  if (stratus_test::TinyProxy::program().empty())
    GTEST_SKIP() << "tinyproxy not installed";
  ASSERT_TRUE(proxy.start()) << "tinyproxy did not start";
  keeper_.set("ProxyLocation", proxy.location());
  EXPECT_EQ(reader_.getForecast(location, text), L_OK);
  const httplib::Headers headers = server_->requests().back().headers;
  auto via = headers.find("Via");
  ASSERT_NE(via, headers.end()) << "the page did not come through the proxy";
  EXPECT_NE(via->second.find(stratus_test::TinyProxy::viaName()),
            std::string::npos)
      << via->second;
}

// --- The shared corpus: state pages assembled from real bulletins ---

struct OracleRow {
  std::string file;
  bool zoneCoded;
  std::set<std::string> zones, missed, extra;
};

std::set<std::string> words(const std::string& s) {
  std::istringstream in(s);
  std::set<std::string> out;
  for (std::string w; in >> w;) out.insert(w);
  return out;
}

std::vector<OracleRow> readOracle(const std::string& path) {
  std::vector<OracleRow> rows;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::istringstream cols(line);
    for (std::string col; std::getline(cols, col, '\t');) f.push_back(col);
    f.resize(13);
    if (f[2] != "UGC") continue;
    rows.push_back(
        {f[0], f[5] == "Z", words(f[8]), words(f[11]), words(f[12])});
  }
  return rows;
}

// Each zone-product page of the corpus, read for every zone its bulletins
// name: a zone gets text exactly when some single header line covers it.
// That is the oracle's list minus the zones the line rules miss (headers
// continued on a second line, county-coded headers) plus the ones they take
// by mistake (the lone digit the 8-character cut leaves on a first line).
TEST_F(Reader, CorpusPagesFollowTheSingleLineHeaderRules) {
  if (stratus_test::sharedDir().empty())
    GTEST_SKIP() << "shared corpus not found";
  std::vector<OracleRow> oracle =
      readOracle(stratus_test::sharedDir() + "/corpus/products/oracle.tsv");
  ASSERT_FALSE(oracle.empty());
  keeper_.set("WarningsBase", server_->url("/corpus/"));
  struct Page {
    const char* state;
    Getter getter;
    std::vector<std::string> files;
  } pages[] = {
      {"ND", &WReader::getForecast, {"zfp/pyWWA_ZFP.txt"}},
      {"IA",
       &WReader::getWarnings,
       {"warnings/pyIEM_WSWDMX_WSW_00.txt", "warnings/pyIEM_NPW_NPWDMX.txt",
        "warnings/pyIEM_TORE_TOR.txt", "warnings/pyIEM_SVS.txt",
        "warnings/pyWWA_FFA.txt"}},
      {"OK",
       &WReader::getWatches,
       {"watches/pyIEM_WCN_WCNTSA.txt", "watches/pyIEM_SEL_SEL9.txt",
        "watches/pyIEM_SAW_SAW3.txt"}},
      {"AL",
       &WReader::getStatements,
       {"special/pyIEM_SPS_SPSBMX.txt", "special/pyIEM_SPS_SPSBMX_IBW1.txt",
        "special/pyIEM_SPS_SPSBMX_IBW3.txt"}},
  };
  for (const Page& p : pages) {
    std::set<std::string> named, covered;
    for (const OracleRow& row : oracle) {
      if (std::find(p.files.begin(), p.files.end(), row.file) == p.files.end())
        continue;
      for (const std::string& z : row.zones) {
        named.insert(z);
        if (row.zoneCoded && !row.missed.count(z)) covered.insert(z);
      }
      for (const std::string& z : row.extra) named.insert(z), covered.insert(z);
    }
    ASSERT_FALSE(named.empty())
        << p.state << ": no oracle rows for its bulletins";
    for (const std::string& zone : named) {
      LString text;
      int result =
          (reader_.*p.getter)(place("azone(" + zone + ")", p.state), text);
      EXPECT_EQ(result, covered.count(zone) ? L_OK : L_INPUT)
          << p.state << " " << zone;
    }
  }

  // Where the line rules part from the bulletins' meaning: IAZ070 stands on
  // the continuation line of the NPW header; SEL9's OKZ000 means all of
  // Oklahoma, which the rules read as zone 0 only.
  LString text;
  EXPECT_EQ(reader_.getWarnings(place("azone(IAZ070)", "IA"), text), L_INPUT);
  EXPECT_EQ(reader_.getWatches(place("azone(OKZ010)", "OK"), text), L_INPUT);
  EXPECT_EQ(reader_.getForecast(place("azone(NDZ009)", "ND"), text), L_OK);
  EXPECT_EQ(text.str().rfind("WILLIAMS-\r\n", 0), 0u)
      << text.str().substr(0, 40);
  EXPECT_EQ(countOf(text.str(), "\r\n"), 29);
}

// The discussion page holds two discussions of the office KDMX: both are
// returned whole, "$$" and the forecaster lines included; a station code is
// no office code and finds nothing.
TEST_F(Reader, CorpusDiscussionIsCutByOfficeCode) {
  if (stratus_test::sharedDir().empty())
    GTEST_SKIP() << "shared corpus not found";
  keeper_.set("WarningsBase", server_->url("/corpus/"));
  LString text;
  ASSERT_EQ(reader_.getDiscussion(place("acode(KDMX)", "IA"), text), L_OK);
  EXPECT_EQ(countOf(text.str(), "\r\n"), 174);
  EXPECT_GE(countOf(text.str(), "$$"), 2);
  EXPECT_EQ(reader_.getDiscussion(place("acode(KDSM)", "IA"), text), L_INPUT);
}

}  // namespace
